// A whole environment of services for a test, as the program builds one at its start: scripted
// message boxes and file dialogs (platform), a scripted printer, the fake screen and clipboard
// (desktop), and a registry, tick queue, gate and random source of the test's own. `services`
// is what the test hands to the windows it registers and to whatever else takes one; nothing
// is installed anywhere, so two environments never meet. The registry's windows go first.
#pragma once

#include "fake_desktop.h"
#include "random_source.h"
#include "scripted_platform.h"
#include "scripted_printer.h"
#include "services.h"
#include "tick_gate.h"
#include "tick_queue.h"
#include "window_registry.h"

namespace zovex::test {

struct TestServices {
    ScriptedPlatform platform;
    ScriptedPrinter printer;
    FakeDesktop desktop;
    TickQueue ticks;
    TickGate gate;
    RandomSource random;
    WindowRegistry registry{ticks};
    const Services services{
        platform.boxes, platform.dialogs, printer, desktop.screen, desktop.clipboard, registry, ticks, gate, random};

    TestServices() = default;
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;
    ~TestServices() { registry.clear(); }
};

} // namespace zovex::test
