// Reading a PNG of 16 bits a channel row by row into a picture of 8 bits a channel.
//
// Qt's reader decodes such a file at 8 bytes a pixel, so the largest picture the program
// holds (16384 x 16384, 1 GiB at 4 bytes a pixel) would need 2 GiB and is refused by the
// limit. Read here, the picture is made at its final 4 bytes a pixel and filled a row at a
// time, with nothing beside it but one row: ARGB32 when the file has transparency, RGB32
// otherwise, each channel rounded to 8 bits, with the file's resolution, colour space and texts.
#pragma once

#include <QImage>

class QIODevice;

namespace zovex {

// The picture in the whole PNG file on `device` (read from its current position), or a null
// image when the file is damaged, ends early or the picture cannot be allocated.
QImage readPngRows(QIODevice& device);

} // namespace zovex
