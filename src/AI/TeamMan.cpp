#include "AI/TeamMan.h"

#include <algorithm>

#include "AI/BotGameView.h"
#include "gamelogic/MiravGameLogic.h"

namespace AI {

TeamMan::TeamMan(uint8_t team, GameLogicView::MiravGameLogic* logic) : m_team(team), m_logic(logic) {}

TeamMan::~TeamMan() {
    // The logic keeps views until they are removed; a bot of a team that is
    // gone must not go on being updated.
    if (m_logic)
        for (const auto& bot : m_bots) m_logic->RemoveGameView(bot->GetViewId());
    m_bots.clear();
}

std::shared_ptr<BotGameView> TeamMan::CreateBot(uint16_t actorId, const std::string& name,
                                                GameLogicView::Player* player) {
    auto bot = std::make_shared<BotGameView>(actorId, m_team, name, player, this);
    m_bots.push_back(bot);
    return bot;
}

void TeamMan::RemoveBot(BotGameView* bot) {
    auto it = std::find_if(m_bots.begin(), m_bots.end(), [bot](const auto& b) { return b.get() == bot; });
    if (it == m_bots.end()) return;
    const std::shared_ptr<BotGameView> keep = *it;  // alive until we are done with it
    m_bots.erase(it);
    if (m_logic && keep->GetViewId() != -1) m_logic->RemoveGameView(keep->GetViewId());
}

BotGameView* TeamMan::GetBot(uint16_t actorId) const {
    for (const auto& bot : m_bots)
        if (bot->GetActorId() == actorId) return bot.get();
    return nullptr;
}

}  // namespace AI
