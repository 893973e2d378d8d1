// The outline batch: spans from the builders, combined with the image row band by row band.
#include "outline_rasterizer.h"

#include "outline_spans.h"

#include <algorithm>

namespace zovex {

std::int64_t OutlineBatch::add(int imageWidth, int imageHeight, std::span<const PixelPoint> pts, int width, Rop2 op,
                               std::uint32_t pen)
{
    const std::size_t begin = m_spans.size();
    const std::int64_t combined = detail::integerBuilderTakes(pts, width, imageWidth)
                                      ? detail::appendSpansInteger(imageWidth, imageHeight, pts, width, m_spans)
                                      : detail::appendSpansGeneral(imageWidth, imageHeight, pts, width, m_spans);
    if (m_spans.size() > begin)
        m_outlines.push_back({op, pen, begin, m_spans.size(), m_spans[begin].row, m_spans.back().row});
    return combined;
}

void OutlineBatch::clear()
{
    m_outlines.clear();
    m_spans.clear();
}

namespace {

// n pixels of one colour from dst on. On x86-64 a string store: the processor writes whole
// cache lines without first reading them, which a loop of vector stores cannot do.
void fillPixels(std::uint32_t* dst, std::size_t n, std::uint32_t pixel)
{
#if defined(__x86_64__) && defined(__GNUC__)
    asm volatile("rep stosl" : "+D"(dst), "+c"(n) : "a"(pixel) : "memory");
#else
    std::fill_n(dst, n, pixel);
#endif
}

} // namespace

void OutlineBatch::apply(QImage& image, const std::uint32_t* fill)
{
    const int W = image.width(), H = image.height();
    int rowFirst = fill ? 0 : H, rowLast = fill ? H - 1 : -1;
    for (const Outline& o : m_outlines) {
        rowFirst = std::min(rowFirst, o.rowFirst);
        rowLast = std::max(rowLast, o.rowLast);
    }
    m_cursor.resize(m_outlines.size());
    for (std::size_t i = 0; i < m_outlines.size(); ++i)
        m_cursor[i] = m_outlines[i].begin;
    auto* bits = reinterpret_cast<std::uint32_t*>(image.bits());
    const std::ptrdiff_t stride = image.bytesPerLine() / 4;
    const RowSpan* spans = m_spans.data();
    // Sixteen rows at a time: few calls, and the band stays in the cache while every outline
    // goes over it.
    constexpr int kBand = 16;
    RowSpan fillSpans[kBand];
    for (int y0 = rowFirst; y0 <= rowLast; y0 += kBand) {
        const int y1 = std::min(y0 + kBand, rowLast + 1); // rows y0 .. y1 - 1
        if (fill && stride == W) {
            fillPixels(bits + stride * y0, static_cast<std::size_t>(y1 - y0) * static_cast<std::size_t>(W), *fill);
        } else if (fill) {
            for (int y = y0; y < y1; ++y)
                fillSpans[y - y0] = {y, 0, W};
            rop2Spans(Rop2::CopyPen, *fill, bits, stride, fillSpans, static_cast<std::size_t>(y1 - y0));
        }
        for (std::size_t i = 0; i < m_outlines.size(); ++i) {
            const Outline& o = m_outlines[i];
            if (y1 <= o.rowFirst || y0 > o.rowLast)
                continue;
            const std::size_t from = m_cursor[i];
            std::size_t to = from;
            while (to < o.end && spans[to].row < y1)
                ++to;
            if (to > from)
                rop2Spans(o.op, o.pen, bits, stride, spans + from, to - from);
            m_cursor[i] = to;
        }
    }
    clear();
}

std::int64_t strokeClosedPolygon(QImage& image, std::span<const PixelPoint> pts, int width, Rop2 op,
                                 std::uint32_t penPixel)
{
    thread_local OutlineBatch batch;
    batch.clear();
    const std::int64_t combined = batch.add(image.width(), image.height(), pts, width, op, penPixel);
    batch.apply(image, nullptr);
    return combined;
}

} // namespace zovex
