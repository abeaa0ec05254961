// Squads: up to three bots that follow a leader in formation. A squad is led
// by an attacking bot or by a human, who forms one by whistling and releases
// it by whistling again; the views learn of every bot that starts or stops
// following a human through "LtVBotFollowPlyaer".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "utility/Geometry.h"

namespace GameLogicView {
class Player;
}

namespace AI {

class BotGameView;
class TeamMan;

struct FormationSlot {
    bool taken = false;
    Geometry::Vector3 offset{};
};

class Squad {
public:
    static constexpr size_t kMaxMembers = 3;

    // team: where the leader's bot is looked up when the squad disbands.
    Squad(GameLogicView::Player* leader, bool ledByHuman, TeamMan* team = nullptr);

    // Nothing with three members already; otherwise the bot takes the first
    // free slot (its formation offset) and points at this squad.
    void AddMember(BotGameView& bot);
    // The leader leaving disbands the squad; a member gives its slot back.
    void RemoveMember(BotGameView& bot);
    // Every member leaves with role 0 and is reset; the leader's bot forgets
    // the squad; the leader becomes null (the owner frees the squad later).
    void Disband();
    bool HasMember(uint16_t actorId) const;

    GameLogicView::Player* GetLeader() const { return m_leader; }
    uint16_t GetLeaderId() const;
    bool IsLedByHuman() const { return m_ledByHuman; }
    const std::vector<BotGameView*>& GetMembers() const { return m_members; }
    size_t Size() const { return m_members.size(); }
    const std::array<FormationSlot, kMaxMembers>& GetFormation() const { return m_formation; }

private:
    void QueueFollow(const BotGameView& bot, bool following) const;

    GameLogicView::Player* m_leader;
    std::vector<BotGameView*> m_members;
    std::array<FormationSlot, kMaxMembers> m_formation;
    bool m_ledByHuman;
    TeamMan* m_team;
};

class SquadMan {
public:
    explicit SquadMan(TeamMan* team = nullptr) : m_team(team) {}
    void SetTeam(TeamMan* team) { m_team = team; }

    Squad* Create(GameLogicView::Player* leader, bool ledByHuman);
    // The first squad whose leader drives the player's actor, or null.
    Squad* FindByLeader(const GameLogicView::Player* player);
    // Of the squads with room, the one whose leader is nearest (squared
    // distance below 1e9; ties keep the earlier squad), or null.
    Squad* FindNearestWithRoom(const Geometry::Vector3& position);
    // Purges, then refills every human-led squad that has room.
    void Update();
    // Frees the disbanded squads (null leader).
    void Purge();

    const std::vector<std::unique_ptr<Squad>>& GetSquads() const { return m_squads; }

private:
    TeamMan* m_team;
    std::vector<std::unique_ptr<Squad>> m_squads;
};

}  // namespace AI
