#include "gamelogic/PlayerManager.h"

#include <cmath>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/PlayerProcs.h"
#include "gamelogic/Timers.h"
#include "physics/PhysBody.h"
#include "processes/Process.h"

namespace GameLogicView {

PlayerManager::PlayerManager() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    m_registry->Register(EventTypes::EventHackActorView::GetStaticType(), this, &PlayerManager::OnHackActorView);
}

PlayerManager::~PlayerManager() = default;

Player* PlayerManager::AddPlayer(const std::shared_ptr<Actor>& actor) {
    if (!actor) return nullptr;
    auto it = m_players.find(actor->actorId);
    if (it == m_players.end()) it = m_players.emplace(actor->actorId, Player(actor)).first;
    return &it->second;
}

Player* PlayerManager::GetPlayer(uint16_t actorId) {
    const auto it = m_players.find(actorId);
    return it == m_players.end() ? nullptr : &it->second;
}

void PlayerManager::GetAllPlayers(std::vector<Player*>& out) {
    // One allocation for a fresh list instead of a growth step per player.
    out.reserve(out.size() + m_players.size());
    for (auto& [id, player] : m_players) out.push_back(&player);
}

void PlayerManager::GetTeamPlayers(std::vector<Player*>& out, uint8_t team) {
    out.reserve(out.size() + m_players.size());
    for (auto& [id, player] : m_players)
        if (player.GetTeam() == team) out.push_back(&player);
}

bool PlayerManager::OnHackActorView(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventHackActorView*>(&event);
    if (e == nullptr || e->GetPayload() == nullptr) return false;
    const EventTypes::EventHackActorViewData& data = *e->GetPayload();
    if (!data.viewDirection.IsFinite()) return false;
    if (Player* player = GetPlayer(static_cast<uint16_t>(data.actorId))) player->viewDirection = data.viewDirection;
    return false;
}

bool PlayerManager::DropFlag(uint16_t playerId, uint16_t flagId) {
    Player* player = GetPlayer(playerId);
    if (!player || player->carryingFlag == 0 || !player->heldBlock || player->heldBlock->GetId() != flagId)
        return false;
    player->ClearHeldBlock();
    player->carryingFlag = 0;
    if (!player->pouch.empty()) player->SetHeldBlock(player->TakeFromPouch());
    return false;
}

bool PlayerManager::Jump(uint16_t actorId) {
    Player* player = GetPlayer(actorId);
    if (!player || player->IsDead() || player->jumpCount >= 2 || player->jumpReady != 1) return false;
    const LogicSettings& s = GetLogicSettings();
    const uint32_t before = player->jumpCount;
    player->ApplyJump();
    // Landing is allowed again before the double jump's own end is checked,
    // so with equal delays the double jump still ends by itself.
    player->mayLand = 0;
    AttachAfter(m_processes, static_cast<int>(s.jumpAllowResetDelay),
                ProcessSystem::MakeFunctorProcess([player]() { player->AllowLanding(); }));
    if (before == 1)
        AttachAfter(m_processes, static_cast<int>(s.jumpResetDelay),
                    std::make_shared<ResetJumpCountProcess>(this, actorId, player->jumpSerial));
    player->jumpReady = 0;
    AttachAfter(m_processes, static_cast<int>(s.jumpDoubleJumpDelay),
                ProcessSystem::MakeFunctorProcess([player]() { player->AllowJump(); }));
    return true;
}

bool PlayerManager::OnHitByBlock(const EventTypes::EventUpdateCollisionData& report, const BlockPtr& block,
                                 Player* player) {
    if (!block || !player) return false;
    if (block->state != BlockState::kPlaced && block->state != BlockState::kFree) return false;
    const Geometry::Vector3 n = report.normal;
    if (!n.IsFinite()) return false;
    if (std::fabs(n.y) > 0.9f) {
        player->OnLanded();
    } else if (block->state == BlockState::kPlaced && player->airborne == 1) {
        const LogicSettings& s = GetLogicSettings();
        player->canMove = 0;
        AttachAfter(m_processes, static_cast<int>(s.jumpMovementEnableAfterHitDelay),
                    ProcessSystem::MakeFunctorProcess([player]() { player->EnableMove(); }));
        if (player->actor && player->actor->body)
            player->actor->body->SetVelocity(player->GetVelocity() + n * s.jumpBounceBackVelocity);
    }
    return false;
}

bool PlayerManager::CommandThrow(uint16_t actorId, const Geometry::Vector3& aim) {
    Player* player = GetPlayer(actorId);
    if (!player || player->IsDead() || !player->HasHeldBlock() || player->canThrow != 1) return false;
    if (!player->ThrowBlock(aim, m_processes, m_blocks)) return false;
    player->canThrow = 0;
    AttachAfter(m_processes, static_cast<int>(GetLogicSettings().lockTimeAfterThrow),
                ProcessSystem::MakeFunctorProcess([player]() { player->AllowThrow(); }));
    return true;
}

void AttachBlockToPlayer(Actor& player, BlockData& block) {
    player.FollowCarrier();
    block.rotation = Geometry::kIdentityQuaternion;
    if (block.actor && block.actor->body) block.actor->body->SetOrientation(player.GetOrientation());
    block.SetState(BlockState::kHeld);
    if (block.actor) block.actor->StopBody();
}

bool PlayerManager::CommandPickUp(uint16_t actorId) {
    Player* player = GetPlayer(actorId);
    if (!player || !player->actor || !m_blocks) return false;
    const Geometry::Vector3 position = player->GetPosition();
    const Geometry::Vector3 view = player->viewDirection.IsFinite() ? player->viewDirection : Geometry::kZeroVector;
    BlockPtr block;
    m_blocks->PickBlock(block, position, view);
    // The second try replaces only the view's y: the picker's tilt still
    // applies, so it looks down only when the tilt is below 1.
    if (!block) m_blocks->PickBlock(block, position, Geometry::Vector3(view.x, -1.0f, view.z));
    if (!block || !block->actor) return false;
    // Where it lay: the report lets the views move it from there.
    const Geometry::Vector3 blockPosition = block->GetPosition();
    const bool taken = block->IsType(ActorTypes::kFlag) ? player->PickUpFlag(m_blocks, block)
                                                        : player->PickUpBlock(m_blocks, block);
    if (!taken) return false;
    AttachBlockToPlayer(*player->actor, *block);
    player->canPickUp = 0;
    AttachAfter(m_processes, static_cast<int>(GetLogicSettings().lockTimeAfterPickup),
                ProcessSystem::MakeFunctorProcess([player]() { player->AllowPickUp(); }));
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdatePickUpBlock>(
        static_cast<int16_t>(actorId), static_cast<int16_t>(block->GetId()), player->team, position,
        block->TurnedExtents(), blockPosition));
    return true;
}

std::vector<std::shared_ptr<EventTypes::EventUpdateHeldBlocks>> PlayerManager::HeldBlocksSnapshot() const {
    constexpr int kEntries = EventTypes::EventUpdateHeldBlocksData::kEntries;
    std::vector<std::shared_ptr<EventTypes::EventUpdateHeldBlocks>> out;
    for (const auto& [id, player] : m_players) {
        if (player.IsDead()) continue;
        int16_t ids[kEntries];
        for (int16_t& v : ids) v = -1;
        if (player.heldBlock) ids[0] = static_cast<int16_t>(player.heldBlock->GetId());
        // Newest first; a pouch longer than the snapshot's room (which the
        // pouch rules do not allow) loses its oldest entries, never the bounds.
        int entry = 1;
        for (auto it = player.pouch.rbegin(); it != player.pouch.rend() && entry < kEntries; ++it, ++entry)
            ids[entry] = *it ? static_cast<int16_t>((*it)->GetId()) : static_cast<int16_t>(-1);
        out.push_back(std::make_shared<EventTypes::EventUpdateHeldBlocks>(static_cast<int16_t>(id), ids));
    }
    return out;
}

void ResetJumpCountProcess::OnUpdate(int) {
    Player* player = m_players ? m_players->GetPlayer(m_actorId) : nullptr;
    if (player && m_players->GetLogic() && player->jumpSerial == m_serial && player->mayLand == 1) {
        player->canMove = 1;
        player->jumpCount = 0;
        player->airborne = 0;
    }
    Kill();
}

void ResetFlagThrown::OnUpdate(int) {
    if (m_player) m_player->flagThrown = 0;
    Kill();
}

void PlayerManager::SendStateToClient(const std::function<void(std::shared_ptr<EventSystem::IEvent>)>& send) const {
    for (auto& report : HeldBlocksSnapshot()) send(std::move(report));
}

}  // namespace GameLogicView
