// Score and the end of a match: victory on the last flag, game over after the
// delay, the reset it brings, and the match behind the menus that never ends.
#include "MatchFixture.h"

namespace MatchTest {

using Score = MatchFixture;

TEST_F(Score, TheThirdLostFlagWinsAndTheGameOverFollowsAfterTheDelay) {
    StartRules(0);
    ScoreMan* score = logic->GetScoreMan();
    ASSERT_NE(score, nullptr);
    score->OnFlagCaptured(0);
    score->OnFlagCaptured(0);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(score->GetFlagsLeft(1), 3);
    EXPECT_EQ(score->GetFlagsLeft(0), 1);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateTeamVictory>(), 0u);
    EXPECT_FALSE(logic->IsGameOver());

    score->OnFlagCaptured(0);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(score->GetFlagsLeft(0), 0);
    const auto victory = recorder.Of<EventTypes::EventUpdateTeamVictory>();
    ASSERT_EQ(victory.size(), 1u);
    EXPECT_EQ(victory[0]->GetPayload()->team, 1);
    EXPECT_TRUE(logic->IsGameOver());
    // Captures after the victory are not counted.
    score->OnFlagCaptured(1);
    EXPECT_EQ(score->GetFlagsLeft(1), 3);

    // 1000 ms with 16 ms updates: the 63rd update is the first past it.
    int updates = 0;
    while (recorder.Count<EventTypes::EventUpdateGameOver>() == 0 && updates < 200) {
        logic->GetProcessManager().UpdateProcesses(16);
        ++updates;
        EventSystem::ProcessEventQueue();
    }
    EXPECT_EQ(updates, 63);
    const auto over = recorder.Of<EventTypes::EventUpdateGameOver>();
    ASSERT_EQ(over.size(), 1u);
    EXPECT_EQ(over[0]->GetPayload()->winningTeam, 1);
    EXPECT_EQ(over[0]->GetPayload()->quit, 0);
    // The logic reset on it.
    EXPECT_EQ(logic->GetActorMan().Count(), 0u);
    EXPECT_EQ(logic->GetScoreMan(), nullptr);
}

TEST_F(Score, TheMatchBehindTheMenusCountsButNeverEnds) {
    StartRules(1);
    ScoreMan* score = logic->GetScoreMan();
    for (int i = 0; i < 3; ++i) score->OnFlagCaptured(1);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(score->GetFlagsLeft(1), 0);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateTeamVictory>(), 0u);
    EXPECT_FALSE(logic->IsGameOver());
    Run(2000);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameOver>(), 0u);
}

TEST_F(Score, OnlyTeamsZeroAndOneCountAndTheCountStartsAtNumFlags) {
    RulesSettings one;
    one.numFlags = 1;
    SetRulesSettings(one);
    StartRules(0);
    ScoreMan* score = logic->GetScoreMan();
    score->OnFlagCaptured(255);
    EXPECT_EQ(score->GetFlagsLeft(0), 1);
    EXPECT_EQ(score->GetFlagsLeft(1), 1);
    EXPECT_FALSE(logic->IsGameOver());
    score->OnFlagCaptured(1);
    EventSystem::ProcessEventQueue();
    const auto victory = recorder.Of<EventTypes::EventUpdateTeamVictory>();
    ASSERT_EQ(victory.size(), 1u);
    EXPECT_EQ(victory[0]->GetPayload()->team, 0);
}

TEST_F(Score, AfterTheVictoryNobodyDies) {
    StartRules(0);
    Player* victim = SpawnPlayer(1, Vector3(0, 1.5f, 0));
    ASSERT_NE(victim, nullptr);
    victim->invincible = 0;
    logic->SetGameOver(true);
    PlayerLife::Kill(*victim, Vector3(1, 0, 0), Vector3(), logic->GetPlayerManager(), 0, 1.0f);
    EXPECT_FALSE(victim->IsDead());
}

}  // namespace MatchTest
