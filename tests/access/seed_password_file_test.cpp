// The build step that puts the initial password file next to the program.
#include "access_test_support.h"

#include <QProcess>

using zovex::test::ProgramFolder;

namespace {

int runSeed(const QString& dir)
{
    QProcess p;
    p.start(QStringLiteral(ZOVEX_CMAKE_COMMAND),
            {QStringLiteral("-DDIR=") + dir, QStringLiteral("-P"), QStringLiteral(ZOVEX_SEED_PASSWORD_SCRIPT)});
    if (!p.waitForFinished(60000))
        return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QStringList entries(const ProgramFolder& f)
{
    return QDir(f.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

TEST(SeedPasswordFile, PutsTheEmptyPasswordWhereNoneIsAndNeverOverwrites)
{
    ProgramFolder folder;
    ASSERT_EQ(runSeed(folder.path()), 0);
    EXPECT_EQ(folder.content(), QByteArray("\"\"\r\n"));
    EXPECT_EQ(zovex::test::modeOf(folder.file()), 0644u);
    EXPECT_EQ(entries(folder), QStringList{QStringLiteral("wvkcom.cct")}); // nothing left beside it

    const QByteArray chosen("\"\x95\x98\x9b\"\r\n");
    folder.put(chosen);
    ASSERT_EQ(runSeed(folder.path()), 0);
    EXPECT_EQ(folder.content(), chosen);

    ProgramFolder linked;
    ASSERT_TRUE(QFile::link(linked.file(QStringLiteral("elsewhere")), linked.file()));
    ASSERT_EQ(runSeed(linked.path()), 0);
    EXPECT_FALSE(QFile::exists(linked.file(QStringLiteral("elsewhere")))); // the link was not followed
    EXPECT_EQ(entries(linked), QStringList{QStringLiteral("wvkcom.cct")});
}
