// Reading picture files, as LoadPicture does for every window that opens a picture: BMP, JPEG,
// GIF, PNG, ICO/CUR, PBM/PGM/PPM, XBM and XPM, recognised by content, whatever the file's name
// ends in.
//
// Contract: a file that is not a picture, cannot be read, ends early or is larger than the
// limit gives a null image; nothing is thrown and nothing is shown. Files come from anywhere,
// so the picture's size is read from its header by our own small parsers (never by decoding),
// and a file is refused before any pixel is decoded when
//   - its header claims more pixels than the limit allows,
//   - its data is shorter than the claimed picture needs (a truncated file, or a few hundred
//     bytes that claim a gigabyte), or
//   - decoding it would cost more than a picture of the largest size does (a JPEG whose
//     progressive scans would pass over its blocks hundreds of times).
// A picture within the limit whose file is whole is never refused for its size: the largest,
// 16384 x 16384, loads in every format above (JPEG: coded with Huffman tables, as every
// camera and editor writes it).
#pragma once

#include <QImage>
#include <QString>

class QIODevice;

namespace zovex {

// The largest picture the program reads: 1 GiB of decoded 32-bit pixels, 268,435,456 pixels
// (16384 x 16384). Qt's stock limit (256 MiB, about 8200 x 8200) would refuse a large wallpaper
// this program wrote itself; no window may make a canvas larger than this, so that every
// picture the program writes can be read back. Above it a picture is refused before anything
// is decoded.
inline constexpr qint64 kLargestPictureBytes = qint64(1) << 30;
inline constexpr qint64 kLargestPicturePixels = kLargestPictureBytes / 4;

// The picture in `path`, or a null image. `largestBytes` bounds the decoded image at 4 bytes a
// pixel. Only regular files are read (a pipe or a device never blocks the window).
QImage LoadPicture(const QString& path, qint64 largestBytes = kLargestPictureBytes);

// The same checks and decoding for an open, seekable device holding a whole picture file
// (a buffer in memory, for example). The device's position is left anywhere.
QImage readPicture(QIODevice& device, qint64 largestBytes = kLargestPictureBytes);

// What a picture file's header claims, read without decoding any pixel.
struct PictureClaim {
    QByteArray format; // the Qt image format that decodes it ("bmp", "jpeg", ...)
    qint64 width = 0;
    qint64 height = 0;
};

// The claim of the file on `device`, or a claim with an empty format when the file is not a
// picture we read, is damaged, ends early, or is too short to hold the picture it claims. This
// is the header walk: it reads only the structures before the image data, so it answers in a
// bounded time whatever the file's size (a few milliseconds for the worst files).
PictureClaim examinePicture(QIODevice& device);

// Whether the image data of a file that examinePicture accepted holds what its header claims,
// as the decoder will read it: every pixel of a run-length bitmap coded and no run past the
// picture, a JPEG's scans whole and not passing over the picture too often, PNG and GIF data
// whole and not split into thousands of tiny pieces. This walks the image data: its cost grows
// with the file (at memory speed, far below decoding), so it is the first step of decoding,
// and readPicture takes it before any pixel is decoded.
bool pictureDataHoldsClaim(QIODevice& device);

} // namespace zovex
