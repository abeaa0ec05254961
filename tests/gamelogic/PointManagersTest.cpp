// Spawn points in turn, capture points announced to the views, bomb spawners
// with their timers and counts.
#include <gtest/gtest.h>

#include "events/types/CommandEvents.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/BombSpawnManager.h"
#include "gamelogic/CapMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/SpawnManager.h"
#include "processes/Process.h"
#include "support/Harness.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

class PointManagersTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        recorder.Listen<EventTypes::EventCommandCreateBlock, EventTypes::EventUpdateCapPtCreated>();
    }
    void TearDown() override {
        processes.DetachAll();
        TestSupport::ResetSingletons();
    }
    // Runs the timers for ms in 16 ms frames, delivering the queue each frame.
    void Run(int ms) {
        for (int t = 0; t < ms; t += 16) {
            processes.UpdateProcesses(16);
            EventSystem::ProcessEventQueue();
        }
    }
    ProcessSystem::ProcessManager processes;
    TestSupport::EventRecorder recorder;
};

TEST_F(PointManagersTest, SpawnPointsAreHandedOutInTurnPerTeam) {
    SpawnManager spawns;
    EXPECT_EQ(spawns.GetSpawnPoint(0), Vector3(0.0f, 0.5f, 0.0f)) << "no point: the origin";
    spawns.AddSpawnPoint(1, Vector3(1, 0, 0));
    spawns.AddSpawnPoint(7, Vector3(2, 0, 0));  // any team but 0 is team 1
    spawns.AddSpawnPoint(1, Vector3(3, 0, 0));
    spawns.AddSpawnPoint(0, Vector3(9, 0, 0));
    const float expected[] = {1, 2, 3, 1, 2};
    for (float x : expected) EXPECT_EQ(spawns.GetSpawnPoint(1).x, x);
    EXPECT_EQ(spawns.GetSpawnPoint(255).x, 3.0f);
    EXPECT_EQ(spawns.GetSpawnPoint(0).x, 9.0f);
    EXPECT_EQ(spawns.GetSpawnPoint(0).x, 9.0f);
}

TEST_F(PointManagersTest, CapturePointsAreAnnounced) {
    CapMan caps;
    EXPECT_EQ(caps.GetCapturePoints(0), nullptr);
    caps.AddCapturePoint(Vector3(4, 5, 6), 0);
    caps.AddCapturePoint(Vector3(7, 8, 9), 3);
    EventSystem::ProcessEventQueue();
    const auto events = recorder.Of<EventTypes::EventUpdateCapPtCreated>();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0]->GetPayload()->position, Vector3(4, 5, 6));
    EXPECT_EQ(events[0]->GetPayload()->team, 0);
    EXPECT_EQ(events[1]->GetPayload()->team, 3) << "the given team id is reported";
    ASSERT_NE(caps.GetCapturePoints(1), nullptr);
    EXPECT_EQ(caps.GetCapturePoints(1)->front(), Vector3(7, 8, 9));
}

TEST_F(PointManagersTest, BombSpawnerAsksOnceAtOnceAndThenKeepsToMaxBombs) {
    LogicSettings s;
    s.bombTime157 = 10;
    s.maxBombs = 1;
    SetLogicSettings(s);
    BombSpawnManager bombs(false);
    bombs.AddSpawnPoint(157, Vector3(1, 2, 3));
    EXPECT_TRUE(bombs.GetSpawnPoints().empty()) << "no process list: no spawner";
    bombs.SetProcessManager(&processes);
    bombs.AddSpawnPoint(157, Vector3(1, 2, 3));
    ASSERT_EQ(bombs.GetSpawnPoints().size(), 1u);
    EXPECT_EQ(processes.Count(), 2u);

    Run(16);
    ASSERT_EQ(recorder.Count<EventTypes::EventCommandCreateBlock>(), 1u) << "a bomb on the first frame";
    const auto first = recorder.Of<EventTypes::EventCommandCreateBlock>()[0]->GetPayload();
    EXPECT_EQ(first->objectType, 9);
    EXPECT_EQ(first->actorId, -1);
    EXPECT_EQ(first->position, Vector3(1, 2, 3));
    EXPECT_EQ(processes.Count(), 1u) << "the period-0 timer ends";

    bombs.OnBombCreated(Vector3(1, 2, 3), 40);
    Run(25000);
    EXPECT_EQ(recorder.Count<EventTypes::EventCommandCreateBlock>(), 1u) << "the unexploded bomb holds the spawner";

    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateExplosion>(Vector3(), 0, 0, 40));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(bombs.GetSpawnPoints()[0]->bombCount, 0);
    Run(10016);
    EXPECT_EQ(recorder.Count<EventTypes::EventCommandCreateBlock>(), 2u) << "another bomb one period later";
}

TEST_F(PointManagersTest, BackdropUsesOverrideAndBombsCountAgainstTheFirstSpawnerAtTheirPosition) {
    LogicSettings s;
    s.bombOverride = 1;
    s.bombTime160 = 100;
    s.maxBombs = 5;
    SetLogicSettings(s);
    for (bool backdrop : {true, false}) {
        SCOPED_TRACE(backdrop);
        processes.DetachAll();
        recorder.Clear();
        BombSpawnManager bombs(backdrop);
        bombs.SetProcessManager(&processes);
        bombs.AddSpawnPoint(160, Vector3(0, 0, 0));
        Run(3200);
        // The period-0 request, then one per second behind the menu only.
        EXPECT_EQ(recorder.Count<EventTypes::EventCommandCreateBlock>(), backdrop ? 4u : 1u);
    }

    BombSpawnManager twins(false);
    twins.SetProcessManager(&processes);
    twins.AddSpawnPoint(157, Vector3(5, 5, 5));
    twins.AddSpawnPoint(158, Vector3(5, 5, 5));
    twins.OnBombCreated(Vector3(5, 5, 5), 1);
    twins.OnBombCreated(Vector3(5, 5, 5), 2);
    twins.OnBombCreated(Vector3(0, 0, 0), 3);  // the console's bomb at the origin: nobody's
    EXPECT_EQ(twins.GetSpawnPoints()[0]->bombCount, 2);
    EXPECT_EQ(twins.GetSpawnPoints()[1]->bombCount, 0);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateExplosion>(Vector3(), 0, 0, 99));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(twins.GetSpawnPoints()[0]->bombCount, 2) << "an unknown bomb changes nothing";
}

}  // namespace
