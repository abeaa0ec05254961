// What the logic asks of the bots' side: start it for a match, give an actor a
// bot, take a team's bot away for a human. The AI implements it and the
// program installs it; a logic without one plays without bots.
#pragma once

#include <cstdint>
#include <memory>

namespace ProcessSystem {
class IProcess;
}

namespace GameLogicView {

class BlockMan;
class IBlockGrid;
class IGameView;
class MiravGameLogic;
class Player;

class IBotDirector {
public:
    virtual ~IBotDirector() = default;
    // A match starts: the bots' side takes this logic and its blocks (lending
    // them its grid) and answers the process that runs it, which the logic
    // attaches to its own.
    virtual std::shared_ptr<ProcessSystem::IProcess> StartMatch(MiravGameLogic& logic,
                                                                const std::shared_ptr<BlockMan>& blocks) = 0;
    // A bot driving the actor, as a view the logic attaches; null when one
    // already drives it.
    virtual std::shared_ptr<IGameView> AddBot(uint16_t actorId, uint8_t team, Player* player) = 0;
    // Takes the team's first bot off its actor (a human takes it over):
    // false when the team has none.
    virtual bool TakeFirstBot(uint8_t team, uint16_t& actorId) = 0;
    // An occupancy grid for a block manager that has none lent (tests that
    // run blocks without a match).
    virtual std::unique_ptr<IBlockGrid> MakeGrid() = 0;
};

// The installed director, or null.
IBotDirector* GetBotDirector();
// Installs the director (null: none); the caller keeps it alive.
void SetBotDirector(IBotDirector* director);

}  // namespace GameLogicView
