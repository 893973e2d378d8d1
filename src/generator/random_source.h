// RandomSource: the one pseudo-random generator of the whole program (its Services hold it).
// Never seeded from the clock and never reseeded; the state starts at 327680. Each draw advances
// the state by x = (x * 1140671485 + 12820163) mod 2^24 and yields x / 2^24 as a float in [0, 1).
// The state can be read and set so that a pattern can be reproduced exactly, and moved ahead
// by any number of draws at once, so that a pattern far down the sequence is reached without
// the ticks before it.
#pragma once

#include <cstdint>

namespace zovex {

class RandomSource {
public:
    static constexpr std::uint32_t kStartState = 327680;
    static constexpr std::uint32_t kModulus = 1u << 24;

    float next()
    {
        m_state =
            static_cast<std::uint32_t>((static_cast<std::uint64_t>(m_state) * 1140671485u + 12820163u) % kModulus);
        return static_cast<float>(m_state) / static_cast<float>(kModulus);
    }

    std::uint32_t state() const { return m_state; }
    // `s` is taken modulo 2^24.
    void setState(std::uint32_t s) { m_state = s % kModulus; }

    // The state after `draws` more draws, in a few dozen steps whatever the count.
    void advance(std::uint64_t draws);
    // The state `draws` draws earlier. The step runs through all 2^24 states before it
    // repeats, so going back is going ahead by the rest of that cycle.
    void retreat(std::uint64_t draws) { advance(kModulus - draws % kModulus); }

private:
    std::uint32_t m_state = kStartState;
};

} // namespace zovex
