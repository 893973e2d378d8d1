// The switch that holds the designer windows' generation ticks while the user drags out a
// screen selection. A tick that falls while the gate is held is skipped and dropped: nothing
// catches up afterwards. Holds nest; the gate opens when the last one ends. The program has one
// (in its Services); everything runs on the user-interface thread, so it is a plain counter.
#pragma once

namespace zovex {

class TickGate {
public:
    void hold() { ++m_holds; }
    void release() // a release without a matching hold is ignored
    {
        if (m_holds > 0)
            --m_holds;
    }
    bool isHeld() const { return m_holds > 0; }

private:
    int m_holds = 0;
};

// Holds `gate` for the lifetime of the object.
class TickHold {
public:
    explicit TickHold(TickGate& gate) : m_gate(gate) { m_gate.hold(); }
    ~TickHold() { m_gate.release(); }
    TickHold(const TickHold&) = delete;
    TickHold& operator=(const TickHold&) = delete;

private:
    TickGate& m_gate;
};

} // namespace zovex
