#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <random>
#include <vector>

#include "ai/SearchSpace.h"

using AI::SearchSpace;
using Geometry::Vector3;

namespace {

// The grid the AI manager builds: x and z -250..250, y 0..100.
void BuildGameGrid(SearchSpace& grid) {
    grid.SetBounds(-250.0f, 250.0f, 0.0f, 100.0f, -250.0f, 250.0f);
    grid.Build();
}

// A small grid whose cells are the world points themselves (minimum 0).
void BuildSmallGrid(SearchSpace& grid, int n = 20, int levels = 20) {
    grid.SetBounds(0.0f, static_cast<float>(n), 0.0f, static_cast<float>(levels), 0.0f, static_cast<float>(n));
    grid.Build();
}

int CountBlocked(const SearchSpace& grid) {
    int count = 0;
    for (int x = 0; x < grid.CellsX(); ++x)
        for (int y = 0; y < grid.CellsY(); ++y)
            for (int z = 0; z < grid.CellsZ(); ++z) count += grid.IsCellBlocked(x, y, z) ? 1 : 0;
    return count;
}

bool Contains(const std::vector<Vector3>& cells, const Vector3& c) {
    return std::find(cells.begin(), cells.end(), c) != cells.end();
}

}  // namespace

TEST(SearchSpace, GameGridDimensionsAndCellConversion) {
    SearchSpace grid;
    BuildGameGrid(grid);
    EXPECT_EQ(grid.CellsX(), 500);
    EXPECT_EQ(grid.CellsY(), 100);
    EXPECT_EQ(grid.CellsZ(), 500);
    EXPECT_EQ(grid.WorldToCell(0.0f, 0.0f, 0.0f), Vector3(250, 0, 250));
    EXPECT_EQ(grid.WorldToCell(-0.5f, 3.9f, 249.99f), Vector3(249, 3, 499));
    EXPECT_EQ(grid.WorldToCell(-250.0f, 0.0f, -250.0f), Vector3(0, 0, 0));
    EXPECT_EQ(grid.CellToWorld(Vector3(250, 2, 0)), Vector3(0, 2, -250));
}

TEST(SearchSpace, FreshGridIsFreeInsideAndBlockedOutside) {
    SearchSpace grid;
    BuildGameGrid(grid);
    struct Case {
        float x, y, z;
        bool blocked;
    };
    const Case cases[] = {
        {0, 0, 0, false},     {499, 99, 499, false}, {250, 50, 250, false}, {-1, 0, 0, true},
        {0, -1, 0, true},     {0, 0, -1, true},      {500, 0, 0, true},     {0, 100, 0, true},
        {0, 0, 500, true},    {250, -5, 250, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid.IsCellBlocked(c.x, c.y, c.z), c.blocked) << c.x << "," << c.y << "," << c.z;
        EXPECT_EQ(grid.IsCellBlocked(static_cast<int>(c.x), static_cast<int>(c.y), static_cast<int>(c.z)), c.blocked);
        EXPECT_EQ(grid.IsInBounds(c.x, c.y, c.z), !c.blocked);
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(grid.IsCellBlocked(nan, 0.0f, 0.0f));
}

TEST(SearchSpace, ColumnGrowsToTheHighestLevelWrittenAndNeverShrinks) {
    SearchSpace grid;
    BuildGameGrid(grid);
    EXPECT_EQ(grid.ColumnLength(10, 20), 1);
    grid.SetCell(10, 40, 20, true);
    EXPECT_EQ(grid.ColumnLength(10, 20), 41);
    for (int y = 0; y < 100; ++y) EXPECT_EQ(grid.IsCellBlocked(10, y, 20), y == 40) << y;
    grid.SetCell(10, 40, 20, false);
    EXPECT_EQ(grid.ColumnLength(10, 20), 41);
    for (int y = 0; y < 100; ++y) EXPECT_FALSE(grid.IsCellBlocked(10, y, 20)) << y;
    // Levels past the first storage word work like the low ones.
    grid.SetCell(10, 70, 20, true);
    grid.SetCell(10, 99, 20, true);
    EXPECT_TRUE(grid.IsCellBlocked(10, 70, 20));
    EXPECT_TRUE(grid.IsCellBlocked(10.0f, 99.0f, 20.0f));
    EXPECT_FALSE(grid.IsCellBlocked(10, 71, 20));
    EXPECT_EQ(grid.ColumnLength(10, 20), 100);
    // Neighbouring columns are untouched; writes outside are ignored.
    EXPECT_EQ(grid.ColumnLength(11, 20), 1);
    grid.SetCell(-1, 0, 0, true);
    grid.SetCell(0, 100, 0, true);
    EXPECT_EQ(grid.ColumnLength(0, 0), 1);
}

TEST(SearchSpace, BoxMarkingCellCounts) {
    struct Case {
        Vector3 centre, half;
        int cells;
    };
    const Case cases[] = {
        {{0.5f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, 1},     // grid-aligned unit block
        {{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 8},     // edge 2.0
        {{2.5f, 1.5f, 4.0f}, {1.5f, 1.5f, 2.0f}, 36},    // 3 x 3 x 4
        {{0.7f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, 1},     // off the boundary: the sample's cell only
        {{5.0f, 5.0f, 5.0f}, {0.0f, 0.0f, 0.0f}, 0},     // empty box
        {{5.0f, 5.0f, 5.0f}, {-1.0f, 1.0f, 1.0f}, 0},    // inverted box
        {{0.0f, 0.5f, 0.5f}, {1.0f, 0.5f, 0.5f}, 1},     // sticks out: only the inside sample's cell
        {{-0.5f, 0.5f, 0.5f}, {1.0f, 0.5f, 0.5f}, 0},    // samples -1.5 and -0.5: both outside
    };
    for (const Case& c : cases) {
        SearchSpace grid;
        BuildSmallGrid(grid);
        grid.SetBoxOccupancy(c.centre.x, c.centre.y, c.centre.z, c.half.x, c.half.y, c.half.z, true);
        EXPECT_EQ(CountBlocked(grid), c.cells) << c.centre << " " << c.half;
        grid.SetBoxOccupancy(c.centre.x, c.centre.y, c.centre.z, c.half.x, c.half.y, c.half.z, false);
        EXPECT_EQ(CountBlocked(grid), 0) << c.centre << " " << c.half;
    }
}

TEST(SearchSpace, UnitBlockInTheGameGridMarksItsOwnCell) {
    SearchSpace grid;
    BuildGameGrid(grid);
    grid.SetBoxOccupancy(-2.5f, 0.5f, 3.5f, 0.5f, 0.5f, 0.5f, true);
    EXPECT_TRUE(grid.IsCellBlocked(247, 0, 253));
    EXPECT_FALSE(grid.IsCellBlocked(248, 0, 253));
    EXPECT_FALSE(grid.IsCellBlocked(247, 1, 253));
    EXPECT_FALSE(grid.IsCellBlocked(247, 0, 254));
    grid.SetBoxOccupancy(-2.5f, 0.5f, 3.5f, 0.5f, 0.5f, 0.5f, false);
    EXPECT_FALSE(grid.IsCellBlocked(247, 0, 253));
}

// A box far larger than the grid is clamped to it before the walk: the whole
// inside is marked and the call returns at once, even for extents where unit
// steps in float no longer advance.
TEST(SearchSpace, HugeBoxesAreClampedToTheGrid) {
    const float huge[] = {1.0e6f, 1.0e9f, 1.0e30f, std::numeric_limits<float>::max() / 4};
    for (float h : huge) {
        SearchSpace grid;
        BuildSmallGrid(grid, 10, 10);
        const auto start = std::chrono::steady_clock::now();
        grid.SetBoxOccupancy(5.0f, 5.0f, 5.0f, h, h, h, true);
        EXPECT_EQ(CountBlocked(grid), 1000) << h;
        grid.SetBoxOccupancy(5.0f, 5.0f, 5.0f, h, h, h, false);
        EXPECT_EQ(CountBlocked(grid), 0) << h;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << h;
    }
    // A box far outside on one side marks nothing; one half in marks half.
    SearchSpace grid;
    BuildSmallGrid(grid, 10, 10);
    grid.SetBoxOccupancy(-1.0e9f, 5.0f, 5.0f, 10.0f, 5.0f, 5.0f, true);
    EXPECT_EQ(CountBlocked(grid), 0);
    grid.SetBoxOccupancy(-1.0e7f, 0.5f, 0.5f, 1.0e7f + 5.0f, 0.5f, 0.5f, true);
    EXPECT_EQ(CountBlocked(grid), 5);
}

TEST(SearchSpace, NonFiniteBoxesMarkNothing) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    SearchSpace grid;
    BuildSmallGrid(grid, 10, 10);
    grid.SetBoxOccupancy(nan, 5.0f, 5.0f, 1.0f, 1.0f, 1.0f, true);
    grid.SetBoxOccupancy(5.0f, 5.0f, 5.0f, inf, 1.0f, 1.0f, true);
    grid.SetBoxOccupancy(5.0f, 5.0f, 5.0f, 1.0f, nan, 1.0f, true);
    grid.SetBoxOccupancy(-inf, 5.0f, 5.0f, 1.0f, 1.0f, 1.0f, true);
    EXPECT_EQ(CountBlocked(grid), 0);
}

TEST(SearchSpace, ClearanceTwoOnAnOpenFloorGivesLevelMovesAndDiagonalsOnly) {
    SearchSpace grid;
    BuildSmallGrid(grid);
    for (int x = 0; x < 20; ++x)
        for (int z = 0; z < 20; ++z) grid.SetCell(x, 0, z, true);
    const Vector3 lo(0, 0, 0), hi(19, 19, 19);
    std::vector<Vector3> out;
    grid.GetNeighbours(out, 5, 1, 5, lo, hi, 2, 10);
    const std::vector<Vector3> expected = {{6, 1, 5}, {5, 1, 6}, {4, 1, 5}, {5, 1, 4},
                                           {6, 1, 6}, {4, 1, 6}, {6, 1, 4}, {4, 1, 4}};
    EXPECT_EQ(out, expected);

    // A block beside the walker on his level: that level move and the two
    // diagonals next to it go, and a step-up onto it comes.
    grid.SetCell(6, 1, 5, true);
    grid.GetNeighbours(out, 5, 1, 5, lo, hi, 2, 10);
    const std::vector<Vector3> withStep = {{5, 1, 6}, {4, 1, 5}, {5, 1, 4}, {4, 1, 6}, {4, 1, 4}, {6, 2, 5}};
    EXPECT_EQ(out, withStep);

    // No step-up when the cell above the walker's head is taken.
    grid.SetCell(5, 3, 5, true);
    grid.GetNeighbours(out, 5, 1, 5, lo, hi, 2, 10);
    EXPECT_FALSE(Contains(out, Vector3(6, 2, 5)));
}

TEST(SearchSpace, SearchBoundsLimitTheNeighbours) {
    SearchSpace grid;
    BuildSmallGrid(grid);
    for (int x = 0; x < 20; ++x)
        for (int z = 0; z < 20; ++z) grid.SetCell(x, 0, z, true);
    std::vector<Vector3> out;
    // The search box ends at x = 5: nothing on the +x side is offered.
    grid.GetNeighbours(out, 5, 1, 5, Vector3(0, 0, 0), Vector3(5.5f, 19, 19), 1, 10);
    for (const Vector3& c : out) EXPECT_LE(c.x, 5.0f) << c;
    EXPECT_TRUE(Contains(out, Vector3(4, 1, 5)));
}

TEST(SearchSpace, DropFindsTheFirstFloorWithinTheJumpHeight) {
    const Vector3 lo(0, 0, 0), hi(19, 39, 19);
    struct Case {
        int floorLevel;  // the blocked cell the walker drops onto
        bool found;
    };
    // Walker stands at level 15 on a pillar at (5, *, 5); beside it (+x) the
    // floor is at floorLevel, so the landing cell is floorLevel + 1.
    // A landing up to nine levels down is found; ten or more is not.
    const Case cases[] = {{13, true}, {10, true}, {5, true}, {4, false}, {0, false}};
    for (const Case& c : cases) {
        SearchSpace g;
        BuildSmallGrid(g, 20, 40);
        for (int y = 0; y < 15; ++y) g.SetCell(5, y, 5, true);
        g.SetCell(6, c.floorLevel, 5, true);
        std::vector<Vector3> out;
        g.GetNeighbours(out, 5, 15, 5, lo, hi, 1, 10);
        EXPECT_EQ(Contains(out, Vector3(6, static_cast<float>(c.floorLevel + 1), 5)), c.found) << c.floorLevel;
        // Nothing else lands on the +x side.
        for (const Vector3& n : out)
            if (n.x == 6 && n.z == 5) {
                EXPECT_EQ(n.y, static_cast<float>(c.floorLevel + 1));
            }
    }
}

TEST(SearchSpace, ZeroClearanceMakesNoTests) {
    SearchSpace grid;
    BuildSmallGrid(grid);
    std::vector<Vector3> out{Vector3(99, 99, 99)};
    // Mid-air in an empty grid: four level moves, four diagonals, four
    // step-ups; the drops find no floor within 3 levels.
    grid.GetNeighbours(out, 5, 10, 5, Vector3(0, 0, 0), Vector3(19, 19, 19), 0, 3);
    EXPECT_EQ(out.size(), 12u);
    EXPECT_FALSE(Contains(out, Vector3(99, 99, 99)));
    // Next to the floor the drop probe finds level 0's floor (below the grid).
    grid.GetNeighbours(out, 5, 0, 5, Vector3(0, 0, 0), Vector3(19, 19, 19), 0, 3);
    EXPECT_EQ(out.size(), 16u);
}

TEST(SearchSpace, LineOfSight) {
    SearchSpace grid;
    BuildSmallGrid(grid);
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(5, 2, 1), 0));
    EXPECT_TRUE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(15, 1, 7), 0));
    EXPECT_TRUE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(15, 1, 7), 1));
    grid.SetCell(8, 1, 4, true);
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(15, 1, 7), 1));
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(15, 1, 7), Vector3(1, 1, 1), 1));
    EXPECT_TRUE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(15, 1, 7), 0));
    // The block one level up only matters with a clearance of two.
    grid.SetCell(8, 1, 4, false);
    grid.SetCell(8, 2, 4, true);
    EXPECT_TRUE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(15, 1, 7), 1));
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(15, 1, 7), 2));
    // The start cell is never tested; the end cell is.
    grid.SetCell(1, 1, 1, true);
    EXPECT_TRUE(grid.HasLineOfSight(Vector3(1, 1, 1), Vector3(1, 1, 3), 1));
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 3), Vector3(1, 1, 1), 1));
    // A walk leaving the grid is blocked, and a far one ends at once.
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 10), Vector3(-5, 1, 10), 1));
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 10), Vector3(-1.0e30f, 1, 10), 1));
    EXPECT_FALSE(grid.HasLineOfSight(Vector3(1, 1, 10), Vector3(std::numeric_limits<float>::quiet_NaN(), 1, 10), 1));
}

// The line of sight answers as a walk that tests each visited cell and the
// levels above it one by one, on random grids with tall columns (levels past
// the first word), walks that leave the grid, levels at and past its top and
// bottom, fractional levels and clearances from none to very tall.
TEST(SearchSpace, LineOfSightAgreesWithTheCellByCellWalk) {
    std::mt19937 rng(31);
    for (int round = 0; round < 20; ++round) {
        SearchSpace grid;
        BuildSmallGrid(grid, 24, 100);
        std::uniform_int_distribution<int> cell(0, 23), level(0, 99), coin(0, 3);
        for (int k = 0; k < 300; ++k) grid.SetCell(cell(rng), coin(rng) == 0 ? level(rng) : level(rng) % 6, cell(rng), true);
        auto reference = [&](const Vector3& from, const Vector3& to, int clearance) {
            if (from.y != to.y) return false;
            if (clearance <= 0) return true;
            return SearchSpace::WalkLine(
                SearchSpace::CellIndex(from.x), SearchSpace::CellIndex(from.z), SearchSpace::CellIndex(to.x),
                SearchSpace::CellIndex(to.z), [&](long long cx, long long cz) {
                    for (int i = 0; i < clearance; ++i)
                        if (grid.IsCellBlocked(static_cast<float>(cx), from.y + static_cast<float>(i),
                                               static_cast<float>(cz)))
                            return false;
                    return true;
                });
        };
        std::uniform_int_distribution<int> wide(-4, 27), height(-2, 101);
        const int clearances[] = {0, 1, 2, 3, 5, 64, 70};
        for (int k = 0; k < 400; ++k) {
            const float y = static_cast<float>(height(rng)) + (coin(rng) == 0 ? 0.5f : 0.0f);
            const Vector3 from(static_cast<float>(wide(rng)), y, static_cast<float>(wide(rng)));
            const Vector3 to(static_cast<float>(wide(rng)), y, static_cast<float>(wide(rng)));
            for (int c : clearances)
                ASSERT_EQ(grid.HasLineOfSight(from, to, c), reference(from, to, c))
                    << "round " << round << " from " << from.x << "," << from.y << "," << from.z << " to " << to.x
                    << "," << to.z << " clearance " << c;
        }
    }
}

// The walk down a column finds the first blocked cell IsBlockedAt finds
// stepping down one unit at a time, on grids whose minimum is off the whole
// numbers too, from points inside, beside, above and below the grid and from
// non-finite ones.
TEST(SearchSpace, FirstBlockedBelowAgreesWithTheStepByStepTest) {
    std::mt19937 rng(7);
    const float minima[] = {0.0f, -250.0f, 0.37f};
    for (float m : minima) {
        SearchSpace grid;
        grid.SetBounds(m, m + 16.0f, m, m + 90.0f, m, m + 16.0f);
        grid.Build();
        std::uniform_int_distribution<int> cell(0, 15), level(0, 89), coin(0, 2);
        for (int k = 0; k < 400; ++k) grid.SetCell(cell(rng), coin(rng) == 0 ? level(rng) : level(rng) % 8, cell(rng), true);
        auto reference = [&](float x, float y, float z, int steps) {
            for (int k = 0; k <= steps; ++k)
                if (grid.IsBlockedAt(x, y - static_cast<float>(k), z)) return k;
            return -1;
        };
        std::uniform_real_distribution<float> across(m - 2.0f, m + 18.0f), up(m - 3.0f, m + 95.0f);
        for (int k = 0; k < 3000; ++k) {
            const float x = across(rng), y = up(rng), z = across(rng);
            for (int steps : {-1, 0, 1, 5, 92})
                ASSERT_EQ(grid.FirstBlockedBelow(x, y, z, steps), reference(x, y, z, steps))
                    << "minimum " << m << " point " << x << "," << y << "," << z << " steps " << steps;
        }
        const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
        const Vector3 odd[] = {{nan, 5, 5}, {5, nan, 5}, {5, 5, nan}, {5, inf, 5}, {5, -inf, 5}, {inf, 5, 5},
                               {m + 3, 1e30f, m + 3}, {m + 3, -1e30f, m + 3}};
        for (const Vector3& p : odd)
            EXPECT_EQ(grid.FirstBlockedBelow(p.x, p.y, p.z, 92), reference(p.x, p.y, p.z, 92))
                << "minimum " << m << " point " << p.x << "," << p.y << "," << p.z;
    }
}

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "support/Harness.h"

// The grid follows the block reports as they are delivered: placement marks,
// detach and pick-up free; a bomb request changes nothing; nothing consumes.
TEST(SearchSpace, FollowsBlockReports) {
    TestSupport::ResetSingletons();
    {
        SearchSpace grid;
        BuildGameGrid(grid);
        auto place = std::make_shared<EventTypes::EventUpdatePlaceBlock>();
        place->SetData(new EventTypes::EventUpdatePlaceBlockData(1, 2, Vector3(1.0f, 1.0f, 1.0f),
                                                                 Vector3(1.0f, 1.0f, 1.0f), 0));
        EventSystem::QueueEvent(place);
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandCreateBlock>(Vector3(1.0f, 1.0f, 1.0f)));
        EventSystem::ProcessEventQueue();
        // The box 0..2 on each axis: cells 250..251, 0..1, 250..251.
        int marked = 0;
        for (int x = 249; x <= 252; ++x)
            for (int y = 0; y <= 3; ++y)
                for (int z = 249; z <= 252; ++z) marked += grid.IsCellBlocked(x, y, z) ? 1 : 0;
        EXPECT_EQ(marked, 8);

        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateDetachBlock>(
            7, Vector3(0.5f, 0.5f, 0.5f), Vector3(0.5f, 0.5f, 0.5f)));
        EventSystem::ProcessEventQueue();
        EXPECT_FALSE(grid.IsCellBlocked(250, 0, 250));
        EXPECT_TRUE(grid.IsCellBlocked(251, 1, 251));

        // The pick-up frees the box at the block's position, not the taker's.
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdatePickUpBlock>(
            3, 4, 0, Vector3(1.5f, 1.5f, 1.5f), Vector3(0.5f, 0.5f, 0.5f), Vector3(1.5f, 0.5f, 1.5f)));
        EventSystem::ProcessEventQueue();
        EXPECT_FALSE(grid.IsCellBlocked(251, 0, 251));
        EXPECT_TRUE(grid.IsCellBlocked(251, 1, 251));

        EventTypes::EventUpdateDetachBlock detach(8, Vector3(1.5f, 1.5f, 1.5f), Vector3(0.5f, 0.5f, 0.5f));
        EXPECT_FALSE(grid.OnBlockEvent(detach));
        EXPECT_FALSE(grid.IsCellBlocked(251, 1, 251));
    }
    // The grid's listeners went with it.
    auto place = std::make_shared<EventTypes::EventUpdatePlaceBlock>();
    place->SetData(new EventTypes::EventUpdatePlaceBlockData(1, 2, Vector3(), Vector3(1, 1, 1), 0));
    EventSystem::QueueEvent(place);
    EventSystem::ProcessEventQueue();
    TestSupport::ResetSingletons();
}

// The word-wise neighbour generator against the walk that tests one cell at a
// time, over random worlds: columns taller than one word, cells at and past
// the grid's edges and top, odd search boxes, clearances from 1 to past a
// word, drop depths from none to the whole column.
TEST(SearchSpace, NeighboursFromColumnWordsMatchTheCellByCellWalk) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct World {
        int n, levels;
        unsigned seed;
        int fillPercent;
    };
    const World worlds[] = {{12, 150, 1, 20}, {9, 70, 2, 45}, {16, 20, 3, 10}, {7, 64, 4, 60}, {10, 200, 5, 3}};
    const int clearances[] = {1, 2, 3, 5, 40, 62, 63};
    const int jumps[] = {0, 1, 3, 10, 300};
    for (const World& w : worlds) {
        SearchSpace grid;
        grid.SetBounds(0.0f, static_cast<float>(w.n), 0.0f, static_cast<float>(w.levels), 0.0f,
                       static_cast<float>(w.n));
        grid.Build();
        std::mt19937 rng(w.seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        for (int x = 0; x < w.n; ++x)
            for (int z = 0; z < w.n; ++z)
                for (int y = 0; y < w.levels; ++y)
                    if (pick(0, 99) < w.fillPercent) grid.SetCell(x, y, z, true);
        // Some columns freed again high up (long columns with free tops).
        for (int k = 0; k < w.n; ++k) grid.SetCell(pick(0, w.n - 1), w.levels - 1, pick(0, w.n - 1), false);
        const Vector3 boxes[][2] = {{grid.Minimum(), grid.Maximum()},
                                    {Vector3(2, 1, 3), Vector3(7.5f, 66.5f, 8)},
                                    {Vector3(3, 62, 0), Vector3(5, 70, 4)},
                                    {Vector3(-5, -5, -5), Vector3(nan, 300, 300)}};
        std::vector<Vector3> fast, slow;
        for (int trial = 0; trial < 6000; ++trial) {
            const float x = static_cast<float>(pick(-1, w.n));
            const float y = static_cast<float>(pick(-2, w.levels + 1));
            const float z = static_cast<float>(pick(-1, w.n));
            const int c = clearances[pick(0, 6)];
            const int j = jumps[pick(0, 4)];
            const auto& box = boxes[pick(0, 3)];
            grid.GetNeighbours(fast, x, y, z, box[0], box[1], c, j);
            grid.GetNeighboursCellByCell(slow, x, y, z, box[0], box[1], c, j);
            ASSERT_EQ(fast, slow) << "world " << w.seed << " cell " << Vector3(x, y, z) << " clearance " << c
                                  << " jump " << j << " box " << box[0] << box[1];
            // The column numbers handed to the path search with the cells.
            Vector3 cells[SearchSpace::kMaxNeighbours];
            int32_t columns[SearchSpace::kMaxNeighbours];
            int32_t moves[SearchSpace::kMaxNeighbours];
            const int n = grid.FillNeighbours(cells, columns, x, y, z, grid.SearchCells(box[0], box[1]), c, j, moves);
            ASSERT_EQ(std::vector<Vector3>(cells, cells + n), slow);
            for (int k = 0; k < n; ++k) {
                const Vector3& cell = cells[k];
                const bool inside = cell.x >= 0 && cell.x < w.n && cell.z >= 0 && cell.z < w.n;
                // The cell walk's answers carry no move; the others the step
                // to the cell, exact in float.
                ASSERT_EQ(moves[k] == SearchSpace::kUnknownMove, columns[k] == SearchSpace::kUnknownColumn);
                if (columns[k] == SearchSpace::kUnknownColumn) continue;  // the cell walk's answer
                const Vector3 step(cell.x - x, cell.y - y, cell.z - z);
                EXPECT_EQ(moves[k], SearchSpace::MoveCode(static_cast<int>(step.x), static_cast<int>(step.y),
                                                          static_cast<int>(step.z)))
                    << cell;
                EXPECT_EQ(step, Vector3(static_cast<float>(static_cast<int>(step.x)),
                                        static_cast<float>(static_cast<int>(step.y)),
                                        static_cast<float>(static_cast<int>(step.z))))
                    << cell;
                EXPECT_EQ(columns[k], inside ? static_cast<int32_t>(cell.z) * w.n + static_cast<int32_t>(cell.x)
                                             : SearchSpace::kOutsideColumns)
                    << cell;
            }
        }
    }
}
