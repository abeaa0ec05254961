// The authoritative game logic: owns the actors and the managers of players,
// blocks and the level's points, and creates actors for them. The match flow
// (initialisation, start of a game, reset) is built on top of this.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "gamelogic/Actor.h"
#include "gamelogic/BaseGameLogic.h"
#include "gamelogic/BlockData.h"
#include "gamelogic/ObjectStateTable.h"
#include "gamelogic/PlayerManager.h"
#include "utility/Geometry.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem

namespace GameLogicView {

class BlockMan;
class SpawnManager;
class CapMan;
class BombSpawnManager;

class MiravGameLogic : public BaseGameLogic {
public:
    explicit MiravGameLogic(GameRunner* runner);
    ~MiravGameLogic() override;
    void OnUpdate(int ms) override;

    // New spawn, capture-point and bomb spawn managers (the last with the
    // backdrop setting), a new block manager, and their wiring to the player
    // manager and the process list; the previous ones are dropped.
    void CreateManagers(bool backdrop);

    // Builds the actor (Actor.h) and hands it to its manager by type: blocks
    // to the block manager, players and bots to the player manager, flags to
    // the block manager. Null when no actor id is free.
    ActorPtr CreateActor(const ActorCreateInfo& info, const std::function<void(const ActorPtr&)>& onCreated = {});
    void CreateActorsFromList(const std::vector<ActorCreateInfo>& infos);
    // Removes the actor from the map and reports "LtVEventUpdateDeleteActor".
    void DeleteActor(uint16_t actorId);
    // The block record first, then the actor.
    void DeleteBlockActor(uint16_t actorId);
    ActorPtr GetActor(uint16_t actorId) const { return m_actors.GetActor(actorId); }
    BlockPtr GetBlock(uint16_t actorId) const;

    // Appends to the capture points of the team and tells the views.
    void AddCapturePoint(const Geometry::Vector3& position, uint8_t team);
    // "VtLCreateBlock": a bomb (object type 9) with a random spin and drift,
    // counted against the bomb spawner at its position. Never consumed.
    bool OnCreateBlock(const EventSystem::IEvent& event);

    ActorMan& GetActorMan() { return m_actors; }
    PlayerManager& GetPlayerManager() { return m_players; }
    ObjectStateTable& GetObjectStateTable() { return m_objectStates; }
    BlockMan* GetBlockMan() const { return m_blockMan.get(); }
    SpawnManager* GetSpawnManager() const { return m_spawnManager.get(); }
    CapMan* GetCapMan() const { return m_capMan.get(); }
    BombSpawnManager* GetBombSpawnManager() const { return m_bombSpawnManager.get(); }
    std::vector<Geometry::Vector3>& GuardPoints(uint8_t team) { return m_guardPoints[team == 0 ? 0 : 1]; }
    bool IsGameOver() const { return m_gameOver; }
    void SetGameOver(bool over) { m_gameOver = over; }
    bool IsVictoryEnabled() const { return m_victoryEnabled; }
    bool IsBackdrop() const { return m_backdrop; }
    void SetMatchKind(bool victoryEnabled, bool backdrop) {
        m_victoryEnabled = victoryEnabled;
        m_backdrop = backdrop;
    }

private:
    bool m_gameOver = false;
    std::shared_ptr<BlockMan> m_blockMan;
    ActorMan m_actors;
    PlayerManager m_players;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    ObjectStateTable m_objectStates;
    std::shared_ptr<SpawnManager> m_spawnManager;
    std::shared_ptr<CapMan> m_capMan;
    std::shared_ptr<BombSpawnManager> m_bombSpawnManager;
    std::vector<Geometry::Vector3> m_guardPoints[2];
    bool m_victoryEnabled = true;
    bool m_backdrop = false;
};

// The bomb a "VtLCreateBlock" asks for at the position: type "box", team 1,
// object state 9, scale 2, velocity and orientation drawn from the run's
// bomb generator (seed 50).
ActorCreateInfo MakeBombCreateInfo(const Geometry::Vector3& position);
// Test support: the next bomb starts a fresh generator.
void ResetBombGenerator();

}  // namespace GameLogicView
