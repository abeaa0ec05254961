// The logic's blocks and flags by actor id: registration, the state rules of a
// collision, structures that collapse when a block is knocked out of them (the
// bots' occupancy grid is the map of what still stands), the return of a
// thrown block to the free state, the block picker and the loose unit blocks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "gamelogic/BlockData.h"
#include "gamelogic/UnitBlockMan.h"
#include "processes/Process.h"
#include "utility/Geometry.h"

namespace EventTypes {
struct EventUpdateCollisionData;
}

namespace GameLogicView {

class IBlockGrid;

class Actor;
class MiravGameLogic;
class CollisionToFreeStateProc;

// Finds the static blocks whose bottom lies on a given height over a given
// footprint, so a collapse looks only at the blocks that can rest on the one
// that fell.
class StaticBlockIndex {
public:
    void Insert(const BlockPtr& block);
    void Remove(uint16_t id);
    void Clear();
    // Ids of the indexed blocks whose bottom equals `height` exactly and
    // whose footprint may overlap x in [x0, x1], z in [z0, z1]; each once.
    void Candidates(float height, float x0, float x1, float z0, float z1, std::vector<uint16_t>& out) const;
    size_t Count() const { return m_entries.size(); }

private:
    struct Key {
        uint32_t height;
        int32_t cx, cz;
        bool operator==(const Key& o) const { return height == o.height && cx == o.cx && cz == o.cz; }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Entry {
        uint32_t height;
        bool large;  // too wide for the cells: kept in a list per height
        int32_t cx0, cx1, cz0, cz1;
    };
    static constexpr float kCell = 4.0f;
    static constexpr int32_t kMaxSpan = 32;  // cells per axis before a block counts as large

    std::unordered_map<Key, std::vector<uint16_t>, KeyHash> m_cells;
    std::unordered_map<uint32_t, std::vector<uint16_t>> m_large;
    std::unordered_map<uint16_t, Entry> m_entries;
};

class BlockMan {
public:
    using Table = std::map<uint16_t, BlockPtr>;

    explicit BlockMan(MiravGameLogic* logic);
    ~BlockMan();
    BlockMan(const BlockMan&) = delete;
    BlockMan& operator=(const BlockMan&) = delete;

    // Reads the loose unit block limit ("MaxFreeUnitBlocks").
    void Init();
    // The occupancy grid that collapses read and update: the bots' grid once
    // lent. Until then the manager keeps one of its own, made by the bots'
    // side; with no bots' side there is none (null) and no cell is blocked.
    void SetGrid(IBlockGrid* grid) { m_grid = grid; }
    bool UsesGrid(const IBlockGrid* grid) const { return grid && m_grid == grid; }
    IBlockGrid* Grid();
    MiravGameLogic* GetLogic() const { return m_logic; }

    BlockPtr GetBlock(uint16_t actorId) const;
    // A record for a new "box", "massless_box", "solid" or "flag" actor: the
    // last three are placed (static table, grid marked), a box is free.
    BlockPtr AddBlock(const std::shared_ptr<Actor>& actor);
    bool RemoveBlock(uint16_t actorId);
    // Empties the tables, the index, the loose list and the timers.
    void Clear();
    const Table& AllBlocks() const { return m_all; }
    // The same blocks as AllBlocks, in the same (id) order, as a flat list of
    // ids and records: walks over every block read it instead of the
    // table's scattered nodes. Made again after the table changed.
    struct Listed {
        uint16_t id;
        const BlockData* block;
    };
    const std::vector<Listed>& Listing() const;
    // Asks the memory for the records a walk of the listing reads a few
    // entries after `i` (the block, its actor, its body's position), so a
    // walk over every block overlaps its reads instead of waiting on each.
    static void PrefetchAhead(const std::vector<Listed>& listing, size_t i) {
        // Each stage reads what the one before asked for a few entries earlier.
        constexpr size_t kBlockAhead = 12, kActorAhead = 8, kBodyAhead = 4;
        const size_t n = listing.size();
        if (i + kBlockAhead < n)
            if (const BlockData* block = listing[i + kBlockAhead].block) __builtin_prefetch(block);
        if (i + kActorAhead < n)
            if (const BlockData* block = listing[i + kActorAhead].block)
                if (const Actor* actor = block->actor.get()) __builtin_prefetch(actor);
        if (i + kBodyAhead < n)
            if (const BlockData* block = listing[i + kBodyAhead].block)
                if (const Actor* actor = block->actor.get())
                    if (const Physics::PhysBody* body = actor->body.get()) __builtin_prefetch(&body->GetPosition());
    }
    const Table& StaticBlocks() const { return m_static; }
    // Blocks the fallen-block sweep took out of the level since the manager
    // was made (a block below the floor has escaped the world).
    void CountFallen(int n) { m_fallen += n; }
    int FallenCount() const { return m_fallen; }
    // Half the size of the loaded level's map in x and z (the map is centred
    // on the origin): the field the level was drawn for, which the ground may
    // exceed. Zero while no level is loaded.
    void SetFieldHalfExtents(const Geometry::Vector3& half) { m_fieldHalf = half; }
    const Geometry::Vector3& FieldHalfExtents() const { return m_fieldHalf; }

    // The block of `list` in state 1, not excluded, nearest to the position
    // (below 1000 units); empty when none.
    BlockPtr FindNearestFreeBlock(const std::vector<BlockPtr>& list, const Geometry::Vector3& position,
                                  const std::map<uint16_t, uint16_t>& excluded) const;
    // The same over every block of the manager, in id order.
    BlockPtr FindNearestFreeBlock(const Geometry::Vector3& position,
                                  const std::map<uint16_t, uint16_t>& excluded) const;
    // The same among the blocks whose body lies within `halfX` of the origin
    // in x and `halfZ` in z.
    BlockPtr FindNearestFreeBlockWithin(const Geometry::Vector3& position,
                                        const std::map<uint16_t, uint16_t>& excluded, float halfX,
                                        float halfZ) const;

    // The block rules of a collision report between two bodies (at least one
    // a block): thrown blocks start returning to free; a thrown block knocks
    // a placed one that is not "solid" out of its structure.
    void OnBlockCollision(const EventTypes::EventUpdateCollisionData& report);
    // Starts the block's return-to-free timer unless it has a running one.
    void StartCollisionToFree(const BlockPtr& block);
    // Cancels the block's return-to-free timer, so a block taken into a hand
    // is never set free while held and its next throw starts a new timer.
    void ForgetCollisionToFree(const BlockPtr& block);
    bool HasCollisionToFree(uint16_t actorId) const;
    // Frees a placed block that is not "solid" and every static block that
    // rested only on what fell; reports each with "LtVUpdateDetachBlock".
    void DetachBlock(const BlockPtr& block);
    // True when u's bottom lies exactly on l's top, their footprints overlap
    // and no grid cell under u is still blocked.
    bool RestsOn(const BlockData& lower, const BlockData& upper);
    // How many rest tests collapses have made (a measure for tests).
    size_t RestTests() const { return m_restTests; }

    // Prepares a block that goes into a hand: timer cancelled, detached when
    // placed, held (out of the world), motion stopped, off the loose list.
    void TakeBlock(const BlockPtr& block);
    // A thrown unit block joins the loose list.
    void OnBlockReleased(const BlockPtr& block);
    UnitBlockMan& GetUnitBlockMan() { return m_units; }

    // The nearest placed or free block (not "solid", not a flag) whose sphere
    // the view ray passes through, within reach of the position; empty when
    // none or when the view gives no direction.
    void PickBlock(BlockPtr& out, const Geometry::Vector3& position, const Geometry::Vector3& view) const;

private:
    void MarkDetached(const BlockPtr& block, std::vector<BlockPtr>& marked);
    void FreeGridBox(const BlockData& block);
    void AttachProcess(const std::shared_ptr<ProcessSystem::IProcess>& process);

    Table m_all;
    // The table's entries by actor id (null where the id has none), so a
    // look-up is one read instead of a walk down the tree: every collision
    // report asks for the blocks of both bodies.
    std::vector<const BlockPtr*> m_byId;
    mutable std::vector<Listed> m_listing;
    mutable bool m_listingStale = true;
    int m_fallen = 0;
    Geometry::Vector3 m_fieldHalf;
    Table m_static;
    MiravGameLogic* m_logic;
    std::map<uint16_t, std::shared_ptr<CollisionToFreeStateProc>> m_timers;
    UnitBlockMan m_units;
    StaticBlockIndex m_index;
    IBlockGrid* m_grid = nullptr;
    std::unique_ptr<IBlockGrid> m_ownGrid;
    size_t m_restTests = 0;
};

// A thrown block's return to the free state after its first collision: team
// 255 (harmless) once more than BlockFatalTime ms passed, state 1 and
// "LtVBlockInactive" once more than BlockFreeTime ms passed.
class CollisionToFreeStateProc : public ProcessSystem::IProcess {
public:
    explicit CollisionToFreeStateProc(const BlockPtr& block);
    void OnUpdate(int ms) override;
    const BlockPtr& GetBlock() const { return m_block; }

private:
    int32_t m_fatalTime;
    int32_t m_freeTime;
    int32_t m_elapsed = 0;
    int32_t m_stage = 0;
    BlockPtr m_block;
};

}  // namespace GameLogicView
