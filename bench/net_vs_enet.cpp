// Reliable delivery against ENet: the same stream of game events (a
// synthetic 8-against-8 match: every actor's move each frame, collisions,
// jumps, and reliable reports of several sizes one way; movement commands,
// pick-ups and keep-alives the other) goes through the same lossy relay
// once with our network managers and once with two ENet hosts (reliable
// events on a reliable channel, the rest unsequenced). Everything runs in
// real time in one loop, every profile at once, each stack stepped once per
// 16 ms frame as a game would.
//
// Prints one line per profile, last:
//   net: profile=<name> events=<n> ours_bytes=<n> enet_bytes=<n> bytes_ratio=<ours/enet>
//        ours_p99_ms=<n> enet_p99_ms=<n> latency_ratio=<ours/enet> delivered=all|<k> missing
// events counts everything handed over, both ways; bytes are every datagram
// both ways; latency is from hand-over to arrival of each reliable event;
// delivered is about our reliable events. --tiny runs one second of stream.
#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "../tests/networking/LossyRelay.h"
#include "events/ByteStream.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "networking/BaseEventHandler.h"
#include "networking/Connection.h"
#include "networking/EventRegistry.h"
#include "networking/NetworkManager.h"

using EvPtr = std::shared_ptr<EventSystem::IEvent>;
using Geometry::Quaternion;
using Geometry::Vector3;
using NetTest::LossyRelay;
using NetTest::Profile;

namespace {

constexpr uint32_t kFrameMs = 16;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The events of one frame, both ways.
struct Frame {
    std::vector<EvPtr> down;  // host to joined machine
    std::vector<EvPtr> up;
};

class Stream {
public:
    explicit Stream(uint32_t seed) : m_rng(seed) {}

    Frame Next(int frame) {
        Frame f;
        std::uniform_real_distribution<float> pos(-200.0f, 200.0f);
        for (int16_t a = 0; a < 16; ++a)
            f.down.push_back(std::make_shared<EventTypes::EventUpdateActorMove>(
                a, Vector3(pos(m_rng), 2, pos(m_rng)), Quaternion(1, 0, 0, 0)));
        for (int i = Pick(3); i > 0; --i) {
            EventTypes::EventUpdateCollisionData hit;
            hit.actorIdA = static_cast<int16_t>(Pick(40));
            hit.actorIdB = static_cast<int16_t>(Pick(40));
            hit.normalSpeed = 3.0f;
            f.down.push_back(std::make_shared<EventTypes::EventUpdateCollisionToClient>(hit));
        }
        if (Pick(4) == 0) f.down.push_back(std::make_shared<EventTypes::EventUpdateJump>(Pick(16)));
        // Reliable reports: about two a frame, small to large.
        for (int i = Pick(5); i > 0; --i) {
            switch (Pick(4)) {
                case 0: f.down.push_back(std::make_shared<EventTypes::EventUpdateDeleteActor>(Pick(500))); break;
                case 1: f.down.push_back(std::make_shared<EventTypes::EventUpdateFlagGrabbed>(Pick(16), 3, 0, 1)); break;
                case 2: f.down.push_back(std::make_shared<EventTypes::EventUpdateGameIDs>(0, Pick(16), 1)); break;
                default:
                    f.down.push_back(std::make_shared<EventTypes::EventUpdateCreateActor>(
                        Pick(500), Vector3(1, 2, 3), Quaternion(1, 0, 0, 0), Vector3(1, 1, 1),
                        GameLogicView::ObjectState{}, 1, Vector3(1, 1, 1), "Block", EventSystem::HashEventName("Block")));
            }
        }
        f.up.push_back(std::make_shared<EventTypes::EventCommandActorMove>(3, Vector3(1, 0, 0)));
        f.up.push_back(std::make_shared<EventTypes::EventCommandActorTurn>(3, Quaternion(1, 0, 0, 0)));
        if (Pick(8) == 0) f.up.push_back(std::make_shared<EventTypes::EventCommandPickUpBlock>(3));
        if (frame % 62 == 0) {
            f.down.push_back(std::make_shared<Networking::EventClientIsAlive>(0));
            f.up.push_back(std::make_shared<Networking::EventClientIsAlive>(1));
        }
        return f;
    }

private:
    int16_t Pick(int n) { return static_cast<int16_t>(m_rng() % static_cast<uint32_t>(n)); }
    std::mt19937 m_rng;
};

// Send times of the reliable events on their way, in order (both stacks
// deliver reliable events in order, so arrivals match them one by one).
struct Latencies {
    std::deque<double> sent[2];
    std::vector<double> samples;
    uint64_t handed = 0;
    uint64_t reliableHanded = 0;

    void Sent(int dir, bool reliable, double now) {
        ++handed;
        if (!reliable) return;
        ++reliableHanded;
        sent[dir].push_back(now);
    }
    uint64_t unreliableArrived = 0;
    void Arrived(int dir, double now) {
        if (sent[dir].empty()) return;
        samples.push_back(now - sent[dir].front());
        sent[dir].pop_front();
    }
    size_t Missing() const { return sent[0].size() + sent[1].size(); }
    // Events still on their way at the end count with the time they have
    // waited so far (a lower bound).
    double P99(double end) {
        for (const auto& q : sent)
            for (double t : q) samples.push_back(end - t);
        if (samples.empty()) return 0;
        std::sort(samples.begin(), samples.end());
        return samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    }
};

uint64_t Bytes(const LossyRelay& r) { return r.GetStats().bytes[0] + r.GetStats().bytes[1]; }

// Keep-alives count as stream events here, so they go up like the rest.
class PassEverything : public Networking::BasicEventHandler {
public:
    using BasicEventHandler::BasicEventHandler;
    bool HandleIncomingEvent(const EvPtr& e) override {
        ConsumeKeepAlive(*e);
        return false;
    }
};

class Ours {
public:
    Ours(const Profile& p, uint64_t seed)
        : m_host(true, Settings(), &m_hostIn), m_client(false, Settings(), &m_clientIn),
          m_relay(p, seed, m_host.GetBoundPort(), m_client.GetBoundPort()) {
        m_host.SetHandler(std::make_unique<PassEverything>(m_host));
        m_client.SetHandler(std::make_unique<PassEverything>(m_client));
        m_host.OpenPeer(1, LossyRelay::Address(m_relay.PortForA()));
        m_client.OpenPeer(0, LossyRelay::Address(m_relay.PortForB()));
        m_client.SetOwnId(1);
    }
    static Networking::NetworkSettings Settings() {
        Networking::NetworkSettings s;
        s.port = 0;
        s.bindAddress = "127.0.0.1";
        return s;
    }
    void Hand(const Frame& f, double now) {
        for (const auto& e : f.down) {
            lat.Sent(0, e->IsReliable(), now);
            m_host.SendEvent(e);
        }
        for (const auto& e : f.up) {
            lat.Sent(1, e->IsReliable(), now);
            m_client.SendEvent(e);
        }
    }
    void Step(uint32_t ms) {
        m_host.Update(ms);
        Collect(m_hostIn, 1);
        m_client.Update(ms);
        Collect(m_clientIn, 0);
    }
    void Pump(double now) { m_relay.Pump(static_cast<uint64_t>(now)); }
    uint64_t BytesSoFar() const { return Bytes(m_relay); }
    Latencies lat;

private:
    void Collect(Networking::NetworkManager::EventList& in, int dir) {
        const double now = NowMs();
        for (const auto& e : in)
            if (e->IsReliable()) lat.Arrived(dir, now);
            else ++lat.unreliableArrived;
        in.clear();
    }
    Networking::NetworkManager::EventList m_hostIn, m_clientIn;
    Networking::NetworkManager m_host, m_client;
    LossyRelay m_relay;
};

class Enet {
public:
    Enet(const Profile& p, uint64_t seed) {
        ENetAddress a{};
        enet_address_set_host_ip(&a, "127.0.0.1");
        a.port = 0;
        m_server = enet_host_create(&a, 1, 2, 0, 0);
        m_client = enet_host_create(&a, 1, 2, 0, 0);
        ENetAddress sa{}, ca{};
        enet_socket_get_address(m_server->socket, &sa);
        enet_socket_get_address(m_client->socket, &ca);
        m_relay = std::make_unique<LossyRelay>(p, seed, sa.port, ca.port);
        ENetAddress to{};
        enet_address_set_host_ip(&to, "127.0.0.1");
        to.port = m_relay->PortForB();
        m_toServer = enet_host_connect(m_client, &to, 2, 0);
    }
    ~Enet() {
        enet_host_destroy(m_client);
        enet_host_destroy(m_server);
    }
    bool Connected() const { return m_toClient && m_connected; }
    void Hand(const Frame& f, double now) {
        for (const auto& e : f.down) {
            lat.Sent(0, e->IsReliable(), now);
            Send(m_toClient, *e);
        }
        for (const auto& e : f.up) {
            lat.Sent(1, e->IsReliable(), now);
            Send(m_toServer, *e);
        }
    }
    void Step() {
        Service(m_server, 1);
        Service(m_client, 0);
    }
    void Pump(double now) { m_relay->Pump(static_cast<uint64_t>(now)); }
    uint64_t BytesSoFar() const { return Bytes(*m_relay); }
    Latencies lat;

private:
    static void Send(ENetPeer* peer, const EventSystem::IEvent& e) {
        // The same bytes as on our wire: index and payload.
        uint8_t buf[1024];
        EventSystem::ByteWriter w(buf, sizeof(buf));
        w.WriteByte(Networking::EventRegistry::Instance()->GetIndex(e.GetTypeHash()));
        e.Serialize(w);
        const bool reliable = e.IsReliable();
        ENetPacket* p = enet_packet_create(buf, w.GetSize(),
                                           reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
        enet_peer_send(peer, reliable ? 0 : 1, p);
    }
    void Service(ENetHost* host, int dir) {
        ENetEvent ev;
        while (enet_host_service(host, &ev, 0) > 0) {
            if (ev.type == ENET_EVENT_TYPE_CONNECT) {
                // No throttling of unreliable packets: both stacks are to
                // carry the same events.
                enet_peer_throttle_configure(ev.peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, 0, 0);
                if (host == m_server) m_toClient = ev.peer;
                else m_connected = true;
            } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
                if (ev.channelID == 0) lat.Arrived(dir, NowMs());
                else ++lat.unreliableArrived;
                enet_packet_destroy(ev.packet);
            }
        }
    }
    ENetHost* m_server = nullptr;
    ENetHost* m_client = nullptr;
    ENetPeer* m_toServer = nullptr;
    ENetPeer* m_toClient = nullptr;
    bool m_connected = false;
    std::unique_ptr<LossyRelay> m_relay;
};

}  // namespace

int main(int argc, char** argv) {
    const bool tiny = argc > 1 && std::strcmp(argv[1], "--tiny") == 0;
    const int frames = tiny ? 60 : 1500;
    const double drainLimitMs = tiny ? 4000 : 30000;
    if (enet_initialize() != 0) {
        std::printf("net: ENet could not start\n");
        return 1;
    }
    struct Run {
        Profile profile;
        Stream stream;
        std::unique_ptr<Ours> ours;
        std::unique_ptr<Enet> enet;
        uint64_t oursBase = 0, enetBase = 0;
    };
    std::vector<Run> runs;
    uint64_t seed = 1;
    for (const Profile& p : NetTest::kProfiles) {
        runs.push_back(Run{p, Stream(static_cast<uint32_t>(seed)), std::make_unique<Ours>(p, seed),
                           std::make_unique<Enet>(p, seed), 0, 0});
        ++seed;
    }

    // ENet connects first (through the same relay); its handshake is not counted.
    const double start = NowMs();
    for (;;) {
        bool all = true;
        for (Run& r : runs) {
            r.enet->Step();
            r.enet->Pump(NowMs());
            all = all && r.enet->Connected();
        }
        if (all) break;
        if (NowMs() - start > 20000) {
            std::printf("net: ENet did not connect through the relay\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (Run& r : runs) {
        r.oursBase = r.ours->BytesSoFar();
        r.enetBase = r.enet->BytesSoFar();
    }

    double next = NowMs();
    double last = next;
    double drainStart = 0;
    for (int frame = 0;; ++frame) {
        const double now = NowMs();
        const uint32_t ms = static_cast<uint32_t>(now - last + 0.5);
        last = now;
        bool done = frame >= frames;
        for (Run& r : runs) {
            if (frame < frames) {
                const Frame f = r.stream.Next(frame);
                r.ours->Hand(f, now);
                r.enet->Hand(f, now);
            }
            r.ours->Step(ms);
            r.enet->Step();
            done = done && r.ours->lat.Missing() == 0 && r.enet->lat.Missing() == 0;
        }
        if (frame == frames) drainStart = now;
        if (done || (frame > frames && now - drainStart > drainLimitMs)) break;
        // Between frames the relays run on time to the millisecond.
        next += kFrameMs;
        while (NowMs() < next) {
            for (Run& r : runs) {
                r.ours->Pump(NowMs());
                r.enet->Pump(NowMs());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }

    const double end = NowMs();
    for (Run& r : runs)
        std::printf("detail %s: reliable handed %llu, missing ours %zu enet %zu; unreliable arrived ours %llu enet %llu\n",
                    r.profile.name, static_cast<unsigned long long>(r.ours->lat.reliableHanded), r.ours->lat.Missing(),
                    r.enet->lat.Missing(), static_cast<unsigned long long>(r.ours->lat.unreliableArrived),
                    static_cast<unsigned long long>(r.enet->lat.unreliableArrived));
    for (Run& r : runs) {
        const uint64_t ob = r.ours->BytesSoFar() - r.oursBase;
        const uint64_t eb = r.enet->BytesSoFar() - r.enetBase;
        const size_t missing = r.ours->lat.Missing();
        const double op = r.ours->lat.P99(end);
        const double ep = r.enet->lat.P99(end);
        char delivered[32];
        if (missing == 0) {
            std::snprintf(delivered, sizeof(delivered), "all");
        } else {
            std::snprintf(delivered, sizeof(delivered), "%zu missing", missing);
        }
        std::printf("net: profile=%s events=%llu ours_bytes=%llu enet_bytes=%llu bytes_ratio=%.2f ours_p99_ms=%.0f "
                    "enet_p99_ms=%.0f latency_ratio=%.2f delivered=%s\n",
                    r.profile.name, static_cast<unsigned long long>(r.ours->lat.handed),
                    static_cast<unsigned long long>(ob), static_cast<unsigned long long>(eb),
                    eb ? double(ob) / double(eb) : 0.0, op, ep, ep > 0 ? op / ep : 0.0, delivered);
    }
    runs.clear();
    enet_deinitialize();
    return 0;
}
