// The windows of this program: one registry kind each, and the one way a window shows another.
//
// Contract: the numbers of the designer kinds are their categories (Form1 is category 1), so
// designerKind(c) names the designer window of category c. A window never reaches another
// through the registry itself: showWindow shows the window of a kind modeless (owned by `owner`
// when one is given), showForm1 brings Form1 back when a tool is done, and showOwnedByForm1
// shows a tool owned by Form1 (loaded if need be), whichever window asks. Each takes the
// registry of the asking window's Services. A window that is not part of this program (its kind
// not registered) is not shown, by any of the three.
#pragma once

#include "window_registry.h"

namespace zovex {

enum class WindowKind : int {
    Form1 = 1,
    Form2,
    Form3,
    Form4,
    Form5,
    Form6,
    Form7,
    Form8,
    Form9,
    Form10,
    Form20,  // screen-region capture
    Form30,  // wallpaper layout
    Form40,  // zoom and crop
    zvtdy,   // print window
    frmpass, // administrator login
};

// The designer window of category 1..10.
inline WindowKind designerKind(int category) { return static_cast<WindowKind>(category); }

// Whether the window was shown: false when its kind is not registered.
bool showWindow(WindowRegistry& registry, WindowKind kind, QWidget* owner = nullptr);
bool showForm1(WindowRegistry& registry);
bool showOwnedByForm1(WindowRegistry& registry, WindowKind tool);

} // namespace zovex
