// Every player of the running game by actor id: look-ups and team queries
// for the rules, the bots and the network; the jump with its timers; the
// landing and knock-back rules of touching a block; the view directions the
// views report; the held-blocks snapshot for a joining machine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "gamelogic/Player.h"
#include "utility/Geometry.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem
namespace EventTypes {
struct EventUpdateCollisionData;
class EventUpdateHeldBlocks;
}  // namespace EventTypes
namespace ProcessSystem {
class ProcessManager;
class IProcess;
}  // namespace ProcessSystem

namespace GameLogicView {

class Actor;
class BlockMan;
class MiravGameLogic;

// Puts a picked block on top of its player, turned as the player and held.
void AttachBlockToPlayer(Actor& player, BlockData& block);

class PlayerManager {
public:
    PlayerManager();
    ~PlayerManager();
    PlayerManager(const PlayerManager&) = delete;
    PlayerManager& operator=(const PlayerManager&) = delete;

    // Wiring by the logic's initialisation; all may be null (no game runs).
    void SetLogic(MiravGameLogic* logic) { m_logic = logic; }
    void SetProcessManager(ProcessSystem::ProcessManager* processes) { m_processes = processes; }
    void SetBlockMan(BlockMan* blocks) { m_blocks = blocks; }
    MiravGameLogic* GetLogic() const { return m_logic; }
    ProcessSystem::ProcessManager* GetProcessManager() const { return m_processes; }
    BlockMan* GetBlockMan() const { return m_blocks; }

    // A player for the actor under its id (an id already present keeps its
    // player). The player starts dead: its first respawn brings it in.
    Player* AddPlayer(const std::shared_ptr<Actor>& actor);
    // Null for an id without a player; valid until the map is cleared.
    Player* GetPlayer(uint16_t actorId);
    void GetAllPlayers(std::vector<Player*>& out);
    void GetTeamPlayers(std::vector<Player*>& out, uint8_t team);
    size_t Count() const { return m_players.size(); }
    // Empties the map (the logic's reset).
    void Clear() { m_players.clear(); }

    // "VtLHackActorView": the player's view direction; never consumed. A
    // direction that is not finite is ignored.
    bool OnHackActorView(const EventSystem::IEvent& event);
    // A carried flag with that id leaves the hand (captured); the oldest
    // pouched block takes its place. Always false.
    bool DropFlag(uint16_t playerId, uint16_t flagId);

    // A jump (or the double jump) with its timers; true when it happened.
    bool Jump(uint16_t actorId);
    // Touching a placed or free block: landing on it (or bumping under it),
    // or, when airborne, a knock-back off a placed block's side. The normal
    // points from the block towards the player. False (nobody was killed).
    bool OnHitByBlock(const EventTypes::EventUpdateCollisionData& report, const BlockPtr& block, Player* player);

    // The throw and pick-up commands of a player, as the logic's command
    // handlers carry them out: the conditions, the action, the lock that
    // follows it (LockTimeAfterThrow, LockTimeAfterPickup) and, for a
    // pick-up, the block on top of the player and "LtVUpdatePickUpBlock".
    // True when the player threw or picked up.
    bool CommandThrow(uint16_t actorId, const Geometry::Vector3& aim);
    bool CommandPickUp(uint16_t actorId);

    // What every live player holds, one "LtVHeldBlocks" per player in id
    // order: entry 0 the hand, then the pouch from newest to oldest, -1 in
    // the rest. Never more than the event's 17 entries. The network layer
    // packs these for a joining machine.
    std::vector<std::shared_ptr<EventTypes::EventUpdateHeldBlocks>> HeldBlocksSnapshot() const;
    // Hands each of those reports to `send`, which the host's network code
    // binds to the joining peer's connection, its own sender id and clock.
    void SendStateToClient(const std::function<void(std::shared_ptr<EventSystem::IEvent>)>& send) const;

    void SetTeamFlagCentre(uint8_t team, const Geometry::Vector3& centre) { m_flagCentre[team == 0 ? 0 : 1] = centre; }
    const Geometry::Vector3& GetTeamFlagCentre(uint8_t team) const { return m_flagCentre[team == 0 ? 0 : 1]; }
    const std::map<uint16_t, Player>& Players() const { return m_players; }

private:
    MiravGameLogic* m_logic = nullptr;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    BlockMan* m_blocks = nullptr;
    std::map<uint16_t, Player> m_players;
    Geometry::Vector3 m_flagCentre[2];
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
};

}  // namespace GameLogicView
