// Any bytes as a picture file. The loader must never crash, never decode more than its limit,
// and whatever it gives must be no larger than what the file's header claimed.
#include "load_picture.h"
#include "png_rows.h"

#include <QBuffer>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

namespace {
// Small enough that a run stays far below libFuzzer's memory limit.
constexpr qint64 kFuzzLimitBytes = qint64(64) << 20;
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio.warning=false");
    static QGuiApplication app(*argc, *argv); // the image format plugins want an application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const zovex::PictureClaim claim = zovex::examinePicture(buffer);
    const QImage image = zovex::readPicture(buffer, kFuzzLimitBytes);
    // The row-by-row PNG reader takes 16-bit files only beyond Qt's limit, which inputs this
    // small rarely reach: it gets every PNG that passes the walks as well.
    if (claim.format == "png" && claim.width * claim.height * 4 <= kFuzzLimitBytes &&
        zovex::pictureDataHoldsClaim(buffer) && buffer.seek(0)) {
        const QImage rows = zovex::readPngRows(buffer);
        if (!rows.isNull() && (rows.width() > claim.width || rows.height() > claim.height))
            std::abort();
    }
    if (image.isNull())
        return 0;
    if (claim.format.isEmpty() || image.width() > claim.width || image.height() > claim.height ||
        qint64(image.width()) * image.height() * 4 > kFuzzLimitBytes)
        std::abort();
    return 0;
}
