#include "gamelogic/RulesSettings.h"

#include "ini/IniFile.h"
#include "gamelogic/SettingsFile.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

const char* const kLogic = "LOGIC";
const char* const kFlags = "FLAGMAN";

}  // namespace

using SettingsFile::Limit;
using SettingsFile::Read;

void RulesSettings::Validate(const std::string& file) {
    const RulesSettings d;
    constexpr int32_t kDay = 24 * 3600 * 1000;
    Limit(file, kLogic, "PlayerSpeed", playerSpeed, 0.0f, 1000.0f, d.playerSpeed);
    Limit(file, kLogic, "BombEffectRadius", bombEffectRadius, 0.0f, 1000.0f, d.bombEffectRadius);
    Limit(file, kLogic, "BombImpulse", bombImpulse, -1.0e6f, 1.0e6f, d.bombImpulse);
    Limit(file, kLogic, "BombVelocityAdd", bombVelocityAdd, -1.0e6f, 1.0e6f, d.bombVelocityAdd);
    Limit(file, kLogic, "BombMinVelAdd", bombMinVelAdd, -1.0e6f, 1.0e6f, d.bombMinVelAdd);
    Limit(file, kLogic, "BombDistToChain", bombDistToChain, 0.0f, 1000.0f, d.bombDistToChain);
    Limit(file, kLogic, "BombChainExplodeDelay", bombChainExplodeDelay, 0u, 60000u, d.bombChainExplodeDelay);
    Limit(file, kLogic, "BombKillRadius", bombKillRadius, 0.0f, 1000.0f, d.bombKillRadius);
    Limit(file, kLogic, "BombDeathVelFactor", bombDeathVelFactor, -1.0e6f, 1.0e6f, d.bombDeathVelFactor);
    Limit(file, kLogic, "GameOverDelayTime", gameOverDelayTime, 0, kDay, d.gameOverDelayTime);
    // A team with no flag to lose has lost before the match starts.
    Limit(file, kFlags, "NumFlags", numFlags, 1, 1000, d.numFlags, "a team must have a flag to lose");
    Limit(file, kFlags, "RespawnDistance", respawnDistance, 0, 1000000, d.respawnDistance);
    // The reaches are compared with "<": 0 reaches nothing, so no flag could
    // ever be captured or picked up.
    Limit(file, kFlags, "CaptureDistance", captureDistance, 1, 1000000, d.captureDistance,
          "0 would let no flag be captured");
    Limit(file, kFlags, "PickUpDistance", pickUpDistance, 1, 1000000, d.pickUpDistance,
          "0 would let no flag be picked up");
    Limit(file, kFlags, "RespawnTime", flagRespawnTime, 0u, static_cast<uint32_t>(kDay), d.flagRespawnTime);
}

RulesSettings RulesSettings::Load(const std::string& fileName) {
    RulesSettings s;
    const Utility::IniFile file(fileName);
    if (!file.IsLoaded()) {
        Utility::ReportWarning("settings \"" + fileName + "\" cannot be read; using the defaults");
        return s;
    }
    Read(file, kLogic, "PlayerSpeed", s.playerSpeed);
    Read(file, kLogic, "BombEffectRadius", s.bombEffectRadius);
    Read(file, kLogic, "BombImpulse", s.bombImpulse);
    Read(file, kLogic, "BombVelocityAdd", s.bombVelocityAdd);
    Read(file, kLogic, "BombMinVelAdd", s.bombMinVelAdd);
    Read(file, kLogic, "BombDistToChain", s.bombDistToChain);
    Read(file, kLogic, "BombChainExplodeDelay", s.bombChainExplodeDelay);
    Read(file, kLogic, "BombKillRadius", s.bombKillRadius);
    Read(file, kLogic, "BombDeathVelFactor", s.bombDeathVelFactor);
    Read(file, kLogic, "GameOverDelayTime", s.gameOverDelayTime);
    Read(file, kFlags, "NumFlags", s.numFlags);
    Read(file, kFlags, "RespawnDistance", s.respawnDistance);
    Read(file, kFlags, "CaptureDistance", s.captureDistance);
    Read(file, kFlags, "PickUpDistance", s.pickUpDistance);
    Read(file, kFlags, "RespawnTime", s.flagRespawnTime);
    s.Validate(fileName);
    return s;
}

const RulesSettings& GetRulesSettings() { return SettingsFile::RunCopy<RulesSettings>::Get(); }

void SetRulesSettings(const RulesSettings& settings) { SettingsFile::RunCopy<RulesSettings>::Set(settings); }

void ResetRulesSettings() { SettingsFile::RunCopy<RulesSettings>::Reset(); }

}  // namespace GameLogicView
