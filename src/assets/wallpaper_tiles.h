// The wallpaper window's stored pictures, embedded in the program: the default tile picture
// (a 24-bit bitmap, 382 x 383) and the twelve built-in tiles (JPEG 685 x 685 or 857 x 857,
// tile 11 a 24-bit bitmap 589 x 589). They are made from the program's own patterns when it is
// built (zovex-make-tiles), so the program needs no picture files beside it.
//
// Contract: each call decodes the picture again, so a window decodes them once when it is
// created and keeps them. The pictures are RGB32 and never null in a correct build.
#pragma once

#include <QImage>

namespace zovex {

QImage defaultTilePicture();
// Built-in tile k, 1..12; a null image for any other k.
QImage builtInTilePicture(int k);

} // namespace zovex
