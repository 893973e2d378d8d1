// The ten pattern categories (大类) as data: which concentric rings a pattern stacks, the size
// of its circle lettering, the initial texts of its two scheme combos and the colour of the
// canvas before its first pattern. Category k is categories()[k - 1].
#pragma once

#include "colour.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <span>

namespace zovex {

struct Category {
    int number = 0;
    std::span<const std::int32_t> ringSizes; // twips, largest first, drawn in this order
    float letteringSize = 20.0f;             // points
    const char* lineWidthDefault = "90";     // Combo1
    const char* colourSchemeDefault = "5";   // Combo2
    Colour canvasBack = RGB(0, 0, 64);       // the canvas before the first pattern

    int drawsPerTick() const { return 10 + 4 * static_cast<int>(ringSizes.size()); }
};

// All rings share the centre (6450, 6450) twips: the square of size S has left = top = 6450 - S/2.
inline constexpr std::int32_t kRingCentre = 6450;

const std::array<Category, 10>& categories();
// k in 1..10; throws std::out_of_range otherwise.
const Category& category(int k);

// The items of the designer's scheme lists: Combo1 (26 line widths) and Combo2 (16 draw
// modes; no "11"). The number label reads back uniquely when both texts are items.
const QStringList& lineWidthItems();
const QStringList& drawModeItems();

} // namespace zovex
