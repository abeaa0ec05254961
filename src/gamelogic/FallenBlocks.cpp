#include "gamelogic/FallenBlocks.h"

#include <vector>

#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/UnitBlockMan.h"

namespace GameLogicView {

FallenBlocksSweep::FallenBlocksSweep(BlockMan* blocks, MiravGameLogic* logic, int32_t period)
    : IProcess(7), m_blocks(blocks), m_logic(logic), m_period(period > 0 ? period : kPeriod), m_countdown(m_period) {}

void FallenBlocksSweep::OnUpdate(int ms) {
    m_countdown -= ms;
    if (m_countdown >= 0) return;
    m_countdown = m_period;
    if (m_blocks) Sweep(*m_blocks, m_logic);
}

int FallenBlocksSweep::Sweep(BlockMan& blocks, MiravGameLogic* logic) {
    std::vector<BlockPtr> fallen;
    for (const auto& [id, block] : blocks.AllBlocks()) {
        if (!block || !block->actor || block->IsType(ActorTypes::kFlag)) continue;
        const int32_t state = block->GetState();
        // In a hand or pouch the block goes where its player goes; a fading
        // one is on its way out already.
        if (state == BlockState::kHeld || state == BlockState::kPouch || state == BlockState::kFading) continue;
        if (block->GetPosition().y < kOutOfWorldY) fallen.push_back(block);
    }
    for (const BlockPtr& block : fallen) blocks.GetUnitBlockMan().FadeBlock(logic, block);
    blocks.CountFallen(static_cast<int>(fallen.size()));
    return static_cast<int>(fallen.size());
}

}  // namespace GameLogicView
