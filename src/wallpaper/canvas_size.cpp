#include "canvas_size.h"

#include "int_conv.h"
#include "twips.h"

#include <algorithm>
#include <cmath>

namespace zovex {

namespace {

QString limitText()
{
    return QStringLiteral("壁纸画布每边最多 %1 像素，总共最多 %2 像素（例如 16384 × 16384）")
        .arg(kLargestCanvasSide)
        .arg(kLargestCanvasPixels);
}

QString sizeText(const QString& width, const QString& height) { return QStringLiteral("%1 × %2 像素").arg(width, height); }
QString sizeText(qint64 width, qint64 height) { return sizeText(QString::number(width), QString::number(height)); }

} // namespace

QSize canvasInterior(QSize outerPx)
{
    return QSize(outerPx.width() - 2 * PictureBox::kBorderPx, outerPx.height() - 2 * PictureBox::kBorderPx);
}

CanvasSizeCheck checkCanvasSide(const QString& text, CanvasSide side, QSize outerPx)
{
    const QString boxName = side == CanvasSide::Height ? QStringLiteral("高度") : QStringLiteral("宽度");
    const std::optional<double> number = parseNumber(text.toStdString());
    // The box's text is read as a single-precision number, as the size properties take it.
    const float twips = number ? static_cast<float>(*number) : 0.0f;
    if (!number || !std::isfinite(twips))
        return {std::nullopt, {}, QStringLiteral("“%1”不是壁纸的%2：请输入以缇为单位的数（15 缇为 1 像素）。%3，画布保持不变。")
                                  .arg(text.left(40), boxName, limitText())};
    int sidePx = 0;
    try {
        sidePx = twipsToPx(twips);
    } catch (const OverflowError&) {
        if (twips < 0)
            return checkCanvasSide(QStringLiteral("0"), side, outerPx);
        // Beyond 32-bit pixels: named as it was asked for, and far above any limit.
        const QString asked = QString::number(roundHalfEven(twips / 15.0) - 2 * PictureBox::kBorderPx, 'g', 10);
        const QString other = QString::number(canvasInterior(outerPx).width());
        const QString otherH = QString::number(canvasInterior(outerPx).height());
        return {std::nullopt, {}, QStringLiteral("壁纸尺寸 %1 太大：%2，这样保存的壁纸才能再次打开。画布保持不变。")
                                  .arg(side == CanvasSide::Height ? sizeText(other, asked) : sizeText(asked, otherH),
                                       limitText())};
    }
    QSize outer = outerPx;
    if (side == CanvasSide::Height)
        outer.setHeight(sidePx);
    else
        outer.setWidth(sidePx);
    const QSize inner = canvasInterior(outer);
    const qint64 w = inner.width();
    const qint64 h = inner.height();
    if (w < 1 || h < 1)
        return {std::nullopt, {},
                QStringLiteral("壁纸尺寸 %1 太小：边框内每边至少要有 1 像素（%2至少 75 缇）。%3。画布保持不变。")
                    .arg(sizeText(w, h), boxName, limitText())};
    if (w > kLargestCanvasSide || h > kLargestCanvasSide || w * h > kLargestCanvasPixels)
        return {std::nullopt, {}, QStringLiteral("壁纸尺寸 %1 太大：%2，这样保存的壁纸才能再次打开。画布保持不变。")
                                  .arg(sizeText(w, h), limitText())};
    return {inner, outer, {}};
}

QString canvasNotAllocatedNotice(QSize interior)
{
    const qint64 mb = (qint64(interior.width()) * interior.height() * 4 + (1 << 20) - 1) >> 20;
    return QStringLiteral("本机内存不足，无法建立 %1 的壁纸画布（需要 %2 MB）：请关闭其他应用程序或输入较小的尺寸。%3。画布保持不变。")
        .arg(sizeText(interior.width(), interior.height()))
        .arg(mb)
        .arg(limitText());
}

} // namespace zovex
