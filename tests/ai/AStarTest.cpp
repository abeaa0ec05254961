// Time-sliced A* over the search grid, and the two kinds of search request.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <string>
#include <vector>

#include "ai/AIClock.h"
#include "ai/AISettings.h"
#include "ai/AStar.h"
#include "ai/sml/AIGameObject.h"
#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"
#include "ai/sml/StateMachine.h"
#include "ai/SearchRequest.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "support/Harness.h"

using namespace AI;
using Geometry::Vector3;

namespace {

// A machine that keeps every message it receives and may act on it.
class Inbox : public StateMachine {
public:
    explicit Inbox(AIGameObject* owner) : StateMachine(owner, "Inbox") {}
    std::vector<Msg> received;
    std::function<void(const Msg&)> onMessage;

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t, int32_t) override {
        if (kind != EVENT_MESSAGE || !msg) return false;
        received.push_back(*msg);
        if (onMessage) onMessage(*msg);
        return true;
    }
};

class Bot : public AIGameObject {
public:
    explicit Bot(uint16_t id) : AIGameObject(id, "bot") {
        inbox = std::make_shared<Inbox>(this);
        PushMachine(inbox);
    }
    void OnReset() override {}
    std::shared_ptr<Inbox> inbox;
};

// What the manager did with a probe request; outlives the request, which the
// manager destroys when its search ends.
struct Probe {
    int visits = 0;
    int successes = 0;
    int failures = 0;
    std::function<void()> onFailure;
};

class ProbeRequest : public PathRequest {
public:
    ProbeRequest(std::shared_ptr<Probe> probe, const SearchSpace& grid, const Vector3& start, const Vector3& goal,
                 int32_t timeOut = 100000)
        : PathRequest(grid, start, goal, 7, 0, 0, 0, 0, timeOut), m_probe(std::move(probe)) {}
    void VisitNode(const Node&) override { ++m_probe->visits; }
    void OnSuccess(int32_t) override { ++m_probe->successes; }
    void OnFailure() override {
        ++m_probe->failures;
        if (m_probe->onFailure) m_probe->onFailure();
    }
    using IRequest::m_kind;
    using IRequest::m_name;

private:
    std::shared_ptr<Probe> m_probe;
};

class Planner : public IFlagSearchPlanner {
public:
    std::vector<std::pair<Vector3, Vector3>> walls;
    int ready = 0, failed = 0;
    Path path;
    void RecordWall(const Vector3& from, const Vector3& to) override { walls.emplace_back(from, to); }
    size_t WallCount() const override { return walls.size(); }
    void OnFlagPathReady(Path p) override {
        ++ready;
        path = std::move(p);
    }
    void OnFlagSearchFailed() override { ++failed; }
};

const Vector3 kPointOffset(0.5f, 1.5f, 0.5f);

class AStarTest : public ::testing::Test {
protected:
    AStarTest() {
        TestSupport::ResetSingletons();
        settings.clearanceHeight = 1;
        settings.jumpHeight = 10;
        settings.aStarTimeSlice = 5;
        astar = std::make_unique<AStar>(settings, clock);
        astar->SetMillisecondClock([this] { return fakeMs; });  // frozen: slices never run out
        route.SetReceiverLookup([this](uint16_t id) -> AIGameObject* {
            auto it = bots.find(id);
            return it == bots.end() ? nullptr : it->second.get();
        });
    }
    ~AStarTest() override { MsgRoute::ResetWalkDepth(); }

    // Lays out a map, one string per row of z, one character per x, all on
    // level 0: '.' floor, '#' a wall three cells high, '1' a block one cell
    // high, 'S' and 'G' start and goal on the floor, 's' a start on top of a
    // one-high block. The grid is exactly the map, 8 levels high.
    void Map(const std::vector<std::string>& rows) {
        const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
        SearchSpace& grid = astar->GetGrid();
        grid.SetBounds(0, static_cast<float>(w), 0, 8, 0, static_cast<float>(h));
        grid.Build();
        for (int z = 0; z < h; ++z)
            for (int x = 0; x < w; ++x) {
                const char c = rows[z][x];
                if (c == '#') {
                    for (int y = 0; y < 3; ++y) grid.SetCell(x, y, z, true);
                } else if (c == '1' || c == 's') {
                    grid.SetCell(x, 0, z, true);
                }
                if (c == 'S') start = Vector3(static_cast<float>(x), 0, static_cast<float>(z));
                if (c == 's') start = Vector3(static_cast<float>(x), 1, static_cast<float>(z));
                if (c == 'G') goal = Vector3(static_cast<float>(x), 0, static_cast<float>(z));
            }
    }

    Bot& AddBot(uint16_t id) {
        bots[id] = std::make_unique<Bot>(id);
        return *bots[id];
    }

    // A path request from `start` to `goal` (world points inside the cells).
    std::unique_ptr<PathRequest> Request(uint16_t requester, int32_t timeOut = 100000, Vector3 half = {}) {
        return std::make_unique<PathRequest>(astar->GetGrid(), start + Vector3(0.5f, 0.2f, 0.5f),
                                             goal + Vector3(0.5f, 0.2f, 0.5f), requester, half.x, half.y, half.z, 0,
                                             timeOut);
    }

    // Runs updates until nothing is pending or running.
    int RunToEnd(int maxUpdates = 1000) {
        int n = 0;
        while ((astar->PendingCount() || astar->RunningCount()) && n < maxUpdates) {
            astar->Update();
            ++n;
        }
        return n;
    }

    // The path's cells and its cost by the search's own rules.
    static std::vector<Vector3> Cells(const Path& path) {
        std::vector<Vector3> cells;
        for (const PathPoint& p : path) cells.push_back(p.position - kPointOffset);
        return cells;
    }
    double Cost(const std::vector<Vector3>& c, bool withTurns = true) const {
        double cost = 0;
        for (size_t i = 1; i < c.size(); ++i) {
            const Vector3 d = c[i] - c[i - 1];
            if (d.y != 0)
                cost += settings.climbPenalty;
            else if (d.x != 0 && d.z != 0)
                cost += 1.4142;
            else
                cost += 1.0;
            if (withTurns && i >= 2 && d != c[i - 1] - c[i - 2]) cost += 0.1;
        }
        return cost;
    }
    // Cheapest cost between two cells over the grid's moves, without turn
    // penalties: an independent Dijkstra.
    double Reference(const Vector3& from, const Vector3& to) const {
        const SearchSpace& grid = astar->GetGrid();
        auto key = [](const Vector3& v) { return std::to_string(int(v.x)) + "," + std::to_string(int(v.y)) + "," + std::to_string(int(v.z)); };
        std::map<std::string, double> best;
        using Item = std::pair<double, Vector3>;
        auto cmp = [](const Item& a, const Item& b) { return a.first > b.first; };
        std::priority_queue<Item, std::vector<Item>, decltype(cmp)> q(cmp);
        q.push({0.0, from});
        best[key(from)] = 0.0;
        std::vector<Vector3> nb;
        while (!q.empty()) {
            auto [d, c] = q.top();
            q.pop();
            if (d > best[key(c)]) continue;
            if (c == to) return d;
            grid.GetNeighbours(nb, c.x, c.y, c.z, grid.Minimum(), grid.Maximum(), settings.clearanceHeight,
                               settings.jumpHeight);
            for (const Vector3& n : nb) {
                const double step = n.y != c.y ? settings.climbPenalty : (n.x != c.x && n.z != c.z ? 1.4142 : 1.0);
                auto it = best.find(key(n));
                if (it == best.end() || d + step < it->second) {
                    best[key(n)] = d + step;
                    q.push({d + step, n});
                }
            }
        }
        return -1;
    }
    // Every step of the path is a move the grid offers.
    void ExpectLegal(const std::vector<Vector3>& c) const {
        const SearchSpace& grid = astar->GetGrid();
        std::vector<Vector3> nb;
        for (size_t i = 1; i < c.size(); ++i) {
            grid.GetNeighbours(nb, c[i - 1].x, c[i - 1].y, c[i - 1].z, grid.Minimum(), grid.Maximum(),
                               settings.clearanceHeight, settings.jumpHeight);
            EXPECT_NE(std::find(nb.begin(), nb.end(), c[i]), nb.end()) << "step " << i;
        }
    }

    AISettings settings;
    AIClock clock;
    MsgRoute route{clock};
    std::unique_ptr<AStar> astar;
    uint64_t fakeMs = 1000;
    std::map<uint16_t, std::unique_ptr<Bot>> bots;
    Vector3 start{}, goal{};
};

// ---------------------------------------------------------------------------

struct MapCase {
    const char* name;
    std::vector<std::string> rows;
    size_t points;  // expected number of path points
};

class ShortestPathTest : public AStarTest, public ::testing::WithParamInterface<MapCase> {};

TEST_P(ShortestPathTest, FindsACheapestLegalPath) {
    const MapCase& c = GetParam();
    Map(c.rows);
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    RunToEnd();
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    const Msg& msg = bot.inbox->received[0];
    ASSERT_EQ(msg.id, MSG_SEARCH_SUCCESS);
    EXPECT_EQ(msg.data1, 1);
    Path path;
    ASSERT_TRUE(astar->RetrievePath(msg.data2, path));
    const std::vector<Vector3> cells = Cells(path);
    ASSERT_GE(cells.size(), 2u);
    EXPECT_EQ(cells.front(), start);
    EXPECT_EQ(cells.back(), goal);
    for (const PathPoint& p : path) EXPECT_FALSE(p.flag);
    EXPECT_EQ(cells.size(), c.points);
    if (cells.size() > 2) {
        ExpectLegal(cells);
        EXPECT_NEAR(Cost(cells, false), Reference(start, goal), 1e-4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, ShortestPathTest,
    ::testing::Values(
        // Nothing blocks the straight walk: two points, no search.
        MapCase{"LineOfSight", {"#######", "#S...G#", "#######"}, 2},
        MapCase{"WallWithGapBelow", {"...#...", ".S.#.G.", "...#...", "......."}, 7},
        MapCase{"Corridor", {"#########",
                             "#S#.....#",
                             "#.#.###.#",
                             "#.#.#G#.#",
                             "#.#.#.#.#",
                             "#...#...#",
                             "#########"},
                23},
        MapCase{"OpenFieldAroundPillar", {"..........", "..........", ".S..##..G.", "....##....", ".........."}, 8},
        // A one-high block in the way is cheaper to climb over than to pass.
        MapCase{"StepOverLowWall", {"#######", "#S.1.G#", "#######"}, 5},
        // From the top of a block the walker drops to the floor.
        MapCase{"DropFromBlock", {"#####", "#s#.#", "#.#G#", "#...#", "#####"}, 6}),
    [](const ::testing::TestParamInfo<MapCase>& i) { return std::string(i.param.name); });

TEST_F(AStarTest, StartCellThatIsTheGoalGivesTwoEqualPoints) {
    Map({"...", ".S.", "..."});
    goal = start;
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    astar->Update();
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    Path path;
    ASSERT_TRUE(astar->RetrievePath(bot.inbox->received[0].data2, path));
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(path[0].position, start + kPointOffset);
    EXPECT_EQ(path[1].position, start + kPointOffset);
}

TEST_F(AStarTest, LineOfSightAnswersAtStartWithoutASlice) {
    Map({"#######", "#S...G#", "#######"});
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    astar->Update();
    EXPECT_EQ(astar->RunningCount(), 0u);
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    Path path;
    ASSERT_TRUE(astar->RetrievePath(bot.inbox->received[0].data2, path));
    ASSERT_EQ(path.size(), 2u);
    EXPECT_EQ(path[0].position, start + kPointOffset);
    EXPECT_EQ(path[1].position, goal + kPointOffset);
}

TEST_F(AStarTest, UnreachableGoalFailsCleanlyWhenTheOpenListEmpties) {
    Map({".......", ".S.###.", "...#G#.", "...###.", "......."});
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    RunToEnd();
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    EXPECT_EQ(bot.inbox->received[0].id, MSG_SEARCH_FAILURE);
    EXPECT_EQ(bot.inbox->received[0].data1, 1);
    EXPECT_EQ(bot.inbox->received[0].data2, 0);
    EXPECT_EQ(astar->StoredPathCount(), 0u);
    EXPECT_EQ(astar->RunningCount(), 0u);
}

// The expanded node used to stay on the open list. Now it is taken off: an
// enclosed goal makes the search exhaust the reachable area, and on an even
// floor (nothing cheaper reopens a node) every reachable cell is expanded
// exactly once before the search fails.
TEST_F(AStarTest, EachNodeIsExpandedOnceAndLeavesTheOpenList) {
    Map({"........", ".S.###..", "...#G#..", "...###..", "........"});
    auto probe = std::make_shared<Probe>();
    astar->AddRequest(std::make_unique<ProbeRequest>(probe, astar->GetGrid(), start, goal));
    astar->Update();  // start and one unlimited slice: the search ends here
    EXPECT_EQ(astar->RunningCount(), 0u);
    EXPECT_EQ(probe->failures, 1);
    // 40 cells, of which 8 are wall and 1 is the enclosed goal.
    EXPECT_EQ(probe->visits, 31);
    EXPECT_EQ(astar->LastSearchNodeCount(), 31u);
}

TEST_F(AStarTest, OpenListTakesSmallestFirstAndEqualFFirstIn) {
    std::deque<Node> nodes;
    auto make = [&](float f) {
        nodes.emplace_back(static_cast<float>(nodes.size()), 0.f, 0.f, static_cast<int32_t>(nodes.size()), nullptr);
        nodes.back().f = f;
        return &nodes.back();
    };
    OpenList open;
    Node* a = make(5);
    Node* b = make(3);
    Node* c = make(5);
    Node* d = make(3);
    Node* e = make(4);
    for (Node* n : {a, b, c, d, e}) open.Push(n);
    // d gets cheaper and is pushed again: its old entry is skipped.
    open.Remove(d);
    d->f = 1;
    open.Push(d);
    open.Remove(e);
    EXPECT_EQ(open.Size(), 4u);
    std::vector<Node*> order;
    while (!open.Empty()) {
        Node* n = open.Pop();
        EXPECT_FALSE(open.Contains(n));
        order.push_back(n);
    }
    EXPECT_EQ(order, (std::vector<Node*>{d, b, a, c}));
    EXPECT_EQ(open.Pop(), nullptr);
}

TEST(NodeStore, NodesKeepTheirPlaceAcrossBlocks) {
    NodeStore store;
    std::vector<Node*> added;
    for (int i = 0; i < 5000; ++i) added.push_back(store.Add(static_cast<float>(i), 0, 0, i, nullptr));
    ASSERT_EQ(store.Size(), 5000u);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(store.At(static_cast<size_t>(i)), added[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(added[static_cast<size_t>(i)]->x, static_cast<float>(i));  // not moved by later additions
    }
}

// Column slots come zeroed, however many there are, keep what is written,
// are wiped by Zero, and move to their new owner whole.
TEST(ZeroedArray, StartsZeroedKeepsWritesAndMovesWhole) {
    for (size_t n : {size_t{1}, size_t{16}, size_t{300000}}) {
        ZeroedArray<NodeTable::Slot> slots;
        slots.Allocate(n);
        ASSERT_EQ(slots.size(), n);
        auto zero = [](const NodeTable::Slot& s) { return s.stamp == 0 && s.head == 0 && s.headY == 0.0f && s.headG == 0.0f; };
        for (size_t i = 0; i < n; i += 997) EXPECT_TRUE(zero(slots[i])) << i;
        EXPECT_TRUE(zero(slots[n - 1]));
        slots[0].stamp = 7;
        slots[n - 1].headG = 2.5f;
        EXPECT_EQ(slots[0].stamp, 7u);
        EXPECT_EQ(slots[n - 1].headG, 2.5f);

        ZeroedArray<NodeTable::Slot> moved(std::move(slots));
        EXPECT_EQ(slots.size(), 0u);
        ASSERT_EQ(moved.size(), n);
        EXPECT_EQ(moved[0].stamp, 7u);
        EXPECT_EQ(moved[n - 1].headG, 2.5f);
        slots = std::move(moved);
        EXPECT_EQ(moved.size(), 0u);
        EXPECT_EQ(slots[n - 1].headG, 2.5f);

        slots.Zero();
        EXPECT_TRUE(zero(slots[0]));
        EXPECT_TRUE(zero(slots[n - 1]));
        slots[n / 2].head = 3;
        slots.Allocate(n);
        EXPECT_TRUE(zero(slots[n / 2]));
    }
}

// Look-ups read a column's newest node and its cost from the column's slot;
// other levels of the column, costs that improve and cells outside the grid
// must still come out right, and a new search sees none of the old nodes.
TEST(NodeTable, FindsEveryLevelOfAColumnWithItsCurrentCost) {
    NodeStore store;
    auto columns = std::make_unique<NodeTable::Columns>();
    columns->nx = 4;
    columns->nz = 4;
    columns->slots.Allocate(16);
    auto table = std::make_unique<NodeTable>(std::move(columns), 8, store);
    auto add = [&](float x, float y, float z, float g) {
        Node* n = store.Add(x, y, z, static_cast<int32_t>(store.Size()), nullptr);
        n->g = g;
        table->Insert(n);
        return n;
    };
    Node* low = add(1, 0, 2, 5);
    Node* high = add(1, 3, 2, 7);  // now the column's newest
    Node* outside = add(-1, 0, 9, 2);
    struct Case {
        float x, y, z;
        Node* node;
        float g;
    };
    auto check = [&](std::initializer_list<Case> cases) {
        for (const Case& c : cases) {
            float g = -1;
            EXPECT_EQ(table->Find(c.x, c.y, c.z, g), c.node) << c.x << "," << c.y << "," << c.z;
            if (c.node) {
                EXPECT_EQ(g, c.g) << c.x << "," << c.y << "," << c.z;
            }
        }
    };
    check({{1, 0, 2, low, 5}, {1, 3, 2, high, 7}, {-1, 0, 9, outside, 2}, {1, 1, 2, nullptr, 0},
           {2, 0, 2, nullptr, 0}, {-1, 1, 9, nullptr, 0}});
    table->SetCost(low, 4.5f);
    table->SetCost(high, 6.5f);
    table->SetCost(outside, 1.5f);
    check({{1, 0, 2, low, 4.5f}, {1, 3, 2, high, 6.5f}, {-1, 0, 9, outside, 1.5f}});
    EXPECT_EQ(low->g, 4.5f);
    EXPECT_EQ(high->g, 6.5f);
    // The next search on the same slots starts empty.
    columns = table->ReleaseColumns();
    store.Clear();
    table = std::make_unique<NodeTable>(std::move(columns), 8, store);
    check({{1, 0, 2, nullptr, 0}, {1, 3, 2, nullptr, 0}});
    Node* again = add(1, 0, 2, 3);
    EXPECT_EQ(again->number, 0u);
    check({{1, 0, 2, again, 3}, {1, 3, 2, nullptr, 0}});
}

TEST_F(AStarTest, TimeSliceIsHonouredAcrossUpdates) {
    const std::vector<std::string> rows = {
        "....................", ".S..............#...", "................#...", "................#.G.",
        "................#...", "................#...", "...................."};
    // Reference: unlimited slice.
    Map(rows);
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    EXPECT_EQ(RunToEnd(), 1);
    Path whole;
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    ASSERT_TRUE(astar->RetrievePath(bot.inbox->received[0].data2, whole));
    bot.inbox->received.clear();

    // Each reading of the clock moves it by 1 ms; a 4 ms slice lasts a few nodes.
    astar->SetMillisecondClock([this] { return fakeMs++; });
    settings.aStarTimeSlice = 4;
    astar->AddRequest(Request(7));
    const int updates = RunToEnd();
    EXPECT_GT(updates, 3);
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    ASSERT_EQ(bot.inbox->received[0].id, MSG_SEARCH_SUCCESS);
    Path sliced;
    ASSERT_TRUE(astar->RetrievePath(bot.inbox->received[0].data2, sliced));
    EXPECT_EQ(Cells(sliced), Cells(whole));
}

TEST_F(AStarTest, BudgetIsSharedAmongRunningSearches) {
    // With a clock moving 1 ms per reading, a slice expands as many nodes as
    // its budget has milliseconds; two searches each get half of 20 ms.
    Map({"..............................", ".S...........#..............G.", ".............#................",
         ".............#................"});
    astar->SetMillisecondClock([this] { return fakeMs++; });
    settings.aStarTimeSlice = 20;
    auto a = std::make_shared<Probe>(), b = std::make_shared<Probe>();
    astar->AddRequest(std::make_unique<ProbeRequest>(a, astar->GetGrid(), start, goal));
    astar->AddRequest(std::make_unique<ProbeRequest>(b, astar->GetGrid(), start, goal));
    astar->Update();
    ASSERT_EQ(astar->RunningCount(), 2u);
    EXPECT_EQ(a->visits, 10);
    EXPECT_EQ(b->visits, 10);
    astar->Update();
    EXPECT_EQ(a->visits, 20);
}

TEST_F(AStarTest, SearchOverItsTimeOutFailsCleanly) {
    // A goal walled in on a large open floor: the search would exhaust the
    // whole floor; its 5 ms time-out ends it first.
    std::vector<std::string> rows(60, std::string(60, '.'));
    rows[5][5] = 'S';
    rows[40][39] = rows[40][41] = rows[39][40] = rows[41][40] = '#';
    rows[39][39] = rows[39][41] = rows[41][39] = rows[41][41] = '#';
    rows[40][40] = 'G';
    Map(rows);
    Bot& bot = AddBot(7);
    astar->SetMillisecondClock([this] { return fakeMs++; });
    settings.aStarTimeSlice = 3;
    astar->AddRequest(Request(7, 5));
    const int updates = RunToEnd();
    EXPECT_LE(updates, 4);  // slices of 3 ms add up past 5 ms within a few frames
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    EXPECT_EQ(bot.inbox->received[0].id, MSG_SEARCH_FAILURE);
    EXPECT_EQ(astar->RunningCount(), 0u);
}

TEST_F(AStarTest, OnlyMaxSearchesRunAndAtMostTenStartPerUpdate) {
    Map({"...#......", ".S.#....G.", "...#......", ".........."});
    settings.maxSearches = 3;
    astar->SetMillisecondClock([this] { return fakeMs += 10; });  // every slice runs out at once
    for (int i = 0; i < 12; ++i)
        astar->AddRequest(std::make_unique<ProbeRequest>(std::make_shared<Probe>(), astar->GetGrid(), start, goal));
    astar->Update();
    EXPECT_EQ(astar->RunningCount(), 3u);
    EXPECT_EQ(astar->PendingCount(), 9u);
    astar->Update();
    EXPECT_EQ(astar->RunningCount(), 3u);
    // Lift the limit: at most ten start in one update.
    settings.maxSearches = 100;
    for (int i = 0; i < 5; ++i)
        astar->AddRequest(std::make_unique<ProbeRequest>(std::make_shared<Probe>(), astar->GetGrid(), start, goal));
    astar->Update();
    EXPECT_EQ(astar->RunningCount(), 13u);
    EXPECT_EQ(astar->PendingCount(), 4u);
}

TEST_F(AStarTest, ANewSearchStartsWhenOneFinishes) {
    Map({"...#......", ".S.#....G.", "...#......", ".........."});
    settings.maxSearches = 1;
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    astar->AddRequest(Request(7));
    astar->Update();  // first starts and finishes (unlimited slice)
    EXPECT_EQ(bot.inbox->received.size(), 1u);
    EXPECT_EQ(astar->PendingCount(), 1u);
    astar->Update();
    EXPECT_EQ(bot.inbox->received.size(), 2u);
}

// Finished searches hand their node blocks, open-list memory and column
// slots to later ones. A search must not see anything of the one before: the
// same request, run alone, after a larger search and interleaved with others
// in running-out slices, visits the same nodes in the same order with the
// same costs and finds the same path.
TEST_F(AStarTest, SearchesOnReusedMemoryVisitTheSameNodesInTheSameOrder) {
    struct Trace {
        std::vector<std::array<float, 5>> visits;
        int32_t id = -1;
        int reports = 0;
    };
    class TraceRequest : public PathRequest {
    public:
        TraceRequest(Trace* t, const SearchSpace& grid, const Vector3& s, const Vector3& g)
            : PathRequest(grid, s, g, IRequest::kNoRequester, 0, 0, 0, 0, 1000000), m_t(t) {}
        void VisitNode(const Node& n) override { m_t->visits.push_back({n.x, n.y, n.z, n.g, n.f}); }
        void OnSuccess(int32_t id) override {
            m_t->id = id;
            ++m_t->reports;
        }
        void OnFailure() override { ++m_t->reports; }

    private:
        Trace* m_t;
    };
    // 40 x 12, split by a wall with its gap at the far end, more walls and
    // one-high blocks: searches of several hundred nodes, past the first node
    // blocks.
    Map({"....................#...................",
         ".S..................#...............G...",
         "...............11...#......#............",
         ".....####...........#......#............",
         "....................#......#......1.....",
         "....................#......#............",
         "............#.......#...................",
         "............#.......#...................",
         "...11.......#.......#..........###......",
         "....................#...................",
         ".........1..........#.........1.........",
         "........................................"});
    const Vector3 in(0.5f, 0.2f, 0.5f);
    const Vector3 a0 = start + in, a1 = goal + in;
    const Vector3 b0 = Vector3(39, 0, 11) + in, b1 = Vector3(0, 0, 11) + in;
    auto run = [&](std::vector<std::pair<Vector3, Vector3>> jobs) {
        std::vector<std::unique_ptr<Trace>> traces;
        for (const auto& j : jobs) {
            traces.push_back(std::make_unique<Trace>());
            astar->AddRequest(std::make_unique<TraceRequest>(traces.back().get(), astar->GetGrid(), j.first, j.second));
        }
        RunToEnd(100000);
        std::vector<std::pair<std::vector<std::array<float, 5>>, std::vector<Vector3>>> out;
        for (auto& t : traces) {
            EXPECT_EQ(t->reports, 1);
            Path p;
            EXPECT_TRUE(astar->RetrievePath(t->id, p));
            out.emplace_back(std::move(t->visits), Cells(p));
        }
        return out;
    };
    const auto alone = run({{a0, a1}})[0];
    ASSERT_GT(astar->LastSearchNodeCount(), 300u);
    ASSERT_FALSE(alone.second.empty());
    const auto other = run({{b0, b1}})[0];
    EXPECT_EQ(run({{a0, a1}})[0], alone);
    // Two at a time in slices that run out after a few nodes.
    settings.maxSearches = 2;
    astar->SetMillisecondClock([this] { return fakeMs++ / 4; });
    const auto mixed = run({{b0, b1}, {a0, a1}, {a0, a1}, {b0, b1}, {a0, a1}});
    EXPECT_EQ(mixed[0], other);
    EXPECT_EQ(mixed[1], alone);
    EXPECT_EQ(mixed[2], alone);
    EXPECT_EQ(mixed[3], other);
    EXPECT_EQ(mixed[4], alone);
}

TEST_F(AStarTest, AResultCanBeFetchedOnce) {
    Map({"#######", "#S...G#", "#######"});
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    astar->AddRequest(Request(7));
    astar->Update();
    ASSERT_EQ(bot.inbox->received.size(), 2u);
    const int32_t first = bot.inbox->received[0].data2, second = bot.inbox->received[1].data2;
    EXPECT_NE(first, second);
    Path path;
    EXPECT_TRUE(astar->RetrievePath(first, path));
    Path untouched = {PathPoint{Vector3(9, 9, 9), true}};
    EXPECT_FALSE(astar->RetrievePath(first, untouched));
    ASSERT_EQ(untouched.size(), 1u);
    EXPECT_TRUE(untouched[0].flag);
    EXPECT_FALSE(astar->RetrievePath(12345, untouched));
}

// Paths used to stay stored until shutdown when nobody fetched them.
TEST_F(AStarTest, UnfetchedPathsAreReleasedAfterAWhile) {
    Map({"#######", "#S...G#", "#######"});
    AddBot(7);
    astar->AddRequest(Request(7));  // the bot is told but never fetches
    astar->AddRequest(Request(99)); // nobody drives actor 99
    astar->Update();
    EXPECT_EQ(astar->StoredPathCount(), 2u);
    clock.Advance(static_cast<int32_t>(AStar::kUnfetchedPathLifetimeMs - 1));
    astar->Update();
    EXPECT_EQ(astar->StoredPathCount(), 2u);
    clock.Advance(1);
    astar->Update();
    EXPECT_EQ(astar->StoredPathCount(), 0u);
}

// The bot hears of its result only after the manager's walk over its lists,
// so it may fetch, ask again or even clear the manager from its handler.
TEST_F(AStarTest, ResultsSentAtOnceArriveAfterTheWalk) {
    Map({"...#......", ".S.#....G.", "...#......", ".........."});
    Bot& bot = AddBot(7);
    int handled = 0;
    size_t runningSeen = 99;
    bot.inbox->onMessage = [&](const Msg& m) {
        ++handled;
        runningSeen = astar->RunningCount();
        Path p;
        EXPECT_TRUE(astar->RetrievePath(m.data2, p));
        EXPECT_FALSE(p.empty());
        if (handled == 1) astar->AddRequest(Request(7));
    };
    astar->AddRequest(Request(7));
    astar->AddRequest(Request(7));
    astar->Update();
    EXPECT_EQ(handled, 2);
    EXPECT_EQ(runningSeen, 0u);  // both searches had left the running list
    EXPECT_EQ(astar->PendingCount(), 1u);
    bot.inbox->onMessage = [&](const Msg&) { astar->Clear(); };
    astar->Update();
    EXPECT_EQ(astar->PendingCount(), 0u);
    EXPECT_EQ(astar->StoredPathCount(), 0u);
}

TEST_F(AStarTest, RequestThatClearsTheManagerDuringTheWalkIsSafe) {
    Map({".......", ".S.###.", "...#G#.", "...###.", "......."});
    auto first = std::make_shared<Probe>(), other = std::make_shared<Probe>();
    first->onFailure = [this] { astar->Clear(); };
    astar->AddRequest(std::make_unique<ProbeRequest>(first, astar->GetGrid(), start, goal));
    astar->AddRequest(std::make_unique<ProbeRequest>(other, astar->GetGrid(), start, goal));
    astar->AddRequest(std::make_unique<ProbeRequest>(other, astar->GetGrid(), start, goal));
    astar->Update();
    EXPECT_EQ(first->failures, 1);
    EXPECT_EQ(other->failures + other->successes, 0);  // dropped unanswered
    EXPECT_EQ(astar->RunningCount(), 0u);
    EXPECT_EQ(astar->PendingCount(), 0u);
}

TEST_F(AStarTest, ClimbAndDropCostsFollowTheSettings) {
    // Over the one-high wall (climb, then drop) or round it through the gap.
    Map({"#########", "#S..1..G#", "#...1...#", "#.......#", "#########"});
    Bot& bot = AddBot(7);
    auto runOnce = [&]() {
        bot.inbox->received.clear();
        astar->AddRequest(Request(7));
        RunToEnd();
        Path p;
        EXPECT_EQ(bot.inbox->received.size(), 1u);
        if (!bot.inbox->received.empty()) astar->RetrievePath(bot.inbox->received[0].data2, p);
        return Cells(p);
    };
    auto maxLevel = [](const std::vector<Vector3>& c) {
        float m = 0;
        for (const Vector3& v : c) m = std::max(m, v.y);
        return m;
    };
    settings.climbPenalty = 1.0f;
    const std::vector<Vector3> over = runOnce();
    EXPECT_EQ(maxLevel(over), 1.0f);
    EXPECT_NEAR(Cost(over, false), 6.0, 1e-4);  // four level steps, one climb, one drop
    EXPECT_NEAR(Cost(over, false), Reference(start, goal), 1e-4);
    settings.climbPenalty = 5.0f;  // as a console change: taken at the next search
    const std::vector<Vector3> round = runOnce();
    EXPECT_EQ(maxLevel(round), 0.0f);
    EXPECT_NEAR(Cost(round, false), Reference(start, goal), 1e-4);
}

TEST_F(AStarTest, GoalBoxWithHalfExtentsEndsNearTheGoal) {
    Map({"...#.....", ".S.#...G.", "...#.....", "........."});
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7, 100000, Vector3(1, 0, 1)));
    RunToEnd();
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    Path p;
    ASSERT_TRUE(astar->RetrievePath(bot.inbox->received[0].data2, p));
    const Vector3 end = Cells(p).back();
    EXPECT_NE(end, goal);
    EXPECT_LE(std::fabs(end.x - goal.x), 1.0f);
    EXPECT_LE(std::fabs(end.z - goal.z), 1.0f);
    EXPECT_EQ(end.y, goal.y);
}

TEST_F(AStarTest, SmallestHashTableStillWorks) {
    settings.hashTableSize = 1;
    Map({"...#......", ".S.#....G.", "...#......", ".........."});
    Bot& bot = AddBot(7);
    astar->AddRequest(Request(7));
    RunToEnd();
    ASSERT_EQ(bot.inbox->received.size(), 1u);
    EXPECT_EQ(bot.inbox->received[0].id, MSG_SEARCH_SUCCESS);
}

TEST_F(AStarTest, DrawSearchQueuesAMarkerPerPush) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventDrawPath>();
    Map({"..#..", "S.#.G", "....."});
    settings.drawSearch = true;
    astar->AddRequest(Request(7));
    RunToEnd();
    EventSystem::ProcessEventQueue();
    ASSERT_GT(rec.Count<EventTypes::EventDrawPath>(), 0u);
    const auto first = rec.Of<EventTypes::EventDrawPath>().front()->GetPayload();
    EXPECT_EQ(first->extent, Vector3(0.25f, 0.25f, 0.25f));
    EXPECT_EQ(first->position.x - std::floor(first->position.x), 0.5f);
}

TEST_F(AStarTest, ExhaustiveRequestWithGoalOutsideTheGridIsRefused) {
    Map({".....", ".S.G.", "....."});
    auto exhaustive = [this](Vector3 g) {
        auto r = std::make_unique<ProbeRequest>(std::make_shared<Probe>(), astar->GetGrid(), start, g);
        r->m_kind = AI::IRequest::Kind::kExhaustive;
        return r;
    };
    EXPECT_FALSE(astar->AddRequest(exhaustive(Vector3(5, 0, 1))));
    EXPECT_FALSE(astar->AddRequest(exhaustive(Vector3(1, -0.5f, 1))));
    EXPECT_TRUE(astar->AddRequest(exhaustive(Vector3(4.9f, 0, 1))));
    EXPECT_EQ(astar->PendingCount(), 1u);
    // The kind decides, not the name a request carries.
    auto named = std::make_unique<ProbeRequest>(std::make_shared<Probe>(), astar->GetGrid(), start, Vector3(5, 0, 1));
    named->m_name = "ExhaustiveRequest";
    EXPECT_TRUE(astar->AddRequest(std::move(named)));
    EXPECT_EQ(astar->PendingCount(), 2u);
}

// ---------------------------------------------------------------------------
// Flag searches

TEST_F(AStarTest, FlagSearchEndsNearTheFlagAndHandsThePathToThePlanner) {
    Map({"....................", ".S..................", "....................", "...................."});
    goal = Vector3(18, 0, 1);
    Planner planner;
    astar->SetPlannerLookup([&](uint8_t team) { return team == 1 ? &planner : nullptr; });
    astar->AddRequest(std::make_unique<FlagSearchRequest>(astar->GetGrid(), 1, start + Vector3(0.5f, 0, 0.5f),
                                                          goal + Vector3(0.5f, 0, 0.5f)));
    RunToEnd();
    EXPECT_EQ(planner.ready, 1);
    EXPECT_EQ(astar->StoredPathCount(), 0u);  // fetched at once
    ASSERT_FALSE(planner.path.empty());
    const Vector3 end = Cells(planner.path).back();
    EXPECT_EQ(end, Vector3(15, 0, 1));  // first cell within 3 of the flag
}

TEST_F(AStarTest, FlagSearchRecordsTwoHighWallsBesideVisitedNodes) {
    Map({"..........#.........", ".S........#.........", "...1......#.........", "...................."});
    Planner planner;
    astar->SetPlannerLookup([&](uint8_t) { return &planner; });
    auto r = std::make_unique<FlagSearchRequest>(astar->GetGrid(), 0, start, Vector3(18, 0, 0));
    EXPECT_EQ(r->GetTimeOut(), 300);
    EXPECT_EQ(r->GetRequester(), 0xFFFF);
    astar->AddRequest(std::move(r));
    RunToEnd();
    EXPECT_EQ(planner.ready, 1);
    // The grid's edge counts as a wall too (cells outside are blocked); look
    // at the walls inside it: only beside the tall wall at x = 10, never
    // beside the low block.
    int inside = 0;
    for (const auto& w : planner.walls) {
        if (!astar->GetGrid().IsInBounds(w.second.x, w.second.y, w.second.z)) continue;
        ++inside;
        EXPECT_EQ(w.second.x, 10.0f);
        const Vector3 d = w.second - w.first;  // one straight step to the wall cell
        EXPECT_EQ(std::fabs(d.x) + std::fabs(d.z), 1.0f);
        EXPECT_EQ(d.y, 0.0f);
    }
    EXPECT_GT(inside, 0);
}

struct FlagTimeOutCase {
    const char* name;
    bool wall;
    bool failed;
};

class FlagTimeOutTest : public AStarTest, public ::testing::WithParamInterface<FlagTimeOutCase> {};

TEST_P(FlagTimeOutTest, TimesOutOnlyOnceItsPlannerHoldsAWall) {
    // A large floor, the search far from its edges (which count as walls).
    std::vector<std::string> rows(100, std::string(100, '.'));
    rows[50][50] = 'S';
    if (GetParam().wall) rows[52][49] = rows[52][50] = rows[52][51] = '#';  // beside the start, not in the way
    Map(rows);
    Planner planner;
    astar->SetPlannerLookup([&](uint8_t) { return &planner; });
    astar->SetMillisecondClock([this] { return fakeMs++; });
    settings.aStarTimeSlice = 50;
    settings.heuristicWeight = 0.0f;  // a plain cost-ordered search: slow enough to pass 300 ms
    astar->AddRequest(std::make_unique<FlagSearchRequest>(astar->GetGrid(), 0, start, Vector3(65, 0, 65)));
    const int updates = RunToEnd();
    // Each slice adds 51 ms: past 300 ms at the start of the 7th slice.
    if (GetParam().failed)
        EXPECT_EQ(updates, 7);
    else
        EXPECT_GT(updates, 7);
    EXPECT_EQ(planner.failed, GetParam().failed ? 1 : 0);
    EXPECT_EQ(planner.ready, GetParam().failed ? 0 : 1);
    EXPECT_EQ(planner.WallCount() > 0, GetParam().wall);
}

INSTANTIATE_TEST_SUITE_P(Table, FlagTimeOutTest,
                         ::testing::Values(FlagTimeOutCase{"NoWallGoesOn", false, false},
                                           FlagTimeOutCase{"WallTimesOut", true, true}),
                         [](const ::testing::TestParamInfo<FlagTimeOutCase>& i) { return std::string(i.param.name); });

}  // namespace

TEST_F(AStarTest, GoalBoxBelowTheGoalOnlyRefusesTheLedgeAbove) {
    // The goal on the floor beside a one-high block that the start stands on:
    // a box reaching one level up ends on the block's top, a box reaching
    // only down makes the walk step off it.
    Map({"11s1G.", "111111"});
    auto endOf = [&](std::unique_ptr<PathRequest> request) {
        Bot& bot = AddBot(7);
        bot.inbox->received.clear();
        astar->AddRequest(std::move(request));
        RunToEnd();
        Path p;
        EXPECT_EQ(bot.inbox->received.size(), 1u);
        if (bot.inbox->received.empty() || !astar->RetrievePath(bot.inbox->received[0].data2, p) || p.empty())
            return Vector3(-1, -1, -1);
        return Cells(p).back();
    };
    const Vector3 centred = endOf(Request(7, 100000, Vector3(1, 1, 1)));
    EXPECT_EQ(centred.y, 1.0f);
    auto below = Request(7);
    below->SetGoalBox(Vector3(-1, -1, -1), Vector3(1, 0, 1));
    const Vector3 low = endOf(std::move(below));
    EXPECT_EQ(low.y, 0.0f);
    EXPECT_GE(low.x, 3.0f);
    EXPECT_LE(low.x, 5.0f);
}

// Every cell a search reaches past its start is one a walker stands in, so a
// goal box holding none (and not the start) fails at once, with no node
// made; a box holding one such cell, or the start, is searched as before.
TEST_F(AStarTest, GoalBoxNoWalkerCanStandInFailsWithoutASearch) {
    struct Case {
        const char* name;
        Vector3 goal;  // cell
        Vector3 half;
        bool startIsGoal;
        bool found;
        bool searched;
    };
    // A wall between start and goal column, so no straight line answers.
    const std::vector<std::string> rows = {"......", ".S.#G.", "...#..", "......"};
    const Case cases[] = {
        {"InTheAir", {4, 2, 1}, {0, 0, 0}, false, false, false},
        {"InsideTheWall", {3, 1, 1}, {0, 0, 0}, false, false, false},
        {"AboveTheWallsTop", {3, 4, 1}, {0, 0, 0}, false, false, false},
        {"OutsideTheGrid", {40, 0, 1}, {0, 0, 0}, false, false, false},
        {"BoxReachingTheFloor", {4, 2, 1}, {0, 2, 0}, false, true, true},
        // A cell to stand in that no walk reaches (the wall is too high to
        // climb): searched, and the search fails.
        {"OnTopOfTheWall", {3, 3, 1}, {0, 0, 0}, false, false, true},
        {"StartInTheAirIsItsOwnGoal", {1, 3, 1}, {0, 0, 0}, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Map(rows);
        goal = c.goal;
        if (c.startIsGoal) start = c.goal;
        Bot& bot = AddBot(7);
        astar->AddRequest(Request(7, 100000, c.half));
        RunToEnd();
        ASSERT_EQ(bot.inbox->received.size(), 1u);
        EXPECT_EQ(bot.inbox->received[0].id, c.found ? MSG_SEARCH_SUCCESS : MSG_SEARCH_FAILURE);
        EXPECT_EQ(astar->LastSearchNodeCount() > 0, c.searched);
        EXPECT_EQ(astar->RunningCount(), 0u);
    }
}

// Cells a bot could not get past (players the grid does not know) cost
// more: the search goes round them when a way round is not much longer,
// walks through when there is none, and never answers with the straight line
// through them.
TEST_F(AStarTest, AvoidedCellsAreGoneRoundWhenThereIsAWayRound) {
    struct Case {
        const char* name;
        std::vector<std::string> rows;
        std::vector<Vector3> avoid;  // on level 0
        bool through;                // the path still passes an avoided cell
    } cases[] = {
        // A straight corridor with a second lane beside it.
        {"second lane", {"#######", "#S...G#", "#.....#", "#######"}, {{3, 0, 1}}, false},
        // Three lanes, the middle one jammed: the path takes another.
        {"gap of three", {"#######", "#.....#", "#S...G#", "#.....#", "#######"}, {{3, 0, 2}}, false},
        // One lane only: the jam is walked through.
        {"single lane", {"#######", "#S...G#", "#######"}, {{3, 0, 1}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Map(c.rows);
        Bot& bot = AddBot(7);
        auto request = Request(7);
        request->SetAvoidCells(c.avoid);
        astar->AddRequest(std::move(request));
        RunToEnd();
        ASSERT_EQ(bot.inbox->received.size(), 1u);
        ASSERT_EQ(bot.inbox->received[0].id, MSG_SEARCH_SUCCESS);
        Path path;
        ASSERT_TRUE(astar->RetrievePath(bot.inbox->received[0].data2, path));
        const std::vector<Vector3> cells = Cells(path);
        ExpectLegal(cells);
        // Searched, not the straight line's two points.
        EXPECT_GT(cells.size(), 2u);
        EXPECT_EQ(cells.front(), start);
        EXPECT_EQ(cells.back(), goal);
        const bool through = std::any_of(cells.begin(), cells.end(), [&](const Vector3& v) {
            return std::find(c.avoid.begin(), c.avoid.end(), v) != c.avoid.end();
        });
        EXPECT_EQ(through, c.through);
        bots.clear();
    }
}

// A path search that failed by reaching every cell it could leaves that
// region behind: a later request starting in it whose goal is none of its
// cells fails at once; goals in it, starts outside it and any change of the
// grid or the settings are searched as before.
TEST_F(AStarTest, RequestsIntoAnExhaustedRegionFailWithoutASearch) {
    Map({".......", ".S.###.", "...#G#.", "...###.", "......."});
    const Vector3 walledIn = goal;
    Bot& bot = AddBot(7);
    auto ask = [&](const Vector3& from, const Vector3& to) {
        start = from;
        goal = to;
        bot.inbox->received.clear();
        astar->AddRequest(Request(7));
        RunToEnd();
        EXPECT_EQ(bot.inbox->received.size(), 1u);
        return !bot.inbox->received.empty() && bot.inbox->received[0].id == MSG_SEARCH_SUCCESS;
    };
    EXPECT_FALSE(ask({1, 0, 1}, walledIn));
    EXPECT_EQ(astar->LastSearchNodeCount(), 26u);  // the whole floor outside the walls
    // From another cell of the region: known at once.
    EXPECT_FALSE(ask({6, 0, 4}, walledIn));
    EXPECT_EQ(astar->LastSearchNodeCount(), 0u);
    // A goal inside the region is searched and found.
    EXPECT_TRUE(ask({1, 0, 1}, {6, 0, 2}));
    EXPECT_GT(astar->LastSearchNodeCount(), 0u);
    // From the enclosed cell (outside the region): searched.
    EXPECT_FALSE(ask(walledIn, {0, 0, 0}));
    EXPECT_EQ(astar->LastSearchNodeCount(), 1u);
    // That search left the one-cell region; the big one is gone, so the
    // next request from outside is searched again.
    EXPECT_FALSE(ask({1, 0, 1}, walledIn));
    EXPECT_EQ(astar->LastSearchNodeCount(), 26u);
    // A different jump height: the region no longer holds.
    settings.jumpHeight = 9;
    EXPECT_FALSE(ask({6, 0, 4}, walledIn));
    EXPECT_EQ(astar->LastSearchNodeCount(), 26u);
    // The wall opened: the grid changed, the goal is searched and found.
    astar->GetGrid().SetCell(4, 0, 1, false);
    astar->GetGrid().SetCell(4, 1, 1, false);
    astar->GetGrid().SetCell(4, 2, 1, false);
    EXPECT_TRUE(ask({6, 0, 4}, walledIn));
}
