// What distinguishes the ten designer windows Form1..Form10 from one another, and the fixed
// texts and lists they all share. DesignerWindow builds every window from Form2's layout and
// the row of its category here; nothing else about a window depends on its category.
#pragma once

#include "category.h"
#include "colour.h"

#include <QString>
#include <QStringList>

namespace zovex {

enum class Visibility { Hidden, Shown };
enum class WallpaperButton { Absent, PresentHidden };

struct DesignerDescription {
    int category = 0;                   // 1..10, also the caption of the own category button
    const char* formName = "";          // "Form1".."Form10"
    const char* categoryLabelName = ""; // the hidden label holding the category number
    const char* informationLabelName = "";
    int clientWidthTwips = 18210; // normal (restored) client area
    int clientHeightTwips = 12990;
    Visibility text2 = Visibility::Hidden;
    Visibility text3 = Visibility::Shown;
    WallpaperButton command19 = WallpaperButton::Absent;
    double button1Points = 12.0; // the font of the category button "1"
    bool fillsInformationEllipse = false;
};

// k in 1..10; throws std::out_of_range otherwise.
const DesignerDescription& designerDescription(int k);

// The window caption shared by all ten.
inline const QString kDesignerCaption = QStringLiteral("ZovexTessaly5.0(Quenda)");

// The text of the information label: twenty lines joined by CR LF.
const QString& informationText();

} // namespace zovex
