// Bot views: the per-frame step over the machine stack, the reset to Idle,
// and the Idle machine itself.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "ai/Idle.h"
#include "ai/sml/StateMachine.h"
#include "AIWorld.h"
#include "events/types/CommandEvents.h"

using namespace AITest;

namespace {

// Counts its updates; its enter handler runs a script (a request of the
// owner, for example).
class Probe : public StateMachine {
public:
    Probe(AIGameObject* owner, std::function<void(Probe&)> onEnter = {})
        : StateMachine(owner, "Probe"), m_onEnter(std::move(onEnter)) {}
    int updates = 0;
    int enters = 0;

protected:
    bool HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t) override {
        if (state != 0) return false;
        if (kind == EVENT_ENTER) {
            ++enters;
            if (m_onEnter) m_onEnter(*this);
            return true;
        }
        if (kind == EVENT_UPDATE) {
            ++updates;
            return true;
        }
        return false;
    }

private:
    std::function<void(Probe&)> m_onEnter;
};

class BotViewTest : public ::testing::Test {
protected:
    void SetUp() override { recorder.Listen<EventTypes::EventCommandActorMove>(); }

    // Stops raised for the bot so far.
    size_t Stops(const AI::BotGameView& bot) const {
        size_t n = 0;
        for (const auto& e : recorder.Of<EventTypes::EventCommandActorMove>())
            if (e->GetPayload()->actorId == static_cast<int16_t>(bot.GetActorId()) &&
                e->GetPayload()->direction == Vector3{})
                ++n;
        return n;
    }

    AIWorld world;
    TestSupport::EventRecorder recorder;
};

}  // namespace

TEST_F(BotViewTest, ABotWithoutMachinesNeitherRunsNorAppliesRequests) {
    AI::BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    auto probe = std::make_shared<Probe>(bot);
    bot->RequestStackOp(AIGameObject::OP_PUSH, probe);
    bot->OnUpdate(16);
    EXPECT_EQ(bot->StackSize(), 0u);
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_PUSH);

    // Once a machine is pushed directly (the spawn), the waiting request is
    // applied at the next update and the new top runs.
    world.Spawn(bot);
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    bot->OnUpdate(16);
    EXPECT_EQ(bot->GetTop(), probe);
    EXPECT_EQ(probe->enters, 1);
    EXPECT_EQ(probe->updates, 1);
}

TEST_F(BotViewTest, AtMostTwentyStackRequestsPerUpdate) {
    AI::BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    world.Spawn(bot);
    // Every machine asks, when it enters, to be replaced by another one.
    int made = 0;
    std::function<void(Probe&)> chain = [&](Probe& self) {
        ++made;
        self.ReplaceWith(std::make_shared<Probe>(bot, chain));
    };
    bot->RequestStackOp(AIGameObject::OP_REPLACE_TOP, std::make_shared<Probe>(bot, chain));
    bot->OnUpdate(16);
    EXPECT_EQ(made, 20);
    EXPECT_EQ(bot->GetPendingOp(), AIGameObject::OP_REPLACE_TOP);  // the 21st waits
    auto top = std::dynamic_pointer_cast<Probe>(bot->GetTop());
    ASSERT_TRUE(top);
    EXPECT_EQ(top->updates, 1);  // the top of the frame ran once
    bot->OnUpdate(16);
    EXPECT_EQ(made, 40);
    EXPECT_EQ(bot->StackSize(), 1u);  // each one replaced the last, on top of nothing
}

TEST_F(BotViewTest, ResetStopsTheActorAndIdles) {
    AI::BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    world.Spawn(bot);
    bot->PushMachine(std::make_shared<Probe>(bot));
    bot->SetBehaviour("HUNT");
    bot->OnReset();
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(bot->StackSize(), 1u);
    auto idle = std::dynamic_pointer_cast<AI::Idle>(bot->GetTop());
    ASSERT_TRUE(idle);
    EXPECT_FALSE(idle->WaitsForTutorial());
    EXPECT_EQ(bot->GetBehaviour(), "IDLE");
    // The reset's own stop and the new Idle's stop.
    EXPECT_EQ(Stops(*bot), 3u);  // plus the spawn's Idle
}

TEST_F(BotViewTest, APlanOfOneMachineEndsInIdle) {
    AI::BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    world.Spawn(bot);
    auto only = std::make_shared<Probe>(bot, [](Probe& self) { self.RequestNextInPlan(); });
    bot->SetPlan({only});
    bot->OnUpdate(16);
    EXPECT_EQ(only->enters, 1);
    EXPECT_TRUE(bot->GetPlan().empty());
    ASSERT_EQ(bot->StackSize(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<AI::Idle>(bot->GetTop()));
}

TEST_F(BotViewTest, LongNamesStayWholeInTheViewOnly) {
    const std::string longName(64, 'x');
    world.Names("a = " + longName + "\n");
    AI::BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    EXPECT_EQ(bot->GetName(), longName);
    EXPECT_EQ(bot->GetObjectName(), "invalid_name");
}

// ---------------------------------------------------------------- Idle

TEST_F(BotViewTest, SpawnIdleStopsTheBotAndNeverEndsByItself) {
    world.ai->GetSettings().disableBots = true;  // no behaviour selection replaces it
    AI::BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    world.Spawn(bot);
    auto idle = bot->GetTop();
    for (int i = 0; i < 50; ++i) world.Step();
    EXPECT_EQ(bot->GetTop(), idle);
    EXPECT_EQ(idle->GetName(), "ThrowBlock");
    EXPECT_EQ(Stops(*bot), 1u);
}

TEST_F(BotViewTest, WaitingIdleResetsTheBotOnceNoTutorialRuns) {
    world.ai->GetSettings().disableBots = true;  // no roles or behaviours meddle
    AI::BotGameView* tutor = world.AddBot(0, {0, 0.5f, 0});
    AI::BotGameView* waiter = world.AddBot(0, {5, 0.5f, 0});
    world.Spawn(tutor);
    world.Spawn(waiter);
    tutor->SetBehaviour("TUTORIAL");
    auto waiting = std::make_shared<AI::Idle>(waiter, true);
    waiter->RequestStackOp(AIGameObject::OP_REPLACE_TOP, waiting);

    for (int i = 0; i < 5; ++i) world.Step();
    EXPECT_TRUE(world.ai->IsTutorialRunning());
    EXPECT_EQ(waiter->GetTop(), waiting);

    tutor->SetBehaviour("IDLE");
    world.Step();  // the AI step sees no tutorial; the waiting Idle asks for a reset
    EXPECT_FALSE(world.ai->IsTutorialRunning());
    EXPECT_EQ(waiter->GetPendingOp(), AIGameObject::OP_RESET);
    world.Step();
    ASSERT_TRUE(waiter->GetTop());
    EXPECT_NE(waiter->GetTop(), waiting);
    EXPECT_FALSE(std::static_pointer_cast<AI::Idle>(waiter->GetTop())->WaitsForTutorial());
}
