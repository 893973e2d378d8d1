#include "load_picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>
#include <unistd.h>

using namespace zovex;

namespace {

// A picture that does not compress to nothing, so that cutting its file loses pixels.
QImage noisyPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, rng() | 0xff000000u);
    return img;
}

QByteArray encode(const QImage& img, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter w(&buf, format);
    w.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(w.write(img)) << format;
    return bytes;
}

QImage fromBytes(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return readPicture(buf);
}

// Whether the header alone already refuses the file (nothing would be decoded).
bool refusedUnread(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return examinePicture(buf).format.isEmpty();
}

// The smallest GIF there is: 1 x 1 pixel.
const QByteArray kGif1x1 = QByteArray::fromHex("474946383961010001008000"
                                               "00ff000000000021f90401000000002c00000000"
                                               "010001000002024401003b");

struct Sample {
    const char* name;
    QByteArray bytes;
    QSize size;
};

std::vector<Sample> everyFormat()
{
    const QImage img = noisyPicture(61, 37);
    return {
        {"bmp", encode(img, "bmp"), {61, 37}},
        {"bmp 8-bit", encode(img.convertToFormat(QImage::Format_Indexed8), "bmp"), {61, 37}},
        {"png", encode(img, "png"), {61, 37}},
        {"jpeg", encode(img, "jpeg"), {61, 37}},
        {"progressive jpeg", encode(img, "jpeg", true), {61, 37}},
        {"ico", encode(img, "ico"), {61, 37}},
        {"ppm", encode(img, "ppm"), {61, 37}},
        {"pgm", encode(img, "pgm"), {61, 37}},
        {"pbm", encode(img.convertToFormat(QImage::Format_Mono), "pbm"), {61, 37}},
        {"xbm", encode(img.convertToFormat(QImage::Format_Mono), "xbm"), {61, 37}},
        {"xpm", encode(img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither), "xpm"), {61, 37}},
        {"gif", kGif1x1, {1, 1}},
    };
}

TEST(ReadPicture, EveryFormatLoadsWholeAndNoneLoadsCutShort)
{
    for (const Sample& s : everyFormat()) {
        SCOPED_TRACE(s.name);
        ASSERT_FALSE(s.bytes.isEmpty());
        EXPECT_EQ(fromBytes(s.bytes).size(), s.size);
        // A file cut anywhere after its header is "a file that cannot be read".
        for (const double keep : {0.2, 0.5, 0.9}) {
            const auto n = static_cast<qsizetype>(s.bytes.size() * keep);
            SCOPED_TRACE(n);
            EXPECT_TRUE(fromBytes(s.bytes.left(n)).isNull());
        }
        // (Text formats end in their own syntax, which a decoder may do without.)
        if (s.bytes.size() > 40 && !s.bytes.startsWith("#") && !s.bytes.startsWith("/*")) {
            EXPECT_TRUE(fromBytes(s.bytes.chopped(2)).isNull());
        }
    }
}

void putLe32(QByteArray& b, qsizetype at, quint32 v) { qToLittleEndian(v, b.data() + at); }
void putBe32(QByteArray& b, qsizetype at, quint32 v) { qToBigEndian(v, b.data() + at); }
void putBe16(QByteArray& b, qsizetype at, quint16 v) { qToBigEndian(v, b.data() + at); }

// The offset of the first JPEG frame header (SOF0 or SOF2).
qsizetype jpegFrame(const QByteArray& b)
{
    for (qsizetype i = 2; i + 1 < b.size(); ++i)
        if (uchar(b[i]) == 0xff && (uchar(b[i + 1]) == 0xc0 || uchar(b[i + 1]) == 0xc2))
            return i;
    return -1;
}

TEST(ReadPicture, HeadersClaimingMoreThanTheFileCanHoldAreRefusedBeforeDecoding)
{
    const QImage small = noisyPicture(16, 16);
    std::vector<std::pair<const char*, QByteArray>> lies;

    QByteArray bmp = encode(small, "bmp");
    putLe32(bmp, 18, 16384);
    putLe32(bmp, 22, 16384);
    lies.emplace_back("bmp 16384 x 16384", bmp);

    // One row of a 100 x 100 bitmap: the rest would be whatever the heap held.
    QByteArray oneRow = encode(noisyPicture(100, 100), "bmp");
    oneRow.truncate(54 + 300);
    lies.emplace_back("bmp with one row of 100", oneRow);
    QByteArray farOffset = encode(small, "bmp");
    putLe32(farOffset, 10, quint32(farOffset.size() + 10));
    lies.emplace_back("bmp with its pixels beyond the end", farOffset);

    QByteArray png = encode(small, "png");
    putBe32(png, 16, 16384);
    putBe32(png, 20, 16384);
    lies.emplace_back("png 16384 x 16384", png);

    for (const bool progressive : {false, true}) {
        QByteArray jpeg = encode(small, "jpeg", progressive);
        const qsizetype sof = jpegFrame(jpeg);
        ASSERT_GT(sof, 0);
        putBe16(jpeg, sof + 5, 16384);
        putBe16(jpeg, sof + 7, 16384);
        lies.emplace_back(progressive ? "progressive jpeg 16384 x 16384" : "jpeg 16384 x 16384", jpeg);
    }

    QByteArray gif = kGif1x1;
    qToLittleEndian<quint16>(16384, gif.data() + 6);
    qToLittleEndian<quint16>(16384, gif.data() + 8);
    lies.emplace_back("gif screen 16384 x 16384", gif);
    QByteArray gifFrame = kGif1x1;
    const qsizetype desc = gifFrame.indexOf(',');
    qToLittleEndian<quint16>(16000, gifFrame.data() + desc + 5);
    qToLittleEndian<quint16>(16000, gifFrame.data() + desc + 7);
    lies.emplace_back("gif frame 16000 x 16000", gifFrame);

    lies.emplace_back("ppm", QByteArray("P6\n16384 16384\n255\n") + QByteArray(300, 'x'));
    lies.emplace_back("pbm text", QByteArray("P1 # comment\n16384 16384\n0 1 0 1\n"));
    lies.emplace_back("xbm", QByteArray("#define a_width 16384\n#define a_height 16384\n"
                                        "static char a_bits[] = { 0x00, 0x01 };\n"));
    lies.emplace_back("xpm", QByteArray("/* XPM */\nstatic char *a[] = {\n\"16384 16384 1 1\",\n"
                                        "\"a c #000000\",\n\"aaaa\"\n};\n"));
    for (const auto& [name, bytes] : lies) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(refusedUnread(bytes));
        EXPECT_TRUE(fromBytes(bytes).isNull());
    }
}

// A progressive JPEG made of nothing but a frame header and `scans` scans over one grey
// component, each with `perScan` bytes of coded data: enough to see what the examiner counts.
QByteArray syntheticJpeg(int side, int scans, int perScan)
{
    QByteArray b = QByteArray::fromHex("ffd8");
    b += QByteArray::fromHex("ffc2000b08");
    b += char(side >> 8);
    b += char(side & 0xff);
    b += char(side >> 8);
    b += char(side & 0xff);
    b += QByteArray::fromHex("01011100");
    for (int i = 0; i < scans; ++i) {
        b += QByteArray::fromHex("ffda000801010001003f00");
        b += QByteArray(perScan, '\x55');
    }
    b += QByteArray::fromHex("ffd9");
    return b;
}

TEST(ReadPicture, ProgressiveScansThatWouldPassOverThePictureTooOftenAreRefused)
{
    // 4096 x 4096 grey: 262,144 blocks, so the coded data must hold at least 32 KiB.
    EXPECT_FALSE(refusedUnread(syntheticJpeg(4096, 10, 4000)));
    EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 10, 3000))); // too little data for its blocks
    EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 600, 100))); // 600 passes over 262,144 blocks
    EXPECT_FALSE(refusedUnread(syntheticJpeg(256, 600, 100))); // a small picture may have many
    // Without its end-of-image marker the file was cut short.
    EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 10, 4000).chopped(2)));
}

// An 8-bit run-length bitmap of 4 x 2 pixels from its coded stream.
QByteArray rle8(const QByteArray& stream)
{
    QByteArray b(54 + 1024, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putLe32(b, 10, 54 + 1024);
    putLe32(b, 14, 40);
    putLe32(b, 18, 4);
    putLe32(b, 22, 2);
    b[26] = 1;
    b[28] = 8;
    putLe32(b, 30, 1); // RLE8
    for (int i = 0; i < 256; ++i)
        b[54 + 4 * i] = b[54 + 4 * i + 1] = b[54 + 4 * i + 2] = char(i);
    b += stream;
    putLe32(b, 2, quint32(b.size()));
    return b;
}

TEST(ReadPicture, RunLengthBitmapsMustCodeEveryPixel)
{
    EXPECT_EQ(fromBytes(rle8(QByteArray::fromHex("04070000" "02090209" "0001"))).size(), QSize(4, 2));
    EXPECT_EQ(fromBytes(rle8(QByteArray::fromHex("04070000" "0003010203000104"))).size(), QSize(4, 2));
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("04070000"))).isNull());         // cut short
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("04070001"))).isNull());         // ends early
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("0407000001030001"))).isNull()); // skips a row
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("0207" "0000" "04070001"))).isNull());
}

TEST(LoadPicture, TheLargestPicturesStillLoadAndOnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // One bit a pixel keeps the largest picture cheap to make; its claim is what is checked.
    QImage largest(16384, 16384, QImage::Format_Mono);
    ASSERT_FALSE(largest.isNull());
    largest.fill(1);
    largest.setPixel(3, 5, 0);
    for (const char* format : {"bmp", "png"}) {
        SCOPED_TRACE(format);
        const QString p = dir.filePath(QStringLiteral("largest.") + QLatin1String(format));
        ASSERT_TRUE(largest.save(p, format));
        const QImage back = LoadPicture(p);
        ASSERT_EQ(back.size(), QSize(16384, 16384));
        EXPECT_EQ(back.pixel(3, 5), largest.pixel(3, 5));
        EXPECT_NE(back.pixel(3, 5), back.pixel(4, 5));
    }
    // A named pipe nobody writes to would hold the window for ever.
    const QString fifo = dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(LoadPicture(fifo).isNull());
    EXPECT_TRUE(LoadPicture(dir.path()).isNull());
}

} // namespace
