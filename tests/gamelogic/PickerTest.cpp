// The block picker: the nearest placed or free block whose sphere the view
// ray passes through, in front of the player and within reach.
#include <cmath>

#include "gamelogic/LogicFixture.h"

namespace LogicTest {
namespace {

class PickerTest : public LogicFixture {
protected:
    BlockPtr Pick(const Vector3& p, const Vector3& view) {
        BlockPtr out = MakeBlock(ActorTypes::kBox, Vector3(100, 50, 100));  // must be overwritten
        Blocks().PickBlock(out, p, view);
        return out;
    }
    const Vector3 eye{0, 1.5f, 0};
    // Looking straight along +z once the zOffset tilt (+3 in y) is added.
    const Vector3 ahead{0, -3, 1};
};

TEST_F(PickerTest, PicksInFrontWithinReachButNotBehind) {
    const BlockPtr front = MakeBlock(ActorTypes::kBox, Vector3(0, 1.5f, 2.5f));
    EXPECT_EQ(Pick(eye, ahead), front);
    EXPECT_EQ(Pick(eye, Vector3(0, -3, -1)), nullptr) << "behind the player";
    EXPECT_EQ(Pick(eye, Vector3(1, -3, 0)), nullptr) << "the ray passes beside it";
    front->actor->body->SetPosition(Vector3(0, 1.5f, 4.5f));
    EXPECT_EQ(Pick(eye, ahead), nullptr) << "beyond Distance + SphereIncrease + radius";
}

TEST_F(PickerTest, OnlyPlacedOrFreeBlocksAndNeverSolidsOrFlags) {
    const BlockPtr b = MakeBlock(ActorTypes::kBox, Vector3(0, 1.5f, 2));
    for (int32_t state : {BlockState::kHeld, BlockState::kPouch, BlockState::kThrown, BlockState::kFading}) {
        BlockPtr fresh = MakeBlock(ActorTypes::kBox, Vector3(0, 1.5f, 2));
        fresh->SetState(state);
        b->SetState(BlockState::kHeld);
        EXPECT_EQ(Pick(eye, ahead), nullptr) << "state " << state;
    }
    const BlockPtr placed = MakeBlock(ActorTypes::kMasslessBox, Vector3(0, 1.5f, 2.5f));
    EXPECT_EQ(Pick(eye, ahead), placed);
    Blocks().RemoveBlock(placed->GetId());
    MakeBlock(ActorTypes::kSolid, Vector3(0, 1.5f, 2.5f));
    MakeBlock(ActorTypes::kFlag, Vector3(0, 1.5f, 2), Vector3(1, 1, 1), 22, 0);
    EXPECT_EQ(Pick(eye, ahead), nullptr);
}

TEST_F(PickerTest, TheNearerOfTwoCandidates) {
    const BlockPtr far = MakeBlock(ActorTypes::kBox, Vector3(0, 1.5f, 3.0f));
    const BlockPtr near = MakeBlock(ActorTypes::kBox, Vector3(0, 1.5f, 1.6f));
    EXPECT_EQ(Pick(eye, ahead), near);
    near->SetState(BlockState::kHeld);
    EXPECT_EQ(Pick(eye, ahead), far);
}

TEST_F(PickerTest, AnUnreportedViewLooksUpAndAViewWithoutDirectionPicksNothing) {
    const BlockPtr above = MakeBlock(ActorTypes::kBox, Vector3(0, 4.0f, 0));
    const BlockPtr below = MakeBlock(ActorTypes::kBox, Vector3(0, -1.0f, 0.2f));
    EXPECT_EQ(Pick(eye, Vector3(0, 0, 0)), above) << "(0, 0, 0) + zOffset: straight up";
    EXPECT_EQ(Pick(eye, Vector3(0, -1, 0)), above) << "the second try of a never-reported view: up again";
    // A view whose tilt cancels (y = -zOffset) or that is not finite has no
    // direction; every block would count as ahead and on the ray.
    EXPECT_EQ(Pick(eye, Vector3(0, -3, 0)), nullptr);
    EXPECT_EQ(Pick(eye, Vector3(std::nanf(""), 0, 1)), nullptr);
    EXPECT_EQ(Pick(Vector3(INFINITY, 0, 0), ahead), nullptr);
    EXPECT_EQ(Pick(eye, Vector3(0, -8, 0)), below) << "looking down";
}

}  // namespace
}  // namespace LogicTest
