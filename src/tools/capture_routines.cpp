#include "capture_routines.h"

#include "canvas.h"

#include "clipboard.h"
#include "int_conv.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QRegion>

#include <algorithm>
#include <array>
#include <utility>

namespace zovex {

namespace {

// A block of screen pixels [x0, x1) x [y0, y1) in image coordinates, clipped to the image.
// Computed in 64 bits, as screen rectangles may hold any 32-bit values.
QRect clippedBlock(const ScreenImage& screen, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1)
{
    const std::int64_t ox = screen.origin.x();
    const std::int64_t oy = screen.origin.y();
    const std::int64_t w = screen.pixels.width();
    const std::int64_t h = screen.pixels.height();
    const std::int64_t l = std::clamp<std::int64_t>(x0 - ox, 0, w);
    const std::int64_t r = std::clamp<std::int64_t>(x1 - ox, 0, w);
    const std::int64_t t = std::clamp<std::int64_t>(y0 - oy, 0, h);
    const std::int64_t b = std::clamp<std::int64_t>(y1 - oy, 0, h);
    if (l >= r || t >= b)
        return {};
    return QRect(static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l), static_cast<int>(b - t));
}

// The four one-pixel strips of a normalised, non-empty rectangle, in screen pixels:
// top, left, right, bottom.
std::array<std::array<std::int64_t, 4>, 4> strips(const ScreenRect& r)
{
    const std::int64_t l = r.left, t = r.top, rt = r.right, b = r.bottom;
    return {{{l, t, rt, t + 1}, {l, t, l + 1, b}, {rt - 1, t, rt, b}, {l, b - 1, rt, b}}};
}

void invertBlock(QImage& image, const QRect& block)
{
    for (int y = block.top(); y <= block.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = block.left(); x <= block.right(); ++x)
            row[x] ^= 0x00FFFFFFu;
    }
}

ScreenRect normalised(ScreenRect r)
{
    NormalizeRect(r);
    return r;
}

QFont unsmoothed(QFont font)
{
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

void SwapLong(std::int32_t& a, std::int32_t& b) { std::swap(a, b); }

void NormalizeRect(ScreenRect& rect)
{
    if (rect.left > rect.right)
        SwapLong(rect.left, rect.right);
    if (rect.top > rect.bottom)
        SwapLong(rect.top, rect.bottom);
}

QFont selectionLabelFont() { return unsmoothed(QFontDatabase::systemFont(QFontDatabase::GeneralFont)); }

SelectionLabel selectionLabel(const ScreenRect& rect, const QFont& font)
{
    SelectionLabel label;
    label.text = QStringLiteral("%1x%2").arg(rect.width()).arg(rect.height());
    const QFontMetrics metrics(unsmoothed(font));
    const int cx = metrics.horizontalAdvance(label.text);
    const int cy = metrics.height();
    const double x = (static_cast<double>(std::int64_t{rect.left} + rect.right) - cx) / 2.0;
    const double y = (static_cast<double>(std::int64_t{rect.top} + rect.bottom) - cy) / 2.0;
    label.box = QRect(static_cast<int>(roundHalfEven(x)), static_cast<int>(roundHalfEven(y)), cx, cy);
    return label;
}

void DrawSelectionFrame(ScreenImage& screen, const ScreenRect& rectIn, const QFont& fontIn)
{
    const ScreenRect rect = normalised(rectIn);
    if (rect.isEmpty() || screen.pixels.isNull())
        return;
    QImage& image = screen.pixels;
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    for (const auto& s : strips(rect))
        invertBlock(image, clippedBlock(screen, s[0], s[1], s[2], s[3]));

    const QFont font = unsmoothed(fontIn);
    const SelectionLabel label = selectionLabel(rect, font);
    // The label goes through a bitmap of its own size: white glyphs on black, then every
    // white pixel inverts the screen pixel under it. No bitmap, no label; the frame stays.
    QImage bitmap(label.box.size(), QImage::Format_RGB32);
    if (bitmap.isNull())
        return;
    bitmap.fill(Qt::black);
    {
        QPainter p(&bitmap);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(0, QFontMetrics(font).ascent(), label.text);
    }
    const QRect onImage =
        clippedBlock(screen, label.box.left(), label.box.top(), std::int64_t{label.box.left()} + label.box.width(),
                     std::int64_t{label.box.top()} + label.box.height());
    if (onImage.isEmpty())
        return;
    const QPoint toBitmap = screen.origin - label.box.topLeft();
    for (int y = onImage.top(); y <= onImage.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        const auto* glyphs = reinterpret_cast<const std::uint32_t*>(bitmap.constScanLine(y + toBitmap.y()));
        for (int x = onImage.left(); x <= onImage.right(); ++x)
            if ((glyphs[x + toBitmap.x()] & 0xFFu) >= 0x80u)
                row[x] ^= 0x00FFFFFFu;
    }
}

QRegion selectionFrameRegion(const ScreenImage& screen, const ScreenRect& rectIn, const QFont& font)
{
    const ScreenRect rect = normalised(rectIn);
    QRegion region;
    if (rect.isEmpty() || screen.pixels.isNull())
        return region;
    for (const auto& s : strips(rect))
        region += clippedBlock(screen, s[0], s[1], s[2], s[3]);
    const QRect box = selectionLabel(rect, font).box;
    region += clippedBlock(screen, box.left(), box.top(), std::int64_t{box.left()} + box.width(),
                           std::int64_t{box.top()} + box.height());
    return region;
}

SelectionTracker::SelectionTracker(ScreenImage& screen, const QFont& font, QPoint anchor)
    : m_screen(screen), m_font(font), m_anchor(anchor), m_rect{anchor.x(), anchor.y(), anchor.x(), anchor.y()}
{
    NormalizeRect(m_rect);
    DrawSelectionFrame(m_screen, m_rect, m_font);
}

QRegion SelectionTracker::currentRegion() const { return selectionFrameRegion(m_screen, m_rect, m_font); }

QRegion SelectionTracker::mouseMessage(QPoint cursor)
{
    if (m_finished)
        return {};
    QRegion changed = currentRegion();
    DrawSelectionFrame(m_screen, m_rect, m_font);
    m_rect = {m_anchor.x(), m_anchor.y(), cursor.x(), cursor.y()};
    NormalizeRect(m_rect);
    DrawSelectionFrame(m_screen, m_rect, m_font);
    return changed + currentRegion();
}

ScreenRect SelectionTracker::finish()
{
    if (!m_finished) {
        DrawSelectionFrame(m_screen, m_rect, m_font);
        m_finished = true;
    }
    return m_rect;
}

QImage CaptureScreenToClipboard(const ScreenImage& screen, std::int32_t left, std::int32_t top, std::int32_t right,
                                std::int32_t bottom, Clipboard& clipboard)
{
    const std::int64_t w = std::int64_t{right} - left;
    const std::int64_t h = std::int64_t{bottom} - top;
    if (w <= 0 || h <= 0)
        return {};
    if (w > 32767 || h > 32767) // larger than any screen; no picture of that size is made
        return {};
    QImage block(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB32);
    if (block.isNull())
        return {};
    block.fill(Qt::black);
    // The block is the screen's device pixels and says so: 96 dpi times the screen's ratio.
    block.setDotsPerMeterX(dotsPerMeterFor(screen.ratio));
    block.setDotsPerMeterY(dotsPerMeterFor(screen.ratio));
    const QRect source = clippedBlock(screen, left, top, right, bottom);
    const QImage pixels = screen.pixels.format() == QImage::Format_RGB32
                              ? screen.pixels
                              : screen.pixels.convertToFormat(QImage::Format_RGB32);
    if (!source.isEmpty()) {
        const QPoint at(static_cast<int>(screen.origin.x() + source.left() - std::int64_t{left}),
                        static_cast<int>(screen.origin.y() + source.top() - std::int64_t{top}));
        for (int y = 0; y < source.height(); ++y)
            std::copy_n(reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(source.top() + y)) + source.left(),
                        source.width(), reinterpret_cast<std::uint32_t*>(block.scanLine(at.y() + y)) + at.x());
    }
    clipboard.setImage(block);
    return block;
}

} // namespace zovex
