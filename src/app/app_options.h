// The command line of the desktop program `zovex`, parsed before any Qt object exists so that
// --help, --version and a mistyped option work without a display.
//
// Contract: parseAppArguments never throws and never touches Qt. It accepts our own options
// (--help/-h, --version/-v, --wallpaper) and the options every Qt program takes (-platform,
// -style, -session, …, with one or two dashes, a value as the next word or after '='); those
// are left in argv for QApplication to act on. Anything else, including a plain word, is an
// error with a one-line reason; the caller prints it and exits with status 2.
#pragma once

#include <string>
#include <vector>

namespace zovex {

// Whether --wallpaper was given: it asks for Form1's "高速排版" button, which opens the
// wallpaper window and is hidden otherwise.
enum class WallpaperFlag { Absent, Given };

struct AppOptions {
    WallpaperFlag wallpaper = WallpaperFlag::Absent;
};

enum class AppAction {
    Run,     // start the program with `options`
    Help,    // print appUsage() on stdout, exit 0
    Version, // print the version line on stdout, exit 0
    Error,   // print "zovex: <error> (try --help)" on stderr, exit 2
};

struct AppCommandLine {
    AppAction action = AppAction::Run;
    AppOptions options;
    std::string error; // set when action is Error
};

// `args` are the words after the program name.
AppCommandLine parseAppArguments(const std::vector<std::string>& args);

std::string appUsage();

// The platform the program asks Qt for (QT_QPA_PLATFORM) when the user chose none: on a
// Wayland desktop native Wayland, whose windows are sharp at every output scale, falling back
// to the X server (Xwayland) where Qt's Wayland plugin is missing or cannot connect; elsewhere
// nothing (Qt's own choice). A platform the user set, or -platform on the command line (which
// Qt reads after the variable), always wins.
std::string defaultPlatform(bool waylandDisplaySet, bool platformVariableSet);

} // namespace zovex
