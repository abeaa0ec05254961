// The root of the bot AI: one instance for the program, created by the AI
// process the game logic attaches; it owns the team managers, the path search
// with its search grid, the AI clock and the settings, and runs one AI step per
// logic frame. The logic asks it for new bots and for a team's manager.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "AI/AIClock.h"
#include "AI/AISettings.h"
#include "processes/Process.h"

namespace GameLogicView {
class BlockMan;
class MiravGameLogic;
class Player;
}  // namespace GameLogicView

namespace AI {

class AStar;
class BotGameView;
class NamePool;
class SearchSpace;
class TeamMan;

class AIMan {
public:
    // The global instance, or null when there is none.
    static AIMan* Instance();
    // Creates the instance when there is none; returns it.
    static AIMan* Create();
    // Destroys the instance (its teams remove their bots' views).
    static void Destroy();

    ~AIMan();
    AIMan(const AIMan&) = delete;
    AIMan& operator=(const AIMan&) = delete;

    // Clock 0, settings and names read, grid over x and z -250..250 and y
    // 0..100 built, teams 0 and 1 created.
    void Init(GameLogicView::MiravGameLogic* logic, std::shared_ptr<GameLogicView::BlockMan> blocks);
    // One AI step: the clock, the path searches, the teams.
    void Update(int ms);

    // A new bot driving the actor, or null when a bot already drives it. The
    // caller attaches the returned view to the logic.
    std::shared_ptr<BotGameView> AddBot(uint16_t actorId, uint8_t team, GameLogicView::Player* player);
    TeamMan* AddTeam(uint8_t team);
    // The first team manager of that team id, or null.
    TeamMan* GetTeam(uint8_t team) const;
    BotGameView* GetBot(uint16_t actorId) const;

    SearchSpace& GetSearchSpace();
    AStar& GetAStar() { return *m_astar; }
    AISettings& GetSettings() { return m_settings; }
    const AIClock& GetClock() const { return m_clock; }
    GameLogicView::MiravGameLogic* GetLogic() const { return m_logic; }
    const std::shared_ptr<GameLogicView::BlockMan>& GetBlockMan() const { return m_blocks; }
    const std::vector<std::unique_ptr<TeamMan>>& GetTeams() const { return m_teams; }

private:
    AIMan();

    std::vector<std::unique_ptr<TeamMan>> m_teams;
    AISettings m_settings;
    AIClock m_clock;
    std::unique_ptr<AStar> m_astar;
    std::shared_ptr<GameLogicView::BlockMan> m_blocks;
    std::unique_ptr<NamePool> m_names;
    GameLogicView::MiravGameLogic* m_logic = nullptr;
};

// The process that runs the AI step in the logic's process list. It creates
// the AI manager when there is none and destroys it when it goes, unless the
// manager was replaced meanwhile (a process must never end another's AI).
class AIProcess : public ProcessSystem::IProcess {
public:
    static constexpr int kType = 4;
    AIProcess();
    ~AIProcess() override;
    void OnUpdate(int ms) override;

private:
    AIMan* m_man;
};

}  // namespace AI
