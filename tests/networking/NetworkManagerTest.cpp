// The network manager on loopback: what one flush packs, what the receive
// path does with whole, duplicated, foreign and oversized datagrams, the
// silence rule, and carrying on after socket failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "NetTestSupport.h"
#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "networking/BaseEventHandler.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"
#include "networking/Packet.h"
#include "support/Harness.h"
#include "utility/Diagnostics.h"
#include "support/TempPath.h"

using namespace Networking;
using namespace NetTest;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

std::shared_ptr<EventSystem::IEvent> Move(int16_t actor, float x = 0) {
    return std::make_shared<EventTypes::EventUpdateActorMove>(actor, Vector3(x, 0, 0), Quaternion(1, 0, 0, 0));
}

std::shared_ptr<EventSystem::IEvent> Hit(int16_t a, int16_t b, float speed) {
    EventTypes::EventUpdateCollisionData report;
    report.actorIdA = a;
    report.actorIdB = b;
    report.normalSpeed = speed;
    return std::make_shared<EventTypes::EventUpdateCollisionToClient>(report);
}

// Reads every event of a queued packet back.
std::vector<std::shared_ptr<EventSystem::IEvent>> EventsOf(const Packet& queued) {
    Packet p;
    p.ReadHeader(queued.Data(), queued.used);
    p.ResetCursor();
    const bool moves = p.IsMovePacket();
    std::vector<std::shared_ptr<EventSystem::IEvent>> out;
    for (int i = 0; i < p.eventCount; ++i) out.push_back(moves ? p.ReadBareMove() : p.ReadEvent());
    return out;
}

class ConsumeJumps : public BasicEventHandler {
public:
    using BasicEventHandler::BasicEventHandler;
    bool HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>& e) override {
        return e->GetTypeHash() == EventTypes::EventUpdateJump::GetStaticType().hash;
    }
};

class NetworkManagerTest : public ::testing::Test {
protected:
    void SetUp() override { TestSupport::ResetSingletons(); }
    void TearDown() override { TestSupport::ResetSingletons(); }

    // A host manager with one peer (a plain socket) in slot 1.
    std::unique_ptr<NetworkManager> Host() {
        auto m = std::make_unique<NetworkManager>(true, Loopback(), &incoming);
        m->OpenPeer(1, peer.Address());
        return m;
    }

    // Sends a datagram from the peer's socket and lets the manager read it.
    void Deliver(NetworkManager& m, const Packet& p) {
        peer.SendTo(m.GetBoundPort(), Bytes(p.Data(), p.Data() + p.DatagramSize()));
        m.ReceivePackets();
    }

    Packet From(uint8_t sender, uint16_t id, uint16_t prev, uint16_t ack,
                std::vector<std::shared_ptr<EventSystem::IEvent>> events) {
        Packet p(sender);
        for (auto& e : events) p.AddIndexedEvent(e);
        p.id = id;
        p.previousReliableId = prev;
        p.ack = ack;
        p.WriteHeader();
        return p;
    }

    std::vector<int16_t> DeletedIds() const {
        std::vector<int16_t> ids;
        for (const auto& e : incoming)
            if (auto d = std::dynamic_pointer_cast<EventTypes::EventUpdateDeleteActor>(e))
                ids.push_back(d->GetPayload()->actorId);
        return ids;
    }

    UdpSocket peer;
    NetworkManager::EventList incoming;
};

}  // namespace

TEST(FlushPeriodTest, FramerateGivesTruncatedPeriodAndNonsenseGivesTheDefault) {
    const std::pair<float, uint32_t> cases[] = {{60, 16}, {30, 33}, {100, 10}, {0, 16},
                                                {-5, 16}, {1e9f, 1}, {std::nanf(""), 16}};
    for (const auto& c : cases) EXPECT_EQ(FlushPeriodForFramerate(c.first), c.second) << c.first;
}

TEST(NetworkSettingsTest, ReadsPortAndAddressesAndKeepsDefaultsForBadValues) {
    const std::string file = TestSupport::TempPath("net_settings.ini");
    FILE* f = fopen(file.c_str(), "w");
    fputs("[NETWORK]\nPort = 9123\nAnnouncementAddress = 127.0.0.255\nBindAddress = 300.1.1.1\n", f);
    fclose(f);
    std::vector<std::string> problems;
    Utility::SetProblemSink([&](Utility::Severity, const std::string& m) { problems.push_back(m); });
    NetworkSettings s = LoadNetworkSettings(file);
    Utility::SetProblemSink(nullptr);
    EXPECT_EQ(s.port, 9123);
    EXPECT_EQ(s.announcementAddress, "127.0.0.255");
    EXPECT_EQ(s.bindAddress, "0.0.0.0");
    EXPECT_EQ(problems.size(), 1u);
    NetworkSettings shipped = LoadNetworkSettings("Config/Networking.ini");
    EXPECT_EQ(shipped.port, 8003);
    EXPECT_EQ(shipped.announcementAddress, "255.255.255.255");
    std::remove(file.c_str());
}

TEST_F(NetworkManagerTest, FlushKeepsTheLatestMovePerActorInActorOrderAndReliableEventsFirst) {
    auto m = Host();
    m->SendEvent(Move(9, 1));
    m->SendEvent(std::make_shared<EventTypes::EventUpdateJump>(4));
    m->SendEvent(Move(2, 1));
    m->SendEvent(Move(9, 2));
    m->SendEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(5));
    m->SendEvent(Hit(3, 5, 1));
    m->SendEvent(Hit(5, 3, 2));
    m->SendEvent(Hit(3, 5, 3));
    m->SendEvent(std::make_shared<EventTypes::EventUpdateBlockActive>(8));
    m->SendEvent(std::make_shared<EventTypes::EventUpdateBlockActive>(8));
    m->PackOutgoingEvents();
    Connection* c = m->GetPeer(1);
    ASSERT_EQ(c->pending.size(), 2u);

    const Packet& normal = c->pending.front();
    EXPECT_EQ(normal.reliable, 1);
    auto events = EventsOf(normal);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_STREQ(events[0]->GetTypeName(), "LtVEventUpdateDeleteActor");
    EXPECT_STREQ(events[1]->GetTypeName(), "LtVBlockInactive");
    EXPECT_STREQ(events[2]->GetTypeName(), "LtVUpdateJump");
    auto hit1 = std::dynamic_pointer_cast<EventTypes::EventUpdateCollisionToClient>(events[3]);
    auto hit2 = std::dynamic_pointer_cast<EventTypes::EventUpdateCollisionToClient>(events[4]);
    ASSERT_TRUE(hit1 && hit2);
    EXPECT_EQ(hit1->GetPayload()->actorIdA, 3);
    EXPECT_EQ(hit1->GetPayload()->normalSpeed, 3.0f);
    EXPECT_EQ(hit2->GetPayload()->actorIdA, 5);

    const Packet& moves = c->pending.back();
    EXPECT_EQ(moves.reliable, 0);
    auto moved = EventsOf(moves);
    ASSERT_EQ(moved.size(), 2u);
    auto first = std::dynamic_pointer_cast<EventTypes::EventUpdateActorMove>(moved[0]);
    auto second = std::dynamic_pointer_cast<EventTypes::EventUpdateActorMove>(moved[1]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetPayload()->actorId, 2);
    EXPECT_EQ(second->GetPayload()->actorId, 9);
    EXPECT_EQ(second->GetPayload()->position.x, 2.0f);
}

TEST_F(NetworkManagerTest, ThirtyFourMovesMakeTwoMovePacketsAndNothingMakesNone) {
    auto m = Host();
    m->PackOutgoingEvents();
    EXPECT_TRUE(m->GetPeer(1)->pending.empty());
    for (int16_t a = 0; a < 34; ++a) m->SendEvent(Move(a));
    m->PackOutgoingEvents();
    const auto& pending = m->GetPeer(1)->pending;
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending.front().eventCount, 33);
    EXPECT_EQ(pending.front().used, 14 + 1 + 33 * 30);
    EXPECT_EQ(pending.back().eventCount, 1);
    for (const Packet& p : pending) EXPECT_EQ(p.Data()[14], 6);
}

TEST_F(NetworkManagerTest, ConsumedEventsAreNotPackedAndWithoutPeersNothingIsQueued) {
    auto m = Host();
    m->SetHandler(std::make_unique<ConsumeJumps>(*m));
    m->SendEvent(std::make_shared<EventTypes::EventUpdateJump>(4));
    // The physics report shares the collision's type name but has no wire form.
    m->SendEvent(std::make_shared<EventTypes::EventUpdateCollision>(0, 1.0f, Vector3(), Vector3(0, 1, 0), 3, 1.0f, 5,
                                                                    1.0f));
    m->PackOutgoingEvents();
    EXPECT_TRUE(m->GetPeer(1)->pending.empty());
    m->ClosePeer(1);
    m->SendEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(5));
    m->PackOutgoingEvents();
    m->OpenPeer(1, peer.Address());
    m->PackOutgoingEvents();
    EXPECT_TRUE(m->GetPeer(1)->pending.empty());
}

TEST_F(NetworkManagerTest, PacksOnceThePeriodIsExceededAndSendsEveryUpdate) {
    auto m = Host();
    const uint32_t period = NetworkManager::FlushPeriod();
    m->SendEvent(std::make_shared<EventTypes::EventUpdateJump>(4));
    m->Update(period);  // not more than the period: nothing packed
    EXPECT_TRUE(peer.Receive(50).empty());
    m->Update(1);
    const Bytes got = peer.Receive();
    ASSERT_EQ(got.size(), 18u);
    EXPECT_EQ(got[14], 32);
}

TEST_F(NetworkManagerTest, HeldPacketIsDeliveredAfterItsPredecessorAndDuplicatesAreDropped) {
    auto m = Host();
    using EventTypes::EventUpdateDeleteActor;
    m->GetPeer(1)->lastReliableReceived = 3;
    const Packet a = From(1, 5, 3, 0, {std::make_shared<EventUpdateDeleteActor>(50)});
    const Packet b = From(1, 7, 5, 0, {std::make_shared<EventUpdateDeleteActor>(70)});
    Deliver(*m, b);
    EXPECT_TRUE(incoming.empty());
    EXPECT_EQ(m->GetPeer(1)->held.size(), 1u);
    Deliver(*m, b);  // its re-send is not held twice
    EXPECT_EQ(m->GetPeer(1)->held.size(), 1u);
    Deliver(*m, a);
    EXPECT_EQ(DeletedIds(), (std::vector<int16_t>{50, 70}));
    EXPECT_EQ(m->GetPeer(1)->lastReliableReceived, 7);
    Deliver(*m, a);
    Deliver(*m, b);
    EXPECT_EQ(DeletedIds().size(), 2u);
    EXPECT_TRUE(m->GetPeer(1)->held.empty());
}

TEST_F(NetworkManagerTest, UnreliablePacketIsDeliveredOnceAndItsAckCounts) {
    auto m = Host();
    Connection* c = m->GetPeer(1);
    Packet mine(0);
    mine.AddIndexedEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(1));
    c->QueuePacket(mine, 0);
    c->SendPending();
    ASSERT_EQ(c->unacknowledged.size(), 1u);
    peer.Receive();

    const Packet jump = From(1, 900, 12, 1, {std::make_shared<EventTypes::EventUpdateJump>(3)});
    Deliver(*m, jump);
    Deliver(*m, jump);
    EXPECT_EQ(incoming.size(), 1u);
    EXPECT_TRUE(c->unacknowledged.empty());
}

TEST_F(NetworkManagerTest, PacketsFromNoPeerOnlyGoUpWhenUnreliable) {
    auto m = Host();
    using EventTypes::EventUpdateDeleteActor;
    // Sender 2 names an empty slot; sender 1 names a peer at another address.
    Deliver(*m, From(2, 1, 0, 0, {std::make_shared<EventUpdateDeleteActor>(20)}));
    EXPECT_TRUE(incoming.empty());
    EXPECT_TRUE(m->GetPeer(1)->held.empty());
    UdpSocket stranger;
    const Packet spoof = From(1, 1, 0, 0, {std::make_shared<EventUpdateDeleteActor>(21)});
    stranger.SendTo(m->GetBoundPort(), Bytes(spoof.Data(), spoof.Data() + spoof.DatagramSize()));
    m->ReceivePackets();
    EXPECT_TRUE(incoming.empty());
    EXPECT_EQ(m->GetPeer(1)->lastReliableReceived, 0);
    // Unreliable: delivered whoever sent it (the handshake relies on it).
    Deliver(*m, From(7, 1, 0, 0, {std::make_shared<EventClientConnect>(1)}));
    ASSERT_EQ(incoming.size(), 1u);
    EXPECT_STREQ(incoming[0]->GetTypeName(), "ClientConnectionAttempt");
}

TEST_F(NetworkManagerTest, OversizedAndForeignDatagramsAreDroppedAndTheNextOneStillArrives) {
    auto m = Host();
    Bytes big(2000, 0);
    const Packet ok = From(1, 1, 0, 0, {std::make_shared<EventTypes::EventUpdateJump>(3)});
    std::copy(ok.Data(), ok.Data() + ok.used, big.begin());  // a valid head on a datagram too long
    peer.SendTo(m->GetBoundPort(), big);
    peer.SendTo(m->GetBoundPort(), Hex("4D 69 72"));
    peer.SendTo(m->GetBoundPort(), Hex("4E 69 72 61 76 00 01 00 00 00 00 00 01 01 20 03 00"));
    Deliver(*m, From(1, 2, 0, 0, {std::make_shared<EventTypes::EventUpdateJump>(4)}));
    ASSERT_EQ(incoming.size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<EventTypes::EventUpdateJump>(incoming[0])->GetPayload()->actorId, 4);
    EXPECT_EQ(m->GetStats().dropped, 3u);
}

TEST_F(NetworkManagerTest, KeepAlivesHoldAPeerAndSilenceDropsIt) {
    auto m = Host();
    TestSupport::EventRecorder rec;
    rec.Listen<EventClientToBot>();
    m->SetConnectedCount(1);
    m->GetPeer(1)->actorId = 12;
    m->GetPeer(1)->team = 1;
    m->Update(6000);
    Deliver(*m, From(1, 1, 0, 0, {std::make_shared<EventClientIsAlive>(1)}));
    EXPECT_TRUE(incoming.empty());  // the keep-alive is the network's own
    m->Update(6000);
    ASSERT_NE(m->GetPeer(1), nullptr);
    m->Update(4001);
    EXPECT_EQ(m->GetPeer(1), nullptr);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(rec.Count<EventClientToBot>(), 1u);
    EXPECT_EQ(rec.Of<EventClientToBot>()[0]->GetPayload()->actorId, 12);
    EXPECT_EQ(GameLogicView::GlobalGameState::Instance()->GetFlag(GameLogicView::GlobalGameState::kMachines), 1);
}

TEST_F(NetworkManagerTest, ATakenPortIsLoggedAndTheManagerCarriesOn) {
    auto first = Host();
    NetworkSettings same = Loopback();
    same.port = first->GetBoundPort();
    NetworkManager second(false, same, &incoming);
    EXPECT_EQ(second.GetBoundPort(), 0);  // not bound
    second.OpenPeer(0, peer.Address());
    second.SendEvent(std::make_shared<EventTypes::EventUpdateJump>(4));
    for (int i = 0; i < 3; ++i) second.Update(17);
    EXPECT_EQ(peer.Receive().size(), 18u);  // sending still works
}

TEST_F(NetworkManagerTest, ReliablePacketIsAcknowledgedByAnEmptyPacketWhenNothingElseGoes) {
    auto m = Host();
    Deliver(*m, From(1, 4, 0, 0, {std::make_shared<EventTypes::EventUpdateDeleteActor>(1)}));
    ASSERT_EQ(incoming.size(), 1u);
    m->Update(1);
    const Bytes ack = peer.Receive();
    ASSERT_EQ(ack.size(), 15u);  // a bare header and the trailing byte
    EXPECT_EQ(ack[5], 0);        // not reliable
    EXPECT_EQ(ack[10], 4);       // acknowledges packet 4
    EXPECT_EQ(ack[13], 0);       // no events
    // Owed once: the next update sends nothing.
    m->Update(1);
    EXPECT_TRUE(peer.Receive(50).empty());
    // When an event goes anyway, it carries the acknowledgement alone.
    Deliver(*m, From(1, 6, 4, 0, {std::make_shared<EventTypes::EventUpdateDeleteActor>(2)}));
    m->SendEvent(std::make_shared<EventTypes::EventUpdateJump>(3));
    m->Update(NetworkManager::FlushPeriod() + 1);
    const Bytes jump = peer.Receive();
    ASSERT_EQ(jump.size(), 18u);
    EXPECT_EQ(jump[10], 6);
    EXPECT_TRUE(peer.Receive(50).empty());
}
