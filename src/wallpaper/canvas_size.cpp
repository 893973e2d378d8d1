#include "canvas_size.h"

#include "int_conv.h"
#include "twips.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zovex {

namespace {

QString limitText()
{
    return QStringLiteral("壁纸画布每边最多 %1 像素，总共最多 %2 像素（例如 16384 × 16384）")
        .arg(kLargestCanvasSide)
        .arg(kLargestCanvasPixels);
}

QString sizeText(qint64 width, qint64 height) { return QStringLiteral("%1 × %2 像素").arg(width).arg(height); }

QString boxNameOf(CanvasSide side)
{
    return side == CanvasSide::Height ? QStringLiteral("高度") : QStringLiteral("宽度");
}

// What was typed, as the notice quotes it: a long text is cut off.
QString typed(const QString& text) { return text.size() > 40 ? text.left(40) + QStringLiteral("…") : text; }

CanvasSizeCheck refused(QString notice) { return {std::nullopt, {}, std::move(notice)}; }

CanvasSizeCheck notANumber(const QString& text, CanvasSide side)
{
    return refused(QStringLiteral("“%1”不是壁纸的%2：请输入以缇为单位的数（15 缇为 1 像素）。%3，画布保持不变。")
                       .arg(typed(text), boxNameOf(side), limitText()));
}

CanvasSizeCheck tooSmall(const QString& text, CanvasSide side)
{
    return refused(QStringLiteral("壁纸的%1“%2”太小：边框内每边至少要有 1 像素（%1至少 75 缇）。%3。画布保持不变。")
                       .arg(boxNameOf(side), typed(text), limitText()));
}

// `pixels`, when known, is the canvas's size the number would give.
CanvasSizeCheck tooLarge(const QString& text, CanvasSide side, std::optional<QSize> pixels = std::nullopt)
{
    const QString gives =
        pixels ? QStringLiteral("（画布将为 %1）").arg(sizeText(pixels->width(), pixels->height())) : QString();
    return refused(QStringLiteral("壁纸的%1“%2”太大%3：%4，这样保存的壁纸才能再次打开。画布保持不变。")
                       .arg(boxNameOf(side), typed(text), gives, limitText()));
}

// Whether a number too far from zero for a double was tiny (1e-400) rather than huge.
bool underflows(const QString& text)
{
    const QByteArray latin = text.trimmed().toLatin1();
    return std::fabs(std::strtod(latin.constData(), nullptr)) < 1.0;
}

} // namespace

QSize canvasInterior(QSize outerPx)
{
    return QSize(outerPx.width() - 2 * PictureBox::kBorderPx, outerPx.height() - 2 * PictureBox::kBorderPx);
}

CanvasSizeCheck checkCanvasSide(const QString& text, CanvasSide side, QSize outerPx)
{
    const std::optional<double> number = parseNumber(text.toStdString());
    if (!number)
        return notANumber(text, side);
    if (!std::isfinite(*number) && underflows(text))
        return tooSmall(text, side);
    // The box's text is read as a single-precision number, as the size properties take it.
    const float twips = static_cast<float>(*number);
    if (!std::isfinite(twips))
        return twips < 0 ? tooSmall(text, side) : tooLarge(text, side);
    int sidePx = 0;
    try {
        sidePx = twipsToPx(twips);
    } catch (const OverflowError&) {
        return twips < 0 ? tooSmall(text, side) : tooLarge(text, side);
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
        return tooSmall(text, side);
    if (w > kLargestCanvasSide || h > kLargestCanvasSide || w * h > kLargestCanvasPixels)
        return tooLarge(text, side, inner);
    return {inner, outer, {}};
}

QString canvasNotAllocatedNotice(QSize interior)
{
    const qint64 mb = (qint64(interior.width()) * interior.height() * 4 + (1 << 20) - 1) >> 20;
    return QStringLiteral("本机内存不足，无法建立 %1 的壁纸画布（需要 %2 "
                          "MB）：请关闭其他应用程序或输入较小的尺寸。%3。画布保持不变。")
        .arg(sizeText(interior.width(), interior.height()))
        .arg(mb)
        .arg(limitText());
}

} // namespace zovex
