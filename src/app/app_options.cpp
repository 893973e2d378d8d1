#include "app_options.h"

namespace zovex {

AppCommandLine parseAppArguments(const std::vector<std::string>& args)
{
    AppCommandLine cmd;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            cmd.action = AppAction::Help;
            return cmd;
        }
        if (arg == "--version") {
            cmd.action = AppAction::Version;
            return cmd;
        }
        if (arg == "--wallpaper") {
            cmd.options.wallpaper = WallpaperFlag::Given;
            continue;
        }
        cmd.action = AppAction::Error;
        cmd.error = (arg.rfind('-', 0) == 0 ? "unknown option " : "unexpected argument ") + arg + " (try --help)";
        return cmd;
    }
    return cmd;
}

std::string appUsage()
{
    return "Usage: zovex [--wallpaper]\n"
           "Designs geometric art patterns. Starts with the administrator login, then the\n"
           "category-1 designer window.\n"
           "\n"
           "  --wallpaper  show \"高速排版\" in the designer window: it opens the wallpaper window,\n"
           "               which tiles a picture over a canvas as large as you ask and saves,\n"
           "               prints and zooms it\n"
           "  --help       show this text and exit\n"
           "  --version    show the version and exit\n";
}

std::string appVersionText() { return "zovex " ZOVEX_VERSION "\n"; }

} // namespace zovex
