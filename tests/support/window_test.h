// The fixture of every window test: an empty window registry (no window, no kind: each test
// registers what it uses), and the desktop scripted for the test's whole length: message boxes
// and file dialogs (platform), the printer (printer) and the screen and clipboard (desktop).
// After the test every window is destroyed, its pending deletions run and no tick is left.
#pragma once

#include "fake_desktop.h"
#include "form1_stand_in.h"
#include "scripted_platform.h"
#include "scripted_printer.h"
#include "tick_queue.h"
#include "window_registry.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

namespace zovex::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { WindowRegistry::instance().clear(); }
    void TearDown() override
    {
        WindowRegistry::instance().clear();
        flushDeletes();
        while (TickQueue::instance().runOne()) {
        }
    }

    // Runs the deletions Qt has put off (closed and unloaded windows).
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    ScriptedPlatform platform;
    ScriptedPrinterInstalled printer;
    FakeDesktop desktop;
};

} // namespace zovex::test
