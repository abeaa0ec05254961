// Loose unit blocks: the list in throwing order and the sweep that fades the
// surplus farthest from the players, deleting each block after its fade.
#include <set>

#include "events/types/ActorEvents.h"
#include "gamelogic/LogicFixture.h"
#include "gamelogic/UnitBlockMan.h"

namespace LogicTest {
namespace {

using EventTypes::EventUpdateBlockFade;
using EventTypes::EventUpdateDeleteActor;

class UnitBlocksTest : public LogicFixture {
protected:
    UnitBlockMan& Units() { return Blocks().GetUnitBlockMan(); }
};

TEST_F(UnitBlocksTest, TheSweepFadesTheSurplusFarthestFromPlayersAndDeletesItAfterTheFade) {
    TestSupport::EventRecorder recorder;
    recorder.Listen<EventUpdateBlockFade, EventUpdateDeleteActor>();
    MakePlayer(0, Vector3(0, 1.5f, 0));
    // 130 loose unit blocks in throwing order, each farther from the player.
    std::vector<BlockPtr> blocks;
    for (int i = 0; i < 130; ++i) {
        blocks.push_back(MakeBlock(ActorTypes::kBox, Vector3(2.0f + i, 0.5f, 3.0f)));
        Blocks().OnBlockReleased(blocks.back());
        Blocks().OnBlockReleased(blocks.back());  // listed once
    }
    ASSERT_EQ(Units().Count(), 130u);
    logic->GetProcessManager().Attach(std::make_shared<DeleteExcessBlocksLoop>(&Blocks(), logic.get()));

    TestSupport::LogicStepper stepper(*logic, 16);
    stepper.Frames(1562);  // 24,992 ms
    EXPECT_EQ(recorder.Count<EventUpdateBlockFade>(), 0u);
    stepper.Frame();  // 25,008 ms: the countdown has run out
    stepper.Frame();  // the fade reports are delivered
    ASSERT_EQ(recorder.Count<EventUpdateBlockFade>(), 30u);
    std::set<int16_t> faded, expected;
    for (const auto& e : recorder.Of<EventUpdateBlockFade>()) faded.insert(e->GetPayload()->blockId);
    // Of the oldest 2 x 30, the 30 farthest from the player.
    for (int i = 30; i < 60; ++i) expected.insert(static_cast<int16_t>(blocks[i]->GetId()));
    EXPECT_EQ(faded, expected);
    EXPECT_EQ(Units().Count(), 100u);
    EXPECT_EQ(blocks[45]->state, BlockState::kFading);

    stepper.Frames(67);  // about 1.1 s after the fade began
    EXPECT_EQ(recorder.Count<EventUpdateDeleteActor>(), 0u) << "the views show the fade first";
    stepper.Frames(8);
    EXPECT_EQ(recorder.Count<EventUpdateDeleteActor>(), 30u) << "UnitBlockFadeTime + 150 ms after the fade";
    EXPECT_EQ(Blocks().GetBlock(blocks[45]->GetId()), nullptr);
    EXPECT_EQ(logic->GetActor(blocks[45]->GetId()), nullptr);
    EXPECT_NE(Blocks().GetBlock(blocks[10]->GetId()), nullptr);

    stepper.Frames(1600);
    EXPECT_EQ(recorder.Count<EventUpdateBlockFade>(), 30u) << "no surplus at the next sweep";
}

TEST_F(UnitBlocksTest, OnlyUnitBlocksAreListedAndAPickedUpBlockLeavesTheList) {
    const BlockPtr thin = MakeBlock(ActorTypes::kBox, Vector3(0, 0.5f, 0), Vector3(1, 1, 0.98f));
    Blocks().OnBlockReleased(thin);
    EXPECT_EQ(Units().Count(), 0u) << "extents (0.5, 0.5, 0.49) are not a unit block";

    const BlockPtr a = MakeBlock(ActorTypes::kBox, Vector3(5, 0.5f, 0));
    const BlockPtr b = MakeBlock(ActorTypes::kBox, Vector3(9, 0.5f, 0));
    Blocks().OnBlockReleased(a);
    Blocks().OnBlockReleased(b);
    EXPECT_NE(Units().Find(a), Units().End());
    Blocks().TakeBlock(a);
    EXPECT_EQ(Units().Find(a), Units().End());

    // With max free 0 every listed block goes at the next sweep.
    Units().SetMaxFree(0);
    Units().DeleteExcessBlocks(logic.get());
    EXPECT_EQ(Units().Count(), 0u);
    EXPECT_EQ(b->state, BlockState::kFading);
    EXPECT_EQ(a->state, BlockState::kHeld) << "the picked-up block was not faded";
}

}  // namespace
}  // namespace LogicTest
