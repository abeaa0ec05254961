// The authoritative game, on a single machine and on a host: it owns every
// actor, player, block, flag and point, starts a game on request, runs the
// rules through its listeners and managers, and resets after a game over.
#pragma once

#include <cstdint>
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
namespace Physics {
class PhysProc;
}

namespace GameLogicView {

class BlockMan;
class BombSpawnManager;
class CapMan;
class FlagMan;
class ScoreMan;
class SpawnManager;

class MiravGameLogic : public BaseGameLogic {
public:
    // The logic's state number.
    enum State : int {
        kStarting = 0,     // the next running frame starts the game
        kInitialised = 1,  // the next running frame moves to kStarting
        kStarted = 2,      // stays through game over and reset until the next initialisation
        kConstructed = 3,  // never initialised
    };
    using ActorCallback = std::function<void(const ActorPtr&)>;

    explicit MiravGameLogic(GameRunner* runner);
    ~MiravGameLogic() override;

    // Paused (global byte 12): events and views only. Otherwise processes,
    // events and views, then the start of a game two frames after its
    // initialisation.
    void OnUpdate(int ms) override;
    // Ground, walls, the level file's contents, the flag centres and (capture
    // the flag only) bots up to the level's team size.
    void LoadLevel() override;

    // Listeners; each returns false.
    bool OnInitializeGameLogic(const EventSystem::IEvent& event);
    bool OnGameOver(const EventSystem::IEvent& event);
    bool OnActorMove(const EventSystem::IEvent& event);
    bool OnCommandActorTurn(const EventSystem::IEvent& event);
    bool OnCommandActorJump(const EventSystem::IEvent& event);
    bool OnCommandThrowBlock(const EventSystem::IEvent& event);
    bool OnCommandPickUpBlock(const EventSystem::IEvent& event);
    bool OnClientToBot(const EventSystem::IEvent& event);
    bool OnCollision(const EventSystem::IEvent& event);
    bool OnUpdateExplosion(const EventSystem::IEvent& event);
    // "VtLCreateBlock": a bomb (object type 9) with a random spin and drift,
    // counted against the bomb spawner at its position.
    bool OnCreateBlock(const EventSystem::IEvent& event);

    // New spawn, capture-point, bomb spawn and score managers (the bomb
    // spawners with the backdrop setting) and a new block manager, wired to
    // the player and flag managers and the process list; the previous ones
    // are dropped. Part of every initialisation.
    void CreateManagers(bool backdrop);

    // Actors. CreateActor reports the new actor to the views and hands it to
    // the block, player and flag managers by type; null when no id is free.
    ActorPtr CreateActor(const ActorCreateInfo& info, const ActorCallback& callback = {});
    void CreateActorsFromList(const std::vector<ActorCreateInfo>& infos);
    // Removes the actor and reports its deletion.
    void DeleteActor(uint16_t id);
    // The block record first, then the actor.
    void DeleteBlockActor(uint16_t id);
    ActorPtr GetActor(uint16_t id) const;
    BlockPtr GetBlock(uint16_t id) const;

    // Players. A joining human takes over the first bot of its team, or gets
    // a new character at the team's next spawn point.
    void CreatePlayer(uint8_t team);
    // The local player (team from global byte 0), unless this is the match
    // behind the menus.
    void CreateLocalPlayer();
    // A bot actor at the team's next spawn point with its bot view attached.
    Player* AddBot(uint8_t team);
    // "LtVJoinConfirmed" with the integer, the actor's id and the team.
    void SendGameIDs(int32_t reserved, const ActorPtr& actor, uint8_t team);
    // Puts a picked block on top of its player, held.
    void AttachBlockToPlayer(const ActorPtr& playerActor, const BlockPtr& block);

    // Detaches every process, drops the physics, empties actors, players,
    // blocks, flags and points. The block manager object, the object-state
    // table, the listeners, the views and the actor id counter survive.
    void Reset();

    // Points of the level (filled by the level load).
    void AddCapturePoint(const Geometry::Vector3& position, uint8_t team);
    void AddGuardPoint(uint8_t team, const Geometry::Vector3& position);
    // Replaces out by the guard points of team 1 when team is not 0, else team 0.
    void GetGuardPoints(std::vector<Geometry::Vector3>& out, uint8_t team) const;

    // Players per team once bots fill up: the level's own number when 0 (the
    // default), else this one (1..16). Headless matches set it.
    void SetTeamSizeOverride(int teamSize) { m_teamSizeOverride = teamSize; }
    int GetTeamSizeOverride() const { return m_teamSizeOverride; }

    bool IsGameOver() const { return m_gameOver; }
    void SetGameOver(bool over) { m_gameOver = over; }
    bool IsVictoryEnabled() const { return m_victoryEnabled; }
    bool IsBackdrop() const { return m_backdrop; }
    // Half the size of the loaded level's ground (its walls stand beyond);
    // zero while no level is loaded.
    const Geometry::Vector3& GroundHalfExtents() const { return m_groundHalf; }
    void SetMatchKind(bool victoryEnabled, bool backdrop) {
        m_victoryEnabled = victoryEnabled;
        m_backdrop = backdrop;
    }
    std::vector<Geometry::Vector3>& GuardPoints(uint8_t team) { return m_guardPoints[team == 0 ? 0 : 1]; }

    ActorMan& GetActorMan() { return m_actors; }
    PlayerManager& GetPlayerManager() { return m_players; }
    FlagMan& GetFlagMan() { return *m_flags; }
    BlockMan* GetBlockMan() const { return m_blockMan.get(); }
    const std::shared_ptr<BlockMan>& GetBlockManPtr() const { return m_blockMan; }
    ObjectStateTable& GetObjectStateTable() { return m_objectStates; }
    SpawnManager* GetSpawnManager() const { return m_spawns.get(); }
    CapMan* GetCapMan() const { return m_capPoints.get(); }
    BombSpawnManager* GetBombSpawnManager() const { return m_bombSpawns.get(); }
    ScoreMan* GetScoreMan() const { return m_score.get(); }
    Physics::PhysProc* GetPhysProc() const { return m_physProc.get(); }

private:
    // Warns when NumFlags asks more flags of a team than the level gives it.
    void CheckFlagsToLose(const std::string& levelFile) const;
    bool m_gameOver = false;
    std::shared_ptr<BlockMan> m_blockMan;
    std::unique_ptr<FlagMan> m_flags;
    ActorMan m_actors;
    PlayerManager m_players;
    std::shared_ptr<Physics::PhysProc> m_physProc;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    ObjectStateTable m_objectStates;
    std::shared_ptr<SpawnManager> m_spawns;
    std::shared_ptr<CapMan> m_capPoints;
    std::shared_ptr<BombSpawnManager> m_bombSpawns;
    std::shared_ptr<ScoreMan> m_score;
    std::vector<Geometry::Vector3> m_guardPoints[2];
    int m_teamSizeOverride = 0;
    bool m_victoryEnabled = true;
    bool m_backdrop = false;
    Geometry::Vector3 m_groundHalf;
    // Set by an initialisation, cleared by the reset: a second initialisation
    // without a game over in between resets first.
    bool m_running = false;
};

// The bomb a "VtLCreateBlock" asks for at the position: type "box", team 1,
// object state 9, scale 2, velocity and orientation drawn from the run's
// bomb generator (seed 50).
ActorCreateInfo MakeBombCreateInfo(const Geometry::Vector3& position);
// Test support: the next bomb starts a fresh generator.
void ResetBombGenerator();

}  // namespace GameLogicView
