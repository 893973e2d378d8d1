// Header rules of JPEG files: the frame's size, and what decoding its scans would cost.
#include "picture_rules.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zovex::picture {

namespace {

// Passing over a JPEG's blocks once per progressive scan is the decoder's work. Standard scan
// scripts pass over a 16384 x 16384 picture's blocks about 30 to 60 million times in all; a
// file that asks for more than twice that is refused instead of freezing the window.
constexpr qint64 kMaxBlockVisits = qint64(1) << 27;
// Real scan scripts stay far below this many scans, and real files below this many stray or
// fill bytes before a marker.
constexpr qint64 kMaxScans = 10000;
constexpr qint64 kMaxStrayBytes = 64 * 1024;
constexpr qint64 kStrayBlock = 4 * 1024;
// A progressive JPEG keeps every coefficient while it decodes: 128 bytes a block. Bounded at
// what a 16384 x 16384 picture with three full-resolution components needs.
constexpr qint64 kMaxCoefficientBytes = kLargestPictureBytes + kLargestPictureBytes / 2;

constexpr uchar kEndOfImage = 0xd9;
constexpr uchar kStartOfScan = 0xda;

struct Component {
    int id = 0;
    int h = 1;
    int v = 1;
};

struct Frame {
    qint64 width = 0;
    qint64 height = 0;
    std::array<Component, 4> components{};
    int count = 0;
    int hMax = 1;
    int vMax = 1;

    qint64 blocksOf(const Component& c) const
    {
        const qint64 cw = (width * c.h + hMax - 1) / hMax;
        const qint64 ch = (height * c.v + vMax - 1) / vMax;
        return ((cw + 7) / 8) * ((ch + 7) / 8);
    }
    qint64 blocks() const
    {
        qint64 n = 0;
        for (int i = 0; i < count; ++i)
            n += blocksOf(components[i]);
        return n;
    }
};

struct Walk {
    explicit Walk(const Bytes& b) : bytes(b) {}
    const Bytes& bytes;
    qint64 pos = 2;
    Budget budget;
    Frame frame;
    qint64 scans = 0;
    qint64 visits = 0;
    qint64 entropyBytes = 0;
};

// The next marker's code: 0xff, any fill bytes, then the code. Stray bytes before it are
// skipped, as the decoder does. -1 when the file ends first or strays too far.
int nextMarker(Walk& w)
{
    const qint64 start = w.pos;
    const uchar* here = w.bytes.at(w.pos, 1);
    if (!here)
        return -1;
    // The marker is nearly always right here; stray bytes are looked through a few kilobytes at
    // a time.
    for (bool found = *here == 0xff; !found;) {
        const QByteArrayView v = w.bytes.view(w.pos, kStrayBlock);
        if (v.isEmpty() || w.pos - start > kMaxStrayBytes)
            return -1;
        const void* ff = std::memchr(v.data(), 0xff, size_t(v.size()));
        found = ff != nullptr;
        w.pos += found ? static_cast<const char*>(ff) - v.data() : v.size();
    }
    const uchar* code = nullptr;
    do {
        ++w.pos;
        code = w.bytes.at(w.pos, 1);
    } while (code && *code == 0xff && w.pos - start <= kMaxStrayBytes);
    if (!code || *code == 0xff || !w.budget.examine(w.pos - start))
        return -1;
    ++w.pos;
    return *code;
}

// A frame header (SOFn): the picture's size and its components.
bool readFrame(Walk& w, uchar code, QByteArrayView seg)
{
    // Baseline, extended, progressive; Huffman or arithmetic. Lossless and hierarchical files
    // are not decoded by Qt's reader.
    if (code != 0xc0 && code != 0xc1 && code != 0xc2 && code != 0xc9 && code != 0xca)
        return false;
    const auto* s = reinterpret_cast<const uchar*>(seg.data());
    Frame& f = w.frame;
    if (f.width != 0 || seg.size() < 6)
        return false;
    f.height = be16(s + 1);
    f.width = be16(s + 3);
    f.count = s[5];
    if (f.count < 1 || f.count > 4 || seg.size() < 6 + 3 * f.count)
        return false;
    for (int i = 0; i < f.count; ++i) {
        Component& c = f.components[size_t(i)];
        c.id = s[6 + 3 * i];
        c.h = s[7 + 3 * i] >> 4;
        c.v = s[7 + 3 * i] & 15;
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4)
            return false;
        f.hMax = std::max(f.hMax, c.h);
        f.vMax = std::max(f.vMax, c.v);
    }
    // A height of 0 is given later in a DNL segment: the size is not known up front.
    if (!plausibleSize(f.width, f.height))
        return false;
    const bool progressive = code == 0xc2 || code == 0xca;
    return !progressive || f.blocks() * 128 <= kMaxCoefficientBytes;
}

// A scan header (SOS): each component it names is one more pass over that component's blocks.
bool readScan(Walk& w, QByteArrayView seg)
{
    const auto* s = reinterpret_cast<const uchar*>(seg.data());
    const Frame& f = w.frame;
    if (f.width == 0 || seg.isEmpty())
        return false;
    const int n = s[0];
    if (n < 1 || n > 4 || seg.size() < 1 + 2 * n)
        return false;
    for (int i = 0; i < n; ++i) {
        const auto end = f.components.begin() + f.count;
        const auto c =
            std::find_if(f.components.begin(), end, [&](const Component& k) { return k.id == s[1 + 2 * i]; });
        if (c == end)
            return false;
        w.visits += f.blocksOf(*c);
    }
    return ++w.scans <= kMaxScans && w.visits <= kMaxBlockVisits;
}

// Where a marker starts in p[0, n): a 0xff followed by a code that is neither a stuffed zero,
// a fill byte nor a restart marker (those belong to the data). n when there is none; the last
// byte is only looked at as the code after p[n - 2]. Sixteen bytes at a time: coded data may
// be dense with stuffed 0xff 0x00 pairs.
qsizetype markerIn(const uchar* p, qsizetype n)
{
    using Lanes = uchar __attribute__((vector_size(16)));
    const auto isMarker = [](uchar a, uchar next) {
        return a == 0xff && next != 0x00 && next != 0xff && (next & 0xf8) != 0xd0;
    };
    qsizetype i = 0;
    for (; i + 17 <= n; i += 16) {
        Lanes a;
        Lanes next;
        std::memcpy(&a, p + i, 16);
        std::memcpy(&next, p + i + 1, 16);
        const Lanes restart = (next & 0xf8) == 0xd0;
        const Lanes hit = (a == 0xff) & (next != 0x00) & (next != 0xff) & ~restart;
        quint64 half[2];
        std::memcpy(half, &hit, 16);
        if ((half[0] | half[1]) != 0)
            break;
    }
    for (; i + 1 < n; ++i) {
        if (isMarker(p[i], p[i + 1]))
            return i;
    }
    return n;
}

// Steps over a scan's entropy-coded data up to the next marker. False when the data runs into
// the end of the file.
bool skipEntropyData(Walk& w)
{
    const qint64 start = w.pos;
    for (;;) {
        const QByteArrayView v = w.bytes.view(w.pos, Bytes::kLargestRead);
        if (v.size() < 2)
            return false;
        const qsizetype at = markerIn(reinterpret_cast<const uchar*>(v.data()), v.size());
        if (at < v.size()) {
            w.pos += at;
            w.entropyBytes += w.pos - start;
            return true;
        }
        // Step on, keeping the last byte: it may be the 0xff of a marker.
        w.pos += v.size() - 1;
    }
}

enum class Read { Headers, Whole };

// One marker segment after its code: false when the file is refused. Only the frame's and the
// scans' segments are looked into; the others are stepped over.
bool readSegment(Walk& w, uchar code, Read read)
{
    const uchar* lenBytes = w.bytes.at(w.pos, 2);
    if (!lenBytes || !w.budget.spend(4))
        return false;
    const qint64 len = be16(lenBytes);
    if (len < 2 || !w.bytes.has(w.pos, len))
        return false;
    const qint64 body = w.pos + 2;
    w.pos += len;
    const bool frame = code >= 0xc0 && code <= 0xcf && code != 0xc4 && code != 0xc8 && code != 0xcc;
    if (!frame && code != kStartOfScan) // tables, comments, application data
        return true;
    const QByteArrayView seg = w.bytes.view(body, len - 2);
    if (seg.size() != len - 2)
        return false;
    if (frame)
        return readFrame(w, code, seg);
    if (!readScan(w, seg))
        return false;
    return read == Read::Headers || skipEntropyData(w);
}

// Walks the markers from the start of the image: up to the first scan's header (its coded
// data is the first image data), or to the end of the image.
bool walk(Walk& w, Read read)
{
    for (;;) {
        const int code = nextMarker(w);
        if (code < 0 || code == 0xd8 || code == 0x00)
            return false;
        if (code == kEndOfImage)
            return read == Read::Whole;
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue; // markers without a segment
        if (!readSegment(w, uchar(code), read))
            return false;
        if (read == Read::Headers && w.scans > 0)
            return true;
    }
}

} // namespace

bool jpegSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 3);
    return p && p[0] == 0xff && p[1] == 0xd8 && p[2] == 0xff;
}

MaybeClaim jpegClaim(const Bytes& b)
{
    Walk w(b);
    // Every block costs at least one bit of coded data, and the data lies after the first
    // scan's header.
    if (!walk(w, Read::Headers) || (b.size() - w.pos) * 8 < w.frame.blocks())
        return std::nullopt;
    return Claim{"jpeg", w.frame.width, w.frame.height};
}

bool jpegCheck(const Bytes& b)
{
    Walk w(b);
    // Every block costs at least one bit in the first (or only) scan; the decoder passes over
    // the blocks once for each component of each scan.
    return walk(w, Read::Whole) && w.frame.width != 0 && w.scans > 0 && w.entropyBytes * 8 >= w.frame.blocks();
}

} // namespace zovex::picture
