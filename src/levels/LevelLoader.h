// Loads a level: its INI keys, its bitmap and palette, the boxes that build
// its columns (from the level's seeded generator) and the special objects of
// its cells. Planning works everything out without touching the game; the
// logic's level load then creates what the plan lists.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "levels/LevelFiles.h"
#include "levels/LevelGrid.h"
#include "levels/ObjectLoader.h"
#include "levels/Palette.h"
#include "utility/Random.h"

namespace GameLogicView {

class LevelTarget;
struct LevelActor;

// One level block to create: actor type SpawnType, object state 0.
struct PlannedBlock {
    Geometry::Vector3 position;
    Geometry::Vector3 scale;
    uint8_t team = 255;
    int32_t materialId = -1;  // -1: no override (the palette had no colour for it)
};

// One special cell; level objects carry their boxes, one list per piece file
// (empty when the object could not be placed).
struct PlannedObject {
    CellObject cell;
    std::vector<std::vector<PiecePlan>> pieces;
};

struct LevelPlan {
    int width = 0;
    int rows = 0;
    int maxHeight = 0;
    std::vector<PlannedBlock> blocks;
    std::vector<PlannedObject> objects;
};

// What one level may hold; a level beyond them is refused or its excess left
// out when it is planned, with one message naming the file and the limit.
struct LevelLimits {
    // The bots' grid spans -250..250 in x and z; the bitmap's cells are laid
    // out around the centre.
    static constexpr int kMaxSide = 500;
    // Actors the level itself makes (blocks, flags, object boxes). Ids are 16
    // bits; the rest stay free for players, their blocks and bombs, and a
    // match of this many still runs well faster than real time.
    static constexpr size_t kMaxActors = 20000;
    static constexpr int kMaxFlagsPerTeam = 16;
    static constexpr int kMaxSpawnPointsPerTeam = 64;
};

class LevelLoader {
public:
    // The materials of one-block-per-cell levels, by green value mod 6.
    static constexpr int32_t kSingleBlockMaterials[6] = {5, 1, 3, 6, 2, 4};

    // Reads the level's keys (root is prepended to every path: "" in the
    // game, a fixture folder in tests) and seeds the level's generator.
    explicit LevelLoader(const std::string& levelFile, const std::string& root = "");
    ~LevelLoader();
    LevelLoader(const LevelLoader&) = delete;
    LevelLoader& operator=(const LevelLoader&) = delete;

    // False, planning nothing, when the level file or its bitmap cannot be
    // read, or the level is larger than LevelLimits allow (the reason is
    // reported). Flags and spawn points beyond their limits are left out. A missing palette leaves every block
    // without a material override. In sandbox mode capture points, their
    // objects and flags are left out.
    bool Plan(bool sandbox, LevelPlan& out);

    // Why the plan cannot give a match (no flag at all, a team without a
    // spawn point), naming the level file; "" when it can. A team without a
    // flag of its own is reported here as a warning and left to the caller.
    std::string Unplayable(const LevelPlan& plan) const;

    // Plan, then Build: false, creating nothing, when the level cannot be
    // planned.
    bool Load(bool sandbox, LevelTarget& target);

    // Creates what the plan lists, in its order: every block (type
    // SpawnType, object state 0, its palette material), then the cells'
    // objects: capture, spawn, bomb and guard points, flags (type "flag",
    // state 22 or 23, scale 3) and the level objects' pieces.
    void Build(const LevelPlan& plan, LevelTarget& target) const;

    // The create description of a level block, a flag and an object box.
    LevelActor BlockInfo(const PlannedBlock& block) const;
    static LevelActor FlagInfo(const CellObject& flag);
    static LevelActor PieceInfo(const PiecePlan& piece);

    const LevelSettings& Settings() const { return m_settings; }
    bool HasSettings() const { return m_hasSettings; }

    // The process-wide generator of the merged boxes' material choice (seed
    // 300, created at the first merged box and kept across levels).
    static Utility::Random<long>& MaterialGenerator();
    // Test support: the next merged box starts a fresh material generator.
    static void ResetMaterialGenerator();

private:
    std::string m_levelFile;
    std::string m_root;
    LevelSettings m_settings;
    bool m_hasSettings = false;
    Utility::Random<float> m_random;
    std::unique_ptr<ObjectLoader> m_objects;
};

}  // namespace GameLogicView
