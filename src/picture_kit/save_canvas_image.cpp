#include "save_canvas_image.h"

#include "canvas.h"
#include "common_dialog.h"
#include "image_file.h"
#include "message_box.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zovex {

namespace {

// The question is asked for any existing ordinary file (a link to one included): a folder of
// that name cannot be replaced anyway and is reported by the write.
bool ordinaryFileExists(const QString& name) { return QFileInfo(name).isFile(); }

MsgAnswer askOverwrite(QWidget* parent)
{
    return messageBoxes().show(parent, {kOverwriteQuestion, kQuestionTitle, MsgIcon::Question, MsgButtons::YesNo,
                                        MsgAnswer::Yes});
}

} // namespace

QString patternNotSavedText(const QString& fileName, const QString& reason)
{
    return QStringLiteral("图案没有保存：无法写入文件“%1”（%2）。").arg(QDir::toNativeSeparators(fileName), reason);
}

void SaveCanvasImage(CommonDialog& dialog, const Canvas& canvas, QWidget* parent) noexcept
{
    try {
        dialog.InitDir = QCoreApplication::applicationDirPath();
        dialog.Filter = kBitmapFilter;
        bool chosen = false;
        try {
            chosen = dialog.ShowSave(parent);
        } catch (const DialogCancelled&) {
            // The dialog reports cancelling as an error after the wallpaper window opened a
            // picture with it: a cancel all the same.
        }
        // A cancel ends the save even when the dialog still holds an earlier name.
        if (!chosen)
            return;
        const QString name = dialog.FileName;
        if (name.isEmpty())
            return;
        if (ordinaryFileExists(name) && askOverwrite(parent) != MsgAnswer::Yes)
            return;
        // The canvas as it is now: ticks that fell while the dialog or the question was open
        // have drawn on it.
        FileError why;
        if (!writeImageAtomically(canvas.persistentImage(), name, ImageFormat::Bmp, &why))
            messageBoxes().notice(parent, patternNotSavedText(name, why.notice()));
    } catch (...) {
        // Nothing may escape into the event loop; a save that failed this way wrote nothing.
    }
}

} // namespace zovex
