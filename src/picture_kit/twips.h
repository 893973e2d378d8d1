// Twips, the unit in which every window of the program places its controls: 1/1440 inch,
// 15 to a pixel on the 96-dots-per-inch screen the program assumes (kTwipsPerPixel).
//
// Contract: one conversion with one rounding rule for the whole program. A twip value becomes
// pixels by dividing by 15 and rounding to the nearest integer, ties to the even neighbour (the
// program's integer conversion, toInt32); a result outside 32 bits raises OverflowError. So
// 43000 twips is 2867 pixels, never 2866. Sizes that are a window's state stay Twips (single
// precision) and are converted only where they meet the screen.
#pragma once

#include "canvas.h"
#include "int_conv.h"

#include <QRect>
#include <QSize>

namespace zovex {

using Twips = float;

inline int twipsToPx(double twips) { return toInt32(twips / static_cast<double>(kTwipsPerPixel)); }
inline Twips pxToTwips(int px) { return static_cast<Twips>(px) * kTwipsPerPixel; }

// A control's place (left, top, width, height in twips from the client area's top-left corner)
// in pixels: each of the four converted on its own, as the controls are described.
inline QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twipsToPx(left), twipsToPx(top), twipsToPx(width), twipsToPx(height));
}
inline QSize twipsSize(double width, double height) { return QSize(twipsToPx(width), twipsToPx(height)); }

} // namespace zovex
