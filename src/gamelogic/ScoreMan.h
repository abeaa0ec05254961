// The score of a match: the flags each team may still lose. When one team has
// none left the other wins: the victory is reported at once, the match's rules
// stop, and after a delay the game over follows.
#pragma once

#include <cstdint>

#include "processes/Process.h"

namespace GameLogicView {

class MiravGameLogic;

class ScoreMan {
public:
    // Both teams start with [FLAGMAN] NumFlags flags to lose.
    explicit ScoreMan(MiravGameLogic* logic);

    // A flag of team `flagTeam` was captured. Ignored after a victory; team
    // ids other than 0 and 1 change no counter. A counter reaching exactly 0
    // while the other has flags left wins the match for the other team
    // (unless victories are disabled, as in the match behind the menus).
    void OnFlagCaptured(uint8_t flagTeam);

    int32_t GetFlagsLeft(uint8_t team) const { return team == 0 ? m_flagsLeft0 : m_flagsLeft1; }
    // The flags each team started the match with.
    int32_t GetStartFlags() const { return m_startFlags; }

private:
    MiravGameLogic* m_logic;
    int32_t m_startFlags;
    int32_t m_flagsLeft1;
    int32_t m_flagsLeft0;
};

// Reports the game over for the winner once more than [LOGIC]
// GameOverDelayTime ms have passed.
class EndGameDelayProc : public ProcessSystem::IProcess {
public:
    explicit EndGameDelayProc(uint8_t winningTeam);
    void OnUpdate(int ms) override;
    uint8_t GetWinningTeam() const { return m_team; }

private:
    uint8_t m_team;
    int32_t m_remaining;
};

}  // namespace GameLogicView
