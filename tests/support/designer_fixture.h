// A fresh program for each designer test: the ten designer kinds registered, no window made,
// the shared random source at its start state. Windows are reached through the registry, as
// the program reaches them.
#pragma once

#include "designer_window.h"
#include "random_source.h"
#include "window_test.h"
#include "app_windows.h"

namespace zovex::test {

class DesignerTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        registerDesignerWindows();
        RandomSource::shared().setState(RandomSource::kStartState);
    }

    static DesignerWindow& window(int k) { return designerForm(k).window(); }
    static bool loaded(int k) { return WindowRegistry::instance().isLoaded(designerKind(k)); }
    static bool shown(int k) { return loaded(k) && window(k).isVisible(); }
    // The program's start: Form1 shown through the registry, nothing else.
    static DesignerWindow& start()
    {
        designerForm(1).Show();
        return window(1);
    }
};

} // namespace zovex::test
