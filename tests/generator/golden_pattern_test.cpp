// Whole patterns against the hashes of their pixels held in golden_patterns.txt: any change of
// any pixel of a tick (background, rings, lettering, label) shows here. One line per pattern:
// category, the two combo texts (width and draw mode), the random-source state before the
// tick, and the SHA-256 of the canvas's rows (32-bit pixels 0xAARRGGBB, little-endian).
// A change that is meant to alter pixels updates the file from the lines the failures print.
#include "generation_tick.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace zovex;

namespace {

QByteArray pixelHash(const QImage& image)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < image.height(); ++y)
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 4));
    return hash.result().toHex();
}

} // namespace

TEST(GoldenPatterns, EveryPatternHasThePixelsOfItsHash)
{
    QFile file(QStringLiteral(ZOVEX_GOLDEN_PATTERNS));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << ZOVEX_GOLDEN_PATTERNS;
    QTextStream in(&file);
    int patterns = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        ASSERT_EQ(f.size(), 5) << line.toStdString();
        const Category& cat = category(f[0].toInt());
        TickInputs inputs = defaultTickInputs(cat);
        inputs.combo1 = f[1];
        inputs.combo2 = f[2];
        RandomSource rnd;
        rnd.setState(f[3].toUInt());
        Canvas canvas(kDesignerCanvasPx, kDesignerCanvasPx, RGB(0, 0, 64));
        std::int32_t count = 0;
        const TickOutput out = runGenerationTick(canvas, rnd, cat, count, inputs);
        const QByteArray got = pixelHash(out.preview);
        EXPECT_EQ(got, f[4].toLatin1()) << "now: " << QStringList(f.mid(0, 4)).join(u' ').toStdString() << ' '
                                        << got.toStdString();
        ++patterns;
    }
    EXPECT_GT(patterns, 0);
}
