// What a bot knows about the match in one AI step: the enemies and teammates
// it sees, the flags it can reach or sees lying, who carries its team's flags,
// what it holds, and what happened to it since the last step (blocks touched,
// explosions heard, throws coming at it).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {
class Player;
struct BlockData;
}  // namespace GameLogicView

namespace AI {

// A block thrown towards the bot: who threw it and how it flies.
struct IncomingThrow {
    uint16_t thrower = 0xFFFF;
    Geometry::Vector3 velocity{};
};

struct BotPerception {
    // Rebuilt every step for a living bot. Players are the logic's records,
    // which live until the logic resets (and the AI with it). Flags are kept
    // by actor id: a captured flag is erased from the logic in the middle of
    // a frame, so a pointer to it could dangle before the next rebuild.
    std::vector<GameLogicView::Player*> enemiesInView;
    std::vector<uint16_t> enemyFlagsInReach;
    std::vector<uint16_t> ownDroppedFlagsInSight;
    // Filled by the information collector between steps, emptied at the end
    // of every team step.
    std::vector<std::shared_ptr<GameLogicView::BlockData>> contacts;
    std::vector<Geometry::Vector3> explosionsHeard;
    // Rebuilt every step.
    std::vector<GameLogicView::Player*> carriersOfOwnFlags;
    std::vector<GameLogicView::Player*> teammatesInView;
    // Filled by the information collector, emptied at the end of every step.
    std::vector<IncomingThrow> incomingThrows;
    // Squared distance to the squad's leader; 0 without a squad.
    float squadLeaderDistance = 0.0f;
    bool holdingBomb = false;
    bool holdingFlag = false;
    int32_t blocksInPouch = 0;

    // Empties what the step rebuilds.
    void ClearView() {
        enemiesInView.clear();
        enemyFlagsInReach.clear();
        ownDroppedFlagsInSight.clear();
        teammatesInView.clear();
        carriersOfOwnFlags.clear();
        holdingBomb = false;
        holdingFlag = false;
        blocksInPouch = 0;
        squadLeaderDistance = 0.0f;
    }
    // Empties what the information collector gathered.
    void ClearReports() {
        contacts.clear();
        explosionsHeard.clear();
        incomingThrows.clear();
    }
};

// The enemies a human player of the team can see in this step (facing is not
// considered); the bots use it to help a human teammate.
struct HumanSight {
    uint16_t actorId = 0xFFFF;
    std::vector<GameLogicView::Player*> enemies;
};

}  // namespace AI
