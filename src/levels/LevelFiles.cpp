#include "levels/LevelFiles.h"

#include <algorithm>
#include <cmath>

#include "ini/IniFile.h"
#include "ini/RangeWarning.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

const Utility::Section kLevel("level");

template <class T>
void ReadKey(const Utility::IniFile& file, const char* key, T& value) {
    if (!file.GetValue(Utility::Key(key), kLevel, value))
        Utility::ReportWarning("level \"" + file.GetFileName() + "\": [level] " + key +
                               " is missing or malformed; using the default");
}

template <class T>
void Clamp(const Utility::IniFile& file, const char* key, T& value, T lo, T hi) {
    // NaN fails both comparisons; it becomes the lower limit.
    if (!(value >= lo && value <= hi)) {
        const T fixed = value > hi ? hi : lo;
        Utility::ReportOutOfRange(file.GetFileName(), kLevel.name, key, value, lo, hi, fixed);
        value = fixed;
    }
}

}  // namespace

bool IsBlockActorType(const std::string& name) {
    static const char* const kTypes[] = {"box", "massless_box", "solid"};
    return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return name == t; });
}

bool ReadLevelSettings(const std::string& fileName, LevelSettings& out) {
    const Utility::IniFile file(fileName);
    if (!file.IsLoaded()) {
        Utility::ReportError("level \"" + fileName + "\" cannot be read");
        return false;
    }
    LevelSettings s;
    ReadKey(file, "groundPlaneScale", s.groundPlaneScale);
    ReadKey(file, "teamsize", s.teamsize);
    ReadKey(file, "BmpFile", s.bmpFile);
    ReadKey(file, "palette", s.palette);
    ReadKey(file, "SpawnType", s.spawnType);
    ReadKey(file, "SpawnAllBlocks", s.spawnAllBlocks);
    ReadKey(file, "wWeight", s.shaping.wWeight);
    ReadKey(file, "hWeight", s.shaping.hWeight);
    ReadKey(file, "zWeight", s.shaping.zWeight);
    ReadKey(file, "capWidth", s.shaping.capWidth);
    ReadKey(file, "capHeight", s.shaping.capHeight);
    ReadKey(file, "capZ", s.shaping.capZ);
    ReadKey(file, "RandomSeed", s.randomSeed);

    // The ground's half size is ten times the scale: 25 fills the bots' grid
    // (-250..250), and the physics and the grid grow with its square.
    Clamp(file, "groundPlaneScale", s.groundPlaneScale, 0.01f, LevelSettings::kMaxGroundPlaneScale);
    Clamp(file, "teamsize", s.teamsize, 1, 16);
    Clamp(file, "wWeight", s.shaping.wWeight, 0.0f, 1.0f);
    Clamp(file, "hWeight", s.shaping.hWeight, 0.0f, 1.0f);
    Clamp(file, "zWeight", s.shaping.zWeight, 0.0f, 1.0f);
    Clamp(file, "capWidth", s.shaping.capWidth, 1, 255);
    Clamp(file, "capHeight", s.shaping.capHeight, 1, 255);
    Clamp(file, "capZ", s.shaping.capZ, 1, 255);
    if (!IsBlockActorType(s.spawnType)) {
        Utility::ReportWarning("level \"" + fileName + "\": [level] SpawnType \"" + s.spawnType +
                               "\" is not a block type; using \"box\"");
        s.spawnType = "box";
    }
    out = s;
    return true;
}

std::string LevelFileFor(const Utility::IniFile& levelList, int levelNumber) {
    return levelList.GetValue(Utility::Key("file"), Utility::Section("level" + std::to_string(levelNumber)));
}

}  // namespace GameLogicView
