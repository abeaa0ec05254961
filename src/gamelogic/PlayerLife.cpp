#include "gamelogic/PlayerLife.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/MiravGameLogic.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerManager.h"
#include "gamelogic/SpawnManager.h"
#include "gamelogic/Timers.h"
#include "physics/PhysBody.h"
#include "utility/Random.h"

namespace GameLogicView {

namespace {

// (x, z) of unit length, or (0, 0) when it has no direction.
Geometry::Vector2 Horizontal(float x, float z) {
    const Geometry::Vector2 v(x, z);
    const float len2 = v.LengthSquared();
    if (!(len2 > 0.0f) || !std::isfinite(len2)) return Geometry::Vector2(0.0f, 0.0f);
    return v * (1.0f / std::sqrt(len2));
}

}  // namespace

bool PlayerLife::OnHitByThrownBlock(const EventTypes::EventUpdateCollisionData& report, const BlockPtr& block,
                                    Player& player, PlayerManager& players) {
    if (!block || !block->actor || block->state != BlockState::kThrown) return false;
    if (report.kind == 1) return false;
    if (block->team == player.GetTeam() || block->team == 255) return false;
    if (block->IsType(ActorTypes::kFlag)) return false;
    const LogicSettings& s = GetLogicSettings();
    if (!(std::fabs(report.normalSpeed) > s.collisSpeedForKill)) return false;
    if (player.IsDead() || player.invincible != 0) return false;

    Geometry::Vector3 d = block->actor->GetVelocity();
    float k = 1.0f;
    const float len = d.Length();
    if (!std::isfinite(len)) {
        d = Geometry::kZeroVector;
    } else if (len > 0.0f) {
        d = d * (1.0f / len);
        k = len / 10.0f;
    }
    const Geometry::Vector3 hit = report.point.IsFinite() ? report.point : player.GetPosition();
    Kill(player, d, hit, players, block->owner, k * s.blockKillImpulse);
    return true;
}

void PlayerLife::Kill(Player& player, const Geometry::Vector3& direction, const Geometry::Vector3& hitPoint,
                      PlayerManager& players, uint16_t killerId, float impulse) {
    MiravGameLogic* logic = players.GetLogic();
    if ((logic && logic->IsGameOver()) || player.IsDead()) return;
    DropAll(player, hitPoint, direction, impulse, logic);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateActorDeath>(
        static_cast<int16_t>(player.GetActorId()), static_cast<int16_t>(killerId), direction, hitPoint));
    AttachAfter(players.GetProcessManager(), GetLogicSettings().respawnDelay,
                std::make_shared<RespawnProcess>(&players, player.GetActorId()));
}

void PlayerLife::DropAll(Player& player, const Geometry::Vector3& hitPoint, const Geometry::Vector3& direction,
                         float impulse, MiravGameLogic* logic) {
    // Bad numbers must not reach the bodies: they count as no push at all.
    const Geometry::Vector3 d = direction.IsFinite() ? direction : Geometry::kZeroVector;
    const float k = std::isfinite(impulse) ? impulse : 0.0f;
    Actor* actor = player.GetActor().get();
    Physics::PhysBody* body = actor ? actor->body.get() : nullptr;
    if (body) {
        body->StopMoving();
        actor->StopBody();
        const Geometry::Vector3 e = body->GetOrientation().Rotate(actor->extents);
        const Geometry::Vector2 f = Horizontal(e.x, e.z);
        Geometry::Vector2 h(d.x, d.z);
        if (d.y != 0.0f) {
            h = Horizontal(d.x, d.z);
            if (h.LengthSquared() == 0.0f && hitPoint.IsFinite()) {
                const Geometry::Vector3 p = body->GetPosition();
                h = Horizontal(p.x - hitPoint.x, p.z - hitPoint.z);
            }
        }
        const Geometry::Vector3 lifted = body->GetPosition() + Geometry::Vector3(0.0f, 0.2f, 0.0f);
        body->SetPosition(lifted);
        const Geometry::Vector3 push(k * h.x, 0.0f, k * h.y);
        const Geometry::Vector3 offset(h.x * f.x, e.y, h.y * f.y);
        body->ApplyImpulseAt(lifted + offset, push);
    }
    player.dead = 1;

    if (BlockPtr held = player.GetHeldBlock()) {
        if (player.carryingFlag != 0) {
            player.carryingFlag = 0;
            EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateFlagDropped>(
                static_cast<int16_t>(player.GetActorId()), static_cast<int16_t>(held->GetId()), player.GetTeam(),
                held->actor ? held->actor->team : static_cast<uint8_t>(255)));
        }
        // The hand's block is let go where the hand holds it: a block taken
        // into the hand since the player last moved still lies where it was
        // kept (a pouch block's place is below the level).
        if (actor) actor->FollowCarrier();
        held->SetState(BlockState::kFree);
        if (held->actor && held->actor->body) held->actor->body->SetVelocity(player.GetVelocity() * 0.3f);
        player.ClearHeldBlock();
    }

    std::vector<BlockPtr> units;
    std::vector<BlockPtr> others;
    while (BlockPtr b = player.TakeFromPouch()) (b->IsUnitBlock() ? units : others).push_back(b);

    Geometry::Vector3 v = d * -5.5f;
    if (v.y < 0.1f) v.y = 0.1f;
    const Geometry::Vector3 origin = player.GetPosition();
    const Geometry::Quaternion orientation = player.GetOrientation();
    // The blocks are laid out along the direction only: a blast hands in the
    // offset from the bomb (up to its radius long), which spread the row over
    // tens of units, through the level's walls.
    const float dLength = d.Length();
    const Geometry::Vector3 along = dLength > 0.0f && std::isfinite(dLength) ? d * (1.0f / dLength) : d;
    int i = 0;
    for (const BlockPtr& b : others) {
        ++i;
        b->SetState(BlockState::kFree);
        float r = 0.4f;
        if (player.random) {
            player.random->SetRange(0.1f, 0.7f);
            r = player.random->Next();
        }
        const Geometry::Vector3 eb = b->actor ? b->actor->extents : Geometry::kZeroVector;
        const float t = static_cast<float>(i) * (r + 2.0f * along.Dot(eb));
        if (b->actor && b->actor->body) {
            Physics::PhysBody& bb = *b->actor->body;
            Geometry::Vector3 at = origin + along * t - Geometry::Vector3(0.0f, 1.5f, 0.0f);
            // Never into the floor the player stands on: a block whose centre
            // lies deep in the ground is pushed out through its underside.
            const Geometry::Vector3 turned = orientation.Rotate(eb);
            at.y = std::max(at.y, origin.y - 1.5f + std::fabs(turned.y));
            // Nor into the walls round the level: a player with its back to a
            // wall had its blocks laid out inside it, and the wall pushed
            // them out through its far side.
            if (logic) {
                const Geometry::Vector3& g = logic->GroundHalfExtents();
                const float rx = g.x - std::fabs(turned.x), rz = g.z - std::fabs(turned.z);
                if (rx > 0.0f) at.x = std::clamp(at.x, -rx, rx);
                if (rz > 0.0f) at.z = std::clamp(at.z, -rz, rz);
            }
            bb.SetPosition(at);
            bb.SetOrientation(orientation);
            bb.SetVelocity(v);
        }
    }
    for (const BlockPtr& b : units) {
        const uint16_t id = b->GetId();
        if (logic) {
            if (BlockMan* blocks = logic->GetBlockMan()) blocks->RemoveBlock(id);
            logic->DeleteActor(id);
        }
    }
}

void PlayerLife::Respawn(Player& player, PlayerManager& players) {
    MiravGameLogic* logic = players.GetLogic();
    SpawnManager* spawns = logic ? logic->GetSpawnManager() : nullptr;
    const Geometry::Vector3 p = spawns ? spawns->GetSpawnPoint(player.GetTeam()) : Geometry::Vector3(0.0f, 0.5f, 0.0f);
    const Geometry::Vector3 c = players.GetTeamFlagCentre(player.GetTeam() == 0 ? 1 : 0);
    const Geometry::Vector3 toward(c.x - p.x, 0.0f, c.z - p.z);
    // Forward is +z: the player looks along the horizontal line to the flags.
    const Geometry::Quaternion q = toward.IsFinite() && toward.LengthSquared() > 0.0f
                                       ? Geometry::Quaternion::FromTo(Geometry::Vector3(0.0f, 0.0f, 1.0f), toward)
                                       : Geometry::kIdentityQuaternion;
    if (player.GetActor() && player.GetActor()->body) {
        player.GetActor()->body->SetPosition(p);
        player.GetActor()->body->SetOrientation(q);
    }
    int16_t first = 0;
    int16_t last = 0;
    SpawnSetup(player, logic, players.GetProcessManager(), first, last);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateActorSpawn>(
        static_cast<int16_t>(player.GetActorId()), player.GetTeam(), p, q, first, last));
}

void PlayerLife::SpawnSetup(Player& player, MiravGameLogic* logic, ProcessSystem::ProcessManager* processes,
                            int16_t& first, int16_t& last) {
    if (player.GetActor() && player.GetActor()->body) player.GetActor()->body->SetMoveVelocity(0.0f, 0.0f);
    player.dead = 0;
    player.carryingFlag = 0;
    if (player.mayLand == 1) {
        player.canMove = 1;
        player.jumpCount = 0;
        player.airborne = 0;
    }
    CreateStartBlocks(player, logic, first, last);
    if (!player.GetPouch().empty()) player.SetHeldBlock(player.TakeFromPouch());
    player.invincible = 1;
    AttachAfter(processes, GetLogicSettings().invincible, std::make_shared<InvincibleProc>(&player));
}

void PlayerLife::CreateStartBlocks(Player& player, MiravGameLogic* logic, int16_t& first, int16_t& last) {
    first = 0;
    last = 0;
    if (!logic) return;
    const LogicSettings& s = GetLogicSettings();
    const uint8_t team = player.GetTeam();
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kBox);
    info.params.team = team;
    info.overrides.materialId =
        team == 0 ? s.defaultAngelBlockMaterial : team == 1 ? s.defaultDemonBlockMaterial : 0;
    info.position = Geometry::Vector3(0.0f, -10.0f, 0.0f);
    info.addToPhysics = true;
    for (int32_t n = 0; n < s.spawnInPouch; ++n) {
        const ActorPtr actor = logic->CreateActor(info);
        if (!actor) break;
        const BlockPtr block = logic->GetBlock(actor->actorId);
        if (!block) break;
        if (!player.AddToPouch(block)) {
            // No room even in the largest pouch: the block is not kept.
            logic->DeleteBlockActor(actor->actorId);
            break;
        }
        // Ids skip those still in use, so the last is the one really made.
        if (n == 0) first = static_cast<int16_t>(actor->actorId);
        last = static_cast<int16_t>(actor->actorId);
    }
}

void RespawnProcess::OnUpdate(int) {
    if (m_players)
        if (Player* player = m_players->GetPlayer(m_actorId)) PlayerLife::Respawn(*player, *m_players);
    Kill();
}

void InvincibleProc::OnUpdate(int) {
    if (m_player) m_player->invincible = 0;
    Kill();
}

}  // namespace GameLogicView
