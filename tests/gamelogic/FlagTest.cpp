// Flags: grabbed by walking in, captured at an enemy capture point, dropped,
// returned by a team-mate or a timer, and the snapshot a joining machine gets.
#include "MatchFixture.h"

#include <type_traits>

#include "gamelogic/Player.h"

namespace MatchTest {

class Flags : public MatchFixture {
protected:
    Flag* MakeFlag(uint8_t team, const Vector3& home) {
        ActorCreateInfo info;
        info.params.SetType(ActorTypes::kFlag);
        info.params.team = team;
        info.params.objectStateId = team == 0 ? 22 : 23;
        info.position = home;
        info.scale = Vector3(3, 3, 3);
        const ActorPtr actor = logic->CreateActor(info);
        return actor ? logic->GetFlagMan().GetFlag(actor->actorId) : nullptr;
    }
    // One run of the checks, then the delivery of what they reported.
    void Check() {
        logic->GetFlagMan().GetChecker()->OnUpdate(16);
        EventSystem::ProcessEventQueue();
    }
    // A drop as a carrier's throw or death reports it.
    void ReportDrop(Flag* flag, int16_t by = -1) {
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagDropped>(
            by, static_cast<int16_t>(flag->GetId()), static_cast<uint8_t>(0), flag->GetTeam()));
        EventSystem::ProcessEventQueue();
    }
};

static_assert(!std::is_copy_constructible_v<Flag> && !std::is_copy_assignable_v<Flag>,
              "a copy of a flag could cancel the original's return timer");

struct ReachCase {
    float distance;
    bool takes;
};

class FlagReach : public Flags, public ::testing::WithParamInterface<ReachCase> {};

// The pick-up distance 10 is a squared reach of about 3.16 units.
TEST_P(FlagReach, AnEnemyWalkingWithinReachTakesTheFlag) {
    const ReachCase c = GetParam();
    StartRules(0);
    Flag* flag = MakeFlag(1, Vector3(10, 1.5f, 0));
    ASSERT_NE(flag, nullptr);
    Player* mate = SpawnPlayer(1, Vector3(10, 1.5f, 2.0f));  // the flag's own team never takes it
    Player* enemy = SpawnPlayer(0, Vector3(10 + c.distance, 1.5f, 0));
    Check();
    EXPECT_EQ(flag->GetState(), c.takes ? FlagState::kCarried : FlagState::kHome);
    EXPECT_EQ(enemy->carryingFlag, c.takes ? 1 : 0);
    EXPECT_EQ(mate->carryingFlag, 0);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateFlagGrabbed>(), c.takes ? 1u : 0u);
    if (!c.takes) return;
    EXPECT_EQ(enemy->GetHeldBlock(), flag->GetBlockData());
    EXPECT_EQ(flag->GetCarrier(), enemy->GetActorId());
    const auto pick = recorder.Of<EventTypes::EventUpdatePickUpBlock>();
    ASSERT_EQ(pick.size(), 1u);
    EXPECT_EQ(pick[0]->GetPayload()->blockId, static_cast<int16_t>(flag->GetId()));
    EXPECT_EQ(pick[0]->GetPayload()->blockHalfExtents, Vector3(1.5f, 1.5f, 1.5f));
}

INSTANTIATE_TEST_SUITE_P(Distances, FlagReach, ::testing::Values(ReachCase{3.1f, true}, ReachCase{3.2f, false}));

TEST_F(Flags, AThrowerWaitsButATeamMateTakesAThrownFlagAtOnce) {
    StartRules(0);
    Flag* flag = MakeFlag(1, Vector3(10, 1.5f, 0));
    Player* thrower = SpawnPlayer(0, Vector3(12, 1.5f, 0));
    thrower->flagThrown = 1;
    Check();
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    Player* mate = SpawnPlayer(0, Vector3(8, 1.5f, 0));
    Check();
    EXPECT_EQ(flag->GetState(), FlagState::kCarried);
    EXPECT_EQ(flag->GetCarrier(), mate->GetActorId());
    EXPECT_EQ(thrower->carryingFlag, 0);
}

TEST_F(Flags, CarryingTheFlagToAnEnemyCapturePointCapturesIt) {
    StartRules(0);
    Flag* flag = MakeFlag(1, Vector3(10, 1.5f, 0));
    const uint16_t flagId = flag->GetId();
    logic->AddCapturePoint(Vector3(-20, 3, 0), 0);
    logic->AddCapturePoint(Vector3(30, 3, 0), 1);  // its own team's: no capture there
    Player* carrier = SpawnPlayer(0, Vector3(12, 1.5f, 0));
    const BlockPtr pouched = carrier->GetHeldBlock();
    Check();
    ASSERT_EQ(flag->GetState(), FlagState::kCarried);
    Place(carrier, Vector3(30, 1.5f, 0));
    carrier->UpdateHeldBlock();
    Check();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateFlagCaptured>(), 0u);

    Place(carrier, Vector3(-20, 1.5f, 0));
    carrier->UpdateHeldBlock();  // the flag rides 2 units above: within reach
    Check();
    const auto captured = recorder.Of<EventTypes::EventUpdateFlagCaptured>();
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0]->GetPayload()->actorId, static_cast<int16_t>(carrier->GetActorId()));
    EXPECT_EQ(captured[0]->GetPayload()->team, 0);
    EXPECT_EQ(captured[0]->GetPayload()->flagTeam, 1);
    EXPECT_EQ(captured[0]->GetPayload()->flagId, static_cast<int16_t>(flagId));
    EXPECT_EQ(captured[0]->GetPayload()->position, Vector3(-20, 3, 0));
    EXPECT_EQ(logic->GetFlagMan().GetFlag(flagId), nullptr);
    EXPECT_EQ(logic->GetActor(flagId), nullptr);
    EXPECT_EQ(logic->GetBlock(flagId), nullptr);
    EXPECT_EQ(logic->GetScoreMan()->GetFlagsLeft(1), 2);
    // The carrier's hand takes the oldest pouched block again.
    EXPECT_EQ(carrier->carryingFlag, 0);
    EXPECT_TRUE(carrier->HasHeldBlock());
    EXPECT_NE(carrier->GetHeldBlock(), pouched);
}

TEST_F(Flags, ADroppedFlagReturnsOnItsTimer) {
    RulesSettings s;
    s.flagRespawnTime = 500;
    SetRulesSettings(s);
    StartRules(0);
    Flag* flag = MakeFlag(0, Vector3(-10, 1.5f, 0));
    flag->GetActor()->body->SetPosition(Vector3(-10, 1.5f, 6));
    ReportDrop(flag, 3);
    EXPECT_EQ(flag->GetState(), FlagState::kDropped);
    EXPECT_TRUE(flag->HasReturnTimer());
    // Flags added meanwhile and look-ups do not touch the timer.
    MakeFlag(0, Vector3(-14, 1.5f, 0));
    MakeFlag(1, Vector3(14, 1.5f, 0));
    EXPECT_TRUE(logic->GetFlagMan().GetFlag(flag->GetId())->HasReturnTimer());
    Run(480);
    EXPECT_EQ(flag->GetState(), FlagState::kDropped);
    Run(64);
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    const auto back = recorder.Of<EventTypes::EventUpdateFlagRecovered>();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->GetPayload()->actorId, -1);
    EXPECT_EQ(back[0]->GetPayload()->fromPosition, Vector3(-10, 1.5f, 6));
    EXPECT_EQ(back[0]->GetPayload()->homePosition, Vector3(-10, 1.5f, 0));
    EXPECT_EQ(flag->GetPosition(), Vector3(-10, 1.5f, 0));
}

TEST_F(Flags, AGrabCancelsTheReturnTimer) {
    RulesSettings s;
    s.flagRespawnTime = 100;
    SetRulesSettings(s);
    StartRules(0);
    Flag* flag = MakeFlag(0, Vector3(-10, 1.5f, 0));
    ReportDrop(flag);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagGrabbed>(
        static_cast<int16_t>(7), static_cast<int16_t>(flag->GetId()), static_cast<uint8_t>(1), static_cast<uint8_t>(0)));
    EventSystem::ProcessEventQueue();
    EXPECT_FALSE(flag->HasReturnTimer());
    Run(300);
    EXPECT_EQ(flag->GetState(), FlagState::kCarried);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateFlagRecovered>(), 0u);
}

TEST_F(Flags, ALivingTeamMateReturnsADroppedFlagADeadOneDoesNot) {
    RulesSettings s;
    s.flagRespawnTime = 100000;
    SetRulesSettings(s);
    StartRules(0);
    Flag* flag = MakeFlag(0, Vector3(-10, 1.5f, 0));
    flag->GetActor()->body->SetPosition(Vector3(-10, 1.5f, 10));
    ReportDrop(flag);
    Player* mate = SpawnPlayer(0, Vector3(-10, 1.5f, 12));
    mate->dead = 1;
    Check();
    EXPECT_EQ(flag->GetState(), FlagState::kDropped);
    mate->dead = 0;
    Check();
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    const auto back = recorder.Of<EventTypes::EventUpdateFlagRecovered>();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->GetPayload()->actorId, static_cast<int16_t>(mate->GetActorId()));
}

TEST_F(Flags, AHomeFlagKnockedAwayIsDroppedAndReturns) {
    StartRules(0);  // RespawnTime 0: back at the next update
    Flag* flag = MakeFlag(1, Vector3(10, 1.5f, 0));
    flag->GetActor()->body->SetPosition(Vector3(12, 1.5f, 0));  // 2 units: 4 < 10
    Check();
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateFlagDropped>(), 0u);
    flag->GetActor()->body->SetPosition(Vector3(10, 9.5f, 4));  // height ignored, 16 > 10
    Check();
    const auto drops = recorder.Of<EventTypes::EventUpdateFlagDropped>();
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0]->GetPayload()->actorId, -1);
    EXPECT_EQ(drops[0]->GetPayload()->team, 255);
    EXPECT_EQ(flag->GetState(), FlagState::kDropped);
    Run(32);
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateFlagRecovered>(), 1u);
}

TEST_F(Flags, ADroppedFlagLyingAtAnEnemyCapturePointIsCaptured) {
    RulesSettings s;
    s.flagRespawnTime = 100000;
    SetRulesSettings(s);
    StartRules(0);
    logic->AddCapturePoint(Vector3(20, 3, 0), 1);
    Flag* flag = MakeFlag(0, Vector3(-10, 1.5f, 0));
    flag->GetActor()->body->SetPosition(Vector3(20, 1.5f, 1));
    ReportDrop(flag);
    Check();
    const auto captured = recorder.Of<EventTypes::EventUpdateFlagCaptured>();
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0]->GetPayload()->actorId, -1);  // nobody ever carried it
    EXPECT_EQ(captured[0]->GetPayload()->team, 1);
    EXPECT_EQ(logic->GetScoreMan()->GetFlagsLeft(0), 2);
}

TEST_F(Flags, TheSnapshotCountsLostFlagsFromTheConfiguredNumber) {
    RulesSettings s;
    s.numFlags = 5;
    s.flagRespawnTime = 100000;
    SetRulesSettings(s);
    StartRules(0);
    Flag* home = MakeFlag(0, Vector3(-10, 1.5f, 0));
    Flag* dropped = MakeFlag(1, Vector3(10, 1.5f, 0));
    ReportDrop(dropped);
    logic->GetScoreMan()->OnFlagCaptured(1);
    logic->GetScoreMan()->OnFlagCaptured(1);
    const auto events = logic->GetFlagMan().StatusSnapshot();
    ASSERT_EQ(events.size(), 4u);
    auto status = [&](size_t i) {
        return std::dynamic_pointer_cast<EventTypes::EventUpdateFlagStatus>(events[i])->GetPayload();
    };
    EXPECT_EQ(status(0)->flagId, static_cast<int16_t>(home->GetId()));
    EXPECT_EQ(status(0)->status, 0);
    EXPECT_EQ(status(1)->flagId, static_cast<int16_t>(dropped->GetId()));
    EXPECT_EQ(status(1)->status, 2);
    for (size_t i = 2; i < 4; ++i) {
        EXPECT_EQ(status(i)->flagId, -1);
        EXPECT_EQ(status(i)->status, 3);  // team 1 lost these
    }
}

TEST_F(Flags, TheCentreOfATeamsFlagsLeavesOutCarriedOnes) {
    StartRules(0);
    MakeFlag(1, Vector3(10, 1.5f, 0));
    MakeFlag(1, Vector3(20, 1.5f, 4));
    Flag* carried = MakeFlag(1, Vector3(90, 1.5f, 0));
    carried->SetState(FlagState::kCarried);
    Vector3 centre;
    logic->GetFlagMan().GetFlagCentre(centre, 1);
    EXPECT_EQ(centre, Vector3(15, 1.5f, 2));
    logic->GetFlagMan().GetFlagCentre(centre, 0);
    EXPECT_EQ(centre, Vector3());
}

}  // namespace MatchTest
