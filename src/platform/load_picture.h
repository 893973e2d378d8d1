// Reading picture files, as LoadPicture does for every window that opens a picture: any format
// Qt's image readers know (BMP, JPEG, GIF, PNG, ICO at least), recognised by content, whatever
// the file's name ends in.
//
// Contract: a file that is not a picture, cannot be read or is larger than the limit gives a
// null image; nothing is thrown and nothing is shown. A picture within the limit is never
// refused for its size.
#pragma once

#include <QImage>
#include <QString>

namespace zovex {

// The largest picture the program reads: 1 GiB of decoded 32-bit pixels, 268,435,456 pixels
// (16384 x 16384). Qt's stock limit (256 MiB, about 8200 x 8200) would refuse a large wallpaper
// this program wrote itself; no window may make a canvas larger than this, so that every
// picture the program writes can be read back. Above it a picture is refused before anything
// is decoded.
inline constexpr qint64 kLargestPictureBytes = qint64(1) << 30;
inline constexpr qint64 kLargestPicturePixels = kLargestPictureBytes / 4;

// The picture in `path`, or a null image. `largestBytes` bounds the decoded image at 4 bytes a
// pixel.
QImage LoadPicture(const QString& path, qint64 largestBytes = kLargestPictureBytes);

} // namespace zovex
