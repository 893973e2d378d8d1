// The process-wide switch that holds the designer windows' generation ticks while the user
// drags out a screen selection. A tick that falls while the gate is held is skipped and
// dropped: nothing catches up afterwards. Holds nest; the gate opens when the last one ends.
// Everything runs on the user-interface thread, so the switch is a plain counter.
#pragma once

namespace zovex {

class TickGate {
public:
    static void hold();
    static void release(); // a release without a matching hold is ignored
    static bool isHeld();
};

// Holds the gate for the lifetime of the object.
class TickHold {
public:
    TickHold() { TickGate::hold(); }
    ~TickHold() { TickGate::release(); }
    TickHold(const TickHold&) = delete;
    TickHold& operator=(const TickHold&) = delete;
};

} // namespace zovex
