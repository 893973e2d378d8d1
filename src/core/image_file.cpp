#include "image_file.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace zovex {

bool writeImageAtomically(const QImage& image, const QString& path, ImageFormat format, QString* why)
{
    auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("a folder of that name exists"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    QImageWriter writer(&file, format == ImageFormat::Png ? "png" : "bmp");
    const QImage rgb = image.format() == QImage::Format_RGB32 ? image
                                                              : image.convertToFormat(QImage::Format_RGB32);
    if (!writer.write(rgb)) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    // commit() does not report a failed flush of the last buffered bytes (a full disk would
    // leave a short file in place of the old one), so flush and check first.
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace zovex
