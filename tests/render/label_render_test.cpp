// zovex-render --label and --labels -: a printed label renders the same file again.
#include "canvas.h"
#include "category.h"
#include "generation_tick.h"
#include "image_file.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace zovex;

namespace {

struct LabelRun {
    int exitCode;
    QByteArray out, err;
};

LabelRun render(const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(QStringLiteral(ZOVEX_RENDER_EXE), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(300000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

// A folder in memory where there is one: thousands of synced files cost less there.
QString scratchBase()
{
    return QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/zovex-label-XXXXXX") : QString();
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> fields(const QByteArray& line) { return line.split('\t'); }

// One batch: its category, combo texts and state, and the options that pick the label's reading.
struct Variant {
    int category;
    QString combo1, combo2;
    std::uint32_t state;
    QStringList extra; // texts the label does not hold
};

std::vector<Variant> variants(std::mt19937& rng, int n)
{
    const QString typed1[] = {QStringLiteral("wide"), QStringLiteral("0"),   QStringLiteral("350"),
                              QStringLiteral("7.5"),  QStringLiteral(" 12"), QStringLiteral("宽度")};
    const QString typed2[] = {QStringLiteral("x"),    QStringLiteral("11"), QStringLiteral("17"),
                              QStringLiteral("3503"), QStringLiteral(""),   QStringLiteral("-2")};
    std::vector<Variant> v;
    for (int i = 0; i < n; ++i) {
        Variant x{i % 10 + 1,
                  lineWidthItems()[static_cast<int>(rng() % 26)],
                  drawModeItems()[static_cast<int>(rng() % 16)],
                  static_cast<std::uint32_t>(rng() % 16777216u),
                  {}};
        if (i % 4 == 1)
            x.combo1 = typed1[rng() % std::size(typed1)];
        if (i % 4 == 2)
            x.combo2 = typed2[rng() % std::size(typed2)];
        if (i % 7 == 3)
            x.extra = {QStringLiteral("--text4"), QStringLiteral("编辑过的 text"), QStringLiteral("--text2"),
                       QString()};
        v.push_back(x);
    }
    return v;
}

QStringList batchArgs(const Variant& v)
{
    return QStringList{QStringLiteral("--category"),   QString::number(v.category),
                       QStringLiteral("--line-width"), v.combo1,
                       QStringLiteral("--draw-mode"),  v.combo2,
                       QStringLiteral("--state"),      QString::number(v.state)}
           << v.extra;
}

// The options a typed text needs to pick its reading; list items need none.
QStringList pickArgs(const Variant& v)
{
    QStringList args = v.extra;
    if (!lineWidthItems().contains(v.combo1) || !drawModeItems().contains(v.combo2))
        args << QStringLiteral("--line-width") << v.combo1 << QStringLiteral("--draw-mode") << v.combo2;
    return args;
}

// Renders each variant's batch, then its labels again, and compares the files byte for byte.
void expectRoundTrip(const std::vector<Variant>& all, int count, const QStringList& common)
{
    QTemporaryDir tmp(scratchBase());
    ASSERT_TRUE(tmp.isValid());
    int compared = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Variant& v = all[i];
        const QString first = tmp.filePath(QStringLiteral("batch-%1").arg(i)),
                      again = tmp.filePath(QStringLiteral("label-%1").arg(i));
        const QStringList format = {QStringLiteral("--format"), i % 2 ? QStringLiteral("png") : QStringLiteral("bmp")};
        const LabelRun batch = render(batchArgs(v) << format << common << QStringLiteral("--count")
                                                   << QString::number(count) << QStringLiteral("--out") << first);
        ASSERT_EQ(batch.exitCode, 0) << batch.err.constData();
        QByteArray labels;
        const QList<QByteArray> lines = batch.out.trimmed().split('\n');
        for (const QByteArray& line : lines)
            labels += fields(line).value(3) + '\n';
        const LabelRun back = render(pickArgs(v) << format << common << QStringLiteral("--labels")
                                                 << QStringLiteral("-") << QStringLiteral("--out") << again,
                                     labels);
        ASSERT_EQ(back.exitCode, 0) << batchArgs(v).join(' ').toStdString() << ": " << back.err.constData();
        const QList<QByteArray> backLines = back.out.trimmed().split('\n');
        ASSERT_EQ(backLines.size(), lines.size());
        for (qsizetype k = 0; k < lines.size(); ++k) {
            const QList<QByteArray> a = fields(lines[k]), b = fields(backLines[k]);
            EXPECT_EQ(b.value(1), a.value(1)) << "state of pattern " << k + 1;
            EXPECT_EQ(b.value(3), a.value(3)) << "label of pattern " << k + 1;
            const QByteArray original = fileBytes(QString::fromUtf8(a.value(2)));
            ASSERT_FALSE(original.isEmpty());
            EXPECT_TRUE(fileBytes(QString::fromUtf8(b.value(2))) == original) << a.value(3).constData();
            ++compared;
        }
        QDir(first).removeRecursively();
        QDir(again).removeRecursively();
    }
    EXPECT_EQ(compared, static_cast<int>(all.size()) * count);
}

} // namespace

TEST(LabelRoundTrip, EveryLabelRendersBackTheSameFileByteForByte)
{
    std::mt19937 rng(2024);
    expectRoundTrip(variants(rng, 50), 60, {QStringLiteral("--jobs"), QStringLiteral("2")});
}

TEST(LabelRoundTrip, AtScaleFourToo)
{
    std::mt19937 rng(4);
    expectRoundTrip(variants(rng, 4), 1, {QStringLiteral("--scale"), QStringLiteral("4")});
}

TEST(LabelRoundTrip, PatternsOfWindowsTickingInTurnAndAModeKeptFromThePatternBefore)
{
    // Form2 and Form10 share the source, and Form2's user types "0" after a pattern in mode 7:
    // that pattern keeps mode 7, which only --draw-mode can say.
    QTemporaryDir tmp(scratchBase());
    RandomSource shared;
    shared.setState(123457);
    Canvas two(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64)),
        ten(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
    std::int32_t n2 = 0, n10 = 0;
    struct Made {
        QString label, file;
        QStringList options;
    };
    std::vector<Made> made;
    for (int t = 0; t < 6; ++t) {
        const bool mine = t % 2 == 0;
        TickInputs in = defaultTickInputs(category(mine ? 2 : 10));
        if (mine)
            in.combo2 = t == 0 ? QStringLiteral("7") : QStringLiteral("0");
        const TickOutput out = runGenerationTick(mine ? two : ten, shared, category(mine ? 2 : 10), mine ? n2 : n10, in,
                                                 PreviewSnapshot::Skip);
        const QString file = tmp.filePath(QStringLiteral("tick-%1.bmp").arg(t));
        ASSERT_TRUE(writeImageAtomically((mine ? two : ten).persistentImage(), file, ImageFormat::Bmp, nullptr));
        made.push_back(
            {out.labelText, file,
             mine && t > 0 ? QStringList{QStringLiteral("--draw-mode"), QStringLiteral("7")} : QStringList{}});
    }
    for (std::size_t t = 0; t < made.size(); ++t) {
        const QString out = tmp.filePath(QStringLiteral("again-%1").arg(t));
        const LabelRun r = render(QStringList{QStringLiteral("--label"), made[t].label, QStringLiteral("--out"), out}
                                  << made[t].options);
        ASSERT_EQ(r.exitCode, 0) << made[t].label.toStdString() << ": " << r.err.constData();
        EXPECT_TRUE(fileBytes(QString::fromUtf8(fields(r.out.trimmed()).value(2))) == fileBytes(made[t].file))
            << "tick " << t << " " << made[t].label.toStdString();
    }
    // Without the option the kept mode is unknown: said on standard error, rendered in the
    // renderer's initial mode.
    const LabelRun r =
        render({QStringLiteral("--label"), made[2].label, QStringLiteral("--out"), tmp.filePath(QStringLiteral("x"))});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Combo2's text '0' gives no draw mode")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("--draw-mode")) << r.err.constData();
}

TEST(LabelCommand, DamagedLabelsAreRefusedWithOneLineAndNothingIsWritten)
{
    const QString good = QStringLiteral("NO: WVK190835090.1854614786612");
    const struct {
        QString label;
        const char* part;
    } cases[] = {
        {QStringLiteral("NO: WVK190835090.1854614786613"), "random part"}, // one digit changed
        {QStringLiteral("NO: WVK190835090.1854714786612"), "random part"},
        {QStringLiteral("NO: WVK190835090.185461478661"), "random part"}, // cut short
        {QStringLiteral("NO: WVK19083509"), "random part"},
        {QStringLiteral("NO: WVK19083"), "350"},
        {QStringLiteral("NO: WVK190835090.18546147866120"), "random part"}, // an extra character
        {QStringLiteral("NO: WVK190835090.18546147866x12"), "nothing after"},
        {QStringLiteral("NO; WVK190835090.1854614786612"), "NO: WVK"},
    };
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("out"));
    for (const auto& c : cases) {
        const LabelRun r =
            render({QStringLiteral("--label"), good, QStringLiteral("--label"), c.label, QStringLiteral("--out"), out});
        EXPECT_EQ(r.exitCode, 2) << c.label.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
        EXPECT_TRUE(r.err.contains("label 2")) << r.err.constData();
        EXPECT_TRUE(r.err.contains(c.part)) << c.label.toStdString() << ": " << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_FALSE(QDir(out).exists()) << c.label.toStdString();
    }
}

TEST(LabelCommand, SeveralReadingsAreListedAndTheOptionsPickOne)
{
    QTemporaryDir tmp;
    const QString out = tmp.filePath(QStringLiteral("out"));
    // Typed texts "9" and "08" print as the list items "90" and "8" would.
    const LabelRun typed = render({QStringLiteral("--category"), QStringLiteral("1"), QStringLiteral("--line-width"),
                                   QStringLiteral("wi"), QStringLiteral("--draw-mode"), QStringLiteral("de"),
                                   QStringLiteral("--out"), tmp.filePath(QStringLiteral("typed"))});
    ASSERT_EQ(typed.exitCode, 0);
    const QString label = QString::fromUtf8(fields(typed.out.trimmed()).value(3));
    const LabelRun many = render({QStringLiteral("--label"), label, QStringLiteral("--out"), out});
    EXPECT_EQ(many.exitCode, 2);
    EXPECT_TRUE(many.err.contains("has 5 readings")) << many.err.constData();
    EXPECT_TRUE(many.err.contains("--line-width 'wi' --draw-mode 'de'")) << many.err.constData();
    EXPECT_TRUE(many.err.contains("--line-width 'wid' --draw-mode 'e'")) << many.err.constData();
    EXPECT_EQ(many.err.count('\n'), 6) << many.err.constData();
    EXPECT_FALSE(QDir(out).exists());

    const LabelRun one = render({QStringLiteral("--label"), label, QStringLiteral("--line-width"), QStringLiteral("wi"),
                                 QStringLiteral("--out"), out});
    ASSERT_EQ(one.exitCode, 0) << one.err.constData();
    EXPECT_EQ(fields(one.out.trimmed()).value(3), fields(typed.out.trimmed()).value(3));
    EXPECT_TRUE(fileBytes(QString::fromUtf8(fields(one.out.trimmed()).value(2))) ==
                fileBytes(QString::fromUtf8(fields(typed.out.trimmed()).value(2))));

    // A width that the label contradicts, and options that a label answers itself.
    const QStringList refused[] = {
        {QStringLiteral("--label"), QStringLiteral("NO: WVK190835090.1854614786612"), QStringLiteral("--line-width"),
         QStringLiteral("7")},
        {QStringLiteral("--label"), QStringLiteral("NO: WVK190835090.1854614786612"), QStringLiteral("--state"),
         QStringLiteral("5")},
        {QStringLiteral("--labels"), QStringLiteral("labels.txt")},
    };
    const QString none = tmp.filePath(QStringLiteral("none"));
    for (const QStringList& args : refused) {
        const LabelRun r = render(QStringList(args) << QStringLiteral("--out") << none);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
        EXPECT_FALSE(QDir(none).exists()) << args.join(' ').toStdString();
    }
}
