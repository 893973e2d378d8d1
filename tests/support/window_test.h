// The fixture of every window test: a whole environment of its own (TestServices: the desktop
// scripted for the test's whole length and an empty window registry, no window, no kind: each
// test registers what it uses, with `services`). After the test every window is destroyed, its
// pending deletions run and no tick is left.
#pragma once

#include "form1_stand_in.h"
#include "test_services.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

namespace zovex::test {

class WindowTest : public ::testing::Test, protected TestServices {
protected:
    void TearDown() override
    {
        registry.clear();
        flushDeletes();
        while (ticks.runOne()) {
        }
    }

    // Runs the deletions Qt has put off (closed and unloaded windows).
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace zovex::test
