// The few facts every part of the game shares across matches (16 one-byte
// flags) and the player's options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gamelogic/UserConfig.h"

namespace GameLogicView {

class GlobalGameState {
public:
    // Byte meanings (index into the flags).
    enum Flag : int {
        kTeam = 0,
        kLevel = 1,
        kMultiplayer = 2,
        kJoiningMachine = 3,
        kGameMode = 4,
        kGameStarted = 5,
        kWinsAngel = 6,
        kWinsDemon = 7,
        kMachines = 8,
        kClientIdAssigned = 9,
        kInvertMouseX = 10,
        kInvertMouseY = 11,
        kPaused = 12,
        kLowDetail = 13,
        kBatterySaving = 14,
        kSkipTutorial = 15,
        kFlagCount = 16,
    };

    // Creates the single instance when there is none (reading the options).
    static void Create();
    // The instance, created when needed.
    static GlobalGameState* Instance();
    // Deletes the instance; the next Create or Instance builds a fresh one.
    static void Destroy();

    virtual ~GlobalGameState() = default;

    // Indexes outside 0..15 read 0 and write nothing.
    uint8_t GetFlag(int index) const;
    void SetFlag(int index, uint8_t value);
    std::vector<uint8_t>& Flags() { return m_flags; }

    // True when byte 14 or byte 13 is exactly 1.
    bool IsLowDetail() const;
    // Copies the options into bytes 11 (inverty), 15 (skiptutorial) and 13
    // (lowdetail).
    void ApplyUserConfig();
    UserConfig& GetUserConfig() { return m_userConfig; }

private:
    GlobalGameState();
    UserConfig m_userConfig;
    std::vector<uint8_t> m_flags;
};

}  // namespace GameLogicView
