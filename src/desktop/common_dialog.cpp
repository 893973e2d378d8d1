#include "common_dialog.h"
#include "replaceable.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace zovex {

QStringList parseDialogFilter(const QString& filter)
{
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        const QString patterns = QString(pattern).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (desc.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')) ||
            desc.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')')))
            out << desc;
        else
            out << desc + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

std::optional<QString> QtFileDialogBackend::run(QWidget* parent, const DialogRequest& r)
{
    QFileDialog dlg(parent);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(r.mode == DialogMode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(r.mode == DialogMode::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!r.title.isEmpty())
        dlg.setWindowTitle(r.title);
    else
        dlg.setWindowTitle(r.mode == DialogMode::Save ? QStringLiteral("另存为") : QStringLiteral("打开"));
    if (!r.filters.isEmpty())
        dlg.setNameFilters(r.filters);
    // The system asks its own overwrite question unless the dialog is told to.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !(r.flags & kOverwritePrompt));
    dlg.setOption(QFileDialog::ReadOnly, false);
    if (!r.initDir.isEmpty())
        dlg.setDirectory(r.initDir);
    if (!r.fileName.isEmpty())
        dlg.selectFile(r.fileName);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.front();
}

bool CommonDialog::ShowOpen(QWidget* parent) { return show(parent, DialogMode::Open); }
bool CommonDialog::ShowSave(QWidget* parent) { return show(parent, DialogMode::Save); }

bool CommonDialog::show(QWidget* parent, DialogMode mode)
{
    DialogRequest r;
    r.mode = mode;
    r.title = DialogTitle;
    r.initDir = InitDir;
    r.fileName = FileName;
    r.filters = parseDialogFilter(Filter);
    r.flags = Flags;
    FileDialogBackend& backend = m_backend ? *m_backend : fileDialogBackend();
    const std::optional<QString> chosen = backend.run(parent, r);
    if (!chosen) {
        if (CancelError)
            throw DialogCancelled();
        return false;
    }
    FileName = *chosen;
    return true;
}

FileDialogBackend& fileDialogBackend()
{
    return Replaceable<FileDialogBackend, QtFileDialogBackend>::get();
}
void setFileDialogBackend(FileDialogBackend* backend)
{
    Replaceable<FileDialogBackend, QtFileDialogBackend>::replace(backend);
}

} // namespace zovex
