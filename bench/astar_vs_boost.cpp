// Our time-sliced A* against Boost.Graph's astar_search on the same grids,
// start/goal pairs, step costs and heuristic, in one process. Prints one line
// per world and, last:
//   astar: paths=<n> ours_ms=<median per path> boost_ms=<median per path> ratio=<ours/boost> same_costs=<yes|no>
// --tiny runs small worlds once (CI proves the benchmark works).
//
// Boost searches an explicit graph built beforehand from the grid's own
// moves (building it is not timed); we search the grid directly, as the game
// does. Both use the step costs of the game (1, 1.4142 diagonal, ClimbPenalty
// for a change of level) and h = Euclidean distance + Overestimate. Our turn
// penalty is set to 0 here so that both look for the same cheapest cost.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>

#include "ai/AIClock.h"
#include "ai/AISettings.h"
#include "ai/AStar.h"
#include "ai/SearchRequest.h"

using Geometry::Vector3;

namespace {

struct EdgeProp {
    float weight;
};
using Graph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, EdgeProp>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

struct FoundGoal {};

class GoalVisitor : public boost::default_astar_visitor {
public:
    explicit GoalVisitor(Vertex goal) : m_goal(goal) {}
    void examine_vertex(Vertex u, const Graph&) {
        if (u == m_goal) throw FoundGoal();
    }

private:
    Vertex m_goal;
};

class Heuristic : public boost::astar_heuristic<Graph, float> {
public:
    Heuristic(const std::vector<Vector3>* cells, Vector3 goal, float over) : m_cells(cells), m_goal(goal), m_over(over) {}
    float operator()(Vertex v) const {
        const Vector3 d = (*m_cells)[v] - m_goal;
        return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) + m_over;
    }

private:
    const std::vector<Vector3>* m_cells;
    Vector3 m_goal;
    float m_over;
};

uint64_t CellKey(const Vector3& c) {
    auto p = [](float v) { return static_cast<uint64_t>(static_cast<int64_t>(v) + (1 << 20)) & 0x1FFFFF; };
    return (p(c.x) << 42) | (p(c.y) << 21) | p(c.z);
}

double Millis(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// What our request learned.
struct Outcome {
    bool done = false;
    bool found = false;
    int32_t id = -1;
};

class BenchRequest : public AI::PathRequest {
public:
    BenchRequest(Outcome* out, const AI::SearchSpace& grid, const Vector3& start, const Vector3& goal)
        : PathRequest(grid, start, goal, AI::IRequest::kNoRequester, 0, 0, 0, 0, std::numeric_limits<int32_t>::max()),
          m_out(out) {}
    void OnSuccess(int32_t id) override {
        m_out->done = m_out->found = true;
        m_out->id = id;
    }
    void OnFailure() override { m_out->done = true; }

private:
    Outcome* m_out;
};

class Bench {
public:
    Bench() : m_astar(m_settings, m_clock) {
        m_settings.clearanceHeight = 2;
        m_settings.jumpHeight = 10;
        m_settings.climbPenalty = 1.732f;
        m_settings.overestimate = 1.0f;
        m_settings.heuristicWeight = 1.0f;
        m_settings.aStarTimeSlice = std::numeric_limits<int32_t>::max();  // one slice finishes a search
        m_astar.SetTurnPenalty(0.0f);
    }

    AI::SearchSpace& Grid() { return m_astar.GetGrid(); }

    float StepCost(const Vector3& a, const Vector3& b) const {
        if (a.y != b.y) return m_settings.climbPenalty;
        if (a.x != b.x && a.z != b.z) return 1.4142f;
        return 1.0f;
    }

    // The graph of every cell reachable from the roots by the grid's moves.
    void BuildGraph(const std::vector<Vector3>& roots) {
        m_cells.clear();
        m_index.clear();
        std::vector<std::pair<size_t, size_t>> edges;
        std::vector<EdgeProp> props;
        for (const Vector3& r : roots) Intern(r);
        std::vector<Vector3> nb;
        const AI::SearchSpace& g = Grid();
        for (size_t i = 0; i < m_cells.size(); ++i) {
            const Vector3 c = m_cells[i];
            g.GetNeighbours(nb, c.x, c.y, c.z, g.Minimum(), g.Maximum(), m_settings.clearanceHeight,
                            m_settings.jumpHeight);
            for (const Vector3& n : nb) {
                const size_t j = Intern(n);
                edges.emplace_back(i, j);
                props.push_back(EdgeProp{StepCost(c, n)});
            }
        }
        m_graph = std::make_unique<Graph>(boost::edges_are_sorted, edges.begin(), edges.end(), props.begin(),
                                          m_cells.size());
        m_edges = edges.size();
    }
    size_t Vertices() const { return m_cells.size(); }
    size_t Edges() const { return m_edges; }
    bool Known(const Vector3& c) const { return m_index.count(CellKey(c)) != 0; }
    const std::vector<Vector3>& Cells() const { return m_cells; }

    // Boost: cost to the goal, or < 0 when unreachable.
    double BoostSearch(const Vector3& s, const Vector3& t, double& ms) {
        const Graph& g = *m_graph;
        const Vertex sv = m_index.at(CellKey(s)), tv = m_index.at(CellKey(t));
        std::vector<Vertex> pred(boost::num_vertices(g));
        std::vector<float> dist(boost::num_vertices(g));
        const auto t0 = std::chrono::steady_clock::now();
        bool found = false;
        try {
            boost::astar_search(g, sv, Heuristic(&m_cells, t, m_settings.overestimate),
                                boost::predecessor_map(&pred[0])
                                    .distance_map(&dist[0])
                                    .weight_map(boost::get(&EdgeProp::weight, g))
                                    .visitor(GoalVisitor(tv)));
        } catch (const FoundGoal&) {
            found = true;
        }
        ms = Millis(std::chrono::steady_clock::now() - t0);
        return found ? dist[tv] : -1.0;
    }

    // Ours: cost of the found path by the same step costs, or < 0.
    double OurSearch(const Vector3& s, const Vector3& t, double& ms) {
        Outcome out;
        const Vector3 inCell(0.5f, 0.2f, 0.5f);
        const Vector3 origin = Grid().Minimum();
        const auto t0 = std::chrono::steady_clock::now();
        m_astar.AddRequest(std::make_unique<BenchRequest>(&out, Grid(), origin + s + inCell, origin + t + inCell));
        while (!out.done) m_astar.Update();
        AI::Path path;
        if (out.found) m_astar.RetrievePath(out.id, path);
        ms = Millis(std::chrono::steady_clock::now() - t0);
        if (!out.found) return -1.0;
        double cost = 0;
        const Vector3 offset = origin + Vector3(0.5f, 1.5f, 0.5f);
        for (size_t i = 1; i < path.size(); ++i)
            cost += StepCost(path[i - 1].position - offset, path[i].position - offset);
        return cost;
    }

    bool Sees(const Vector3& a, const Vector3& b) const { return m_astar.HasLineOfSight(a, b); }

private:
    size_t Intern(const Vector3& c) {
        auto [it, added] = m_index.emplace(CellKey(c), m_cells.size());
        if (added) m_cells.push_back(c);
        return it->second;
    }

    AI::AISettings m_settings;
    AI::AIClock m_clock;
    AI::AStar m_astar;
    std::vector<Vector3> m_cells;
    std::unordered_map<uint64_t, size_t> m_index;
    std::unique_ptr<Graph> m_graph;
    size_t m_edges = 0;
};

void Box(AI::SearchSpace& g, int x0, int z0, int x1, int z1, int y0, int y1) {
    for (int x = std::max(0, x0); x <= std::min(x1, g.CellsX() - 1); ++x)
        for (int z = std::max(0, z0); z <= std::min(z1, g.CellsZ() - 1); ++z)
            for (int y = y0; y <= y1; ++y) g.SetCell(x, y, z, true);
}

// A level-like world: scattered walls three cells high, single steps and
// stepped platforms on an open floor.
void BuildLevel(AI::SearchSpace& g, int size, int walls, int steps, int platforms, unsigned seed) {
    g.SetBounds(0, static_cast<float>(size), 0, 100, 0, static_cast<float>(size));
    g.Build();
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < walls; ++i) {
        const int x = pick(0, size - 1), z = pick(0, size - 1), len = pick(5, std::max(6, size / 12));
        if (pick(0, 1))
            Box(g, x, z, x + len, z, 0, 2);
        else
            Box(g, x, z, x, z + len, 0, 2);
    }
    for (int i = 0; i < steps; ++i) {
        const int x = pick(0, size - 1), z = pick(0, size - 1);
        Box(g, x, z, x, z, 0, 0);
    }
    for (int i = 0; i < platforms; ++i) {
        const int x = pick(0, size - 1), z = pick(0, size - 1), r = pick(3, 8), h = pick(1, 3);
        for (int y = 0; y < h; ++y) Box(g, x - r + y, z - r + y, x + r - y, z + r - y, y, y);
    }
}

// The worst case: a full floor split by long walls with a gap at alternate
// ends, so a path from one corner to the other winds through the whole grid.
void BuildSerpentine(AI::SearchSpace& g, int size, int spacing) {
    g.SetBounds(0, static_cast<float>(size), 0, 100, 0, static_cast<float>(size));
    g.Build();
    bool gapRight = true;
    for (int z = spacing; z < size - 1; z += spacing, gapRight = !gapRight) {
        if (gapRight)
            Box(g, 0, z, size - 4, z, 0, 2);
        else
            Box(g, 3, z, size - 1, z, 0, 2);
    }
}

struct Tally {
    std::vector<double> ours, boost;
    bool same = true;
    int paths = 0;
};

void RunPair(Bench& b, const Vector3& s, const Vector3& t, int reps, Tally& tally, Tally& world) {
    for (int r = 0; r < reps; ++r) {
        double bm = 0, om = 0;
        const double bc = b.BoostSearch(s, t, bm);
        const double oc = b.OurSearch(s, t, om);
        const bool same = (bc < 0 && oc < 0) || (bc >= 0 && oc >= 0 && std::fabs(bc - oc) <= 1e-4 * std::max(1.0, bc));
        if (!same)
            std::printf("  cost differs: (%g,%g,%g) -> (%g,%g,%g): ours %.4f boost %.4f\n", s.x, s.y, s.z, t.x, t.y,
                        t.z, oc, bc);
        for (Tally* tl : {&tally, &world}) {
            tl->ours.push_back(om);
            tl->boost.push_back(bm);
            tl->same = tl->same && same;
            ++tl->paths;
        }
    }
}

void Report(const char* name, const Bench& b, const Tally& t) {
    const double o = Median(t.ours), bo = Median(t.boost);
    std::printf("%s: vertices=%zu edges=%zu paths=%d ours_ms=%.3f boost_ms=%.3f ratio=%.3f same_costs=%s\n", name,
                b.Vertices(), b.Edges(), t.paths, o, bo, bo > 0 ? o / bo : 0.0, t.same ? "yes" : "no");
    std::fflush(stdout);
}

void LevelWorld(int size, int pairs, int reps, unsigned seed, Tally& all) {
    Bench b;
    BuildLevel(b.Grid(), size, size * 3 / 2, size, size / 12, seed);
    // The free floor cell nearest the middle.
    Vector3 root(static_cast<float>(size / 2), 0, static_cast<float>(size / 2));
    for (int r = 0; r < size / 2; ++r) {
        bool found = false;
        for (int dx = -r; dx <= r && !found; ++dx)
            for (int dz = -r; dz <= r && !found; ++dz) {
                const int x = size / 2 + dx, z = size / 2 + dz;
                if (!b.Grid().IsCellBlocked(x, 0, z) && !b.Grid().IsCellBlocked(x, 1, z)) {
                    root = Vector3(static_cast<float>(x), 0, static_cast<float>(z));
                    found = true;
                }
            }
        if (found) break;
    }
    b.BuildGraph({root});
    std::mt19937 rng(seed + 1);
    const auto& cells = b.Cells();
    std::uniform_int_distribution<size_t> any(0, cells.size() - 1);
    Tally world;
    int made = 0;
    for (int tries = 0; made < pairs && tries < pairs * 200; ++tries) {
        const Vector3 s = cells[any(rng)], t = cells[any(rng)];
        const Vector3 d = t - s;
        if (std::fabs(d.x) + std::fabs(d.z) < size / 4.0f) continue;  // far enough to matter
        if (b.Sees(s, t)) continue;  // those take no search at all
        double ms = 0;
        if (b.BoostSearch(s, t, ms) < 0) continue;  // one-way drops can make a goal unreachable
        RunPair(b, s, t, reps, all, world);
        ++made;
    }
    Report("astar level", b, world);
}

void WorstWorld(int size, int spacing, int reps, Tally& all) {
    Bench b;
    BuildSerpentine(b.Grid(), size, spacing);
    const Vector3 s(1, 0, 1), t(static_cast<float>(size - 2), 0, static_cast<float>(size - 2));
    b.BuildGraph({s});
    Tally world;
    RunPair(b, s, t, reps, all, world);
    RunPair(b, t, s, reps, all, world);
    Report("astar worst", b, world);
}

}  // namespace

int main(int argc, char** argv) {
    const bool tiny = argc > 1 && std::strcmp(argv[1], "--tiny") == 0;
    Tally all;
    if (tiny) {
        LevelWorld(64, 4, 1, 7, all);
        WorstWorld(40, 5, 1, all);
    } else {
        LevelWorld(500, 40, 3, 7, all);
        WorstWorld(500, 10, 3, all);
    }
    const double o = Median(all.ours), b = Median(all.boost);
    std::printf("astar: paths=%d ours_ms=%.3f boost_ms=%.3f ratio=%.3f same_costs=%s\n", all.paths, o, b,
                b > 0 ? o / b : 0.0, all.same ? "yes" : "no");
    return all.same && all.paths > 0 ? 0 : 1;
}
