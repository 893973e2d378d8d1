// zovex: the desktop program. It starts into the category-1 designer window; the ten designer
// windows and the picture tools are obtained through the window registry only. The program's one
// environment of services (ProgramServices) is built here and handed to every window. The program
// ends when none of its windows is visible any more: an open tool window keeps it running,
// hidden designer windows do not.
#include "app_options.h"
#include "designer_window.h"
#include "desktop_program.h"
#include "font_faces.h"
#include "capture_window.h"
#include "wallpaper_window.h"
#include "zoom_window.h"
#include "admin_gate.h"
#include "app_windows.h"
#include "print_window.h"
#include "clipboard.h"
#include "common_dialog.h"
#include "message_box.h"
#include "printer.h"
#include "random_source.h"
#include "screen.h"
#include "services.h"
#include "tick_gate.h"
#include "tick_queue.h"
#include "standard_descriptors.h"

#include <QApplication>
#include <QIcon>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// --help and --version succeed only when their text got out: a full disk is an error.
int printText(const std::string& text)
{
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "zovex: cannot write to standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

// The desktop's real services and the program's one registry, tick queue, gate and random
// source. Made after the application object and gone before it: the windows go first.
struct ProgramServices {
    zovex::QtMessageBoxes boxes;
    zovex::QtFileDialogBackend dialogs;
    zovex::QtPrinter printer;
    zovex::QtScreen screen;
    zovex::QtClipboard clipboard;
    zovex::TickQueue ticks;
    zovex::TickGate gate;
    zovex::RandomSource random;
    zovex::WindowRegistry windows{ticks};
    const zovex::Services services{boxes, dialogs, printer, screen, clipboard, windows, ticks, gate, random};

    ProgramServices() = default;
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;
    // Windows are widgets: they must go while the application object still exists.
    ~ProgramServices() { windows.reset(); }
};

} // namespace

int main(int argc, char** argv)
{
    using namespace zovex;
    // Before anything opens a file: a closed descriptor would be taken by the next one opened.
    openNullOnClosedStandardDescriptors();
    // The command line is read before QApplication: --help and --version need no display, and
    // a wrong option must not open a window.
    const AppCommandLine cmd = parseAppArguments({argv + 1, argv + argc});
    switch (cmd.action) {
    case AppAction::Run:
        break;
    case AppAction::Help:
        return printText(appUsage());
    case AppAction::Version:
        return printText("zovex " ZOVEX_VERSION "\n");
    case AppAction::Error:
        std::fprintf(stderr, "zovex: %s (try --help)\n", cmd.error.c_str());
        return 2;
    }
    // The desktop matches windows to the installed desktop entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZOVEX_APP_ID));
    // On a Wayland desktop the program runs natively: through Xwayland its windows are drawn at
    // scale 1 and blown up on a scaled output.
    if (const std::string platform =
            defaultPlatform(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"), qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
        !platform.empty())
        qputenv("QT_QPA_PLATFORM", platform.c_str());

    QApplication app(argc, argv);
    installChineseTranslation(app);
    QApplication::setApplicationVersion(QStringLiteral(ZOVEX_VERSION));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(ZOVEX_APP_ID)));
    installFontSubstitutions();
    ProgramServices program;
    const Services& services = program.services;
    registerDesignerWindows(services, cmd.options.wallpaper == WallpaperFlag::Given ? WallpaperAccess::Shown
                                                                                    : WallpaperAccess::Hidden);
    registerPrintWindow(services);
    registerCaptureWindow(services);
    registerWallpaperWindow(services);
    registerZoomWindow(services);

    // Start-up: the administrator login shows Form1 through the registry, or ends the program
    // before its event loop.
    if (endsProgram(runAdminGate(app, services, [&services] { showForm1(services.windows); })))
        return 1;

    endProgramWhenNoWindowIsVisible(app);
    return QApplication::exec();
}
