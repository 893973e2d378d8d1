// The program as installed: `cmake --install` into a folder of the test's own, then bin/zovex,
// a link to lib/zovex/zovex, started on a private X server the way the desktop entry starts it.
// The login dialog must come up (the password file is found beside the real program, not
// beside the link), its window must carry the class the desktop entry names, and the empty
// initial password must open the first designer window.
#include "x_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zovex::test;

constexpr int kStartMs = 30000;

namespace {

// Empty once the build is installed under `root`, else cmake's complaint.
QString install(const QString& root)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), root);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ZOVEX_CMAKE_COMMAND), {QStringLiteral("--install"), QStringLiteral(ZOVEX_BUILD_DIR),
                                                  QStringLiteral("--prefix"), QStringLiteral("/usr")});
    if (!p.waitForFinished(kStartMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("cmake --install failed: ") + QString::fromLocal8Bit(p.readAll());
    return {};
}

QString desktopEntryValue(const QString& file, const QString& key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

} // namespace

TEST(InstalledEndToEnd, TheLinkedProgramFindsItsPasswordFileAndMatchesItsDesktopEntry)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString installed = install(root.path());
    ASSERT_TRUE(installed.isEmpty()) << installed.toStdString();

    const QString link = root.filePath(QStringLiteral("usr/bin/zovex"));
    ASSERT_TRUE(QFileInfo(link).isSymLink());
    ASSERT_FALSE(QFile::exists(root.filePath(QStringLiteral("usr/bin/wvkcom.cct"))));
    ASSERT_TRUE(QFile::exists(root.filePath(QStringLiteral("usr/lib/zovex/wvkcom.cct"))));

    const QString entry = root.filePath(QStringLiteral("usr/share/applications/" ZOVEX_APP_ID ".desktop"));
    const QString exec = desktopEntryValue(entry, QStringLiteral("Exec"));
    ASSERT_EQ(exec, QStringLiteral("zovex")); // what the menu runs: bin/zovex, no arguments
    const QString wmClass = desktopEntryValue(entry, QStringLiteral("StartupWMClass"));

    XSession x(QStringLiteral("1600x1000x24"), kStartMs);
    const QString started = x.start();
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();

    ProcessGuard app;
    ASSERT_TRUE(x.launch(app, root.filePath(QStringLiteral("usr/bin/") + exec)));

    const QByteArray login = x.waitForWindow(QStringLiteral("^管理员登录$"));
    ASSERT_FALSE(login.isEmpty()) << "the login dialog did not appear";

    const ToolRun cls =
        x.run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::fromLatin1(login), QStringLiteral("WM_CLASS")});
    ASSERT_EQ(cls.exitCode, 0);
    EXPECT_TRUE(cls.out.contains("\"" + wmClass.toUtf8() + "\"")) << cls.out.toStdString();

    ASSERT_TRUE(x.pressKey(login, QStringLiteral("Return")));
    EXPECT_FALSE(x.waitForWindow(QStringLiteral("^ZovexTessaly5\\.0\\(Quenda\\)$")).isEmpty())
        << "the designer window did not appear";
}
