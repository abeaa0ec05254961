// The bots' path-finding service: queues search requests, runs a bounded
// number of A* searches at once over the search grid, shares a small time
// budget per frame among them, and keeps each found path under a result id
// until its requester fetches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "ai/SearchRequest.h"
#include "ai/SearchSpace.h"
#include "utility/Geometry.h"

namespace AI {

struct AISettings;
class AIClock;

// One cell the search reached. One cache line each: the fields of a node are
// read together when it is expanded.
class alignas(64) Node {
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
    uint32_t number = 0;  // place in the search's node store

private:
    friend class OpenList;
    friend class NodeTable;
    uint32_t m_nextInColumn = 0;  // the node table's chain: number + 1 of the next node, 0 none
    uint32_t m_openTicket = 0;  // push count of the node's live open-list entry; 0 when not open
};

// The open list: the node of smallest f first, and of two equal f the one
// pushed first. A node whose cost improves is pushed again and its older
// entry is skipped. A four-way heap of entries keyed by one 64-bit number:
// f (as an order-keeping integer) above the push count.
class OpenList {
public:
    bool Empty() const { return m_live == 0; }
    size_t Size() const { return m_live; }
    void Push(Node* node);
    // Removes the node's entry when it has one.
    void Remove(Node* node);
    bool Contains(const Node* node) const { return node->m_openTicket != 0; }
    Node* Pop();
    // The node of the first entry (which may be a stale one), or null: a
    // hint of what comes next.
    const Node* PeekHint() const { return m_heap.empty() ? nullptr : m_heap.front().node; }
    // Empties the list (its nodes are no longer open); keeps the memory.
    void Clear();

private:
    struct Entry {
        uint64_t key;
        Node* node;
    };
    void SiftDown(Entry e);

    std::vector<Entry> m_heap;
    uint32_t m_nextTicket = 1;
    size_t m_live = 0;
};

// Node storage in large blocks: addresses stay put as the search grows.
class NodeStore {
public:
    Node* Add(float x, float y, float z, int32_t id, Node* parent) {
        if (m_count == m_end) Grow();
        Node* node = &m_blocks[m_used - 1].emplace_back(x, y, z, id, parent);
        node->number = static_cast<uint32_t>(m_count++);
        return node;
    }
    size_t Size() const { return m_count; }
    // The node numbered i (0 first).
    Node* At(size_t i) const {
        // Blocks hold kFirst, kFirst, 2 kFirst, 4 kFirst, ... nodes: small
        // searches stay small, large ones take few allocations. Block b >= 1
        // starts at node kFirst << (b - 1).
        if (i < kFirst) return const_cast<Node*>(&m_blocks[0][i]);
        const size_t b = 64 - static_cast<size_t>(__builtin_clzll(static_cast<unsigned long long>(i / kFirst)));
        return const_cast<Node*>(&m_blocks[b][i - (kFirst << (b - 1))]);
    }
    // Drops every node and keeps the blocks for the next search.
    void Clear();
    // Nodes the kept blocks hold without allocating.
    size_t Capacity() const;

private:
    void Grow();
    static size_t BlockSize(size_t b) { return b < 2 ? kFirst : kFirst << (b - 1); }

    static constexpr size_t kFirst = 256;
    std::vector<std::vector<Node>> m_blocks;
    size_t m_used = 0;   // blocks holding nodes of this search
    size_t m_count = 0;
    size_t m_end = 0;    // nodes the used blocks hold when full
};

// A fixed number of slots, all bits zero at the start, taken straight from
// the system as zero pages that are mapped at their first touch: the column
// slots span the whole grid, and a search over a small level touches only
// the pages of its part. Move-only.
void* MapZeroedPages(size_t bytes);
void UnmapZeroedPages(void* p, size_t bytes);

template <class T>
class ZeroedArray {
    static_assert(std::is_trivially_copyable_v<T>, "slots are made and wiped as bytes");

public:
    ZeroedArray() = default;
    ~ZeroedArray() { Release(); }
    ZeroedArray(ZeroedArray&& other) noexcept : m_data(other.m_data), m_size(other.m_size) {
        other.m_data = nullptr;
        other.m_size = 0;
    }
    ZeroedArray& operator=(ZeroedArray&& other) noexcept {
        if (this != &other) {
            Release();
            m_data = other.m_data;
            m_size = other.m_size;
            other.m_data = nullptr;
            other.m_size = 0;
        }
        return *this;
    }
    ZeroedArray(const ZeroedArray&) = delete;
    ZeroedArray& operator=(const ZeroedArray&) = delete;

    // Drops the slots held and takes n fresh ones.
    void Allocate(size_t n) {
        Release();
        if (n == 0) return;
        m_data = static_cast<T*>(MapZeroedPages(n * sizeof(T)));
        m_size = n;
    }
    // Sets every slot's bits to zero again.
    void Zero() {
        if (m_data) std::memset(static_cast<void*>(m_data), 0, m_size * sizeof(T));
    }
    size_t size() const { return m_size; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }

private:
    void Release() {
        if (m_data) UnmapZeroedPages(m_data, m_size * sizeof(T));
        m_data = nullptr;
        m_size = 0;
    }
    T* m_data = nullptr;
    size_t m_size = 0;
};

// Every node a search created, by cell. In the table and not in the open
// list means closed. Cells inside the grid are found through a slot per grid
// column (stamped with the search's generation, so the slots never need
// clearing between searches) and a short chain of the column's levels; the
// rare cell outside the grid goes to a hash map.
class NodeTable {
public:
    struct Slot {
        uint32_t stamp = 0;
        uint32_t head = 0;  // node number + 1 in the search's store; 0 none
        // The head node's level and cost, so that most look-ups never touch
        // the node itself.
        float headY = 0.0f;
        float headG = 0.0f;
    };
    // Column slots, reused by one search after another.
    struct Columns {
        int nx = 0;
        int nz = 0;
        uint32_t generation = 0;
        // Slot{} is all bits zero.
        ZeroedArray<Slot> slots;
    };

    // Starts a new generation of the columns; outsideBuckets sizes the map.
    NodeTable(std::unique_ptr<Columns> columns, size_t outsideBuckets, const class NodeStore& store);
    Node* Find(float x, float y, float z) const {
        float g;
        return Find(x, y, z, g);
    }
    // Also gives the node's g (read from its column slot when it can be).
    Node* Find(float x, float y, float z, float& g) const;
    // A look-up's answer: the node found, or, when it is its column's newest,
    // only its number + 1 in the store (`head`), turned into the node by
    // NodeOf when the caller needs it (most look-ups of a search only read
    // the cost). Neither: the cell has no node.
    struct Found {
        Node* node = nullptr;
        uint32_t head = 0;
        explicit operator bool() const { return node != nullptr || head != 0; }
    };
    // By the grid's column number (SearchSpace::FillNeighbours), when the
    // table's columns are the grid's (HasColumns).
    Found FindAt(int32_t column, float x, float y, float z, float& g) const;
    Node* NodeOf(const Found& found) const { return found.node ? found.node : m_store.At(found.head - 1); }
    bool HasColumns(int nx, int nz) const { return m_columns && m_columns->nx == nx && m_columns->nz == nz; }
    // The node's g must be set first.
    void Insert(Node* node);
    void InsertAt(int32_t column, Node* node);
    // Gives a node of the table a new g.
    void SetCost(Node* node, float g);
    size_t Size() const { return m_count; }
    // Hands the column slots back for the next search.
    std::unique_ptr<Columns> ReleaseColumns() { return std::move(m_columns); }

private:
    static uint64_t Key(float x, float y, float z);
    const Slot* ColumnSlot(float x, float z) const;
    Node* FindInSlot(const Slot& slot, float y, float& g) const;
    Node* FindOutside(float x, float y, float z, float& g) const;
    void InsertInSlot(Slot& slot, Node* node);
    void InsertOutside(Node* node);

    std::unique_ptr<Columns> m_columns;
    const NodeStore& m_store;
    uint32_t m_generation = 0;
    std::unordered_map<uint64_t, Node*> m_outside;
    size_t m_outsideBuckets = 0;
    size_t m_count = 0;
};

struct SearchData {
    SearchData(std::unique_ptr<IRequest> req, std::unique_ptr<NodeTable::Columns> columns, size_t buckets);

    std::unique_ptr<IRequest> request;
    OpenList open;
    NodeStore nodes;
    NodeTable table;
    Geometry::Vector3 neighbours[SearchSpace::kMaxNeighbours];
    int32_t columns[SearchSpace::kMaxNeighbours];  // their grid columns
    int32_t moves[SearchSpace::kMaxNeighbours];    // their steps from the node expanded
    Path path;
    Geometry::Vector3 startCell{};
    Geometry::Vector3 goalCell{};
    Node* current = nullptr;
    uint32_t elapsed = 0;  // ms of slices that ran out of budget
    bool done = false;
    int32_t nodeCounter = 0;
    // What the neighbours were worked out on: the grid's version and the
    // settings at the start. A path search that emptied its open list with
    // all of these unchanged holds in its table every cell its start reaches
    // (`exhausted`), and no more.
    uint64_t gridVersion = 0;
    int clearance = 0;
    int jumpHeight = 0;
    SearchSpace::CellBox bounds{};
    bool exhausted = false;
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
    // Finished searches leave their node blocks to later ones up to this
    // many nodes.
    static constexpr size_t kKeptNodes = size_t{1} << 18;

    // Both must outlive the manager; they are read at every use.
    AStar(const AISettings& settings, const AIClock& clock);
    ~AStar();
    AStar(const AStar&) = delete;
    AStar& operator=(const AStar&) = delete;

    // Takes ownership. An exhaustive request whose goal lies outside the
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
    // The cost added when a path changes direction (kTurnPenalty). Only
    // measurements against plain shortest-path searches set it, to 0.
    void SetTurnPenalty(float penalty) { m_turnPenalty = penalty; }
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
    std::unique_ptr<NodeTable::Columns> AcquireColumns();
    // Hands a finished search's column slots, nodes' blocks and open list's
    // memory to later searches.
    void Recycle(SearchData& s);
    PathPoint CellPoint(const Geometry::Vector3& cell) const;
    // The last exhausted search when its cells still are what a search from
    // this start would reach: the start is one of them, and grid, settings
    // and bounds are as they were. Null otherwise.
    const SearchData* RegionOf(const SearchData& s) const;
    // A cell a walker can stand in (every cell a search reaches past its
    // start is one).
    bool Standable(int x, int y, int z) const;

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
    std::vector<std::unique_ptr<NodeTable::Columns>> m_spareColumns;
    struct Scratch {
        NodeStore nodes;
        OpenList open;
    };
    std::vector<Scratch> m_spareScratch;
    // The last path search that failed by reaching every cell it could: a
    // later request starting in that region whose goal is none of its cells
    // fails at once (a bot following a mate it cannot reach asks again as
    // soon as it is told).
    std::shared_ptr<SearchData> m_region;
    int32_t m_nextResultId = 0;
    size_t m_lastNodeCount = 0;
    float m_turnPenalty = kTurnPenalty;
};

}  // namespace AI
