// The joining machine's logic: no rules of its own. Until the networking is
// built it runs only the base frame.
#pragma once

#include "gamelogic/BaseGameLogic.h"

namespace GameLogicView {

class NetworkClientLogic : public BaseGameLogic {
public:
    explicit NetworkClientLogic(GameRunner* runner = nullptr) : BaseGameLogic(runner) {}
    void OnUpdate(int ms) override { UpdateBase(ms, true); }
    void LoadLevel() override {}
};

}  // namespace GameLogicView
