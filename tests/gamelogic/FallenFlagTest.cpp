// A flag at home knocked down through the floor counts as moved: it is
// dropped and comes home on its timer, instead of falling for ever where
// nobody can take it.
#include "MatchFixture.h"

namespace MatchTest {

class FallenFlag : public MatchFixture {};

TEST_F(FallenFlag, AHomeFlagBelowTheFloorIsDroppedAndReturnsHome) {
    StartRules(0);  // RespawnTime 0: back at the next update
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kFlag);
    info.params.team = 1;
    info.params.objectStateId = 23;
    info.position = Vector3(10, 1.5f, 0);
    info.scale = Vector3(3, 3, 3);
    const ActorPtr actor = logic->CreateActor(info);
    Flag* flag = logic->GetFlagMan().GetFlag(actor->actorId);
    ASSERT_NE(flag, nullptr);
    auto check = [&] {
        logic->GetFlagMan().GetChecker()->OnUpdate(16);
        EventSystem::ProcessEventQueue();
    };
    // Sunk a little into the floor: still at home.
    flag->GetActor()->body->SetPosition(Vector3(10, -2.0f, 0));
    check();
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    // Straight below its home, out of the level.
    flag->GetActor()->body->SetPosition(Vector3(10, -500.0f, 0));
    check();
    EXPECT_EQ(flag->GetState(), FlagState::kDropped);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateFlagDropped>(), 1u);
    Run(32);
    EXPECT_EQ(flag->GetState(), FlagState::kHome);
    EXPECT_EQ(flag->GetPosition(), Vector3(10, 1.5f, 0));
}

}  // namespace MatchTest
