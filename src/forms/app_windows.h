// The windows of this program: one registry kind each, and how the picture tools are shown.
//
// Contract: the numbers of the designer kinds are their categories (Form1 is category 1), so
// designerKind(c) names the designer window of category c. showOwnedByForm1 shows a tool
// modeless, owned by Form1 (loaded if need be), whichever window asks; a tool that is not part
// of this program (not registered) is not shown.
#pragma once

#include "window_registry.h"

namespace zovex {

enum class WindowKind : int {
    Form1 = 1, Form2, Form3, Form4, Form5, Form6, Form7, Form8, Form9, Form10,
    Form20,  // screen-region capture
    Form30,  // wallpaper layout
    Form40,  // zoom and crop
    zvtdy,   // print window
    frmpass, // administrator login
};

// The designer window of category 1..10.
inline WindowKind designerKind(int category) { return static_cast<WindowKind>(category); }

void showOwnedByForm1(WindowKind tool);

} // namespace zovex
