// The largest picture held by a window, and files made to slow the header walk.
//
// HoldLargest/<case>: a 16384 x 16384 PNG file of a few kilobytes opened as the wallpaper
// window opens it (the loader, then the canvas box with automatic sizing, then the tile source
// box sharing its picture). extra_peak_MiB is how far the peak rose, held_MiB what stays held;
// the peer is picture_MiB, the 1 GiB of the picture's own 32-bit pixels. Cases: 0 opaque RGB,
// 1 RGBA (transparent parts put on the canvas's background).
// HoldLargestZoom/<case>: the same files opened as the zoom window opens them.
// HeaderWalk/<case>: the header walk over a file built to make it slow, against ReadFile/<case>:
// reading the same file's bytes once. Cases: 0 a GIF of ten million empty comments (30 MB),
// 1 a GIF comment of fifteen million one-byte sub-blocks (30 MB), 2 a JPEG of 10 MB of fill
// bytes, 3 a JPEG of a million empty comments (4 MB), 4 a PNG of a million empty chunks without
// an end (12 MB), 5 a run-length BMP cut short (2.2 MB).
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

QByteArray hostileBytes(int kind)
{
    const QByteArray gif = QByteArray::fromHex("474946383961"
                                               "6400"
                                               "6400"
                                               "000000");
    switch (kind) {
    case 0:
        return gif + times(QByteArray::fromHex("21fe00"), 10000000);
    case 1:
        return gif + "\x21\xfe" + times(QByteArray::fromHex("0141"), 15000000);
    case 2:
        return QByteArray::fromHex("ffd8") + QByteArray(10 << 20, '\xff');
    case 3:
        return QByteArray::fromHex("ffd8"
                                   "ffc0000b08006400640101"
                                   "1100") +
               times(QByteArray::fromHex("fffe0002"), 1000000);
    case 4:
        return QByteArray::fromHex("89504e470d0a1a0a"
                                   "0000000d49484452"
                                   "0000006400000064"
                                   "0802000000"
                                   "00000000") +
               times(QByteArray::fromHex("0000000074455874"
                                         "00000000"),
                     1000000);
    default: {
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
        return b + times(times(QByteArray::fromHex("ff07"), 64) + QByteArray::fromHex("40070000"), 16000);
    }
    }
}

QString hostileFile(int kind)
{
    const QString path = scratch().filePath(QStringLiteral("hostile%1").arg(kind));
    if (!QFile::exists(path)) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(hostileBytes(kind));
    }
    return path;
}

void BM_HeaderWalk(benchmark::State& state)
{
    const QString path = hostileFile(int(state.range(0)));
    bool refused = false;
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        refused = examinePicture(f).format.isEmpty();
    }
    state.counters["refused"] = refused;
    state.counters["file_MiB"] = double(QFile(path).size()) / (1 << 20);
}

void BM_ReadFile(benchmark::State& state)
{
    const QString path = hostileFile(int(state.range(0)));
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(f.readAll().size());
    }
}

} // namespace

BENCHMARK(BM_HoldLargest)->Name("HoldLargest")->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoldLargestZoom)->Name("HoldLargestZoom")->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderWalk)->Name("HeaderWalk")->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFile)->Name("ReadFile")->DenseRange(0, 5)->Unit(benchmark::kMillisecond);
