// Header rules of Windows icons and cursors (ICO, CUR): the first image of the file, a PNG or
// a bitmap under the same rules as a BMP file's.
#include "picture_bitmap.h"

#include <cstring>

namespace zovex::picture {

namespace {

constexpr uchar kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// A bitmap icon: an info header, its palette, the colour rows and (below 32 bits) the
// transparency mask's rows, the height counting both.
MaybeClaim iconBitmapClaim(const Bytes& icon)
{
    const std::optional<DibHeader> dib = readDibHeader(icon, 0);
    if (!dib || dib->infoSize != 40)
        return std::nullopt;
    const qint64 w = dib->width;
    const qint64 stacked = dib->height;
    if (stacked <= 0 || stacked % 2 != 0 || !plausibleSize(w, stacked / 2))
        return std::nullopt;
    const qint64 h = stacked / 2;
    const qint64 colourRow = dibRowBytes(w, dib->bpp);
    // 32-bit icons carry their transparency in the alpha channel; many omit the mask.
    const qint64 maskRow = dib->bpp == 32 ? 0 : dibRowBytes(w, 1);
    if (40 + dib->paletteEntries * 4 + (colourRow + maskRow) * h > icon.size())
        return std::nullopt;
    return Claim{"ico", w, h};
}

} // namespace

bool icoSniff(const Bytes& b)
{
    const uchar* p = b.at(0, 6);
    return p && le16(p) == 0 && (le16(p + 2) == 1 || le16(p + 2) == 2) && le16(p + 4) != 0;
}

namespace {

// The first image of the file, which Qt reads.
std::optional<Bytes> firstIcon(const Bytes& b)
{
    const uchar* entry = b.at(6, 16);
    if (!entry)
        return std::nullopt;
    std::optional<Bytes> icon = b.window(le32(entry + 12), le32(entry + 8));
    if (!icon || !icon->has(0, 8))
        return std::nullopt;
    return icon;
}

bool isPng(const Bytes& icon)
{
    const uchar* start = icon.at(0, 8);
    return start && std::memcmp(start, kPngSignature, 8) == 0;
}

} // namespace

MaybeClaim icoClaim(const Bytes& b)
{
    const std::optional<Bytes> icon = firstIcon(b);
    if (!icon)
        return std::nullopt;
    if (!isPng(*icon))
        return iconBitmapClaim(*icon);
    MaybeClaim png = pngClaim(*icon);
    if (png)
        png->format = "ico";
    return png;
}

bool icoCheck(const Bytes& b)
{
    const std::optional<Bytes> icon = firstIcon(b);
    return icon && (!isPng(*icon) || pngCheck(*icon));
}

} // namespace zovex::picture
