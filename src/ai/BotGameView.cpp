#include "ai/BotGameView.h"

#include <memory>

#include "ai/Idle.h"
#include "ai/sml/StateMachine.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "utility/Profiler.h"

namespace AI {

BotGameView::BotGameView(uint16_t actorId, uint8_t team, const std::string& name, GameLogicView::Player* player,
                         TeamMan* teamMan)
    : AIGameObject(actorId, name), m_team(team), m_name(name), m_teamMan(teamMan), m_player(player) {}

BotGameView::~BotGameView() = default;

void BotGameView::OnUpdate(int) {
    ProfileSection section("BOTS");
    if (StackSize() == 0) return;
    ProcessStackRequests();
    // The requests may have emptied the stack (a reset clears it first).
    if (std::shared_ptr<StateMachine> top = GetTop()) top->Update();
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
