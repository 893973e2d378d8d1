#include "image_file.h"

#include "png_encoder.h"

#include <QBuffer>
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
    // Encode in memory first: then the file sees one plain write, and a refusal (full disk, file
    // too large) comes back from the file itself with its real reason.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QImage rgb = image.format() == QImage::Format_RGB32 ? image
                                                                  : image.convertToFormat(QImage::Format_RGB32);
        if (format == ImageFormat::Png) {
            QString encodeError;
            if (!encodePng(rgb, buffer, &encodeError))
                return fail(encodeError);
        } else {
            QImageWriter writer(&buffer, "bmp");
            if (rgb.isNull() || !writer.write(rgb))
                return fail(writer.errorString());
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // A short write says nothing; writing the rest again makes the file report why. commit()
    // does not report a failed flush of the last buffered bytes, so flush and check first.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace zovex
