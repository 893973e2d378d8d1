// Scripted stand-ins for the desktop's screen and clipboard: the screen shows a picture the
// test chose (or fails as the test says), records the pointer and the mouse capture, and keeps
// a reading of the screens waiting until the test answers it; the clipboard holds a picture in
// memory.
#pragma once

#include "clipboard.h"
#include "screen.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace zovex::test {

class FakeScreen final : public Screen {
public:
    ScreenImage shown;                               // what grab() returns
    ScreenFailure grabFailure = ScreenFailure::None; // or why it fails
    std::vector<QPoint> grabbedAt;                   // every grab's point
    MouseReach reach = MouseReach::Everywhere;
    MousePointer pointer = MousePointer::Default;
    std::vector<MousePointer> pointerChanges;
    QWidget* captured = nullptr; // the window holding the mouse capture
    int captures = 0;            // setCapture calls
    int readings = 0;            // readScreens calls

    ScreenShot grab(QPoint at) override
    {
        grabbedAt.push_back(at);
        if (grabFailure != ScreenFailure::None)
            return ScreenShot::failed(grabFailure);
        ScreenShot shot;
        shot.screens.push_back(shown);
        return shot;
    }
    MouseReach mouseReach() const override { return reach; }

    std::unique_ptr<PendingScreenShot> readScreens(std::function<void(ScreenShot)> done) override
    {
        ++readings;
        auto pending = std::make_unique<Pending>(*this);
        m_waiting = pending.get();
        m_done = std::move(done);
        return pending;
    }
    // Whether a reading waits for its answer (and its caller still wants it).
    bool readingWaits() const { return m_waiting != nullptr; }
    // Answers the waiting reading, as the desktop would from the event loop.
    void answerReading(ScreenShot shot)
    {
        if (m_waiting == nullptr)
            return;
        m_waiting->fake = nullptr;
        m_waiting = nullptr;
        auto done = std::move(m_done);
        m_done = nullptr;
        done(std::move(shot));
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

private:
    struct Pending final : PendingScreenShot {
        explicit Pending(FakeScreen& s) : fake(&s) {}
        ~Pending() override
        {
            if (fake != nullptr)
                fake->abandon();
        }
        FakeScreen* fake;
    };
    void abandon()
    {
        m_waiting = nullptr;
        m_done = nullptr;
    }
    Pending* m_waiting = nullptr;
    std::function<void(ScreenShot)> m_done;
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
