// Writes one small picture in every format the picture loader reads into the folder given,
// as seeds for the picture fuzzer.
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
    struct Seed {
        const char* name;
        const QImage& image;
        const char* format;
        bool progressive;
    };
    const Seed seeds[] = {
        {"a.bmp", img, "bmp", false},       {"i.bmp", indexed, "bmp", false}, {"m.bmp", mono, "bmp", false},
        {"a.png", img, "png", false},       {"i.png", indexed, "png", false}, {"a.jpg", img, "jpeg", false},
        {"p.jpg", img, "jpeg", true},       {"a.ico", img, "ico", false},     {"a.ppm", img, "ppm", false},
        {"a.pgm", img, "pgm", false},       {"a.pbm", mono, "pbm", false},    {"a.xbm", mono, "xbm", false},
        {"a.xpm", indexed, "xpm", false},
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
    // A 4 x 2 RLE8 bitmap: file header, info header, grey palette, coded rows.
    const QByteArray stream = QByteArray::fromHex("04070000020902090001");
    QByteArray rle(54, '\0');
    const auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, rle.data() + at); };
    rle[0] = 'B';
    rle[1] = 'M';
    put32(2, quint32(54 + 1024 + stream.size()));
    put32(10, 54 + 1024);
    put32(14, 40);
    put32(18, 4);
    put32(22, 2);
    rle[26] = 1;
    rle[28] = 8;
    put32(30, 1);
    for (int i = 0; i < 256; ++i)
        rle += QByteArray(3, char(i)) + '\0';
    rle += stream;
    for (const auto& [name, bytes] : {std::pair{"a.gif", gif}, std::pair{"r.bmp", rle}}) {
        QFile f(out.filePath(QLatin1String(name)));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            ++failed;
    }
    return failed == 0 ? 0 : 1;
}
