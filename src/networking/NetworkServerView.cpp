#include "networking/NetworkServerView.h"

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/MiravGameLogic.h"
#include "networking/NetworkManager.h"
#include "utility/Profiler.h"

namespace GameLogicView {

uint32_t& NetworkServerView::KeepAliveTimer() {
    static uint32_t timer = 0;
    return timer;
}

template <class E>
void NetworkServerView::Forward() {
    m_registry->Register(E::GetStaticType(), [this](const EventSystem::IEvent& e) {
        // Only events of the row's own class travel: the physics' collision
        // report shares its name with the one the joined machines read.
        if (const auto* typed = dynamic_cast<const E*>(&e)) m_manager->SendEvent(typed->Copy());
        return false;
    });
}

NetworkServerView::NetworkServerView(BaseGameLogic* logic)
    : m_logic(logic), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    using namespace EventTypes;
    using Networking::NetworkManager;
    NetworkManager::SetHostFlag(true);
    if (NetworkManager* existing = NetworkManager::Instance()) {
        existing->SetIncoming(&m_incoming);
        m_manager = existing;
    } else {
        m_manager = NetworkManager::CreateInstance(&m_incoming);
    }
    m_manager->SetServerLogic(dynamic_cast<MiravGameLogic*>(logic));

    m_registry->Register(EventUpdateGameIDs::GetStaticType(), this, &NetworkServerView::OnJoinConfirmed);
    Forward<EventUpdateCreateActor>();
    Forward<EventUpdateStartGame>();
    Forward<EventUpdateActorMove>();
    Forward<EventUpdatePlaceBlock>();
    Forward<EventUpdateDeleteActor>();
    Forward<EventUpdateCollisionToClient>();
    Forward<EventUpdateExplosion>();
    Forward<EventForcedActorUpdate>();
    Forward<EventUpdateFlagGrabbed>();
    Forward<EventUpdateFlagDropped>();
    Forward<EventUpdateFlagCaptured>();
    Forward<EventUpdateFlagRecovered>();
    Forward<EventUpdatePickUpBlock>();
    Forward<EventUpdateThrowBlock>();
    Forward<EventUpdateActorSpawn>();
    Forward<EventUpdateActorDeath>();
    Forward<EventUpdateBlockActive>();
    Forward<EventUpdateGameOver>();
    Forward<EventUpdateTeamVictory>();
    Forward<EventUpdateJump>();
    Forward<EventUpdateHeldBlocks>();
    Forward<EventUpdateFlagStatus>();
    Forward<EventUpdateBotFollowPlayer>();
    Forward<Networking::EventClientIsAlive>();
    // The handler has acted on it already; the listener lets the queue take it.
    m_registry->Register(Networking::EventClientConnect::GetStaticType(),
                         [](const EventSystem::IEvent&) { return true; });
}

NetworkServerView::~NetworkServerView() {
    m_registry.reset();
    // The manager may serve another owner by now (it was taken over by a
    // later set-up); only the one still serving this view ends here.
    if (Networking::NetworkManager::Instance() == m_manager && m_manager->GetIncoming() == &m_incoming)
        Networking::NetworkManager::DestroyInstance();
}

bool NetworkServerView::OnJoinConfirmed(const EventSystem::IEvent& event) {
    if (m_ignoreNextJoinConfirmation) {
        m_ignoreNextJoinConfirmation = false;
        return false;
    }
    m_manager->SendEvent(event.Copy());
    return false;
}

void NetworkServerView::ProcessIncomingEvents() {
    // Taken out first: a delivery may not run while we queue, but a queue
    // call must not see the list change under it either.
    std::vector<std::shared_ptr<EventSystem::IEvent>> received;
    received.swap(m_incoming);
    for (auto& e : received) EventSystem::QueueEvent(std::move(e));
}

void NetworkServerView::OnUpdate(int ms) {
    ProfileSection section("NET");
    ++m_updates;
    m_manager->Update(static_cast<uint32_t>(ms));
    ProcessIncomingEvents();
    uint32_t& timer = KeepAliveTimer();
    timer += static_cast<uint32_t>(ms);
    if (timer >= kKeepAliveMs) {
        timer = 0;
        EventSystem::QueueEvent(std::make_shared<Networking::EventClientIsAlive>(m_manager->GetOwnId()));
    }
}

}  // namespace GameLogicView
