// A small linear congruential generator for randomised tests: the same seed
// gives the same run of operations on every machine.
#pragma once

#include <cstdint>

namespace TestSupport {

class Lcg {
public:
    explicit Lcg(uint32_t seed) : m_state(seed) {}
    // A draw in [0, n); n must be above 0.
    uint32_t Below(uint32_t n) {
        m_state = m_state * 1664525u + 1013904223u;
        return (m_state >> 8) % n;
    }

private:
    uint32_t m_state;
};

}  // namespace TestSupport
