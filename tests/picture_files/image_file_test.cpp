#include "image_file.h"

#include "atomic_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <sys/sysmacros.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zovex;

namespace {

QImage sample(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 7 % 256, y * 3 % 256, (x ^ y) % 256));
    return img;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ImageFile, WritesAStandardBitmapUnderExactlyTheGivenName)
{
    QTemporaryDir dir;
    const QImage img = sample(37, 21);
    for (const QString& name : {QStringLiteral("pattern"), QStringLiteral("pattern.jpg"), QStringLiteral("图案.Bmp")}) {
        const QString path = dir.filePath(name);
        FileError why;
        ASSERT_TRUE(writeImageAtomically(img, path, ImageFormat::Bmp, &why)) << why.english();
        const QByteArray bytes = contents(path);
        ASSERT_GE(bytes.size(), 54);
        EXPECT_EQ(bytes.left(2), QByteArray("BM"));
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), QByteArray("bmp"));
        EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32), img);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(ImageFile, RefusesFoldersAndEmptyNames)
{
    QTemporaryDir dir;
    FileError why;
    EXPECT_FALSE(writeImageAtomically(sample(4, 4), dir.path(), ImageFormat::Bmp, &why));
    EXPECT_FALSE(why.english().empty());
    EXPECT_FALSE(writeImageAtomically(sample(4, 4), QString(), ImageFormat::Bmp, &why));
    EXPECT_FALSE(
        writeImageAtomically(sample(4, 4), dir.filePath(QStringLiteral("missing/x.bmp")), ImageFormat::Bmp, &why));
}

TEST(ImageFile, AFullDiskLeavesTheOldFileAsItWasAndNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.bmp"));
    ASSERT_TRUE(writeImageAtomically(sample(10, 10), path, ImageFormat::Bmp));
    const QByteArray before = contents(path);

    // A child process whose files may not grow past a limit stands in for a full disk. The
    // limits cut the file early, and just before its end (only the last buffered bytes fail).
    const QImage big = sample(200, 200); // 120054 bytes as a bitmap
    for (rlim_t limit : {rlim_t(2000), rlim_t(118000), rlim_t(120053)}) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{limit, limit};
            setrlimit(RLIMIT_FSIZE, &lim);
            FileError why;
            const bool ok = writeImageAtomically(big, path, ImageFormat::Bmp, &why);
            _exit(ok ? 1
                     : (QString::fromStdString(why.english()).contains(QStringLiteral("too large"), Qt::CaseInsensitive)
                            ? 0
                            : 2));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_NE(WEXITSTATUS(status), 1) << "a cut write was reported as done, limit " << limit;
        EXPECT_NE(WEXITSTATUS(status), 2) << "the reason does not say the file could not grow, limit " << limit;
        EXPECT_EQ(contents(path), before) << limit;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.bmp")});
    }
}

namespace {

QByteArray qtBitmap(const QImage& img)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, "bmp");
    EXPECT_TRUE(w.write(img.convertToFormat(QImage::Format_RGB32)));
    return bytes;
}

bool isLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Runs every case with the unnamed temporary files of Linux and as on file systems without
// them (vfat, some network file systems), where the temporary file has a name from the start.
class AtomicWrite : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { detail::setUnnamedTemporariesAllowed(GetParam()); }
    void TearDown() override { detail::setUnnamedTemporariesAllowed(true); }
    QTemporaryDir dir;
};

INSTANTIATE_TEST_SUITE_P(Temporaries, AtomicWrite, ::testing::Values(true, false),
                         [](const auto& p) { return p.param ? "Unnamed" : "Named"; });

} // namespace

TEST_P(AtomicWrite, StreamedBitmapsAreByteForByteWhatQtWrites)
{
    QImage dense = sample(61, 150);
    dense.setDotsPerMeterX(3780);
    dense.setDotsPerMeterY(1000);
    const struct {
        const char* name;
        QImage image;
    } cases[] = {
        {"1 x 1", sample(1, 1)},
        {"widths that need padding", sample(5, 3)},
        {"two widths", sample(2, 7)},
        {"resolution set", dense},
        {"ARGB, converted in bands", sample(37, 150).convertToFormat(QImage::Format_ARGB32)},
        {"indexed", sample(13, 70).convertToFormat(QImage::Format_Indexed8)},
        {"mono", sample(33, 9).convertToFormat(QImage::Format_Mono)},
        {"RGB888", sample(10, 10).convertToFormat(QImage::Format_RGB888)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QStringLiteral("a.bmp"));
        FileError why;
        ASSERT_TRUE(writeImageAtomically(c.image, path, ImageFormat::Bmp, &why)) << why.english();
        EXPECT_EQ(contents(path), qtBitmap(c.image));
    }
}

TEST_P(AtomicWrite, ALinkUnderTheNameIsReplacedNeverWrittenThrough)
{
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("precious"));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const QString path = dir.filePath(QStringLiteral("zovex-1-000001.bmp"));
    const QString dangling = dir.filePath(QStringLiteral("dangling.png"));
    ASSERT_TRUE(QFile::link(target, path));
    ASSERT_TRUE(QFile::link(outside.filePath(QStringLiteral("would-be-created")), dangling));

    ASSERT_TRUE(writeImageAtomically(sample(4, 4), path, ImageFormat::Bmp));
    ASSERT_TRUE(writeImageAtomically(sample(4, 4), dangling, ImageFormat::Png));
    EXPECT_EQ(contents(target), QByteArray("keep me"));
    EXPECT_FALSE(QFile::exists(outside.filePath(QStringLiteral("would-be-created"))));
    EXPECT_FALSE(isLink(path));
    EXPECT_FALSE(isLink(dangling));
    EXPECT_EQ(contents(path), qtBitmap(sample(4, 4)));
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("precious")});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

TEST_P(AtomicWrite, KeepsTheOldFilesPermissionsAndOwnerOnlyStaysOwnerOnly)
{
    const QString path = dir.filePath(QStringLiteral("p.bmp"));
    ASSERT_TRUE(writeImageAtomically(sample(2, 2), path, ImageFormat::Bmp));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(writeImageAtomically(sample(3, 3), path, ImageFormat::Bmp));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const QString secret = dir.filePath(QStringLiteral("secret"));
    AtomicFile f(secret, FileAccess::OwnerOnly);
    FileError why;
    ASSERT_TRUE(f.open(&why) && f.write("x", 1, &why) && f.commit(&why)) << why.english();
    ASSERT_EQ(::stat(QFile::encodeName(secret).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_P(AtomicWrite, AnInterruptedWriteLeavesNoTemporaryFile)
{
    const QString path = dir.filePath(QStringLiteral("batch.bmp"));
    ASSERT_TRUE(writeImageAtomically(sample(3, 3), path, ImageFormat::Bmp));
    const QByteArray before = contents(path);
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            installTemporaryFileCleanup();
            AtomicFile f(path);
            FileError why;
            if (!f.open(&why) || !f.write("half", 4, &why))
                _exit(3);
            ::raise(sig); // the batch is stopped half-way through a file
            _exit(4);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(contents(path), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList{QStringLiteral("batch.bmp")});
    }
}

TEST_P(AtomicWrite, OnlyARegularFileOrALinkIsReplacedAPipeOrADeviceIsLeftAsItIs)
{
    struct Case {
        const char* name;
        mode_t mode;
        dev_t device;
    };
    std::vector<Case> cases{{"pipe.bmp", S_IFIFO | 0600, 0}};
    // Making a device node needs root; as root even /dev/null could be replaced otherwise.
    if (::geteuid() == 0)
        cases.push_back({"null.bmp", S_IFCHR | 0666, makedev(1, 3)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        const QByteArray native = QFile::encodeName(path);
        ASSERT_EQ(::mknod(native.constData(), c.mode, c.device), 0) << std::strerror(errno);
        FileError why;
        EXPECT_FALSE(writeImageAtomically(sample(3, 3), path, ImageFormat::Bmp, &why));
        EXPECT_TRUE(why.notice().contains(QStringLiteral("不是普通文件"))) << why.notice().toStdString();
        EXPECT_NE(why.english().find("only a regular file"), std::string::npos) << why.english();
        struct stat st {};
        ASSERT_EQ(::lstat(native.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.mode & S_IFMT);
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
            qsizetype(&c - cases.data()) + 1);
    }
}

TEST(FileError, CommonSystemReasonsAreToldInChineseTheRestInTheSystemsWords)
{
    QTemporaryDir dir;
    struct Case {
        const char* what;
        QString path;
        QString notice;
        int errnum;
    };
    const Case cases[] = {
        {"missing folder", dir.filePath(QStringLiteral("missing/x.bmp")), QStringLiteral("文件或文件夹不存在"), ENOENT},
        {"name too long", dir.filePath(QString(300, QLatin1Char('n'))), QStringLiteral("文件名太长"), ENAMETOOLONG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileError why;
        EXPECT_FALSE(writeImageAtomically(sample(2, 2), c.path, ImageFormat::Bmp, &why));
        EXPECT_EQ(why.errnum(), c.errnum);
        EXPECT_EQ(why.notice(), c.notice);
        EXPECT_EQ(why.english(), std::strerror(c.errnum));
    }
    const std::pair<int, QString> reasons[] = {
        {ENOSPC, QStringLiteral("磁盘空间不足")},   {EACCES, QStringLiteral("没有权限")},
        {EPERM, QStringLiteral("没有权限")},        {EROFS, QStringLiteral("磁盘是只读的")},
        {EMFILE, QStringLiteral("打开的文件太多")}, {ENFILE, QStringLiteral("打开的文件太多")},
        {EIO, QStringLiteral("输入/输出错误")},
    };
    for (const auto& [err, text] : reasons)
        EXPECT_EQ(FileError::system(err).notice(), text) << err;
    // A reason without a text of its own is the system's.
    EXPECT_EQ(FileError::system(EXDEV).notice(), QString::fromLocal8Bit(std::strerror(EXDEV)));
}
