#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "utility/Random.h"
#include "utility/RandomImpl.h"

using Utility::Random;

// The engines are Boost's own: the published check values (the 10000th
// output of a default-seeded engine) come out.
TEST(Random, EnginesAreBoostsMt11213bAndLaggedFibonacci607) {
    Utility::Implementation::RandImpl<long> integers(5489);
    for (int i = 0; i < 9999; ++i) integers.Engine()();
    EXPECT_EQ(integers.Engine()(), 3809585648u);

    Utility::Implementation::RandImpl<float> floats(331u);
    for (int i = 0; i < 9999; ++i) floats.Engine()();
    EXPECT_DOUBLE_EQ(floats.Engine()(), 0.039230772001715764);
}

TEST(Random, SameSeedGivesBoostsSequence) {
    for (int seed : {1, 7, 12345, -3}) {
        Random<long> ours(seed);
        boost::random::mt11213b engine(seed);
        struct Range {
            long min, max;
        };
        // Changing the range between draws behaves as a fresh uniform_int.
        const Range ranges[] = {{0, 9}, {0, 9}, {-5, 5}, {100, 1000}, {0, 9}, {-1000000, 1000000}};
        for (int round = 0; round < 20; ++round) {
            for (const auto& r : ranges) {
                boost::uniform_int<long> d(r.min, r.max);
                EXPECT_EQ(ours.Get(r.min, r.max), d(engine)) << seed;
            }
        }

        Random<float> ourFloats(seed);
        boost::random::lagged_fibonacci607 fib(seed);
        for (int i = 0; i < 100; ++i) {
            boost::uniform_real<float> d(-2.0f, 3.0f);
            EXPECT_EQ(ourFloats.Get(-2.0f, 3.0f), d(fib)) << seed;
        }
    }
}

TEST(Random, TwoGeneratorsWithOneSeedAgreeAndCopiesShareOne) {
    Random<long> a(42), b(42), other(43);
    std::vector<long> sa, sb, so;
    for (int i = 0; i < 50; ++i) {
        sa.push_back(a.Get(0, 1000000));
        sb.push_back(b.Get(0, 1000000));
        so.push_back(other.Get(0, 1000000));
    }
    EXPECT_EQ(sa, sb);
    EXPECT_NE(sa, so);

    Random<long> c(9);
    Random<long> copy = c;
    Random<long> fresh(9);
    EXPECT_EQ(c.Get(0, 1 << 30), fresh.Get(0, 1 << 30));
    EXPECT_EQ(copy.Get(0, 1 << 30), fresh.Get(0, 1 << 30));  // continues c's sequence
}

TEST(Random, GeneratorsMadeAgainDrawAsFreshEnginesWhateverWasMadeBetween) {
    // Generators of a seed made before and after others of other seeds, and
    // after the earlier ones drew, each draw what a fresh engine draws.
    const int seeds[] = {1, 1, 5, 1, 5, 5, 9, 1};
    std::vector<Random<float>> made;
    std::vector<std::vector<float>> draws;
    for (int seed : seeds) {
        made.emplace_back(seed);
        draws.push_back({made.back().Get(0.0f, 1.0f)});
    }
    for (size_t k = 0; k < made.size(); ++k)
        for (int i = 0; i < 20; ++i) draws[k].push_back(made[k].Get(-4.0f, 4.0f));
    for (size_t k = 0; k < made.size(); ++k) {
        boost::random::lagged_fibonacci607 fresh(seeds[k]);
        std::vector<float> want{boost::uniform_real<float>(0.0f, 1.0f)(fresh)};
        for (int i = 0; i < 20; ++i) want.push_back(boost::uniform_real<float>(-4.0f, 4.0f)(fresh));
        EXPECT_EQ(draws[k], want) << k;
    }
}

TEST(Random, SeedZeroCountsAsOne) {
    Random<long> zero(0), one(1);
    Random<float> fzero(0), fone(1);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(zero.Get(0, 1 << 30), one.Get(0, 1 << 30));
        EXPECT_EQ(fzero.Get(0.0f, 1.0f), fone.Get(0.0f, 1.0f));
    }
    // Without the replacement, Boost's mt11213b seeded with 0 and with 1 differ.
    boost::random::mt11213b e0(0), e1(1);
    EXPECT_NE(e0(), e1());
}

TEST(Random, IntegerRangesIncludeBothEnds) {
    Random<long> r(3);
    std::set<long> seen;
    for (int i = 0; i < 400; ++i) {
        const long v = r.Get(-2, 2);
        ASSERT_GE(v, -2);
        ASSERT_LE(v, 2);
        seen.insert(v);
    }
    EXPECT_EQ(seen, (std::set<long>{-2, -1, 0, 1, 2}));
    for (int i = 0; i < 20; ++i) EXPECT_EQ(r.Get(5, 5), 5);
    for (int i = 0; i < 50; ++i) {
        const long v = r.Get(10, 1);  // reversed limits
        EXPECT_GE(v, 1);
        EXPECT_LE(v, 10);
    }
    const long lo = std::numeric_limits<long>::min(), hi = std::numeric_limits<long>::max();
    r.Get(lo, hi);  // the whole range works
}

TEST(Random, FloatRangesExcludeTheUpperEndAndNeverHang) {
    Random<float> r(11);
    float smallest = 1.0f, largest = -1.0f;
    for (int i = 0; i < 20000; ++i) {
        const float v = r.Get(-1.0f, 1.0f);
        ASSERT_GE(v, -1.0f);
        ASSERT_LT(v, 1.0f);
        smallest = std::min(smallest, v);
        largest = std::max(largest, v);
    }
    EXPECT_LT(smallest, -0.99f);
    EXPECT_GT(largest, 0.99f);

    // A tiny range where rounding would otherwise give max.
    const float a = 1.0f, b = std::nextafter(1.0f, 2.0f);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(r.Get(a, b), a);

    // Ranges Boost would retry forever or turn into NaN.
    EXPECT_EQ(r.Get(2.5f, 2.5f), 2.5f);
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(std::isfinite(r.Get(-inf, inf)));
    EXPECT_TRUE(std::isfinite(r.Get(0.0f, std::nanf(""))));
    const float big = std::numeric_limits<float>::max();
    for (int i = 0; i < 100; ++i) {
        const float v = r.Get(-big, big);
        ASSERT_TRUE(std::isfinite(v));
        ASSERT_LT(v, big);
    }
    const float v = r.Get(3.0f, 1.0f);
    EXPECT_GE(v, 1.0f);
    EXPECT_LT(v, 3.0f);
}
