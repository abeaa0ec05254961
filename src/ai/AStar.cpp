#include "ai/AStar.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

#include "ai/AIClock.h"
#include "ai/AISettings.h"
#include "ai/sml/MsgRoute.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "utility/Timer.h"

namespace AI {

// ---------------------------------------------------------------------------
// Node, open list, node table

void Node::ComputeHeuristic(float goalX, float goalY, float goalZ, float overestimate) {
    const float dx = goalX - x, dy = goalY - y, dz = goalZ - z;
    h = std::sqrt(dx * dx + dy * dy + dz * dz) + overestimate;
}

void* MapZeroedPages(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}

void UnmapZeroedPages(void* p, size_t bytes) { munmap(p, bytes); }

namespace {

// Every cell of the straight walk from one cell to another (the cells the
// line of sight visits, the first one too) stands on something: a blocked
// cell below it, or the grid's floor. A line of sight runs through air as
// well, so it alone is no way to walk: over a gap between two terraces of
// one height it would lead a bot off the first into the foot of the second.
bool FloorAlongLine(const SearchSpace& grid, const Geometry::Vector3& from, const Geometry::Vector3& to) {
    const float below = from.y - 1.0f;
    auto floor = [&](long long cx, long long cz) {
        return grid.IsCellBlocked(static_cast<float>(cx), below, static_cast<float>(cz));
    };
    const long long x = SearchSpace::CellIndex(from.x), z = SearchSpace::CellIndex(from.z);
    return floor(x, z) && SearchSpace::WalkLine(x, z, SearchSpace::CellIndex(to.x), SearchSpace::CellIndex(to.z), floor);
}

// Floats as unsigned integers in the same order (negative ones included).
uint32_t OrderedBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return (u & 0x80000000u) ? ~u : (u | 0x80000000u);
}

}  // namespace

void OpenList::Push(Node* node) {
    if (node->m_openTicket == 0) ++m_live;
    const uint32_t ticket = m_nextTicket++;
    node->m_openTicket = ticket;
    const Entry e{(static_cast<uint64_t>(OrderedBits(node->f)) << 32) | ticket, node};
    size_t i = m_heap.size();
    m_heap.push_back(e);
    Entry* heap = m_heap.data();
    while (i > 0) {
        const size_t parent = (i - 1) / 4;
        if (heap[parent].key <= e.key) break;
        heap[i] = heap[parent];
        i = parent;
    }
    heap[i] = e;
}

// Puts e at the root and moves it down to its place.
void OpenList::SiftDown(const Entry e) {
    Entry* heap = m_heap.data();
    const size_t n = m_heap.size();
    size_t i = 0;
    for (;;) {
        const size_t first = 4 * i + 1;
        if (first >= n) break;
        size_t best = first;
        uint64_t bestKey = heap[first].key;
        if (first + 4 <= n) {
            // The usual case: all four children exist.
            const uint64_t k1 = heap[first + 1].key, k2 = heap[first + 2].key, k3 = heap[first + 3].key;
            const size_t b01 = k1 < bestKey ? first + 1 : first;
            const uint64_t m01 = k1 < bestKey ? k1 : bestKey;
            const size_t b23 = k3 < k2 ? first + 3 : first + 2;
            const uint64_t m23 = k3 < k2 ? k3 : k2;
            best = m23 < m01 ? b23 : b01;
            bestKey = m23 < m01 ? m23 : m01;
        } else {
            for (size_t c = first + 1; c < n; ++c)
                if (heap[c].key < bestKey) {
                    best = c;
                    bestKey = heap[c].key;
                }
        }
        if (bestKey >= e.key) break;
        heap[i] = heap[best];
        i = best;
    }
    heap[i] = e;
}

void OpenList::Remove(Node* node) {
    if (node->m_openTicket == 0) return;
    node->m_openTicket = 0;  // its heap entry is now stale and skipped
    --m_live;
}

Node* OpenList::Pop() {
    while (!m_heap.empty()) {
        const Entry top = m_heap.front();
        const Entry last = m_heap.back();
        m_heap.pop_back();
        if (!m_heap.empty()) SiftDown(last);
        if (top.node->m_openTicket != static_cast<uint32_t>(top.key)) continue;  // removed or pushed again since
        top.node->m_openTicket = 0;
        --m_live;
        return top.node;
    }
    return nullptr;
}

void OpenList::Clear() {
    for (const Entry& e : m_heap) e.node->m_openTicket = 0;
    m_heap.clear();
    m_nextTicket = 1;  // no node holds a ticket any more
    m_live = 0;
}

NodeTable::NodeTable(std::unique_ptr<Columns> columns, size_t outsideBuckets, const NodeStore& store)
    : m_columns(std::move(columns)), m_store(store) {
    if (m_columns) {
        if (++m_columns->generation == 0) {
            // After four billion searches the stamps start over.
            m_columns->slots.Zero();
            m_columns->generation = 1;
        }
        m_generation = m_columns->generation;
    }
    m_outsideBuckets = std::min<size_t>(outsideBuckets, 1 << 16);
}

uint64_t NodeTable::Key(float x, float y, float z) {
    auto part = [](float v) { return static_cast<uint64_t>(static_cast<int64_t>(v) + (int64_t(1) << 20)) & 0x1FFFFF; };
    return (part(x) << 42) | (part(y) << 21) | part(z);
}

const NodeTable::Slot* NodeTable::ColumnSlot(float x, float z) const {
    if (!m_columns) return nullptr;
    if (!(x >= 0.0f && z >= 0.0f && x < static_cast<float>(m_columns->nx) && z < static_cast<float>(m_columns->nz)))
        return nullptr;
    return &m_columns->slots[static_cast<size_t>(z) * static_cast<size_t>(m_columns->nx) + static_cast<size_t>(x)];
}

[[gnu::always_inline]] inline Node* NodeTable::FindInSlot(const Slot& slot, float y, float& g) const {
    if (slot.stamp != m_generation) return nullptr;
    if (slot.head && slot.headY == y) {
        g = slot.headG;
        return m_store.At(slot.head - 1);
    }
    for (uint32_t k = slot.head; k; ) {
        Node* n = m_store.At(k - 1);
        if (n->y == y) {
            g = n->g;
            return n;
        }
        k = n->m_nextInColumn;
    }
    return nullptr;
}

Node* NodeTable::FindOutside(float x, float y, float z, float& g) const {
    const auto it = m_outside.find(Key(x, y, z));
    if (it == m_outside.end()) return nullptr;
    g = it->second->g;
    return it->second;
}

Node* NodeTable::Find(float x, float y, float z, float& g) const {
    if (const Slot* slot = ColumnSlot(x, z)) return FindInSlot(*slot, y, g);
    return FindOutside(x, y, z, g);
}

[[gnu::always_inline]] inline NodeTable::Found NodeTable::FindAt(int32_t column, float x, float y, float z,
                                                                 float& g) const {
    if (column >= 0) {
        const Slot& slot = m_columns->slots[static_cast<size_t>(column)];
        if (slot.stamp == m_generation && slot.head && slot.headY == y) {
            g = slot.headG;
            return {nullptr, slot.head};
        }
        return {FindInSlot(slot, y, g), 0};
    }
    if (column == SearchSpace::kOutsideColumns) return {FindOutside(x, y, z, g), 0};
    return {Find(x, y, z, g), 0};
}

void NodeTable::SetCost(Node* node, float g) {
    node->g = g;
    if (const Slot* found = ColumnSlot(node->x, node->z)) {
        Slot* slot = const_cast<Slot*>(found);
        if (slot->stamp == m_generation && slot->head == node->number + 1) slot->headG = g;
    }
}

[[gnu::always_inline]] inline void NodeTable::InsertInSlot(Slot& slot, Node* node) {
    ++m_count;
    if (slot.stamp != m_generation) {
        slot.stamp = m_generation;
        slot.head = 0;
    }
    node->m_nextInColumn = slot.head;
    slot.head = node->number + 1;
    slot.headY = node->y;
    slot.headG = node->g;
}

void NodeTable::InsertOutside(Node* node) {
    ++m_count;
    if (m_outside.empty()) m_outside.reserve(m_outsideBuckets);  // only searches that leave the grid pay for it
    m_outside[Key(node->x, node->y, node->z)] = node;
}

void NodeTable::Insert(Node* node) {
    if (const Slot* found = ColumnSlot(node->x, node->z))
        InsertInSlot(*const_cast<Slot*>(found), node);
    else
        InsertOutside(node);
}

[[gnu::always_inline]] inline void NodeTable::InsertAt(int32_t column, Node* node) {
    if (column >= 0)
        InsertInSlot(m_columns->slots[static_cast<size_t>(column)], node);
    else if (column == SearchSpace::kOutsideColumns)
        InsertOutside(node);
    else
        Insert(node);
}

void NodeStore::Grow() {
    if (m_used == m_blocks.size()) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(BlockSize(m_used));
    }
    m_end += BlockSize(m_used);
    ++m_used;
}

void NodeStore::Clear() {
    for (size_t b = 0; b < m_used; ++b) m_blocks[b].clear();
    m_used = 0;
    m_count = 0;
    m_end = 0;
}

size_t NodeStore::Capacity() const {
    size_t n = 0;
    for (size_t b = 0; b < m_blocks.size(); ++b) n += BlockSize(b);
    return n;
}

SearchData::SearchData(std::unique_ptr<IRequest> req, std::unique_ptr<NodeTable::Columns> columns, size_t buckets)
    : request(std::move(req)), table(std::move(columns), buckets, nodes) {}

// ---------------------------------------------------------------------------
// The manager

AStar::AStar(const AISettings& settings, const AIClock& clock)
    : m_settings(settings), m_clock(clock), m_msClock(&Timer::MonotonicMilliseconds) {}

AStar::~AStar() = default;

void AStar::SetMillisecondClock(MillisecondClock clock) {
    m_msClock = clock ? std::move(clock) : MillisecondClock(&Timer::MonotonicMilliseconds);
}

bool AStar::AddRequest(std::unique_ptr<IRequest> request) {
    if (!request) return false;
    if (request->GetKind() == IRequest::Kind::kExhaustive) {
        const Geometry::Vector3& g = request->GetGoal();
        const Geometry::Vector3& lo = m_grid.Minimum();
        const Geometry::Vector3& hi = m_grid.Maximum();
        if (!(g.x >= lo.x && g.x < hi.x && g.y >= lo.y && g.y < hi.y && g.z >= lo.z && g.z < hi.z)) return false;
    }
    request->m_manager = this;
    m_pending.push_back(std::move(request));
    return true;
}

bool AStar::HasLineOfSight(const Geometry::Vector3& fromCell, const Geometry::Vector3& toCell) const {
    return m_grid.HasLineOfSight(fromCell, toCell, m_settings.clearanceHeight);
}

PathPoint AStar::CellPoint(const Geometry::Vector3& cell) const {
    return PathPoint{m_grid.Minimum() + cell + Geometry::Vector3(0.5f, 1.5f, 0.5f), false};
}

int32_t AStar::StorePath(Path path) {
    // Ids count up; after the last one they start again at 0, skipping any
    // still waiting to be fetched.
    while (m_paths.count(m_nextResultId)) m_nextResultId = m_nextResultId == INT32_MAX ? 0 : m_nextResultId + 1;
    const int32_t id = m_nextResultId;
    m_nextResultId = m_nextResultId == INT32_MAX ? 0 : m_nextResultId + 1;
    m_paths[id] = StoredPath{std::move(path), m_clock.Now()};
    return id;
}

bool AStar::RetrievePath(int32_t resultId, Path& out) {
    auto it = m_paths.find(resultId);
    if (it == m_paths.end()) return false;
    out = std::move(it->second.path);
    m_paths.erase(it);
    return true;
}

void AStar::ReleaseStalePaths() {
    const uint64_t now = m_clock.Now();
    for (auto it = m_paths.begin(); it != m_paths.end();) {
        if (now - it->second.storedAt >= kUnfetchedPathLifetimeMs)
            it = m_paths.erase(it);
        else
            ++it;
    }
}

std::unique_ptr<NodeTable::Columns> AStar::AcquireColumns() {
    const int nx = m_grid.CellsX(), nz = m_grid.CellsZ();
    while (!m_spareColumns.empty()) {
        std::unique_ptr<NodeTable::Columns> c = std::move(m_spareColumns.back());
        m_spareColumns.pop_back();
        if (c->nx == nx && c->nz == nz) return c;  // built for another grid size: dropped
    }
    auto c = std::make_unique<NodeTable::Columns>();
    c->nx = nx;
    c->nz = nz;
    c->slots.Allocate(static_cast<size_t>(nx) * static_cast<size_t>(nz));
    return c;
}

void AStar::Recycle(SearchData& s) {
    const size_t keep = static_cast<size_t>(std::max(1, m_settings.maxSearches));
    std::unique_ptr<NodeTable::Columns> c = s.table.ReleaseColumns();
    if (c && m_spareColumns.size() < keep) m_spareColumns.push_back(std::move(c));
    // The blocks of a very large search are given back rather than kept.
    if (m_spareScratch.size() < keep && s.nodes.Capacity() <= kKeptNodes) {
        s.open.Clear();
        s.nodes.Clear();
        m_spareScratch.push_back(Scratch{std::move(s.nodes), std::move(s.open)});
    }
}

void AStar::Clear() {
    m_region.reset();
    m_spareColumns.clear();
    m_spareScratch.clear();
    m_pending.clear();
    for (const auto& s : m_running) s->done = true;
    m_running.clear();
    m_paths.clear();
    m_grid.SetBounds(0, 0, 0, 0, 0, 0);
    m_grid.Build();
}

void AStar::Update() {
    // Results reported below reach their bots after this walk is over, so a
    // handler that adds or fetches cannot change the lists being walked.
    MsgRoute::WalkGuard walk;
    ReleaseStalePaths();

    const size_t maxSearches = static_cast<size_t>(std::max(1, m_settings.maxSearches));
    for (int started = 0; started < kMaxStartsPerUpdate && !m_pending.empty() && m_running.size() < maxSearches;
         ++started)
        StartSearch();

    size_t i = 0;
    while (i < m_running.size()) {
        std::shared_ptr<SearchData> s = m_running[i];  // alive for the slice, whatever it triggers
        RunSlice(*s, m_running.size());
        if (i >= m_running.size() || m_running[i] != s) break;  // the list was cleared meanwhile
        if (s->done) {
            if (s->exhausted) {
                if (m_region) Recycle(*m_region);
                m_region = s;
            } else {
                Recycle(*s);
            }
            m_running.erase(m_running.begin() + static_cast<std::ptrdiff_t>(i));
        }
        else
            ++i;
    }
}

void AStar::StartSearch() {
    std::unique_ptr<IRequest> request = std::move(m_pending.front());
    m_pending.pop_front();
    const size_t buckets = static_cast<size_t>(std::max(1, m_settings.hashTableSize));
    auto s = std::make_shared<SearchData>(std::move(request), AcquireColumns(), buckets);
    if (!m_spareScratch.empty()) {
        s->nodes = std::move(m_spareScratch.back().nodes);
        s->open = std::move(m_spareScratch.back().open);
        m_spareScratch.pop_back();
    }
    IRequest& req = *s->request;
    s->startCell = m_grid.WorldToCell(req.GetStart());
    s->goalCell = m_grid.WorldToCell(req.GetGoal());
    using Kind = IRequest::Kind;
    const Kind kind = req.GetKind();
    const Geometry::Vector3& st = s->startCell;
    const Geometry::Vector3& gc = s->goalCell;

    if (kind != Kind::kPath && kind != Kind::kTowerPath && kind != Kind::kExhaustive &&
        (m_grid.IsCellBlocked(st.x, st.y, st.z) || m_grid.IsCellBlocked(gc.x, gc.y, gc.z))) {
        Finish(*s, false);
        Recycle(*s);
        return;
    }
    if (kind == Kind::kExhaustive && !m_grid.IsInBounds(gc.x, gc.y, gc.z)) {
        Finish(*s, false);
        Recycle(*s);
        return;
    }
    if (kind == Kind::kPath && req.GetAvoidCells().empty() && HasLineOfSight(st, gc) && FloorAlongLine(m_grid, st, gc)) {
        s->path = {CellPoint(st), CellPoint(gc)};
        Finish(*s, true);
        Recycle(*s);
        return;
    }
    s->gridVersion = m_grid.Version();
    s->clearance = m_settings.clearanceHeight;
    s->jumpHeight = m_settings.jumpHeight;
    s->bounds = m_grid.SearchCells(req.GetSearchMin(), req.GetSearchMax());
    // A goal no walker can stand in, or one outside the region a search from
    // this start was seen to reach, is known unreachable without walking that
    // whole region again (bots sent to a post whose floor was knocked away,
    // or following a mate on a terrace they cannot climb, asked for that many
    // times a second).
    const SearchData* region = kind == Kind::kPath ? RegionOf(*s) : nullptr;
    const IRequest::CellTest reachable = [this, region](int x, int y, int z) {
        if (!Standable(x, y, z)) return false;
        return !region ||
               region->table.Find(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)) != nullptr;
    };
    if (!req.GoalCanBeReached(st, reachable)) {
        Finish(*s, false);
        Recycle(*s);
        return;
    }
    Node* start = s->nodes.Add(st.x, st.y, st.z, s->nodeCounter++, nullptr);
    start->g = 0.0f;
    req.ComputeHeuristic(*start, gc.x, gc.y, gc.z);
    start->f = start->h * m_settings.heuristicWeight;
    s->open.Push(start);
    s->table.Insert(start);
    m_running.push_back(std::move(s));
}

bool AStar::Standable(int x, int y, int z) const {
    const int clearance = m_settings.clearanceHeight;
    // With no clearance the neighbour rules test no cell at all.
    if (clearance < 1) return true;
    if (!m_grid.IsCellBlocked(x, y - 1, z)) return false;
    for (int i = 0; i < clearance; ++i)
        if (m_grid.IsCellBlocked(x, y + i, z)) return false;
    return true;
}

const SearchData* AStar::RegionOf(const SearchData& s) const {
    const SearchData* r = m_region.get();
    if (!r || r->gridVersion != m_grid.Version() || r->clearance != m_settings.clearanceHeight ||
        r->jumpHeight != m_settings.jumpHeight || r->clearance != s.clearance || r->jumpHeight != s.jumpHeight)
        return nullptr;
    if (r->bounds.lo != s.bounds.lo || r->bounds.hi != s.bounds.hi) return nullptr;
    const Geometry::Vector3& c = s.startCell;
    return r->table.Find(c.x, c.y, c.z) ? r : nullptr;
}

void AStar::Finish(SearchData& s, bool success) {
    s.done = true;
    m_lastNodeCount = s.nodes.Size();
    // The request may act on the manager (fetch, add); it stays alive with
    // its search data until the search leaves the running list.
    if (success) {
        const int32_t id = StorePath(std::move(s.path));
        s.path.clear();
        s.request->OnSuccess(id);
    } else {
        s.request->OnFailure();
    }
}

void AStar::RunSlice(SearchData& s, size_t runningCount) {
    IRequest& req = *s.request;
    const uint64_t sliceStart = m_msClock();
    const uint64_t budget =
        m_settings.aStarTimeSlice > 0 ? static_cast<uint64_t>(m_settings.aStarTimeSlice) / std::max<size_t>(1, runningCount) : 0;

    if (static_cast<int64_t>(s.elapsed) > static_cast<int64_t>(req.GetTimeOut())) {
        if (req.GetKind() == IRequest::Kind::kPath) {
            Finish(s, false);
            return;
        }
        if (req.GetKind() == IRequest::Kind::kFlagSearch) {
            IFlagSearchPlanner* planner = GetFlagPlanner(req.GetTeam());
            if (planner && planner->WallCount() > 0) {
                Finish(s, false);
                return;
            }
        }
    }

    const Geometry::Vector3 gc = s.goalCell;
    const SearchSpace::CellBox bounds = m_grid.SearchCells(req.GetSearchMin(), req.GetSearchMax());
    // The grid's column numbers serve the node table when both have one size.
    const bool byColumn = s.table.HasColumns(m_grid.CellsX(), m_grid.CellsZ());
    const float weight = m_settings.heuristicWeight;
    const float climb = m_settings.climbPenalty;
    const bool draw = m_settings.drawSearch;
    const int clearance = m_settings.clearanceHeight;
    const int jump = m_settings.jumpHeight;
    const float turnPenalty = m_turnPenalty;
    const std::vector<Geometry::Vector3>& avoid = req.GetAvoidCells();
    // A move's cost by its kind: climbing whenever the level changes, else
    // diagonal or straight.
    float stepCost[3];
    stepCost[SearchSpace::kLevelStraight] = 1.0f;
    stepCost[SearchSpace::kLevelDiagonal] = kDiagonalCost;
    stepCost[SearchSpace::kClimb] = climb;
    bool atGoal = false;

    while (!s.open.Empty()) {
        const uint64_t spent = m_msClock() - sliceStart;
        if (spent > budget) {
            s.elapsed += static_cast<uint32_t>(std::min<uint64_t>(spent, UINT32_MAX - s.elapsed));
            return;
        }
        // The node is taken off the open list: from here on it is closed
        // unless a cheaper way to it reopens it.
        Node* cur = s.open.Pop();
        s.current = cur;
        // The node likely to come next is fetched into the cache while this
        // one is expanded.
        if (const Node* next = s.open.PeekHint()) __builtin_prefetch(next);
        req.VisitNode(*cur);
        if (req.IsGoal(*cur, gc.x, gc.y, gc.z)) {
            atGoal = true;
            break;
        }
        const int count = m_grid.FillNeighbours(s.neighbours, byColumn ? s.columns : nullptr, cur->x, cur->y, cur->z,
                                                bounds, clearance, jump, s.moves);
        const Node* par = cur->parent;
        // The step from the parent as a move code when it is one a neighbour
        // can have: a known move's cell minus this one is its code's step
        // exactly, so the two steps are equal in float just when the codes
        // are. Any other step (or none) matches no known move.
        int32_t straightOn = SearchSpace::kUnknownMove;
        if (par) {
            const float px = cur->x - par->x, py = cur->y - par->y, pz = cur->z - par->z;
            auto unit = [](float v) { return v == 0.0f || v == 1.0f || v == -1.0f; };
            if (unit(px) && unit(pz) && py >= -1048576.0f && py <= 1048576.0f &&
                py == static_cast<float>(static_cast<int>(py)))
                straightOn = SearchSpace::MoveCode(static_cast<int>(px), static_cast<int>(py), static_cast<int>(pz));
        }
        for (int k = 0; k < count; ++k) {
            const Geometry::Vector3& nb = s.neighbours[k];
            const int32_t move = s.moves[k];
            float g;
            if (move != SearchSpace::kUnknownMove) {
                g = cur->g + stepCost[SearchSpace::KindOfMove(move)];
                if (par && move != straightOn) g += turnPenalty;
            } else {
                float step;
                if (nb.y != cur->y)
                    step = climb;
                else if (nb.x != cur->x && nb.z != cur->z)
                    step = kDiagonalCost;
                else
                    step = 1.0f;
                g = cur->g + step;
                if (par && (nb.x - cur->x != cur->x - par->x || nb.y - cur->y != cur->y - par->y ||
                            nb.z - cur->z != cur->z - par->z))
                    g += turnPenalty;
            }
            for (const Geometry::Vector3& a : avoid)
                if (a.x == nb.x && a.y == nb.y && a.z == nb.z) g += IRequest::kAvoidCost;

            float known = 0.0f;
            const NodeTable::Found found = byColumn ? s.table.FindAt(s.columns[k], nb.x, nb.y, nb.z, known)
                                                    : NodeTable::Found{s.table.Find(nb.x, nb.y, nb.z, known), 0};
            Node* node;
            if (found) {
                if (!(g < known)) continue;
                node = s.table.NodeOf(found);
                s.open.Remove(node);
                node->parent = cur;
                s.table.SetCost(node, g);
                node->f = node->h * weight + g;
                s.open.Push(node);
            } else {
                node = s.nodes.Add(nb.x, nb.y, nb.z, s.nodeCounter++, cur);
                node->g = g;
                req.ComputeHeuristic(*node, gc.x, gc.y, gc.z);
                node->f = node->h * weight + g;
                s.open.Push(node);
                if (byColumn)
                    s.table.InsertAt(s.columns[k], node);
                else
                    s.table.Insert(node);
            }
            if (draw) {
                const Geometry::Vector3 pos = m_grid.Minimum() + nb + Geometry::Vector3(0.5f, 0.5f, 0.5f);
                EventSystem::QueueEvent(
                    std::make_shared<EventTypes::EventDrawPath>(Geometry::Vector3(0.25f, 0.25f, 0.25f), pos));
            }
        }
    }

    if (atGoal) {
        size_t n = 0;
        for (const Node* p = s.current; p; p = p->parent) ++n;
        s.path.resize(n);
        for (const Node* p = s.current; p; p = p->parent) s.path[--n] = CellPoint(p->Cell());
    } else {
        // Every cell the start reaches was expanded; it is a region for
        // later requests only if nothing it was worked out on changed.
        s.exhausted = req.GetKind() == IRequest::Kind::kPath && s.gridVersion == m_grid.Version() &&
                      s.clearance == clearance && s.jumpHeight == jump && s.bounds.lo == bounds.lo &&
                      s.bounds.hi == bounds.hi;
    }
    Finish(s, !s.path.empty());
}

}  // namespace AI
