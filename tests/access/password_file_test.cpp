#include "password_file.h"

#include "access_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zovex;
using zovex::test::ProgramFolder;

namespace {

// With a file-size limit of 0 every byte written to a new file fails, even for root.
PasswordFileWrite writeWithNoRoomForBytes(const QString& dir, const QByteArray& encoded)
{
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit none = saved;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    PasswordFileWrite w = writePasswordFile(dir, encoded);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return w;
}

enum class Limit { None, NoRoomForBytes };

} // namespace

TEST(PasswordFile, WritesTheLineAtomicallyReadableByAllWritableByItsOwner)
{
    ProgramFolder folder;
    folder.put("\"\"\r\n");
    ASSERT_TRUE(QFile::setPermissions(folder.file(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::WriteGroup | QFileDevice::WriteOther));

    const PasswordFileWrite w = writePasswordFile(folder.path(), *encodePassword("0123456789"));
    ASSERT_TRUE(w.ok) << w.error.toStdString();
    EXPECT_EQ(folder.content(), passwordFileLine(*encodePassword("0123456789")));
    EXPECT_EQ(test::modeOf(folder.file()), 0644u);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{kPasswordFileName}); // no temporary file left behind

    const PasswordFileRead r = readPasswordFile(folder.path());
    EXPECT_EQ(r.state, PasswordFileState::Ok);
    EXPECT_EQ(r.storedPassword, QStringLiteral("01234567"));
}

TEST(PasswordFile, ALinkPutInItsPlaceIsReplacedNotWrittenThrough)
{
    // Someone swaps the file for a link after start-up, hoping the new password lands in
    // their file.
    ProgramFolder folder;
    ProgramFolder elsewhere;
    elsewhere.put("theirs", QStringLiteral("target"));
    ASSERT_TRUE(QFile::link(elsewhere.file(QStringLiteral("target")), folder.file()));

    const PasswordFileWrite w = writePasswordFile(folder.path(), *encodePassword("abc"));
    ASSERT_TRUE(w.ok) << w.error.toStdString();
    EXPECT_EQ(test::readBytes(elsewhere.file(QStringLiteral("target"))), QByteArray("theirs"));
    EXPECT_FALSE(QFileInfo(folder.file()).isSymLink());
    EXPECT_EQ(folder.content(), passwordFileLine(*encodePassword("abc")));
    EXPECT_EQ(test::modeOf(folder.file()), 0644u);
}

TEST(PasswordFile, AFailedWriteLeavesWhatWasThereAndSaysWhy)
{
    struct Case {
        const char* name;
        std::function<QString(ProgramFolder&)> setUp; // returns the folder to write into
        std::function<void(ProgramFolder&)> check;
        Limit limit = Limit::None;
    };
    const QByteArray old = passwordFileLine(*encodePassword("old"));
    const std::vector<Case> cases = {
        {"the disk refuses the bytes",
         [&](ProgramFolder& f) {
             f.put(old);
             return f.path();
         },
         [&](ProgramFolder& f) {
             EXPECT_EQ(f.content(), old);
             EXPECT_EQ(QDir(f.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
         },
         Limit::NoRoomForBytes},
        {"a folder stands in the file's place",
         [](ProgramFolder& f) {
             QDir(f.path()).mkpath(QStringLiteral("wvkcom.cct/inside"));
             return f.path();
         },
         [](ProgramFolder& f) { EXPECT_TRUE(QFileInfo(f.file(QStringLiteral("wvkcom.cct/inside"))).isDir()); }},
        {"the program folder is gone", [](ProgramFolder& f) { return f.dir.filePath(QStringLiteral("gone")); },
         [](ProgramFolder&) {}},
        {"a folder nobody may write into", [](ProgramFolder&) { return QStringLiteral("/proc/self"); },
         [](ProgramFolder&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder folder;
        const QString dir = c.setUp(folder);
        const QByteArray encoded = *encodePassword("new");
        const PasswordFileWrite w =
            c.limit == Limit::NoRoomForBytes ? writeWithNoRoomForBytes(dir, encoded) : writePasswordFile(dir, encoded);
        EXPECT_FALSE(w.ok);
        EXPECT_FALSE(w.error.isEmpty());
        c.check(folder);
    }
}

TEST(PasswordFile, OnlyTheExactLowerCaseNameCounts)
{
    ProgramFolder folder;
    folder.put("\"\"\r\n", QStringLiteral("WVKCOM.CCT"));
    folder.put("\"\"\r\n", QStringLiteral("Wvkcom.cct"));
    folder.put("\"\"\r\n", QStringLiteral("wvkcom.cct.bak"));
    EXPECT_FALSE(hasPasswordFileEntry(folder.path()));
    EXPECT_EQ(readPasswordFile(folder.path()).state, PasswordFileState::Missing);

    folder.put("\"\"\r\n");
    EXPECT_TRUE(hasPasswordFileEntry(folder.path()));
    EXPECT_EQ(readPasswordFile(folder.path()).state, PasswordFileState::Ok);
}

TEST(PasswordFile, ReadsFromAReadOnlyFolder)
{
    ProgramFolder folder;
    folder.put(passwordFileLine(*encodePassword("abc")));
    ASSERT_TRUE(QFile::setPermissions(folder.file(), QFileDevice::ReadOwner));
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const PasswordFileRead r = readPasswordFile(folder.path());
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(r.state, PasswordFileState::Ok);
    EXPECT_EQ(r.storedPassword, QStringLiteral("abc"));
}

// A program folder whose name is not valid text: the folder is its bytes, and the password
// file in it is found, read and rewritten there.
TEST(PasswordFile, AFolderWhoseNameIsNotTextIsStillTheProgramsFolder)
{
    QTemporaryDir parent;
    ASSERT_TRUE(parent.isValid());
    const QByteArray dir = QFile::encodeName(parent.path()) + "/\xff\xfe\x80z";
    ASSERT_EQ(::mkdir(dir.constData(), 0700), 0);
    const QByteArray file = dir + "/wvkcom.cct";
    const QByteArray line = passwordFileLine(*encodePassword("abc"));
    {
        FILE* f = std::fopen(file.constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(line.constData(), 1, size_t(line.size()), f);
        std::fclose(f);
    }
    EXPECT_TRUE(hasPasswordFileEntry(dir));
    const PasswordFileRead r = readPasswordFile(dir);
    EXPECT_EQ(r.state, PasswordFileState::Ok);
    EXPECT_EQ(r.storedPassword, QStringLiteral("abc"));
    ASSERT_TRUE(writePasswordFile(dir, *encodePassword("xyz")).ok);
    EXPECT_EQ(readPasswordFile(dir).storedPassword, QStringLiteral("xyz"));
    // (The name as text is no longer the folder's name.)
    EXPECT_NE(QFile::encodeName(QFile::decodeName(dir)), dir);
}

TEST(PasswordFile, APipeUnderTheNameIsNeitherReadNorReplaced)
{
    ProgramFolder folder;
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.file()).constData(), 0600), 0);
    EXPECT_EQ(readPasswordFile(folder.path()).state, PasswordFileState::Damaged);
    const PasswordFileWrite w = writePasswordFile(folder.path(), *encodePassword("abc"));
    EXPECT_FALSE(w.ok);
    EXPECT_TRUE(w.error.contains(QStringLiteral("不是普通文件"))) << w.error.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder.file()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramAsBytes)
{
    char exe[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    QByteArray expected(exe);
    expected.truncate(expected.lastIndexOf('/'));
    EXPECT_EQ(programFolder(), expected);
}
