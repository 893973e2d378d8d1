// A small program that hosts the zoom window on a real X server for the end-to-end test: the
// wallpaper window Form30 and the zoom window Form40 through the window registry (Form1 and the
// capture window are stand-ins), and a line protocol on stdin/stdout through which the test
// asks where the buttons are and what state the windows are in. The user's clicks come from xdotool, as a person's
// would; only the open dialog is scripted (its answer comes through the protocol). Message boxes are the real ones.
#include "font_faces.h"
#include "wallpaper_window.h"
#include "zoom_window.h"
#include "line_host_server.h"
#include "app_windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

using namespace zovex;
using test::reply;

namespace {

QString centreOf(const QWidget* w)
{
    if (!w || !w->isVisible())
        return QStringLiteral("none");
    const QPoint c = w->mapToGlobal(w->rect().center());
    return QStringLiteral("%1 %2").arg(c.x()).arg(c.y());
}

// Round-trips a float: nine significant digits.
QString exact(float v) { return QString::number(static_cast<double>(v), 'g', 9); }

} // namespace

int main(int argc, char** argv)
{
    test::HostApplication host(argc, argv);
    WindowRegistry& registry = host.registry;
    test::registerPlainStandIn(registry, WindowKind::Form20);
    registerWallpaperWindow(host.services);
    registerZoomWindow(host.services);
    installFontSubstitutions();
    registry.form(WindowKind::Form30).Show();

    auto zoomWindow = [&]() -> Form40* {
        return registry.isLoaded(WindowKind::Form40) ? &registry.as<ZoomForm>(WindowKind::Form40).window() : nullptr;
    };

    auto handle = [&](const QString& command, const QString& argument) -> bool {
        if (command == QLatin1String("zoom")) {
            reply(QStringLiteral("zoom ") + centreOf(wallpaperWindow(registry).Command7));
        } else if (command == QLatin1String("button")) {
            Form40* f = zoomWindow();
            reply(QStringLiteral("button ") +
                  centreOf(f ? f->findChild<QPushButton*>(QStringLiteral("Command") + argument) : nullptr));
        } else if (command == QLatin1String("state")) {
            Form40* f = zoomWindow();
            QWidget& form30 = registry.form(WindowKind::Form30).widget();
            const ZoomSize z = f ? f->Image1->zoomSize() : ZoomSize{};
            const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            reply(QStringLiteral("state loaded=%1 visible=%2 width=%3 height=%4 picture=%5x%6 form30=%7 "
                                 "form30visible=%8 modal=%9 modaltext=%10 owner=%11")
                      .arg(f != nullptr)
                      .arg(f && f->isVisible())
                      .arg(exact(z.width), exact(z.height))
                      .arg(f ? f->Image1->picture().width() : 0)
                      .arg(f ? f->Image1->picture().height() : 0)
                      .arg(form30.winId())
                      .arg(form30.isVisible())
                      .arg(box ? box->windowTitle() : QStringLiteral("-"), box ? box->text() : QStringLiteral("-"))
                      .arg(f && registry.form(WindowKind::Form40).owner()
                               ? registry.form(WindowKind::Form40).owner()->winId()
                               : 0));
        } else if (command == QLatin1String("ok")) {
            // The message box's only button.
            QWidget* modal = QApplication::activeModalWidget();
            reply(QStringLiteral("ok ") + centreOf(modal ? modal->findChild<QAbstractButton*>() : nullptr));
        } else {
            return false;
        }
        return true;
    };

    return host.serve(handle);
}
