#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "Fixtures.h"
#include "levels/Bitmap.h"
#include "levels/LevelGrid.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

struct Pixel {
    uint8_t blue, green, red;
};

LevelGrid GridOf(int width, int height, const std::vector<Pixel>& pixels) {
    Bitmap24 b;
    b.width = width;
    b.height = height;
    for (const Pixel& p : pixels) {
        b.bgr.push_back(p.blue);
        b.bgr.push_back(p.green);
        b.bgr.push_back(p.red);
    }
    return LevelGrid::FromBitmap(b);
}

// A draw that always returns the same value.
UnitDraw Constant(float r) {
    return [r]() { return r; };
}

BoxShaping Caps(int w, int d, int z, float weight = 0.5f) {
    BoxShaping s;
    s.capWidth = w;
    s.capHeight = d;
    s.capZ = z;
    s.wWeight = s.hWeight = s.zWeight = weight;
    return s;
}

// Every unit cell covered by the boxes, counted.
std::map<std::tuple<int, int, int>, int> Coverage(const std::vector<BlockPlan>& plans) {
    std::map<std::tuple<int, int, int>, int> cover;
    for (const BlockPlan& p : plans) {
        const Vector3 lo = p.position - p.scale * 0.5f;
        for (int x = 0; x < static_cast<int>(p.scale.x); ++x)
            for (int y = 0; y < static_cast<int>(p.scale.y); ++y)
                for (int z = 0; z < static_cast<int>(p.scale.z); ++z)
                    ++cover[{static_cast<int>(lo.x) + x, static_cast<int>(lo.y) + y, static_cast<int>(lo.z) + z}];
    }
    return cover;
}

}  // namespace

TEST(LevelGrid, CellsComeFromTheChannelsWithRowZeroOnTop) {
    LevelGrid grid = GridOf(2, 2, {{3, 1, 0}, {0, 2, 151}, {7, 0, 153}, {255, 9, 200}});
    EXPECT_EQ(grid.Width(), 2);
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_EQ(grid.MaxHeight(), 255);
    EXPECT_EQ(grid.At(0, 0).height, 3);
    EXPECT_EQ(grid.At(0, 0).green, 1);
    EXPECT_EQ(grid.At(0, 1).red, 151);
    EXPECT_EQ(grid.At(1, 0).red, 153);
    EXPECT_EQ(grid.At(1, 1).green, 9);
    EXPECT_EQ(grid.At(1, 1).filled, 0);
}

TEST(LevelGrid, RandSizeFollowsTheWeightedDraw) {
    struct Case {
        int cap, n;
        float weight, r;
        int size;
    };
    const Case cases[] = {
        {5, 3, 0.5f, 0.2f, 1},   // ceil(0.2 * 3)
        {5, 3, 0.5f, 0.6f, 3},   // r > 0.5: ceil(1.5 + 0.6 * 1.5) = ceil(2.4)
        {5, 10, 0.0f, 0.99f, 5}, // weight 0 never takes the upper half: ceil(4.95)
        {4, 4, 1.0f, 0.01f, 3},  // weight 1 takes it for any r above 0: ceil(2 + 0.02)
        {5, 3, 0.5f, 0.0f, 1},   // a draw of exactly 0 still gives one cell
        {2, 9, 0.5f, 0.9f, 2},   // capped
    };
    for (const Case& c : cases)
        EXPECT_EQ(RandSize(c.cap, c.n, c.weight, Constant(c.r)), c.size) << c.cap << " " << c.n << " " << c.r;
}

TEST(LevelGrid, SingleTeamZeroColumnIsStackedFromTheGround) {
    // 1 x 1 bitmap, blue 3, green 1: boxes of team 0 fill y 0..3 exactly,
    // the first covering 0..s.
    for (float r : {0.1f, 0.4f, 0.7f, 0.95f}) {
        LevelGrid grid = GridOf(1, 1, {{3, 1, 0}});
        const std::vector<BlockPlan> plans = PlanMergedBoxes(grid, Caps(1, 1, 5), Constant(r));
        ASSERT_FALSE(plans.empty());
        const int s = RandSize(5, 3, 0.5f, Constant(r));
        EXPECT_FLOAT_EQ(plans[0].position.y, s / 2.0f) << r;
        EXPECT_FLOAT_EQ(plans[0].scale.y, static_cast<float>(s)) << r;
        float top = 0.0f;
        for (const BlockPlan& p : plans) {
            EXPECT_EQ(p.team, 0);
            EXPECT_FLOAT_EQ(p.position.y - p.scale.y / 2, top) << "boxes stack without gaps";
            EXPECT_EQ(p.scale.x, 1.0f);
            EXPECT_EQ(p.scale.z, 1.0f);
            EXPECT_FLOAT_EQ(p.position.x, 0.5f);  // 1-wide: column 0 is at x = 0
            top += p.scale.y;
        }
        EXPECT_FLOAT_EQ(top, 3.0f) << r;
        EXPECT_EQ(grid.At(0, 0).filled, 3);
    }
}

TEST(LevelGrid, PlacementIsCentredOnTheBitmap) {
    // 4 x 3: columns sit at x = -2, -1, 0, 1 and rows at z = -1, 0, 1.
    std::vector<Pixel> px(12, Pixel{1, 2, 0});
    LevelGrid grid = GridOf(4, 3, px);
    EXPECT_EQ(grid.CellX(0), -2);
    EXPECT_EQ(grid.CellX(3), 1);
    EXPECT_EQ(grid.CellZ(0), -1);
    EXPECT_EQ(grid.CellZ(2), 1);
    const std::vector<BlockPlan> plans = PlanMergedBoxes(grid, Caps(1, 1, 1), Constant(0.3f));
    ASSERT_EQ(plans.size(), 12u);
    EXPECT_EQ(plans[0].position, Vector3(-1.5f, 0.5f, -0.5f));
    EXPECT_EQ(plans[0].team, 1);  // green 2
    EXPECT_EQ(plans[11].position, Vector3(1.5f, 0.5f, 1.5f));
}

TEST(LevelGrid, BoxesStopAtTheBitmapEdges) {
    // Draws that always ask for the largest boxes: a box started in the
    // rightmost column is one wide, one started in the bottom row one deep.
    std::vector<Pixel> px(5 * 4, Pixel{2, 0, 0});
    LevelGrid grid = GridOf(5, 4, px);
    const std::vector<BlockPlan> plans = PlanMergedBoxes(grid, Caps(3, 3, 1), Constant(0.99f));
    for (const BlockPlan& p : plans) {
        const Vector3 lo = p.position - p.scale * 0.5f;
        const Vector3 hi = p.position + p.scale * 0.5f;
        EXPECT_GE(lo.x, -2.5f);
        EXPECT_LE(hi.x, 2.5f + 0.5f);
        EXPECT_GE(lo.z, -2.0f);
        EXPECT_LE(hi.z, 2.0f);
        if (p.col == 4) {
            EXPECT_EQ(p.scale.x, 1.0f);
        }
        if (p.row == 3) {
            EXPECT_EQ(p.scale.z, 1.0f);
        }
    }
    // Every cell of every column is covered exactly once.
    const auto cover = Coverage(plans);
    EXPECT_EQ(cover.size(), 5u * 4u * 2u);
    for (const auto& entry : cover) EXPECT_EQ(entry.second, 1);
}

TEST(LevelGrid, UnevenColumnsAreCoveredExactlyOnceWithAnyDraws) {
    // Heights 0..5 in a pattern; random draws; no overlaps, no gaps, nothing
    // above a column's height.
    std::vector<Pixel> px;
    for (int i = 0; i < 7 * 6; ++i) px.push_back(Pixel{static_cast<uint8_t>((i * 7) % 6), 1, 0});
    for (uint32_t seed = 1; seed < 20; ++seed) {
        LevelGrid grid = GridOf(7, 6, px);
        LevelTest::Draws draws(seed);
        const auto plans = PlanMergedBoxes(grid, Caps(3, 2, 4, 0.6f), std::ref(draws));
        int cells = 0;
        for (const Pixel& p : px) cells += p.blue;
        const auto cover = Coverage(plans);
        EXPECT_EQ(static_cast<int>(cover.size()), cells) << seed;
        for (const auto& entry : cover) {
            EXPECT_EQ(entry.second, 1);
            const int x = std::get<0>(entry.first), y = std::get<1>(entry.first), z = std::get<2>(entry.first);
            const int col = x + 7 / 2, row = z + 6 / 2;
            ASSERT_TRUE(col >= 0 && col < 7 && row >= 0 && row < 6) << x << " " << z;
            EXPECT_LT(y, px[static_cast<size_t>(row * 7 + col)].blue);
        }
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 7; ++c) EXPECT_EQ(grid.At(r, c).filled, grid.At(r, c).height);
    }
}

TEST(LevelGrid, SameDrawsGiveTheSameBoxes) {
    std::vector<Pixel> px;
    for (int i = 0; i < 8 * 8; ++i) px.push_back(Pixel{static_cast<uint8_t>(i % 5), 1, 0});
    LevelGrid a = GridOf(8, 8, px), b = GridOf(8, 8, px), c = GridOf(8, 8, px);
    LevelTest::Draws da(42), db(42), dc(43);
    const auto pa = PlanMergedBoxes(a, Caps(3, 3, 3), std::ref(da));
    const auto pb = PlanMergedBoxes(b, Caps(3, 3, 3), std::ref(db));
    const auto pc = PlanMergedBoxes(c, Caps(3, 3, 3), std::ref(dc));
    ASSERT_EQ(pa.size(), pb.size());
    for (size_t i = 0; i < pa.size(); ++i) {
        EXPECT_EQ(pa[i].position, pb[i].position);
        EXPECT_EQ(pa[i].scale, pb[i].scale);
    }
    bool differs = pa.size() != pc.size();
    for (size_t i = 0; !differs && i < pa.size(); ++i) differs = pa[i].scale != pc[i].scale;
    EXPECT_TRUE(differs) << "another seed should cut the columns differently";
}

TEST(LevelGrid, SingleBlocksSitOnTheColumns) {
    LevelGrid grid = GridOf(2, 1, {{0, 1, 0}, {4, 3, 0}});
    const auto plans = PlanSingleBlocks(grid);
    ASSERT_EQ(plans.size(), 1u);
    EXPECT_EQ(plans[0].position, Vector3(0.5f, 4.5f, 0.5f));
    EXPECT_EQ(plans[0].scale, Vector3(1, 1, 1));
    EXPECT_EQ(plans[0].team, 255);
    EXPECT_EQ(plans[0].green, 3);
}

TEST(LevelGrid, CellObjectsByCode) {
    using Kind = CellObject::Kind;
    struct Case {
        uint8_t red;
        std::vector<Kind> kinds;
        uint8_t team;
        Vector3 position;  // of the first object; the cell is at (-1, h 4, 0)
    };
    const Case cases[] = {
        {1, {Kind::LevelObject}, 255, {-1, 4, 0}},
        {49, {Kind::LevelObject}, 255, {-1, 4, 0}},
        {50, {Kind::CapturePoint, Kind::LevelObject}, 0, {-1, 7, 0}},
        {51, {Kind::CapturePoint, Kind::LevelObject}, 1, {-1, 7, 0}},
        {99, {Kind::LevelObject}, 255, {-1, 4, 0}},
        {149, {Kind::LevelObject}, 255, {-1, 4, 0}},
        {150, {}, 255, {}},
        {151, {Kind::SpawnPoint}, 0, {-1, 5.52f, 0}},
        {152, {Kind::SpawnPoint}, 1, {-1, 5.52f, 0}},
        {153, {Kind::Flag}, 0, {0.5f, 5.5f, 1.5f}},
        {154, {Kind::Flag}, 1, {0.5f, 5.5f, 1.5f}},
        {155, {}, 255, {}},
        {156, {}, 255, {}},
        {157, {Kind::BombSpawner}, 255, {-1, 7, 0}},
        {160, {Kind::BombSpawner}, 255, {-1, 7, 0}},
        {161, {Kind::GuardPoint}, 0, {-1, 4, 0}},
        {162, {Kind::GuardPoint}, 1, {-1, 4, 0}},
        {163, {}, 255, {}},
        {199, {}, 255, {}},
        {200, {Kind::LevelObject}, 255, {-1, 4, 0}},
        {255, {Kind::LevelObject}, 255, {-1, 4, 0}},
    };
    for (const Case& c : cases) {
        // 3 x 1 bitmap; the object sits in the first column (x = -1), row 0 (z = 0).
        LevelGrid grid = GridOf(3, 1, {{4, 0, c.red}, {0, 0, 0}, {0, 0, 0}});
        const auto objects = PlanCellObjects(grid, false);
        ASSERT_EQ(objects.size(), c.kinds.size()) << int(c.red);
        for (size_t i = 0; i < objects.size(); ++i) {
            EXPECT_EQ(objects[i].kind, c.kinds[i]) << int(c.red);
            EXPECT_EQ(objects[i].code, c.red);
        }
        if (objects.empty()) continue;
        EXPECT_EQ(objects[0].team, c.team) << int(c.red);
        EXPECT_NEAR(objects[0].position.x, c.position.x, 1e-5) << int(c.red);
        EXPECT_NEAR(objects[0].position.y, c.position.y, 1e-5) << int(c.red);
        EXPECT_NEAR(objects[0].position.z, c.position.z, 1e-5) << int(c.red);
        EXPECT_EQ(objects.back().anchorX, -1);
        EXPECT_EQ(objects.back().anchorZ, 0);
        EXPECT_EQ(objects.back().height, 4);
    }
}

TEST(LevelGrid, SandboxLeavesOutCapturePointsTheirObjectsAndFlags) {
    LevelGrid grid = GridOf(6, 1, {{0, 0, 50}, {0, 0, 77}, {0, 0, 153}, {0, 0, 154}, {0, 0, 151}, {0, 0, 10}});
    EXPECT_EQ(PlanCellObjects(grid, false).size(), 7u);
    const auto sandbox = PlanCellObjects(grid, true);
    ASSERT_EQ(sandbox.size(), 2u);
    EXPECT_EQ(sandbox[0].code, 151);
    EXPECT_EQ(sandbox[1].code, 10);
}

TEST(LevelGrid, ObjectsComeInRowOrder) {
    LevelGrid grid = GridOf(2, 2, {{0, 0, 0}, {0, 0, 152}, {0, 0, 161}, {0, 0, 0}});
    const auto objects = PlanCellObjects(grid, false);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].code, 152);
    EXPECT_EQ(objects[1].code, 161);
}
