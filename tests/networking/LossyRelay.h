// A UDP forwarder on loopback that stands between two endpoints and plays a
// bad network: it drops, duplicates and delays datagrams (a delay with jitter
// also reorders them), all from a seeded generator, so a run can be
// repeated. Time is the caller's: milliseconds of a clock it advances, real
// or simulated. Used by the network tests and the delivery benchmark.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <queue>
#include <vector>

namespace NetTest {

struct Profile {
    const char* name;
    double loss;       // chance a datagram is lost
    double duplicate;  // chance a datagram that gets through goes twice
    uint32_t delayMs;
    uint32_t jitterMs;  // the delay is delayMs +- up to this, evenly spread
};

inline const Profile kProfiles[] = {
    {"lan", 0.0, 0.0, 0, 0},           {"wifi", 0.02, 0.0, 5, 0},          {"bad", 0.05, 0.01, 50, 20},
    {"terrible", 0.20, 0.05, 100, 50}, {"storm", 0.25, 0.25, 250, 100},
};

class LossyRelay {
public:
    struct Stats {
        uint64_t datagrams[2] = {0, 0};  // received from A, from B
        uint64_t bytes[2] = {0, 0};
        uint64_t lost = 0;
        uint64_t duplicated = 0;
    };

    // Forwards between the endpoints on 127.0.0.1 ports portA and portB.
    LossyRelay(const Profile& profile, uint64_t seed, uint16_t portA, uint16_t portB)
        : m_profile(profile), m_state(seed * 0x9E3779B97F4A7C15ull + 1) {
        m_to[0] = Address(portB);  // what A sends goes to B
        m_to[1] = Address(portA);
        for (int side = 0; side < 2; ++side) {
            m_fd[side] = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            int big = 4 << 20;
            setsockopt(m_fd[side], SOL_SOCKET, SO_RCVBUF, &big, sizeof(big));
            sockaddr_in a = Address(0);
            bind(m_fd[side], reinterpret_cast<sockaddr*>(&a), sizeof(a));
            socklen_t len = sizeof(a);
            getsockname(m_fd[side], reinterpret_cast<sockaddr*>(&a), &len);
            m_port[side] = ntohs(a.sin_port);
        }
    }
    ~LossyRelay() {
        for (int fd : m_fd) close(fd);
    }
    LossyRelay(const LossyRelay&) = delete;
    LossyRelay& operator=(const LossyRelay&) = delete;

    // Where A sends (and what A sees as its peer); where B sends.
    uint16_t PortForA() const { return m_port[0]; }
    uint16_t PortForB() const { return m_port[1]; }

    // Takes in everything waiting and sends on what is due at nowMs.
    void Pump(uint64_t nowMs) {
        uint8_t buf[65536];
        for (int side = 0; side < 2; ++side) {
            for (;;) {
                const ssize_t n = recv(m_fd[side], buf, sizeof(buf), MSG_DONTWAIT);
                if (n < 0) break;
                ++m_stats.datagrams[side];
                m_stats.bytes[side] += static_cast<uint64_t>(n);
                if (Chance(m_profile.loss)) {
                    ++m_stats.lost;
                    continue;
                }
                const int copies = Chance(m_profile.duplicate) ? 2 : 1;
                if (copies == 2) ++m_stats.duplicated;
                for (int c = 0; c < copies; ++c) {
                    int64_t delay = m_profile.delayMs;
                    if (m_profile.jitterMs) {
                        delay += static_cast<int64_t>(Next() % (2 * m_profile.jitterMs + 1)) - m_profile.jitterMs;
                    }
                    if (delay < 0) delay = 0;
                    m_queue.push(Held{nowMs + static_cast<uint64_t>(delay), m_serial++, side,
                                      std::vector<uint8_t>(buf, buf + n)});
                }
            }
        }
        while (!m_queue.empty() && m_queue.top().due <= nowMs) {
            const Held& h = m_queue.top();
            // Out through the socket facing the receiver, so each endpoint
            // always hears from the port it sends to.
            sendto(m_fd[1 - h.side], h.data.data(), h.data.size(), 0, reinterpret_cast<const sockaddr*>(&m_to[h.side]),
                   sizeof(sockaddr_in));
            m_queue.pop();
        }
    }

    size_t InFlight() const { return m_queue.size(); }
    const Stats& GetStats() const { return m_stats; }

    static sockaddr_in Address(uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

private:
    struct Held {
        uint64_t due;
        uint64_t serial;  // keeps equal due times in arrival order
        int side;
        std::vector<uint8_t> data;
        bool operator<(const Held& o) const { return due != o.due ? due > o.due : serial > o.serial; }
    };

    // splitmix64: the same stream on every platform.
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    bool Chance(double p) { return p > 0 && static_cast<double>(Next() >> 11) * 0x1.0p-53 < p; }

    Profile m_profile;
    uint64_t m_state;
    int m_fd[2] = {-1, -1};
    uint16_t m_port[2] = {0, 0};
    sockaddr_in m_to[2];
    std::priority_queue<Held> m_queue;
    uint64_t m_serial = 0;
    Stats m_stats;
};

}  // namespace NetTest
