#include "zoom_display.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace zovex {

namespace {

// One side after one step, or nothing when single precision cannot hold the result.
std::optional<float> steppedSide(float side, ZoomStep step)
{
    if (!std::isfinite(side))
        return std::nullopt;
    // The step is worked in double and stored in single precision, as the window's width
    // property is; w ± w × 0.25 is exact in double, so only the store rounds.
    const double d = side;
    const double next = step == ZoomStep::Enlarge ? d + d * 0.25 : d - d * 0.25;
    if (std::fabs(next) > std::numeric_limits<float>::max())
        return std::nullopt;
    const auto stored = static_cast<float>(next);
    if (stored == 0.0f && side != 0.0f)
        return std::nullopt;
    return stored;
}

// A pixel count for Qt: display extents are unbounded, widgets and rectangles are not.
int boundedPx(double px)
{
    constexpr double kLargest = 1 << 30;
    return px > 0 ? static_cast<int>(std::min(px, kLargest)) : 0;
}

// The picture pixel under the centre of display pixel `at`, along a side `pictureSide` pixels
// long stretched to `extent` display pixels.
int pictureIndex(int at, int pictureSide, double extent)
{
    const double i = std::floor((at + 0.5) * pictureSide / extent);
    return static_cast<int>(std::clamp(i, 0.0, static_cast<double>(pictureSide - 1)));
}

bool is32BitWithoutConversion(QImage::Format f)
{
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

ZoomSize zoomStep(ZoomSize size, ZoomStep step)
{
    const std::optional<float> w = steppedSide(size.width, step);
    const std::optional<float> h = steppedSide(size.height, step);
    if (!w || !h)
        return size;
    return {*w, *h};
}

double displayPixels(Twips twips)
{
    if (!(twips > 0))
        return 0;
    // twipsToPx's rule (nearest, ties to even) without its 32-bit limit.
    return std::nearbyint(static_cast<double>(twips) / static_cast<double>(kTwipsPerPixel));
}

ZoomFilter zoomFilter(const QImage& picture, double extentWidthPx, double extentHeightPx)
{
    if (picture.isNull() || (extentWidthPx == picture.width() && extentHeightPx == picture.height()))
        return ZoomFilter::Copy;
    const double sx = extentWidthPx / picture.width();
    const double sy = extentHeightPx / picture.height();
    return sx >= kNearestFromScale && sy >= kNearestFromScale ? ZoomFilter::Nearest : ZoomFilter::Smooth;
}

void ZoomPainter::paint(QPainter& painter, const QImage& picture, double extentWidthPx, double extentHeightPx,
                        const QRect& shown, const QRect& exposed)
{
    if (picture.isNull() || !(extentWidthPx >= 1) || !(extentHeightPx >= 1))
        return;
    const QRect display(0, 0, boundedPx(extentWidthPx), boundedPx(extentHeightPx));
    const QRect visible = shown & display;
    const QRect area = exposed & visible;
    if (area.isEmpty())
        return;
    switch (zoomFilter(picture, extentWidthPx, extentHeightPx)) {
    case ZoomFilter::Copy:
        painter.drawImage(area.topLeft(), picture, area);
        return;
    case ZoomFilter::Nearest:
        m_smooth = QImage(); // one window's worth of pixels is held, not two
        paintNearest(painter, picture, extentWidthPx, extentHeightPx, area);
        return;
    case ZoomFilter::Smooth:
        m_scratch = QImage();
        paintSmooth(painter, picture, extentWidthPx, extentHeightPx, visible, area);
        return;
    }
}

void ZoomPainter::paintNearest(QPainter& painter, const QImage& picture, double extentWidthPx, double extentHeightPx,
                               const QRect& area)
{
    // Worked out per display pixel in double from its own position, so the blocks stay exact
    // at any enlargement (a stepping fixed-point position drifts by whole pixels at 10,000×).
    const int n = area.width();
    std::vector<int> columns(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        columns[static_cast<size_t>(i)] = pictureIndex(area.x() + i, picture.width(), extentWidthPx);

    if (m_scratch.format() != picture.format() || m_scratch.width() < n || m_scratch.height() < area.height())
        m_scratch = QImage(area.size().expandedTo(m_scratch.size()), picture.format());
    QImage block(m_scratch.bits(), n, area.height(), m_scratch.bytesPerLine(), picture.format());

    int previousRow = -1;
    for (int r = 0; r < area.height(); ++r) {
        auto* out = reinterpret_cast<quint32*>(block.scanLine(r));
        const int row = pictureIndex(area.y() + r, picture.height(), extentHeightPx);
        if (row == previousRow) {
            std::memcpy(out, block.constScanLine(r - 1), static_cast<size_t>(n) * 4);
            continue;
        }
        previousRow = row;
        const auto* in = reinterpret_cast<const quint32*>(picture.constScanLine(row));
        for (int i = 0; i < n; ++i)
            out[i] = in[columns[static_cast<size_t>(i)]];
    }
    painter.drawImage(area.topLeft(), block);
}

void ZoomPainter::paintSmooth(QPainter& painter, const QImage& picture, double extentWidthPx, double extentHeightPx,
                              const QRect& shown, const QRect& area)
{
    // The smoothed part is made for the whole part shown, from the display's origin (which is
    // the picture's), so every exposure of one display shows the same pixels; it is kept until
    // the size, the window or the picture changes.
    if (m_smooth.isNull() || m_smoothPicture != picture.cacheKey() || m_smoothWidth != extentWidthPx ||
        m_smoothHeight != extentHeightPx || m_smoothShown != shown.size()) {
        m_smooth = QImage();
        const double sx = extentWidthPx / picture.width();
        const double sy = extentHeightPx / picture.height();
        // The picture's pixels that reach the part shown, and one more for the interpolation
        // at its edge.
        const auto reach = [](int shownPx, double scale, int pictureSide) {
            return static_cast<int>(std::min(static_cast<double>(pictureSide), std::ceil(shownPx / scale) + 1));
        };
        const int cols = reach(shown.right() + 1, sx, picture.width());
        const int rows = reach(shown.bottom() + 1, sy, picture.height());
        const int outW = cols == picture.width() ? boundedPx(extentWidthPx) : boundedPx(std::round(cols * sx));
        const int outH = rows == picture.height() ? boundedPx(extentHeightPx) : boundedPx(std::round(rows * sy));
        if (outW < 1 || outH < 1)
            return;
        // A view of the picture's own rows: nothing of the picture is copied.
        const QImage source(picture.constBits(), cols, rows, picture.bytesPerLine(), picture.format());
        // Qt's smooth scaling averages every picture pixel into a reduced one, where a
        // painter's bilinear filter would skip most of them and shimmer.
        m_smooth = source.scaled(outW, outH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_smoothPicture = picture.cacheKey();
        m_smoothWidth = extentWidthPx;
        m_smoothHeight = extentHeightPx;
        m_smoothShown = shown.size();
    }
    painter.drawImage(area.topLeft(), m_smooth, area);
}

ZoomDisplay::ZoomDisplay(ZoomSize size, QWidget* window) : QWidget(window), m_size(size)
{
    setObjectName(QStringLiteral("Image1"));
    setFocusPolicy(Qt::NoFocus);
    move(twipsToPx(kLeftTwips), twipsToPx(kTopTwips));
    if (window)
        window->installEventFilter(this);
    fitToWindow();
}

void ZoomDisplay::setZoomWidth(Twips twips)
{
    m_size.width = twips;
    fitToWindow();
}

void ZoomDisplay::setZoomHeight(Twips twips)
{
    m_size.height = twips;
    fitToWindow();
}

void ZoomDisplay::setZoomSize(ZoomSize size)
{
    m_size = size;
    fitToWindow();
}

void ZoomDisplay::setPicture(QImage picture)
{
    m_picture = std::move(picture);
    // Brought to one of the two layouts the painter reads, once: then no paint converts (in
    // place when the depth allows, as the picture is handed over).
    if (!m_picture.isNull() && !is32BitWithoutConversion(m_picture.format()))
        m_picture.convertTo(m_picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    update();
}

void ZoomDisplay::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const double r = devicePixelRatioF();
    if (r == 1.0) {
        m_painter.paint(painter, m_picture, extentWidthPx(), extentHeightPx(), rect(), event->rect());
        return;
    }
    // On a HiDPI screen the display is worked out in device pixels, r to a logical one: the
    // blocks of an enlargement have their edges on device pixels, a reduction is smoothed from
    // the picture's own pixels. The exposed part is made in a buffer of its device pixels and
    // put down one to one.
    const QRect exposed = event->rect();
    const QRect device(
        QPoint(static_cast<int>(std::floor(exposed.left() * r)), static_cast<int>(std::floor(exposed.top() * r))),
        QPoint(static_cast<int>(std::ceil((exposed.right() + 1) * r)) - 1,
               static_cast<int>(std::ceil((exposed.bottom() + 1) * r)) - 1));
    if (device.isEmpty() || m_picture.isNull())
        return;
    QImage buffer(device.size(), QImage::Format_ARGB32_Premultiplied);
    if (buffer.isNull())
        return;
    buffer.fill(Qt::transparent);
    {
        QPainter b(&buffer);
        b.translate(-device.topLeft());
        const QRect shown(0, 0, boundedPx(width() * r), boundedPx(height() * r));
        m_painter.paint(b, m_picture, extentWidthPx() * r, extentHeightPx() * r, shown, device);
    }
    painter.drawImage(QRectF(device.left() / r, device.top() / r, device.width() / r, device.height() / r), buffer,
                      QRectF(buffer.rect()));
}

bool ZoomDisplay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        fitToWindow();
    return QWidget::eventFilter(watched, event);
}

void ZoomDisplay::fitToWindow()
{
    QSize room(boundedPx(extentWidthPx()), boundedPx(extentHeightPx()));
    if (const QWidget* window = parentWidget())
        room = room.boundedTo((window->size() - QSize(x(), y())).expandedTo(QSize(0, 0)));
    resize(room);
    update();
}

} // namespace zovex
