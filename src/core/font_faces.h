// The one place where face names become fonts. "arial"/"Arial" resolve to Liberation Sans
// (its metric twin), Chinese characters fall back to Noto Sans CJK, and 宋体 resolves to
// Noto Serif CJK SC. Text is rendered without smoothing and without kerning, so measured
// widths are whole pixels and the sum of the characters' widths is the width of the string.
#pragma once

#include <QFont>
#include <QString>

namespace zovex {

// Registers the face substitutions with Qt; idempotent and cheap after the first call.
void installFontSubstitutions();

// A font of the given face, character height in pixels (the em height) and weight
// (100..900; 400 regular, 700 bold, 800 extra bold).
QFont deviceFont(const QString& face, int pixelHeight, int weight);

// The font of a control or window: face, size in points and boldness, at 96 dpi.
QFont controlFont(const QString& face, double points, bool bold);

} // namespace zovex
