#include "capture_window.h"

#include "clipboard.h"
#include "colour.h"
#include "handler_guard.h"
#include "image_file.h"
#include "int_conv.h"
#include "message_box.h"
#include "app_windows.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

namespace zovex {

namespace {
// &HFFC0C0: red 192, green 192, blue 255.
constexpr Colour kPictureBack = 0xFFC0C0;
} // namespace

QString captureNotSavedText(const QString& fileName, const QString& reason)
{
    return QStringLiteral("图像没有保存到文件“%1”：%2").arg(fileName, reason);
}

Form20::Form20(QWidget* parent) : PictureWindow<QMainWindow>(parent)
{
    setUpPictureWindow(*this, QStringLiteral("Form20"), kCaptureCaption);
    auto* area = new QWidget(this);
    setCentralWidget(area);

    mnuFile = menuBar()->addMenu(QStringLiteral("文件"));
    mnuFileSnap = mnuFile->addAction(QStringLiteral("剪裁抓图"));
    mnuFileSave = mnuFile->addAction(QStringLiteral("保存图像"));
    mnuFileSave->setEnabled(false);
    mnuFileSep = mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction(QStringLiteral("退出"));
    connectHandler(mnuFileSnap, &QAction::triggered, this, FailureStyle::NotAtAll, [this] { mnuFileSnap_Click(); });
    connectHandler(mnuFileSave, &QAction::triggered, this, FailureStyle::StatementByStatement,
                   [this] { mnuFileSave_Click(); });
    connectHandler(mnuFileExit, &QAction::triggered, this, FailureStyle::NotAtAll, [this] { mnuFileExit_Click(); });

    Picture1 = new PictureBox(kCaptureClientSize, kPictureBack, area);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    CommonDialog1.CancelError = true;

    resize(kCaptureClientSize.width(), kCaptureClientSize.height() + menuBar()->sizeHint().height());
    Form_Load();
}

Form20::~Form20() { letGo(); }

QWidget& Form20::client() const { return *centralWidget(); }

void Form20::Form_Load()
{
    // Sized once, here: the window does not lay the picture box out again when it is resized.
    Picture1->setGeometry(QRect(QPoint(0, 0), kCaptureClientSize));
}

void Form20::Form_QueryUnload()
{
    // The close box unloads the window; nothing to ask.
}

void Form20::Form_Unload()
{
    letGo();
    // Form1's registry entry is left as it is: the loaded Form1 stays the one Form1.
}

void Form20::mnuFileSnap_Click()
{
    if (CaptureArmed)
        return;
    CaptureArmed = true;
    Screen& screen = desktopScreen();
    screen.setMousePointer(MousePointer::Crosshair);
    m_pointerSet = true;
    screen.setCapture(*this);
}

void Form20::Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPointF clientPos)
{
    if (button != Qt::LeftButton)
        return;
    Screen& screen = desktopScreen();
    if (screen.mousePointer() != MousePointer::Crosshair || !CaptureArmed)
        return;
    CaptureArmed = false;
    // The press is rounded to the nearest device pixel of the screen (halves to the even one).
    m_selection = TrackSelectionRect(*this, client(), clientPos, screen,
                                     [this](const ScreenImage& image, const ScreenRect& rect) {
                                         runHandler(FailureStyle::NotAtAll, this,
                                                    [&] { selectionFinished(image, rect); });
                                     });
}

void Form20::selectionFinished(const ScreenImage& screen, const ScreenRect& rect)
{
    Clipboard& clipboard = systemClipboard();
    const QImage captured = CaptureScreenToClipboard(screen, rect.left, rect.top, rect.right, rect.bottom, clipboard);
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        showNormal();
    if (captured.isNull())
        return; // nothing selected, nothing captured
    // The picture is the one now on the clipboard, as another program would paste it.
    QImage pasted = clipboard.image();
    if (!pasted.isNull()) {
        pasted = pasted.convertToFormat(QImage::Format_RGB32);
        // The clipboard carries pixels, not always their resolution: the block keeps its own.
        pasted.setDotsPerMeterX(captured.dotsPerMeterX());
        pasted.setDotsPerMeterY(captured.dotsPerMeterY());
    }
    Picture1->setPicture(pasted.isNull() ? captured : pasted);
    mnuFileSave->setEnabled(true);
}

void Form20::Form_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, QPointF)
{
    if (button != Qt::LeftButton)
        return;
    desktopScreen().setMousePointer(MousePointer::Default);
    m_pointerSet = false;
}

void Form20::mnuFileSave_Click()
{
    CommonDialog1.DialogTitle = kCaptureSaveTitle;
    CommonDialog1.Flags = kCaptureSaveFlags;
    CommonDialog1.Filter = kCaptureSaveFilter;
    try {
        if (!CommonDialog1.ShowSave(this))
            return;
    } catch (const DialogCancelled&) {
        return;
    }
    const QString name = CommonDialog1.FileName;
    if (name.isEmpty())
        return;
    FileError why;
    if (!writeImageAtomically(Picture1->picture(), name, ImageFormat::Bmp, &why))
        messageBoxes().notice(this, captureNotSavedText(name, why.notice()));
}

void Form20::mnuFileExit_Click()
{
    hide();
    showForm1();
}

void Form20::letGo()
{
    const bool selecting = m_selection && m_selection->isActive();
    m_selection.reset();
    Screen& screen = desktopScreen();
    if (CaptureArmed || selecting)
        screen.releaseCapture();
    CaptureArmed = false;
    if (m_pointerSet)
        screen.setMousePointer(MousePointer::Default);
    m_pointerSet = false;
}

QPointF Form20::toClient(QPointF windowPos) const { return windowPos - QPointF(centralWidget()->pos()); }

void Form20::mousePressEvent(QMouseEvent* event)
{
    runHandler(FailureStyle::NotAtAll, this,
               [&] { Form_MouseDown(event->button(), event->modifiers(), toClient(event->position())); });
}

void Form20::mouseReleaseEvent(QMouseEvent* event)
{
    runHandler(FailureStyle::NotAtAll, this,
               [&] { Form_MouseUp(event->button(), event->modifiers(), toClient(event->position())); });
}

void Form20::hideEvent(QHideEvent* event)
{
    // A window that is no longer on the screen cannot hold the pointer of the whole program,
    // nor finish a selection.
    if (!event->spontaneous() && (CaptureArmed || (m_selection && m_selection->isActive())))
        letGo();
    PictureWindow<QMainWindow>::hideEvent(event);
}

} // namespace zovex
