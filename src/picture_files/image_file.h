// Writing pictures to files whole or not at all: the image goes to a temporary file beside the
// target, which replaces the target only once everything was written (see AtomicFile). A
// failed write leaves any existing file exactly as it was and no temporary file behind. A link
// standing under the target's name is replaced, never written through. Bitmaps are streamed:
// a picture of a gigabyte costs one row of extra memory.
#pragma once

#include "file_error.h"

#include <QImage>
#include <QString>

namespace zovex {

enum class ImageFormat { Bmp, Png };

// Writes `image` to `path` (the name used exactly as given). BMP is a standard uncompressed
// Windows bitmap (24 bits per pixel). On failure returns false and says why in *why.
bool writeImageAtomically(const QImage& image, const QString& path, ImageFormat format, FileError* why = nullptr);

} // namespace zovex
