// Guard slots: one per guard point, at most one per defender, drawn at random
// among the free ones.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "ai/GuardMan.h"
#include "ai/sml/AIGameObject.h"

using AI::GuardMan;
using Geometry::Vector3;

namespace {

class Defender : public AIGameObject {
public:
    explicit Defender(uint16_t id) : AIGameObject(id, "d") {}
    void OnReset() override {}
};

class GuardManTest : public ::testing::Test {
protected:
    GuardMan Make() {
        return GuardMan([this] {
            ++builds;
            return points;
        });
    }
    std::vector<Vector3> points{{1, 0, 1}, {2, 0, 2}, {3, 0, 3}};
    int builds = 0;
};

TEST_F(GuardManTest, DefendersHoldDifferentSlotsAndKeepThem) {
    GuardMan guards = Make();
    Defender a(1), b(2);
    EXPECT_FALSE(guards.IsBuilt());
    const auto pa = guards.GetSlot(a);
    const auto pb = guards.GetSlot(b);
    ASSERT_TRUE(pa && pb);
    EXPECT_NE(*pa, *pb);
    EXPECT_EQ(guards.GetSlot(a), pa);  // asking again: the same post
    int taken = 0;
    for (const auto& s : guards.Slots()) taken += s.taken;
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(guards.FindSlotOf(b)->position, *pb);
    EXPECT_EQ(builds, 1);
}

TEST_F(GuardManTest, ReleasedSlotIsFreeAgain) {
    GuardMan guards = Make();
    Defender a(1), other(9);
    guards.GetSlot(a);
    guards.ReleaseSlot(other);  // holds nothing: no change
    EXPECT_NE(guards.FindSlotOf(a), nullptr);
    guards.ReleaseSlot(a);
    EXPECT_EQ(guards.FindSlotOf(a), nullptr);
    for (const auto& s : guards.Slots()) {
        EXPECT_FALSE(s.taken);
        EXPECT_EQ(s.holder, nullptr);
    }
}

TEST_F(GuardManTest, DrawIsOverFreeSlotsOnly) {
    GuardMan guards = Make();
    guards.SlotCount();
    Defender a(1), b(2);
    guards.GetSlot(a);
    guards.GetSlot(b);
    const AI::GuardSlot* last = nullptr;
    for (const auto& s : guards.Slots())
        if (!s.taken) last = &s;
    for (int i = 0; i < 20; ++i) EXPECT_EQ(guards.PickFreeSlot(), last);
    // With all free, every slot comes up.
    guards.ReleaseSlot(a);
    guards.ReleaseSlot(b);
    std::set<const AI::GuardSlot*> seen;
    for (int i = 0; i < 200; ++i) seen.insert(guards.PickFreeSlot());
    EXPECT_EQ(seen.size(), 3u);
}

// Every slot held: there is no slot to draw, and no draw from an empty range.
TEST_F(GuardManTest, NoFreeSlotGivesNone) {
    GuardMan guards = Make();
    Defender a(1), b(2), c(3), d(4);
    guards.GetSlot(a);
    guards.GetSlot(b);
    guards.GetSlot(c);
    EXPECT_EQ(guards.PickFreeSlot(), nullptr);
    EXPECT_FALSE(guards.GetSlot(d).has_value());
    EXPECT_EQ(guards.FindSlotOf(d), nullptr);
}

TEST_F(GuardManTest, NoGuardPointsNoSlots) {
    points.clear();
    GuardMan guards = Make();
    Defender a(1);
    EXPECT_EQ(guards.SlotCount(), 0u);
    EXPECT_EQ(guards.PickFreeSlot(), nullptr);
    EXPECT_FALSE(guards.GetSlot(a).has_value());
}

TEST_F(GuardManTest, SlotsAreBuiltOnceAtFirstNeed) {
    GuardMan guards = Make();
    EXPECT_EQ(builds, 0);
    EXPECT_EQ(guards.SlotCount(), 3u);
    points.push_back({4, 0, 4});  // the level's points are read once
    EXPECT_EQ(guards.SlotCount(), 3u);
    Defender a(1);
    guards.GetSlot(a);
    EXPECT_EQ(builds, 1);
}

}  // namespace
