// The level list ("Levels/levels.ini") and a level's own INI file, section
// "level": which bitmap and palette make it, how its columns are cut into
// boxes, and the match keys the game logic reads from it.
#pragma once

#include <string>

#include "levels/LevelGrid.h"

namespace Utility {
class IniFile;
}

namespace GameLogicView {

struct LevelSettings {
    // The largest ground a level may ask for: its half size (10 x scale)
    // then reaches the edge of the bots' grid.
    static constexpr float kMaxGroundPlaneScale = 25.0f;
    float groundPlaneScale = 4.0f;  // scale of the ground model
    int teamsize = 4;               // players per team once bots fill up
    std::string bmpFile;            // level bitmap
    std::string palette;            // level palette file
    std::string spawnType = "box";  // actor type of every level block
    bool spawnAllBlocks = true;     // merged boxes (true) or one block per cell
    BoxShaping shaping;             // wWeight, hWeight, zWeight, capWidth, capHeight, capZ
    int randomSeed = 1;             // seed of the level's generator

    LevelSettings() {
        shaping.capWidth = 4;
        shaping.capHeight = 4;
        shaping.capZ = 4;
    }
};

// Reads the section "level" of a level file. A key that is missing or
// malformed keeps the default above and is reported; out-of-range values
// (weights outside 0..1, caps below 1 or above 255, a team size outside
// 1..16, a ground scale that is not positive, a type that is not a block type) are
// reported and clamped. False, out untouched, when the file cannot be read.
bool ReadLevelSettings(const std::string& fileName, LevelSettings& out);

// The level file of level n: section "level" followed by n in decimal, key
// "file". "" when the list has no such level.
std::string LevelFileFor(const Utility::IniFile& levelList, int levelNumber);

// True for the actor types a level block or object piece may have: "box",
// "massless_box" and "solid" (the others are players, flags and the ground).
bool IsBlockActorType(const std::string& name);

}  // namespace GameLogicView
