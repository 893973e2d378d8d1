#include "load_picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

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

// Whether the header walk alone refuses the file.
bool refusedByHeaderWalk(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return examinePicture(buf).format.isEmpty();
}

// Whether the file is refused before anything is decoded: by its header, or by its image data
// as the decoder would read it.
bool refusedUnread(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return examinePicture(buf).format.isEmpty() || !pictureDataHoldsClaim(buf);
}

QByteArray repeated(const QByteArray& unit, qsizetype count)
{
    QByteArray b;
    b.reserve(unit.size() * count);
    for (qsizetype i = 0; i < count; ++i)
        b += unit;
    return b;
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
        EXPECT_TRUE(refusedByHeaderWalk(bytes));
        EXPECT_TRUE(fromBytes(bytes).isNull());
    }
}

// A progressive JPEG made of nothing but a frame header and `scans` scans over one grey
// component, each with `data` as its coded data: enough to see what the walks count.
QByteArray syntheticJpeg(int side, int scans, const QByteArray& data)
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
        b += data;
    }
    b += QByteArray::fromHex("ffd9");
    return b;
}

QByteArray syntheticJpeg(int side, int scans, int perScan)
{
    return syntheticJpeg(side, scans, QByteArray(perScan, '\x55'));
}

TEST(ReadPicture, ProgressiveScansThatWouldPassOverThePictureTooOftenAreRefused)
{
    // Coded data dense with stuffed zeros is stepped over as quickly, and counts the same.
    for (const QByteArray& unit : {QByteArray("\x55"), QByteArray::fromHex("ff00")}) {
        SCOPED_TRACE(unit.toHex().constData());
        const auto data = [&](int bytes) { return repeated(unit, bytes / unit.size()); };
        // 4096 x 4096 grey: 262,144 blocks, so the coded data must hold at least 32 KiB.
        EXPECT_FALSE(refusedUnread(syntheticJpeg(4096, 10, data(4000))));
        EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 10, data(3000)))); // too little data for its blocks
        EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 600, data(100)))); // 600 passes over 262,144 blocks
        EXPECT_FALSE(refusedUnread(syntheticJpeg(256, 600, data(100)))); // a small picture may have many
        // Without its end-of-image marker the file was cut short.
        EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 10, data(4000)).chopped(2)));
    }
    // Less data than the blocks need after the first scan's header is refused by the header.
    EXPECT_TRUE(refusedByHeaderWalk(syntheticJpeg(4096, 1, 30000)));
    EXPECT_FALSE(refusedByHeaderWalk(syntheticJpeg(4096, 1, 33000)));
}

// What may stand in a scan's coded data, wherever it falls: stuffed zeros, restart markers and
// fill bytes belong to the data; any other marker ends it.
TEST(ReadPicture, ScanDataEndsAtItsFirstMarkerWhereverItFalls)
{
    const std::vector<std::pair<QByteArray, bool>> inserts = {
        {QByteArray::fromHex("ff00"), true},      {QByteArray::fromHex("ffd0ffd7"), true},
        {QByteArray::fromHex("ffff00"), true},    {QByteArray::fromHex("ff00ff00ff00ffd3ff00"), true},
        {QByteArray::fromHex("ffd8"), false},     // a start of image inside the data
        {QByteArray::fromHex("ffffffd8"), false}, // the same after fill bytes
        {QByteArray::fromHex("ffd9"), false},     // the image ends before its scans do
    };
    for (const auto& [insert, good] : inserts) {
        // Every position against the sixteen bytes looked at together.
        for (int at = 0; at < 40; ++at) {
            SCOPED_TRACE(testing::Message() << insert.toHex().constData() << " at " << at);
            QByteArray data(4000, '\x55');
            data.replace(at, insert.size(), insert);
            EXPECT_EQ(refusedUnread(syntheticJpeg(4096, 10, data)), !good);
        }
    }
    // Across the end of the largest block looked at once.
    for (const qsizetype length : {(1 << 20) - 2, (1 << 20) - 1, 1 << 20, (1 << 20) + 1}) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(refusedUnread(syntheticJpeg(4096, 1, QByteArray(length, '\x55'))));
        QByteArray stuffed(length + 16, '\x55');
        stuffed.replace(length, 2, QByteArray::fromHex("ff00"));
        EXPECT_FALSE(refusedUnread(syntheticJpeg(4096, 1, stuffed)));
        QByteArray stray(length + 16, '\x55');
        stray.replace(length, 2, QByteArray::fromHex("ffd8"));
        EXPECT_TRUE(refusedUnread(syntheticJpeg(4096, 1, stray)));
    }
}

// A run-length bitmap (RLE8, or RLE4 at 4 bits) of w x h pixels from its coded stream, with a
// grey palette.
QByteArray rleBitmap(const QByteArray& stream, int w = 4, int h = 2, int bits = 8)
{
    const int colours = 1 << bits;
    QByteArray b(54 + 4 * colours, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putLe32(b, 10, quint32(54 + 4 * colours));
    putLe32(b, 14, 40);
    putLe32(b, 18, quint32(w));
    putLe32(b, 22, quint32(h));
    b[26] = 1;
    b[28] = char(bits);
    putLe32(b, 30, bits == 8 ? 1 : 2);
    for (int i = 0; i < colours; ++i)
        b[54 + 4 * i] = b[54 + 4 * i + 1] = b[54 + 4 * i + 2] = char(i * 255 / (colours - 1));
    b += stream;
    putLe32(b, 2, quint32(b.size()));
    return b;
}

QByteArray rle8(const QByteArray& stream) { return rleBitmap(stream); }

// The pixel value of the test pictures below at (x, y), in 0..15.
int rlePixel(int x, int y) { return (x / 3 + y) % 16; }

// Rows coded as ImageMagick does: runs over the row's width padded to 4 bytes (4 pixels at 8
// bits, 8 at 4 bits), the padding coded as pixels of value 0, an end of line after each row
// and an end of bitmap.
QByteArray paddedRleStream(int w, int h, int bits)
{
    const int padded = bits == 8 ? (w + 3) / 4 * 4 : (w + 7) / 8 * 8;
    QByteArray s;
    for (int y = h - 1; y >= 0; --y) { // bottom-up
        for (int x = 0; x < padded;) {
            const int v = x < w ? rlePixel(x, y) : 0;
            int n = 1;
            while (x + n < padded && n < 255 && (x + n < w ? rlePixel(x + n, y) : 0) == v)
                ++n;
            s += char(n);
            s += char(bits == 8 ? v : (v << 4) | v);
            x += n;
        }
        s += QByteArray::fromHex("0000");
    }
    return s + QByteArray::fromHex("0001");
}

TEST(ReadPicture, RunLengthBitmapsCodedOverThePaddedWidthLoadWithTheirPixels)
{
    for (const int bits : {8, 4}) {
        for (const int w : {1, 2, 3, 4, 5, 8, 37, 40, 101, 640}) {
            SCOPED_TRACE(testing::Message() << "RLE" << bits << ", " << w << " wide");
            const int h = 5;
            const QImage img = fromBytes(rleBitmap(paddedRleStream(w, h, bits), w, h, bits));
            // Qt's decoder puts pixels past a row's end into the row's padding to 4 pixels;
            // more would land on the next row's pixels (4-bit rows of 1 to 4 pixels past 8).
            if ((w + 7) / 8 * 8 > (w + 3) / 4 * 4 && bits == 4) {
                EXPECT_TRUE(img.isNull());
                continue;
            }
            ASSERT_EQ(img.size(), QSize(w, h));
            const int colours = 1 << bits;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(qGray(img.pixel(x, y)), rlePixel(x, y) * 255 / (colours - 1)) << x << "," << y;
        }
    }
}

TEST(ReadPicture, RunLengthBitmapsMustCodeEveryPixelAndNothingPastThePicture)
{
    EXPECT_EQ(fromBytes(rle8(QByteArray::fromHex("04070000"
                                                 "02090209"
                                                 "0001")))
                  .size(),
              QSize(4, 2));
    EXPECT_EQ(fromBytes(rle8(QByteArray::fromHex("04070000"
                                                 "0003010203000104")))
                  .size(),
              QSize(4, 2));
    // A run that passes its row's end into the row's padding is clipped there, on the last
    // row too; one that passes the padding is refused.
    EXPECT_EQ(fromBytes(rleBitmap(QByteArray::fromHex("04070000"
                                                      "04090001"),
                                  3, 2))
                  .size(),
              QSize(3, 2));
    EXPECT_TRUE(fromBytes(rleBitmap(QByteArray::fromHex("05070000"
                                                        "04090001"),
                                    3, 2))
                    .isNull());
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("04070000"))).isNull());         // cut short
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("04070001"))).isNull());         // ends early
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("0407000001030001"))).isNull()); // skips a row
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("0207"
                                                   "0000"
                                                   "04070001")))
                    .isNull());
    // A run in a row after the last one: past the picture's end.
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("04070000"
                                                   "04070000"
                                                   "04070001")))
                    .isNull());
    // An absolute run past its row's end would be read out of step.
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("0006010203040506"
                                                   "0000"
                                                   "04070001")))
                    .isNull());
    // Runs that go on far past the row's end are not padding.
    EXPECT_TRUE(fromBytes(rle8(QByteArray::fromHex("04070000"
                                                   "04ff04ff04ff"
                                                   "ff00ff00"
                                                   "0001")))
                    .isNull());
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

namespace {

// A file's bytes behind a device that counts how often it is read: a header walk that reads a
// few bytes per structure costs a system call each time on a real file.
class CountingDevice : public QIODevice {
public:
    explicit CountingDevice(const QByteArray& bytes) : m_bytes(bytes) { open(QIODevice::ReadOnly); }
    qint64 size() const override { return m_bytes.size(); }
    bool isSequential() const override { return false; }
    int reads = 0;
    qint64 bytesRead = 0;

protected:
    qint64 readData(char* data, qint64 max) override
    {
        ++reads;
        const qint64 n = std::min(max, m_bytes.size() - pos());
        bytesRead += std::max<qint64>(n, 0);
        std::memcpy(data, m_bytes.constData() + pos(), size_t(std::max<qint64>(n, 0)));
        return std::max<qint64>(n, 0);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
};

// A 100 x 100 picture's GIF header, up to where its blocks begin.
QByteArray gifHead()
{
    return QByteArray::fromHex("474946383961"
                               "6400"
                               "6400"
                               "00"
                               "00"
                               "00");
}

} // namespace

enum class RefusedBy { HeaderWalk, DataWalk };

// Files built to make the walks slow: thousands of empty structures, or bytes to step over one
// at a time. Each is refused after a bounded walk, whatever its size, reading the file a few
// blocks at a time; a real picture's header is never near these bounds. The header walk stops
// where the image data begins, so what lies in the data is refused by the data walk.
TEST(ReadPicture, FilesMadeToSlowTheWalksAreRefusedAfterABoundedWalk)
{
    const QByteArray sof = QByteArray::fromHex("ffc0000b08006400640101"
                                               "1100");
    QByteArray png = encode(noisyPicture(8, 8), "png");
    png.truncate(png.indexOf("IDAT") - 4);
    // 16000 whole rows of a picture 16384 high: shorter than its rows can be coded in.
    const QByteArray rleRow = repeated(QByteArray::fromHex("ff07"), 64) + QByteArray::fromHex("4007"
                                                                                              "0000");
    const QByteArray rleCut = rleBitmap(repeated(rleRow, 16000), 16384, 16384);
    // 200 rows of 16384 coded with absolute runs: long enough for the header to pass.
    const QByteArray absoluteRow =
        repeated(QByteArray::fromHex("00ff") + QByteArray(256, '\x07'), 64) + QByteArray::fromHex("4007"
                                                                                                  "0000");
    const QByteArray rleLong = rleBitmap(repeated(absoluteRow, 200), 16384, 16384);
    const std::vector<std::tuple<const char*, QByteArray, RefusedBy>> files = {
        {"gif: ten million empty comments", gifHead() + repeated(QByteArray::fromHex("21fe00"), 10000000) + "\x3b",
         RefusedBy::HeaderWalk},
        {"gif: one comment of fifteen million one-byte sub-blocks",
         gifHead() + "\x21\xfe" + repeated(QByteArray::fromHex("0141"), 15000000) + QByteArray(1, '\0') + "\x3b",
         RefusedBy::HeaderWalk},
        {"gif: a comment of 17 MiB in full sub-blocks",
         gifHead() + "\x21\xfe" + repeated(QByteArray(1, '\xff') + QByteArray(255, 'x'), 70000) + QByteArray(1, '\0') +
             QByteArray::fromHex("2c00000000640064000008") +
             repeated(QByteArray::fromHex("ff") + QByteArray(255, 'x'), 100) + QByteArray::fromHex("003b"),
         RefusedBy::HeaderWalk},
        {"gif: image data of fifteen million one-byte sub-blocks",
         gifHead() + QByteArray::fromHex("2c00000000640064000008") + repeated(QByteArray::fromHex("0141"), 15000000),
         RefusedBy::DataWalk},
        {"jpeg: ten megabytes of fill bytes", QByteArray::fromHex("ffd8") + QByteArray(10 << 20, '\xff'),
         RefusedBy::HeaderWalk},
        {"jpeg: ten megabytes of stray bytes", QByteArray::fromHex("ffd8ff") + QByteArray(10 << 20, '\x41'),
         RefusedBy::HeaderWalk},
        {"jpeg: a million empty comments",
         QByteArray::fromHex("ffd8") + sof + repeated(QByteArray::fromHex("fffe0002"), 1000000), RefusedBy::HeaderWalk},
        {"jpeg: a million empty comments after the first scan",
         QByteArray::fromHex("ffd8") + sof + QByteArray::fromHex("ffda0008010100003f00") + QByteArray(200, '\x55') +
             repeated(QByteArray::fromHex("fffe0002"), 1000000) + QByteArray::fromHex("ffd9"),
         RefusedBy::DataWalk},
        {"png: a million empty chunks without an end",
         png + repeated(QByteArray::fromHex("00000000"
                                            "74455874"
                                            "00000000"),
                        1000000),
         RefusedBy::HeaderWalk},
        {"png: 250 KiB text chunks after 300 small ones",
         png +
             repeated(QByteArray::fromHex("000003e8"
                                          "74455874") +
                          QByteArray(1000 + 4, 'x'),
                      300) +
             repeated(QByteArray::fromHex("0003e800"
                                          "74455874") +
                          QByteArray(256000 + 4, 'x'),
                      250),
         RefusedBy::HeaderWalk},
        {"png: a million empty data chunks",
         png + repeated(QByteArray::fromHex("00000000"
                                            "49444154"
                                            "00000000"),
                        1000000),
         RefusedBy::DataWalk},
        {"bmp: run-length rows cut short", rleCut, RefusedBy::HeaderWalk},
        {"bmp: run-length rows long enough for the header, cut short", rleLong, RefusedBy::DataWalk},
    };
    for (const auto& [name, bytes, by] : files) {
        SCOPED_TRACE(name);
        CountingDevice device(bytes);
        const bool headerRefuses = examinePicture(device).format.isEmpty();
        EXPECT_EQ(headerRefuses, by == RefusedBy::HeaderWalk);
        // The header walk reads a few blocks, however large the file, and little more than a
        // small block for each structure where they lie far apart.
        EXPECT_LE(device.reads, 400);
        EXPECT_LE(device.bytesRead, 20 << 20);
        if (headerRefuses)
            continue;
        device.reads = 0;
        EXPECT_FALSE(pictureDataHoldsClaim(device));
        // The data walk reads a block of 256 KiB at a time at most, and a few blocks when it is
        // bounded; a run-length stream is image data and is walked to its end.
        const int allowed = std::strncmp(name, "bmp", 3) == 0 ? int(bytes.size() / (256 * 1024)) + 12 : 40;
        EXPECT_LE(device.reads, allowed);
    }
}

// An icon's bitmap is held to a bitmap file's rules: its data must hold what it claims, and a
// palette of more than 256 entries is refused.
TEST(ReadPicture, AnIconsBitmapIsHeldToTheBitmapRules)
{
    // A 16 x 16 icon of 8 bits a pixel (Qt writes icons at 32): a bitmap file's info header,
    // palette and rows, the height doubled, and the transparency mask's rows.
    const QByteArray bmp = encode(noisyPicture(16, 16).convertToFormat(QImage::Format_Indexed8), "bmp");
    ASSERT_EQ(bmp[28], 8);
    QByteArray good = QByteArray::fromHex("000001000100"
                                          "10100000"
                                          "01000800") +
                      QByteArray(8, '\0');
    const qsizetype dib = good.size();
    good += bmp.mid(14) + QByteArray(16 * 4, '\0');
    putLe32(good, 6 + 8, quint32(good.size() - dib));
    putLe32(good, 6 + 12, quint32(dib));
    putLe32(good, dib + 8, 32);
    ASSERT_EQ(fromBytes(good).size(), QSize(16, 16));
    const auto with = [&](qsizetype at, quint32 v, qsizetype at2 = 0, quint32 v2 = 0) {
        QByteArray b = good;
        putLe32(b, dib + at, v);
        if (at2 != 0)
            putLe32(b, dib + at2, v2);
        return b;
    };
    const std::vector<std::pair<const char*, QByteArray>> lies = {
        {"16384 x 16384 claimed", with(4, 16384, 8, 2 * 16384)},
        {"as wide as the largest picture", with(4, 16384)},
        {"a palette of 257 entries", with(32, 257)},
        {"a palette of four thousand million entries", with(32, 0xffffffffu)},
    };
    for (const auto& [name, bytes] : lies) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(refusedUnread(bytes));
        EXPECT_TRUE(fromBytes(bytes).isNull());
    }
    // The same palette rule as for a bitmap file.
    QByteArray bigPalette = bmp;
    putLe32(bigPalette, 46, 257);
    EXPECT_TRUE(refusedUnread(bigPalette));
}
