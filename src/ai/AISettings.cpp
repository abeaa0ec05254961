#include "ai/AISettings.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "ini/IniFile.h"
#include "ini/RangeWarning.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"

namespace AI {

namespace {

// The leading whole number of the text, as the system's profile reader takes
// it; text without one reads 0.
int32_t LeadingInt(const std::string& text) {
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// The leading decimal number of the text (atof): "1.732f" reads 1.732.
float LeadingFloat(const std::string& text) { return static_cast<float>(std::atof(text.c_str())); }

struct IntKey {
    const char* section;
    const char* key;
    int32_t AISettings::*field;
};
struct FloatKey {
    const char* section;
    const char* key;
    float AISettings::*field;
};
struct BoolKey {
    const char* section;
    const char* key;
    bool AISettings::*field;
};

const IntKey kIntKeys[] = {
    {"A*", "ClearanceHeight", &AISettings::clearanceHeight},
    {"A*", "A*TimeSlice", &AISettings::aStarTimeSlice},
    {"A*", "SmoothingLevel", &AISettings::smoothingLevel},
    {"A*", "JumpHeight", &AISettings::jumpHeight},
    {"A*", "HashTableSize", &AISettings::hashTableSize},
    {"A*", "TimeOut", &AISettings::timeOut},
    {"A*", "MaxSearches", &AISettings::maxSearches},
    {"Bot", "DodgeDelayMin", &AISettings::dodgeDelayMin},
    {"Bot", "DodgeDelayMax", &AISettings::dodgeDelayMax},
    {"Bot", "AttackDelayMin", &AISettings::attackDelayMin},
    {"Bot", "AttackDelayMax", &AISettings::attackDelayMax},
    {"Builder", "BuilderTimeSlice", &AISettings::builderTimeSlice},
    {"Team", "OffenseQuota", &AISettings::offenseQuota},
    {"Team", "DefenseQuota", &AISettings::defenseQuota},
    {"Team", "MaxSquadSize", &AISettings::maxSquadSize},
};

const FloatKey kFloatKeys[] = {
    {"A*", "ClimbPenalty", &AISettings::climbPenalty},
    {"A*", "Overestimate", &AISettings::overestimate},
    {"A*", "HeuristicWeight", &AISettings::heuristicWeight},
    {"Bot", "BotSpeed", &AISettings::botSpeed},
    {"Bot", "BotSight", &AISettings::botSight},
    {"Bot", "ThrowRandomness", &AISettings::throwRandomness},
    {"Bot", "SquadThrowRand", &AISettings::squadThrowRand},
    {"Bot", "ThrowDist", &AISettings::throwDist},
    {"InfluenceMaps", "InfluenceRadius", &AISettings::influenceRadius},
    {"InfluenceMaps", "InfluenceMax", &AISettings::influenceMax},
};

const BoolKey kBoolKeys[] = {
    {"A*", "CatmullRom", &AISettings::catmullRom},
    {"A*", "SimplifyPath", &AISettings::simplifyPath},
    {"Bot", "ObstacleAvoidance", &AISettings::obstacleAvoidance},
    {"Bot", "DisableBots", &AISettings::disableBots},
    {"Debug", "DrawSearch", &AISettings::drawSearch},
    {"Debug", "DrawPath", &AISettings::drawPath},
    {"Debug", "DrawInfluenceMaps", &AISettings::drawInfluenceMaps},
};

}  // namespace

void AISettings::Load(const Utility::IniFile& file) {
    using Utility::Key;
    using Utility::Section;
    *this = AISettings{};  // a missing key gives its default, not what was there before
    for (const IntKey& k : kIntKeys)
        if (file.HasKey(Key(k.key), Section(k.section))) this->*k.field = LeadingInt(file.GetValue(Key(k.key), Section(k.section)));
    for (const FloatKey& k : kFloatKeys)
        if (file.HasKey(Key(k.key), Section(k.section)))
            this->*k.field = LeadingFloat(file.GetValue(Key(k.key), Section(k.section)));
    for (const BoolKey& k : kBoolKeys)
        if (file.HasKey(Key(k.key), Section(k.section)))
            this->*k.field = LeadingInt(file.GetValue(Key(k.key), Section(k.section))) != 0;
    Validate(file.GetFileName());
}

void AISettings::LoadFile(const std::string& fileName) {
    Utility::IniFile file(fileName);
    Load(file);
}

std::vector<std::string> AISettings::Validate(const std::string& fileName) {
    std::vector<std::string> changes;
    // Every change names the file, section and key it came from.
    auto named = [&](const char* key) {
        const char* section = "";
        for (const IntKey& k : kIntKeys)
            if (std::string(k.key) == key) section = k.section;
        for (const FloatKey& k : kFloatKeys)
            if (std::string(k.key) == key) section = k.section;
        return Utility::SettingName(fileName, section, key);
    };
    auto atLeast = [&](const char* name, int32_t& v, int32_t lo) {
        if (v >= lo) return;
        changes.push_back(named(name) + " = " + std::to_string(v) + " is below " + std::to_string(lo) +
                          "; using " + std::to_string(lo));
        v = lo;
    };
    auto atMost = [&](const char* name, int32_t& v, int32_t hi) {
        if (v <= hi) return;
        changes.push_back(named(name) + " = " + std::to_string(v) + " is above " + std::to_string(hi) +
                          "; using " + std::to_string(hi));
        v = hi;
    };
    auto ordered = [&](const char* minName, int32_t& lo, const char* maxName, int32_t& hi) {
        if (lo <= hi) return;
        changes.push_back(named(maxName) + " = " + std::to_string(hi) + " is below " + minName + " " +
                          std::to_string(lo) + "; using " + std::to_string(lo));
        hi = lo;
    };

    // Every search's node table is sized by this and hashed modulo it.
    atLeast("HashTableSize", hashTableSize, 1);
    // With no search allowed to run, every request would wait for ever.
    atLeast("MaxSearches", maxSearches, 1);
    atLeast("A*TimeSlice", aStarTimeSlice, 0);
    atLeast("TimeOut", timeOut, 0);
    atLeast("BuilderTimeSlice", builderTimeSlice, 0);
    atLeast("ClearanceHeight", clearanceHeight, 0);
    atLeast("JumpHeight", jumpHeight, 0);
    atLeast("SmoothingLevel", smoothingLevel, 0);
    atLeast("OffenseQuota", offenseQuota, 0);
    atLeast("DefenseQuota", defenseQuota, 0);
    atLeast("MaxSquadSize", maxSquadSize, 0);
    // A squad's formation has three follower slots.
    atMost("MaxSquadSize", maxSquadSize, kMaxSquadSizeLimit);
    atLeast("DodgeDelayMin", dodgeDelayMin, 0);
    atLeast("AttackDelayMin", attackDelayMin, 0);
    // A random wait is drawn from min..max; an empty range has no value.
    ordered("DodgeDelayMin", dodgeDelayMin, "DodgeDelayMax", dodgeDelayMax);
    ordered("AttackDelayMin", attackDelayMin, "AttackDelayMax", attackDelayMax);

    const AISettings defaults;
    for (const FloatKey& k : kFloatKeys) {
        if (std::isfinite(this->*k.field)) continue;
        changes.push_back(named(k.key) + " is not a finite number; using " + std::to_string(defaults.*k.field));
        this->*k.field = defaults.*k.field;
    }
    // A negative step cost lets a search go round a loop for ever.
    if (climbPenalty < 0.0f) {
        changes.push_back(named("ClimbPenalty") + " = " + std::to_string(climbPenalty) + " is below 0; using 0");
        climbPenalty = 0.0f;
    }

    for (const std::string& c : changes) Utility::ReportWarning(c);
    return changes;
}

const std::vector<AISettingsVariable>& AISettingsConsoleVariables() {
    using K = AISettingsVariable::Kind;
    static const std::vector<AISettingsVariable> kVars = {
        {"climbpenalty", K::Float, &AISettings::climbPenalty, nullptr, nullptr},
        {"influenceradius", K::Float, &AISettings::influenceRadius, nullptr, nullptr},
        {"botspeed", K::Float, &AISettings::botSpeed, nullptr, nullptr},
        {"heuristicweight", K::Float, &AISettings::heuristicWeight, nullptr, nullptr},
        {"overestimate", K::Float, &AISettings::overestimate, nullptr, nullptr},
        {"influencemax", K::Float, &AISettings::influenceMax, nullptr, nullptr},
        {"astartimeslice", K::Int, nullptr, &AISettings::aStarTimeSlice, nullptr},
        {"clearanceheight", K::Int, nullptr, &AISettings::clearanceHeight, nullptr},
        {"smoothinglevel", K::Int, nullptr, &AISettings::smoothingLevel, nullptr},
        {"jumpheight", K::Int, nullptr, &AISettings::jumpHeight, nullptr},
        {"catmullrom", K::Bool, nullptr, nullptr, &AISettings::catmullRom},
        {"drawsearch", K::Bool, nullptr, nullptr, &AISettings::drawSearch},
        {"drawpath", K::Bool, nullptr, nullptr, &AISettings::drawPath},
        {"obstacleavoidance", K::Bool, nullptr, nullptr, &AISettings::obstacleAvoidance},
        {"drawinfluencemaps", K::Bool, nullptr, nullptr, &AISettings::drawInfluenceMaps},
        {"buildertimeslice", K::Int, nullptr, &AISettings::builderTimeSlice, nullptr},
        {"timeout", K::Int, nullptr, &AISettings::timeOut, nullptr},
    };
    return kVars;
}

void RegisterConsoleVariables(AISettings& settings, const void* owner) {
    using Utility::Console;
    AISettings* record = &settings;
    std::function<void()> revalidate = [record] { record->Validate(); };
    for (const AISettingsVariable& v : AISettingsConsoleVariables()) {
        switch (v.kind) {
            case AISettingsVariable::Kind::Float:
                Console::RegisterVariable<float>(v.name, &(settings.*v.floatField), revalidate, owner);
                break;
            case AISettingsVariable::Kind::Int:
                Console::RegisterVariable<int>(v.name, &(settings.*v.intField), revalidate, owner);
                break;
            case AISettingsVariable::Kind::Bool:
                Console::RegisterVariable<bool>(v.name, &(settings.*v.boolField), revalidate, owner);
                break;
        }
    }
}

void UnregisterConsoleVariables(const void* owner) { Utility::Console::Unregister(owner); }

}  // namespace AI
