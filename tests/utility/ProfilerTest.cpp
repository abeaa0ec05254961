#include <gtest/gtest.h>

#include <memory>

#include "utility/Profiler.h"
#include "utility/Timer.h"

namespace {

// A hand-driven clock in microsecond ticks.
struct FakeClock {
    std::shared_ptr<int64_t> now = std::make_shared<int64_t>(0);
    Timer::TickSource Source() const {
        auto n = now;
        return [n] { return *n; };
    }
    void AdvanceMs(double ms) { *now += static_cast<int64_t>(ms * 1000); }
};

class ProfilerTest : public ::testing::Test {
protected:
    void SetUp() override {
        Profiler::ResetInstance();
        Profiler::Instance().GetTimer().SetTickSource(clock.Source(), 1e-6);
        Profiler::Instance().SetEnabled(true);
    }
    void TearDown() override { Profiler::ResetInstance(); }

    Profiler& P() { return Profiler::Instance(); }
    FakeClock clock;
};

}  // namespace

TEST(Timer, FrameTimeIsTheDifferenceOfTheLastTwoUpdates) {
    FakeClock clock;
    *clock.now = 5000000;  // the reset takes it as zero
    Timer t;
    t.SetTickSource(clock.Source(), 1e-6);
    clock.AdvanceMs(16);
    t.Update();
    EXPECT_DOUBLE_EQ(t.GetElapsed(), 0.016);
    EXPECT_FLOAT_EQ(t.GetFrameSeconds(), 0.016f);
    clock.AdvanceMs(4);
    t.Update();
    EXPECT_NEAR(t.GetElapsed(), 0.020, 1e-12);
    EXPECT_NEAR(t.GetFrameSeconds(), 0.004f, 1e-7f);
}

TEST(Timer, MonotonicClockAdvances) {
    Timer t;
    const int64_t a = Timer::MonotonicNanoseconds();
    t.Update();
    const int64_t b = Timer::MonotonicNanoseconds();
    EXPECT_LE(a, b);
    EXPECT_GE(t.GetElapsed(), 0.0);
    EXPECT_LT(t.GetElapsed(), 5.0);
}

TEST_F(ProfilerTest, ReportLineFormat) {
    P().Begin("PHYS");
    clock.AdvanceMs(5);
    P().End();
    EXPECT_EQ(P().GetReport(0.02), "PHYS          25\n");

    // Names of 14 characters or more run into the number; shares below 10 are
    // padded to two characters; order is byte-wise (capitals first).
    P().Reset();
    P().Begin("abc");
    clock.AdvanceMs(1);
    P().End();
    P().Begin("NET_PROCESS_INCOMING");
    clock.AdvanceMs(2);
    P().End();
    EXPECT_EQ(P().GetReport(0.02), "NET_PROCESS_INCOMING10\nabc            5\n");
}

TEST_F(ProfilerTest, SectionsAccumulateWithinAFrame) {
    P().Begin("A*");
    clock.AdvanceMs(2);
    P().End();
    clock.AdvanceMs(10);  // outside any section
    P().Begin("A*");
    clock.AdvanceMs(3);
    P().End();
    EXPECT_NEAR(P().Sections().at("A*"), 0.005f, 1e-6f);

    // End without Begin adds the time since the last update to the last name.
    clock.AdvanceMs(4);
    P().End();
    EXPECT_NEAR(P().Sections().at("A*"), 0.009f, 1e-6f);
}

TEST_F(ProfilerTest, SectionsDoNotNest) {
    P().Begin("GFX_RENDER");
    clock.AdvanceMs(1);
    P().Begin("GFX_UPDATE");
    clock.AdvanceMs(2);
    P().End();  // the inner section's end
    clock.AdvanceMs(3);
    P().End();  // the outer section's end adds to the inner name
    EXPECT_EQ(P().Sections().count("GFX_RENDER"), 0u);
    EXPECT_NEAR(P().Sections().at("GFX_UPDATE"), 0.005f, 1e-6f);
}

TEST_F(ProfilerTest, EndBeforeAnyBeginUsesTheEmptyName) {
    clock.AdvanceMs(7);
    P().End();
    EXPECT_NEAR(P().Sections().at(""), 0.007f, 1e-6f);
}

TEST_F(ProfilerTest, EmptyFrameAndZeroFrameTime) {
    EXPECT_EQ(P().GetReport(0.016), "");
    P().Begin("BOTS");
    clock.AdvanceMs(1);
    P().End();
    EXPECT_EQ(P().GetReport(0.0), "BOTS           0\n");
}

TEST_F(ProfilerTest, DisabledProfilerRecordsNothing) {
    P().SetEnabled(false);
    P().Begin("PHYS");
    clock.AdvanceMs(5);
    P().End();
    EXPECT_TRUE(P().Sections().empty());
    {
        ProfileSection s("NET");
        clock.AdvanceMs(1);
    }
    EXPECT_TRUE(P().Sections().empty());

    P().SetEnabled(true);
    P().Begin("PHYS");
    clock.AdvanceMs(1);
    P().End();
    P().SetEnabled(false);
    P().Reset();  // a disabled reset keeps the sections
    EXPECT_EQ(P().Sections().size(), 1u);
}

TEST_F(ProfilerTest, ScopedSection) {
    {
        ProfileSection s("NET");
        clock.AdvanceMs(3);
    }
    EXPECT_NEAR(P().Sections().at("NET"), 0.003f, 1e-6f);
    P().Reset();
    EXPECT_TRUE(P().Sections().empty());
}
