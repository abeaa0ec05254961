// The seeded test levels of the data generator: every seed gives a playable,
// mirrored level within the bots' grid, the same one each time, and the
// reachability check refuses levels a bot could not play.
#include <gtest/gtest.h>

#include <string>

#include "gen-data/LevelGenerator.h"
#include "levels/Bitmap.h"
#include "levels/LevelGrid.h"

using GenData::CheckLevel;
using GenData::GeneratedLevel;
using GenData::GenerateLevel;
namespace Code = GenData::LevelCode;

namespace {

// The cell of the first object with the code, or {-1, -1}.
std::pair<int, int> Find(const GeneratedLevel& level, int code) {
    for (int r = 0; r < level.rows; ++r)
        for (int c = 0; c < level.width; ++c)
            if (level.Red(r, c) == code) return {r, c};
    return {-1, -1};
}

}  // namespace

TEST(GeneratedLevels, EverySeedGivesAPlayableMirroredLevel) {
    int highBases = 0, solid = 0;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const GeneratedLevel level = GenerateLevel(seed);
        SCOPED_TRACE(seed);
        EXPECT_EQ(CheckLevel(level), "");
        EXPECT_LE(level.width / 2, 250);
        EXPECT_LE(level.rows / 2, 250);
        EXPECT_LE(level.groundPlaneScale, 25.0f);
        EXPECT_GE(level.groundPlaneScale * 10.0f, std::max(level.width, level.rows) / 2.0f);
        for (int r = 0; r < level.rows; ++r)
            for (int c = 0; c < level.width; ++c) {
                const int twin = level.width - 1 - c;
                ASSERT_EQ(level.Height(r, c), level.Height(r, twin)) << r << "," << c;
                ASSERT_LT(level.Height(r, c), 100);
            }
        if (level.baseHeight >= 2) ++highBases;
        if (level.solidRidge) ++solid;
        // Each team's flags stand in its own half.
        const auto angel = Find(level, Code::kFlag[0]), demon = Find(level, Code::kFlag[1]);
        EXPECT_LT(angel.second, level.width / 2);
        EXPECT_GE(demon.second, level.width / 2);
    }
    // The seeds give the variety the levels are for.
    EXPECT_GT(highBases, 5);
    EXPECT_GT(solid, 3);
}

TEST(GeneratedLevels, SameSeedSameLevelOtherSeedOtherLevel) {
    const GeneratedLevel a = GenerateLevel(7), b = GenerateLevel(7), c = GenerateLevel(8);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.red, b.red);
    EXPECT_EQ(a.green, b.green);
    EXPECT_NE(a.height, c.height);
}

TEST(GeneratedLevels, BitmapSaysWhatTheLevelHolds) {
    const GeneratedLevel level = GenerateLevel(3);
    const std::vector<uint8_t> bytes = GameLogicView::EncodeBitmap24(GenData::LevelBitmap(level));
    GameLogicView::Bitmap24 image;
    std::string error;
    ASSERT_TRUE(GameLogicView::DecodeBitmap24(bytes.data(), bytes.size(), "gen", image, error)) << error;
    const GameLogicView::LevelGrid grid = GameLogicView::LevelGrid::FromBitmap(image);
    ASSERT_EQ(grid.Width(), level.width);
    ASSERT_EQ(grid.Rows(), level.rows);
    for (int r = 0; r < level.rows; ++r)
        for (int c = 0; c < level.width; ++c) {
            ASSERT_EQ(grid.At(r, c).height, level.Height(r, c));
            ASSERT_EQ(grid.At(r, c).red, level.Red(r, c));
        }
    const std::string ini = GenData::LevelIni(level, "Levels/gen3.bmp", "Levels/genpalette.ini");
    EXPECT_NE(ini.find("BmpFile = Levels/gen3.bmp"), std::string::npos);
    EXPECT_NE(ini.find("RandomSeed = 3"), std::string::npos);
}

// Damaged copies of a good level: each must be refused, for its reason.
TEST(GeneratedLevels, CheckRefusesLevelsBotsCannotPlay) {
    const GeneratedLevel good = GenerateLevel(5);
    ASSERT_EQ(CheckLevel(good), "");
    struct Case {
        const char* name;
        void (*damage)(GeneratedLevel&);
        const char* says;
    };
    const Case cases[] = {
        {"a flag missing",
         [](GeneratedLevel& l) {
             const auto f = Find(l, Code::kFlag[1]);
             l.red[l.Index(f.first, f.second)] = 0;
         },
         "flags"},
        {"no spawn point",
         [](GeneratedLevel& l) {
             for (int& t : l.red)
                 if (t == Code::kSpawn[0]) t = 0;
         },
         "no spawn point"},
        // A ring two blocks high around the capture point: it can be dropped
        // into but never left.
        {"capture point walled in",
         [](GeneratedLevel& l) {
             const auto cp = Find(l, Code::kCapture[1]);
             const int h = l.Height(cp.first, cp.second);
             for (int dr = -1; dr <= 1; ++dr)
                 for (int dc = -1; dc <= 1; ++dc)
                     if (dr || dc) l.height[l.Index(cp.first + dr, cp.second + dc)] = h + 2;
         },
         "walked to and back"},
        // A hole two deep in a rise of the field, climbed to by a step.
        {"a pit",
         [](GeneratedLevel& l) {
             const int r = l.rows / 2, c = l.width / 4;
             for (int dr = -2; dr <= 2; ++dr)
                 for (int dc = -2; dc <= 2; ++dc) {
                     l.height[l.Index(r + dr, c + dc)] = 2;
                     l.red[l.Index(r + dr, c + dc)] = 0;
                 }
             l.height[l.Index(r, c)] = 0;
             l.height[l.Index(r, c + 3)] = 1;
             l.red[l.Index(r, c + 3)] = 0;
         },
         "cannot be left"},
        {"the enemy half cut off",
         [](GeneratedLevel& l) {
             for (int r = 0; r < l.rows; ++r)
                 for (int c : {l.width / 2 - 1, l.width / 2}) l.height[l.Index(r, c)] = 9;
         },
         "walked to and back"},
    };
    for (const Case& c : cases) {
        GeneratedLevel level = good;
        c.damage(level);
        EXPECT_NE(CheckLevel(level).find(c.says), std::string::npos) << c.name << ": " << CheckLevel(level);
    }
}
