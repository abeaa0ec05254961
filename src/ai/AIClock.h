// The AI clock: milliseconds of AI time, advanced once per AI step. Delayed
// state-machine messages and every AI time stamp are measured on it.
#pragma once

#include <cstdint>

namespace AI {

class AIClock {
public:
    uint64_t Now() const { return m_now; }

    // Adds one step's milliseconds. A negative step would wrap the unsigned
    // clock to a huge time and make every queued message due at once, so it
    // counts as 0: AI time never runs backwards.
    void Advance(int32_t ms) {
        if (ms > 0) m_now += static_cast<uint64_t>(ms);
    }

    void Reset() { m_now = 0; }

private:
    uint64_t m_now = 0;
};

}  // namespace AI
