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

QString screenUnreadableText(ScreenFailure why, const QString& detail)
{
    const QString portal = QStringLiteral("桌面的截图服务（xdg-desktop-portal）");
    QString reason;
    QString remedy;
    switch (why) {
    case ScreenFailure::None:
    case ScreenFailure::NoScreen:
        reason = QStringLiteral("桌面没有给出屏幕的图像");
        remedy = QStringLiteral("请确认显示器已连接、桌面正在运行，然后再选“剪裁抓图”。");
        break;
    case ScreenFailure::BlackImage:
        reason = QStringLiteral("X 服务器给出的屏幕图像全是黑色，在 Wayland 桌面上的 Xwayland 读不到屏幕");
        remedy = QStringLiteral("请确认") + portal + QStringLiteral("正在运行，然后重新启动本程序再试。");
        break;
    case ScreenFailure::NoPortal:
        reason = QStringLiteral("找不到") + portal;
        remedy = QStringLiteral("请安装 xdg-desktop-portal 和与桌面相配的后端（如 xdg-desktop-portal-gnome、"
                                "xdg-desktop-portal-kde 或 xdg-desktop-portal-wlr），重新登录后再选“剪裁抓图”。");
        break;
    case ScreenFailure::Refused:
        reason = QStringLiteral("截图被拒绝了");
        remedy = QStringLiteral("请在桌面询问时允许本程序截图（也可以在桌面的隐私设置里允许），然后再选“剪裁抓图”。");
        break;
    case ScreenFailure::PortalFailed:
        reason = portal + QStringLiteral("报告了错误");
        remedy = QStringLiteral("请稍后再选“剪裁抓图”；如果总是这样，请检查") + portal + QStringLiteral("的设置。");
        break;
    case ScreenFailure::NoAnswer:
        reason = portal + QStringLiteral("没有按时回答");
        remedy = QStringLiteral("桌面可能在等您回答是否允许截图：请回答它，然后再选“剪裁抓图”。");
        break;
    case ScreenFailure::PortalGone:
        reason = portal + QStringLiteral("在回答之前退出了");
        remedy = QStringLiteral("请再选“剪裁抓图”；如果总是这样，请重新登录桌面。");
        break;
    case ScreenFailure::UnreadableFile:
        reason = QStringLiteral("读不出") + portal + QStringLiteral("写下的图像");
        remedy = QStringLiteral("请再选“剪裁抓图”；如果总是这样，请检查临时文件夹的空间和权限。");
        break;
    case ScreenFailure::WrongSize:
        reason = QStringLiteral("桌面给出的图像与屏幕的大小不符");
        remedy = QStringLiteral("请在屏幕设置改变之后再选“剪裁抓图”。");
        break;
    }
    if (!detail.isEmpty())
        reason += QStringLiteral("（") + detail + QStringLiteral("）");
    return QStringLiteral("无法读取屏幕，没有抓图。原因：%1。%2").arg(reason, remedy);
}

Form20::Form20(const Services& services, QWidget* parent)
    : PictureWindow<QMainWindow>(services, parent), CommonDialog1(services.fileDialogs)
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
    connectHandler(boxes(), mnuFileSnap, &QAction::triggered, this, FailureStyle::NotAtAll,
                   [this] { mnuFileSnap_Click(); });
    connectHandler(boxes(), mnuFileSave, &QAction::triggered, this, FailureStyle::StatementByStatement,
                   [this] { mnuFileSave_Click(); });
    connectHandler(boxes(), mnuFileExit, &QAction::triggered, this, FailureStyle::NotAtAll,
                   [this] { mnuFileExit_Click(); });

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
    Screen& screen = services().screen;
    screen.setMousePointer(MousePointer::Crosshair);
    m_pointerSet = true;
    if (screen.mouseReach() == MouseReach::Everywhere) {
        screen.setCapture(*this);
        return;
    }
    // The press must land on a window of the program: the screens as they are now, each under
    // an overlay. Reading them may take a while (the desktop may ask the user first).
    m_reading = screen.readScreens([this](ScreenShot shot) {
        runHandler(boxes(), FailureStyle::NotAtAll, this, [&] { screensRead(std::move(shot)); });
    });
}

void Form20::screensRead(ScreenShot shot)
{
    // The reading is over; it goes once this handler is done with it.
    const std::unique_ptr<PendingScreenShot> reading = std::move(m_reading);
    if (!CaptureArmed)
        return;
    if (!shot.ok()) {
        screenUnreadable(shot.failure, shot.detail);
        return;
    }
    m_frozen = std::make_unique<FrozenScreens>(std::move(shot.screens), [this](std::size_t i, const QMouseEvent& e) {
        runHandler(boxes(), FailureStyle::NotAtAll, this,
                   [&] { Overlay_MouseDown(i, e.button(), e.modifiers(), e.position()); });
    });
}

void Form20::screenUnreadable(ScreenFailure why, const QString& detail)
{
    letGo();
    boxes().notice(this, screenUnreadableText(why, detail));
}

SelectionSession::Finished Form20::whenFinished()
{
    return [this](const ScreenImage& image, const ScreenRect& rect) {
        runHandler(boxes(), FailureStyle::NotAtAll, this, [&] { selectionFinished(image, rect); });
    };
}

void Form20::Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPointF clientPos)
{
    if (button != Qt::LeftButton)
        return;
    Screen& screen = services().screen;
    if (screen.mousePointer() != MousePointer::Crosshair || !CaptureArmed)
        return;
    // Where presses reach only the program's windows, the selection starts on the overlays.
    if (screen.mouseReach() != MouseReach::Everywhere)
        return;
    ScreenShot shot = screen.grab(pressScreenPoint(client(), clientPos));
    if (!shot.ok()) {
        screenUnreadable(shot.failure, shot.detail);
        return;
    }
    CaptureArmed = false;
    // The press is rounded to the nearest device pixel of the screen (halves to the even one).
    m_selection = TrackSelectionRect(*this, client(), clientPos, std::move(shot.screens.front()), screen,
                                     services().tickGate, whenFinished());
}

void Form20::Overlay_MouseDown(std::size_t index, Qt::MouseButton button, Qt::KeyboardModifiers, QPointF overlayPos)
{
    if (button != Qt::LeftButton)
        return;
    Screen& screen = services().screen;
    if (screen.mousePointer() != MousePointer::Crosshair || !CaptureArmed || !m_frozen ||
        m_frozen->overlay(index) == nullptr)
        return;
    CaptureArmed = false;
    FrozenScreens::Taken frozen = m_frozen->take(index);
    m_frozen.reset();
    // The press is rounded to the nearest device pixel of the screen (halves to the even one).
    m_selection = TrackSelectionRect(*this, std::move(frozen), overlayPos, screen, services().tickGate, whenFinished());
}

void Form20::selectionFinished(const ScreenImage& screen, const ScreenRect& rect)
{
    Clipboard& clipboard = services().clipboard;
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
    services().screen.setMousePointer(MousePointer::Default);
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
        boxes().notice(this, captureNotSavedText(name, why.notice()));
}

void Form20::mnuFileExit_Click()
{
    hide();
    showForm1(services().windows);
}

void Form20::letGo()
{
    const bool selecting = m_selection && m_selection->isActive();
    m_selection.reset();
    m_reading.reset();
    m_frozen.reset();
    Screen& screen = services().screen;
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
    runHandler(boxes(), FailureStyle::NotAtAll, this,
               [&] { Form_MouseDown(event->button(), event->modifiers(), toClient(event->position())); });
}

void Form20::mouseReleaseEvent(QMouseEvent* event)
{
    runHandler(boxes(), FailureStyle::NotAtAll, this,
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
