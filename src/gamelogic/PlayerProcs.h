// The timers of the players' jumps and flag throws.
#pragma once

#include <cstdint>

#include "processes/Process.h"

namespace GameLogicView {

class Player;
class PlayerManager;

// Ends a double jump by itself unless the player jumped from the ground
// again meanwhile (the serial differs) or may not land yet.
class ResetJumpCountProcess : public ProcessSystem::IProcess {
public:
    ResetJumpCountProcess(PlayerManager* players, uint16_t actorId, int32_t jumpSerial)
        : IProcess(7), m_players(players), m_actorId(actorId), m_serial(jumpSerial) {}
    void OnUpdate(int ms) override;

private:
    PlayerManager* m_players;
    uint16_t m_actorId;
    int32_t m_serial;
};

// Clears the player's flag-thrown mark.
class ResetFlagThrown : public ProcessSystem::IProcess {
public:
    explicit ResetFlagThrown(Player* player) : IProcess(7), m_player(player) {}
    void OnUpdate(int ms) override;

private:
    Player* m_player;
};

}  // namespace GameLogicView
