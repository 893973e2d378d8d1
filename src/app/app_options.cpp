#include "app_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zovex {

namespace {

// Qt's own options (QGuiApplication, QApplication and the X11 platform). A session manager
// restarts a program with -session, and users pass -platform or -style, so refusing them
// would break the desktop; the names stay a closed list so that a typo is still reported.
constexpr std::array<std::string_view, 13> kQtOptionsWithValue = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger"};
constexpr std::array<std::string_view, 5> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

bool contains(const auto& list, std::string_view name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

AppCommandLine error(std::string why)
{
    AppCommandLine r;
    r.action = AppAction::Error;
    r.error = std::move(why);
    return r;
}

} // namespace

std::string appUsage()
{
    return "usage: zovex [--wallpaper] [Qt options]\n"
           "       zovex --help | --version\n"
           "\n"
           "Starts Zovex, the geometric pattern designer: the administrator login \"管理员登录\"\n"
           "first, then the category-1 designer window. The password file wvkcom.cct is read\n"
           "from the folder of the real program (links resolved).\n"
           "\n"
           "  --wallpaper     show the \"高速排版\" button that opens the wallpaper window\n"
           "  -h, --help      print this text and exit\n"
           "  -v, --version   print the version and exit\n"
           "\n"
           "Qt's own options are accepted as well, for example -platform xcb, -style fusion,\n"
           "-display :1, -session ID.\n"
           "\n"
           "Exit status: 0 when the last window is closed or after --help or --version,\n"
           "1 when the login ends the program, 2 for a wrong command line.\n";
}

AppCommandLine parseAppArguments(const std::vector<std::string>& args)
{
    AppCommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            result.action = AppAction::Help;
            return result;
        }
        if (a == "--version" || a == "-v") {
            result.action = AppAction::Version;
            return result;
        }
        if (a == "--wallpaper") {
            result.options.wallpaper = WallpaperFlag::Given;
            continue;
        }
        if (a.size() < 2 || a[0] != '-')
            return error("unexpected argument '" + a + "'");
        // Qt takes its options with one dash or two.
        std::string_view name(a);
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        const auto eq = name.find('=');
        const bool inlineValue = eq != std::string_view::npos;
        if (inlineValue)
            name = name.substr(0, eq);
        if (contains(kQtOptionsWithValue, name)) {
            if (!inlineValue && ++i >= args.size())
                return error("option '" + a + "' needs a value");
            continue;
        }
        if (contains(kQtFlags, name) && !inlineValue)
            continue;
        return error("unknown option '" + a + "'");
    }
    return result;
}

std::string defaultPlatform(bool waylandDisplaySet, bool platformVariableSet)
{
    if (platformVariableSet || !waylandDisplaySet)
        return {};
    return "wayland;xcb";
}

} // namespace zovex
