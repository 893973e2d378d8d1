#include "load_picture.h"

#include "picture_rules.h"
#include "png_rows.h"
#include "regular_file.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <utility>

#include <unistd.h>

namespace zovex {

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

// Qt's allocation limit is a process-wide setting; it holds ours only while we read.
class AllocationLimit {
public:
    explicit AllocationLimit(qint64 bytes) : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(static_cast<int>((bytes + kMiB - 1) / kMiB));
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    int m_previous;
};

// Runs `rules` on the file's bytes: a buffer's where they are, a file's read at offsets from
// its descriptor (past the device's own buffering), any other device's through a window.
template <typename Rules>
auto onBytes(QIODevice& device, Rules rules) -> decltype(rules(std::declval<const picture::Bytes&>()))
{
    if (!device.isOpen() || device.isSequential())
        return {};
    if (auto* buffer = qobject_cast<QBuffer*>(&device)) {
        const QByteArray& data = buffer->data();
        return rules(picture::Bytes(reinterpret_cast<const uchar*>(data.constData()), data.size()));
    }
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->handle() >= 0)
        return rules(picture::Bytes(file->handle(), file->size()));
    return rules(picture::Bytes(device, device.size()));
}

// Whether the file is a PNG of 16 bits a channel that Qt's reader, decoding it at 8 bytes a
// pixel, refuses for the limit, though it is within the limit at 4.
bool widePng(QIODevice& device, const PictureClaim& claim, qint64 largestBytes)
{
    if (claim.format != "png" || claim.width * claim.height * 8 <= largestBytes || !device.seek(0))
        return false;
    const QByteArray head = device.read(8 + 8 + 13);
    return head.size() == 8 + 8 + 13 && head[8 + 8 + 8] == 16;
}

} // namespace

PictureClaim examinePicture(QIODevice& device)
{
    return onBytes(device, [](const picture::Bytes& bytes) -> PictureClaim {
        const picture::MaybeClaim c = picture::claimOf(bytes);
        if (!c)
            return {};
        return {QByteArray(c->format), c->width, c->height};
    });
}

bool pictureDataHoldsClaim(QIODevice& device)
{
    return onBytes(device, [](const picture::Bytes& bytes) { return picture::dataHoldsClaim(bytes); });
}

QImage readPicture(QIODevice& device, qint64 largestBytes)
{
    const PictureClaim claim = examinePicture(device);
    if (claim.format.isEmpty() || claim.width * claim.height * 4 > largestBytes)
        return {};
    if (!pictureDataHoldsClaim(device) || !device.seek(0))
        return {};
    QImage image;
    {
        QImageReader reader(&device, claim.format);
        // The format was recognised above: no other reader gets a chance at the bytes.
        reader.setAutoDetectImageFormat(false);
        const AllocationLimit limit(largestBytes);
        image = reader.read();
    }
    if (image.isNull() && widePng(device, claim, largestBytes) && device.seek(0))
        image = readPngRows(device);
    // A decoder that finds less than its header promised says so only by the size it gives.
    if (image.isNull() || image.width() > claim.width || image.height() > claim.height)
        return {};
    return image;
}

QImage LoadPicture(const QString& path, qint64 largestBytes)
{
    if (path.isEmpty())
        return {};
    const RegularFile opened = openRegularFile(QFile::encodeName(path));
    if (opened.fd < 0)
        return {};
    QFile file;
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        return {};
    }
    return readPicture(file, largestBytes);
}

} // namespace zovex
