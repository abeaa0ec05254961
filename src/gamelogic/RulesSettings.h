// The match rules' tuning from `Config/Config.ini`: walking speed, the bombs'
// blast, the flags' reaches and return time, the flags each team may lose and
// the delay from victory to game over. Read once on first use, validated and
// clamped where it is loaded, so no rule divides by or loops on a bad value.
#pragma once

#include <cstdint>
#include <string>

namespace GameLogicView {

struct RulesSettings {
    // [LOGIC]
    float playerSpeed = 20.0f;
    float bombEffectRadius = 3.0f;  // blocks within it are freed and pushed
    float bombImpulse = 3.0f;
    float bombVelocityAdd = 3.0f;
    float bombMinVelAdd = 3.0f;
    float bombDistToChain = 3.0f;   // bombs within it explode in a chain
    uint32_t bombChainExplodeDelay = 150;
    float bombKillRadius = 3.0f;    // players of another team within it die
    float bombDeathVelFactor = 3.0f;
    int32_t gameOverDelayTime = 1000;

    // [FLAGMAN]
    int32_t numFlags = 3;          // flags a team may lose; at least 1
    int32_t respawnDistance = 10;  // the three reaches are squared distances
    int32_t captureDistance = 10;
    int32_t pickUpDistance = 10;
    uint32_t flagRespawnTime = 0;  // a dropped flag returns home after this

    // Missing or malformed keys keep the defaults; values out of range are
    // reported and clamped. A file that cannot be read gives the defaults.
    static RulesSettings Load(const std::string& fileName);
    // fileName names the values' file in reports ("" for values set while
    // running).
    void Validate(const std::string& fileName);
};

// The run's settings, read from "Config/Config.ini" on first use.
const RulesSettings& GetRulesSettings();
// Replaces the run's settings (tests, console); the values are validated.
void SetRulesSettings(const RulesSettings& settings);
// Forgets the run's settings, so the next use reads the file again (tests).
void ResetRulesSettings();

}  // namespace GameLogicView
