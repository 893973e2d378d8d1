// Writes one small picture in every format the picture loader reads into the folder given,
// as seeds for the picture fuzzer.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zovex-fuzz-seeds FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 1;
    QImage img(13, 9, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(x * 19, y * 27, (x * y) * 5));
    const QImage mono = img.convertToFormat(QImage::Format_Mono);
    const QImage indexed = img.convertToFormat(QImage::Format_Indexed8);
    const QImage deep = img.convertToFormat(QImage::Format_RGBA64);
    struct Seed {
        const char* name;
        const QImage& image;
        const char* format;
        bool progressive;
    };
    const Seed seeds[] = {
        {"a.bmp", img, "bmp", false},     {"i.bmp", indexed, "bmp", false}, {"m.bmp", mono, "bmp", false},
        {"a.png", img, "png", false},     {"i.png", indexed, "png", false}, {"a.jpg", img, "jpeg", false},
        {"p.jpg", img, "jpeg", true},     {"a.ico", img, "ico", false},     {"a.ppm", img, "ppm", false},
        {"a.pgm", img, "pgm", false},     {"a.pbm", mono, "pbm", false},    {"a.xbm", mono, "xbm", false},
        {"a.xpm", indexed, "xpm", false}, {"d.png", deep, "png", false},
    };
    int failed = 0;
    for (const Seed& s : seeds) {
        QImageWriter w(out.filePath(QLatin1String(s.name)), s.format);
        w.setProgressiveScanWrite(s.progressive);
        if (!w.write(s.image)) {
            std::fprintf(stderr, "zovex-fuzz-seeds: %s: %s\n", s.name, qPrintable(w.errorString()));
            ++failed;
        }
    }
    // Qt writes no GIF and no run-length bitmap: the smallest of each, byte by byte.
    const QByteArray gif = QByteArray::fromHex("474946383961010001008000"
                                               "00ff000000000021f90401000000002c00000000"
                                               "010001000002024401003b");
    // RLE8 bitmaps of w x 2 pixels: file header, info header, grey palette, coded rows.
    const auto rleFile = [](quint32 w, const QByteArray& stream) {
        QByteArray b(54, '\0');
        const auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, b.data() + at); };
        b[0] = 'B';
        b[1] = 'M';
        put32(2, quint32(54 + 1024 + stream.size()));
        put32(10, 54 + 1024);
        put32(14, 40);
        put32(18, w);
        put32(22, 2);
        b[26] = 1;
        b[28] = 8;
        put32(30, 1);
        for (int i = 0; i < 256; ++i)
            b += QByteArray(3, char(i)) + '\0';
        return b + stream;
    };
    const QByteArray rle = rleFile(4, QByteArray::fromHex("04070000020902090001"));
    // Rows of 5 coded over 8 pixels, as some writers do.
    const QByteArray padded = rleFile(5, QByteArray::fromHex("05070300"
                                                             "0000"
                                                             "05090300"
                                                             "0000"
                                                             "0001"));
    // Near the bounds of the header walk, so that mutations cross them: thousands of empty
    // comments, chunks and segments, fill bytes before a marker, rows coded into their padding.
    const auto times = [](const QByteArray& unit, int n) {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b += unit;
        return b;
    };
    const QByteArray manyComments = gif.left(13 + 6) +
                                    times(QByteArray::fromHex("21fe0141"
                                                              "00"),
                                          4000) +
                                    gif.mid(13 + 6);
    const QByteArray pngBytes = [&] {
        QByteArray b;
        QBuffer buffer(&b);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(img);
        return b;
    }();
    const qsizetype idat = pngBytes.indexOf("IDAT") - 4;
    const QByteArray manyChunks = pngBytes.left(idat) +
                                  times(QByteArray::fromHex("00000000"
                                                            "74455874"
                                                            "00000000"),
                                        4000) +
                                  pngBytes.mid(idat);
    const QByteArray jpegBytes = [&] {
        QByteArray b;
        QBuffer buffer(&b);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpeg").write(img);
        return b;
    }();
    const QByteArray fill = jpegBytes.left(2) + QByteArray(60000, '\xff') + jpegBytes.mid(2);
    const QByteArray segments = jpegBytes.left(2) + times(QByteArray::fromHex("fffe0002"), 4000) + jpegBytes.mid(2);
    const std::pair<const char*, QByteArray> files[] = {
        {"a.gif", gif},
        {"r.bmp", rle},
        {"many.gif", manyComments},
        {"chunks.png", manyChunks},
        {"fill.jpg", fill},
        {"segments.jpg", segments},
        {"padded.bmp", padded},
    };
    for (const auto& [name, bytes] : files) {
        QFile f(out.filePath(QLatin1String(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
