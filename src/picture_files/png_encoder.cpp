#include "png_encoder.h"

#include <QIODevice>

#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zovex {

namespace {

// Up-filtered rows turn the large solid areas of a pattern into long runs of zeros, which
// run-length matching at the fastest level finds at a fraction of the cost of a full search;
// in practice the files come out smaller than the default writer's as well.
constexpr int kCompressionLevel = 1;
constexpr int kStrategy = Z_RLE;
constexpr int kFilter = PNG_FILTER_UP;

// The distinct colours of a picture, in the order they first appear, up to 256.
class Palette {
public:
    // Index of `rgb`, adding it when new; -1 once a 257th colour would be needed.
    int indexOf(std::uint32_t rgb)
    {
        std::uint32_t h = (rgb * 2654435761u) >> (32 - kBits);
        while (true) {
            if (m_keys[h] == rgb)
                return m_values[h];
            if (m_keys[h] == kEmpty) {
                if (m_colours.size() == 256)
                    return -1;
                m_keys[h] = rgb;
                m_values[h] = static_cast<std::uint8_t>(m_colours.size());
                m_colours.push_back(rgb);
                return m_values[h];
            }
            h = (h + 1) & (kSlots - 1);
        }
    }
    const std::vector<std::uint32_t>& colours() const { return m_colours; }

private:
    static constexpr int kBits = 10;
    static constexpr std::uint32_t kSlots = 1u << kBits;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu; // never a 24-bit colour
    std::array<std::uint32_t, kSlots> m_keys = [] {
        std::array<std::uint32_t, kSlots> k{};
        k.fill(kEmpty);
        return k;
    }();
    std::array<std::uint8_t, kSlots> m_values{};
    std::vector<std::uint32_t> m_colours;
};

// Whether the eight pixels from `px` on all have colour `rgb`: one test per eight pixels of a run,
// which the compiler turns into a few vector instructions.
inline bool sameEight(const std::uint32_t* px, std::uint32_t rgb)
{
    std::uint32_t diff = 0;
    for (int i = 0; i < 8; ++i)
        diff |= (px[i] ^ rgb) & 0xFFFFFFu;
    return diff == 0;
}

// Maps one row to palette indices; false when the row holds a colour the palette lacks room for.
// Runs of one colour are the rule, so only a change of colour looks the palette up.
bool indexRow(const std::uint32_t* row, int width, Palette& palette, std::uint8_t* out)
{
    std::uint32_t last = row[0] & 0xFFFFFFu;
    int lastIndex = palette.indexOf(last);
    if (lastIndex < 0)
        return false;
    int x = 0;
    while (x < width) {
        if (x + 8 <= width && sameEight(row + x, last)) {
            std::memset(out + x, lastIndex, 8);
            x += 8;
            continue;
        }
        const std::uint32_t rgb = row[x] & 0xFFFFFFu;
        if (rgb != last) {
            lastIndex = palette.indexOf(rgb);
            if (lastIndex < 0)
                return false;
            last = rgb;
        }
        out[x++] = static_cast<std::uint8_t>(lastIndex);
    }
    return true;
}

// The palette alone, for the pass before the header: false past 256 colours.
bool collectRow(const std::uint32_t* row, int width, Palette& palette)
{
    std::uint32_t last = row[0] & 0xFFFFFFu;
    if (palette.indexOf(last) < 0)
        return false;
    int x = 1;
    while (x < width) {
        if (x + 8 <= width && sameEight(row + x, last)) {
            x += 8;
            continue;
        }
        const std::uint32_t rgb = row[x++] & 0xFFFFFFu;
        if (rgb != last) {
            if (palette.indexOf(rgb) < 0)
                return false;
            last = rgb;
        }
    }
    return true;
}

void rgbRow(const std::uint32_t* row, int width, std::uint8_t* out)
{
    for (int x = 0; x < width; ++x) {
        out[3 * x] = static_cast<std::uint8_t>(row[x] >> 16);
        out[3 * x + 1] = static_cast<std::uint8_t>(row[x] >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>(row[x]);
    }
}

const std::uint32_t* rowOf(const QImage& image, int y)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
}

// What the libpng callbacks see. Kept apart from the function that calls setjmp, which must
// hold no object with a destructor: libpng reports errors by jumping out of it.
struct Job {
    const QImage* image = nullptr;
    QIODevice* device = nullptr;
    Palette* palette = nullptr; // null: true colour
    std::uint8_t* row = nullptr;
    QString* deviceError = nullptr;
    char libpngError[200] = {};
};

void writeToDevice(png_structp png, png_bytep data, png_size_t length)
{
    auto* job = static_cast<Job*>(png_get_io_ptr(png));
    qint64 done = 0;
    while (done < static_cast<qint64>(length)) {
        const qint64 n =
            job->device->write(reinterpret_cast<const char*>(data) + done, static_cast<qint64>(length) - done);
        if (n <= 0) {
            *job->deviceError = job->device->errorString();
            if (job->deviceError->isEmpty())
                *job->deviceError = QStringLiteral("the file could not be written");
            png_error(png, "write failed");
        }
        done += n;
    }
}

void flushDevice(png_structp) {}

void onError(png_structp png, png_const_charp message)
{
    auto* job = static_cast<Job*>(png_get_error_ptr(png));
    std::snprintf(job->libpngError, sizeof job->libpngError, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Returns true when the whole file was written.
bool writeAll(Job& job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    const QImage& image = *job.image;
    const auto width = static_cast<png_uint_32>(image.width());
    const auto height = static_cast<png_uint_32>(image.height());
    png_set_write_fn(png, &job, writeToDevice, flushDevice);
    png_set_compression_level(png, kCompressionLevel);
    png_set_compression_strategy(png, kStrategy);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilter);
    if (job.palette) {
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color entries[256];
        const std::vector<std::uint32_t>& colours = job.palette->colours();
        for (std::size_t i = 0; i < colours.size(); ++i)
            entries[i] = {static_cast<png_byte>(colours[i] >> 16), static_cast<png_byte>(colours[i] >> 8),
                          static_cast<png_byte>(colours[i])};
        png_set_PLTE(png, info, entries, static_cast<int>(colours.size()));
    } else {
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
    }
    png_write_info(png, info);
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        if (job.palette)
            indexRow(rowOf(image, y), w, *job.palette, job.row); // every colour is known by now
        else
            rgbRow(rowOf(image, y), w, job.row);
        png_write_row(png, job.row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool encodePng(const QImage& source, QIODevice& device, QString* why)
{
    auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (source.isNull())
        return fail(QStringLiteral("the picture is empty"));
    const bool direct = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32;
    const QImage image = direct ? source : source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return fail(QStringLiteral("not enough memory to convert the picture"));

    // The palette must be complete before the header is written: one pass to collect it.
    Palette palette;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(image.width()) * 3);
    bool fits = true;
    for (int y = 0, h = image.height(), w = image.width(); y < h && fits; ++y)
        fits = collectRow(rowOf(image, y), w, palette);

    QString deviceError;
    Job job;
    job.image = &image;
    job.device = &device;
    job.palette = fits ? &palette : nullptr;
    job.row = row.data();
    job.deviceError = &deviceError;
    if (writeAll(job))
        return true;
    if (!deviceError.isEmpty())
        return fail(deviceError);
    return fail(job.libpngError[0] ? QString::fromLocal8Bit(job.libpngError)
                                   : QStringLiteral("not enough memory to encode the picture"));
}

} // namespace zovex
