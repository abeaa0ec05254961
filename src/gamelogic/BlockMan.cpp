#include "gamelogic/BlockMan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockGrid.h"
#include "gamelogic/BotDirector.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/MiravGameLogic.h"
#include "physics/PhysBody.h"

namespace GameLogicView {

namespace {

// The bit pattern of a height, with -0 folded onto +0, so equal heights give
// equal keys (the rest test compares heights exactly).
uint32_t HeightKey(float h) {
    h += 0.0f;
    uint32_t bits;
    std::memcpy(&bits, &h, sizeof bits);
    return bits;
}

int32_t CellOf(float v, float cell) {
    const double c = std::floor(static_cast<double>(v) / static_cast<double>(cell));
    return static_cast<int32_t>(std::clamp(c, -1.0e9, 1.0e9));
}

// A rest test walks one grid cell per unit of the upper block's footprint;
// anything wider than this is not a block of a level.
constexpr float kMaxFootprint = 4096.0f;

}  // namespace

// ---------------------------------------------------------------- the index

size_t StaticBlockIndex::KeyHash::operator()(const Key& k) const {
    size_t h = k.height;
    h = h * 1000003u ^ static_cast<uint32_t>(k.cx);
    h = h * 1000003u ^ static_cast<uint32_t>(k.cz);
    return h;
}

void StaticBlockIndex::Insert(const BlockPtr& block) {
    if (!block || !block->actor) return;
    const uint16_t id = block->GetId();
    Remove(id);
    const Geometry::Vector3 p = block->GetPosition();
    const Geometry::Vector3 e = block->TurnedExtents();
    if (!p.IsFinite() || !e.IsFinite()) return;
    Entry entry;
    entry.height = HeightKey(p.y - e.y);
    entry.cx0 = CellOf(p.x - e.x, kCell);
    entry.cx1 = CellOf(p.x + e.x, kCell);
    entry.cz0 = CellOf(p.z - e.z, kCell);
    entry.cz1 = CellOf(p.z + e.z, kCell);
    entry.large = static_cast<int64_t>(entry.cx1) - entry.cx0 >= kMaxSpan ||
                  static_cast<int64_t>(entry.cz1) - entry.cz0 >= kMaxSpan;
    if (entry.large) {
        m_large[entry.height].push_back(id);
    } else {
        for (int32_t cx = entry.cx0; cx <= entry.cx1; ++cx)
            for (int32_t cz = entry.cz0; cz <= entry.cz1; ++cz) m_cells[Key{entry.height, cx, cz}].push_back(id);
    }
    m_entries.emplace(id, entry);
}

void StaticBlockIndex::Remove(uint16_t id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end()) return;
    const Entry& e = it->second;
    auto erase = [id](std::vector<uint16_t>& ids) { ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end()); };
    if (e.large) {
        const auto l = m_large.find(e.height);
        if (l != m_large.end()) {
            erase(l->second);
            if (l->second.empty()) m_large.erase(l);
        }
    } else {
        for (int32_t cx = e.cx0; cx <= e.cx1; ++cx) {
            for (int32_t cz = e.cz0; cz <= e.cz1; ++cz) {
                const auto c = m_cells.find(Key{e.height, cx, cz});
                if (c == m_cells.end()) continue;
                erase(c->second);
                if (c->second.empty()) m_cells.erase(c);
            }
        }
    }
    m_entries.erase(it);
}

void StaticBlockIndex::Clear() {
    m_cells.clear();
    m_large.clear();
    m_entries.clear();
}

void StaticBlockIndex::Candidates(float height, float x0, float x1, float z0, float z1,
                                  std::vector<uint16_t>& out) const {
    out.clear();
    if (!std::isfinite(height) || !std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(z0) ||
        !std::isfinite(z1))
        return;
    const uint32_t key = HeightKey(height);
    const auto l = m_large.find(key);
    if (l != m_large.end()) out.insert(out.end(), l->second.begin(), l->second.end());
    const int32_t cx0 = CellOf(x0, kCell), cx1 = CellOf(x1, kCell);
    const int32_t cz0 = CellOf(z0, kCell), cz1 = CellOf(z1, kCell);
    if (static_cast<int64_t>(cx1) - cx0 >= kMaxSpan || static_cast<int64_t>(cz1) - cz0 >= kMaxSpan) {
        // A wide block: walk the blocks of that height instead of the cells.
        for (const auto& [id, e] : m_entries)
            if (!e.large && e.height == key && e.cx1 >= cx0 && e.cx0 <= cx1 && e.cz1 >= cz0 && e.cz0 <= cz1)
                out.push_back(id);
    } else {
        for (int32_t cx = cx0; cx <= cx1; ++cx) {
            for (int32_t cz = cz0; cz <= cz1; ++cz) {
                const auto c = m_cells.find(Key{key, cx, cz});
                if (c != m_cells.end()) out.insert(out.end(), c->second.begin(), c->second.end());
            }
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

// ---------------------------------------------------------- block manager

BlockMan::BlockMan(MiravGameLogic* logic) : m_logic(logic) {}

BlockMan::~BlockMan() {
    for (auto& [id, timer] : m_timers) timer->Cancel();
}

void BlockMan::Init() { m_units.SetMaxFree(GetLogicSettings().maxFreeUnitBlocks); }

IBlockGrid* BlockMan::Grid() {
    if (m_grid) return m_grid;
    if (!m_ownGrid)
        if (IBotDirector* bots = GetBotDirector()) m_ownGrid = bots->MakeGrid();
    return m_ownGrid.get();
}

void BlockMan::AttachProcess(const std::shared_ptr<ProcessSystem::IProcess>& process) {
    if (m_logic) m_logic->GetProcessManager().Attach(process);
}

BlockPtr BlockMan::GetBlock(uint16_t actorId) const {
    if (actorId < m_byId.size())
        if (const BlockPtr* entry = m_byId[actorId]) return *entry;
    return BlockPtr();
}

const std::vector<BlockMan::Listed>& BlockMan::Listing() const {
    if (m_listingStale) {
        m_listing.clear();
        m_listing.reserve(m_all.size());
        for (const auto& [id, block] : m_all) m_listing.push_back(Listed{id, block.get()});
        m_listingStale = false;
    }
    return m_listing;
}

BlockPtr BlockMan::AddBlock(const std::shared_ptr<Actor>& actor) {
    if (!actor) return nullptr;
    auto block = std::make_shared<BlockData>(actor);
    const uint16_t id = actor->actorId;
    if (block->IsType(ActorTypes::kMasslessBox) || block->IsType(ActorTypes::kFlag) ||
        block->IsType(ActorTypes::kSolid)) {
        block->SetState(BlockState::kPlaced);
        m_static[id] = block;
        m_index.Insert(block);
        const Geometry::Vector3 p = actor->GetPosition();
        const Geometry::Vector3& e = actor->extents;
        if (IBlockGrid* grid = Grid()) grid->SetBoxOccupancy(p.x, p.y, p.z, e.x, e.y, e.z, true);
    } else if (block->IsType(ActorTypes::kBox)) {
        block->SetState(BlockState::kFree);
    }
    BlockPtr& entry = m_all[id];
    entry = block;
    if (id >= m_byId.size()) m_byId.resize(static_cast<size_t>(id) + 1, nullptr);
    m_byId[id] = &entry;
    m_listingStale = true;
    return block;
}

bool BlockMan::RemoveBlock(uint16_t actorId) {
    if (const BlockPtr block = GetBlock(actorId)) {
        m_units.RemoveFreeBlock(block);
        ForgetCollisionToFree(block);
    }
    if (actorId < m_byId.size()) m_byId[actorId] = nullptr;
    m_all.erase(actorId);
    m_listingStale = true;
    m_static.erase(actorId);
    m_index.Remove(actorId);
    return true;
}

void BlockMan::Clear() {
    m_byId.clear();
    m_all.clear();
    m_listingStale = true;
    m_static.clear();
    m_index.Clear();
    m_units.Clear();
    for (auto& [id, timer] : m_timers) timer->Cancel();
    m_timers.clear();
}

namespace {

constexpr float kNearestFreeRange = 1000000.0f;  // squared

// Whether the block is a free candidate of the nearest-free search nearer than
// `best` (squared distance), which it then lowers. Only blocks within halfX
// and halfZ of the origin count (infinite: all).
inline bool NearerFree(const BlockData& b, uint16_t id, const Geometry::Vector3& position,
                       const std::map<uint16_t, uint16_t>& excluded, float& best,
                       float halfX = std::numeric_limits<float>::infinity(),
                       float halfZ = std::numeric_limits<float>::infinity()) {
    if (!b.actor || b.state != BlockState::kFree) return false;
    if (excluded.count(id)) return false;
    const Geometry::Vector3 at = b.GetPosition();
    if (!(std::fabs(at.x) <= halfX && std::fabs(at.z) <= halfZ)) return false;
    const float d = (at - position).LengthSquared();
    if (!(d < best)) return false;
    best = d;
    return true;
}

}  // namespace

BlockPtr BlockMan::FindNearestFreeBlock(const std::vector<BlockPtr>& list, const Geometry::Vector3& position,
                                        const std::map<uint16_t, uint16_t>& excluded) const {
    BlockPtr best;
    float bestDistance = kNearestFreeRange;
    for (const BlockPtr& b : list)
        if (b && NearerFree(*b, b->GetId(), position, excluded, bestDistance)) best = b;
    return best;
}

BlockPtr BlockMan::FindNearestFreeBlock(const Geometry::Vector3& position,
                                        const std::map<uint16_t, uint16_t>& excluded) const {
    constexpr float kAnywhere = std::numeric_limits<float>::infinity();
    return FindNearestFreeBlockWithin(position, excluded, kAnywhere, kAnywhere);
}

BlockPtr BlockMan::FindNearestFreeBlockWithin(const Geometry::Vector3& position,
                                              const std::map<uint16_t, uint16_t>& excluded, float halfX,
                                              float halfZ) const {
    const std::vector<Listed>& listing = Listing();
    size_t found = listing.size();
    float bestDistance = kNearestFreeRange;
    for (size_t i = 0; i < listing.size(); ++i) {
        PrefetchAhead(listing, i);
        const BlockData* block = listing[i].block;
        if (block && NearerFree(*block, listing[i].id, position, excluded, bestDistance, halfX, halfZ)) found = i;
    }
    return found < listing.size() ? GetBlock(listing[found].id) : nullptr;
}

// --------------------------------------------------------------- collisions

void BlockMan::OnBlockCollision(const EventTypes::EventUpdateCollisionData& report) {
    const BlockPtr a = GetBlock(static_cast<uint16_t>(report.actorIdA));
    const BlockPtr b = GetBlock(static_cast<uint16_t>(report.actorIdB));
    if (a && a->state == BlockState::kThrown) StartCollisionToFree(a);
    if (b && b->state == BlockState::kThrown) StartCollisionToFree(b);
    if (!a || !b) return;

    const LogicSettings& s = GetLogicSettings();
    // placed: knocked out of its structure along n (pointing towards it).
    auto knockOut = [&](const BlockPtr& placed, const BlockPtr& thrown, const Geometry::Vector3& n) {
        DetachBlock(placed);
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateBlockActive>(
            static_cast<int16_t>(thrown->GetId())));
        if (!n.IsFinite() || !std::isfinite(report.normalSpeed) || !placed->actor->body) return;
        Physics::PhysBody& body = *placed->actor->body;
        body.SetVelocity(n * std::fabs(report.normalSpeed * s.blockCollisionSpeedFactor));
        body.ApplyImpulseAt(report.point, n * std::fabs(report.normalSpeed) * s.blockCollisionImpulse);
    };
    if (a->state == BlockState::kPlaced && b->state == BlockState::kThrown && !a->IsType(ActorTypes::kSolid)) {
        knockOut(a, b, report.normal);
    } else if (b->state == BlockState::kPlaced && a->state == BlockState::kThrown &&
               !b->IsType(ActorTypes::kSolid)) {
        knockOut(b, a, -report.normal);
    }
}

void BlockMan::StartCollisionToFree(const BlockPtr& block) {
    if (!block) return;
    const uint16_t id = block->GetId();
    const auto it = m_timers.find(id);
    // A finished timer no longer counts: its entry is only a leftover.
    if (it != m_timers.end() && !it->second->IsDead()) return;
    auto timer = std::make_shared<CollisionToFreeStateProc>(block);
    m_timers[id] = timer;
    AttachProcess(timer);
}

void BlockMan::ForgetCollisionToFree(const BlockPtr& block) {
    if (!block) return;
    const auto it = m_timers.find(block->GetId());
    if (it == m_timers.end()) return;
    it->second->Cancel();
    m_timers.erase(it);
}

bool BlockMan::HasCollisionToFree(uint16_t actorId) const {
    const auto it = m_timers.find(actorId);
    return it != m_timers.end() && !it->second->IsDead();
}

// ----------------------------------------------------------------- collapse

void BlockMan::FreeGridBox(const BlockData& block) {
    const Geometry::Vector3 p = block.GetPosition();
    const Geometry::Vector3 e = block.TurnedExtents();
    if (IBlockGrid* grid = Grid()) grid->SetBoxOccupancy(p.x, p.y, p.z, e.x, e.y, e.z, false);
}

bool BlockMan::RestsOn(const BlockData& lower, const BlockData& upper) {
    ++m_restTests;
    const Geometry::Vector3 pl = lower.GetPosition(), pu = upper.GetPosition();
    const Geometry::Vector3 el = lower.TurnedExtents(), eu = upper.TurnedExtents();
    if (!pl.IsFinite() || !pu.IsFinite()) return false;
    if (!(pu.y - eu.y == pl.y + el.y)) return false;
    if (!(std::fabs(pl.x - pu.x) < el.x + eu.x) || !(std::fabs(pl.z - pu.z) < el.z + eu.z)) return false;
    if (eu.x > kMaxFootprint || eu.z > kMaxFootprint) return false;

    const IBlockGrid* grid = Grid();
    if (!grid) return true;
    const float y = pu.y - eu.y - 0.5f;
    for (float x = pu.x - eu.x; x < pu.x + eu.x; x += 1.0f) {
        for (float z = pu.z - eu.z; z < pu.z + eu.z; z += 1.0f) {
            if (grid->IsBlockedAt(x, y, z)) return false;
        }
    }
    return true;
}

void BlockMan::MarkDetached(const BlockPtr& start, std::vector<BlockPtr>& marked) {
    if (!start || start->detachMark) return;
    // A work list instead of recursion: a tall tower cannot exhaust the stack,
    // and each fallen block looks only at the blocks whose bottom lies on its
    // top. A block falls once everything under it has been freed, whatever
    // order its supports are found in.
    std::vector<BlockPtr> work;
    auto mark = [&](const BlockPtr& b) {
        b->detachMark = true;
        FreeGridBox(*b);
        marked.push_back(b);
        work.push_back(b);
    };
    mark(start);
    std::vector<uint16_t> candidates;
    while (!work.empty()) {
        const BlockPtr lower = work.back();
        work.pop_back();
        const Geometry::Vector3 p = lower->GetPosition();
        const Geometry::Vector3 e = lower->TurnedExtents();
        m_index.Candidates(p.y + e.y, p.x - e.x, p.x + e.x, p.z - e.z, p.z + e.z, candidates);
        for (uint16_t id : candidates) {
            const auto it = m_static.find(id);
            if (it == m_static.end()) continue;
            const BlockPtr& upper = it->second;
            if (upper == lower || upper->detachMark || upper->IsType(ActorTypes::kSolid)) continue;
            if (RestsOn(*lower, *upper)) mark(upper);
        }
    }
}

void BlockMan::DetachBlock(const BlockPtr& block) {
    if (!block || !block->actor || block->state != BlockState::kPlaced || block->IsType(ActorTypes::kSolid)) return;
    // Placed again after it left its structure (a flag back home): it is no
    // part of a structure any more, so nothing comes loose.
    if (m_static.find(block->GetId()) == m_static.end()) return;
    std::vector<BlockPtr> marked;
    MarkDetached(block, marked);
    for (const BlockPtr& b : marked) {
        b->detachMark = false;
        b->SetState(BlockState::kFree);
        const uint16_t id = b->GetId();
        m_static.erase(id);
        m_index.Remove(id);
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateDetachBlock>(
            static_cast<int16_t>(id), b->GetPosition(), b->TurnedExtents()));
    }
}

// ------------------------------------------------------------ hands, throws

void BlockMan::TakeBlock(const BlockPtr& block) {
    if (!block) return;
    ForgetCollisionToFree(block);
    if (block->state == BlockState::kPlaced) DetachBlock(block);
    block->SetState(BlockState::kHeld);
    if (block->actor) block->actor->StopBody();
    m_units.RemoveFreeBlock(block);
}

void BlockMan::OnBlockReleased(const BlockPtr& block) {
    if (block && block->IsUnitBlock()) m_units.AddFreeBlock(block);
}

// ------------------------------------------------------------------- picker

void BlockMan::PickBlock(BlockPtr& out, const Geometry::Vector3& position, const Geometry::Vector3& view) const {
    out.reset();
    const LogicSettings& s = GetLogicSettings();
    const Geometry::Vector3 dir = Geometry::Vector3(view.x, view.y + s.pickerZOffset, view.z).Normalized();
    // A view that gives no direction (zero after the tilt, or not finite)
    // would make every block "in front" and on the ray: pick nothing.
    if (dir.LengthSquared() == 0.0f || !position.IsFinite()) return;
    const Geometry::Vector3 o = dir * s.pickerDistance;
    float best = 100000.0f;
    const std::vector<Listed>& listing = Listing();
    for (size_t i = 0; i < listing.size(); ++i) {
        PrefetchAhead(listing, i);
        const BlockData* block = listing[i].block;
        if (!block) continue;
        if (block->state != BlockState::kPlaced && block->state != BlockState::kFree) continue;
        if (!block->actor || block->IsType(ActorTypes::kSolid) || block->IsType(ActorTypes::kFlag)) continue;
        const Geometry::Vector3 c = block->GetPosition();
        const Geometry::Vector3 d = c - position;
        const float q = d.Dot(d);
        const float r = block->radius + s.pickerDistance + s.pickerSphereIncrease;
        if (!(q <= r * r) || d.Dot(o) < 0.0f) continue;
        if (Geometry::IntersectRaySphere(Geometry::Ray(position, o), Geometry::Sphere(c, block->radius)) == 0)
            continue;
        if (q < best) {
            best = q;
            out = GetBlock(listing[i].id);
        }
    }
}

// ----------------------------------------------------------- return to free

CollisionToFreeStateProc::CollisionToFreeStateProc(const BlockPtr& block)
    : IProcess(7),
      m_fatalTime(GetLogicSettings().blockFatalTime),
      m_freeTime(GetLogicSettings().blockFreeTime),
      m_block(block) {}

void CollisionToFreeStateProc::OnUpdate(int ms) {
    // Nobody else holds the block any more: it was removed from the game.
    if (!m_block || m_block.use_count() == 1) {
        Kill();
        m_block.reset();
        return;
    }
    m_elapsed += ms;
    if (m_elapsed > m_fatalTime && m_stage == 0) {
        m_block->team = 255;
        m_stage = 1;
    }
    if (m_elapsed > m_freeTime && m_stage == 1) {
        m_block->SetState(BlockState::kFree);
        EventSystem::QueueEvent(
            std::make_shared<EventTypes::EventUpdateBlockActive>(static_cast<int16_t>(m_block->GetId())));
        Kill();
        m_block.reset();  // a finished timer keeps nothing alive
    }
}

}  // namespace GameLogicView
