// Lettering on a canvas: DrawRotatedText prints a string turned counter-clockwise about the
// top-left corner of its first character cell; DrawTextOnCircle centres a string on the top
// of a circle and prints it one character at a time, each turned to follow the curve.
// Both leave the canvas font, ForeColor and DrawMode as they were (only CurrentX/Y change);
// text is printed in ForeColor, never combined by the draw mode. Errors propagate.
#pragma once

#include "canvas.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace zovex {

// The logical font the rotated text asks for.
struct RotatedFontRequest {
    std::int32_t height = 0;     // negative: character height in pixels
    std::int16_t escapement = 0; // tenths of a degree, counter-clockwise
    int weight = 400;
    QString face;
};

// The escapement of a rotation, in tenths of a degree: angle * 10 as a 16-bit product, so
// OverflowError beyond +-3276 degrees.
std::int16_t escapementOf(std::int16_t angle);

// Step 1 of DrawRotatedText: height round(size * -20 / TwipsPerPixelY), escapement angle * 10
// (OverflowError beyond the 16-bit range), weight 800 if FontBold else 400.
RotatedFontRequest rotatedFontRequest(const Canvas& canvas, std::int16_t angle, const QString& face, float size);

// The font used both to measure and to print with a request (unrotated).
QFont fontFor(const RotatedFontRequest& req);

// TextWidth of the canvas font, in twips: the same font object that printing uses.
float TextWidth(const Canvas& canvas, const QString& text);

void DrawRotatedText(std::int16_t angle, Canvas& canvas, const QString& face, float size, std::int16_t x,
                     std::int16_t y, const QString& text);

// Angle arithmetic of DrawTextOnCircle, exposed for tests.
std::int32_t arcScale(std::int32_t r); // d = round(r * 3.14159 * 2 / 360)
// start for the sentinel -1: floor(360 - (width / d) / 2); DivisionByZero when d is 0.
double centredStartAngle(float textWidthTwips, std::int32_t d);

// Where DrawTextOnCircle puts each character, in order: the cell's start angle, the point on
// the circle (twips, 16-bit), the angle of the character's middle and its rotation.
struct CirclePlacement {
    QString character;
    double cellAngle = 0;
    std::int16_t x = 0, y = 0;
    double middleAngle = 0;
    std::int16_t rotation = 0;
};

// The characters of a text as DrawTextOnCircle lays them out: user-perceived characters
// (grapheme clusters), so a character outside the Basic Multilingual Plane (an emoji, a
// surrogate pair) is one character, and a combining accent stays with its letter.
std::vector<QString> charactersOf(const QString& text);

// Visits the placements one by one, as printing does, and stops where printing stops: an
// overflow of a position, a rotation or the rotation's escapement ends the walk at that
// character (the ones visited stay visited); DivisionByZero for r <= 28 before any visit.
// Returns the start angle used.
double forEachCirclePlacement(const Canvas& canvas, const QString& text, std::int32_t cx, std::int32_t cy,
                              std::int32_t r, double start, const std::function<void(const CirclePlacement&)>& visit);

void DrawTextOnCircle(Canvas& canvas, const QString& text, std::int32_t cx, std::int32_t cy, std::int32_t r,
                      double start);

// How text is printed. Cached, the default: a text on a circle is rendered once per text,
// canvas font, canvas size and density, circle and start angle, and its pixels are set in
// ForeColor at every later call; upright ASCII text is printed from a kept head and kept
// characters (a number label's random tail). Reference: the pattern's lettering as it has
// always been printed, walking the text at every call and setting each character from the
// rendered-character cache (per font, character and rotation), drawing with the painter the
// characters that cache cannot hold. Cached gives the pixels, current position and errors of
// Reference. Painter: every character drawn by the painter, no cache at all. The caches are
// per thread and bounded (a few MB).
enum class LetteringPath { Cached, Reference, Painter };
void setLetteringPath(LetteringPath path);

// What the calling thread's lettering caches hold: texts on circles, heads of upright texts,
// rendered characters, and the pixel runs of all of them.
struct LetteringCacheUse {
    std::size_t circleTexts = 0, uprightHeads = 0, characters = 0, runs = 0;
};
LetteringCacheUse letteringCacheUse();

} // namespace zovex
