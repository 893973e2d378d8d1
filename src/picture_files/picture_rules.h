// What every format's header rules share: the file's bytes, read at offsets, and the walk's
// budget. Internal to the picture reader.
//
// Each format has two walks. The header walk (claim) reads the picture's size from the
// structures before the image data and refuses a file that cannot hold the picture it claims;
// it never steps into the image data, so its cost is bounded whatever the file's size. The
// data walk (check) follows the image data to its end as the decoder will read it and refuses
// what the decoder must not be given (pixels left uncoded, runs past the picture, scans that
// would pass over the picture thousands of times); its cost grows with the file, at memory
// speed, far below decoding, so it runs as the first step of decoding. Files come from
// anywhere, so neither walk costs more than a real picture would: they count the structures
// they pass (no real picture has thousands of comments or empty chunks) and the bytes they
// examine outside the image data.
#pragma once

#include "load_picture.h"

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

#include <memory>
#include <optional>

namespace zovex::picture {

// The file's bytes, read at offsets: straight from memory when the file is in memory, else
// through a window of the file. The window reads a small block where a walk jumps far and
// doubles the block while the walk finds structures close together in it, so that a walk over
// thousands of small structures costs a few reads, and a walk that jumps over large ones reads
// little more than a small block for each. Every read that would pass the end fails, which
// is how a file cut short shows up in the rules.
class Bytes {
public:
    Bytes(const uchar* data, qint64 size);
    // The device must stay open and unread by others while the rules run.
    Bytes(QIODevice& device, qint64 size);
    // An open file descriptor, read with pread (its offset is left as it is).
    Bytes(int fd, qint64 size);
    qint64 size() const { return m_size; }
    bool has(qint64 offset, qint64 n) const
    {
        return offset >= 0 && n >= 0 && offset <= m_size && n <= m_size - offset;
    }
    // The n bytes at offset, or null when they pass the end (or the device fails). Valid until
    // the next call on any Bytes of the same file.
    const uchar* at(qint64 offset, qint64 n) const;
    // Up to n bytes at offset (fewer where the file ends), as at().
    QByteArrayView view(qint64 offset, qint64 n) const;
    // The n bytes at offset as a file of their own (an icon inside an ICO).
    std::optional<Bytes> window(qint64 offset, qint64 n) const;

    // The largest n that at() and view() give at once.
    static constexpr qint64 kLargestRead = qint64(1) << 20;

private:
    struct Window;
    Bytes(std::shared_ptr<Window> file, const uchar* data, qint64 base, qint64 size)
        : m_file(std::move(file)), m_data(data), m_base(base), m_size(size)
    {
    }

    std::shared_ptr<Window> m_file; // null when the bytes are in memory
    const uchar* m_data = nullptr;
    qint64 m_base = 0;
    qint64 m_size = 0;
};

// What a walk may still spend: structures passed and bytes examined outside the image data.
class Budget {
public:
    // Far above what real pictures need: a few dozen segments, chunks or extensions, some
    // hundred kilobytes of tables and comments.
    static constexpr qint64 kStructures = 4096;
    static constexpr qint64 kExaminedBytes = qint64(1) << 20;

    // Spends one structure of `bytes` examined bytes; false once the budget is gone.
    bool spend(qint64 bytes = 0)
    {
        m_structures -= 1;
        m_bytes -= bytes;
        return m_structures >= 0 && m_bytes >= 0;
    }

    // Examines `bytes` more within a structure already paid for.
    bool examine(qint64 bytes)
    {
        m_bytes -= bytes;
        return m_bytes >= 0;
    }

private:
    qint64 m_structures = kStructures;
    qint64 m_bytes = kExaminedBytes;
};

struct Claim {
    const char* format = nullptr; // the Qt image format that decodes it
    qint64 width = 0;
    qint64 height = 0;
};

using MaybeClaim = std::optional<Claim>;

// A data walk for formats whose header says all there is to know.
inline bool noDataWalk(const Bytes&) { return true; }

inline quint32 le16(const uchar* p) { return p[0] | (p[1] << 8); }
inline quint32 le32(const uchar* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24); }
inline quint32 be16(const uchar* p) { return (p[0] << 8) | p[1]; }
inline quint32 be32(const uchar* p) { return (quint32(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

inline bool plausibleSize(qint64 w, qint64 h)
{
    return w > 0 && h > 0 && w <= kLargestPicturePixels && h <= kLargestPicturePixels && w * h <= kLargestPicturePixels;
}

// Each format: whether the file starts like one (sniff), what its header claims (claim, the
// header walk), and whether its image data holds that claim (check, the data walk; called only
// on a file whose header walk gave a claim).
bool bmpSniff(const Bytes& b);
MaybeClaim bmpClaim(const Bytes& b);
bool bmpCheck(const Bytes& b);
bool pngSniff(const Bytes& b);
MaybeClaim pngClaim(const Bytes& b);
bool pngCheck(const Bytes& b);
bool jpegSniff(const Bytes& b);
MaybeClaim jpegClaim(const Bytes& b);
bool jpegCheck(const Bytes& b);
bool gifSniff(const Bytes& b);
MaybeClaim gifClaim(const Bytes& b);
bool gifCheck(const Bytes& b);
bool icoSniff(const Bytes& b);
MaybeClaim icoClaim(const Bytes& b);
bool icoCheck(const Bytes& b);
bool pnmSniff(const Bytes& b);
MaybeClaim pnmClaim(const Bytes& b);
bool xpmSniff(const Bytes& b);
MaybeClaim xpmClaim(const Bytes& b);
bool xbmSniff(const Bytes& b);
MaybeClaim xbmClaim(const Bytes& b);
bool xbmCheck(const Bytes& b);

// The one place that knows every format: the claim of the first format the file starts like,
// and that format's data walk.
MaybeClaim claimOf(const Bytes& b);
bool dataHoldsClaim(const Bytes& b);

} // namespace zovex::picture
