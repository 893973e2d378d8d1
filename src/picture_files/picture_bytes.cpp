#include "picture_rules.h"

#include <QIODevice>

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace zovex::picture {

// The part of the file read last. A walk that found many structures in it and goes on close
// behind it doubles the block it reads next; any other reads a small block again. So the bytes
// read stay near a small block per structure, whatever the spacing of the structures.
struct Bytes::Window {
    static constexpr qint64 kSmallBlock = 4 * 1024;
    static constexpr qint64 kLargeBlock = 256 * 1024;
    // A block earns a larger one when it held a structure every this many bytes.
    static constexpr qint64 kDenseSpacing = 512;

    QIODevice* device = nullptr;
    int fd = -1;
    QByteArray bytes;
    qint64 start = 0;
    qint64 block = kSmallBlock;
    qint64 hits = 0; // reads served from the block since it was read

    explicit Window(QIODevice& d) : device(&d) {}
    explicit Window(int f) : fd(f) {}

    const uchar* at(qint64 offset, qint64 n, qint64 fileSize)
    {
        if (offset < start || n > bytes.size() - (offset - start)) {
            const qint64 end = start + bytes.size();
            const bool closeBehind = !bytes.isEmpty() && offset >= start && offset - end < block;
            const bool dense = hits * kDenseSpacing >= bytes.size();
            block = closeBehind && dense ? std::min(block * 2, kLargeBlock) : kSmallBlock;
            hits = 0;
            const qint64 want = std::min(std::max(n, block), fileSize - offset);
            bytes.resize(want);
            start = offset;
            if (!readAt(offset, want)) {
                bytes.clear();
                return nullptr;
            }
        }
        ++hits;
        return reinterpret_cast<const uchar*>(bytes.constData()) + (offset - start);
    }

    bool readAt(qint64 offset, qint64 n)
    {
        if (device && !device->seek(offset))
            return false;
        qint64 done = 0;
        while (done < n) {
            qint64 got = 0;
            if (device) {
                got = device->read(bytes.data() + done, n - done);
            } else {
                got = ::pread(fd, bytes.data() + done, size_t(n - done), off_t(offset + done));
                if (got < 0 && errno == EINTR)
                    continue;
            }
            if (got <= 0)
                return false;
            done += got;
        }
        return true;
    }
};

Bytes::Bytes(const uchar* data, qint64 size) : m_data(data), m_size(size) {}

Bytes::Bytes(QIODevice& device, qint64 size) : m_file(std::make_shared<Window>(device)), m_size(size) {}

Bytes::Bytes(int fd, qint64 size) : m_file(std::make_shared<Window>(fd)), m_size(size) {}

const uchar* Bytes::at(qint64 offset, qint64 n) const
{
    if (!has(offset, n) || n > kLargestRead)
        return nullptr;
    if (!m_file)
        return m_data + offset;
    return m_file->at(m_base + offset, n, m_base + m_size);
}

QByteArrayView Bytes::view(qint64 offset, qint64 n) const
{
    if (offset < 0 || offset > m_size)
        return {};
    n = std::clamp<qint64>(n, 0, std::min(m_size - offset, kLargestRead));
    const uchar* p = at(offset, n);
    return p ? QByteArrayView(p, n) : QByteArrayView();
}

std::optional<Bytes> Bytes::window(qint64 offset, qint64 n) const
{
    if (!has(offset, n))
        return std::nullopt;
    return Bytes(m_file, m_data ? m_data + offset : nullptr, m_base + offset, n);
}

} // namespace zovex::picture
