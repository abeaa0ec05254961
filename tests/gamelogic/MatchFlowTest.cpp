// The logic's states, the start of a game, bots, a human taking a bot over,
// the game over and its reset.
#include "MatchFixture.h"

#include <algorithm>
#include <cstring>

#include "ai/BotGameView.h"
#include "ai/TeamMan.h"
#include "events/types/NetworkEvents.h"
#include "physics/PhysProc.h"

namespace MatchTest {

using Flow = MatchFixture;

TEST_F(Flow, AGameStartsOnTheSecondFrameWithTheLocalPlayerBeforeTheLevel) {
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kConstructed);
    QueueInit(0);
    stepper->Frame();
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kStarting);
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kGameStarted), 1);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameIDs>(), 0u);
    stepper->Frame();
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kStarted);
    EventSystem::ProcessEventQueue();

    const auto names = recorder.Names();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), std::string("LtVInitializeGameView"));
    // Join confirmation of actor 0, its create report, the level, the start.
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[1], std::string("LtVJoinConfirmed"));
    const auto ids = recorder.Of<EventTypes::EventUpdateGameIDs>();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(ids[0]->GetPayload()->actorId, 0);
    EXPECT_EQ(ids[0]->GetPayload()->team, 0);
    const auto creates = recorder.Of<EventTypes::EventUpdateCreateActor>();
    ASSERT_GT(creates.size(), 10u);
    EXPECT_EQ(creates[0]->GetPayload()->actorId, 0);
    EXPECT_STREQ(creates[0]->GetPayload()->typeName, "character");
    // The object state comes from the table (angel player: model 1, material 1).
    EXPECT_EQ(creates[0]->GetPayload()->objectState.stateId, 1);
    EXPECT_EQ(creates[0]->GetPayload()->objectState.modelId, 1);
    EXPECT_EQ(creates[0]->GetPayload()->objectState.materialId, 1);
    EXPECT_EQ(creates[0]->GetPayload()->extents, Vector3(0.5f, 1.5f, 0.5f));
    EXPECT_STREQ(creates[1]->GetPayload()->typeName, "plane");
    // The ground's top is at height 0.
    EXPECT_FLOAT_EQ(creates[1]->GetPayload()->position.y + creates[1]->GetPayload()->extents.y, 0.0f);
    EXPECT_EQ(names.back(), std::string("LtVStartGame"));
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateStartGame>(), 1u);
    // Flags of both teams were made by the level.
    std::vector<Flag*> flags;
    logic->GetFlagMan().GetAvailableFlags(flags, 0);
    EXPECT_EQ(flags.size(), 3u);
    flags.clear();
    logic->GetFlagMan().GetAvailableFlags(flags, 1);
    EXPECT_EQ(flags.size(), 3u);

    // The next frame's processes bring every player in.
    stepper->Frame();
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateActorSpawn>(), logic->GetPlayerManager().Count());
    EXPECT_FALSE(logic->GetPlayerManager().GetPlayer(0)->IsDead());
}

TEST_F(Flow, PausedFramesDeliverEventsButNeitherRunProcessesNorAdvance) {
    QueueInit(0);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kPaused, 1);
    stepper->Frames(5);
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kInitialised);  // delivered, but waiting
    stepper->Frames(5);
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kInitialised);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kPaused, 0);
    stepper->Frame();
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kStarting);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kPaused, 1);
    stepper->Frames(3);
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kStarting);
    EXPECT_EQ(logic->GetActorMan().Count(), 0u);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kPaused, 0);
    stepper->Frame();
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kStarted);
}

TEST_F(Flow, BotsFillBothTeamsToTheLevelsTeamSize) {
    StartGame(0);
    // Level 0: four per team; the local player is one of team 0's.
    std::vector<Player*> team0, team1;
    logic->GetPlayerManager().GetTeamPlayers(team0, 0);
    logic->GetPlayerManager().GetTeamPlayers(team1, 1);
    EXPECT_EQ(team0.size(), 4u);
    EXPECT_EQ(team1.size(), 4u);
    AI::AIMan* ai = AI::AIMan::Instance();
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(ai->GetTeam(0)->GetBots().size(), 3u);
    EXPECT_EQ(ai->GetTeam(1)->GetBots().size(), 4u);
    // Each bot's view is attached to the logic.
    EXPECT_EQ(logic->GetViews().size(), 7u);
    for (Player* p : team1) EXPECT_STREQ(p->GetActor()->typeName, "bot");
}

TEST_F(Flow, MoreHumansThanTheTeamSizeAddNoBotsAndNeverANegativeNumber) {
    StartRules(0);
    for (int i = 0; i < 6; ++i) logic->CreatePlayer(1);
    const size_t before = logic->GetPlayerManager().Count();
    logic->LoadLevel();
    std::vector<Player*> team0, team1;
    logic->GetPlayerManager().GetTeamPlayers(team0, 0);
    logic->GetPlayerManager().GetTeamPlayers(team1, 1);
    EXPECT_EQ(team1.size(), 6u);
    EXPECT_EQ(team0.size(), 4u);
    EXPECT_EQ(logic->GetPlayerManager().Count(), before + 4u);
}

TEST_F(Flow, SandboxModeAddsNoBotsFlagsOrCapturePoints) {
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kGameMode, 1);
    StartGame(0);
    EXPECT_EQ(logic->GetPlayerManager().Count(), 1u);
    EXPECT_TRUE(logic->GetFlagMan().Flags().empty());
    EXPECT_EQ(logic->GetCapMan()->GetCapturePoints(0), nullptr);
}

TEST_F(Flow, TheMatchBehindTheMenusHasNoLocalPlayerAndNoVictory) {
    StartGame(1);
    EXPECT_TRUE(logic->IsBackdrop());
    EXPECT_FALSE(logic->IsVictoryEnabled());
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameIDs>(), 0u);
    // Only bots: the ground is the first actor.
    const auto creates = recorder.Of<EventTypes::EventUpdateCreateActor>();
    ASSERT_FALSE(creates.empty());
    EXPECT_EQ(creates[0]->GetPayload()->actorId, 0);
    EXPECT_STREQ(creates[0]->GetPayload()->typeName, "plane");
    for (const auto& [id, player] : logic->GetPlayerManager().Players())
        EXPECT_STREQ(player.GetActor()->typeName, "bot");
}

TEST_F(Flow, AJoiningHumanTakesOverTheFirstBotOfItsTeam) {
    StartGame(0);
    AI::TeamMan* team1 = AI::AIMan::Instance()->GetTeam(1);
    ASSERT_FALSE(team1->GetBots().empty());
    const uint16_t botId = team1->GetBots().front()->GetActorId();
    const size_t bots = team1->GetBots().size();
    const size_t views = logic->GetViews().size();
    recorder.Clear();
    logic->CreatePlayer(1);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(team1->GetBots().size(), bots - 1);
    EXPECT_EQ(logic->GetViews().size(), views - 1);
    EXPECT_EQ(team1->GetBot(botId), nullptr);
    const auto ids = recorder.Of<EventTypes::EventUpdateGameIDs>();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(ids[0]->GetPayload()->actorId, static_cast<int16_t>(botId));
    EXPECT_EQ(ids[0]->GetPayload()->team, 1);
    EXPECT_STREQ(logic->GetActor(botId)->typeName, "character");
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateActorSpawn>(), 1u);
    EXPECT_FALSE(logic->GetPlayerManager().GetPlayer(botId)->IsDead());

    // A machine that goes silent hands its actor back to a bot.
    EventSystem::QueueEvent(std::make_shared<Networking::EventClientToBot>(static_cast<int16_t>(botId), 1));
    EventSystem::ProcessEventQueue();
    EXPECT_NE(team1->GetBot(botId), nullptr);
    EXPECT_EQ(logic->GetViews().size(), views);
    EXPECT_STREQ(logic->GetActor(botId)->typeName, "character");  // keeps its type
}

TEST_F(Flow, AJoiningHumanWithoutABotGetsANewCharacterAtItsSpawnPoint) {
    StartRules(0);
    logic->GetSpawnManager()->AddSpawnPoint(1, Vector3(7.0f, 1.52f, -3.0f));
    logic->CreatePlayer(1);
    EventSystem::ProcessEventQueue();
    const auto creates = recorder.Of<EventTypes::EventUpdateCreateActor>();
    ASSERT_FALSE(creates.empty());
    EXPECT_STREQ(creates.back()->GetPayload()->typeName, "character");
    EXPECT_EQ(creates.back()->GetPayload()->position, Vector3(7.0f, 1.52f, -3.0f));
    EXPECT_EQ(creates.back()->GetPayload()->team, 1);
    EXPECT_EQ(recorder.Count<EventTypes::EventUpdateGameIDs>(), 1u);
}

TEST_F(Flow, GameOverResetsEverythingButTheIdsKeepCounting) {
    StartGame(0);
    stepper->Frames(3);
    const uint16_t nextId = ActorMan::NextId();
    ASSERT_GT(logic->GetActorMan().Count(), 0u);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateGameOver>(255, 0));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(logic->GetActorMan().Count(), 0u);
    EXPECT_EQ(logic->GetPlayerManager().Count(), 0u);
    EXPECT_TRUE(logic->GetFlagMan().Flags().empty());
    EXPECT_TRUE(logic->GetBlockMan()->AllBlocks().empty());
    EXPECT_FALSE(logic->GetProcessManager().HasProcesses());
    EXPECT_EQ(Physics::GetPhysProc(), nullptr);
    EXPECT_EQ(AI::AIMan::Instance(), nullptr);
    EXPECT_TRUE(logic->GetViews().empty());  // the bots' views went with the AI
    EXPECT_EQ(logic->GetScoreMan(), nullptr);
    EXPECT_EQ(logic->GetState(), MiravGameLogic::kStarted);
    // Nothing runs after the reset.
    stepper->Frames(3);
    EXPECT_EQ(logic->GetActorMan().Count(), 0u);

    // The next match continues the ids.
    recorder.Clear();
    StartGame(0);
    const auto ids = recorder.Of<EventTypes::EventUpdateGameIDs>();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(ids[0]->GetPayload()->actorId, static_cast<int16_t>(nextId));
}

TEST_F(Flow, ASecondInitialisationWithoutAGameOverResetsFirst) {
    StartGame(0);
    stepper->Frames(2);
    const size_t processes = logic->GetProcessManager().Count();
    const size_t actors = logic->GetActorMan().Count();
    StartGame(0);
    stepper->Frames(2);
    // One match's worth of everything, not two.
    EXPECT_EQ(logic->GetProcessManager().Count(), processes);
    EXPECT_EQ(logic->GetActorMan().Count(), actors);
    EXPECT_EQ(logic->GetPlayerManager().Count(), 8u);
    EXPECT_EQ(logic->GetViews().size(), 7u);
    EXPECT_EQ(Physics::GetPhysProc(), logic->GetPhysProc());
    ASSERT_NE(AI::AIMan::Instance(), nullptr);
    EXPECT_EQ(AI::AIMan::Instance()->GetTeam(1)->GetBots().size(), 4u);
}

TEST_F(Flow, ActorIdsSkipTheNoActorValueAndIdsStillInUse) {
    StartRules(0);
    // The ground has id 0. Wrap the counter just below the no-actor value.
    ActorMan::SetNextId(0xFFFE);
    const BlockPtr a = MakeBlock(ActorTypes::kBox, Vector3(0, 5, 0));
    const BlockPtr b = MakeBlock(ActorTypes::kBox, Vector3(0, 7, 0));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetId(), 0xFFFE);
    EXPECT_EQ(b->GetId(), 1);  // 0xFFFF means none, 0 is the ground's
    EXPECT_EQ(logic->GetActor(0), groundActor);
}

TEST_F(Flow, GuardPointsComeFromTheLevelPerTeam) {
    StartGame(0);
    std::vector<Vector3> g0, g1;
    logic->GetGuardPoints(g0, 0);
    logic->GetGuardPoints(g1, 7);  // any team but 0 reads team 1's
    EXPECT_FALSE(g0.empty());
    EXPECT_FALSE(g1.empty());
    EXPECT_NE(g0, g1);
}

}  // namespace MatchTest
