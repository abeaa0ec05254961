// The AI of one team: its bots (whose views the logic holds in its view list)
// and the look-ups the logic needs when a human takes a bot's actor over.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GameLogicView {
class Player;
class MiravGameLogic;
}  // namespace GameLogicView

namespace AI {

class BotGameView;

class TeamMan {
public:
    // logic: where the bots' views are attached (may be null in tests).
    TeamMan(uint8_t team, GameLogicView::MiravGameLogic* logic);
    // Every remaining bot's view leaves the logic.
    ~TeamMan();
    TeamMan(const TeamMan&) = delete;
    TeamMan& operator=(const TeamMan&) = delete;

    void Init() {}
    void Update(int) {}

    // A new bot for the actor; the caller attaches the returned view.
    std::shared_ptr<BotGameView> CreateBot(uint16_t actorId, const std::string& name, GameLogicView::Player* player);
    // The bot's view leaves the logic and the bot leaves the team.
    void RemoveBot(BotGameView* bot);
    BotGameView* GetBot(uint16_t actorId) const;
    // Bots in order of creation.
    const std::vector<std::shared_ptr<BotGameView>>& GetBots() const { return m_bots; }
    uint8_t GetTeamId() const { return m_team; }

private:
    uint8_t m_team;
    GameLogicView::MiravGameLogic* m_logic;
    std::vector<std::shared_ptr<BotGameView>> m_bots;
};

}  // namespace AI
