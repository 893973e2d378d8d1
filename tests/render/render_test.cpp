#include "render_options.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace zovex;

namespace {

struct RenderRun {
    int exitCode;
    QString out, err;
};

RenderRun runRender(const QStringList& args)
{
    QProcess p;
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
