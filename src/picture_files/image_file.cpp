#include "image_file.h"

#include "atomic_file.h"
#include "png_encoder.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <vector>

namespace zovex {

namespace {

// Rows converted at a time when the image is not already 32-bit RGB: a band, never a copy of
// the whole picture.
constexpr int kBandRows = 64;

// Appends `v` in little-endian byte order.
template <typename T>
void put(std::vector<uchar>& out, T v)
{
    for (size_t i = 0; i < sizeof(T); ++i)
        out.push_back(uchar(quint64(v) >> (8 * i)));
}

void put16(std::vector<uchar>& out, quint16 v) { put(out, v); }
void put32(std::vector<uchar>& out, quint32 v) { put(out, v); }

// The file and info headers of a 24-bit bottom-up Windows bitmap, field for field as Qt's
// own writer makes them (72 dpi when the image has no resolution).
std::vector<uchar> bmpHeader(const QImage& image, quint32 rowBytes)
{
    const quint32 pixels = rowBytes * quint32(image.height());
    std::vector<uchar> h;
    h.reserve(54);
    h.push_back('B');
    h.push_back('M');
    put32(h, 14 + 40 + pixels);
    put32(h, 0);
    put32(h, 14 + 40);
    put32(h, 40);
    put32(h, quint32(image.width()));
    put32(h, quint32(image.height()));
    put16(h, 1);
    put16(h, 24);
    put32(h, 0); // uncompressed
    put32(h, pixels);
    put32(h, quint32(image.dotsPerMeterX() ? image.dotsPerMeterX() : 2834));
    put32(h, quint32(image.dotsPerMeterY() ? image.dotsPerMeterY() : 2834));
    put32(h, 0);
    put32(h, 0);
    return h;
}

// Streams the bitmap row by row: a wallpaper of a gigabyte is written with one row of extra
// memory, not a second gigabyte.
bool writeBmp(const QImage& image, AtomicFile& file, FileError* why)
{
    const int w = image.width();
    const int h = image.height();
    const quint32 rowBytes = (quint32(w) * 3 + 3) & ~3u;
    if (qint64(rowBytes) * h + 54 > qint64(0xffffffff)) {
        if (why)
            *why = FileError::own(QStringLiteral("图片太大，无法存为位图文件"),
                                  "the picture is too large for a bitmap file");
        return false;
    }
    const std::vector<uchar> header = bmpHeader(image, rowBytes);
    if (!file.write(header.data(), qint64(header.size()), why))
        return false;
    std::vector<uchar> row(rowBytes, 0);
    const bool direct = image.format() == QImage::Format_RGB32;
    QImage band;
    int bandTop = h;
    for (int y = h - 1; y >= 0; --y) {
        const QRgb* src = nullptr;
        if (direct) {
            src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        } else {
            if (y < bandTop) {
                bandTop = std::max(0, y - kBandRows + 1);
                band = image.copy(0, bandTop, w, y - bandTop + 1).convertToFormat(QImage::Format_RGB32);
                if (band.isNull()) {
                    if (why)
                        *why = FileError::own(QStringLiteral("内存不足，无法转换图片"),
                                              "not enough memory to convert the picture");
                    return false;
                }
            }
            src = reinterpret_cast<const QRgb*>(band.constScanLine(y - bandTop));
        }
        uchar* d = row.data();
        for (int x = 0; x < w; ++x) {
            *d++ = uchar(qBlue(src[x]));
            *d++ = uchar(qGreen(src[x]));
            *d++ = uchar(qRed(src[x]));
        }
        if (!file.write(row.data(), rowBytes, why))
            return false;
    }
    return true;
}

bool writePng(const QImage& image, AtomicFile& file, FileError* why)
{
    // Compressed in memory first: the file then sees plain writes, and a refusal (full disk,
    // file too large) comes back from the file itself with its real reason.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString encodeError;
    if (!encodePng(image, buffer, &encodeError)) {
        if (why)
            *why = FileError::own(QStringLiteral("无法压缩图片（%1）").arg(encodeError), encodeError.toStdString());
        return false;
    }
    return file.write(bytes.constData(), bytes.size(), why);
}

} // namespace

bool writeImageAtomically(const QImage& image, const QString& path, ImageFormat format, FileError* why)
{
    if (image.isNull()) {
        if (why)
            *why = FileError::own(QStringLiteral("没有可保存的图片"), "no picture to write");
        return false;
    }
    AtomicFile file(path);
    if (!file.open(why))
        return false;
    const bool written = format == ImageFormat::Png ? writePng(image, file, why) : writeBmp(image, file, why);
    return written && file.commit(why);
}

} // namespace zovex
