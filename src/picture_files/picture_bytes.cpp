#include "picture_rules.h"

#include <QIODevice>

#include <algorithm>

namespace zovex::picture {

// The part of the file read last. Reads ahead a block at a time: the rules walk forward.
struct Bytes::Window {
    static constexpr qint64 kBlock = 256 * 1024;

    QIODevice& device;
    QByteArray bytes;
    qint64 start = 0;

    explicit Window(QIODevice& d) : device(d) {}

    const uchar* at(qint64 offset, qint64 n, qint64 fileSize)
    {
        if (offset < start || n > bytes.size() - (offset - start)) {
            const qint64 want = std::min(std::max(n, kBlock), fileSize - offset);
            bytes.resize(want);
            start = offset;
            if (!device.seek(offset) || !readFully(want)) {
                bytes.clear();
                return nullptr;
            }
        }
        return reinterpret_cast<const uchar*>(bytes.constData()) + (offset - start);
    }

    bool readFully(qint64 n)
    {
        qint64 done = 0;
        while (done < n) {
            const qint64 got = device.read(bytes.data() + done, n - done);
            if (got <= 0)
                return false;
            done += got;
        }
        return true;
    }
};

Bytes::Bytes(const uchar* data, qint64 size) : m_data(data), m_size(size) {}

Bytes::Bytes(QIODevice& device, qint64 size) : m_file(std::make_shared<Window>(device)), m_size(size) {}

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
