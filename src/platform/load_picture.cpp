#include "load_picture.h"

#include <QImageReader>

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

} // namespace

QImage LoadPicture(const QString& path, qint64 largestBytes)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    // The header's size is known before any pixel is decoded: a huge (or lying) header costs
    // nothing.
    const QSize size = reader.size();
    if (size.isValid() && static_cast<qint64>(size.width()) * size.height() * 4 > largestBytes)
        return {};
    const AllocationLimit limit(largestBytes);
    QImage image = reader.read();
    if (!image.isNull() && static_cast<qint64>(image.width()) * image.height() * 4 > largestBytes)
        return {};
    return image;
}

} // namespace zovex
