// Counting what a drawing left on a canvas, for tests that check it by colour: every pixel of
// the canvas is looked at, so a stray pixel anywhere counts.
#pragma once

#include "canvas.h"

namespace zovex::test {

// How many pixels of `c` are exactly `colour`.
inline int countPixels(const Canvas& c, Colour colour)
{
    int n = 0;
    for (int y = 0; y < c.heightPx(); ++y)
        for (int x = 0; x < c.widthPx(); ++x)
            n += c.pixel(x, y) == colour;
    return n;
}

} // namespace zovex::test
