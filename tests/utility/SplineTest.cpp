#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "utility/MatrixN.h"
#include "utility/Spline.h"

using Geometry::Vector2;
using Utility::MatrixN;
using Utility::Spline;

namespace {

MatrixN Make(int n, std::initializer_list<float> values) {
    MatrixN m(n, n);
    int i = 0;
    for (float v : values) {
        m(i / n, i % n) = v;
        ++i;
    }
    return m;
}

::testing::AssertionResult Near(const Vector2& a, const Vector2& b, float tol = 1e-3f) {
    if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << "," << a.y << ") != (" << b.x << "," << b.y << ")";
}

Spline Built(std::vector<Vector2> pts) {
    Spline s;
    s.points = std::move(pts);
    EXPECT_TRUE(s.Build());
    return s;
}

}  // namespace

// ---------------------------------------------------------------- MatrixN

TEST(MatrixN, ConstructionSizes) {
    struct Case {
        int capacity, size, wantCapacity, wantSize;
    };
    for (const auto& c : std::vector<Case>{{0, 0, 5, 5}, {-3, 2, 5, 2}, {4, 2, 4, 2}, {4, 9, 4, 4}, {4, 0, 4, 4}}) {
        MatrixN m(c.capacity, c.size);
        EXPECT_EQ(m.Capacity(), c.wantCapacity) << c.capacity << "," << c.size;
        EXPECT_EQ(m.Size(), c.wantSize) << c.capacity << "," << c.size;
    }
}

TEST(MatrixN, AssignGrowsAndCopiesUsedBlock) {
    MatrixN big = Make(3, {1, 2, 3, 4, 5, 6, 7, 8, 10});
    MatrixN small(2, 2);
    small.Assign(big);
    EXPECT_EQ(small.Size(), 3);
    EXPECT_GE(small.Capacity(), 3);
    EXPECT_EQ(small(2, 2), 10.0f);
    EXPECT_EQ(small(1, 0), 4.0f);
}

TEST(MatrixN, InverseTimesOriginalIsIdentity) {
    const std::vector<MatrixN> cases = {
        Make(2, {4, 7, 2, 6}),
        Make(3, {1, 2, 3, 0, 1, 4, 5, 6, 0}),
        Make(2, {0, 1, 1, 0}),  // zero first pivot, but invertible
        Make(1, {4}),
    };
    for (const auto& original : cases) {
        MatrixN inv(original.Size(), original.Size());
        inv.Assign(original);
        ASSERT_TRUE(inv.Invert());
        const int n = original.Size();
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                float s = 0;
                for (int k = 0; k < n; ++k) s += original(r, k) * inv(k, c);
                EXPECT_NEAR(s, r == c ? 1.0f : 0.0f, 1e-5f) << "n=" << n << " (" << r << "," << c << ")";
            }
    }
    MatrixN two = Make(2, {4, 7, 2, 6});
    ASSERT_TRUE(two.Invert());
    EXPECT_NEAR(two(0, 0), 0.6f, 1e-6f);
    EXPECT_NEAR(two(0, 1), -0.7f, 1e-6f);
    EXPECT_NEAR(two(1, 0), -0.2f, 1e-6f);
    EXPECT_NEAR(two(1, 1), 0.4f, 1e-6f);
}

TEST(MatrixN, SingularMatrixIsReportedAndLeftUnchanged) {
    const std::vector<MatrixN> cases = {
        Make(2, {1, 2, 2, 4}),
        Make(3, {1, 2, 3, 4, 5, 6, 7, 8, 9}),
        Make(2, {0, 0, 0, 0}),
        Make(1, {0}),
        Make(2, {1, std::nanf(""), 0, 1}),
    };
    for (const auto& original : cases) {
        MatrixN m(original.Size(), original.Size());
        m.Assign(original);
        EXPECT_FALSE(m.Invert());
        for (int r = 0; r < m.Size(); ++r)
            for (int c = 0; c < m.Size(); ++c) {
                if (std::isnan(original(r, c))) continue;
                EXPECT_EQ(m(r, c), original(r, c));
            }
    }
}

// ---------------------------------------------------------------- Spline

TEST(Spline, TwoPointsGiveAStraightSegment) {
    const Spline s = Built({Vector2(1, 1), Vector2(4, 5)});
    ASSERT_EQ(s.segments.size(), 1u);
    EXPECT_NEAR(s.totalLength, 5.0f, 1e-3f);
    EXPECT_TRUE(Near(s.GetPointAtDistance(0), Vector2(1, 1)));
    EXPECT_TRUE(Near(s.GetPointAtDistance(2.5f), Vector2(2.5f, 3)));
    EXPECT_TRUE(Near(s.GetPointAtDistance(5), Vector2(4, 5)));
    const auto& seg = s.segments[0];
    EXPECT_TRUE(Near(seg.B1, Vector2(2, 1 + 4.0f / 3)));
    EXPECT_TRUE(Near(seg.B2, Vector2(3, 1 + 8.0f / 3)));
}

TEST(Spline, PassesThroughEveryPoint) {
    const std::vector<Vector2> pts = {Vector2(0, 0), Vector2(30, 10), Vector2(60, -5), Vector2(80, 40), Vector2(50, 70),
                                      Vector2(10, 60)};
    const Spline s = Built(pts);
    ASSERT_EQ(s.segments.size(), pts.size() - 1);
    float along = 0;
    EXPECT_TRUE(Near(s.GetPointAtDistance(along), pts[0]));
    for (size_t k = 0; k < s.segments.size(); ++k) {
        EXPECT_TRUE(Near(s.segments[k].B0, pts[k], 1e-2f)) << k;
        EXPECT_TRUE(Near(s.segments[k].B3, pts[k + 1], 1e-2f)) << k;
        along += s.segments[k].length;
        EXPECT_TRUE(Near(s.GetPointAtDistance(along), pts[k + 1], 2e-2f)) << k;
    }
    EXPECT_NEAR(along, s.totalLength, 1e-3f);
}

TEST(Spline, CurveIsSmoothAndNaturalAtTheEnds) {
    const Spline s = Built({Vector2(0, 0), Vector2(10, 20), Vector2(30, 0), Vector2(40, 20)});
    // C1 at each inner point: the control points around it are collinear and
    // equally spaced (same first derivative on both sides).
    for (size_t k = 0; k + 1 < s.segments.size(); ++k) {
        const auto& a = s.segments[k];
        const auto& b = s.segments[k + 1];
        EXPECT_TRUE(Near(a.B3 - a.B2, b.B1 - b.B0, 1e-3f)) << k;
    }
    // S'' = 0 at both ends: B0 - 2 B1 + B2 = 0 on the first, B1 - 2 B2 + B3 = 0 on the last.
    const auto& f = s.segments.front();
    const auto& l = s.segments.back();
    EXPECT_TRUE(Near(f.B0 - f.B1 * 2 + f.B2, Vector2(0, 0), 1e-3f));
    EXPECT_TRUE(Near(l.B1 - l.B2 * 2 + l.B3, Vector2(0, 0), 1e-3f));
}

TEST(Spline, DistanceWrapsAround) {
    const Spline s = Built({Vector2(0, 0), Vector2(30, 10), Vector2(60, -5), Vector2(80, 40)});
    for (float x : {0.5f, 7.0f, 33.3f, 60.0f}) {
        EXPECT_TRUE(Near(s.GetPointAtDistance(s.totalLength + x), s.GetPointAtDistance(x), 1e-2f)) << x;
        EXPECT_TRUE(Near(s.GetPointAtDistance(3 * s.totalLength + x), s.GetPointAtDistance(x), 5e-2f)) << x;
    }
    EXPECT_TRUE(Near(s.GetPointAtDistance(-4), Vector2(0, 0)));
    // A huge distance wraps at once instead of subtracting for ever.
    const Vector2 far = s.GetPointAtDistance(1e30f);
    EXPECT_TRUE(far.x == far.x && far.y == far.y);
}

TEST(Spline, NoTableIntervalIsLongerThanTheChordLimit) {
    const Spline s = Built({Vector2(0, 0), Vector2(300, 100), Vector2(-200, 400), Vector2(50, -50)});
    for (const auto& seg : s.segments) {
        ASSERT_GE(seg.table.size(), 2u);
        EXPECT_EQ(seg.table.front().first, 0.0f);
        EXPECT_EQ(seg.table.back().first, 1.0f);
        for (size_t i = 1; i < seg.table.size(); ++i) {
            EXPECT_GT(seg.table[i].first, seg.table[i - 1].first);
            EXPECT_GE(seg.table[i].second, seg.table[i - 1].second);
            const float chord = (seg.PointAt(seg.table[i].first) - seg.PointAt(seg.table[i - 1].first)).Length();
            EXPECT_LE(chord, Spline::kMaxChord + 1e-3f);
        }
        EXPECT_EQ(seg.length, seg.table.back().second);
    }
}

TEST(Spline, DegenerateCurvesNeitherHangNorFail) {
    // Fewer than two points: no segments; sampling returns the only point.
    Spline none;
    EXPECT_TRUE(none.Build());
    EXPECT_TRUE(none.segments.empty());
    EXPECT_EQ(none.totalLength, 0.0f);
    EXPECT_EQ(none.GetPointAtDistance(10), Vector2(0, 0));

    const Spline one = Built({Vector2(3, 4)});
    EXPECT_TRUE(one.segments.empty());
    EXPECT_EQ(one.GetPointAtDistance(10), Vector2(3, 4));

    // All points equal: length 0, every distance gives that point.
    const Spline same = Built({Vector2(2, 2), Vector2(2, 2), Vector2(2, 2)});
    EXPECT_EQ(same.totalLength, 0.0f);
    EXPECT_TRUE(Near(same.GetPointAtDistance(5), Vector2(2, 2)));

    // An enormous curve still builds in bounded time.
    const auto start = std::chrono::steady_clock::now();
    const Spline huge = Built({Vector2(0, 0), Vector2(1e12f, 0)});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_LE(huge.segments[0].table.size(), (1u << Spline::kMaxDepth) * 2 + 1);
}

TEST(Spline, ClearAndRebuild) {
    Spline s = Built({Vector2(0, 0), Vector2(10, 0)});
    s.Build();  // building twice does not append segments
    EXPECT_EQ(s.segments.size(), 1u);
    EXPECT_NEAR(s.totalLength, 10.0f, 1e-3f);
    s.Clear();
    EXPECT_TRUE(s.points.empty());
    EXPECT_TRUE(s.segments.empty());
    EXPECT_EQ(s.totalLength, 0.0f);
    s.points = {Vector2(0, 0), Vector2(0, 3)};
    ASSERT_TRUE(s.Build());
    EXPECT_NEAR(s.totalLength, 3.0f, 1e-3f);
}
