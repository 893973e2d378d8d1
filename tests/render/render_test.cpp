#include "batch.h"
#include "command_line.h"
#include "output_folder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zovex;

namespace {

struct RenderRun {
    int exitCode;
    QString out, err;
};

RenderRun runRender(const QStringList& args, const QString& workingFolder = {})
{
    QProcess p;
    if (!workingFolder.isEmpty())
        p.setWorkingDirectory(workingFolder);
    p.start(QStringLiteral(ZOVEX_RENDER_EXE), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST(RenderArguments, BadArgumentsAreRefusedWithExitTwoAndNothingWritten)
{
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("out"));
    const QStringList bad[] = {
        {QStringLiteral("--bogus")},
        {QStringLiteral("--category"), QStringLiteral("0")},
        {QStringLiteral("--category"), QStringLiteral("11")},
        {QStringLiteral("--category"), QStringLiteral("x")},
        {QStringLiteral("--count"), QStringLiteral("0")},
        {QStringLiteral("--state"), QStringLiteral("16777216")},
        {QStringLiteral("--state"), QStringLiteral("-1")},
        {QStringLiteral("--format"), QStringLiteral("jpg")},
        {QStringLiteral("--count")},
        {QStringLiteral("--jobs"), QStringLiteral("0")},
        {QStringLiteral("--scale"), QStringLiteral("0")},
        {QStringLiteral("--scale"), QStringLiteral("9")},
        {QStringLiteral("--scale"), QStringLiteral("0.75")},
        {QStringLiteral("--scale"), QStringLiteral("8.5")},
        {QStringLiteral("--scale"), QStringLiteral("1.5x")},
        {QStringLiteral("--scale"), QStringLiteral("1,5")},
        {QStringLiteral("--scale"), QStringLiteral("nan")},
        {QStringLiteral("--scale"), QStringLiteral("")},
        {QStringLiteral("--from"), QStringLiteral("0")},
        {QStringLiteral("--from"), QStringLiteral("2147483647"), QStringLiteral("--count"), QStringLiteral("2")},
    };
    for (const QStringList& args : bad) {
        const RenderRun r = runRender(QStringList(args) << QStringLiteral("--out") << out);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(QDir(out).exists()) << args.join(' ').toStdString();
    }
}

TEST(RenderArguments, AnUnwritableOutputFolderIsRefused)
{
    QTemporaryDir tmp;
    QFile f(tmp.filePath(QStringLiteral("plain-file")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    RenderRun r = runRender({QStringLiteral("--out"), f.fileName()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not a folder"))) << r.err.toStdString();
    r = runRender({QStringLiteral("--out"), f.fileName() + QStringLiteral("/sub")});
    EXPECT_EQ(r.exitCode, 2);
}

TEST(RenderArguments, HelpPrintsUsage)
{
    const RenderRun r = runRender({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: zovex-render")));
}

TEST(Render, FirstPatternOfCategoryOneIsTheKnownOneAndStatesReproducePatterns)
{
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("p"));
    const RenderRun r = runRender({QStringLiteral("--category"), QStringLiteral("1"), QStringLiteral("--count"),
                                   QStringLiteral("3"), QStringLiteral("--out"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QStringList first = lines[0].split('\t');
    ASSERT_EQ(first.size(), 4);
    EXPECT_EQ(first[0], QStringLiteral("1"));
    EXPECT_EQ(first[1], QStringLiteral("327680"));
    EXPECT_EQ(first[2], QDir(out).filePath(QStringLiteral("zovex-1-000001.bmp")));
    EXPECT_EQ(first[3], QStringLiteral("NO: WVK190835090.1854614786612"));

    QFile bmp(first[2]);
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    const QByteArray head = bmp.read(54);
    EXPECT_EQ(head.left(2), QByteArray("BM"));
    EXPECT_EQ(qFromLittleEndian<quint32>(head.constData() + 30), 0u); // BI_RGB, uncompressed
    const QImage img(first[2]);
    ASSERT_EQ(img.size(), QSize(857, 857));
    EXPECT_EQ(img.pixel(0, 856) & 0xFFFFFF, 0xA27B85u); // RGB(162, 123, 133)

    // The third pattern again, alone, from its printed state.
    const QStringList third = lines[2].split('\t');
    const QString again = tmp.filePath(QStringLiteral("again"));
    const RenderRun r2 = runRender({QStringLiteral("--state"), third[1], QStringLiteral("--out"), again,
                                    QStringLiteral("--format"), QStringLiteral("png")});
    ASSERT_EQ(r2.exitCode, 0) << r2.err.toStdString();
    const QStringList line = r2.out.trimmed().split('\t');
    EXPECT_EQ(line[3], third[3]);
    EXPECT_EQ(QImage(line[2]).convertToFormat(QImage::Format_RGB32),
              QImage(third[2]).convertToFormat(QImage::Format_RGB32));
    EXPECT_TRUE(QDir(again).entryList(QDir::Files | QDir::Hidden).size() == 1);
}

TEST(Render, ComboTextsGoIntoTheLabelAsTyped)
{
    QTemporaryDir tmp;
    const RenderRun r = runRender({QStringLiteral("--category"), QStringLiteral("10"), QStringLiteral("--line-width"),
                                   QStringLiteral("wide"), QStringLiteral("--draw-mode"), QStringLiteral("7"),
                                   QStringLiteral("--out"), tmp.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.split('\t').value(3).startsWith(QStringLiteral("NO: WVK10wide7350")));
}

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file of a folder, hidden ones included, by name.
QMap<QString, QByteArray> folderContents(const QString& dir)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System))
        files.insert(name, fileBytes(QDir(dir).filePath(name)));
    return files;
}

} // namespace

TEST(RenderBatch, JobsAndShardsGiveExactlyTheFilesAndLinesOfOneSequentialRun)
{
    // Each row also renders with texts or combos that fail, whose effects a canvas carries
    // from one tick to the next.
    const QStringList variants[] = {
        {QStringLiteral("--category"), QStringLiteral("1"), QStringLiteral("--format"), QStringLiteral("png")},
        {QStringLiteral("--category"), QStringLiteral("6"), QStringLiteral("--draw-mode"), QStringLiteral("0"),
         QStringLiteral("--line-width"), QStringLiteral("x"), QStringLiteral("--state"), QStringLiteral("777")},
        {QStringLiteral("--category"), QStringLiteral("9"), QStringLiteral("--text2"), QStringLiteral(""),
         QStringLiteral("--format"), QStringLiteral("png"), QStringLiteral("--state"), QStringLiteral("16777215")},
    };
    for (const QStringList& variant : variants) {
        const std::string what = variant.join(' ').toStdString();
        auto run = [&](const QString& where, const QStringList& more) {
            QDir().mkpath(where);
            const RenderRun r =
                runRender(QStringList(variant) << QStringLiteral("--out") << QStringLiteral("p") << more, where);
            EXPECT_EQ(r.exitCode, 0) << what << ": " << r.err.toStdString();
            return r.out;
        };
        QTemporaryDir tmp;
        const QString whole = tmp.filePath(QStringLiteral("whole"));
        const QString out1 = run(
            whole, {QStringLiteral("--count"), QStringLiteral("13"), QStringLiteral("--jobs"), QStringLiteral("1")});
        ASSERT_EQ(out1.count('\n'), 13) << what;
        const auto files1 = folderContents(whole + QStringLiteral("/p"));
        ASSERT_EQ(files1.size(), 13) << what;

        const QString many = tmp.filePath(QStringLiteral("many"));
        EXPECT_EQ(
            run(many, {QStringLiteral("--count"), QStringLiteral("13"), QStringLiteral("--jobs"), QStringLiteral("4")}),
            out1)
            << what;
        EXPECT_TRUE(folderContents(many + QStringLiteral("/p")) == files1) << what;

        // Three shards, each in a folder of its own, in an order other than the batch's.
        QString lines;
        QMap<QString, QByteArray> files;
        const char* shards[][2] = {{"1", "5"}, {"6", "1"}, {"7", "7"}};
        for (const auto& shard : shards) {
            const QString where = tmp.filePath(QStringLiteral("shard-%1").arg(QLatin1String(shard[0])));
            lines += run(where, {QStringLiteral("--from"), QLatin1String(shard[0]), QStringLiteral("--count"),
                                 QLatin1String(shard[1]), QStringLiteral("--jobs"), QStringLiteral("2")});
            files.insert(folderContents(where + QStringLiteral("/p")));
        }
        EXPECT_EQ(lines, out1) << what;
        EXPECT_TRUE(files == files1) << what;
    }
}

TEST(RenderBatch, EveryPngDecodesToTheCanvasPixelsThatTheBitmapHolds)
{
    QTemporaryDir tmp;
    for (int k = 1; k <= 10; ++k) {
        const QStringList args = {QStringLiteral("--category"), QString::number(k),
                                  QStringLiteral("--count"),    QStringLiteral("2"),
                                  QStringLiteral("--state"),    QString::number(k * 1000003 % 16777216)};
        const RenderRun bmp =
            runRender(QStringList(args) << QStringLiteral("--out") << tmp.filePath(QStringLiteral("bmp")));
        const RenderRun png =
            runRender(QStringList(args) << QStringLiteral("--out") << tmp.filePath(QStringLiteral("png"))
                                        << QStringLiteral("--format") << QStringLiteral("png"));
        ASSERT_EQ(bmp.exitCode, 0);
        ASSERT_EQ(png.exitCode, 0);
        for (int i = 1; i <= 2; ++i) {
            const QString name = QStringLiteral("zovex-%1-%2").arg(k).arg(i, 6, 10, QLatin1Char('0'));
            const QImage fromBmp(tmp.filePath(QStringLiteral("bmp/") + name + QStringLiteral(".bmp")));
            const QImage fromPng(tmp.filePath(QStringLiteral("png/") + name + QStringLiteral(".png")));
            ASSERT_EQ(fromPng.size(), QSize(857, 857)) << name.toStdString();
            EXPECT_EQ(fromPng.convertToFormat(QImage::Format_RGB32), fromBmp.convertToFormat(QImage::Format_RGB32))
                << name.toStdString();
        }
    }
}

TEST(RenderBatch, AFailedFileStopsTheBatchAfterTheLinesBeforeItWhateverTheJobs)
{
    QTemporaryDir tmp;
    QString firstErr, firstOut;
    for (const char* jobs : {"1", "3"}) {
        const QString out = tmp.filePath(QStringLiteral("out-%1").arg(QLatin1String(jobs)));
        // A folder where the fifth file should go cannot be replaced by a file.
        ASSERT_TRUE(QDir().mkpath(out + QStringLiteral("/zovex-2-000005.png")));
        const RenderRun run = runRender({QStringLiteral("--category"), QStringLiteral("2"), QStringLiteral("--count"),
                                         QStringLiteral("12"), QStringLiteral("--format"), QStringLiteral("png"),
                                         QStringLiteral("--jobs"), QLatin1String(jobs), QStringLiteral("--out"), out});
        EXPECT_EQ(run.exitCode, 1) << jobs;
        EXPECT_EQ(run.out.count('\n'), 4) << jobs;
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("zovex-2-000005.png"))) << run.err.toStdString();
        // Whatever was written is whole: no temporary file is left, and each file decodes.
        for (const QString& name : QDir(out).entryList(QDir::Files | QDir::Hidden)) {
            EXPECT_TRUE(name.startsWith(QStringLiteral("zovex-2-"))) << name.toStdString();
            EXPECT_FALSE(QImage(QDir(out).filePath(name)).isNull()) << name.toStdString();
        }
        QString err = run.err;
        err.replace(out, QStringLiteral("OUT"));
        QString lines = run.out;
        lines.replace(out, QStringLiteral("OUT"));
        if (firstErr.isEmpty()) {
            firstErr = err;
            firstOut = lines;
        } else {
            EXPECT_EQ(err, firstErr);
            EXPECT_EQ(lines, firstOut);
        }
    }
}

TEST(RenderScale, ScaleOneIsTheOrdinaryPatternToTheByte)
{
    // SHA-256 of the bitmaps that zovex-render wrote before it could scale.
    struct Case {
        QStringList args;
        const char* sha256;
    };
    const Case cases[] = {
        {{QStringLiteral("--category"), QStringLiteral("1")},
         "fb311694e3b040cd26096c0168f1fbcf3c3994e95222dbc5ba31acee8133e317"},
        {{QStringLiteral("--category"), QStringLiteral("9"), QStringLiteral("--state"), QStringLiteral("4242"),
          QStringLiteral("--line-width"), QStringLiteral("7"), QStringLiteral("--draw-mode"), QStringLiteral("7")},
         "54155e5360411d3ed6eded47296e5ce183b4ab425596d30c54b9e86696811360"},
        {{QStringLiteral("--category"), QStringLiteral("6"), QStringLiteral("--state"), QStringLiteral("99"),
          QStringLiteral("--line-width"), QStringLiteral("0"), QStringLiteral("--draw-mode"), QStringLiteral("0"),
          QStringLiteral("--text4"), QStringLiteral("Wide  text 测试")},
         "46a338f94d2edb8d7b9a85d422b8e8332fad545747db14602af4eefd21cebfc9"},
    };
    for (const Case& c : cases) {
        QTemporaryDir tmp;
        const RenderRun r = runRender(QStringList(c.args) << QStringLiteral("--scale") << QStringLiteral("1")
                                                          << QStringLiteral("--out") << tmp.path());
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QByteArray bytes = fileBytes(r.out.split('\t').value(2));
        EXPECT_EQ(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(), QByteArray(c.sha256))
            << c.args.join(' ').toStdString();
    }
}

TEST(RenderScale, AScaledPatternIsTheSamePatternLargerWithTheSameStateAndLabel)
{
    QTemporaryDir tmp;
    const QStringList args = {QStringLiteral("--category"), QStringLiteral("3"),        QStringLiteral("--count"),
                              QStringLiteral("2"),          QStringLiteral("--format"), QStringLiteral("png")};
    const RenderRun one = runRender(QStringList(args) << QStringLiteral("--out") << tmp.filePath(QStringLiteral("1")));
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    const QImage small = QImage(one.out.split('\n')[1].split('\t').value(2)).convertToFormat(QImage::Format_RGB32);
    for (const int S : {2, 3}) {
        const RenderRun r = runRender(QStringList(args) << QStringLiteral("--scale") << QString::number(S)
                                                        << QStringLiteral("--out") << tmp.filePath(QString::number(S)));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        QString lines = r.out;
        EXPECT_EQ(lines.replace(tmp.filePath(QString::number(S)), tmp.filePath(QStringLiteral("1"))), one.out) << S;
        const QImage big = QImage(r.out.split('\n')[1].split('\t').value(2)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(big.size(), QSize(857 * S, 857 * S));
        // Edges move by a fraction of a pixel at the finer grain; nearly every pixel agrees with
        // the middle of its S x S block, and the palette is the same.
        int same = 0;
        QSet<QRgb> smallColours, bigColours;
        for (int y = 0; y < 857; ++y)
            for (int x = 0; x < 857; ++x) {
                same += small.pixel(x, y) == big.pixel(x * S + S / 2, y * S + S / 2);
                smallColours.insert(small.pixel(x, y));
            }
        for (int y = 0; y < big.height(); y += 3)
            for (int x = 0; x < big.width(); x += 3)
                bigColours.insert(big.pixel(x, y));
        EXPECT_GT(same, 857 * 857 * 9 / 10) << S;
        EXPECT_TRUE(bigColours.size() <= smallColours.size() + 2)
            << S << ": " << bigColours.size() << " colours, not " << smallColours.size();
    }
}

TEST(RenderScale, FractionalScalesDrawAtTheirOwnPixelsAndRecordTheirResolution)
{
    QTemporaryDir tmp;
    const QStringList args = {QStringLiteral("--category"), QStringLiteral("5"), QStringLiteral("--count"),
                              QStringLiteral("2")};
    const RenderRun one = runRender(QStringList(args) << QStringLiteral("--out") << tmp.filePath(QStringLiteral("1")));
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    struct Case {
        const char* scale;
        int side;
        int dpi;
    };
    // 857 * S rounded up; 96 * S dots per inch in the bitmap's header.
    const Case cases[] = {
        {"1", 857, 96}, {"1.25", 1072, 120}, {"1.5", 1286, 144}, {"1.75", 1500, 168}, {"2", 1714, 192}};
    for (const Case& c : cases) {
        const QString dir = tmp.filePath(QString::fromLatin1(c.scale));
        const RenderRun r = runRender(QStringList(args) << QStringLiteral("--scale") << QString::fromLatin1(c.scale)
                                                        << QStringLiteral("--out") << dir);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        QString lines = r.out;
        EXPECT_EQ(lines.replace(dir, tmp.filePath(QStringLiteral("1"))), one.out) << c.scale;
        const QByteArray bytes = fileBytes(r.out.split('\n')[1].split('\t').value(2));
        ASSERT_GE(bytes.size(), 54);
        auto le32 = [&](int at) {
            return qint32(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8 | quint8(bytes[at + 2]) << 16 |
                          quint32(quint8(bytes[at + 3])) << 24);
        };
        EXPECT_EQ(le32(18), c.side) << c.scale;
        EXPECT_EQ(std::abs(le32(22)), c.side) << c.scale;
        EXPECT_EQ(qRound(le32(38) * 0.0254), c.dpi) << c.scale;
        EXPECT_EQ(qRound(le32(42) * 0.0254), c.dpi) << c.scale;
    }
}

TEST(RenderArguments, VersionNeedsNoDisplay)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZOVEX_RENDER_EXE), {QStringLiteral("--version")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput(), QByteArray("zovex-render " ZOVEX_VERSION "\n"));
}

namespace {

struct RawRun {
    int status = -1; // exit code, or -1 when ended by a signal
    QByteArray out, err;
};

// Runs zovex-render with arguments that are bytes, not text, and standard output on `stdoutFd`
// (captured when -1).
RawRun runRaw(const std::vector<QByteArray>& args, int stdoutFd = -1)
{
    QTemporaryDir tmp;
    const QByteArray outPath = QFile::encodeName(tmp.filePath(QStringLiteral("out")));
    const QByteArray errPath = QFile::encodeName(tmp.filePath(QStringLiteral("err")));
    std::vector<QByteArray> argv = {QByteArrayLiteral(ZOVEX_RENDER_EXE)};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> ptrs;
    for (QByteArray& a : argv)
        ptrs.push_back(a.data());
    ptrs.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = stdoutFd >= 0 ? stdoutFd : open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        execv(ptrs[0], ptrs.data());
        _exit(127);
    }
    RawRun r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = fileBytes(QFile::decodeName(outPath));
    r.err = fileBytes(QFile::decodeName(errPath));
    return r;
}

} // namespace

TEST(RenderOutput, AFolderNameThatIsNotUtf8IsUsedByteForByte)
{
    QTemporaryDir tmp;
    const QByteArray dir = QFile::encodeName(tmp.path()) + "/out-\xff\xfe-\xe9t\xe9";
    // QTemporaryDir cannot remove a name that is not text: empty the folder by its bytes.
    struct RemoveByBytes {
        QByteArray path;
        ~RemoveByBytes()
        {
            if (DIR* d = opendir(path.constData())) {
                while (const dirent* e = readdir(d))
                    if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                        unlink((path + '/' + e->d_name).constData());
                closedir(d);
            }
            rmdir(path.constData());
        }
    } const cleanup{dir};
    const RawRun r = runRaw({"--count", "2", "--out", dir});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    struct stat st {};
    ASSERT_EQ(stat(dir.constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(stat((dir + "/zovex-1-000002.bmp").constData(), &st), 0);
    const QList<QByteArray> lines = r.out.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0].split('\t').value(2), dir + "/zovex-1-000001.bmp");
    // Nothing was written under a name with the bytes replaced.
    QList<QByteArray> names;
    if (DIR* d = opendir(QFile::encodeName(tmp.path()).constData())) {
        while (const dirent* e = readdir(d))
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        closedir(d);
    }
    EXPECT_EQ(names, QList<QByteArray>{dir.mid(dir.lastIndexOf('/') + 1)});
}

TEST(RenderOutput, LinesThatCannotBeWrittenAreAnErrorNotASuccess)
{
    QTemporaryDir tmp;
    const std::vector<QByteArray> args = {"--count", "3", "--out", QFile::encodeName(tmp.path())};
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    RawRun r = runRaw(args, full);
    close(full);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains("standard output")) << r.err.constData();

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]); // nobody will ever read
    r = runRaw(args, fds[1]);
    close(fds[1]);
    EXPECT_GT(r.status, 0) << "ended by a signal, or exit 0";
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(r.err.contains("standard output")) << r.err.constData();
}

TEST(RenderRuntimeFolder, OnlyAFolderOfOursClosedToOthersIsUsedElseAFreshOne)
{
    const QByteArray usualName = "zovex-runtime-" + QByteArray::number(getuid());
    enum class Plant { Nothing, Good, Open, Link, File, Foreign };
    for (const Plant plant : {Plant::Nothing, Plant::Good, Plant::Open, Plant::Link, Plant::File, Plant::Foreign}) {
        QTemporaryDir tmp;
        const QByteArray base = QFile::encodeName(tmp.path());
        const QByteArray usual = base + "/" + usualName;
        const QByteArray elsewhere = base + "/elsewhere";
        ASSERT_EQ(mkdir(elsewhere.constData(), 0700), 0);
        switch (plant) {
        case Plant::Nothing:
            break;
        case Plant::Good:
            ASSERT_EQ(mkdir(usual.constData(), 0700), 0);
            break;
        case Plant::Open:
            ASSERT_EQ(mkdir(usual.constData(), 0700), 0);
            ASSERT_EQ(chmod(usual.constData(), 0777), 0);
            break;
        case Plant::Link:
            ASSERT_EQ(symlink(elsewhere.constData(), usual.constData()), 0);
            break;
        case Plant::File:
            ASSERT_EQ(close(open(usual.constData(), O_CREAT | O_WRONLY, 0600)), 0);
            break;
        case Plant::Foreign:
            if (getuid() != 0)
                continue; // only root can give a folder away
            ASSERT_EQ(mkdir(usual.constData(), 0700), 0);
            ASSERT_EQ(chown(usual.constData(), 65534, 65534), 0);
            break;
        }
        std::string why;
        const QByteArray got = privateRuntimeFolder(base, why);
        ASSERT_FALSE(got.isEmpty()) << why;
        struct stat st {};
        ASSERT_EQ(lstat(got.constData(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << got.constData();
        EXPECT_EQ(st.st_uid, getuid()) << got.constData();
        EXPECT_EQ(st.st_mode & 07777, 0700u) << got.constData();
        EXPECT_TRUE(got.startsWith(base + "/zovex-runtime-")) << got.constData();
        const bool usable = plant == Plant::Nothing || plant == Plant::Good;
        EXPECT_EQ(got == usual, usable) << got.constData();
    }
}

TEST(RenderBatch, APipeUnderAnOutputNameIsRefusedWithExitOneAndLeftAsItIs)
{
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const QByteArray pipe = QFile::encodeName(out + QStringLiteral("/zovex-1-000002.bmp"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    const RenderRun run = runRender({QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--out"), out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.count('\n'), 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("zovex-1-000002.bmp"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("only a regular file is replaced"))) << run.err.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(pipe.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

namespace {

// Starts zovex-render with the descriptors in `closed` closed, standard output on `out` unless
// it is closed, standard error on `err` unless closed.
pid_t startWithClosed(const std::vector<int>& closed, const std::vector<const char*>& args, int out, int err)
{
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out, 1);
        dup2(err, 2);
        for (const int fd : closed)
            close(fd);
        std::vector<const char*> argv = {ZOVEX_RENDER_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.push_back(nullptr);
        execv(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    return pid;
}

QByteArray linkOf(pid_t pid, int fd)
{
    char buf[4096];
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/fd/" + QByteArray::number(fd);
    const ssize_t n = readlink(path.constData(), buf, sizeof buf);
    return n > 0 ? QByteArray(buf, int(n)) : QByteArray();
}

} // namespace

TEST(RenderOutput, AClosedStandardOutputIsSaidOnStandardErrorAndNothingIsWritten)
{
    QTemporaryDir tmp;
    const QByteArray dir = QFile::encodeName(tmp.filePath(QStringLiteral("out")));
    const QByteArray errPath = QFile::encodeName(tmp.filePath(QStringLiteral("err")));
    const int err = open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const pid_t pid = startWithClosed({1}, {"--count", "2", "--out", dir.constData()}, err, err);
    close(err);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const QByteArray said = fileBytes(QFile::decodeName(errPath));
    EXPECT_TRUE(said.contains("standard output is closed")) << said.constData();
    EXPECT_EQ(said.count('\n'), 1) << said.constData();
    EXPECT_FALSE(QDir(QFile::decodeName(dir)).exists());
}

TEST(RenderOutput, ClosedStandardInputAndErrorAreNullNotAFileTheRendererOpens)
{
    QTemporaryDir tmp;
    const QByteArray dir = QFile::encodeName(tmp.filePath(QStringLiteral("out")));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid =
        startWithClosed({0, 2}, {"--count", "100000", "--jobs", "2", "--out", dir.constData()}, fds[1], fds[1]);
    close(fds[1]);
    // Once a line is out, fonts, the folder and the first files have all been opened.
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
    }
    const QByteArray in = linkOf(pid, 0), err = linkOf(pid, 2);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(fds[0]);
    EXPECT_EQ(c, '\n');
    EXPECT_EQ(in, QByteArray("/dev/null"));
    EXPECT_EQ(err, QByteArray("/dev/null"));
}
