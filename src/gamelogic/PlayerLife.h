// Death, respawn and invincibility of the players: an enemy's thrown block or
// bomb kills; death spills the hand and the pouch and starts the respawn timer;
// a respawn puts the player on its team's next spawn point facing the enemy
// flags, with a fresh pouch, invincible for a while. The first respawn of a
// new player brings it into the game: the logic attaches a RespawnProcess when
// it hands a new player actor to the player manager.
#pragma once

#include <cstdint>

#include "gamelogic/BlockData.h"
#include "processes/Process.h"
#include "utility/Geometry.h"

namespace EventTypes {
struct EventUpdateCollisionData;
}

namespace GameLogicView {

class MiravGameLogic;
class Player;
class PlayerManager;

struct PlayerLife {
    // The kill rule of a thrown block (state 2) touching a player: an impact
    // (not a resting contact) faster than [LOGIC] CollisSpeedForKill by a
    // block of another team (not a flag, not a harmless one of team 255) kills
    // a living, vulnerable player. True when it killed.
    static bool OnHitByThrownBlock(const EventTypes::EventUpdateCollisionData& report, const BlockPtr& block,
                                   Player& player, PlayerManager& players);

    // Nothing after a victory or for a dead player; otherwise the spill, the
    // death report and the respawn timer ([LOGIC] RespawnDelay).
    static void Kill(Player& player, const Geometry::Vector3& direction, const Geometry::Vector3& hitPoint,
                     PlayerManager& players, uint16_t killerId, float impulse);
    // The spill of a death: the body stops and topples away from the hit, the
    // hand's block falls (a carried flag is reported dropped), the pouch's
    // larger blocks are laid out behind the player and its unit blocks deleted.
    static void DropAll(Player& player, const Geometry::Vector3& hitPoint, const Geometry::Vector3& direction,
                        float impulse, MiravGameLogic* logic);
    // To the team's next spawn point facing the enemy flags' centre (forward
    // is +z), alive with a fresh pouch, then "LtVUpdateActorSpawn".
    static void Respawn(Player& player, PlayerManager& players);
    // Alive, standing, the start blocks made, the oldest in the hand, and
    // invincible for [LOGIC] Invincible ms. first and last are the ids of the
    // first and last block made (0 and 0 when none).
    static void SpawnSetup(Player& player, MiravGameLogic* logic, ProcessSystem::ProcessManager* processes,
                           int16_t& first, int16_t& last);
    // [LOGIC] SpawnInPouch unit blocks of the team's material into the pouch.
    static void CreateStartBlocks(Player& player, MiravGameLogic* logic, int16_t& first, int16_t& last);
};

// Brings the player back (or into the game) when it still exists.
class RespawnProcess : public ProcessSystem::IProcess {
public:
    RespawnProcess(PlayerManager* players, uint16_t actorId) : IProcess(7), m_players(players), m_actorId(actorId) {}
    void OnUpdate(int ms) override;

private:
    PlayerManager* m_players;
    uint16_t m_actorId;
};

// Ends the invincibility after a spawn.
class InvincibleProc : public ProcessSystem::IProcess {
public:
    explicit InvincibleProc(Player* player) : IProcess(7), m_player(player) {}
    void OnUpdate(int ms) override;

private:
    Player* m_player;
};

}  // namespace GameLogicView
