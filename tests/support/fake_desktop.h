// Scripted stand-ins for the desktop's screen and clipboard: the screen shows a picture the
// test chose and records the pointer and the mouse capture; the clipboard holds a picture in
// memory.
#pragma once

#include "clipboard.h"
#include "screen.h"

#include <QWidget>

#include <vector>

namespace zovex::test {

class FakeScreen final : public Screen {
public:
    ScreenImage shown;             // what grab() returns
    std::vector<QPoint> grabbedAt; // every grab's point
    MousePointer pointer = MousePointer::Default;
    std::vector<MousePointer> pointerChanges;
    QWidget* captured = nullptr; // the window holding the mouse capture
    int captures = 0;            // setCapture calls

    ScreenImage grab(QPoint at) override
    {
        grabbedAt.push_back(at);
        return shown;
    }
    MousePointer mousePointer() const override { return pointer; }
    void setMousePointer(MousePointer p) override
    {
        pointer = p;
        pointerChanges.push_back(p);
    }
    void setCapture(QWidget& window) override
    {
        captured = &window;
        ++captures;
    }
    void releaseCapture() override { captured = nullptr; }
};

class FakeClipboard final : public Clipboard {
public:
    QImage held;
    int sets = 0;
    void setImage(const QImage& image) override
    {
        held = image;
        ++sets;
    }
    QImage image() const override { return held; }
};

// The fake screen and clipboard a test hands to what it tests (test_services.h puts them in a
// whole environment).
struct FakeDesktop {
    FakeScreen screen;
    FakeClipboard clipboard;
};

} // namespace zovex::test
