// The authoritative game logic. For now only its frame: the rules, the
// managers and the match flow arrive with the game logic proper.
#pragma once

#include "gamelogic/BaseGameLogic.h"

namespace GameLogicView {

class MiravGameLogic : public BaseGameLogic {
public:
    explicit MiravGameLogic(GameRunner* runner);
    void OnUpdate(int ms) override;
};

}  // namespace GameLogicView
