// The host's network view on a running match: what a newly confirmed
// machine is sent, and the host's keep-alive.
#include <gtest/gtest.h>

#include <thread>

#include "NetTestSupport.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/MiravGameLogic.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"
#include "networking/NetworkServerView.h"
#include "networking/Packet.h"
#include "support/Harness.h"

using namespace Networking;
using namespace NetTest;
using GameLogicView::GlobalGameState;

namespace {

using EventPtr = std::shared_ptr<EventSystem::IEvent>;

std::vector<EventPtr> EventsIn(const Bytes& datagram) {
    Packet p;
    std::vector<EventPtr> out;
    if (!p.ReadHeader(datagram.data(), static_cast<uint32_t>(datagram.size()))) return out;
    p.ResetCursor();
    const bool moves = p.IsMovePacket();
    for (int i = 0; i < p.eventCount; ++i) {
        EventPtr e = moves ? p.ReadBareMove() : p.ReadEvent();
        if (!e) break;
        out.push_back(e);
    }
    return out;
}

template <class E>
bool Is(const EventPtr& e) {
    return e->GetTypeHash() == E::GetStaticType().hash;
}

class ServerViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        UseNetworkSettings(Loopback());
        GameLogicView::NetworkServerView::KeepAliveTimer() = 0;
    }
    void TearDown() override { TestSupport::ResetSingletons(); }
};

}  // namespace

TEST_F(ServerViewTest, AConfirmedMachineGetsTheGameInOrderWithoutRemovedActors) {
    GlobalGameState* state = GlobalGameState::Instance();
    state->SetFlag(GlobalGameState::kSkipTutorial, 1);
    auto logic = std::make_shared<GameLogicView::MiravGameLogic>(nullptr);
    logic->SetTeamSizeOverride(2);
    auto view = std::make_shared<GameLogicView::NetworkServerView>(logic.get());
    logic->AddGameView(view);
    NetworkManager* host = view->GetManager();
    TestSupport::LogicStepper step(*logic);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameLogic>(0));
    ASSERT_TRUE(step.Until([&] { return host->IsGameStarted(); }, 200));
    step.Frames(5);

    // An actor the logic has since removed stays out of the snapshot.
    ASSERT_GT(host->CreatedActors().size(), 4u);
    const auto* victim = dynamic_cast<EventTypes::EventUpdateCreateActor*>(host->CreatedActors().back().get());
    const int16_t removed = victim->GetPayload()->actorId;
    logic->DeleteActor(static_cast<uint16_t>(removed));
    step.Frames(2);

    UdpSocket machine;
    Packet attempt(0);
    attempt.AddIndexedEvent(std::make_shared<EventClientConnect>(1));
    attempt.id = 1;
    attempt.WriteHeader();
    machine.SendTo(host->GetBoundPort(), Bytes(attempt.Data(), attempt.Data() + attempt.DatagramSize()));
    std::vector<EventPtr> got;
    for (int i = 0; i < 60; ++i) {
        step.Frame();
        for (Bytes d = machine.Receive(1); !d.empty(); d = machine.Receive(1))
            for (auto& e : EventsIn(d)) got.push_back(e);
    }
    ASSERT_TRUE(host->GetPeer(0));
    EXPECT_FALSE(host->GetPeer(0)->awaitingJoin);
    EXPECT_GE(host->GetPeer(0)->actorId, 0);
    EXPECT_EQ(host->GetPeer(0)->team, 1);

    // From the confirmation to the start: creations, held blocks, flags.
    size_t i = 0;
    while (i < got.size() && !Is<EventTypes::EventUpdateGameIDs>(got[i])) ++i;
    ASSERT_LT(i, got.size()) << "no confirmation";
    EXPECT_EQ(dynamic_cast<EventTypes::EventUpdateGameIDs*>(got[i].get())->GetPayload()->actorId,
              host->GetPeer(0)->actorId);
    int stage = 0, creates = 0, held = 0, flags = 0;
    std::vector<std::pair<uint8_t, Geometry::Vector3>> capturePoints;
    for (++i; i < got.size() && !Is<EventTypes::EventUpdateStartGame>(got[i]); ++i) {
        const EventPtr& e = got[i];
        if (Is<EventTypes::EventUpdateCreateActor>(e)) {
            EXPECT_EQ(stage, 0);
            ++creates;
            EXPECT_NE(dynamic_cast<EventTypes::EventUpdateCreateActor*>(e.get())->GetPayload()->actorId, removed);
        } else if (Is<EventTypes::EventUpdateCapPtCreated>(e)) {
            // After every creation, before the players' and flags' state.
            EXPECT_EQ(stage, 0);
            const auto* d = dynamic_cast<EventTypes::EventUpdateCapPtCreated*>(e.get())->GetPayload();
            capturePoints.emplace_back(d->team, d->position);
        } else if (Is<EventTypes::EventUpdateHeldBlocks>(e)) {
            if (stage == 0) {
                EXPECT_FALSE(capturePoints.empty()) << "capture points before held blocks";
            }
            EXPECT_LE(stage, 1);
            stage = 1;
            ++held;
        } else if (Is<EventTypes::EventUpdateFlagStatus>(e)) {
            stage = 2;
            ++flags;
        } else {
            ADD_FAILURE() << "unexpected " << e->GetTypeName() << " inside the snapshot";
        }
    }
    ASSERT_LT(i, got.size()) << "no start";
    // Every actor of the match then (more came since), each player once.
    EXPECT_GT(creates, 100);
    EXPECT_LE(static_cast<size_t>(creates), host->CreatedActors().size());
    EXPECT_EQ(held, 4);  // two per team; the joining player took over a bot
    EXPECT_GE(flags, 6);
    // The capture points the host's logic holds, each once with its team.
    std::vector<std::pair<uint8_t, Geometry::Vector3>> expected;
    for (uint8_t team = 0; team < 2; ++team)
        if (const auto* points = logic->GetCapMan()->GetCapturePoints(team))
            for (const auto& p : *points) expected.emplace_back(team, p);
    ASSERT_GE(expected.size(), 2u);
    ASSERT_EQ(capturePoints.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(capturePoints[k].first, expected[k].first) << k;
        EXPECT_EQ(capturePoints[k].second.x, expected[k].second.x) << k;
        EXPECT_EQ(capturePoints[k].second.y, expected[k].second.y) << k;
        EXPECT_EQ(capturePoints[k].second.z, expected[k].second.z) << k;
    }
    for (const auto& e : host->CreatedActors())
        EXPECT_NE(dynamic_cast<EventTypes::EventUpdateCreateActor*>(e.get())->GetPayload()->actorId, removed);

    logic->RemoveGameView(view->GetViewId());
    view.reset();
    EXPECT_EQ(NetworkManager::Instance(), nullptr);
}

TEST_F(ServerViewTest, KeepAliveEvery63UpdatesAndTheHostsOwnConfirmationStaysHome) {
    GameLogicView::NetworkServerView view(nullptr);
    TestSupport::EventRecorder rec;
    rec.Listen<EventClientIsAlive>();
    for (int i = 0; i < 62; ++i) view.OnUpdate(16);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<EventClientIsAlive>(), 0u);
    view.OnUpdate(16);
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(rec.Count<EventClientIsAlive>(), 1u);
    EXPECT_EQ(rec.Of<EventClientIsAlive>()[0]->GetPayload()->clientId, 0);
    EXPECT_EQ(GameLogicView::NetworkServerView::KeepAliveTimer(), 0u);

    EXPECT_TRUE(view.GetIgnoreNextJoinConfirmation());
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateGameIDs>(0, 3, 0));
    EventSystem::ProcessEventQueue();
    EXPECT_FALSE(view.GetIgnoreNextJoinConfirmation());
}

TEST_F(ServerViewTest, OnlyTheJoinedMachinesClassOfCollisionTravels) {
    GameLogicView::NetworkServerView view(nullptr);
    UdpSocket machine;
    view.GetManager()->OpenPeer(0, machine.Address());
    // The physics report and the report for joined machines share a name.
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateCollision>(
        0, 9.0f, Geometry::Vector3(1, 2, 3), Geometry::Vector3(0, 1, 0), 4, 1.0f, 5, 2.0f));
    EventTypes::EventUpdateCollisionData report;
    report.actorIdA = 6;
    report.actorIdB = 7;
    report.normalSpeed = 3.0f;
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateCollisionToClient>(report));
    EventSystem::ProcessEventQueue();
    for (int i = 0; i < 3; ++i) view.OnUpdate(16);
    std::vector<EventPtr> got;
    for (Bytes d = machine.Receive(200); !d.empty(); d = machine.Receive(20))
        for (auto& e : EventsIn(d)) got.push_back(e);
    ASSERT_EQ(got.size(), 1u);
    auto* hit = dynamic_cast<EventTypes::EventUpdateCollisionToClient*>(got[0].get());
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->GetPayload()->actorIdA, 6);
    EXPECT_EQ(view.GetManager()->GetStats().readErrors, 0u);
}
