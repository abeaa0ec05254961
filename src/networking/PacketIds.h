// Packet ids run 1..65535 and then 1 again; 0 means "none yet" and comes
// before every id. Comparisons look at the shorter way round the ring, so
// they hold across the wrap as long as the two ids are less than half the
// ring apart.
#pragma once

#include <bitset>
#include <cstdint>

namespace Networking {

constexpr uint32_t kIdRing = 65535;

// Steps from b forward to a (0 when equal), taking ids 1..65535 as a ring.
inline uint32_t IdDistance(uint16_t a, uint16_t b) {
    return (static_cast<uint32_t>(a) + kIdRing - b) % kIdRing;
}

// True when a comes before b.
inline bool IdBefore(uint16_t a, uint16_t b) {
    if (a == b || b == 0) return false;
    if (a == 0) return true;
    return IdDistance(b, a) < kIdRing / 2 + 1;
}

inline bool IdAtOrBefore(uint16_t a, uint16_t b) { return a == b || IdBefore(a, b); }

// The ids of the last 1024 packets seen from one peer: tells a first arrival
// from a duplicate. Ids older than the window count as seen.
class RecentIds {
public:
    static constexpr uint32_t kWindow = 1024;

    // Records the id; true when it had not been seen before.
    bool Mark(uint16_t id) {
        if (id == 0) return false;
        if (m_newest == 0) {
            m_newest = id;
            m_bits.reset();
            m_bits.set(0);
            return true;
        }
        if (IdBefore(m_newest, id)) {
            const uint32_t ahead = IdDistance(id, m_newest);
            m_bits = ahead >= kWindow ? std::bitset<kWindow>() : (m_bits << ahead);
            m_bits.set(0);
            m_newest = id;
            return true;
        }
        const uint32_t behind = IdDistance(m_newest, id);
        if (behind >= kWindow || m_bits.test(behind)) return false;
        m_bits.set(behind);
        return true;
    }

private:
    uint16_t m_newest = 0;
    std::bitset<kWindow> m_bits;
};

}  // namespace Networking
