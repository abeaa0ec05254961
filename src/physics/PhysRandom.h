// The physics world's own 15-bit random numbers (for the contact shuffle), so
// that a run gives the same result on every platform and C library.
#pragma once

#include <cstdint>

namespace Physics {

class PhysRandom {
public:
    static constexpr uint32_t kMax = 0x7FFF;

    explicit PhysRandom(uint32_t seed = 1) : m_state(seed) {}
    void Seed(uint32_t seed) { m_state = seed; }

    // 0 .. 32767, the classic linear congruential sequence.
    uint32_t Next() {
        m_state = m_state * 214013u + 2531011u;
        return (m_state >> 16) & kMax;
    }

    // Uniform enough draw in [0, bound): several 15-bit draws are combined when
    // the bound exceeds one draw's range.
    uint64_t Below(uint64_t bound) {
        uint64_t r = Next();
        uint64_t range = uint64_t(kMax) + 1;
        while (range < bound) {
            r = (r << 15) | Next();
            range <<= 15;
        }
        return bound ? r % bound : 0;
    }

private:
    uint32_t m_state;
};

}  // namespace Physics
