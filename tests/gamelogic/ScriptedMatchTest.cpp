// A whole match on a shipped level without a window: the game starts, the
// local player walks into the enemy flags one after another and carries each
// to its own capture point, the third capture wins, the game over follows and
// the logic resets; the next match starts. Behind the menus nobody wins.
#include "MatchFixture.h"

#include "ai/AIMan.h"
#include "gamelogic/Player.h"

namespace MatchTest {

class ScriptedMatch : public MatchFixture {
protected:
    // The bots stand still: the script alone decides this match.
    void HoldBots() {
        if (AI::AIMan* ai = AI::AIMan::Instance()) ai->GetSettings().disableBots = true;
    }
    // Carries the first enemy flag still in the game to the carrier's own
    // capture point; true when it was captured.
    bool CaptureOne(Player* carrier) {
        const uint8_t enemy = carrier->GetTeam() == 0 ? 1 : 0;
        std::vector<Flag*> flags;
        logic->GetFlagMan().GetAvailableFlags(flags, enemy);
        if (flags.empty()) return false;
        const uint16_t flagId = flags.front()->GetId();
        const size_t captured = recorder.Count<EventTypes::EventUpdateFlagCaptured>();

        // Walk into it: within reach, beside it.
        Place(carrier, flags.front()->GetPosition() + Vector3(2.5f, 0, 0));
        stepper->Frame();
        if (carrier->GetHeldBlock() != logic->GetBlock(flagId)) return false;

        // To the capture point: standing under it, the flag rides above.
        const std::vector<Vector3>* points = logic->GetCapMan()->GetCapturePoints(carrier->GetTeam());
        if (!points || points->empty()) return false;
        Place(carrier, points->front() - Vector3(0, 1.5f, 0));
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandActorMove>(
            static_cast<int16_t>(carrier->GetActorId()), Vector3()));
        stepper->Frames(2);
        return recorder.Count<EventTypes::EventUpdateFlagCaptured>() == captured + 1 &&
               logic->GetFlagMan().GetFlag(flagId) == nullptr;
    }
};

TEST_F(ScriptedMatch, FromTheStartToVictoryGameOverResetAndTheNextMatch) {
    StartGame(0);
    HoldBots();
    stepper->Frames(3);  // everybody spawned; bombs dropped
    Player* me = logic->GetPlayerManager().GetPlayer(0);
    ASSERT_NE(me, nullptr);
    ASSERT_FALSE(me->IsDead());
    EXPECT_GT(recorder.Count<EventTypes::EventCommandCreateBlock>(), 0u);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(CaptureOne(me));
        EXPECT_EQ(logic->GetScoreMan()->GetFlagsLeft(1), 2 - i);
    }
    EventSystem::ProcessEventQueue();
    const auto victory = recorder.Of<EventTypes::EventUpdateTeamVictory>();
    ASSERT_EQ(victory.size(), 1u);
    EXPECT_EQ(victory[0]->GetPayload()->team, 0);
    EXPECT_TRUE(logic->IsGameOver());
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameOver>(), 0u);

    // GameOverDelayTime later the game over, and the logic resets on it.
    ASSERT_TRUE(stepper->Until([&] { return recorder.Count<EventTypes::EventUpdateGameOver>() > 0; }, 100));
    const auto over = recorder.Of<EventTypes::EventUpdateGameOver>();
    EXPECT_EQ(over[0]->GetPayload()->winningTeam, 0);
    EXPECT_EQ(logic->GetActorMan().Count(), 0u);
    EXPECT_FALSE(logic->GetProcessManager().HasProcesses());

    // The next match, as the end screen asks for it.
    recorder.Clear();
    StartGame(0);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameIDs>(), 1u);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateStartGame>(), 1u);
    EXPECT_FALSE(logic->IsGameOver());
    EXPECT_EQ(logic->GetScoreMan()->GetFlagsLeft(1), 3);
    stepper->Frames(3);
    EXPECT_EQ(logic->GetPlayerManager().Count(), 8u);
}

TEST_F(ScriptedMatch, BehindTheMenusAllFlagsMayFallWithoutAVictory) {
    StartGame(1);
    HoldBots();
    stepper->Frames(3);
    std::vector<Player*> team0;
    logic->GetPlayerManager().GetTeamPlayers(team0, 0);
    ASSERT_FALSE(team0.empty());
    Player* bot = team0.front();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        bot->invincible = 1;  // nothing but the script happens to it
        ASSERT_TRUE(CaptureOne(bot));
    }
    EXPECT_EQ(logic->GetScoreMan()->GetFlagsLeft(1), 0);
    stepper->Frames(150);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateTeamVictory>(), 0u);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameOver>(), 0u);
    EXPECT_FALSE(logic->IsGameOver());
    EXPECT_GT(logic->GetActorMan().Count(), 0u);
}

}  // namespace MatchTest
