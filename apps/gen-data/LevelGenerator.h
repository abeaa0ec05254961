// Seeded test levels for the bots (a test tool, not part of the game's data):
// mirrored two-team maps of varied size with raised, terraced bases, ledges
// one and two blocks high, a ridge with narrow gaps or a bridge, walls, gates
// and unbreakable pillars; flags, spawn, capture and guard points placed the
// way a level designer would, and every one of them reachable on foot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "levels/Bitmap.h"

namespace GenData {

// Object code of an unbreakable pillar k blocks high (k = 1 .. kPillarMax):
// the generated data folder defines them as "solid" level objects.
constexpr int kPillarBase = 20;
constexpr int kPillarMax = 10;
// The height of the boundary's pillars.
constexpr int kRing = 5;

// The object codes a level pixel uses (its red value).
namespace LevelCode {
constexpr int kCapture[2] = {50, 51};
constexpr int kSpawn[2] = {151, 152};
constexpr int kFlag[2] = {153, 154};
constexpr int kGuard[2] = {161, 162};
constexpr int kBomb[4] = {157, 158, 159, 160};
}  // namespace LevelCode

struct GeneratedLevel {
    uint32_t seed = 0;
    int width = 0;
    int rows = 0;
    int baseHeight = 0;  // the plateau of each team's base
    bool solidRidge = false;
    std::vector<int> height;  // column heights in blocks, row-major, row 0 north
    std::vector<int> green;   // 0 neutral, 1 Angel (west), 2 Demon (east)
    std::vector<int> red;     // object code
    float groundPlaneScale = 1.0f;

    size_t Index(int r, int c) const { return static_cast<size_t>(r) * static_cast<size_t>(width) + c; }
    int Height(int r, int c) const { return height[Index(r, c)]; }
    int Red(int r, int c) const { return red[Index(r, c)]; }
};

// The same seed gives the same level. Sizes lie within the bots' grid.
GeneratedLevel GenerateLevel(uint32_t seed);

// The level a walker meets: each cell's standing level (column height plus
// pillars, capture posts and flags standing on it).
std::vector<int> WalkHeights(const GeneratedLevel& level);

// Empty when each team has three flags, spawn points, one capture point and
// guard points, all of them can be walked to from each spawn point and back
// (one block up at a time, any drop), and no place a bot can walk to is a
// pit it cannot leave; otherwise what is wrong.
std::string CheckLevel(const GeneratedLevel& level);

GameLogicView::Bitmap24 LevelBitmap(const GeneratedLevel& level);
std::string LevelIni(const GeneratedLevel& level, const std::string& bmpPath, const std::string& palettePath);

// A data folder to play the levels of seeds first .. first + count - 1 in
// (as level numbers 0 .. count - 1): everything of sourceData linked in, its
// Objects copied with the pillars added, Levels holding the generated ones.
bool WriteTestLevelData(const std::string& sourceData, const std::string& outDir, uint32_t first, int count);

}  // namespace GenData
