#include "random_source.h"

namespace zovex {

void RandomSource::advance(std::uint64_t draws)
{
    // n draws map x to A*x + C (mod 2^24). Compose the one-draw map with itself by squaring:
    // (a, c) twice is (a*a, a*c + c).
    std::uint64_t a = 1140671485u % kModulus, c = 12820163u;
    std::uint64_t accA = 1, accC = 0;
    for (; draws != 0; draws >>= 1) {
        if (draws & 1) {
            accA = (accA * a) % kModulus;
            accC = (accC * a + c) % kModulus;
        }
        c = (c * a + c) % kModulus;
        a = (a * a) % kModulus;
    }
    m_state = static_cast<std::uint32_t>((accA * m_state + accC) % kModulus);
}

} // namespace zovex
