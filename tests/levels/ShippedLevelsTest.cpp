// The levels, objects and palettes in data/ make playable matches: every
// level of the list reads without complaint, its bitmap matches its
// description, it has what a match needs, it fits the bots' grid, and the
// things placed on it do not stand inside each other.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Fixtures.h"
#include "ini/IniFile.h"
#include "levels/Bitmap.h"
#include "levels/LevelFiles.h"
#include "levels/LevelGrid.h"
#include "levels/LevelSource.h"
#include "levels/ObjectLoader.h"
#include "levels/Palette.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

// Runs the test from data/, the game's working directory.
class ShippedLevels : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
        m_old = buf;
        ASSERT_EQ(::chdir(MIRAV_SOURCE_DIR "/data"), 0);
    }
    void TearDown() override { ASSERT_EQ(::chdir(m_old.c_str()), 0); }

    std::string m_old;
};

struct Box {
    Vector3 lo, hi;
    std::string what;
};

bool Overlap(const Box& a, const Box& b) {
    const float eps = 1e-3f;
    return a.lo.x + eps < b.hi.x && b.lo.x + eps < a.hi.x && a.lo.y + eps < b.hi.y && b.lo.y + eps < a.hi.y &&
           a.lo.z + eps < b.hi.z && b.lo.z + eps < a.hi.z;
}

Box Around(const Vector3& centre, const Vector3& half, const std::string& what) {
    return {centre - half, centre + half, what};
}

// The description whose output is the given bitmap.
bool FindSource(const std::string& bmp, LevelSource& out) {
    for (const auto& entry : std::filesystem::directory_iterator("Levels/src")) {
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LevelSource src;
        std::string error;
        EXPECT_TRUE(ParseLevelSource(text, entry.path().string(), src, error)) << error;
        if (src.output == bmp) {
            out = src;
            return true;
        }
    }
    return false;
}

// The level files Levels/levels.ini lists, in their order.
std::vector<std::string> ShippedLevelFiles() {
    const Utility::IniFile list("Levels/levels.ini");
    EXPECT_TRUE(list.IsLoaded());
    std::vector<std::string> files;
    for (int n = 0; n < 10; ++n) {
        std::string file = LevelFileFor(list, n);
        if (file.empty()) break;
        files.push_back(std::move(file));
    }
    return files;
}

// The shortest way a captured flag is carried on a shipped level (units).
constexpr float kLeastCarry = 45.0f;

}  // namespace

TEST_F(ShippedLevels, EveryLevelMakesAPlayableMatch) {
    const std::vector<std::string> files = ShippedLevelFiles();
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        LevelTest::ProblemCapture problems;

        LevelSettings settings;
        ASSERT_TRUE(ReadLevelSettings(file, settings));
        EXPECT_EQ(settings.spawnType, "massless_box");

        // The bitmap is the one its description makes (when it has been
        // generated; the description is checked either way).
        LevelSource src;
        ASSERT_TRUE(FindSource(settings.bmpFile, src)) << "no description makes " << settings.bmpFile;
        Bitmap24 image;
        std::string error;
        const std::vector<uint8_t> encoded = EncodeBitmap24(src.image);
        ASSERT_TRUE(DecodeBitmap24(encoded.data(), encoded.size(), settings.bmpFile, image, error)) << error;
        if (std::filesystem::exists(settings.bmpFile)) {
            Bitmap24 onDisk;
            ASSERT_TRUE(ReadBitmap24(settings.bmpFile, onDisk, error)) << error;
            EXPECT_TRUE(onDisk.bgr == image.bgr && onDisk.width == image.width) << settings.bmpFile << " is stale: run scripts/gen-data";
        }
        LevelGrid grid = LevelGrid::FromBitmap(image);

        // Inside the bots' grid and on the ground (with room for the walls).
        const float groundHalf = 10.0f * settings.groundPlaneScale;
        EXPECT_LE(grid.Width() / 2 + 1, groundHalf);
        EXPECT_LE(grid.Rows() / 2 + 1, groundHalf);
        EXPECT_LT(groundHalf + 10.0f, 250.0f);
        EXPECT_LT(grid.MaxHeight() + 10, 100);

        // Every green value has a colour list.
        const Utility::IniFile paletteFile(settings.palette);
        ASSERT_TRUE(paletteFile.IsLoaded()) << settings.palette;
        const PaletteLists palette = ReadLevelPalette(paletteFile);
        for (int r = 0; r < grid.Rows(); ++r)
            for (int c = 0; c < grid.Width(); ++c) {
                int32_t material = 0;
                ASSERT_TRUE(LevelBlockMaterial(palette, grid.At(r, c).green, 0, settings.palette, material, error))
                    << error;
            }

        // What a match needs.
        const std::vector<CellObject> objects = PlanCellObjects(grid, false);
        std::map<std::pair<int, int>, int> count;  // (kind, team) -> number
        for (const CellObject& o : objects) ++count[{static_cast<int>(o.kind), o.team}];
        using Kind = CellObject::Kind;
        for (int team : {0, 1}) {
            SCOPED_TRACE(team);
            EXPECT_EQ((count[{static_cast<int>(Kind::Flag), team}]), 3);
            EXPECT_GE((count[{static_cast<int>(Kind::SpawnPoint), team}]), 2);
            EXPECT_GE((count[{static_cast<int>(Kind::CapturePoint), team}]), 1);
            EXPECT_GE((count[{static_cast<int>(Kind::GuardPoint), team}]), 2);
        }
        EXPECT_GE((count[{static_cast<int>(Kind::BombSpawner), 255}]), 1);
        // Flags far enough from where the enemy brings them: a carrier runs
        // the length of the defenders' ground, not a few steps past it.
        for (const CellObject& flag : objects) {
            if (flag.kind != Kind::Flag) continue;
            for (const CellObject& point : objects) {
                if (point.kind != Kind::CapturePoint || point.team == flag.team) continue;
                const float dx = flag.position.x - point.position.x, dz = flag.position.z - point.position.z;
                EXPECT_GE(std::sqrt(dx * dx + dz * dz), kLeastCarry) << "flag of team " << int(flag.team);
            }
        }

        // Lay it out: the columns, the objects' pieces, the flags and a player
        // at each spawn point must not stand inside each other.
        LevelTest::Draws draws(static_cast<uint32_t>(settings.randomSeed));
        const std::vector<BlockPlan> blocks = PlanMergedBoxes(grid, settings.shaping, std::ref(draws));
        std::vector<Box> solids;
        for (const BlockPlan& b : blocks) solids.push_back(Around(b.position, b.scale * 0.5f, "level block"));
        ObjectLoader loader;
        std::vector<Box> placed;
        for (const CellObject& o : objects) {
            const std::string what = "object " + std::to_string(o.code) + " at (" + std::to_string(o.anchorX) + ", " +
                                     std::to_string(o.anchorZ) + ")";
            switch (o.kind) {
                case Kind::LevelObject: {
                    std::vector<std::vector<PiecePlan>> pieces;
                    ASSERT_TRUE(loader.BuildObject(o.code, o.anchorZ, o.anchorX, o.height, pieces)) << what;
                    for (const auto& piece : pieces)
                        for (const PiecePlan& p : piece) placed.push_back(Around(p.position, p.scale * 0.5f, what));
                    break;
                }
                case Kind::Flag:
                    placed.push_back(Around(o.position, Vector3(1.5f, 1.5f, 1.5f), what));
                    break;
                case Kind::SpawnPoint:
                    placed.push_back(Around(o.position, Vector3(0.5f, 1.5f, 0.5f), what));
                    break;
                default:
                    break;
            }
        }
        for (size_t i = 0; i < placed.size(); ++i) {
            EXPECT_LT(std::fabs(placed[i].hi.x), 250.0f);
            EXPECT_LT(placed[i].hi.y, 100.0f);
            for (const Box& s : solids) EXPECT_FALSE(Overlap(placed[i], s)) << placed[i].what << " inside a " << s.what;
            for (size_t j = i + 1; j < placed.size(); ++j)
                EXPECT_FALSE(Overlap(placed[i], placed[j])) << placed[i].what << " inside " << placed[j].what;
        }
        EXPECT_TRUE(problems.errors.empty()) << problems.errors.front();
        EXPECT_TRUE(problems.warnings.empty()) << problems.warnings.front();
    }
    EXPECT_GE(files.size(), 2u);
}

// A raised base must not wear away under its flags, capture points and guard
// posts: thrown blocks and bombs knock level blocks loose, and a point left
// two or more levels above any floor can no longer be reached. Every such
// point that stands two blocks or more above the ground has beside it
// unbreakable stone at its own height, reached from the open ground over
// stone one step at a time.
TEST_F(ShippedLevels, RaisedPointsStandOnStoneReachedFromTheGround) {
    int raised = 0;
    for (const std::string& file : ShippedLevelFiles()) {
        SCOPED_TRACE(file);
        LevelSettings settings;
        ASSERT_TRUE(ReadLevelSettings(file, settings));
        LevelSource src;
        ASSERT_TRUE(FindSource(settings.bmpFile, src));
        const LevelGrid grid = LevelGrid::FromBitmap(src.image);
        const int W = grid.Width(), R = grid.Rows();
        // Top of the stone standing on the ground in each cell (-1: none).
        std::vector<int> stone(static_cast<size_t>(W) * R, -1);
        const std::vector<CellObject> objects = PlanCellObjects(grid, false);
        ObjectLoader loader;
        for (const CellObject& o : objects) {
            if (o.kind != CellObject::Kind::LevelObject && o.kind != CellObject::Kind::CapturePoint) continue;
            std::vector<std::vector<PiecePlan>> pieces;
            ASSERT_TRUE(loader.BuildObject(o.code, o.anchorZ, o.anchorX, o.height, pieces));
            for (const auto& piece : pieces)
                for (const PiecePlan& p : piece) {
                    const Vector3 lo = p.position - p.scale * 0.5f, hi = p.position + p.scale * 0.5f;
                    if (p.actorType != "solid" || std::fabs(lo.y) > 1e-3f) continue;
                    for (int c = 0; c < W; ++c)
                        for (int r = 0; r < R; ++r)
                            if (grid.CellX(c) + 0.5f > lo.x && grid.CellX(c) + 0.5f < hi.x &&
                                grid.CellZ(r) + 0.5f > lo.z && grid.CellZ(r) + 0.5f < hi.z)
                                stone[static_cast<size_t>(r) * W + c] = static_cast<int>(std::lround(hi.y));
                }
        }
        // Walk from the open ground over stone, one level up or down a step.
        auto floorAt = [&](int r, int c) {
            const int s = stone[static_cast<size_t>(r) * W + c];
            if (s >= 0) return s;
            return grid.At(r, c).height == 0 && grid.At(r, c).red == 0 ? 0 : -1;
        };
        std::vector<char> reached(stone.size(), 0);
        std::vector<std::pair<int, int>> open;
        for (int r = 0; r < R; ++r)
            for (int c = 0; c < W; ++c)
                if (stone[static_cast<size_t>(r) * W + c] < 0 && floorAt(r, c) == 0) {
                    reached[static_cast<size_t>(r) * W + c] = 1;
                    open.push_back({r, c});
                }
        while (!open.empty()) {
            const auto [r, c] = open.back();
            open.pop_back();
            const int h = floorAt(r, c);
            const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& d : steps) {
                const int rr = r + d[0], cc = c + d[1];
                if (rr < 0 || rr >= R || cc < 0 || cc >= W || reached[static_cast<size_t>(rr) * W + cc]) continue;
                const int hh = floorAt(rr, cc);
                if (hh < 0 || std::abs(hh - h) > 1) continue;
                reached[static_cast<size_t>(rr) * W + cc] = 1;
                open.push_back({rr, cc});
            }
        }
        using Kind = CellObject::Kind;
        for (const CellObject& o : objects) {
            if ((o.kind != Kind::Flag && o.kind != Kind::CapturePoint && o.kind != Kind::GuardPoint) || o.height < 2)
                continue;
            ++raised;
            const int c0 = o.anchorX + W / 2, r0 = o.anchorZ + R / 2;
            bool onStone = false;
            for (int r = r0 - 1; r <= r0 + 1; ++r)
                for (int c = c0 - 1; c <= c0 + 1; ++c)
                    if (r >= 0 && r < R && c >= 0 && c < W && reached[static_cast<size_t>(r) * W + c] &&
                        stone[static_cast<size_t>(r) * W + c] == o.height)
                        onStone = true;
            EXPECT_TRUE(onStone) << "kind " << static_cast<int>(o.kind) << " of team " << int(o.team) << " at ("
                                 << o.anchorX << ", " << o.anchorZ << "), height " << o.height;
        }
    }
    EXPECT_GT(raised, 0);  // Terraces raises its bases
}

// The guards stand in front of what they guard: seen from where the enemy
// comes into the match, every flag of a team lies at least a few steps
// further than every guard post of that team. Posts beside or behind the
// flags let a raider reach a flag before any guard sees him.
TEST_F(ShippedLevels, GuardPostsStandBetweenTheFlagsAndTheEnemy) {
    constexpr float kFlagsBehindPosts = 8.0f;
    const std::vector<std::string> files = ShippedLevelFiles();
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        LevelSettings settings;
        ASSERT_TRUE(ReadLevelSettings(file, settings));
        LevelSource src;
        ASSERT_TRUE(FindSource(settings.bmpFile, src));
        const std::vector<CellObject> objects = PlanCellObjects(LevelGrid::FromBitmap(src.image), false);
        using Kind = CellObject::Kind;
        // Distance on the ground from the nearest spawn point of the team.
        auto fromSpawns = [&](const Vector3& p, int team) {
            float best = 1e9f;
            for (const CellObject& s : objects)
                if (s.kind == Kind::SpawnPoint && s.team == team)
                    best = std::min(best, std::hypot(p.x - s.position.x, p.z - s.position.z));
            return best;
        };
        for (int team : {0, 1}) {
            SCOPED_TRACE(team);
            float nearestFlag = 1e9f, farthestPost = -1.0f;
            for (const CellObject& o : objects) {
                if (o.team != team) continue;
                if (o.kind == Kind::Flag) nearestFlag = std::min(nearestFlag, fromSpawns(o.position, 1 - team));
                if (o.kind == Kind::GuardPoint) farthestPost = std::max(farthestPost, fromSpawns(o.position, 1 - team));
            }
            ASSERT_GE(farthestPost, 0.0f);
            EXPECT_GE(nearestFlag - farthestPost, kFlagsBehindPosts);
        }
    }
    EXPECT_GE(files.size(), 2u);
}

#include "levels/LevelLoader.h"

// The loader plans every shipped level from a copy of the data in which the
// bitmaps are made from their descriptions: no problem is reported, every
// column is built and every level object is placed.
TEST_F(ShippedLevels, TheLoaderPlansEveryLevelWithoutComplaint) {
    namespace fs = std::filesystem;
    LevelTest::TempDir copy;
    fs::copy("Levels", copy.Path() + "Levels", fs::copy_options::recursive);
    fs::copy("Objects", copy.Path() + "Objects", fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator("Levels/src")) {
        std::ifstream in(entry.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LevelSource src;
        std::string error;
        ASSERT_TRUE(ParseLevelSource(text, entry.path().string(), src, error)) << error;
        copy.WriteBytes(src.output, EncodeBitmap24(src.image));
    }

    for (const std::string& file : ShippedLevelFiles()) {
        SCOPED_TRACE(file);
        LevelTest::ProblemCapture problems;
        LevelLoader loader(file, copy.Path());
        LevelPlan plan;
        ASSERT_TRUE(loader.Plan(false, plan));
        EXPECT_FALSE(plan.blocks.empty());
        for (const PlannedBlock& b : plan.blocks) EXPECT_NE(b.materialId, -1);
        int objects = 0;
        for (const PlannedObject& o : plan.objects)
            if (o.cell.kind == CellObject::Kind::LevelObject) {
                ++objects;
                EXPECT_FALSE(o.pieces.empty()) << o.cell.code;
            }
        EXPECT_GT(objects, 0);
        EXPECT_TRUE(problems.errors.empty()) << problems.errors.front();
        EXPECT_TRUE(problems.warnings.empty()) << problems.warnings.front();
    }
}
