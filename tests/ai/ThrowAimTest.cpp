// Where a bot's throw lands: a block thrown along the aim a bot computes for
// an enemy, standing or running in the open, meets and kills it at the ranges
// bots throw from.
#include <gtest/gtest.h>

#include <cmath>

#include "ai/TeamMan.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/MatchFixture.h"
#include "gamelogic/Player.h"

namespace {

using Geometry::Vector3;
using namespace GameLogicView;

struct Shot {
    float distance;
    Vector3 run;  // the target's velocity
};

class ThrowLanding : public MatchTest::MatchFixture, public ::testing::WithParamInterface<Shot> {
protected:
    void SetUp() override {
        MatchFixture::SetUp();
        StartRules(0);
    }
    // One throw from `from` at an enemy at `to` running with `run`, the
    // thrower turned towards it as a bot turns before it throws; true when
    // the enemy dies within two seconds.
    bool Hits(const Vector3& from, const Vector3& to, const Vector3& run) {
        Player* thrower = SpawnPlayer(0, from);
        Player* victim = SpawnPlayer(1, to);
        victim->invincible = 0;
        const Vector3 toward = to - from;
        logic->OnCommandActorTurn(EventTypes::EventCommandActorTurn(
            static_cast<int16_t>(thrower->GetActorId()),
            Geometry::Quaternion::FromAxisAngle(Vector3(0, 1, 0), std::atan2(toward.x, toward.z))));
        EXPECT_TRUE(thrower->HasHeldBlock()) << "a spawn fills the hand";
        // Under way before the throw; the aim leads it by the velocity the
        // thrower sees, as a bot's does.
        for (int i = 0; i < 5; ++i) {
            victim->GetActor()->body->SetVelocity(run);
            stepper->Frame();
        }
        const Vector3 aim =
            AI::ComputeThrowAim(thrower->GetPosition(), victim->GetPosition(), victim->GetVelocity(), 0.0f);
        EXPECT_TRUE(logic->GetPlayerManager().CommandThrow(thrower->GetActorId(), aim));
        for (int i = 0; i < 125 && !victim->IsDead(); ++i) {
            victim->GetActor()->body->SetVelocity(run);
            stepper->Frame();
        }
        return victim->IsDead();
    }
};

TEST_P(ThrowLanding, TheAimedBlockMeetsTheEnemy) {
    const Shot shot = GetParam();
    EXPECT_TRUE(Hits(Vector3(-shot.distance / 2, 1.5f, 0), Vector3(shot.distance / 2, 1.5f, 0), shot.run));
}

// From the closest range a chase throws at to the farthest a hunt does
// (the square root of 750 is 27), standing, running across and away.
INSTANTIATE_TEST_SUITE_P(Ranges, ThrowLanding,
                         ::testing::Values(Shot{4.0f, {}}, Shot{8.0f, {}}, Shot{12.0f, {}}, Shot{15.0f, {}},
                                           Shot{20.0f, {}}, Shot{26.0f, {}}, Shot{10.0f, {0, 0, 8}},
                                           Shot{15.0f, {0, 0, -8}}, Shot{15.0f, {8, 0, 0}}, Shot{20.0f, {0, 0, 8}}));

}  // namespace
