// The common file dialog control: a window that works with files owns one CommonDialog for
// its whole life. It keeps its properties between uses (FileName above all: the program never
// clears it). Showing goes through a FileDialogBackend: the Qt one on the desktop, a scripted
// one in tests.
#pragma once

#include "errors.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

class QWidget;

namespace zovex {

// Flags of the dialog, as the system names them.
enum DialogFlag : int {
    kOverwritePrompt = 0x2, // ask before a save replaces an existing file
    kHideReadOnly = 0x4,    // no read-only check box
    kFileMustExist = 0x1000,
};

enum class DialogMode { Open, Save };

struct DialogRequest {
    DialogMode mode = DialogMode::Open;
    QString title;       // empty: the desktop's own ("打开" / "另存为")
    QString initDir;     // empty: the current folder
    QString fileName;    // offered name
    QStringList filters; // Qt name filters, one per entry of Filter
    int flags = 0;
};

class FileDialogBackend {
public:
    virtual ~FileDialogBackend() = default;
    // The chosen path, or nullopt when cancelled.
    virtual std::optional<QString> run(QWidget* parent, const DialogRequest& request) = 0;
};

// Qt's own file dialog widget (not the native portal), so it works on any X11 desktop.
class QtFileDialogBackend final : public FileDialogBackend {
public:
    std::optional<QString> run(QWidget* parent, const DialogRequest& request) override;
};

// "desc|pattern|desc|pattern" -> Qt name filters "desc (pattern)"; a description that already
// ends in the pattern in parentheses is kept as it is.
QStringList parseDialogFilter(const QString& filter);

class CommonDialog {
public:
    // Uses the program's backend (fileDialogBackend()) unless one is given.
    explicit CommonDialog(FileDialogBackend* backend = nullptr) : m_backend(backend) {}

    QString Filter;
    QString InitDir;
    QString FileName;
    QString DialogTitle;
    int Flags = 0;
    bool CancelError = false;

    // Shows the dialog modally (timers keep running). Returns true when a file was chosen
    // (FileName is then that path). On cancel FileName is unchanged and the result is false,
    // or DialogCancelled is thrown when CancelError is on.
    bool ShowOpen(QWidget* parent);
    bool ShowSave(QWidget* parent);

private:
    bool show(QWidget* parent, DialogMode mode);
    FileDialogBackend* m_backend;
};

FileDialogBackend& fileDialogBackend();
void setFileDialogBackend(FileDialogBackend* backend); // nullptr restores the Qt one

} // namespace zovex
