#include "ai/BotGameView.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "ai/AIMan.h"
#include "ai/Guard.h"
#include "ai/Idle.h"
#include "ai/Steering.h"
#include "ai/sml/StateMachine.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/Player.h"
#include "utility/Profiler.h"

namespace AI {

BotGameView::BotGameView(uint16_t actorId, uint8_t team, const std::string& name, GameLogicView::Player* player,
                         TeamMan* teamMan)
    : AIGameObject(actorId, name), m_team(team), m_name(name), m_teamMan(teamMan), m_player(player) {}

BotGameView::~BotGameView() = default;

void BotGameView::OnUpdate(int ms) {
    ProfileSection section("BOTS");
    if (StackSize() == 0) return;
    ProcessStackRequests();
    // The requests may have emptied the stack (a reset clears it first).
    if (std::shared_ptr<StateMachine> top = GetTop()) top->Update();
    WatchForTrap(ms);
}

bool BotGameView::IsGuardingAtPost() const {
    const std::shared_ptr<StateMachine> top = GetTop();
    return m_behaviour == "GUARD" && top && top->GetName() == Guard::kName;
}

void BotGameView::WatchForTrap(int ms) {
    const AIMan* ai = AIMan::Instance();
    const std::shared_ptr<StateMachine> top = GetTop();
    if (!ai || !m_player || m_player->IsDead() || !top) {
        m_trap = Trap{};
        return;
    }
    const uint64_t now = ai->GetClock().Now();
    if (IsEscaping(now)) {
        // Queued after the machine's own commands, so the escape wins the
        // frame.
        const float y = m_player->GetPosition().y;
        if (m_trap.rising) {
            m_trap.peak = std::max(m_trap.peak, y);
            if (y >= m_trap.riseTo || now >= m_trap.escapeStart + kRiseMs) {
                m_trap.rising = false;
                m_trap.under = m_trap.peak < m_trap.riseTo - kEscapeRise + kLowRise;
                m_trap.escapeUntil = now + kEscapeMs;
                QueueTurn(*this, HeadingTowards(m_trap.way));
            }
        }
        // Straight up first: a run into the pit's side in the air knocks the
        // bot back into the pit (and a jump from there cannot clear it).
        QueueMove(*this, m_trap.rising ? Geometry::kZeroVector : m_trap.way);
        // The player's jumps come back in the air, so it climbs on jumping.
        if (y < m_trap.riseTo && m_player->CanJump()) QueueJump(*this);
        // The run ends with this frame: stop before the next one.
        if (!m_trap.rising && now + static_cast<uint64_t>(std::max(ms, 0)) >= m_trap.escapeUntil) StopBot(*this);
        return;
    }
    const Geometry::Vector3 p = m_player->GetPosition();
    const bool guarding = IsGuardingAtPost();
    // Hops that fall back to where they began (knocked off the sides of a
    // trench) cross a cell's edge and back again: the watch counts the bot
    // as standing while it stays near where the watch began.
    const float dx = p.x - m_trap.anchor.x, dz = p.z - m_trap.anchor.z;
    const bool away = dx * dx + dz * dz > kTrapReach * kTrapReach || std::fabs(p.y - m_trap.anchor.y) > kTrapRise;
    if (guarding || !m_trap.valid || away) {
        const unsigned tries = guarding ? 0u : m_trap.tries;
        m_trap = Trap{};
        m_trap.valid = !guarding;
        m_trap.anchor = p;
        m_trap.since = now;
        m_trap.tries = tries;
        return;
    }
    // Airborne or not: ten seconds in one place is no jump. A bot that came
    // down on a player's head (a teammate stuck in the pit below) lands on
    // no block, so the logic keeps it airborne for as long as it stands there.
    if (now - m_trap.since < (m_trap.under ? kRetryMs : kTrappedMs)) return;
    static const Geometry::Vector3 kWays[4] = {{1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 0, -1}};
    m_trap.way = kWays[(GetActorId() + m_trap.tries++) % 4];
    m_trap.since = now;
    m_trap.escapeStart = now;
    m_trap.escapeUntil = now + kRiseMs + kEscapeMs;
    m_trap.rising = true;
    m_trap.riseTo = p.y + kEscapeRise;
    m_trap.peak = p.y;
    StopBot(*this);
    QueueJump(*this);
}

void BotGameView::OnReset() {
    ClearStack();
    EventSystem::QueueEvent(
        std::make_shared<EventTypes::EventCommandActorMove>(static_cast<int16_t>(GetActorId()), Geometry::kZeroVector));
    // A bot that starts over no longer goes for the blocks it claimed; left
    // claimed, they would stay out of every teammate's reach for good.
    if (m_teamMan) m_teamMan->ReleaseClaimsOf(GetActorId());
    m_behaviour = kIdle;
    PushMachine(std::make_shared<Idle>(this, false));
}

void BotGameView::SetRole(int32_t role) {
    if (m_teamMan)
        m_teamMan->SetRole(*this, role);
    else
        m_role = role;
}

}  // namespace AI
