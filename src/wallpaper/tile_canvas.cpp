#include "tile_canvas.h"

#include "canvas.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <latch>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <stdexcept>

namespace zovex {

namespace {

// Below this a tiling is over before a second thread would have started: above it every core
// writes a band of rows.
constexpr qint64 kParallelBytes = qint64(4) << 20;
// A canvas up to this size may stay in the processor's last cache and is written through it;
// a larger one goes straight to memory.
constexpr qint64 kStreamingBytes = qint64(64) << 20;

enum class Stores { Cached, Streaming };

// Copies `bytes` from `src` to `dst`. Streaming stores write whole cache lines to memory
// without reading them first: a canvas far larger than the cache costs one pass of writes
// instead of a read and a write per line.
void copyBytes(uchar* dst, const uchar* src, std::size_t bytes, Stores stores) noexcept
{
#if defined(__SSE2__)
    if (stores == Stores::Streaming) {
        const std::size_t head = std::min<std::size_t>(bytes, (16 - (reinterpret_cast<std::uintptr_t>(dst) & 15)) & 15);
        std::memcpy(dst, src, head);
        dst += head;
        src += head;
        bytes -= head;
        for (; bytes >= 64; bytes -= 64, dst += 64, src += 64) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48));
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst), a);
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), b);
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 32), c);
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 48), d);
        }
        for (; bytes >= 16; bytes -= 16, dst += 16, src += 16)
            _mm_stream_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    }
#else
    (void)stores;
#endif
    std::memcpy(dst, src, bytes);
}

// Streaming stores are seen by other threads (and the painter) only after a fence.
void finishStores(Stores stores) noexcept
{
#if defined(__SSE2__)
    if (stores == Stores::Streaming)
        _mm_sfence();
#else
    (void)stores;
#endif
}

// The picture as one cell's pixels, at least what the canvas can show of a cell: the canvas's
// own scaled draw into a cell at the corner of a canvas of that size. A picture that is a cell
// already is used as it is, without a copy: it may be as large as the canvas.
QImage cellPixels(const QImage& picture, QSize cell, QSize shown, Colour back)
{
    if (picture.size() == cell && picture.format() == QImage::Format_RGB32)
        return picture;
    Canvas pixels(shown.width(), shown.height(), back);
    if (pixels.widthPx() != shown.width() || pixels.heightPx() != shown.height() || pixels.persistentImage().isNull())
        throw std::bad_alloc();
    pixels.PaintPicture(picture, QRect(QPoint(0, 0), cell));
    return pixels.persistentImage();
}

} // namespace

void TileCanvas(Canvas& canvas, const QImage& picture, QSize cell)
{
    if (picture.isNull())
        throw std::invalid_argument("no picture to tile with");
    if (cell.width() < 1 || cell.height() < 1)
        throw std::invalid_argument("the tile cell is empty");
    const int width = canvas.widthPx();
    const int height = canvas.heightPx();
    const QSize shown(std::min(cell.width(), width), std::min(cell.height(), height));
    const QImage tile = cellPixels(picture, cell, shown, canvas.BackColor());

    QImage& image = canvas.imageToOverwrite();
    // Pixels shared with another image (the picture the canvas was given) would be copied by
    // the first write only to be painted over: a fresh image of the size is enough.
    if (!image.isDetached()) {
        QImage fresh(image.size(), QImage::Format_RGB32);
        if (fresh.isNull())
            throw std::bad_alloc();
        image = std::move(fresh);
    }
    const std::size_t cellBytes = static_cast<std::size_t>(shown.width()) * 4;
    const std::size_t lastBytes = static_cast<std::size_t>(width % shown.width()) * 4;
    const int fullCells = width / shown.width();
    const qsizetype tileStride = tile.bytesPerLine();
    const qsizetype stride = image.bytesPerLine();
    const uchar* const tileBits = tile.constBits();
    uchar* const bits = image.bits();
    const qint64 canvasBytes = qint64(stride) * height;
    const Stores stores = canvasBytes < kStreamingBytes ? Stores::Cached : Stores::Streaming;
    const auto copyRows = [&](int first, int end) noexcept {
        for (int y = first; y < end; ++y) {
            const uchar* src = tileBits + (y % shown.height()) * tileStride;
            uchar* dst = bits + y * stride;
            for (int c = 0; c < fullCells; ++c, dst += cellBytes)
                copyBytes(dst, src, cellBytes, stores);
            if (lastBytes != 0)
                copyBytes(dst, src, lastBytes, stores);
        }
        finishStores(stores);
    };

    // A large canvas is written by every core at once, in bands of rows, as Qt's own painter
    // fills large areas: one core alone does not reach the memory's speed.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int parts = canvasBytes < kParallelBytes
                          ? 1
                          : std::clamp(std::min(QThread::idealThreadCount(), pool->maxThreadCount() + 1), 1, 16);
    if (parts == 1) {
        copyRows(0, height);
        return;
    }
    const auto bandStart = [&](int part) { return static_cast<int>(qint64(height) * part / parts); };
    std::latch done(parts - 1);
    for (int part = 1; part < parts; ++part)
        pool->start([&, part] {
            copyRows(bandStart(part), bandStart(part + 1));
            done.count_down();
        });
    copyRows(0, bandStart(1));
    done.wait();
}

} // namespace zovex
