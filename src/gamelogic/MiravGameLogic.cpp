#include "gamelogic/MiravGameLogic.h"

#include "core/GlobalGameState.h"

namespace GameLogicView {

MiravGameLogic::MiravGameLogic(GameRunner* runner) : BaseGameLogic(runner) {}

void MiravGameLogic::OnUpdate(int ms) {
    // A paused game (byte 12) runs no processes but still delivers events.
    const bool paused = GlobalGameState::Instance()->GetFlag(12) != 0;
    UpdateBase(ms, !paused);
}

}  // namespace GameLogicView
