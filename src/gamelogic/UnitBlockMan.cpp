#include "gamelogic/UnitBlockMan.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerManager.h"
#include "gamelogic/Timers.h"

namespace GameLogicView {

void UnitBlockMan::AddFreeBlock(const BlockPtr& block) {
    if (!block || m_index.count(block.get())) return;
    m_list.push_back(block);
    m_index[block.get()] = std::prev(m_list.end());
}

void UnitBlockMan::RemoveFreeBlock(const BlockPtr& block) {
    if (!block) return;
    const auto it = m_index.find(block.get());
    if (it == m_index.end()) return;
    m_list.erase(it->second);
    m_index.erase(it);
}

UnitBlockMan::List::const_iterator UnitBlockMan::Find(const BlockPtr& block) const {
    const auto it = m_index.find(block.get());
    return it == m_index.end() ? m_list.end() : List::const_iterator(it->second);
}

void UnitBlockMan::Clear() {
    m_index.clear();
    m_list.clear();
}

void UnitBlockMan::DeleteExcessBlocks(MiravGameLogic* logic) {
    const size_t n = m_list.size();
    if (n <= m_maxFree) return;
    const size_t surplus = n - m_maxFree;
    const size_t k = std::min(2 * surplus, n);

    std::vector<Player*> players;
    if (logic) logic->GetPlayerManager().GetAllPlayers(players);

    std::vector<std::pair<float, BlockPtr>> candidates;
    candidates.reserve(k);
    auto it = m_list.begin();
    for (size_t i = 0; i < k; ++i, ++it) {
        const Geometry::Vector3 p = (*it)->GetPosition();
        float d = 1000000.0f;
        for (const Player* player : players) d = std::min(d, (p - player->GetPosition()).LengthSquared());
        candidates.emplace_back(d, *it);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = 0; i < surplus; ++i) FadeBlock(logic, candidates[i].second);
}

void UnitBlockMan::FadeBlock(MiravGameLogic* logic, const BlockPtr& block) {
    RemoveFreeBlock(block);
    block->SetState(BlockState::kFading);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateBlockFade>(static_cast<int16_t>(block->GetId())));
    if (!logic) return;
    const int fade = static_cast<int>(GetLogicSettings().unitBlockFadeTime) + 150;
    AttachAfter(&logic->GetProcessManager(), fade,
                ProcessSystem::MakeFunctorProcess([block, logic]() { DeleteFadedBlock(block, logic); }));
}

void UnitBlockMan::DeleteFadedBlock(const BlockPtr& block, MiravGameLogic* logic) {
    if (!block || !logic) return;
    const uint16_t id = block->GetId();
    if (block->actor) block->actor->RefreshInPhysics();
    if (BlockMan* blocks = logic->GetBlockMan()) blocks->RemoveBlock(id);
    logic->DeleteActor(id);
}

DeleteExcessBlocksLoop::DeleteExcessBlocksLoop(BlockMan* blocks, MiravGameLogic* logic, int32_t period,
                                               int32_t countdown)
    : IProcess(7), m_blocks(blocks), m_logic(logic), m_period(period), m_countdown(countdown) {}

void DeleteExcessBlocksLoop::OnUpdate(int ms) {
    m_countdown -= ms;
    if (m_countdown < 0) {
        if (m_blocks) m_blocks->GetUnitBlockMan().DeleteExcessBlocks(m_logic);
        m_countdown = m_period;
    }
}

}  // namespace GameLogicView
