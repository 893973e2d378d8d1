// A fresh program for each designer test: the ten designer kinds registered, no window made,
// the test's own random source at its start state. Windows are reached through the registry, as
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
        registerDesignerWindows(services);
    }

    DesignerForm& designerForm(int k) { return zovex::designerForm(registry, k); }
    DesignerWindow& window(int k) { return designerForm(k).window(); }
    bool loaded(int k) const { return registry.isLoaded(designerKind(k)); }
    bool shown(int k) { return loaded(k) && window(k).isVisible(); }
    // The program's start: Form1 shown through the registry, nothing else.
    DesignerWindow& start()
    {
        designerForm(1).Show();
        return window(1);
    }
};

} // namespace zovex::test
