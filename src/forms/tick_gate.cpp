#include "tick_gate.h"

namespace zovex {

namespace {
int g_holds = 0;
}

void TickGate::hold() { ++g_holds; }

void TickGate::release()
{
    if (g_holds > 0)
        --g_holds;
}

bool TickGate::isHeld() { return g_holds > 0; }

} // namespace zovex
