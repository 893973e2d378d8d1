// The known picture the capture end-to-end test puts on the screen: every pixel a different
// colour from its neighbours, so a block taken one pixel off, or with a frame pixel left in,
// does not match.
#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>

namespace zovex::test {

inline constexpr QPoint kPatternAt(40, 60);
inline constexpr QSize kPatternSize(480, 360);

inline QImage capturePattern()
{
    QImage img(kPatternSize, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^ static_cast<std::uint32_t>(y) * 0x85EBCA77u;
            h ^= h >> 15;
            h *= 0x2C1B3C6Du;
            h ^= h >> 12;
            row[x] = 0xFF000000u | (h & 0xFFFFFFu);
        }
    }
    return img;
}

} // namespace zovex::test
