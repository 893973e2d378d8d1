// The rules of a Windows bitmap's info header (a DIB), shared by BMP files and the bitmaps
// inside ICO and CUR files. Internal to the picture reader.
#pragma once

#include "picture_rules.h"

namespace zovex::picture {

struct DibHeader {
    qint64 infoSize = 0;
    qint64 width = 0;
    qint64 height = 0; // as stored: negative for a top-down bitmap
    int bpp = 0;
    quint32 compression = 0;
    qint64 paletteEntries = 0;
};

// The info header at `at`, or nullopt when it is damaged, cut short, of a depth no reader
// knows, or has a palette of more than 256 entries.
std::optional<DibHeader> readDibHeader(const Bytes& b, qint64 at);

// Bytes of one stored row of `width` pixels at `bpp` bits: rows are padded to 32 bits.
inline qint64 dibRowBytes(qint64 width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

// Whether the RLE4 or RLE8 stream from `at` codes every pixel of a picture w x h.
bool rleCoversPicture(const Bytes& b, qint64 at, qint64 w, qint64 h, int bits);

} // namespace zovex::picture
