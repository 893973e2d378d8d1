// The two builders of an outline's spans, inside the rasterizer. Both append the covered pixels
// of one stroked outline as merged, disjoint spans, row by row from the top and left to right
// within a row, and return their pixel count; they give the same pixels.
//
// The integer builder decides every bound in exact integer arithmetic and is the fast one; it
// takes the outlines of ordinary drawing: vertices within 8192 pixels of the origin, pens up to
// 4096 pixels, up to 65535 points, images up to 32767 pixels wide (integerBuilderTakes). The
// general builder takes any 32-bit vertices and any width, in double precision.
#pragma once

#include "outline_rasterizer.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zovex::detail {

bool integerBuilderTakes(std::span<const PixelPoint> pts, int width, int imageWidth);

std::int64_t appendSpansInteger(int imageWidth, int imageHeight, std::span<const PixelPoint> pts,
                                int width, std::vector<RowSpan>& out);

std::int64_t appendSpansGeneral(int imageWidth, int imageHeight, std::span<const PixelPoint> pts,
                                int width, std::vector<RowSpan>& out);

} // namespace zovex::detail
