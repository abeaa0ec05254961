// The bots' tuning, read from Config/AI/ai_settings.ini into one record that
// every AI part reads at the moment it needs a value, so a change made at the
// console takes effect at the next use. Values are checked where they are
// loaded and where the console sets them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Utility {
class IniFile;
}

namespace AI {

struct AISettings {
    // Section "A*", "InfluenceMaps" and "Bot" floats.
    float climbPenalty = 1.732f;
    float influenceRadius = 3.0f;
    float botSpeed = 1.0f;
    float heuristicWeight = 1.0f;
    float overestimate = 1.0f;
    float influenceMax = 2.0f;
    float botSight = 20.0f;
    float throwRandomness = 2.0f;
    float squadThrowRand = 2.0f;
    float throwDist = 15.0f;

    int32_t aStarTimeSlice = 0;  // ms per frame shared by the running searches
    int32_t timeOut = 100;
    int32_t builderTimeSlice = 6;
    int32_t clearanceHeight = 0;
    int32_t smoothingLevel = 4;
    int32_t jumpHeight = 10;
    int32_t hashTableSize = 199;
    int32_t maxSearches = 3;
    int32_t offenseQuota = 2;
    int32_t defenseQuota = 2;
    int32_t maxSquadSize = 3;
    int32_t dodgeDelayMin = 0;
    int32_t dodgeDelayMax = 500;
    int32_t attackDelayMin = 150;
    int32_t attackDelayMax = 500;

    bool catmullRom = false;
    bool simplifyPath = false;
    bool drawSearch = false;
    bool drawPath = false;
    bool obstacleAvoidance = false;
    bool drawInfluenceMaps = false;
    bool disableBots = false;

    static constexpr const char* kFileName = "Config/AI/ai_settings.ini";
    // A squad is its leader and at most this many followers' slots.
    static constexpr int32_t kMaxSquadSizeLimit = 3;

    // Every key of the file; a missing key gives the default above. Integers
    // and bools read their leading whole number (text without one reads 0),
    // floats their leading decimal number (likewise 0.0), so "1.732f" is
    // 1.732. Then Validate.
    void Load(const Utility::IniFile& file);
    // Load from a file name; a missing file gives the defaults.
    void LoadFile(const std::string& fileName = kFileName);

    // Puts every value the AI cannot work with back into range and reports
    // each change (also returned, one line per change):
    // HashTableSize >= 1, MaxSearches >= 1, A*TimeSlice >= 0, TimeOut >= 0,
    // BuilderTimeSlice >= 0, ClearanceHeight >= 0, JumpHeight >= 0,
    // SmoothingLevel >= 0, quotas >= 0, MaxSquadSize 0..3, delays >= 0 with
    // min <= max (max is raised to min), floats finite (else their default),
    // ClimbPenalty >= 0. fileName is named in each change ("" for values set
    // while running).
    std::vector<std::string> Validate(const std::string& fileName = std::string());
};

// The console variables bound to the record, in registration order, with
// their kind; the console binds each to the field returned by Field.
struct AISettingsVariable {
    const char* name;
    enum class Kind { Float, Int, Bool } kind;
    float AISettings::*floatField;
    int32_t AISettings::*intField;
    bool AISettings::*boolField;
};
const std::vector<AISettingsVariable>& AISettingsConsoleVariables();

// Registers the 17 console variables on the debug console, bound to the
// record's fields; every change made at the console validates the record
// again. The owner lets UnregisterConsoleVariables remove them before the
// record goes away.
void RegisterConsoleVariables(AISettings& settings, const void* owner);
void UnregisterConsoleVariables(const void* owner);

}  // namespace AI
