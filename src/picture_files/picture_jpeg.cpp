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
    for (;;) {
        const QByteArrayView v = w.bytes.view(w.pos, kMaxStrayBytes);
        if (v.isEmpty() || w.pos - start > kMaxStrayBytes)
            return -1;
        const void* ff = std::memchr(v.data(), 0xff, size_t(v.size()));
        if (!ff) {
            w.pos += v.size();
            continue;
        }
        w.pos += static_cast<const char*>(ff) - v.data();
        break;
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

// Steps over a scan's entropy-coded data up to the next marker (stuffed zeros and restart
// markers belong to the data). False when the data runs into the end of the file.
bool skipEntropyData(Walk& w)
{
    const qint64 start = w.pos;
    for (;;) {
        const QByteArrayView v = w.bytes.view(w.pos, Bytes::kLargestRead);
        if (v.size() < 2)
            return false;
        const char* p = v.data();
        const qsizetype m = v.size();
        for (qsizetype i = 0; i + 1 < m;) {
            const void* ff = std::memchr(p + i, 0xff, size_t(m - 1 - i));
            if (!ff)
                break;
            i = static_cast<const char*>(ff) - p;
            const auto next = static_cast<uchar>(p[i + 1]);
            if (next == 0x00 || next == 0xff || (next >= 0xd0 && next <= 0xd7)) {
                i += next == 0xff ? 1 : 2; // a fill byte may come before a marker
                continue;
            }
            w.pos += i;
            w.entropyBytes += w.pos - start;
            return true;
        }
        // Step on, keeping a last 0xff that may start a marker.
        w.pos += std::max<qsizetype>(1, p[m - 1] == '\xff' ? m - 1 : m);
    }
}

// One marker segment after its code: false when the file is refused.
bool readSegment(Walk& w, uchar code)
{
    const uchar* lenBytes = w.bytes.at(w.pos, 2);
    if (!lenBytes || !w.budget.spend(4))
        return false;
    const qint64 len = be16(lenBytes);
    if (len < 2 || !w.bytes.has(w.pos, len))
        return false;
    const QByteArrayView seg = w.bytes.view(w.pos + 2, len - 2);
    if (seg.size() != len - 2)
        return false;
    w.pos += len;
    const bool frame = code >= 0xc0 && code <= 0xcf && code != 0xc4 && code != 0xc8 && code != 0xcc;
    if (frame)
        return readFrame(w, code, seg);
    if (code != kStartOfScan) // tables, comments, application data
        return true;
    return readScan(w, seg) && skipEntropyData(w);
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
    for (;;) {
        const int code = nextMarker(w);
        if (code < 0 || code == 0xd8 || code == 0x00)
            return std::nullopt;
        if (code == kEndOfImage)
            break;
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd7))
            continue; // markers without a segment
        if (!readSegment(w, uchar(code)))
            return std::nullopt;
    }
    // Every block costs at least one bit in the first (or only) scan.
    if (w.frame.width == 0 || w.scans == 0 || w.entropyBytes * 8 < w.frame.blocks())
        return std::nullopt;
    return Claim{"jpeg", w.frame.width, w.frame.height};
}

} // namespace zovex::picture
