#include "ai/Squad.h"

#include <algorithm>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {
constexpr uint16_t kNoActor = 0xFFFF;
}

Squad::Squad(GameLogicView::Player* leader, bool ledByHuman, TeamMan* team)
    : m_leader(leader), m_ledByHuman(ledByHuman), m_team(team) {
    m_formation[0].offset = {3.0f, 0.0f, -3.0f};
    m_formation[1].offset = {-3.0f, 0.0f, -3.0f};
    m_formation[2].offset = {0.0f, 0.0f, -6.0f};
}

uint16_t Squad::GetLeaderId() const { return m_leader ? m_leader->GetActorId() : kNoActor; }

void Squad::QueueFollow(const BotGameView& bot, bool following) const {
    if (!m_ledByHuman) return;
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateBotFollowPlayer>(
        static_cast<int16_t>(GetLeaderId()), static_cast<int16_t>(bot.GetActorId()), following ? 1 : 0));
}

void Squad::AddMember(BotGameView& bot) {
    if (m_members.size() >= kMaxMembers) return;
    m_members.push_back(&bot);
    for (FormationSlot& slot : m_formation) {
        if (slot.taken) continue;
        slot.taken = true;
        bot.SetFormationOffset(slot.offset);
        break;
    }
    bot.SetSquad(this);
    QueueFollow(bot, true);
}

void Squad::RemoveMember(BotGameView& bot) {
    if (m_leader && bot.GetActorId() == m_leader->GetActorId()) {
        Disband();
        return;
    }
    bot.SetSquad(nullptr);
    auto it = std::find_if(m_members.begin(), m_members.end(),
                           [&](const BotGameView* m) { return m->GetActorId() == bot.GetActorId(); });
    if (it == m_members.end()) return;  // not a member: no slot of its own to give back
    m_members.erase(it);
    for (FormationSlot& slot : m_formation) {
        if (slot.taken && slot.offset == bot.GetFormationOffset()) {
            slot.taken = false;
            break;
        }
    }
    QueueFollow(bot, false);
}

void Squad::Disband() {
    while (!m_members.empty()) {
        BotGameView& member = *m_members.front();
        member.SetSquad(nullptr);
        // With its squad pointer already null, leaving the role touches no
        // squad: only the team's counts and guard slots.
        member.SetRole(0);
        member.OnReset();
        RemoveMember(member);
    }
    if (m_leader) {
        const uint16_t leaderId = m_leader->GetActorId();
        BotGameView* leaderBot = m_team ? m_team->GetBot(leaderId) : nullptr;
        if (!leaderBot) {
            if (AIMan* ai = AIMan::Instance()) leaderBot = ai->GetBot(leaderId);
        }
        if (leaderBot && leaderBot->GetSquad() == this) leaderBot->SetSquad(nullptr);
    }
    m_leader = nullptr;
}

bool Squad::HasMember(uint16_t actorId) const {
    return std::any_of(m_members.begin(), m_members.end(),
                       [actorId](const BotGameView* m) { return m->GetActorId() == actorId; });
}

// ---------------------------------------------------------------- SquadMan

Squad* SquadMan::Create(GameLogicView::Player* leader, bool ledByHuman) {
    m_squads.push_back(std::make_unique<Squad>(leader, ledByHuman, m_team));
    return m_squads.back().get();
}

void SquadMan::Purge() {
    m_squads.erase(std::remove_if(m_squads.begin(), m_squads.end(),
                                  [](const std::unique_ptr<Squad>& s) { return s->GetLeader() == nullptr; }),
                   m_squads.end());
}

Squad* SquadMan::FindByLeader(const GameLogicView::Player* player) {
    Purge();
    if (!player) return nullptr;
    for (const auto& s : m_squads)
        if (s->GetLeaderId() == player->GetActorId()) return s.get();
    return nullptr;
}

Squad* SquadMan::FindNearestWithRoom(const Geometry::Vector3& position) {
    Purge();
    Squad* best = nullptr;
    float bestDistance = 1e9f;
    for (const auto& s : m_squads) {
        if (s->Size() >= Squad::kMaxMembers || !s->GetLeader()) continue;
        const float d = (s->GetLeader()->GetPosition() - position).LengthSquared();
        if (d < bestDistance) {
            bestDistance = d;
            best = s.get();
        }
    }
    return best;
}

void SquadMan::Update() {
    Purge();
    // Filling a squad may disband other squads (an attacker recruited leaves
    // its own), but never adds or frees one, so the indices stay valid.
    for (size_t i = 0; i < m_squads.size(); ++i) {
        Squad* s = m_squads[i].get();
        if (s->IsLedByHuman() && s->GetLeader() && s->Size() < Squad::kMaxMembers && m_team) m_team->FillSquad(*s);
    }
}

}  // namespace AI
