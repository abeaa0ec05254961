#include "levels/LevelLoader.h"

#include <set>

#include "ini/IniFile.h"
#include "levels/LevelTarget.h"
#include "levels/Bitmap.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {
std::unique_ptr<Utility::Random<long>>& MaterialSlot() {
    static std::unique_ptr<Utility::Random<long>> generator;
    return generator;
}
}  // namespace

constexpr int32_t LevelLoader::kSingleBlockMaterials[6];

Utility::Random<long>& LevelLoader::MaterialGenerator() {
    if (!MaterialSlot()) MaterialSlot() = std::make_unique<Utility::Random<long>>(300);
    return *MaterialSlot();
}

void LevelLoader::ResetMaterialGenerator() { MaterialSlot().reset(); }

LevelLoader::LevelLoader(const std::string& levelFile, const std::string& root)
    : m_levelFile(levelFile), m_root(root), m_random(1) {
    m_hasSettings = ReadLevelSettings(root + levelFile, m_settings);
    m_random = Utility::Random<float>(m_settings.randomSeed);
    m_objects = std::make_unique<ObjectLoader>(root);
}

LevelLoader::~LevelLoader() = default;

bool LevelLoader::Plan(bool sandbox, LevelPlan& out) {
    if (!m_hasSettings) return false;
    Bitmap24 image;
    std::string error;
    if (!ReadBitmap24(m_root + m_settings.bmpFile, image, error)) {
        Utility::ReportError("level \"" + m_levelFile + "\": " + error + "; nothing is built from it");
        return false;
    }

    const std::string paletteName = m_root + m_settings.palette;
    PaletteLists palette;
    const Utility::IniFile paletteFile(paletteName);
    if (paletteFile.IsLoaded())
        palette = ReadLevelPalette(paletteFile);
    else
        Utility::ReportError("level \"" + m_levelFile + "\": palette \"" + paletteName +
                             "\" cannot be read; blocks keep their default material");

    const std::string bitmapName = m_root + m_settings.bmpFile;
    if (image.width > LevelLimits::kMaxSide || image.height > LevelLimits::kMaxSide) {
        Utility::ReportError("level \"" + m_levelFile + "\": bitmap \"" + bitmapName + "\" is " +
                             std::to_string(image.width) + " x " + std::to_string(image.height) +
                             " cells, more than the bots' grid holds (" + std::to_string(LevelLimits::kMaxSide) +
                             " x " + std::to_string(LevelLimits::kMaxSide) + "); the level is refused");
        return false;
    }

    LevelPlan plan;
    LevelGrid grid = LevelGrid::FromBitmap(image);
    plan.width = grid.Width();
    plan.rows = grid.Rows();
    plan.maxHeight = grid.MaxHeight();

    if (m_settings.spawnAllBlocks) {
        const UnitDraw draw = [this]() { return m_random.Get(0.0f, 1.0f); };
        std::set<int32_t> reported;
        for (const BlockPlan& b : PlanMergedBoxes(grid, m_settings.shaping, draw)) {
            PlannedBlock block{b.position, b.scale, b.team, -1};
            const long r = MaterialGenerator().Get(0, 7);
            if (!LevelBlockMaterial(palette, b.green, r, paletteName, block.materialId, error)) {
                block.materialId = -1;
                if (reported.insert(b.green).second)
                    Utility::ReportError("level \"" + m_levelFile + "\": green " + std::to_string(b.green) + ": " +
                                         error + "; those blocks keep their default material");
            }
            plan.blocks.push_back(block);
        }
    } else {
        for (const BlockPlan& b : PlanSingleBlocks(grid))
            plan.blocks.push_back({b.position, b.scale, b.team, kSingleBlockMaterials[b.green % 6]});
    }

    size_t actors = plan.blocks.size();
    int flags[2] = {0, 0}, spawns[2] = {0, 0}, flagsLeft = 0, spawnsLeft = 0;
    for (const CellObject& cell : PlanCellObjects(grid, sandbox)) {
        using Kind = CellObject::Kind;
        const int team = cell.team == 0 ? 0 : 1;
        if (cell.kind == Kind::Flag && ++flags[team] > LevelLimits::kMaxFlagsPerTeam) {
            ++flagsLeft;
            continue;
        }
        if (cell.kind == Kind::SpawnPoint && ++spawns[team] > LevelLimits::kMaxSpawnPointsPerTeam) {
            ++spawnsLeft;
            continue;
        }
        PlannedObject object{cell, {}};
        // Objects are not built once the level is too large anyway.
        if (cell.kind == Kind::LevelObject && actors <= LevelLimits::kMaxActors) {
            m_objects->BuildObject(cell.code, cell.anchorZ, cell.anchorX, cell.height, object.pieces);
            for (const auto& piece : object.pieces) actors += piece.size();
        }
        if (cell.kind == Kind::Flag) ++actors;
        plan.objects.push_back(std::move(object));
    }
    const std::string where = "level \"" + m_levelFile + "\": bitmap \"" + bitmapName + "\"";
    if (actors > LevelLimits::kMaxActors) {
        Utility::ReportError(where + " makes " + (plan.blocks.size() > LevelLimits::kMaxActors ? "at least " : "") +
                             std::to_string(actors) + " actors (blocks, flags and object boxes), more than the " +
                             std::to_string(LevelLimits::kMaxActors) + " a level may make; the level is refused");
        return false;
    }
    if (flagsLeft > 0)
        Utility::ReportWarning(where + " places more flags than the " +
                               std::to_string(LevelLimits::kMaxFlagsPerTeam) + " a team may have; " +
                               std::to_string(flagsLeft) + " left out");
    if (spawnsLeft > 0)
        Utility::ReportWarning(where + " places more spawn points than the " +
                               std::to_string(LevelLimits::kMaxSpawnPointsPerTeam) + " a team may have; " +
                               std::to_string(spawnsLeft) + " left out");
    out = std::move(plan);
    return true;
}

std::string LevelLoader::Unplayable(const LevelPlan& plan) const {
    int flags[2] = {0, 0}, spawns[2] = {0, 0};
    for (const PlannedObject& object : plan.objects) {
        const int team = object.cell.team == 0 ? 0 : 1;
        if (object.cell.kind == CellObject::Kind::Flag) ++flags[team];
        if (object.cell.kind == CellObject::Kind::SpawnPoint) ++spawns[team];
    }
    const std::string where = "level \"" + m_levelFile + "\": bitmap \"" + m_root + m_settings.bmpFile + "\"";
    if (flags[0] + flags[1] == 0) return where + " places no flag (red 153 or 154), so no match can be won";
    for (int team = 0; team < 2; ++team)
        if (spawns[team] == 0)
            return where + " places no spawn point for team " + std::to_string(team) + " (red " +
                   std::to_string(151 + team) + "), so its players cannot enter";
    for (int team = 0; team < 2; ++team)
        if (flags[team] == 0)
            Utility::ReportWarning(where + " places no flag for team " + std::to_string(team) + " (red " +
                                   std::to_string(153 + team) + "); team " + std::to_string(1 - team) +
                                   " cannot win by captures");
    return std::string();
}

LevelActor LevelLoader::BlockInfo(const PlannedBlock& block) const {
    LevelActor info;
    info.position = block.position;
    info.scale = block.scale;
    info.type = m_settings.spawnType;
    info.team = block.team;
    info.objectStateId = 0;
    info.materialId = block.materialId;
    return info;
}

LevelActor LevelLoader::FlagInfo(const CellObject& flag) {
    LevelActor info;
    info.position = flag.position;
    info.scale = Geometry::Vector3(3.0f, 3.0f, 3.0f);
    info.type = LevelActor::kFlagType;
    info.team = flag.team;
    info.objectStateId = flag.team == 0 ? 22 : 23;
    return info;
}

LevelActor LevelLoader::PieceInfo(const PiecePlan& piece) {
    LevelActor info;
    info.position = piece.position;
    info.scale = piece.scale;
    info.type = piece.actorType;
    info.team = piece.team;
    info.objectStateId = 0;
    info.materialId = piece.materialId;
    info.textureId = piece.textureId;
    return info;
}

bool LevelLoader::Load(bool sandbox, LevelTarget& target) {
    LevelPlan plan;
    if (!Plan(sandbox, plan)) return false;
    Build(plan, target);
    return true;
}

void LevelLoader::Build(const LevelPlan& plan, LevelTarget& target) const {
    for (const PlannedBlock& block : plan.blocks) target.CreateActor(BlockInfo(block));
    using Kind = CellObject::Kind;
    for (const PlannedObject& object : plan.objects) {
        const CellObject& cell = object.cell;
        switch (cell.kind) {
            case Kind::CapturePoint:
                target.AddCapturePoint(cell.position, cell.team);
                break;
            case Kind::SpawnPoint:
                target.AddSpawnPoint(cell.team, cell.position);
                break;
            case Kind::Flag:
                target.CreateActor(FlagInfo(cell));
                break;
            case Kind::BombSpawner:
                target.AddBombSpawnPoint(cell.code, cell.position);
                break;
            case Kind::GuardPoint:
                target.AddGuardPoint(cell.team, cell.position);
                break;
            case Kind::LevelObject:
                for (const std::vector<PiecePlan>& piece : object.pieces) {
                    std::vector<LevelActor> infos;
                    for (const PiecePlan& box : piece) infos.push_back(PieceInfo(box));
                    target.CreateActorsFromList(infos);
                }
                break;
        }
    }
}

}  // namespace GameLogicView
