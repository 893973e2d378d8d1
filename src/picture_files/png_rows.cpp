#include "png_rows.h"

#include <QColorSpace>
#include <QIODevice>

#include <png.h>

#include <csetjmp>

namespace zovex {

namespace {

// What the libpng callbacks see. Kept apart from the function that calls setjmp, which must
// hold no object with a destructor: libpng reports errors by jumping out of it.
struct Job {
    QIODevice* device = nullptr;
    QImage* image = nullptr;
};

void readFromDevice(png_structp png, png_bytep data, png_size_t length)
{
    auto* job = static_cast<Job*>(png_get_io_ptr(png));
    qint64 done = 0;
    while (done < static_cast<qint64>(length)) {
        const qint64 n = job->device->read(reinterpret_cast<char*>(data) + done, static_cast<qint64>(length) - done);
        if (n <= 0)
            png_error(png, "the file ends early");
        done += n;
    }
}

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void onWarning(png_structp, png_const_charp) {}

bool allocate(QImage& image, png_uint_32 width, png_uint_32 height, bool alpha)
{
    image =
        QImage(static_cast<int>(width), static_cast<int>(height), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return !image.isNull();
}

// What Qt's reader takes from the file beside the pixels.
void describe(png_structp png, png_infop info, QImage& image)
{
    png_uint_32 xRes = 0;
    png_uint_32 yRes = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER) {
        image.setDotsPerMeterX(static_cast<int>(xRes));
        image.setDotsPerMeterY(static_cast<int>(yRes));
    }
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    double gamma = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength)) {
        image.setColorSpace(QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(profile), static_cast<qsizetype>(profileLength))));
    } else if (png_get_valid(png, info, PNG_INFO_sRGB)) {
        image.setColorSpace(QColorSpace::SRgb);
    } else if (png_get_gAMA(png, info, &gamma) && gamma > 0) {
        image.setColorSpace(QColorSpace(QColorSpace::Primaries::SRgb, static_cast<float>(1.0 / gamma)));
    }
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i) {
        const QString value =
            texts[i].compression == PNG_ITXT_COMPRESSION_NONE || texts[i].compression == PNG_ITXT_COMPRESSION_zTXt
                ? QString::fromUtf8(texts[i].text, static_cast<qsizetype>(texts[i].itxt_length))
                : QString::fromLatin1(texts[i].text, static_cast<qsizetype>(texts[i].text_length));
        image.setText(QString::fromLatin1(texts[i].key), value);
    }
}

bool readAll(Job& job)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &job, readFromDevice);
    png_read_info(png, info);
    const int type = png_get_color_type(png, info);
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png); // a palette, grey below 8 bits and a transparent colour
    png_set_scale_16(png);
    if ((type & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    png_set_bgr(png); // the bytes of a 32-bit pixel in memory: blue, green, red, alpha
    if (!alpha)
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(width) * 4 || !allocate(*job.image, width, height, alpha)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    // An interlaced file's passes each put their pixels into the rows read so far.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, job.image->scanLine(static_cast<int>(y)), nullptr);
    }
    png_read_end(png, info);
    describe(png, info, *job.image);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

QImage readPngRows(QIODevice& device)
{
    QImage image;
    Job job{&device, &image};
    if (!readAll(job))
        return {};
    return image;
}

} // namespace zovex
