// A carrier whose capture point hangs above the floor left round it jumps up
// to it in place, never higher than it needs, and only while it holds the
// flag.
#include <gtest/gtest.h>

#include <memory>

#include "ai/ReachUp.h"
#include "BehaviourFixture.h"

using namespace AITest;

namespace {

using ReachUpTest = BehaviourFixture;

}  // namespace

TEST_F(ReachUpTest, ACarrierBelowThePointJumpsInPlaceUpToItAndNoHigher) {
    struct Case {
        const char* what;
        float y;  // where the carrier is
        bool holdsFlag;
        bool jumps;
        bool endsAtOnce;
    } cases[] = {
        {"below the height, holding the flag", 0.5f, true, true, false},
        {"at the height already", 3.0f, true, false, false},
        {"above it (jumps came back in the air)", 5.5f, true, false, false},
        {"the flag taken in or lost", 0.5f, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(Me(), {0.5f, c.y, 0.5f});
        bot->GetPerception().holdingFlag = c.holdsFlag;
        auto reach = Plan(std::make_shared<AI::ReachUp>(bot, 3.0f));
        Frames(3);
        EXPECT_EQ(cmds.Jumps(id()) > 0, c.jumps);
        for (const Vector3& move : cmds.Moves(id())) EXPECT_EQ(move, Vector3{});
        EXPECT_EQ(bot->GetTop() != reach, c.endsAtOnce);
        Restart();
    }
}

TEST_F(ReachUpTest, OneReachLastsItsTimeThenThePlanGoesOn) {
    const int reachMs = static_cast<int>(AI::ReachUp::kReachMs);
    bot->GetPerception().holdingFlag = true;
    auto reach = Plan(std::make_shared<AI::ReachUp>(bot, 3.0f));
    Frame();
    ASSERT_EQ(bot->GetTop(), reach);
    Fresh();
    for (int t = 0; t < reachMs - 48; t += 16) Frame();
    cmds.Deliver();
    EXPECT_EQ(bot->GetTop(), reach);
    EXPECT_GT(cmds.Jumps(id()), 0u);
    Frames(4);
    EXPECT_NE(bot->GetTop(), reach);
}
