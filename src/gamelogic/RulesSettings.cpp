#include "gamelogic/RulesSettings.h"

#include "ini/IniFile.h"
#include "gamelogic/SettingsFile.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

using SettingsFile::Limit;
using SettingsFile::Read;

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

const RulesSettings& GetRulesSettings() { return SettingsFile::RunCopy<RulesSettings>::Get(); }

void SetRulesSettings(const RulesSettings& settings) { SettingsFile::RunCopy<RulesSettings>::Set(settings); }

void ResetRulesSettings() { SettingsFile::RunCopy<RulesSettings>::Reset(); }

}  // namespace GameLogicView
