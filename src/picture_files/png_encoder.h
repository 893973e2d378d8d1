// A fast PNG encoder for patterns. A pattern holds a few dozen colours at most, so a picture of
// up to 256 colours is written as an 8-bit palette PNG; one with more falls back to 8-bit true
// colour. Either way the file decodes to exactly the picture's red, green and blue values (alpha
// is not stored: the canvas is opaque). Rows are compressed as they are produced, so nothing the
// size of the picture is held besides the picture itself and the compressed bytes.
#pragma once

#include <QImage>
#include <QString>

class QIODevice;

namespace zovex {

// Writes `image` as PNG to `device` (open for writing). Returns false, with the reason in *why,
// when the picture is empty or the device refuses a write; the device may then hold a part.
bool encodePng(const QImage& image, QIODevice& device, QString* why = nullptr);

} // namespace zovex
