// Form20, the screen-region capture window ("Zovex剪裁抓图"), and its registry entry.
//
// "剪裁抓图" arms the capture: the crosshair over the whole application and the mouse captured
// by this window, so the next left press anywhere on the screen starts a selection (a press of
// another button, or arming again, changes nothing). Dragging shows an inverted frame with a
// "WxH" label; the release puts exactly that block of the screen on the clipboard and in
// Picture1 (natural size, from the top-left) and enables "保存图像", which writes the whole
// picture as a BMP under the chosen name, atomically, and says so when it cannot. A selection
// of zero width or height captures nothing: clipboard, picture and menu stay as they were.
//
// Where the mouse capture reaches only the program's own windows (a Wayland desktop), arming
// reads the screens at once, without blocking (the desktop may ask the user first), and shows
// each in a full-screen overlay with the crosshair; the next left press anywhere lands there and
// starts the selection as above, on the screens as they were at the arming. When the screen
// cannot be read (at the arming there, at the press elsewhere) the window disarms and says why
// in a "Zovex提示" notice; the clipboard, the picture and "保存图像" stay as they were.
//
// "退出" hides the window and shows Form1; the window stays loaded with its picture, menu state
// and dialog name. The close box unloads it, and nothing else (Form1 is left alone). Every
// handler is a public member named after its control and event; none lets an exception out.
// The screen, the clipboard, the message boxes, the file dialog and the tick gate are those of
// the Services the window was made with.
#pragma once

#include "common_dialog.h"
#include "picture_box.h"
#include "picture_window.h"
#include "selection_session.h"
#include "single_window.h"
#include "twips.h"
#include "app_windows.h"

#include <QImage>
#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;

namespace zovex {

inline const QString kCaptureCaption = QStringLiteral("Zovex剪裁抓图");
// The save dialog's settings.
inline const QString kCaptureSaveTitle = QStringLiteral("保存");
inline const QString kCaptureSaveFilter = QStringLiteral("位图文件(*.bmp)|*.bmp");
inline constexpr int kCaptureSaveFlags = kOverwritePrompt | kHideReadOnly;
// The client area at load, in pixels (6645 x 4860 twips).
inline const QSize kCaptureClientSize = twipsSize(6645, 4860);

// The notice of a failed save: names the file and the reason.
QString captureNotSavedText(const QString& fileName, const QString& reason);
// The notice of a screen that could not be read: that nothing was captured, why, and what to do.
QString screenUnreadableText(ScreenFailure why, const QString& detail);

class Form20 final : public PictureWindow<QMainWindow> {
public:
    explicit Form20(const Services& services, QWidget* parent = nullptr);
    ~Form20() override;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileSnap = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuFileSep = nullptr;
    QAction* mnuFileExit = nullptr;
    PictureBox* Picture1 = nullptr; // the captured picture at its natural size, from the top-left
    CommonDialog CommonDialog1;

    bool captureArmed() const { return CaptureArmed; }
    // The selection being dragged out, or the last one; nullptr before the first.
    const SelectionSession* selection() const { return m_selection.get(); }
    // The screens shown under the crosshair while armed where presses reach only the program's
    // windows; nullptr while they are being read, and when not armed so.
    const FrozenScreens* frozenScreens() const { return m_frozen.get(); }
    bool readingScreens() const { return m_reading != nullptr; }
    // The client area (below the menu bar), whose pixels Form_MouseDown and Form_MouseUp get.
    QWidget& client() const;

    void Form_Load();
    void Form_QueryUnload() override;
    void Form_Unload() override;
    void Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF clientPos);
    void Form_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF clientPos);
    // A press on the overlay of frozen screen `index`, at `overlayPos` in the overlay's pixels.
    void Overlay_MouseDown(std::size_t index, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF overlayPos);
    void mnuFileSnap_Click();
    void mnuFileSave_Click();
    void mnuFileExit_Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPointF toClient(QPointF windowPos) const;
    void selectionFinished(const ScreenImage& screen, const ScreenRect& rect);
    SelectionSession::Finished whenFinished();
    void screensRead(ScreenShot shot);
    void screenUnreadable(ScreenFailure why, const QString& detail);
    // Leaves the armed state or abandons the selection: pointer back to normal, mouse capture
    // released, ticks no longer held.
    void letGo();

    bool CaptureArmed = false;
    bool m_pointerSet = false; // this window set the crosshair and has not restored it yet
    std::unique_ptr<SelectionSession> m_selection;
    std::unique_ptr<PendingScreenShot> m_reading;
    std::unique_ptr<FrozenScreens> m_frozen;
};

using CaptureForm = SingleWindow<Form20>;

// Declares the capture window to the window registry (WindowKind::Form20); later calls change
// nothing.
inline void registerCaptureWindow(const Services& services)
{
    registerSingleWindow<Form20>(services, WindowKind::Form20);
}

} // namespace zovex
