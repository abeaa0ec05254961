// The bots in play: a player handed to a bot while alive plays at once; a
// flag carrier heads for its team's capture point; a whole match on a shipped
// level ends with a winner.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ai/BehaviourSelection.h"
#include "ai/BotGameView.h"
#include "ai/AStar.h"
#include "ai/FollowPath.h"
#include "ai/ReachUp.h"
#include "ai/TeamMan.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/MatchFixture.h"

using Geometry::Vector3;

namespace {

class MatchPlay : public MatchTest::MatchFixture {
protected:
    void SetUp() override {
        MatchFixture::SetUp();
        GameLogicView::GlobalGameState::Instance()->SetFlag(GameLogicView::GlobalGameState::kSkipTutorial, 1);
        recorder.Listen<EventTypes::EventUpdateTeamVictory>();
    }
    uint16_t LocalPlayer() {
        const auto ids = recorder.Of<EventTypes::EventUpdateGameIDs>();
        return ids.empty() ? 0xFFFF : static_cast<uint16_t>(ids.front()->GetPayload()->actorId);
    }
};

}  // namespace

TEST_F(MatchPlay, APlayerHandedToABotWhileAlivePlaysAtOnce) {
    StartGame(0);
    const uint16_t local = LocalPlayer();
    ASSERT_NE(local, 0xFFFF);
    GameLogicView::Player* player = logic->GetPlayerManager().GetPlayer(local);
    ASSERT_TRUE(stepper->Until([&] { return !player->IsDead(); }, 200));
    AI::AIMan* ai = AI::AIMan::Instance();
    ASSERT_TRUE(ai->GetTeam(0)->FindPlayer(local));

    EventSystem::QueueEvent(std::make_shared<Networking::EventClientToBot>(static_cast<int16_t>(local), 0));
    stepper->Frame();  // delivered: the bot exists and idles already
    AI::BotGameView* bot = ai->GetBot(local);
    ASSERT_NE(bot, nullptr);
    EXPECT_FALSE(ai->GetTeam(0)->FindPlayer(local));
    EXPECT_GT(bot->StackSize(), 0u);
    EXPECT_FALSE(bot->GetBehaviour().empty());
    // It takes a role and a behaviour at the next steps, alive all along.
    stepper->Frames(3);
    EXPECT_NE(bot->GetRole(), AI::Role::kNone);
    EXPECT_NE(bot->GetBehaviour(), "IDLE");
    EXPECT_FALSE(player->IsDead());
}

TEST_F(MatchPlay, APlayerHandedOverWhileDeadWaitsForItsSpawn) {
    StartGame(0);
    const uint16_t local = LocalPlayer();
    GameLogicView::Player* player = logic->GetPlayerManager().GetPlayer(local);
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(player->IsDead());  // not yet in the game
    EventSystem::QueueEvent(std::make_shared<Networking::EventClientToBot>(static_cast<int16_t>(local), 0));
    stepper->Frame();
    AI::BotGameView* bot = AI::AIMan::Instance()->GetBot(local);
    ASSERT_NE(bot, nullptr);
    if (player->IsDead()) {
        EXPECT_EQ(bot->StackSize(), 0u);
    }
    ASSERT_TRUE(stepper->Until([&] { return !player->IsDead(); }, 200));
    stepper->Frames(2);
    EXPECT_GT(bot->StackSize(), 0u);
}

TEST_F(MatchPlay, AFlagCarrierHeadsForItsTeamsCapturePoint) {
    StartGame(0);
    stepper->Frames(2);
    AI::AIMan* ai = AI::AIMan::Instance();
    AI::BotGameView* bot = ai->GetTeam(1)->GetBots().front().get();
    const auto* points = logic->GetCapMan()->GetCapturePoints(1);
    ASSERT_TRUE(points && !points->empty());
    AI::DoCaptureFlag(*bot);
    ASSERT_EQ(bot->GetPlan().size(), 2u);
    const auto& walk = dynamic_cast<const AI::FollowPath&>(*bot->GetPlan()[0]);
    EXPECT_EQ(walk.GetGoal(), points->front() - Vector3(0.0f, 3.0f, 0.0f));
    // Arrival by the capture rule: the point's level or, where the floor
    // round it was knocked away, the floor left below, never a ledge above
    // it; from below the carrier jumps up to the point.
    ASSERT_TRUE(walk.HasGoalBox());
    EXPECT_EQ(walk.GoalBoxLow(), Vector3(-1.0f, -4.0f, -1.0f));
    EXPECT_EQ(walk.GoalBoxHigh(), Vector3(1.0f, 0.0f, 1.0f));
    const auto& reach = dynamic_cast<const AI::ReachUp&>(*bot->GetPlan()[1]);
    EXPECT_FLOAT_EQ(reach.GetTopY(), points->front().y - 2.0f);
}

TEST_F(MatchPlay, BotsOnBothTeamsPlayAShippedLevelToAVictory) {
    // Both teams' bots, the local player handed to one of them; within ten
    // game minutes one team has captured every enemy flag. Searches are timed
    // by the work they do, so the match plays the same at any build speed.
    StartGame(0);
    uint64_t readings = 0;
    AI::AIMan::Instance()->GetAStar().SetMillisecondClock([&readings] { return ++readings / 2000; });
    const uint16_t local = LocalPlayer();
    EventSystem::QueueEvent(std::make_shared<Networking::EventClientToBot>(static_cast<int16_t>(local), 0));
    const bool won = stepper->Until(
        [&] { return recorder.Count<EventTypes::EventUpdateTeamVictory>() > 0; }, 10 * 60 * 1000 / 16);
    ASSERT_TRUE(won);
    const auto victory = recorder.Of<EventTypes::EventUpdateTeamVictory>().front();
    const uint8_t winner = victory->GetPayload()->team;
    int captures = 0;
    for (const auto& c : recorder.Of<EventTypes::EventUpdateFlagCaptured>())
        if (c->GetPayload()->team == winner) ++captures;
    EXPECT_EQ(captures, 3);
}
