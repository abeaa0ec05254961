#include "gamelogic/ScoreMan.h"

#include <memory>

#include "events/EventManager.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/RulesSettings.h"

namespace GameLogicView {

ScoreMan::ScoreMan(MiravGameLogic* logic)
    : m_logic(logic),
      m_startFlags(GetRulesSettings().numFlags),
      m_flagsLeft1(m_startFlags),
      m_flagsLeft0(m_startFlags) {}

void ScoreMan::OnFlagCaptured(uint8_t flagTeam) {
    if (m_logic == nullptr || m_logic->IsGameOver()) return;
    if (flagTeam == 0)
        --m_flagsLeft0;
    else if (flagTeam == 1)
        --m_flagsLeft1;
    else
        return;
    // Exactly 0: a level with more flags than NumFlags drives a counter below
    // 0 without ending the match.
    const bool oneEmpty = m_flagsLeft0 == 0 || m_flagsLeft1 == 0;
    if (!oneEmpty || m_flagsLeft0 == m_flagsLeft1 || !m_logic->IsVictoryEnabled()) return;
    const uint8_t winner = flagTeam == 0 ? 1 : 0;
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateTeamVictory>(winner));
    m_logic->GetProcessManager().Attach(std::make_shared<EndGameDelayProc>(winner));
    m_logic->SetGameOver(true);
}

EndGameDelayProc::EndGameDelayProc(uint8_t winningTeam)
    : IProcess(7), m_team(winningTeam), m_remaining(GetRulesSettings().gameOverDelayTime) {}

void EndGameDelayProc::OnUpdate(int ms) {
    m_remaining -= ms;
    if (m_remaining < 0) {
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateGameOver>(m_team, 0));
        Kill();
    }
}

}  // namespace GameLogicView
