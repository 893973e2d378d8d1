// A small program that hosts the capture window on a real X server for the end-to-end test:
// a frameless window with the known picture, Form20 through the window registry, and a line
// protocol on stdin/stdout through which the test asks where things are and what state the
// window is in. The user's actions (menu clicks, the drag) come from xdotool, as a person's
// would; only the save dialog is scripted (its answer comes through the protocol).
#include "capture_e2e_pattern.h"
#include "capture_window.h"
#include "line_host_server.h"
#include "tick_gate.h"
#include "app_windows.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QWindow>

using namespace zovex;
using test::reply;

namespace {

class PatternWindow final : public QWidget {
public:
    PatternWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        m_pattern = test::capturePattern();
        setAttribute(Qt::WA_OpaquePaintEvent, true);
        setGeometry(QRect(test::kPatternAt, test::kPatternSize));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_pattern);
    }

private:
    QImage m_pattern;
};

QString centreOf(const QRect& globalRect)
{
    return QStringLiteral("%1 %2").arg(globalRect.center().x()).arg(globalRect.center().y());
}

} // namespace

int main(int argc, char** argv)
{
    test::HostApplication host(argc, argv);
    WindowRegistry& registry = host.registry;
    registerCaptureWindow(host.services);

    PatternWindow pattern;
    pattern.show();
    Form20& form = registry.as<CaptureForm>(WindowKind::Form20).window();
    form.move(560, 60);
    registry.form(WindowKind::Form20).Show();

    auto handle = [&](const QString& command, const QString& argument) -> bool {
        if (command == QLatin1String("menu")) {
            const QRect title = form.menuBar()->actionGeometry(form.mnuFile->menuAction());
            reply(QStringLiteral("menu ") + centreOf(title.translated(form.menuBar()->mapToGlobal(QPoint(0, 0)))));
        } else if (command == QLatin1String("item")) {
            QAction* action = argument == QLatin1String("save")   ? form.mnuFileSave
                              : argument == QLatin1String("exit") ? form.mnuFileExit
                                                                  : form.mnuFileSnap;
            if (!form.mnuFile->isVisible()) {
                reply(QStringLiteral("item none"));
                return true;
            }
            const QRect r = form.mnuFile->actionGeometry(action);
            reply(QStringLiteral("item ") + centreOf(r.translated(form.mnuFile->mapToGlobal(QPoint(0, 0)))));
        } else if (command == QLatin1String("state")) {
            Form20& f = registry.as<CaptureForm>(WindowKind::Form20).window();
            const SelectionSession* s = f.selection();
            const bool selecting = s && s->isActive();
            const ScreenRect r = s ? s->rect() : ScreenRect{};
            reply(QStringLiteral("state armed=%1 pointer=%2 selecting=%3 overlay=%4 save=%5 picture=%6x%7 "
                                 "held=%8 grabber=%9 rect=%10,%11,%12,%13 visible=%14")
                      .arg(f.captureArmed())
                      .arg(static_cast<int>(host.screen.mousePointer()))
                      .arg(selecting)
                      .arg(s && s->overlay() && s->overlay()->isVisible())
                      .arg(f.mnuFileSave->isEnabled())
                      .arg(f.Picture1->picture().width())
                      .arg(f.Picture1->picture().height())
                      .arg(host.gate.isHeld())
                      .arg(QWidget::mouseGrabber() == &f)
                      .arg(r.left)
                      .arg(r.top)
                      .arg(r.right)
                      .arg(r.bottom)
                      .arg(f.isVisible()));
        } else if (command == QLatin1String("exposed")) {
            const bool exposed = pattern.windowHandle() && pattern.windowHandle()->isExposed() && form.windowHandle() &&
                                 form.windowHandle()->isExposed();
            reply(QStringLiteral("exposed %1").arg(exposed));
        } else {
            return false;
        }
        return true;
    };

    return host.serve(handle);
}
