// Animation on the CPU: key interpolation against hand-computed poses, the
// track mixer's keyed changes and blending, and the controller's slots,
// toggled tracks, cross-fades, one-shots, finish test and pending requests.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "gfx/Animation.h"
#include "gfx/XFileLoader.h"

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector3;
using Gfx::AnimationController;
using Gfx::AnimationSets;

namespace {

// A set moving one frame's position from `from` to `to` over period seconds
// (100 ticks per second); rotation and scale at rest.
Gfx::XAnimationSet Move(const std::string& name, int frame, Vector3 from, Vector3 to, double period) {
    Gfx::XAnimationSet s;
    s.name = name;
    s.ticksPerSecond = 100.0;
    s.lastKeyTicks = period * 100.0;
    Gfx::XChannel c;
    c.frame = frame;
    c.positions = {{0.0, from}, {period * 100.0, to}};
    c.rotations = {{0.0, Quaternion()}};
    c.scales = {{0.0, Vector3(1, 1, 1)}};
    s.channels.push_back(c);
    return s;
}

// Three sets on frame 0: 0 lasts 1 s, 1 lasts 2 s, 2 lasts 4 s.
std::shared_ptr<const AnimationSets> ThreeSets() {
    auto sets = std::make_shared<AnimationSets>();
    sets->emplace_back(Move("short", 0, {0, 0, 0}, {1, 0, 0}, 1.0));
    sets->emplace_back(Move("two", 0, {0, 0, 0}, {0, 1, 0}, 2.0));
    sets->emplace_back(Move("long", 0, {0, 0, 0}, {0, 0, 1}, 4.0));
    return sets;
}

void ExpectMatrixNear(const Matrix4x4& a, const Matrix4x4& b) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], 1e-5f) << "element " << i;
}

}  // namespace

TEST(Animation, InterpolatedFrameMatricesMatchHandComputedKeys) {
    Gfx::XScene scene;
    std::string err;
    ASSERT_TRUE(Gfx::LoadXFile(std::string(MIRAV_SOURCE_DIR) + "/tests/data/xfile/skinned_two_bones.x", scene, &err))
        << err;
    const Gfx::AnimationSet bend(scene.animations.at(0));  // Upper: rotation 0 -> 90 deg about z, y 1 -> 2, over 2 s
    EXPECT_DOUBLE_EQ(bend.Period(), 2.0);
    const float c45 = std::cos(0.25f * 3.14159265f), s45 = std::sin(0.25f * 3.14159265f);
    const float c22 = std::cos(0.125f * 3.14159265f), s22 = std::sin(0.125f * 3.14159265f);
    const float c67 = std::cos(0.375f * 3.14159265f), s67 = std::sin(0.375f * 3.14159265f);
    struct Case {
        double seconds;
        Matrix4x4 expected;
    } cases[] = {
        {0.0, Matrix4x4(1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1)},
        {1.0, Matrix4x4(c45, -s45, 0, 0, s45, c45, 0, 1.5f, 0, 0, 1, 0, 0, 0, 0, 1)},
        {2.5, Matrix4x4(c22, -s22, 0, 0, s22, c22, 0, 1.25f, 0, 0, 1, 0, 0, 0, 0, 1)},  // wrapped to 0.5 s
        {-0.5, Matrix4x4(c67, -s67, 0, 0, s67, c67, 0, 1.75f, 0, 0, 1, 0, 0, 0, 0, 1)},  // 1.5 s
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        ExpectMatrixNear(bend.Sample(0, c.seconds).ToMatrix(), c.expected);
    }
}

TEST(Animation, SlerpTakesTheShortWayEvenFromANegatedKey) {
    const Quaternion a = Quaternion::FromAxisAngle({0, 0, 1}, 0.0f);
    const Quaternion b = Quaternion::FromAxisAngle({0, 0, 1}, 1.0f);
    const Quaternion negB(-b.w, -b.x, -b.y, -b.z);  // same rotation, other sign
    const Vector3 v = Gfx::Slerp(a, negB, 0.5f).Rotate({1, 0, 0});
    EXPECT_NEAR(v.x, std::cos(0.5f), 1e-5f);
    EXPECT_NEAR(v.y, std::sin(0.5f), 1e-5f);
}

TEST(Animation, MixerBlendsEnabledTracksByWeightAndLeavesOtherFramesAtRest) {
    auto sets = std::make_shared<AnimationSets>();
    sets->emplace_back(Move("a", 0, {0, 1, 0}, {0, 1, 0}, 1.0));
    sets->emplace_back(Move("b", 0, {0, 4, 0}, {0, 4, 0}, 1.0));
    Gfx::AnimationMixer mixer(sets, 2);
    mixer.SetTrackAnimationSet(0, 0);
    mixer.SetTrackAnimationSet(1, 1);
    mixer.SetTrackEnable(0, true);
    mixer.SetTrackEnable(1, true);
    mixer.SetTrackWeight(0, 2.0f);
    mixer.SetTrackWeight(1, 1.0f);
    const std::vector<Matrix4x4> rest = {Matrix4x4::Identity(), Matrix4x4::Translation({5, 0, 0})};
    std::vector<Matrix4x4> out;
    mixer.Apply(rest, out);
    EXPECT_NEAR(out[0](1, 3), 2.0f, 1e-5f);  // (2 x 1 + 1 x 4) / 3
    EXPECT_EQ(out[1], rest[1]);
    mixer.SetTrackEnable(0, false);
    mixer.SetTrackEnable(1, false);
    mixer.Apply(rest, out);
    EXPECT_EQ(out[0], rest[0]);  // nothing plays: the rest pose
}

TEST(AnimationControllerTest, SlotZeroAlternatesTracksAndOutOfRangeIsRefused) {
    AnimationController ac(ThreeSets(), 2);
    EXPECT_EQ(ac.NumAnimationSets(), 3);
    int expectTrack = 1;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(ac.PlayAnimation(0, 0, i % 3, 1.0f, 1.0f, true, true));
        const Gfx::TrackDesc d = ac.Mixer(0)->GetTrackDesc(expectTrack);
        EXPECT_TRUE(d.enable);
        EXPECT_EQ(d.animationSet, i % 3);
        EXPECT_EQ(ac.TrackToggle(0, 0), expectTrack);
        expectTrack = 1 - expectTrack;
    }
    const int toggle = ac.TrackToggle(0, 0);
    EXPECT_FALSE(ac.PlayAnimation(0, 2, 0, 1.0f, 1.0f, true, true));   // slot 2 with two tracks
    EXPECT_FALSE(ac.PlayAnimation(0, 0, 3, 1.0f, 1.0f, true, true));   // no set 3
    EXPECT_FALSE(ac.PlayAnimation(0, -1, 0, 1.0f, 1.0f, true, true));
    EXPECT_FALSE(ac.PlayAnimation(7, 0, 0, 1.0f, 1.0f, true, true));   // no such controller
    EXPECT_EQ(ac.TrackToggle(0, 0), toggle);
    EXPECT_TRUE(ac.PlayAnimation(0, 1, 0, 1.0f, 1.0f, true, true));    // slot 1 uses tracks 2 and 3
    EXPECT_TRUE(ac.Mixer(0)->GetTrackDesc(3).enable);
}

TEST(AnimationControllerTest, OneShotSwitchesItselfOffAfterPeriodOverSpeedThenThePendingRequestStarts) {
    AnimationController ac(ThreeSets(), 2);
    int index = -1;
    ASSERT_TRUE(ac.Clone(index));
    EXPECT_EQ(index, 1);
    ac.AdvanceTime(index, 0.0);  // fresh: finished at once, plays its empty request
    ac.SetRequest(index, {0, 2, 0.8f, 1.0f});
    ASSERT_TRUE(ac.PlayAnimation(index, 0, 1, 2.0f, 1.0f, false, false));  // period 2.0 at speed 2.0
    const int track = ac.TrackToggle(index, 0);
    ac.AdvanceTime(index, 0.5);
    ac.AdvanceTime(index, 0.49);
    EXPECT_TRUE(ac.Mixer(index)->GetTrackDesc(track).enable);
    EXPECT_FALSE(ac.IsFinished(index));
    EXPECT_EQ(ac.Mixer(index)->GetTrackDesc(1 - track).animationSet, 0);  // the old track, faded out
    ac.AdvanceTime(index, 0.02);  // 1.01 s: the one-shot is off; the request plays in the same step
    const int now = ac.TrackToggle(index, 0);
    EXPECT_NE(now, track);
    const Gfx::TrackDesc d = ac.Mixer(index)->GetTrackDesc(now);
    EXPECT_TRUE(d.enable);
    EXPECT_EQ(d.animationSet, 2);
    EXPECT_FLOAT_EQ(d.weight, 0.8f);
    EXPECT_NEAR(d.position, 0.02, 1e-9);  // advanced once more by the step
    EXPECT_FALSE(ac.Mixer(index)->GetTrackDesc(track).enable);
}

TEST(AnimationControllerTest, CrossFadeKeepsTheOldTrackForAFadeWhileItsWeightFallsToATenth) {
    AnimationController ac(ThreeSets(), 2);
    ASSERT_TRUE(ac.PlayAnimation(0, 0, 0, 1.0f, 1.0f, true, true));
    const int oldTrack = ac.TrackToggle(0, 0);
    ac.AdvanceTime(0, 0.5);
    ASSERT_TRUE(ac.PlayAnimation(0, 0, 2, 1.0f, 0.6f, true, false));
    const int newTrack = ac.TrackToggle(0, 0);
    ac.AdvanceTime(0, 0.025);
    Gfx::TrackDesc o = ac.Mixer(0)->GetTrackDesc(oldTrack);
    EXPECT_TRUE(o.enable);
    EXPECT_NEAR(o.weight, 0.55f, 1e-4f);  // halfway from 1 to 0.1
    EXPECT_NEAR(ac.Mixer(0)->GetTrackDesc(newTrack).weight, 0.8f, 1e-4f);  // halfway from 1 to 0.6
    ac.AdvanceTime(0, 0.03);
    o = ac.Mixer(0)->GetTrackDesc(oldTrack);
    EXPECT_FALSE(o.enable);
    EXPECT_FLOAT_EQ(o.weight, 0.1f);
    EXPECT_TRUE(ac.Mixer(0)->GetTrackDesc(newTrack).enable);  // a looping fade never ends by itself
    EXPECT_FLOAT_EQ(ac.Mixer(0)->GetTrackDesc(newTrack).weight, 0.6f);
    EXPECT_FALSE(ac.IsFinished(0));
}

TEST(AnimationControllerTest, FinishedMeansNoTrackEnabledAndWeightsAboveATenth) {
    struct Case {
        bool enable0, enable1;
        float w0, w1;
        bool finished;
    } cases[] = {
        {false, false, 0.05f, 0.05f, false}, {false, false, 0.1f, 0.0f, false}, {false, false, 0.1f, 0.5f, true},
        {true, false, 1.0f, 1.0f, false},    {false, true, 1.0f, 1.0f, false},  {false, false, 1.0f, 1.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.enable0 << c.enable1 << " " << c.w0 << " " << c.w1);
        AnimationController ac(ThreeSets(), 2);
        Gfx::AnimationMixer* m = ac.Mixer(0);
        m->SetTrackEnable(0, c.enable0);
        m->SetTrackEnable(1, c.enable1);
        m->SetTrackWeight(0, c.w0);
        m->SetTrackWeight(1, c.w1);
        m->SetTrackEnable(2, true);  // slot 1's tracks are not looked at
        EXPECT_EQ(ac.IsFinished(0), c.finished);
    }
    AnimationController ac(ThreeSets(), 2);
    EXPECT_FALSE(ac.IsFinished(5));
}

TEST(AnimationControllerTest, ClonesHaveTheirOwnClockTracksRequestsAndToggles) {
    AnimationController ac(ThreeSets(), 2);
    int a = -1, b = -1;
    ASSERT_TRUE(ac.Clone(a));
    ASSERT_TRUE(ac.Clone(b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(ac.ControllerCount(), 3);
    ac.AdvanceTime(a, 1.0);
    EXPECT_DOUBLE_EQ(ac.Mixer(a)->GetTime(), 2.0);  // finished at once: played its request and advanced again
    EXPECT_DOUBLE_EQ(ac.Mixer(b)->GetTime(), 0.0);
    // One object's plays do not move the other's track choice: each controller
    // cross-fades from the track it is really playing on.
    const int ta = ac.TrackToggle(a, 0), tb = ac.TrackToggle(b, 0);
    ASSERT_TRUE(ac.PlayAnimation(a, 0, 1, 1.0f, 1.0f, true, true));
    EXPECT_EQ(ac.TrackToggle(a, 0), 1 - ta);
    EXPECT_EQ(ac.TrackToggle(b, 0), tb);
    ASSERT_TRUE(ac.PlayAnimation(b, 0, 1, 1.0f, 1.0f, true, true));
    EXPECT_TRUE(ac.Mixer(b)->GetTrackDesc(1 - tb).enable);
    ac.SetRequest(a, {0, 2, 1.0f, 1.0f});
    EXPECT_EQ(ac.GetRequest(b)->animation, 0);
}

TEST(AnimationControllerTest, AQuickSecondPlayIsNotSwitchedOffByTheFirstOnesPendingKeys) {
    AnimationController ac(ThreeSets(), 2);
    ASSERT_TRUE(ac.PlayAnimation(0, 0, 2, 1.0f, 1.0f, false, false));  // one-shot of 4 s on track 1; track 0 keyed off
    ac.AdvanceTime(0, 0.01);
    ASSERT_TRUE(ac.PlayAnimation(0, 0, 2, 1.0f, 1.0f, false, false));  // back onto track 0 within the fade
    EXPECT_EQ(ac.TrackToggle(0, 0), 0);
    ac.AdvanceTime(0, 0.2);
    EXPECT_TRUE(ac.Mixer(0)->GetTrackDesc(0).enable);
    EXPECT_FALSE(ac.IsFinished(0));
}
