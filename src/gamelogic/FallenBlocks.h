// Blocks that fell out of the level (knocked through the floor) fade and are
// deleted, so they neither fall for ever in the physics nor spread the
// physics grid over the area they drift across.
#pragma once

#include <cstdint>

#include "processes/Process.h"

namespace GameLogicView {

class BlockMan;
class MiravGameLogic;

class FallenBlocksSweep : public ProcessSystem::IProcess {
public:
    static constexpr int32_t kPeriod = 100;
    // Below this height a block has left the level (its floor is at 0).
    static constexpr float kOutOfWorldY = -10.0f;

    FallenBlocksSweep(BlockMan* blocks, MiravGameLogic* logic, int32_t period = kPeriod);
    void OnUpdate(int ms) override;
    // Fades every fallen block now (flags aside: their rules bring them
    // home); returns how many.
    static int Sweep(BlockMan& blocks, MiravGameLogic* logic);

private:
    BlockMan* m_blocks;
    MiravGameLogic* m_logic;
    int32_t m_period;
    int32_t m_countdown;
};

}  // namespace GameLogicView
