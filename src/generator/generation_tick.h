// The generation tick: composes one pattern on a designer canvas from the shared random
// source, statement by statement, each statement skipped alone when it fails. It knows no
// window, timer or widget: the window gathers a TickInputs, calls runGenerationTick and shows
// what comes back. A tick of a category with r rings makes 10 + 4r draws.
#pragma once

#include "attempt.h"
#include "canvas.h"
#include "category.h"
#include "random_source.h"

#include <QImage>
#include <QString>

#include <cstdint>

namespace zovex {

// The designer canvas: Picture1 is 12915 twips square with a 2-pixel border on each side.
inline constexpr int kDesignerCanvasPx = 857;

struct TickInputs {
    QString combo1;        // line width scheme (宽度方案选择)
    QString combo2;        // colour scheme (配色方案选择): the draw mode
    QString text2;         // middle arc text
    QString text3;         // lower arc text
    QString text4;         // upper arc text
    QString categoryLabel; // caption of the hidden category label, "1".."10"
};

struct TickOutput {
    QString countCaption; // Label11
    QString labelText;    // the "NO: WVK" label as printed (empty if that statement failed)
    QImage preview;       // the snapshot for Image1..Image5
};

TickInputs defaultTickInputs(const Category& cat);

// Default texts of the three text boxes.
QString defaultText2();
QString defaultText3();
QString defaultText4();

// One random colour: three draws, red, green, blue, each round(230 * u).
Colour randomColour(RandomSource& rnd);

// The decimal text of a single-precision value as the label shows it: seven significant
// digits, no trailing zeros, no trailing point.
QString singleToText(float v);

// Whether a combo text gives the canvas a draw width (Combo1) or a draw mode (Combo2). When
// it does not, the tick keeps the one the canvas had from the pattern before.
bool setsDrawWidth(const QString& combo1);
bool setsDrawMode(const QString& combo2);

// What the tick hands out for the preview images. Take: a copy of the finished canvas. Share:
// the canvas's own image, implicitly shared, so the previews show the pattern without a copy
// (the canvas copies it only if it is drawn on while the previews still hold it; a designer
// window lets go of its previews before the next tick, which then draws in place). Skip: nothing,
// for the batch renderer, which shows nothing (on a print-size canvas a copy would be hundreds of
// megabytes).
enum class PreviewSnapshot { Take, Share, Skip };

TickOutput runGenerationTick(Canvas& canvas, RandomSource& rnd, const Category& cat, std::int32_t& designCount,
                             const TickInputs& in, PreviewSnapshot snapshot = PreviewSnapshot::Take);

// The statements of the tick up to and including the rings (Cls, background, width, mode,
// rings). Exposed for benchmarks and tests; returns pixels combined.
std::int64_t drawRings(Canvas& canvas, RandomSource& rnd, const Category& cat, const QString& combo1,
                       const QString& combo2);

// The text layer alone (font, colour, three circle texts, the label). Returns the label text.
QString drawTextLayer(Canvas& canvas, RandomSource& rnd, const Category& cat, const TickInputs& in);

} // namespace zovex
