// The bots' side as the logic sees it: starts the AI for a match, gives actors
// bots and lends the bots' grid to the logic's blocks. Installed once by the
// program (or a test) before a logic starts a match.
#pragma once

#include "gamelogic/BotDirector.h"

namespace AI {

class AIBotDirector : public GameLogicView::IBotDirector {
public:
    std::shared_ptr<ProcessSystem::IProcess> StartMatch(GameLogicView::MiravGameLogic& logic,
                                                        const std::shared_ptr<GameLogicView::BlockMan>& blocks) override;
    std::shared_ptr<GameLogicView::IGameView> AddBot(uint16_t actorId, uint8_t team,
                                                     GameLogicView::Player* player) override;
    bool TakeFirstBot(uint8_t team, uint16_t& actorId) override;
    // A grid of its own over the bounds the AI manager gives the bots' grid.
    std::unique_ptr<GameLogicView::IBlockGrid> MakeGrid() override;
};

// Installs the program's one director (the same each call).
void InstallBotDirector();

}  // namespace AI
