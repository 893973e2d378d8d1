// The largest picture held by a window, and files made to slow the header walk.
//
// HoldLargest/<case>: a 16384 x 16384 PNG file of a few kilobytes opened as the wallpaper
// window opens it (the loader, then the canvas box with automatic sizing, then the tile source
// box sharing its picture). extra_peak_MiB is how far the peak rose, held_MiB what stays held;
// the peer is picture_MiB, the 1 GiB of the picture's own 32-bit pixels. Cases: 0 opaque RGB,
// 1 RGBA (transparent parts put on the canvas's background).
// HoldLargestZoom/<case>: the same files opened as the zoom window opens them.
// HeaderWalk/<case>/<MiB>: the header walk (examinePicture) over a file of about that many MiB
// built to make the walks slow, against ReadFile/<case>/<MiB>: reading the same file's bytes
// once. RefuseUnread/<case>/<MiB>: the whole refusal as a window meets it (LoadPicture: the
// header walk, then the data walk over the image data, which takes the busy cursor; every
// case is refused before a pixel is decoded). Cases:
//   0 a GIF of empty comments,            1 a GIF comment of one-byte sub-blocks,
//   2 a JPEG of fill bytes,               3 a JPEG of empty comments,
//   4 a PNG of empty chunks, no end,      5 a run-length BMP 16384 x 16384 of absolute runs,
//                                           cut short (or, past 270 MB, past its last row),
//   6 a JPEG scan dense with stuffed 0xff 0x00, no end,
//   7 a GIF 16384 x 16384 of full sub-blocks, cut short,
//   8 a PNG 16384 x 16384 of 8 KiB data chunks, no end,
//   9 a JPEG of 64 KiB comments (far jumps), 10 an XBM 16384 x 16384 of blanks, no bytes,
//  11 a PNG of 1 MiB text chunks before its data, 12 an ICO holding case 8's PNG,
//  13 a PPM 16384 x 16384 cut short,   14 case 5 coded in runs of one pixel (the densest stream),
//  15 a GIF comment of full 255-byte sub-blocks before its image,
//  16 a PNG of 250 KiB text chunks before its data, after 300 small ones (jumps just under the
//     largest read, once small jumps have made it grow).
#include "load_picture.h"
#include "peak_memory.h"
#include "picture_box.h"
#include "zoom_display.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <algorithm>

using namespace zovex;

namespace {

QTemporaryDir& scratch()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/zovex-bench-hold-XXXXXX"));
    return dir;
}

QString largestPng(int kind)
{
    const QString path = scratch().filePath(QStringLiteral("largest%1.png").arg(kind));
    if (!QFile::exists(path)) {
        QImage img(16384, 16384, kind == 0 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
        img.fill(kind == 0 ? qRgb(10, 120, 200) : qRgba(10, 120, 200, 100));
        img.save(path, "png");
    }
    return path;
}

void BM_HoldLargest(benchmark::State& state)
{
    const QString path = largestPng(int(state.range(0)));
    double extra = 0;
    double held = 0;
    for (auto _ : state) {
        const bench::PeakProbe probe;
        const double before = bench::procStatusMiB("VmRSS:");
        PictureBox canvasBox(QSize(100, 100), RGB(255, 255, 255), nullptr, AutoSize::On, ScaleMode::Pixel);
        PictureBox tileBox(QSize(386, 387), RGB(255, 255, 255));
        canvasBox.setPicture(LoadPicture(path));
        tileBox.setPicture(canvasBox.picture());
        benchmark::DoNotOptimize(canvasBox.canvas().persistentImage().constBits());
        extra = probe.extraMiB();
        held = bench::procStatusMiB("VmRSS:") - before;
    }
    state.counters["extra_peak_MiB"] = extra;
    state.counters["held_MiB"] = held;
    state.counters["picture_MiB"] = 1024;
}

void BM_HoldLargestZoom(benchmark::State& state)
{
    const QString path = largestPng(int(state.range(0)));
    double extra = 0;
    double held = 0;
    for (auto _ : state) {
        const bench::PeakProbe probe;
        const double before = bench::procStatusMiB("VmRSS:");
        QWidget window;
        ZoomDisplay display({1000, 1000}, &window);
        display.setPicture(LoadPicture(path));
        extra = probe.extraMiB();
        held = bench::procStatusMiB("VmRSS:") - before;
    }
    state.counters["extra_peak_MiB"] = extra;
    state.counters["held_MiB"] = held;
    state.counters["picture_MiB"] = 1024;
}

QByteArray times(const QByteArray& unit, qsizetype n)
{
    QByteArray b;
    b.reserve(unit.size() * n);
    for (qsizetype i = 0; i < n; ++i)
        b += unit;
    return b;
}

// A hostile file: its head, then one unit over and over up to the size asked for.
struct Recipe {
    QByteArray head;
    QByteArray unit;
};

QByteArray pngHead(quint32 w, quint32 h)
{
    QByteArray b = QByteArray::fromHex("89504e470d0a1a0a"
                                       "0000000d49484452");
    QByteArray ihdr(13, '\0');
    qToBigEndian(w, ihdr.data());
    qToBigEndian(h, ihdr.data() + 4);
    ihdr[8] = 8;
    ihdr[9] = 2;
    return b + ihdr + QByteArray(4, '\0');
}

QByteArray pngChunk(const char* type, qsizetype length)
{
    QByteArray b(4, '\0');
    qToBigEndian(quint32(length), b.data());
    return b + type + QByteArray(length, 'x') + QByteArray(4, '\0');
}

QByteArray jpegFrame(int side)
{
    QByteArray b = QByteArray::fromHex("ffc0000b08");
    b += char(side >> 8);
    b += char(side & 0xff);
    b += char(side >> 8);
    b += char(side & 0xff);
    return b + QByteArray::fromHex("01011100");
}

Recipe recipe(int kind)
{
    const QByteArray gif = QByteArray::fromHex("474946383961"
                                               "6400"
                                               "6400"
                                               "000000");
    switch (kind) {
    case 0:
        return {gif, QByteArray::fromHex("21fe00")};
    case 1:
        return {gif + "\x21\xfe", QByteArray::fromHex("0141")};
    case 2:
        return {QByteArray::fromHex("ffd8"), QByteArray(4096, '\xff')};
    case 3:
        return {QByteArray::fromHex("ffd8") + jpegFrame(100), QByteArray::fromHex("fffe0002")};
    case 4:
        return {pngHead(100, 100), QByteArray::fromHex("0000000074455874"
                                                       "00000000")};
    case 5:
    case 14: {
        QByteArray b(54 + 1024, '\0');
        b[0] = 'B';
        b[1] = 'M';
        qToLittleEndian<quint32>(54 + 1024, b.data() + 10);
        qToLittleEndian<quint32>(40, b.data() + 14);
        qToLittleEndian<quint32>(16384, b.data() + 18);
        qToLittleEndian<quint32>(16384, b.data() + 22);
        b[26] = 1;
        b[28] = 8;
        qToLittleEndian<quint32>(1, b.data() + 30);
        if (kind == 14)
            return {b, times(QByteArray::fromHex("0107"), 16384) + QByteArray::fromHex("0000")};
        return {b, times(QByteArray::fromHex("00ff") + QByteArray(256, '\x07'), 64) + QByteArray::fromHex("40070000")};
    }
    case 6:
        return {QByteArray::fromHex("ffd8") + jpegFrame(16384) + QByteArray::fromHex("ffda0008010100003f00"),
                times(QByteArray::fromHex("ff00"), 2048)};
    case 7:
        return {QByteArray::fromHex("474946383961"
                                    "0040"
                                    "0040"
                                    "000000"
                                    "2c00000000004000400008"),
                QByteArray(1, '\xff') + QByteArray(255, 'x')};
    case 8:
    case 12:
        return {pngHead(16384, 16384), pngChunk("IDAT", 8192)};
    case 9:
        return {QByteArray::fromHex("ffd8"), QByteArray::fromHex("fffeffff") + QByteArray(65533, 'A')};
    case 10:
        return {QByteArray("#define a_width 16384\n#define a_height 16384\nstatic char a_bits[] = {\n"),
                QByteArray(4096, ' ')};
    case 11:
        return {pngHead(100, 100), pngChunk("tEXt", 1 << 20)};
    case 16:
        return {pngHead(100, 100) + times(pngChunk("tEXt", 1000), 300), pngChunk("tEXt", 250 << 10)};
    case 15:
        return {gif + "\x21\xfe", QByteArray(1, '\xff') + QByteArray(255, 'x')};
    default:
        return {QByteArray("P6\n16384 16384\n255\n"), QByteArray(4096, 'x')};
    }
}

QString hostileFile(int kind, int mib)
{
    const QString path = scratch().filePath(QStringLiteral("hostile%1-%2").arg(kind).arg(mib));
    if (QFile::exists(path))
        return path;
    Recipe r = recipe(kind);
    const qint64 units = std::max<qint64>(1, ((qint64(mib) << 20) - r.head.size()) / r.unit.size());
    if (kind == 12) { // one icon, the whole PNG, right after the directory
        QByteArray ico = QByteArray::fromHex("000001000100"
                                             "00000000"
                                             "01002000") +
                         QByteArray(8, '\0');
        qToLittleEndian<quint32>(quint32(r.head.size() + units * r.unit.size()), ico.data() + 6 + 8);
        qToLittleEndian<quint32>(quint32(ico.size()), ico.data() + 6 + 12);
        r.head = ico + r.head;
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return path;
    f.write(r.head);
    const QByteArray block = times(r.unit, std::max<qint64>(1, (1 << 20) / r.unit.size()));
    const qint64 perBlock = block.size() / r.unit.size();
    qint64 left = units;
    for (; left >= perBlock; left -= perBlock)
        f.write(block);
    for (; left > 0; --left)
        f.write(r.unit);
    return path;
}

void walkCounters(benchmark::State& state, const QString& path, bool refused)
{
    state.counters["refused"] = refused;
    state.counters["file_MiB"] = double(QFile(path).size()) / (1 << 20);
}

void BM_HeaderWalk(benchmark::State& state)
{
    const QString path = hostileFile(int(state.range(0)), int(state.range(1)));
    bool refused = false;
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        refused = examinePicture(f).format.isEmpty();
    }
    walkCounters(state, path, refused);
}

void BM_RefuseUnread(benchmark::State& state)
{
    const QString path = hostileFile(int(state.range(0)), int(state.range(1)));
    bool refused = false;
    for (auto _ : state)
        refused = LoadPicture(path).isNull();
    walkCounters(state, path, refused);
}

void BM_ReadFile(benchmark::State& state)
{
    const QString path = hostileFile(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(f.readAll().size());
    }
}

void walkCases(benchmark::internal::Benchmark* b)
{
    for (int kind = 0; kind <= 16; ++kind)
        for (const int mib : {10, 100, 500})
            b->Args({kind, mib});
}

} // namespace

BENCHMARK(BM_HoldLargest)->Name("HoldLargest")->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoldLargestZoom)->Name("HoldLargestZoom")->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderWalk)->Name("HeaderWalk")->Apply(walkCases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefuseUnread)->Name("RefuseUnread")->Apply(walkCases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFile)->Name("ReadFile")->Apply(walkCases)->Unit(benchmark::kMillisecond);
