// Bombs: blocks whose actor has object state 9. A thrown bomb explodes when it
// touches anything, a lying bomb hit by a thrown one goes off a moment later,
// and each explosion frees and pushes the blocks around it and sets off the
// bombs close by, one chain step after another. The explosion report reaches
// the logic, which kills and pushes the enemy players near it.
#pragma once

#include <cstdint>

#include "gamelogic/BlockData.h"

namespace EventTypes {
struct EventUpdateCollisionData;
}

namespace GameLogicView {

class BlockMan;

struct Bombs {
    static constexpr int32_t kBombObjectState = 9;

    static bool IsBomb(const BlockPtr& block);
    // The bomb rules of a collision report between two bodies: true when a
    // bomb went off (the ordinary block rules are then skipped).
    static bool OnBombCollision(BlockMan& blocks, const EventTypes::EventUpdateCollisionData& report);
    // The explosion on behalf of owner and team. Nothing for a bomb that
    // already exploded, one in a hand or a pouch, or one no longer
    // registered (deleted for another reason while its chain timer ran).
    static void ExplodeBomb(BlockMan& blocks, const BlockPtr& bomb, uint16_t owner, uint8_t team);
    // The explosion step chain steps ([LOGIC] BombChainExplodeDelay each)
    // from now.
    static void ChainExplode(BlockMan& blocks, const BlockPtr& bomb, uint16_t owner, uint8_t team, int step);
};

}  // namespace GameLogicView
