// The desktop program's command line: what it accepts, what it refuses, and that --help,
// --version and a wrong option are answered by the real program without a display.
#include "app_options.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace zovex;

namespace {

struct Case {
    std::vector<std::string> args;
    AppAction action;
    WallpaperFlag wallpaper = WallpaperFlag::Absent;
    std::string error = {};
};

} // namespace

TEST(AppArguments, OurOptionsQtOptionsAndMistakes)
{
    const std::vector<Case> cases = {
        {{}, AppAction::Run},
        {{"--wallpaper"}, AppAction::Run, WallpaperFlag::Given},
        {{"--help"}, AppAction::Help},
        {{"-h"}, AppAction::Help},
        {{"--version"}, AppAction::Version},
        {{"-v"}, AppAction::Version},
        // The first of --help and --version wins, even after a bad word.
        {{"--version", "--bogus"}, AppAction::Version},
        {{"--wallpaper", "--help"}, AppAction::Help, WallpaperFlag::Given},
        {{"--wallpaper", "--version"}, AppAction::Version, WallpaperFlag::Given},
        // Qt's own options, with one or two dashes, the value apart or after '='.
        {{"-platform", "xcb", "--wallpaper"}, AppAction::Run, WallpaperFlag::Given},
        {{"--platform", "offscreen"}, AppAction::Run},
        {{"-style=fusion", "-reverse", "-session", "1a2b"}, AppAction::Run},
        {{"-display", ":1", "-qwindowgeometry", "800x600+0+0"}, AppAction::Run},
        // A Qt option's value is not read as an option of ours.
        {{"-qwindowtitle", "--help"}, AppAction::Run},
        {{"--bogus"}, AppAction::Error, WallpaperFlag::Absent, "unknown option '--bogus'"},
        {{"--wallpaper=yes"}, AppAction::Error, WallpaperFlag::Absent, "unknown option '--wallpaper=yes'"},
        {{"--wallpapers"}, AppAction::Error, WallpaperFlag::Absent, "unknown option '--wallpapers'"},
        {{"-w"}, AppAction::Error, WallpaperFlag::Absent, "unknown option '-w'"},
        {{"-reverse=1"}, AppAction::Error, WallpaperFlag::Absent, "unknown option '-reverse=1'"},
        {{"picture.bmp"}, AppAction::Error, WallpaperFlag::Absent, "unexpected argument 'picture.bmp'"},
        {{"-"}, AppAction::Error, WallpaperFlag::Absent, "unexpected argument '-'"},
        {{"-platform"}, AppAction::Error, WallpaperFlag::Absent, "option '-platform' needs a value"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const auto& a : c.args)
            shown += a + ' ';
        SCOPED_TRACE(shown);
        const AppCommandLine r = parseAppArguments(c.args);
        EXPECT_EQ(r.action, c.action);
        EXPECT_EQ(r.error, c.error);
        if (r.action != AppAction::Error) {
            EXPECT_EQ(r.options.wallpaper, c.wallpaper);
        }
    }
    EXPECT_NE(appUsage().find("--wallpaper"), std::string::npos);
}

namespace {

struct ProgramRun {
    int exitCode = -1;
    QByteArray out, err;
};

// The program with no display at all: no X server, no Wayland, no platform chosen.
ProgramRun runProgram(const QStringList& args, const QString& stdoutFile = {})
{
    QProcess p;
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(v));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZOVEX_APP_BINARY), args);
    ProgramRun r;
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

TEST(AppProgram, AnswersTheCommandLineWithoutADisplay)
{
    const ProgramRun version = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("zovex " ZOVEX_VERSION "\n"));
    EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();

    const ProgramRun help = runProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: zovex")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--wallpaper"));

    const ProgramRun wrong = runProgram({QStringLiteral("--bogus")});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_EQ(wrong.err, QByteArray("zovex: unknown option '--bogus' (try --help)\n"));

    // A version that could not be written is not a success.
    const ProgramRun full = runProgram({QStringLiteral("--version")}, QStringLiteral("/dev/full"));
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(full.err.startsWith("zovex: cannot write to standard output")) << full.err.toStdString();
}
