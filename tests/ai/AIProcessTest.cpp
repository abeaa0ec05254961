// The AI process and the one AI manager: a logic initialised while an older
// one still exists takes the manager over, and neither logic's end leaves the
// other with a destroyed AI or a grid that is gone.
#include <gtest/gtest.h>

#include <memory>

#include "ai/AIMan.h"
#include "ai/SearchSpace.h"
#include "ai/TeamMan.h"
#include "gamelogic/MatchFixture.h"

using AI::AIMan;

TEST(AIProcessTest, OnlyTheNewestProcessStepsAndEndsTheManager) {
    TestSupport::ResetSingletons();
    auto older = std::make_unique<AI::AIProcess>();
    AIMan* ai = AIMan::Instance();
    ASSERT_NE(ai, nullptr);
    ai->Init(nullptr, nullptr);
    auto newer = std::make_unique<AI::AIProcess>();
    EXPECT_EQ(AIMan::Instance(), ai) << "taken over, not replaced";

    older->OnUpdate(10);
    EXPECT_EQ(ai->GetClock().Now(), 0u) << "the older process no longer steps it";
    newer->OnUpdate(25);
    EXPECT_EQ(ai->GetClock().Now(), 25u);

    older.reset();
    ASSERT_EQ(AIMan::Instance(), ai) << "the older process's end leaves it alone";
    newer->OnUpdate(5);
    EXPECT_EQ(ai->GetClock().Now(), 30u);
    newer.reset();
    EXPECT_EQ(AIMan::Instance(), nullptr);
    TestSupport::ResetSingletons();
}

namespace {

class TwoLogics : public MatchTest::MatchFixture {
protected:
    // A second logic initialised while the fixture's still runs its game.
    std::unique_ptr<GameLogicView::MiravGameLogic> InitialiseAnother() {
        auto other = std::make_unique<GameLogicView::MiravGameLogic>(nullptr);
        // At once, so the running logic does not hear it too.
        other->OnInitializeGameLogic(EventTypes::EventUpdateInitializeGameLogic(0));
        return other;
    }
};

}  // namespace

TEST_F(TwoLogics, TheOlderLogicsEndLeavesTheNewerOnesAI) {
    StartGame(0);
    ASSERT_NE(AIMan::Instance(), nullptr);
    auto newer = InitialiseAnother();
    logic.reset();
    stepper.reset();

    AIMan* ai = AIMan::Instance();
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(ai->GetLogic(), newer.get());
    TestSupport::LogicStepper frames(*newer, 16);
    frames.Frames(2);  // the newer logic's game starts: bots join its AI
    EventSystem::ProcessEventQueue();
    ASSERT_NE(ai->GetTeam(1), nullptr);
    EXPECT_FALSE(ai->GetTeam(1)->GetBots().empty());
    const uint64_t before = ai->GetClock().Now();
    frames.Frames(3);
    EXPECT_EQ(ai->GetClock().Now(), before + 48) << "stepped once per frame";
    newer.reset();
    EXPECT_EQ(AIMan::Instance(), nullptr);
}

TEST_F(TwoLogics, TheNewerLogicsEndLeavesTheOlderOneNoGridThatIsGone) {
    StartGame(0);
    const AI::SearchSpace* shared = &AIMan::Instance()->GetSearchSpace();
    ASSERT_TRUE(logic->GetBlockMan()->UsesGrid(shared));
    auto newer = InitialiseAnother();
    EXPECT_FALSE(logic->GetBlockMan()->UsesGrid(shared)) << "the grid now maps the newer logic's level";
    newer.reset();
    EXPECT_EQ(AIMan::Instance(), nullptr);
    // The older logic goes on, collapses included, on a grid of its own.
    GameLogicView::BlockMan& blocks = *logic->GetBlockMan();
    GameLogicView::BlockPtr placed;
    for (const auto& [id, block] : blocks.StaticBlocks())
        if (!placed && block->IsType(GameLogicView::ActorTypes::kMasslessBox)) placed = block;
    ASSERT_TRUE(placed);
    blocks.DetachBlock(placed);
    EXPECT_EQ(placed->state, GameLogicView::BlockState::kFree);
    stepper->Frames(5);
}
