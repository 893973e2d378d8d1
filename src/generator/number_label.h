// The number label that every pattern prints: "NO: WVK", the category, Combo1's and Combo2's
// texts, "350", 99 × u1 and the colour value of three more draws, run together. Those four
// draws end the tick, and the random source's step can be undone, so the label holds the
// pattern's whole random part: readNumberLabel finds the state at which the tick began.
//
// Contract: for every label a tick prints, readNumberLabel gives a reading with that tick's
// category, combo texts and state. Where both combo texts are items of their lists it is the
// only reading once preferListItems has been applied; a typed text may leave several. A label
// that no state prints (a typo in the random part) gives no reading and says why.
#pragma once

#include "category.h"
#include "random_source.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace zovex {

inline constexpr char kLabelPrefix[] = "NO: WVK";
inline constexpr char kLabelFixedPart[] = "350";

// The label text, taking its four draws (u1 for the number, three for the colour) from rnd.
QString numberLabelText(const QString& categoryLabel, const QString& combo1, const QString& combo2, RandomSource& rnd);

// The label that a tick of `cat` beginning at random-source state `tickState` prints.
QString numberLabelAt(const Category& cat, std::uint32_t tickState, const QString& combo1, const QString& combo2);

struct LabelReading {
    int category = 0;
    QString combo1, combo2;
    std::uint32_t state = 0; // at the start of the tick
};

struct LabelReadings {
    std::vector<LabelReading> readings;
    std::string error; // when there is no reading: the part of the label that does not fit
};

// Every reading of `label`: each split of its run-together parts that a state of the random
// source prints.
LabelReadings readNumberLabel(const QString& label);

// The readings whose combo texts are both items of their lists, when there are any; else all.
std::vector<LabelReading> preferListItems(std::vector<LabelReading> readings);

} // namespace zovex
