// The two builders of an outline's spans, inside the rasterizer. Both append the covered pixels
// of one stroked outline as merged, disjoint spans, row by row from the top and left to right
// within a row, and return their pixel count; they give the same pixels.
//
// The integer builder (outline_spans_integer.h) is the fast path: exact integer arithmetic,
// eight rows at a time, for the outlines of ordinary drawing: vertices within 8192 pixels of
// the origin, pens up to 4096 pixels, up to 65535 points, images up to 32767 pixels wide
// (integerBuilderTakes; it must be asked before appendSpansInteger). The general builder
// takes any 32-bit vertices and any width: plain double-precision code, row by row per
// capsule, then each row's spans sorted and merged.
#pragma once

#include "outline_rasterizer.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zovex::detail {

bool integerBuilderTakes(std::span<const PixelPoint> pts, int width, int imageWidth);

std::int64_t appendSpansInteger(int imageWidth, int imageHeight, std::span<const PixelPoint> pts, int width,
                                std::vector<RowSpan>& out);

std::int64_t appendSpansGeneral(int imageWidth, int imageHeight, std::span<const PixelPoint> pts, int width,
                                std::vector<RowSpan>& out);

} // namespace zovex::detail
