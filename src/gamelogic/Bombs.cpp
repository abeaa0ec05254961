#include "gamelogic/Bombs.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/RulesSettings.h"
#include "gamelogic/Timers.h"
#include "physics/PhysBody.h"

namespace GameLogicView {

namespace {
// Where a block sits exactly on the bomb there is no direction from it: the
// blast counts as coming from below, so the block is thrown upwards.
const Geometry::Vector3 kFromBelow(0.0f, -1.0f, 0.0f);
}  // namespace

bool Bombs::IsBomb(const BlockPtr& block) {
    return block && block->actor && block->actor->objectStateId == kBombObjectState;
}

bool Bombs::OnBombCollision(BlockMan& blocks, const EventTypes::EventUpdateCollisionData& report) {
    const BlockPtr a = blocks.GetBlock(static_cast<uint16_t>(report.actorIdA));
    const BlockPtr b = blocks.GetBlock(static_cast<uint16_t>(report.actorIdB));
    const bool aBomb = IsBomb(a);
    const bool bBomb = IsBomb(b);
    const bool aThrown = aBomb && a->state == BlockState::kThrown;
    const bool bThrown = bBomb && b->state == BlockState::kThrown;
    const bool aOff = aThrown || (aBomb && bThrown);
    const bool bOff = bThrown || (bBomb && aThrown);

    bool aExploded = false;
    if (aOff) {
        if (aThrown) {
            ExplodeBomb(blocks, a, a->owner, a->team);
            aExploded = true;
        } else {
            a->owner = b->owner;
            a->team = b->team;
            ChainExplode(blocks, a, a->owner, a->team, 1);
        }
    }
    if (bOff) {
        if (!bThrown) {
            b->owner = a->owner;
            b->team = a->team;
            ChainExplode(blocks, b, b->owner, b->team, 1);
        } else if (aExploded) {
            ChainExplode(blocks, b, b->owner, b->team, 1);
        } else {
            ExplodeBomb(blocks, b, b->owner, b->team);
        }
    }
    return aOff || bOff;
}

void Bombs::ExplodeBomb(BlockMan& blocks, const BlockPtr& bomb, uint16_t owner, uint8_t team) {
    if (!bomb || !bomb->actor) return;
    const int32_t s = bomb->state;
    if (s == BlockState::kExploded || s == BlockState::kHeld || s == BlockState::kPouch) return;
    if (blocks.GetBlock(bomb->GetId()) != bomb) return;

    const RulesSettings& r = GetRulesSettings();
    const Geometry::Vector3 c = bomb->GetPosition();
    bomb->SetState(BlockState::kExploded);
    int k = 0;

    // Detaching changes the tables' contents, so walk a copy in table order.
    std::vector<BlockPtr> all;
    all.reserve(blocks.AllBlocks().size());
    for (const auto& [id, block] : blocks.AllBlocks()) all.push_back(block);

    const float effect2 = r.bombEffectRadius * r.bombEffectRadius;
    const float chain2 = r.bombDistToChain * r.bombDistToChain;
    for (const BlockPtr& b : all) {
        if (!b || !b->actor) continue;
        if (b->state == BlockState::kPouch || b->state == BlockState::kHeld || b->state == BlockState::kExploded)
            continue;
        if (b->IsType(ActorTypes::kSolid)) continue;
        const Geometry::Vector3 d = c - b->GetPosition();
        const float q = d.LengthSquared();
        if (!(q < effect2)) continue;
        const float m = std::max(q, 0.5f);
        blocks.DetachBlock(b);
        if (IsBomb(b) && m <= chain2) {
            ++k;
            ChainExplode(blocks, b, owner, team, k);
            continue;
        }
        if (b->state == BlockState::kThrown) {
            EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateBlockActive>(static_cast<int16_t>(b->GetId())));
            b->SetState(BlockState::kFree);
        }
        if (!b->actor->body) continue;
        Physics::PhysBody& body = *b->actor->body;
        const Geometry::Vector3 n = q > 0.0f ? d * (1.0f / std::sqrt(q)) : kFromBelow;
        Geometry::Vector3 e = body.GetOrientation().Rotate(b->actor->extents);
        e = Geometry::Vector3(std::fabs(e.x), std::fabs(e.y), std::fabs(e.z));
        const Geometry::Vector3 at = b->GetPosition() + Geometry::Vector3(n.x * e.x, n.y * e.y, n.z * e.z);
        body.ApplyImpulseAt(at, n * -(r.bombImpulse / m));
        body.SetVelocity(body.GetVelocity() - n * std::max(r.bombVelocityAdd / m, r.bombMinVelAdd));
    }
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateExplosion>(
        c, static_cast<int16_t>(owner), team, static_cast<int16_t>(bomb->GetId())));
}

void Bombs::ChainExplode(BlockMan& blocks, const BlockPtr& bomb, uint16_t owner, uint8_t team, int step) {
    MiravGameLogic* logic = blocks.GetLogic();
    if (!logic || !bomb) return;
    // The block manager is looked up when the timer fires: the record keeps
    // the bomb alive, the logic's current manager decides what it still is.
    AttachAfter(&logic->GetProcessManager(), static_cast<int>(GetRulesSettings().bombChainExplodeDelay) * step,
                ProcessSystem::MakeFunctorProcess([logic, bomb, owner, team]() {
                    if (BlockMan* current = logic->GetBlockMan()) ExplodeBomb(*current, bomb, owner, team);
                }));
}

}  // namespace GameLogicView
