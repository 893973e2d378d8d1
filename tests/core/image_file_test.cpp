#include "image_file.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
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
        QString why;
        ASSERT_TRUE(writeImageAtomically(img, path, ImageFormat::Bmp, &why)) << why.toStdString();
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
    QString why;
    EXPECT_FALSE(writeImageAtomically(sample(4, 4), dir.path(), ImageFormat::Bmp, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(writeImageAtomically(sample(4, 4), QString(), ImageFormat::Bmp, &why));
    EXPECT_FALSE(writeImageAtomically(sample(4, 4), dir.filePath(QStringLiteral("missing/x.bmp")),
                                      ImageFormat::Bmp, &why));
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
            QString why;
            const bool ok = writeImageAtomically(big, path, ImageFormat::Bmp, &why);
            _exit(ok ? 1 : (why.contains(QStringLiteral("too large"), Qt::CaseInsensitive) ? 0 : 2));
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
