// The bots' path-finding service: queues search requests, runs a bounded
// number of A* searches at once over the search grid, shares a small time
// budget per frame among them, and keeps each found path under a result id
// until its requester fetches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "AI/SearchRequest.h"
#include "AI/SearchSpace.h"
#include "utility/Geometry.h"

namespace AI {

struct AISettings;
class AIClock;

// One cell the search reached.
class Node {
public:
    Node(float cx, float cy, float cz, int32_t nodeId, Node* parentNode)
        : x(cx), y(cy), z(cz), parent(parentNode), id(nodeId) {}
    virtual ~Node() = default;

    // h = Euclidean distance from this cell to the goal cell, plus overestimate.
    void ComputeHeuristic(float goalX, float goalY, float goalZ, float overestimate);
    Geometry::Vector3 Cell() const { return {x, y, z}; }

    float x, y, z;
    float h = 0.0f;
    float g = 0.0f;
    float f = 90000.0f;
    Node* parent;  // null for the start node
    int32_t id;

private:
    friend class OpenList;
    uint64_t m_openTicket = 0;  // ticket of the node's live open-list entry; 0 when not open
};

// The open list: the node of smallest f first, and of two equal f the one
// pushed first. A node whose cost improves is pushed again and its older
// entry is skipped.
class OpenList {
public:
    bool Empty() const { return m_live == 0; }
    size_t Size() const { return m_live; }
    void Push(Node* node);
    // Removes the node's entry when it has one.
    void Remove(Node* node);
    bool Contains(const Node* node) const { return node->m_openTicket != 0; }
    Node* Pop();
    void Clear();

private:
    struct Entry {
        float f;
        uint64_t ticket;  // push order: the tie-breaker
        Node* node;
    };
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.f > b.f || (a.f == b.f && a.ticket > b.ticket);
        }
    };
    std::vector<Entry> m_heap;
    uint64_t m_nextTicket = 1;
    size_t m_live = 0;
};

// Every node a search created, by cell. In the table and not in the open
// list means closed.
class NodeTable {
public:
    explicit NodeTable(size_t initialBuckets);
    Node* Find(float x, float y, float z) const;
    void Insert(Node* node);
    size_t Size() const { return m_count; }

private:
    static uint64_t Key(float x, float y, float z);
    size_t Slot(uint64_t key) const;
    void Grow();

    std::vector<uint64_t> m_keys;
    std::vector<Node*> m_nodes;  // null: empty slot
    size_t m_count = 0;
    size_t m_mask = 0;
};

struct SearchData {
    SearchData(std::unique_ptr<IRequest> req, size_t buckets);

    std::unique_ptr<IRequest> request;
    OpenList open;
    NodeTable table;
    std::deque<Node> nodes;  // storage; addresses stay put
    std::vector<Geometry::Vector3> neighbours;
    Path path;
    Geometry::Vector3 startCell{};
    Geometry::Vector3 goalCell{};
    Node* current = nullptr;
    uint32_t elapsed = 0;  // ms of slices that ran out of budget
    bool done = false;
    int32_t nodeCounter = 0;
};

class AStar {
public:
    // Milliseconds of wall-clock time; the time slices are measured on it.
    using MillisecondClock = std::function<uint64_t()>;
    using PlannerLookup = std::function<IFlagSearchPlanner*(uint8_t team)>;

    static constexpr int kMaxStartsPerUpdate = 10;
    // A found path nobody fetched within this much AI time is released.
    static constexpr uint64_t kUnfetchedPathLifetimeMs = 10000;
    static constexpr float kTurnPenalty = 0.1f;
    static constexpr float kDiagonalCost = 1.4142f;

    // Both must outlive the manager; they are read at every use.
    AStar(const AISettings& settings, const AIClock& clock);
    ~AStar();
    AStar(const AStar&) = delete;
    AStar& operator=(const AStar&) = delete;

    // Takes ownership. An "ExhaustiveRequest" whose goal lies outside the
    // grid's world bounds is refused (false); every other request waits.
    bool AddRequest(std::unique_ptr<IRequest> request);
    bool AddRequest(IRequest* request) { return AddRequest(std::unique_ptr<IRequest>(request)); }
    // One step per AI frame: start searches, then run one slice of each.
    void Update();
    // Copies the stored path and forgets it; false (out untouched) for an
    // unknown id. A path can be fetched once.
    bool RetrievePath(int32_t resultId, Path& out);
    // Drops every pending request, running search and stored path, and the
    // grid's columns.
    void Clear();

    // Straight walk over one level, with the current "ClearanceHeight".
    bool HasLineOfSight(const Geometry::Vector3& fromCell, const Geometry::Vector3& toCell) const;

    SearchSpace& GetGrid() { return m_grid; }
    const SearchSpace& GetGrid() const { return m_grid; }
    const AISettings& GetSettings() const { return m_settings; }

    void SetMillisecondClock(MillisecondClock clock);
    void SetPlannerLookup(PlannerLookup lookup) { m_plannerLookup = std::move(lookup); }
    IFlagSearchPlanner* GetFlagPlanner(uint8_t team) const { return m_plannerLookup ? m_plannerLookup(team) : nullptr; }

    size_t PendingCount() const { return m_pending.size(); }
    size_t RunningCount() const { return m_running.size(); }
    size_t StoredPathCount() const { return m_paths.size(); }
    // Nodes created by the most recently finished search (for measurements).
    size_t LastSearchNodeCount() const { return m_lastNodeCount; }

private:
    void StartSearch();
    void RunSlice(SearchData& s, size_t runningCount);
    void Finish(SearchData& s, bool success);
    int32_t StorePath(Path path);
    void ReleaseStalePaths();
    PathPoint CellPoint(const Geometry::Vector3& cell) const;

    struct StoredPath {
        Path path;
        uint64_t storedAt;
    };

    const AISettings& m_settings;
    const AIClock& m_clock;
    MillisecondClock m_msClock;
    PlannerLookup m_plannerLookup;
    std::deque<std::unique_ptr<IRequest>> m_pending;
    std::vector<std::shared_ptr<SearchData>> m_running;
    SearchSpace m_grid;
    std::map<int32_t, StoredPath> m_paths;
    int32_t m_nextResultId = 0;
    size_t m_lastNodeCount = 0;
};

}  // namespace AI
