// The flags of a match: taken by walking into them, carried, thrown, dropped
// by a dying carrier, returned home by a team-mate or a timer, and captured at
// an enemy capture point. The flag manager keeps them by actor id and runs the
// checks every process update.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "gamelogic/BlockData.h"
#include "processes/Process.h"
#include "utility/Geometry.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem

namespace GameLogicView {

class Actor;
class BlockMan;
class CheckFlagStatusProc;
class MiravGameLogic;
class PlayerManager;

namespace FlagState {
enum : int32_t { kHome = 0, kCarried = 1, kDropped = 2, kCaptured = 3 };
}

// One flag. Not copyable: a flag owns its return timer and cancels it when it
// goes, so a copy that went out of scope would cancel the original's timer.
class Flag {
public:
    // Home is where the body is now; the block is placed (state 0).
    explicit Flag(const BlockPtr& block);
    ~Flag();
    Flag(const Flag&) = delete;
    Flag& operator=(const Flag&) = delete;

    // State 2 with a fresh return timer of [FLAGMAN] RespawnTime (the old
    // one cancelled). Without a process list no timer runs.
    void OnDropped(ProcessSystem::ProcessManager* processes);
    // Back home when dropped: "LtVFlagRecovered" names the returner (0xFFFF
    // for the timer). The block's state stays as it is.
    void Return(uint16_t returner);
    void CancelReturnTimer();

    const BlockPtr& GetBlockData() const { return m_block; }
    const std::shared_ptr<Actor>& GetActor() const { return m_actor; }
    uint16_t GetId() const;
    uint8_t GetTeam() const;
    Geometry::Vector3 GetPosition() const;
    const Geometry::Vector3& GetHome() const { return m_home; }
    int32_t GetState() const { return m_state; }
    void SetState(int32_t state) { m_state = state; }
    uint16_t GetCarrier() const { return m_carrier; }
    void SetCarrier(uint16_t carrier) { m_carrier = carrier; }
    bool HasReturnTimer() const { return static_cast<bool>(m_returnTimer); }

private:
    std::shared_ptr<ProcessSystem::IProcess> m_returnTimer;
    std::shared_ptr<Actor> m_actor;
    BlockPtr m_block;
    Geometry::Vector3 m_home;
    int32_t m_state = FlagState::kHome;
    uint16_t m_carrier = 0xFFFF;
};

class FlagMan {
public:
    using Map = std::map<uint16_t, Flag>;

    // Listens to "LtVFlagDropped" and "LtVFlagGrabbed": a flag's state changes
    // when these reports are delivered, not when they are queued.
    FlagMan();
    ~FlagMan();
    FlagMan(const FlagMan&) = delete;
    FlagMan& operator=(const FlagMan&) = delete;

    // Stores the process list and attaches a new checker.
    void Init(ProcessSystem::ProcessManager* processes);
    void SetBlockMan(BlockMan* blocks) { m_blocks = blocks; }
    void SetPlayerManager(PlayerManager* players) { m_players = players; }
    void SetLogic(MiravGameLogic* logic) { m_logic = logic; }
    BlockMan* GetBlockMan() const { return m_blocks; }
    PlayerManager* GetPlayerManager() const { return m_players; }
    MiravGameLogic* GetLogic() const { return m_logic; }
    ProcessSystem::ProcessManager* GetProcessManager() const { return m_processes; }

    // A flag for the block record of a new "flag" actor (an id already
    // present keeps its flag).
    Flag* AddFlag(const BlockPtr& block);
    Flag* GetFlag(uint16_t actorId);
    const Map& Flags() const { return m_flags; }
    // The team's flags in state 1, in id order (appended).
    void GetCarriedFlags(std::vector<Flag*>& out, uint8_t team);
    // The team's flags at home or dropped, in id order (appended).
    void GetAvailableFlags(std::vector<Flag*>& out, uint8_t team);
    // Mean home of the team's flags at home or dropped; (0, 0, 0) for none.
    void GetFlagCentre(Geometry::Vector3& out, uint8_t team) const;
    // Erases the flag, its block record and its actor; the next position.
    Map::iterator RemoveFlag(Map::iterator position);
    // Empties the map, kills the checker and forgets the managers and the
    // logic (the logic's reset).
    void Clear();

    bool OnFlagGrabbed(const EventSystem::IEvent& event);
    bool OnFlagDropped(const EventSystem::IEvent& event);

    // What a machine joining the match is told about the flags, in order: one
    // "LtVFlagStatus" per flag (1 carried, 2 dropped, 0 otherwise), then one
    // (-1, 3) per flag team 1 has lost and one (-1, 4) per flag team 0 has
    // lost, counted from the number of flags the match started with.
    std::vector<std::shared_ptr<EventSystem::IEvent>> StatusSnapshot() const;
    // Hands each of those reports to `send` (bound by the host's network code
    // to the joining peer); always after the players' held blocks.
    void SendStateToClient(const std::function<void(std::shared_ptr<EventSystem::IEvent>)>& send) const;

    const std::shared_ptr<CheckFlagStatusProc>& GetChecker() const { return m_checker; }

private:
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    Map m_flags;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    std::shared_ptr<CheckFlagStatusProc> m_checker;
    BlockMan* m_blocks = nullptr;
    PlayerManager* m_players = nullptr;
    MiravGameLogic* m_logic = nullptr;
};

// The flag checks of every process update: grabs by walking in, flags knocked
// away from home, returns by team-mates and captures.
class CheckFlagStatusProc : public ProcessSystem::IProcess {
public:
    // A flag this far below the floor has fallen out of the level.
    static constexpr float kOutOfWorldY = -10.0f;

    // Reads the three reaches ([FLAGMAN] RespawnDistance, CaptureDistance,
    // PickUpDistance), each compared with a squared distance.
    explicit CheckFlagStatusProc(FlagMan* flags);
    void OnUpdate(int ms) override;

    bool TryPickUp(Flag& flag);
    bool CheckHomeFlagMoved(Flag& flag);
    bool TryReturn(Flag& flag);
    bool TryCapture(Flag& flag);

private:
    FlagMan* m_flags;
    int32_t m_respawnDistance;
    int32_t m_captureDistance;
    int32_t m_pickUpDistance;
};

}  // namespace GameLogicView
