// Our own outline rasterizer: a closed polygon stroked with a solid, round-joined pen of an
// integer width, without anti-aliasing, every covered pixel combined exactly once with the
// destination by a ROP2.
//
// Geometry: a vertex (x, y) is the centre of pixel (x, y). The stroke is the union of one
// capsule per edge (the edge swept by a disk of diameter `width`). A pixel is covered when its
// centre lies inside the stroke; a centre exactly on a left or top boundary is inside, on a
// right or bottom boundary outside. So a pen of width w covers exactly w pixels across a
// horizontal or vertical edge, and a width-1 outline passes through its vertex pixels.
//
// Work is bounded by the clipped image area, never by the pen width: any width up to 32767
// and any 32-bit vertex coordinates are fine.
//
// How: one capsule per edge; each capsule's pixels per row as exact integer bounds, stepped
// from row to row by quotient and remainder, eight rows at a time in vector lanes; an
// active-edge sweep merges the capsules of each row into disjoint spans (interval union); the
// spans are combined by the ROP2 span loops (rop2.h). outline_spans_integer.h names and
// explains each stage; outline_spans.h says which builder takes which outline.
#pragma once

#include "rop2.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zovex {

struct PixelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Outlines whose covered pixels are known but not yet combined. The canvas queues the outlines
// of a pattern here and combines them in one pass, row by row: each row is filled (when a fill
// is due), then every queued outline's spans on it are combined in the order the outlines came,
// while the row is in the cache. Each pixel sees the same operations in the same order as when
// every outline is combined at once.
class OutlineBatch {
public:
    // Computes the outline's pixels on an image of imageWidth x imageHeight and queues them.
    // Returns the number of pixels it will combine.
    std::int64_t add(int imageWidth, int imageHeight, std::span<const PixelPoint> pts, int width, Rop2 op,
                     std::uint32_t pen);
    bool empty() const { return m_outlines.empty(); }
    std::size_t spanCount() const { return m_spans.size(); }
    void clear();
    // Fills every row with *fill first when fill is given, then combines the queued outlines;
    // the image must have the size given to add. Leaves the batch empty.
    void apply(QImage& image, const std::uint32_t* fill);

private:
    struct Outline {
        Rop2 op;
        std::uint32_t pen;
        std::size_t begin, end; // its spans in m_spans, row by row
        int rowFirst, rowLast;
    };
    std::vector<Outline> m_outlines;
    std::vector<RowSpan> m_spans;
    std::vector<std::size_t> m_cursor;
};

// Strokes the closed outline pts[0] -> ... -> pts[n-1] -> pts[0] on an RGB32 image.
// Fewer than two points draw nothing. Returns the number of pixels combined.
std::int64_t strokeClosedPolygon(QImage& image, std::span<const PixelPoint> pts, int width, Rop2 op,
                                 std::uint32_t penPixel);

// Slow, exact reference for tests: whether the centre of pixel (px, py) is covered by the
// stroke under the rules above, decided per pixel against every edge in exact integer
// arithmetic. Valid for |coordinates| below 2^20 and any width up to 32767.
bool referenceCovers(std::span<const PixelPoint> pts, int width, int px, int py);

} // namespace zovex
