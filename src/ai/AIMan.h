// The root of the bot AI: one instance for the program, created by the AI
// process the game logic attaches. It owns the team managers, the path search
// with its search grid, the information collector, the name and chat pools,
// the message router, the AI clock and the settings, and runs one AI step per
// logic frame. The logic asks it for new bots and for a team's manager.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ai/AIClock.h"
#include "ai/AISettings.h"
#include "processes/Process.h"
#include "utility/Geometry.h"

class MsgRoute;

namespace GameLogicView {
class BlockMan;
class FlagMan;
class MiravGameLogic;
class Player;
class PlayerManager;
}  // namespace GameLogicView

namespace AI {

class AIProcess;
class AStar;
class BotGameView;
class ChatPool;
class InfoCollector;
class NamePool;
class SearchSpace;
class TeamMan;
struct PlayerRecord;

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

    // In order: the message router; the logic and its block manager, clock
    // 0; the settings and the 17 console variables; the name and chat pools;
    // the information collector's listeners; the tutorial flag cleared; the
    // grid over x and z -250..250 and y 0..100 built; teams 0 and 1.
    void Init(GameLogicView::MiravGameLogic* logic, std::shared_ptr<GameLogicView::BlockMan> blocks);
    // One AI step: the clock, the path searches (profiler "A*"), the tutorial
    // check, team 0's then team 1's update, the delayed messages.
    void Update(int ms);

    // A new bot driving the actor, or null when a bot already drives it. The
    // caller attaches the returned view to the logic.
    std::shared_ptr<BotGameView> AddBot(uint16_t actorId, uint8_t team, GameLogicView::Player* player);
    TeamMan* AddTeam(uint8_t team);
    // The first team manager of that team id, or null.
    TeamMan* GetTeam(uint8_t team) const;
    // The bot driving the actor in any team, or null.
    BotGameView* GetBot(uint16_t actorId) const;
    // The human player record of the actor in any team, or null.
    PlayerRecord* FindPlayer(uint16_t actorId) const;

    // The point just above the first blocked grid cell found stepping down
    // from the point (x and z unchanged). Cells outside the grid are blocked.
    Geometry::Vector3 ProjectToGround(const Geometry::Vector3& point) const;
    std::string GetRandomChatLine(const std::string& section) const;
    // Sets the tutorial flag: some bot's behaviour is "TUTORIAL".
    void CheckTutorial();
    bool IsTutorialRunning() const { return m_tutorial; }

    void LoadSettings();
    void RegisterConsoleVariables();

    // ---- the logic, as the AI reads it
    GameLogicView::Player* GetPlayer(uint16_t actorId) const;
    GameLogicView::FlagMan* GetFlagMan() const;
    std::vector<Geometry::Vector3> GetGuardPoints(uint8_t team) const;
    // Tests without a whole logic: where players and flags are found.
    void SetPlayerManager(GameLogicView::PlayerManager* players) { m_players = players; }
    void SetFlagMan(GameLogicView::FlagMan* flags) { m_flags = flags; }
    // Tests without a whole logic: the team's guard points.
    void SetGuardPoints(uint8_t team, std::vector<Geometry::Vector3> points) {
        m_guardPoints[team == 0 ? 0 : 1] = std::move(points);
    }

    SearchSpace& GetSearchSpace();
    const SearchSpace& GetSearchSpace() const;
    AStar& GetAStar() { return *m_astar; }
    const AStar& GetAStar() const { return *m_astar; }
    AISettings& GetSettings() { return m_settings; }
    const AISettings& GetSettings() const { return m_settings; }
    const AIClock& GetClock() const { return m_clock; }
    NamePool& GetNamePool() { return *m_names; }
    ChatPool& GetChatPool() { return *m_chat; }
    InfoCollector& GetInfoCollector() { return *m_info; }
    MsgRoute* GetMsgRoute() const { return m_route.get(); }
    GameLogicView::MiravGameLogic* GetLogic() const { return m_logic; }
    const std::shared_ptr<GameLogicView::BlockMan>& GetBlockMan() const { return m_blocks; }
    void SetBlockMan(std::shared_ptr<GameLogicView::BlockMan> blocks) { m_blocks = std::move(blocks); }
    const std::vector<std::unique_ptr<TeamMan>>& GetTeams() const { return m_teams; }

private:
    friend class AIProcess;
    AIMan();
    // Takes this manager's grid back from the block manager it served.
    void ReleaseBlockManGrid();

    std::vector<std::unique_ptr<TeamMan>> m_teams;
    AIClock m_clock;
    AISettings m_settings;
    std::unique_ptr<AStar> m_astar;  // reads the clock and the settings above
    std::shared_ptr<GameLogicView::BlockMan> m_blocks;
    std::unique_ptr<NamePool> m_names;
    std::unique_ptr<ChatPool> m_chat;
    GameLogicView::MiravGameLogic* m_logic = nullptr;
    GameLogicView::PlayerManager* m_players = nullptr;
    GameLogicView::FlagMan* m_flags = nullptr;
    std::vector<Geometry::Vector3> m_guardPoints[2];  // used without a logic
    std::unique_ptr<InfoCollector> m_info;
    bool m_tutorial = false;
    bool m_consoleRegistered = false;
    std::unique_ptr<MsgRoute> m_route;
    const AIProcess* m_driver = nullptr;  // the process that steps and ends it
};

// The process that runs the AI step in the logic's process list. It creates
// the AI manager when there is none, or takes over the one there is; only the
// process that took it last steps it and destroys it when it goes.
class AIProcess : public ProcessSystem::IProcess {
public:
    static constexpr int kType = 4;
    AIProcess();
    ~AIProcess() override;
    void OnUpdate(int ms) override;
};

}  // namespace AI
