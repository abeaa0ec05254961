// The rules' tuning from `Config/Config.ini` ([LOGIC], [BlockPicker], [Bombs]):
// read once on first use, validated and clamped where it is loaded, so no rule
// divides by a configured zero or sizes a buffer from an unchecked value.
#pragma once

#include <cstdint>
#include <string>

namespace GameLogicView {

struct LogicSettings {
    // The snapshot sent to a joining machine has room for the hand and this
    // many pouch blocks; a pouch never holds more, whatever the settings say.
    static constexpr uint32_t kMaxPouchSize = 16;

    // Players and spawning.
    uint32_t pouchSize = 5;     // pick-ups stop here; 1..kMaxPouchSize
    // Blocks made into the pouch at a spawn (the first then goes to the hand);
    // 0..kMaxPouchSize, since they all pass through the pouch.
    int32_t spawnInPouch = 10;
    int32_t respawnDelay = 5000;
    int32_t invincible = 2000;
    float collisSpeedForKill = 20.0f;
    float blockKillImpulse = 3.0f;
    int32_t defaultAngelBlockMaterial = 1;
    int32_t defaultDemonBlockMaterial = 3;

    // Jumping.
    uint32_t jumpResetDelay = 200;
    uint32_t jumpAllowResetDelay = 200;
    uint32_t jumpDoubleJumpDelay = 200;
    float jumpSpeed = 8.0f;
    float doubleJumpSpeed = 8.0f;
    float jumpSpeedHelpedByVelocityFactor = 20.0f;  // a divisor: 0 means no bonus
    float jumpYSpeedLessThanZeroDivisor = 3.0f;     // 0 leaves the speed unchanged
    float jumpYSpeedGreaterThanZeroDivisor = 3.0f;
    uint32_t jumpMovementEnableAfterHitDelay = 200;
    float jumpBounceBackVelocity = 25.0f;

    // Throwing and picking up.
    float throwSpeed = 55.0f;
    float throwImpulse = 150.0f;
    float throwAngle = 30.0f * 3.1415927f / 180.0f;  // radians (the file gives degrees)
    uint32_t lockTimeAfterThrow = 16;
    uint32_t lockTimeAfterPickup = 16;

    // The block picker.
    float pickerDistance = 3.0f;
    float pickerSphereIncrease = 0.5f;
    float pickerZOffset = 3.0f;

    // Blocks.
    int32_t blockFatalTime = 10;
    int32_t blockFreeTime = 200;
    float blockCollisionImpulse = 400.0f;
    float blockCollisionSpeedFactor = 400.0f;
    uint32_t maxFreeUnitBlocks = 100;
    uint32_t unitBlockFadeTime = 1000;

    // Bomb spawners (seconds between bombs; MaxBombs per spawner).
    int32_t bombOverride = 10;
    int32_t bombTime157 = 10;
    int32_t bombTime158 = 10;
    int32_t bombTime159 = 10;
    int32_t bombTime160 = 10;
    int32_t maxBombs = 1;

    // The spawn time of a bomb spawner code (157..160); 10 for any other.
    int32_t BombSpawnTime(int code) const;

    // Reads the file; missing or malformed keys keep the defaults above, values
    // out of range are reported and clamped. A file that cannot be read gives
    // the defaults.
    static LogicSettings Load(const std::string& fileName);
    // Brings every value into its range, reporting each change (used by Load
    // and by Set).
    // fileName names the values' file in reports ("" for values set while
    // running).
    void Validate(const std::string& fileName);
};

// The run's settings, read from "Config/Config.ini" on first use.
const LogicSettings& GetLogicSettings();
// Replaces the run's settings (tests, console); the values are validated.
void SetLogicSettings(const LogicSettings& settings);
// Forgets the run's settings, so the next use reads the file again (tests).
void ResetLogicSettings();

}  // namespace GameLogicView
