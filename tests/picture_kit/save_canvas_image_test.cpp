#include "save_canvas_image.h"

#include "canvas.h"
#include "common_dialog.h"
#include "scripted_platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace zovex;
using test::kCancel;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// What a standard uncompressed 24-bit Windows bitmap says about itself.
struct BmpHeader {
    bool magic = false;
    qint32 width = 0;
    qint32 height = 0;
    quint16 bitsPerPixel = 0;
    quint32 compression = 99;
};

BmpHeader bmpHeader(const QByteArray& b)
{
    BmpHeader h;
    if (b.size() < 54)
        return h;
    const auto* d = reinterpret_cast<const uchar*>(b.constData());
    h.magic = b[0] == 'B' && b[1] == 'M';
    h.width = qFromLittleEndian<qint32>(d + 18);
    h.height = qFromLittleEndian<qint32>(d + 22);
    h.bitsPerPixel = qFromLittleEndian<quint16>(d + 28);
    h.compression = qFromLittleEndian<quint32>(d + 30);
    return h;
}

// The canvas's image exactly, read back by Qt's BMP reader whatever the file is named.
void expectFileHoldsCanvas(const QString& path, const Canvas& canvas)
{
    const QByteArray bytes = bytesOf(path);
    const BmpHeader h = bmpHeader(bytes);
    EXPECT_TRUE(h.magic) << path.toStdString();
    EXPECT_EQ(h.width, canvas.widthPx());
    EXPECT_EQ(h.height, canvas.heightPx()); // positive: bottom-up rows, the standard layout
    EXPECT_EQ(h.bitsPerPixel, 24);
    EXPECT_EQ(h.compression, 0u);
    const QImage back = QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, canvas.persistentImage());
}

class SaveCanvasImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Other users may pass through (the read-only folder case runs as another user).
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadOther | QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                              QFileDevice::ExeGroup);
        paint(RGB(10, 20, 30));
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    void paint(Colour c)
    {
        canvas.setBackColor(c);
        canvas.persistentImage().setPixel(1, 2, qRgb(250, 1, 2)); // not one flat colour: orientation shows
    }
    void save(CommonDialog& d) { SaveCanvasImage(platform.boxes, d, canvas, nullptr); }
    QStringList entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir dir;
    test::ScriptedPlatform platform;
    Canvas canvas{7, 5, RGB(0, 0, 64)};
    CommonDialog dialog{platform.dialogs};
};

TEST_F(SaveCanvasImageTest, FirstSaveCancelledWritesNothingAndShowsNothing)
{
    platform.dialogs.answers = {kCancel};
    save(dialog);
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_TRUE(platform.boxes.shown.empty());
    EXPECT_TRUE(dialog.FileName.isEmpty());

    ASSERT_EQ(platform.dialogs.requests.size(), 1u);
    const DialogRequest& r = platform.dialogs.requests[0];
    EXPECT_EQ(r.mode, DialogMode::Save);
    EXPECT_EQ(r.initDir, QCoreApplication::applicationDirPath());
    EXPECT_EQ(r.filters, QStringList{QStringLiteral("位图文件 (*.Bmp)")});
    EXPECT_EQ(r.flags, 0); // the dialog asks nothing itself: the save has its own question
    EXPECT_TRUE(r.fileName.isEmpty());
}

TEST_F(SaveCanvasImageTest, CancelEndsTheSaveEvenWithAnEarlierNameInTheDialog)
{
    // CancelError on is the wallpaper window's dialog after it opened a picture.
    for (const bool cancelError : {false, true}) {
        SCOPED_TRACE(cancelError);
        const QString target = path(QStringLiteral("kept.bmp"));
        platform.dialogs.answers = {target};
        paint(RGB(1, 2, 3));
        save(dialog);
        const QByteArray before = bytesOf(target);
        ASSERT_FALSE(before.isEmpty());

        dialog.CancelError = cancelError;
        paint(RGB(200, 100, 50));
        platform.boxes.shown.clear();
        platform.dialogs.answers = {kCancel};
        save(dialog);
        EXPECT_TRUE(platform.boxes.shown.empty()); // no question about the old name
        EXPECT_EQ(bytesOf(target), before);
        EXPECT_EQ(dialog.FileName, target);
        dialog.CancelError = false;
    }
}

TEST_F(SaveCanvasImageTest, ExistingFileIsReplacedOnlyAfterYes)
{
    const struct {
        MsgAnswer answer;
        bool replaced;
    } cases[] = {{MsgAnswer::Yes, true}, {MsgAnswer::No, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.replaced);
        CommonDialog own(platform.dialogs);
        const QString target = path(QStringLiteral("pattern.bmp"));
        QFile::remove(target);
        platform.dialogs.requests.clear();
        platform.boxes.shown.clear();

        platform.dialogs.answers = {target};
        paint(RGB(1, 2, 3));
        save(own);
        ASSERT_TRUE(platform.boxes.shown.empty()); // a new file: no question
        const QByteArray first = bytesOf(target);

        // The user accepts the name the dialog offers again.
        paint(RGB(90, 80, 70));
        platform.dialogs.answers = {target};
        platform.boxes.answers = {c.answer};
        save(own);
        ASSERT_EQ(platform.dialogs.requests.size(), 2u);
        EXPECT_EQ(platform.dialogs.requests[1].fileName, target);
        ASSERT_EQ(platform.boxes.shown.size(), 1u);
        const MessageRequest& q = platform.boxes.shown[0];
        EXPECT_EQ(q.text, QStringLiteral("文件已经存在，是否覆盖文件？"));
        EXPECT_EQ(q.title, QStringLiteral("询问"));
        EXPECT_EQ(q.icon, MsgIcon::Question);
        EXPECT_EQ(q.buttons, MsgButtons::YesNo);
        EXPECT_EQ(q.defaultAnswer, MsgAnswer::Yes);
        if (c.replaced) {
            expectFileHoldsCanvas(target, canvas);
        } else {
            EXPECT_EQ(bytesOf(target), first);
        }
        EXPECT_EQ(entries(), QStringList{QStringLiteral("pattern.bmp")});
    }
}

TEST_F(SaveCanvasImageTest, FileDeletedMeanwhileIsWrittenWithoutAQuestion)
{
    const QString target = path(QStringLiteral("again.bmp"));
    platform.dialogs.answers = {target, target};
    save(dialog);
    ASSERT_TRUE(QFile::remove(target));
    paint(RGB(7, 7, 7));
    save(dialog);
    EXPECT_TRUE(platform.boxes.shown.empty());
    expectFileHoldsCanvas(target, canvas);
}

TEST_F(SaveCanvasImageTest, NameIsUsedExactlyAndTheContentIsAlwaysABitmap)
{
    for (const QString& name : {QStringLiteral("pattern"), QStringLiteral("pattern.jpg"), QStringLiteral("图案.Bmp"),
                                QStringLiteral("two words.png")}) {
        SCOPED_TRACE(name.toStdString());
        platform.dialogs.answers = {path(name)};
        save(dialog);
        expectFileHoldsCanvas(path(name), canvas);
    }
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("pattern.bmp"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("pattern.Bmp"))));
    EXPECT_EQ(entries().size(), 4);
}

TEST_F(SaveCanvasImageTest, WritesTheCanvasAsItIsWhenTheDialogAndTheQuestionHaveClosed)
{
    const QString target = path(QStringLiteral("late.bmp"));
    // A generation tick while the dialog is open...
    platform.dialogs.whileOpen = [&] { paint(RGB(0, 255, 0)); };
    platform.dialogs.answers = {target};
    save(dialog);
    expectFileHoldsCanvas(target, canvas);
    EXPECT_EQ(QImage(target).pixel(0, 0), qRgb(0, 255, 0));

    // ... and one while the question is open.
    platform.dialogs.whileOpen = nullptr;
    platform.boxes.whileOpen = [&] { paint(RGB(0, 0, 255)); };
    platform.dialogs.answers = {target};
    save(dialog);
    EXPECT_EQ(QImage(target).pixel(0, 0), qRgb(0, 0, 255));
}

TEST_F(SaveCanvasImageTest, EachDialogKeepsItsOwnName)
{
    CommonDialog form1(platform.dialogs);
    CommonDialog form2(platform.dialogs);
    platform.dialogs.answers = {path(QStringLiteral("one.bmp")), kCancel, kCancel};
    save(form1);
    save(form2);
    save(form1);
    ASSERT_EQ(platform.dialogs.requests.size(), 3u);
    EXPECT_TRUE(platform.dialogs.requests[1].fileName.isEmpty());
    EXPECT_EQ(platform.dialogs.requests[2].fileName, path(QStringLiteral("one.bmp")));
}

// Makes the folder read-only for this process: by its mode, and for root (who writes anyway) by
// acting as an ordinary user while the save runs.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : m_folder(folder)
    {
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
        if (geteuid() == 0)
            m_wasRoot = seteuid(65534) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_wasRoot)
            (void)seteuid(0);
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
    QString m_folder;
    bool m_wasRoot = false;
};

// A medium that fills up after `bytes`: the process may not write files larger than that.
class FullMedium {
public:
    explicit FullMedium(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FullMedium()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FullMedium(const FullMedium&) = delete;
    FullMedium& operator=(const FullMedium&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST_F(SaveCanvasImageTest, FailedWriteLeavesTheOldFileAndTellsWhichFileAndWhy)
{
    const QString sub = path(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkpath(sub));
    const struct {
        const char* what;
        QString target;
        bool existing; // an old file is there and must survive
        std::function<std::shared_ptr<void>()> arrange;
    } cases[] = {
        {"read-only folder", sub + QStringLiteral("/old.bmp"), true,
         [&] { return std::make_shared<ReadOnlyFolder>(sub); }},
        {"medium full", path(QStringLiteral("full.bmp")), true, [] { return std::make_shared<FullMedium>(4096); }},
        {"name too long for the file system", path(QString(300, QLatin1Char('n'))), false, [] { return nullptr; }},
        {"folder that does not exist", path(QStringLiteral("nowhere/x.bmp")), false, [] { return nullptr; }},
        {"a folder of that name", sub, false, [] { return nullptr; }},
    };
    Canvas big(200, 100, RGB(1, 1, 1)); // 60 KB of bitmap, beyond the full medium's room
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform.boxes.shown.clear();
        QByteArray old;
        if (c.existing) {
            QFile f(c.target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("the old file");
            f.close();
            old = bytesOf(c.target);
        }
        const QStringList before = entries();
        const QStringList beforeSub = QDir(sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        CommonDialog own(platform.dialogs);
        platform.dialogs.answers = {c.target};
        platform.boxes.answers = {MsgAnswer::Yes};
        {
            const std::shared_ptr<void> arranged = c.arrange();
            SaveCanvasImage(platform.boxes, own, big, nullptr);
        }

        ASSERT_EQ(platform.boxes.shown.size(), c.existing ? 2u : 1u);
        if (c.existing) {
            EXPECT_EQ(platform.boxes.shown[0].title, QStringLiteral("询问"));
        }
        const MessageRequest& notice = platform.boxes.shown.back();
        EXPECT_EQ(notice.title, QStringLiteral("Zovex提示"));
        EXPECT_EQ(notice.icon, MsgIcon::Exclamation);
        EXPECT_EQ(notice.buttons, MsgButtons::Ok);
        EXPECT_TRUE(notice.text.contains(QDir::toNativeSeparators(c.target))) << notice.text.toStdString();
        EXPECT_TRUE(notice.text.startsWith(QStringLiteral("图案没有保存"))) << notice.text.toStdString();
        // The reason follows the name, in brackets, and is not empty.
        EXPECT_TRUE(notice.text.endsWith(QStringLiteral("）。")));
        EXPECT_FALSE(notice.text.contains(QStringLiteral("（）")));
        if (c.existing) {
            EXPECT_EQ(bytesOf(c.target), old);
        }
        EXPECT_EQ(entries(), before); // no temporary file left behind
        EXPECT_EQ(QDir(sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), beforeSub);
        EXPECT_EQ(own.FileName, c.target);
    }
}

} // namespace
