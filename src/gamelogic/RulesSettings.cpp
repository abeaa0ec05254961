#include "gamelogic/RulesSettings.h"

#include <cmath>
#include <memory>
#include <type_traits>

#include "INI/IniFile.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

std::unique_ptr<RulesSettings>& Current() {
    static std::unique_ptr<RulesSettings> settings;
    return settings;
}

template <class T>
void Read(const Utility::IniFile& file, const char* section, const char* key, T& value) {
    const Utility::Key k(key);
    const Utility::Section s(section);
    if (!file.HasKey(k, s)) return;
    T v{};
    if (file.GetValue(k, s, v))
        value = v;
    else
        Utility::ReportWarning(file.GetFileName() + ": [" + section + "] " + key + " is malformed; using the default");
}

template <class T>
void Limit(const char* name, T& value, T lo, T hi, T fallback) {
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) {
            Utility::ReportWarning(std::string("setting ") + name + " is not a finite number; using " +
                                   std::to_string(fallback));
            value = fallback;
            return;
        }
    }
    if (value < lo || value > hi) {
        const T fixed = value < lo ? lo : hi;
        Utility::ReportWarning(std::string("setting ") + name + " = " + std::to_string(value) +
                               " is out of range; using " + std::to_string(fixed));
        value = fixed;
    }
}

}  // namespace

void RulesSettings::Validate() {
    const RulesSettings d;
    constexpr int32_t kDay = 24 * 3600 * 1000;
    Limit("PlayerSpeed", playerSpeed, 0.0f, 1000.0f, d.playerSpeed);
    Limit("BombEffectRadius", bombEffectRadius, 0.0f, 1000.0f, d.bombEffectRadius);
    Limit("BombImpulse", bombImpulse, -1.0e6f, 1.0e6f, d.bombImpulse);
    Limit("BombVelocityAdd", bombVelocityAdd, -1.0e6f, 1.0e6f, d.bombVelocityAdd);
    Limit("BombMinVelAdd", bombMinVelAdd, -1.0e6f, 1.0e6f, d.bombMinVelAdd);
    Limit("BombDistToChain", bombDistToChain, 0.0f, 1000.0f, d.bombDistToChain);
    Limit("BombChainExplodeDelay", bombChainExplodeDelay, 0u, 60000u, d.bombChainExplodeDelay);
    Limit("BombKillRadius", bombKillRadius, 0.0f, 1000.0f, d.bombKillRadius);
    Limit("BombDeathVelFactor", bombDeathVelFactor, -1.0e6f, 1.0e6f, d.bombDeathVelFactor);
    Limit("GameOverDelayTime", gameOverDelayTime, 0, kDay, d.gameOverDelayTime);
    Limit("NumFlags", numFlags, 0, 1000, d.numFlags);
    Limit("RespawnDistance", respawnDistance, 0, 1000000, d.respawnDistance);
    Limit("CaptureDistance", captureDistance, 0, 1000000, d.captureDistance);
    Limit("PickUpDistance", pickUpDistance, 0, 1000000, d.pickUpDistance);
    Limit("RespawnTime", flagRespawnTime, 0u, static_cast<uint32_t>(kDay), d.flagRespawnTime);
}

RulesSettings RulesSettings::Load(const std::string& fileName) {
    RulesSettings s;
    const Utility::IniFile file(fileName);
    if (!file.IsLoaded()) {
        Utility::ReportWarning("settings \"" + fileName + "\" cannot be read; using the defaults");
        return s;
    }
    const char* const logic = "LOGIC";
    const char* const flags = "FLAGMAN";
    Read(file, logic, "PlayerSpeed", s.playerSpeed);
    Read(file, logic, "BombEffectRadius", s.bombEffectRadius);
    Read(file, logic, "BombImpulse", s.bombImpulse);
    Read(file, logic, "BombVelocityAdd", s.bombVelocityAdd);
    Read(file, logic, "BombMinVelAdd", s.bombMinVelAdd);
    Read(file, logic, "BombDistToChain", s.bombDistToChain);
    Read(file, logic, "BombChainExplodeDelay", s.bombChainExplodeDelay);
    Read(file, logic, "BombKillRadius", s.bombKillRadius);
    Read(file, logic, "BombDeathVelFactor", s.bombDeathVelFactor);
    Read(file, logic, "GameOverDelayTime", s.gameOverDelayTime);
    Read(file, flags, "NumFlags", s.numFlags);
    Read(file, flags, "RespawnDistance", s.respawnDistance);
    Read(file, flags, "CaptureDistance", s.captureDistance);
    Read(file, flags, "PickUpDistance", s.pickUpDistance);
    Read(file, flags, "RespawnTime", s.flagRespawnTime);
    s.Validate();
    return s;
}

const RulesSettings& GetRulesSettings() {
    std::unique_ptr<RulesSettings>& current = Current();
    if (!current) current = std::make_unique<RulesSettings>(RulesSettings::Load("Config/Config.ini"));
    return *current;
}

void SetRulesSettings(const RulesSettings& settings) {
    auto s = std::make_unique<RulesSettings>(settings);
    s->Validate();
    Current() = std::move(s);
}

void ResetRulesSettings() { Current().reset(); }

}  // namespace GameLogicView
