#include "ai/AIBotDirector.h"

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/SearchSpace.h"
#include "ai/TeamMan.h"
#include "gamelogic/BlockMan.h"

namespace AI {

std::shared_ptr<ProcessSystem::IProcess> AIBotDirector::StartMatch(
    GameLogicView::MiravGameLogic& logic, const std::shared_ptr<GameLogicView::BlockMan>& blocks) {
    // The process creates the manager when there is none, or takes it over.
    auto process = std::make_shared<AIProcess>();
    if (AIMan* man = AIMan::Instance()) {
        man->Init(&logic, blocks);
        if (blocks) blocks->SetGrid(&man->GetSearchSpace());
    }
    return process;
}

std::shared_ptr<GameLogicView::IGameView> AIBotDirector::AddBot(uint16_t actorId, uint8_t team,
                                                                GameLogicView::Player* player) {
    AIMan* man = AIMan::Instance();
    return man ? man->AddBot(actorId, team, player) : nullptr;
}

bool AIBotDirector::TakeFirstBot(uint8_t team, uint16_t& actorId) {
    AIMan* man = AIMan::Instance();
    TeamMan* teamMan = man ? man->GetTeam(team) : nullptr;
    if (!teamMan || teamMan->GetBots().empty()) return false;
    BotGameView* bot = teamMan->GetBots().front().get();
    actorId = bot->GetActorId();
    teamMan->RemoveBot(bot);
    return true;
}

std::unique_ptr<GameLogicView::IBlockGrid> AIBotDirector::MakeGrid() {
    auto grid = std::make_unique<SearchSpace>();
    grid->SetBounds(-250.0f, 250.0f, 0.0f, 100.0f, -250.0f, 250.0f);
    grid->Build();
    return grid;
}

void InstallBotDirector() {
    static AIBotDirector director;
    GameLogicView::SetBotDirector(&director);
}

}  // namespace AI
