// Picture files, large and hostile. Each reports the time and extra_peak_MiB: how far the
// process's peak resident memory rose above what it held before (the canvas itself excluded).
//
// SaveBmp/<side>: a side x side canvas written as a bitmap by the program's writer (streamed),
// against SaveBmpInMemory/<side>: the whole file encoded in memory first (what the writer did
// before; Qt's own BMP writer).
// LoadPicture/<case>: a picture file through the program's loader, against QtReader/<case>:
// Qt's reader alone with the same 1 GiB limit (what the loader did before). Cases:
//   0 the largest legitimate picture, 16384 x 16384, as a baseline JPEG
//   1 the same, progressive
//   2 a few hundred bytes of JPEG whose header claims 16384 x 16384
//   3 a few kilobytes of progressive JPEG with 200 scans over a 16384 x 16384 claim
#include "image_file.h"
#include "load_picture.h"
#include "peak_memory.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

using namespace zovex;

namespace {

QTemporaryDir& scratch()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/zovex-bench-XXXXXX"));
    return dir;
}

QImage canvas(int side)
{
    QImage img(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < side; ++x)
            row[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
    }
    return img;
}

bool saveStreamed(const QImage& img, const QString& path) { return writeImageAtomically(img, path, ImageFormat::Bmp); }

bool saveInMemory(const QImage& img, const QString& path)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "bmp").write(img);
    }
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

void BM_Save(benchmark::State& state, bool (*save)(const QImage&, const QString&))
{
    const QImage img = canvas(int(state.range(0)));
    const QString path = scratch().filePath(QStringLiteral("save.bmp"));
    double extra = 0;
    for (auto _ : state) {
        const bench::PeakProbe probe;
        if (!save(img, path))
            state.SkipWithError("write failed");
        extra = std::max(extra, probe.extraMiB());
    }
    state.counters["extra_peak_MiB"] = extra;
    QFile::remove(path);
}

QByteArray jpegOf(const QImage& img, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter w(&buffer, "jpeg");
    w.setProgressiveScanWrite(progressive);
    w.write(img);
    return bytes;
}

qsizetype frameHeader(const QByteArray& b)
{
    for (qsizetype i = 2; i + 1 < b.size(); ++i)
        if (uchar(b[i]) == 0xff && (uchar(b[i + 1]) == 0xc0 || uchar(b[i + 1]) == 0xc2))
            return i;
    return -1;
}

void claim16384(QByteArray& jpeg)
{
    const qsizetype sof = frameHeader(jpeg);
    for (const int at : {5, 7}) {
        jpeg[sof + at] = char(0x40);
        jpeg[sof + at + 1] = 0;
    }
}

QString benchFile(int which)
{
    static std::map<int, QString> made;
    if (made.count(which))
        return made[which];
    QByteArray bytes;
    if (which <= 1) {
        // Smooth gradients, as a photograph compresses; one gigabyte of canvas while it is made.
        bytes = jpegOf(canvas(16384), which == 1);
    } else {
        QImage small(8, 8, QImage::Format_RGB32);
        small.fill(qRgb(10, 200, 30));
        bytes = jpegOf(small, which == 3);
        claim16384(bytes);
        if (which == 3) {
            // Repeat the scans (with their tables) until there are 200 of them.
            const qsizetype sofEnd =
                frameHeader(bytes) + 2 +
                ((uchar(bytes[frameHeader(bytes) + 2]) << 8) | uchar(bytes[frameHeader(bytes) + 3]));
            const QByteArray scans = bytes.mid(sofEnd, bytes.size() - 2 - sofEnd);
            const qsizetype perCopy = scans.count(QByteArray::fromHex("ffda"));
            QByteArray hostile = bytes.left(sofEnd);
            for (qsizetype n = 0; n < 200; n += perCopy)
                hostile += scans;
            bytes = hostile + QByteArray::fromHex("ffd9");
        }
    }
    const QString path = scratch().filePath(QStringLiteral("case%1.jpg").arg(which));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return made[which] = path;
}

void BM_LoadPicture(benchmark::State& state)
{
    const QString path = benchFile(int(state.range(0)));
    double extra = 0;
    bool loaded = false;
    for (auto _ : state) {
        const bench::PeakProbe probe;
        loaded = !LoadPicture(path).isNull();
        extra = std::max(extra, probe.extraMiB());
    }
    state.counters["extra_peak_MiB"] = extra;
    state.counters["loaded"] = loaded;
    state.counters["file_KiB"] = double(QFileInfo(path).size()) / 1024.0;
}

void BM_QtReader(benchmark::State& state)
{
    const QString path = benchFile(int(state.range(0)));
    double extra = 0;
    bool loaded = false;
    const int stock = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1024);
    for (auto _ : state) {
        const bench::PeakProbe probe;
        loaded = !QImageReader(path).read().isNull();
        extra = std::max(extra, probe.extraMiB());
    }
    QImageReader::setAllocationLimit(stock);
    state.counters["extra_peak_MiB"] = extra;
    state.counters["loaded"] = loaded;
    state.counters["file_KiB"] = double(QFileInfo(path).size()) / 1024.0;
}

} // namespace

BENCHMARK_CAPTURE(BM_Save, streamed, saveStreamed)
    ->Name("SaveBmp")
    ->Arg(4096)
    ->Arg(16384)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Save, inMemory, saveInMemory)
    ->Name("SaveBmpInMemory")
    ->Arg(4096)
    ->Arg(16384)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPicture)->Name("LoadPicture")->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtReader)->Name("QtReader")->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
