// The AI in a real match: the logic starts a game on a shipped level, its
// bots spawn into Idle, take roles, and follow the local player's whistle.
#include <gtest/gtest.h>

#include <vector>

#include "ai/BotGameView.h"
#include "ai/Idle.h"
#include "ai/TeamMan.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/MatchFixture.h"

namespace {

class AIMatch : public MatchTest::MatchFixture {};

}  // namespace

TEST_F(AIMatch, BotsSpawnTakeRolesAndFollowTheLocalPlayersWhistle) {
    recorder.Listen<EventTypes::EventUpdateBotFollowPlayer>();
    // No bot tutors the local player (a tutor is not recruited).
    GameLogicView::GlobalGameState::Instance()->SetFlag(GameLogicView::GlobalGameState::kSkipTutorial, 1);
    StartGame(0);
    AI::AIMan* ai = AI::AIMan::Instance();
    ASSERT_NE(ai, nullptr);
    stepper->Frames(120);

    for (uint8_t t : {0, 1}) {
        AI::TeamMan* team = ai->GetTeam(t);
        std::vector<Geometry::Vector3> guards;
        logic->GetGuardPoints(guards, t);
        const int32_t quota = ai->GetSettings().defenseQuota;
        EXPECT_EQ(team->GetDefenders(), std::min<int32_t>(quota, static_cast<int32_t>(guards.size())));
        EXPECT_GT(team->GetAttackers(), 0);
        for (const auto& bot : team->GetBots()) {
            ASSERT_FALSE(bot->GetPlayer()->IsDead());
            EXPECT_NE(bot->GetRole(), AI::Role::kNone) << bot->GetName();
            EXPECT_GT(bot->StackSize(), 0u) << bot->GetName();  // spawned: a machine runs
        }
    }

    // The local player (team 0) is the team's human; its whistle recruits.
    AI::TeamMan* team0 = ai->GetTeam(0);
    ASSERT_EQ(team0->GetPlayers().size(), 1u);
    const GameLogicView::Player* human = team0->GetPlayers()[0]->player;
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandWhistle>(static_cast<int16_t>(human->GetActorId())));
    stepper->Frames(2);
    AI::Squad* squad = team0->GetSquadMan().FindByLeader(human);
    ASSERT_TRUE(squad);
    EXPECT_EQ(squad->Size(), team0->GetBots().size());  // three bots, three slots
    auto follows = recorder.Of<EventTypes::EventUpdateBotFollowPlayer>();
    ASSERT_EQ(follows.size(), squad->Size());
    for (const auto& f : follows) {
        EXPECT_EQ(f->GetPayload()->leaderId, static_cast<int16_t>(human->GetActorId()));
        EXPECT_EQ(f->GetPayload()->following, 1);
    }
}
