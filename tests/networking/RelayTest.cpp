// Two managers in one process talk through the lossy relay: a host sends
// 10,000 reliable events (and unreliable ones between them) to a joined
// machine, which answers with commands and reliable events of its own.
// Under every network profile each reliable event must arrive exactly once
// and in order, each unreliable one at most once. Time is simulated (both
// managers and the relay run on one clock the test advances), so a slow
// profile costs no wall time.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "LossyRelay.h"
#include "NetTestSupport.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/NetworkEvents.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"
#include "support/Harness.h"

using namespace Networking;
using namespace NetTest;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

constexpr int kHostReliable = 10000;
constexpr int kClientReliable = 2000;
constexpr uint32_t kFrameMs = 17;

// Reliable events of three sizes, each carrying its sequence number.
std::shared_ptr<EventSystem::IEvent> ReliableEvent(int seq, int kind) {
    switch (kind) {
        case 0: return std::make_shared<EventTypes::EventUpdateDeleteActor>(static_cast<int16_t>(seq));
        case 1: return std::make_shared<EventTypes::EventUpdateGameIDs>(seq, 1, 0);
        default:
            return std::make_shared<EventTypes::EventUpdateCreateActor>(
                static_cast<int16_t>(seq), Vector3(1, 2, 3), Quaternion(1, 0, 0, 0), Vector3(1, 1, 1),
                GameLogicView::ObjectState{}, 1, Vector3(1, 1, 1), "Block", EventSystem::HashEventName("Block"));
    }
}

// The sequence number of a reliable event from the host, or -1.
int SequenceOf(const EventSystem::IEvent& e) {
    if (auto* d = dynamic_cast<const EventTypes::EventUpdateDeleteActor*>(&e)) return d->GetPayload()->actorId;
    if (auto* g = dynamic_cast<const EventTypes::EventUpdateGameIDs*>(&e)) return g->GetPayload()->reserved;
    if (auto* c = dynamic_cast<const EventTypes::EventUpdateCreateActor*>(&e)) return c->GetPayload()->actorId;
    return -1;
}

class RelayTest : public ::testing::TestWithParam<Profile> {
protected:
    void SetUp() override { TestSupport::ResetSingletons(); }
    void TearDown() override { TestSupport::ResetSingletons(); }
};

}  // namespace

TEST_P(RelayTest, ReliableEventsArriveOnceInOrderAndUnreliableAtMostOnce) {
    const Profile profile = GetParam();
    NetworkManager::EventList hostIn, clientIn;
    NetworkManager host(true, Loopback(), &hostIn);
    NetworkManager client(false, Loopback(), &clientIn);
    ASSERT_NE(host.GetBoundPort(), 0);
    ASSERT_NE(client.GetBoundPort(), 0);
    LossyRelay relay(profile, 27, host.GetBoundPort(), client.GetBoundPort());
    host.OpenPeer(1, LossyRelay::Address(relay.PortForA()));
    client.OpenPeer(0, LossyRelay::Address(relay.PortForB()));
    client.SetOwnId(1);

    std::mt19937 rng(7);
    int hostSent = 0, clientSent = 0, jumpsSent = 0;
    int hostNext = 0, clientNext = 0;  // next sequence number expected
    std::map<int, int> jumpsSeen;
    bool inOrder = true;
    uint64_t now = 0;
    const uint64_t limitMs = 600000;
    for (; now < limitMs && (hostNext < kHostReliable || clientNext < kClientReliable); now += kFrameMs) {
        // The host's logic: a burst of reports most frames, a jump or two.
        if (hostSent < kHostReliable) {
            const int n = std::uniform_int_distribution<int>(0, 60)(rng);
            for (int i = 0; i < n && hostSent < kHostReliable; ++i, ++hostSent)
                host.SendEvent(ReliableEvent(hostSent, static_cast<int>(rng() % 3)));
            host.SendEvent(std::make_shared<EventTypes::EventUpdateJump>(static_cast<int16_t>(jumpsSent++ & 0x7FFF)));
        }
        // The joined machine's player: a turn every frame, a pick-up now and then.
        client.SendEvent(std::make_shared<EventTypes::EventCommandActorTurn>(3, Quaternion(1, 0, 0, 0)));
        if (clientSent < kClientReliable && rng() % 2 == 0)
            client.SendEvent(std::make_shared<EventTypes::EventCommandPickUpBlock>(static_cast<int16_t>(clientSent++)));
        if (now % 1000 < kFrameMs) {
            host.SendEvent(std::make_shared<EventClientIsAlive>(0));
            client.SendEvent(std::make_shared<EventClientIsAlive>(1));
        }

        host.Update(kFrameMs);
        relay.Pump(now);
        client.Update(kFrameMs);
        relay.Pump(now);

        for (const auto& e : clientIn) {
            if (auto* jump = dynamic_cast<const EventTypes::EventUpdateJump*>(e.get())) {
                ++jumpsSeen[jump->GetPayload()->actorId];
                continue;
            }
            const int seq = SequenceOf(*e);
            if (seq < 0) continue;
            if (seq != hostNext) inOrder = false;
            hostNext = seq + 1;
        }
        clientIn.clear();
        for (const auto& e : hostIn) {
            if (auto* pick = dynamic_cast<const EventTypes::EventCommandPickUpBlock*>(e.get())) {
                if (pick->GetPayload()->actorId != clientNext) inOrder = false;
                clientNext = pick->GetPayload()->actorId + 1;
            }
        }
        hostIn.clear();
        ASSERT_TRUE(inOrder) << profile.name << " at " << now << " ms";
        ASSERT_NE(host.GetPeer(1), nullptr) << "the host dropped the joined machine at " << now;
        ASSERT_NE(client.GetPeer(0), nullptr) << "the joined machine dropped the host at " << now;
    }
    EXPECT_EQ(hostNext, kHostReliable) << profile.name;
    EXPECT_EQ(clientNext, kClientReliable) << profile.name;
    int twice = 0;
    for (const auto& kv : jumpsSeen) twice += kv.second > 1;
    EXPECT_EQ(twice, 0) << profile.name;
    if (profile.loss == 0) {
        EXPECT_EQ(static_cast<int>(jumpsSeen.size()), jumpsSent);
    } else {
        EXPECT_GT(jumpsSeen.size(), 0u);
    }
    const auto& s = relay.GetStats();
    std::printf("relay %s: %.1f s simulated, host %llu datagrams %llu bytes, client %llu datagrams %llu bytes, "
                "lost %llu, duplicated %llu, resends host %llu client %llu\n",
                profile.name, now / 1000.0, (unsigned long long)s.datagrams[0], (unsigned long long)s.bytes[0],
                (unsigned long long)s.datagrams[1], (unsigned long long)s.bytes[1], (unsigned long long)s.lost,
                (unsigned long long)s.duplicated, (unsigned long long)host.GetPeer(1)->resends,
                (unsigned long long)client.GetPeer(0)->resends);
}

INSTANTIATE_TEST_SUITE_P(Profiles, RelayTest, ::testing::ValuesIn(kProfiles),
                         [](const ::testing::TestParamInfo<Profile>& info) { return std::string(info.param.name); });
