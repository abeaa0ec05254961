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
    // Nearly always nothing has fallen, and the walk's cost is memory: each
    // block's height lies three records away (block, actor, body), scattered
    // over the heap. The walk reads the flat listing and asks for each
    // block's records a few blocks ahead of its turn.
    const std::vector<BlockMan::Listed>& listing = blocks.Listing();
    std::vector<uint16_t> fallenIds;
    for (size_t i = 0; i < listing.size(); ++i) {
        BlockMan::PrefetchAhead(listing, i);
        const BlockData* block = listing[i].block;
        if (!block) continue;
        const int32_t state = block->GetState();
        // In a hand or pouch the block goes where its player goes; a fading
        // one is on its way out already.
        if (state == BlockState::kHeld || state == BlockState::kPouch || state == BlockState::kFading) continue;
        if (!block->actor || block->IsType(ActorTypes::kFlag)) continue;
        if (block->GetPosition().y < kOutOfWorldY) fallenIds.push_back(listing[i].id);
    }
    // All taken before the first fade: the fades change the table.
    std::vector<BlockPtr> fallen;
    fallen.reserve(fallenIds.size());
    for (uint16_t id : fallenIds) fallen.push_back(blocks.GetBlock(id));
    for (const BlockPtr& block : fallen) blocks.GetUnitBlockMan().FadeBlock(logic, block);
    blocks.CountFallen(static_cast<int>(fallen.size()));
    return static_cast<int>(fallen.size());
}

}  // namespace GameLogicView
