// The real program on a real X server: it starts into the login dialog and, with the empty
// initial password, Enter opens the first designer window. The test starts its own Xvfb on a
// display number the server picks itself (-displayfd) and stops everything it started.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kStartMs = 30000;

// Stops a started process when it goes out of scope, whatever the test's outcome.
struct ProcessGuard {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    ~ProcessGuard()
    {
        if (process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
};

struct XServer {
    ProcessGuard xvfb;
    QString display;

    bool start()
    {
        xvfb.process->setProcessChannelMode(QProcess::SeparateChannels);
        xvfb.process->start(QStringLiteral("Xvfb"),
                            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                             QStringLiteral("0"), QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"),
                             QStringLiteral("tcp")});
        if (!xvfb.process->waitForStarted(kStartMs))
            return false;
        QByteArray out;
        while (!out.contains('\n')) {
            if (!xvfb.process->waitForReadyRead(kStartMs))
                return false;
            out += xvfb.process->readAllStandardOutput();
        }
        display = QLatin1Char(':') + QString::fromLatin1(out.trimmed());
        return true;
    }
};

QProcessEnvironment environmentFor(const QString& display, const QString& runtimeDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // xdotool matches UTF-8 titles
    return env;
}

struct Run {
    int exitCode = -1;
    QByteArray out;
};

Run xdotool(const QProcessEnvironment& env, const QStringList& args)
{
    ProcessGuard p;
    p.process->setProcessEnvironment(env);
    p.process->start(QStringLiteral("xdotool"), args);
    Run r;
    if (p.process->waitForFinished(kStartMs) && p.process->exitStatus() == QProcess::NormalExit)
        r.exitCode = p.process->exitCode();
    r.out = p.process->readAllStandardOutput().trimmed();
    return r;
}

// The first window whose title matches, waiting for it to be mapped (xdotool polls itself).
QByteArray waitForWindow(const QProcessEnvironment& env, const QString& titleRegex)
{
    const Run r = xdotool(env, {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--name"), titleRegex});
    if (r.exitCode != 0)
        return {};
    return r.out.split('\n').value(0);
}

} // namespace

TEST(LoginEndToEnd, EnterWithTheEmptyInitialPasswordOpensTheDesignerWindow)
{
    const QString built = QStringLiteral(ZOVEX_APP_BINARY);
    ASSERT_TRUE(QFile::exists(built)) << built.toStdString();
    // The build put the initial password file beside the program.
    EXPECT_TRUE(QFile::exists(QFileInfo(built).dir().filePath(QStringLiteral("wvkcom.cct"))));

    QTemporaryDir programDir;
    QTemporaryDir runtimeDir;
    ASSERT_TRUE(programDir.isValid() && runtimeDir.isValid());
    QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString program = programDir.filePath(QStringLiteral("zovex"));
    ASSERT_TRUE(QFile::copy(built, program));
    {
        QFile f(programDir.filePath(QStringLiteral("wvkcom.cct")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write("\"\"\r\n"), 4);
    }

    XServer x;
    ASSERT_TRUE(x.start()) << "Xvfb did not start";
    const QProcessEnvironment env = environmentFor(x.display, runtimeDir.path());

    ProcessGuard app;
    app.process->setProcessEnvironment(env);
    app.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.process->start(program, {});
    ASSERT_TRUE(app.process->waitForStarted(kStartMs));

    const QByteArray login = waitForWindow(env, QStringLiteral("^管理员登录$"));
    ASSERT_FALSE(login.isEmpty()) << "the login dialog did not appear";
    ASSERT_EQ(xdotool(env, {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::fromLatin1(login)})
                  .exitCode,
              0);
    ASSERT_EQ(xdotool(env, {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("Return")})
                  .exitCode,
              0);

    const QByteArray form1 = waitForWindow(env, QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$"));
    EXPECT_FALSE(form1.isEmpty()) << "the designer window did not appear";
    EXPECT_EQ(app.process->state(), QProcess::Running);
    // The dialog is gone: searching for it without waiting finds nothing.
    EXPECT_NE(xdotool(env, {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                            QStringLiteral("^管理员登录$")})
                  .exitCode,
              0);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
