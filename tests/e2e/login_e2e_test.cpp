// The real program on a real X server: it starts into the login dialog and, with the empty
// initial password, Enter opens the first designer window. The test starts its own Xvfb on a
// display number the server picks itself (-displayfd) and stops everything it started.
#include "x_session.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

using namespace zovex::test;

constexpr int kStartMs = 30000;

TEST(LoginEndToEnd, EnterWithTheEmptyInitialPasswordOpensTheDesignerWindow)
{
    const QString built = QStringLiteral(ZOVEX_APP_BINARY);
    ASSERT_TRUE(QFile::exists(built)) << built.toStdString();
    // The build put the initial password file beside the program.
    EXPECT_TRUE(QFile::exists(QFileInfo(built).dir().filePath(QStringLiteral("wvkcom.cct"))));

    ProgramCopy program;
    XSession x(QStringLiteral("1600x1000x24"), kStartMs);
    ProcessGuard app;
    const QString started = startProgram(built, program, x, app);
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();

    const QByteArray login = x.waitForWindow(QStringLiteral("^管理员登录$"));
    ASSERT_FALSE(login.isEmpty()) << "the login dialog did not appear";
    ASSERT_TRUE(x.pressKey(login, QStringLiteral("Return")));

    const QByteArray form1 = x.waitForWindow(QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$"));
    EXPECT_FALSE(form1.isEmpty()) << "the designer window did not appear";
    EXPECT_EQ(app.process->state(), QProcess::Running);
    // The dialog is gone: searching for it without waiting finds nothing.
    EXPECT_NE(x.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                         QStringLiteral("^管理员登录$")})
                  .exitCode,
              0);
}
