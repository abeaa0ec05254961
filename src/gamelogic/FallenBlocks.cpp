#include "gamelogic/FallenBlocks.h"

#include <vector>

#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/UnitBlockMan.h"
#include "physics/PhysBody.h"

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
    // over the heap. The records are listed first and asked for a few blocks
    // ahead of their turn, so the reads overlap instead of waiting one by one.
    const BlockMan::Table& all = blocks.AllBlocks();
    std::vector<const BlockPtr*> order;
    order.reserve(all.size());
    for (const auto& entry : all) {
        order.push_back(&entry.second);
        if (entry.second) __builtin_prefetch(entry.second.get());
    }
    constexpr size_t kActorAhead = 8;
    constexpr size_t kBodyAhead = 4;
    std::vector<BlockPtr> fallen;
    const size_t n = order.size();
    for (size_t i = 0; i < n; ++i) {
        if (i + kActorAhead < n)
            if (const BlockData* ahead = order[i + kActorAhead]->get())
                if (const Actor* actor = ahead->actor.get()) __builtin_prefetch(actor);
        if (i + kBodyAhead < n)
            if (const BlockData* ahead = order[i + kBodyAhead]->get())
                if (const Actor* actor = ahead->actor.get())
                    if (const Physics::PhysBody* body = actor->body.get()) __builtin_prefetch(&body->GetPosition());
        const BlockPtr& block = *order[i];
        if (!block) continue;
        const int32_t state = block->GetState();
        // In a hand or pouch the block goes where its player goes; a fading
        // one is on its way out already.
        if (state == BlockState::kHeld || state == BlockState::kPouch || state == BlockState::kFading) continue;
        if (!block->actor || block->IsType(ActorTypes::kFlag)) continue;
        if (block->GetPosition().y < kOutOfWorldY) fallen.push_back(block);
    }
    for (const BlockPtr& block : fallen) blocks.GetUnitBlockMan().FadeBlock(logic, block);
    blocks.CountFallen(static_cast<int>(fallen.size()));
    return static_cast<int>(fallen.size());
}

}  // namespace GameLogicView
