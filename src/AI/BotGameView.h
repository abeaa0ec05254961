// A bot's view of the logic: the view through which the AI drives one actor.
// For now it only names the actor, its team and its player; the behaviours
// that steer it arrive with the bot AI proper.
#pragma once

#include <cstdint>
#include <string>

#include "gamelogic/GameView.h"

namespace GameLogicView {
class Player;
}

namespace AI {

class TeamMan;

class BotGameView : public GameLogicView::IGameView {
public:
    BotGameView(uint16_t actorId, uint8_t team, const std::string& name, GameLogicView::Player* player,
                TeamMan* teamMan)
        : m_actorId(actorId), m_team(team), m_name(name), m_player(player), m_teamMan(teamMan) {}

    void OnAttach() override {}
    void OnUpdate(int) override {}
    void OnRender(int) override {}

    uint16_t GetActorId() const { return m_actorId; }
    uint8_t GetTeam() const { return m_team; }
    const std::string& GetName() const { return m_name; }
    GameLogicView::Player* GetPlayer() const { return m_player; }
    TeamMan* GetTeamMan() const { return m_teamMan; }

private:
    uint16_t m_actorId;
    uint8_t m_team;
    std::string m_name;
    GameLogicView::Player* m_player;
    TeamMan* m_teamMan;
};

}  // namespace AI
