// zovex's command line. The program reads no configuration; its few options are parsed before
// any window exists, so a wrong option costs nothing and shows no window.
//
// Contract: parseAppArguments never throws. --help and --version ask for their text and an exit
// with status 0; an unknown option or a stray argument is an error whose one-line message the
// caller prints on stderr before exiting with status 2.
#pragma once

#include <string>
#include <vector>

namespace zovex {

enum class WallpaperFlag { Absent, Given };

struct AppOptions {
    // --wallpaper: Form1 shows "高速排版", the way into the wallpaper window.
    WallpaperFlag wallpaper = WallpaperFlag::Absent;
};

enum class AppAction { Run, Help, Version, Error };

struct AppCommandLine {
    AppAction action = AppAction::Run;
    AppOptions options;
    std::string error; // for Error: one line, no newline
};

AppCommandLine parseAppArguments(const std::vector<std::string>& args);
std::string appUsage();
std::string appVersionText();

} // namespace zovex
