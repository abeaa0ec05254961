#include "gamelogic/LogicSettings.h"

#include "ini/IniFile.h"
#include "gamelogic/SettingsFile.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

const char* const kLogic = "LOGIC";
const char* const kPicker = "BlockPicker";
const char* const kBombs = "Bombs";

}  // namespace

using SettingsFile::Limit;
using SettingsFile::Read;

int32_t LogicSettings::BombSpawnTime(int code) const {
    switch (code) {
        case 157: return bombTime157;
        case 158: return bombTime158;
        case 159: return bombTime159;
        case 160: return bombTime160;
        default: return 10;
    }
}

void LogicSettings::Validate(const std::string& file) {
    const LogicSettings d;
    constexpr int32_t kDay = 24 * 3600 * 1000;
    // A pouch of 0 would let no player pick up a block: nothing to throw.
    Limit(file, kLogic, "PouchSize", pouchSize, 1u, kMaxPouchSize, d.pouchSize, "a pouch must hold a block");
    // Every start block enters the pouch before the first goes to the hand,
    // and no pouch holds more than the joining machines' snapshot has room
    // for: a larger count would make blocks only to delete them at once.
    Limit(file, kLogic, "SpawnInPouch", spawnInPouch, 0, static_cast<int32_t>(kMaxPouchSize), d.spawnInPouch);
    Limit(file, kLogic, "RespawnDelay", respawnDelay, 0, kDay, d.respawnDelay);
    Limit(file, kLogic, "Invincible", invincible, 0, kDay, d.invincible);
    Limit(file, kLogic, "CollisSpeedForKill", collisSpeedForKill, 0.0f, 1.0e6f, d.collisSpeedForKill);
    Limit(file, kLogic, "BlockKillImpulse", blockKillImpulse, 0.0f, 1.0e6f, d.blockKillImpulse);

    Limit(file, kLogic, "JumpResetDelay", jumpResetDelay, 0u, 60000u, d.jumpResetDelay);
    Limit(file, kLogic, "JumpAllowResetDelay", jumpAllowResetDelay, 0u, 60000u, d.jumpAllowResetDelay);
    Limit(file, kLogic, "JumpDoubleJumpDelay", jumpDoubleJumpDelay, 0u, 60000u, d.jumpDoubleJumpDelay);
    Limit(file, kLogic, "JumpSpeed", jumpSpeed, -1000.0f, 1000.0f, d.jumpSpeed);
    Limit(file, kLogic, "DoubleJumpSpeed", doubleJumpSpeed, -1000.0f, 1000.0f, d.doubleJumpSpeed);
    Limit(file, kLogic, "JumpSpeedHelpedByVelocityFactor", jumpSpeedHelpedByVelocityFactor, -1.0e6f, 1.0e6f,
          d.jumpSpeedHelpedByVelocityFactor);
    Limit(file, kLogic, "JumpYSpeedLessThanZeroDivisor", jumpYSpeedLessThanZeroDivisor, -1.0e6f, 1.0e6f,
          d.jumpYSpeedLessThanZeroDivisor);
    Limit(file, kLogic, "JumpYSpeedGreaterThanZeroDivisor", jumpYSpeedGreaterThanZeroDivisor, -1.0e6f, 1.0e6f,
          d.jumpYSpeedGreaterThanZeroDivisor);
    Limit(file, kLogic, "JumpMovementEnableAfterHitDelay", jumpMovementEnableAfterHitDelay, 0u, 60000u,
          d.jumpMovementEnableAfterHitDelay);
    Limit(file, kLogic, "JumpBounceBackVelocity", jumpBounceBackVelocity, -1000.0f, 1000.0f, d.jumpBounceBackVelocity);

    Limit(file, kLogic, "ThrowSpeed", throwSpeed, 0.0f, 1000.0f, d.throwSpeed);
    Limit(file, kLogic, "ThrowImpulse", throwImpulse, 0.0f, 1.0e6f, d.throwImpulse);
    Limit(file, kLogic, "ThrowAngle", throwAngle, -3.1415927f, 3.1415927f, d.throwAngle);
    Limit(file, kLogic, "LockTimeAfterThrow", lockTimeAfterThrow, 0u, 60000u, d.lockTimeAfterThrow);
    Limit(file, kPicker, "LockTimeAfterPickup", lockTimeAfterPickup, 0u, 60000u, d.lockTimeAfterPickup);

    Limit(file, kPicker, "Distance", pickerDistance, 0.0f, 1000.0f, d.pickerDistance);
    Limit(file, kPicker, "SphereIncrease", pickerSphereIncrease, 0.0f, 1000.0f, d.pickerSphereIncrease);
    Limit(file, kPicker, "zOffset", pickerZOffset, -1000.0f, 1000.0f, d.pickerZOffset);

    Limit(file, kLogic, "BlockFatalTime", blockFatalTime, 0, kDay, d.blockFatalTime);
    Limit(file, kLogic, "BlockFreeTime", blockFreeTime, 0, kDay, d.blockFreeTime);
    Limit(file, kLogic, "BlockCollisionImpulse", blockCollisionImpulse, -1.0e6f, 1.0e6f, d.blockCollisionImpulse);
    Limit(file, kLogic, "BlockCollisionSpeedFactor", blockCollisionSpeedFactor, -1.0e6f, 1.0e6f, d.blockCollisionSpeedFactor);
    Limit(file, kLogic, "MaxFreeUnitBlocks", maxFreeUnitBlocks, 0u, 100000u, d.maxFreeUnitBlocks);
    Limit(file, kLogic, "UnitBlockFadeTime", unitBlockFadeTime, 0u, 600000u, d.unitBlockFadeTime);

    Limit(file, kBombs, "override", bombOverride, 0, 86400, d.bombOverride);
    Limit(file, kBombs, "157", bombTime157, 0, 86400, d.bombTime157);
    Limit(file, kBombs, "158", bombTime158, 0, 86400, d.bombTime158);
    Limit(file, kBombs, "159", bombTime159, 0, 86400, d.bombTime159);
    Limit(file, kBombs, "160", bombTime160, 0, 86400, d.bombTime160);
    Limit(file, kBombs, "MaxBombs", maxBombs, 0, 1000, d.maxBombs);
}

LogicSettings LogicSettings::Load(const std::string& fileName) {
    LogicSettings s;
    const Utility::IniFile file(fileName);
    if (!file.IsLoaded()) {
        Utility::ReportWarning("settings \"" + fileName + "\" cannot be read; using the defaults");
        return s;
    }
    Read(file, kLogic, "PouchSize", s.pouchSize);
    Read(file, kLogic, "SpawnInPouch", s.spawnInPouch);
    Read(file, kLogic, "RespawnDelay", s.respawnDelay);
    Read(file, kLogic, "Invincible", s.invincible);
    Read(file, kLogic, "CollisSpeedForKill", s.collisSpeedForKill);
    Read(file, kLogic, "BlockKillImpulse", s.blockKillImpulse);
    Read(file, kLogic, "DefaultAngelBlockMaterial", s.defaultAngelBlockMaterial);
    Read(file, kLogic, "DefaultDemonBlockMaterial", s.defaultDemonBlockMaterial);

    Read(file, kLogic, "JumpResetDelay", s.jumpResetDelay);
    Read(file, kLogic, "JumpAllowResetDelay", s.jumpAllowResetDelay);
    Read(file, kLogic, "JumpDoubleJumpDelay", s.jumpDoubleJumpDelay);
    Read(file, kLogic, "JumpSpeed", s.jumpSpeed);
    Read(file, kLogic, "DoubleJumpSpeed", s.doubleJumpSpeed);
    Read(file, kLogic, "JumpSpeedHelpedByVelocityFactor", s.jumpSpeedHelpedByVelocityFactor);
    Read(file, kLogic, "JumpYSpeedLessThanZeroDivisor", s.jumpYSpeedLessThanZeroDivisor);
    Read(file, kLogic, "JumpYSpeedGreaterThanZeroDivisor", s.jumpYSpeedGreaterThanZeroDivisor);
    Read(file, kLogic, "JumpMovementEnableAfterHitDelay", s.jumpMovementEnableAfterHitDelay);
    Read(file, kLogic, "JumpBounceBackVelocity", s.jumpBounceBackVelocity);

    Read(file, kLogic, "ThrowSpeed", s.throwSpeed);
    Read(file, kLogic, "ThrowImpulse", s.throwImpulse);
    float degrees = 30.0f;
    Read(file, kLogic, "ThrowAngle", degrees);
    s.throwAngle = degrees * 3.1415927f / 180.0f;
    Read(file, kLogic, "LockTimeAfterThrow", s.lockTimeAfterThrow);
    Read(file, kPicker, "LockTimeAfterPickup", s.lockTimeAfterPickup);

    Read(file, kPicker, "Distance", s.pickerDistance);
    Read(file, kPicker, "SphereIncrease", s.pickerSphereIncrease);
    Read(file, kPicker, "zOffset", s.pickerZOffset);

    Read(file, kLogic, "BlockFatalTime", s.blockFatalTime);
    Read(file, kLogic, "BlockFreeTime", s.blockFreeTime);
    Read(file, kLogic, "BlockCollisionImpulse", s.blockCollisionImpulse);
    Read(file, kLogic, "BlockCollisionSpeedFactor", s.blockCollisionSpeedFactor);
    Read(file, kLogic, "MaxFreeUnitBlocks", s.maxFreeUnitBlocks);
    Read(file, kLogic, "UnitBlockFadeTime", s.unitBlockFadeTime);

    Read(file, kBombs, "override", s.bombOverride);
    Read(file, kBombs, "157", s.bombTime157);
    Read(file, kBombs, "158", s.bombTime158);
    Read(file, kBombs, "159", s.bombTime159);
    Read(file, kBombs, "160", s.bombTime160);
    Read(file, kBombs, "MaxBombs", s.maxBombs);
    s.Validate(fileName);
    return s;
}

const LogicSettings& GetLogicSettings() { return SettingsFile::RunCopy<LogicSettings>::Get(); }

void SetLogicSettings(const LogicSettings& settings) { SettingsFile::RunCopy<LogicSettings>::Set(settings); }

void ResetLogicSettings() { SettingsFile::RunCopy<LogicSettings>::Reset(); }

}  // namespace GameLogicView
