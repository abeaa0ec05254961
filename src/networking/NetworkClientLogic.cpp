#include "networking/NetworkClientLogic.h"

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/NetworkEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "networking/NetworkManager.h"
#include "utility/Profiler.h"

namespace GameLogicView {

uint32_t& NetworkClientLogic::KeepAliveTimer() {
    static uint32_t timer = 0;
    return timer;
}

template <class E>
void NetworkClientLogic::Forward() {
    m_registry->Register(E::GetStaticType(), [this](const EventSystem::IEvent& e) {
        if (const auto* typed = dynamic_cast<const E*>(&e)) m_manager->SendEvent(typed->Copy());
        return false;
    });
}

NetworkClientLogic::NetworkClientLogic(GameRunner* runner)
    : BaseGameLogic(runner), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    using namespace EventTypes;
    using Networking::NetworkManager;
    NetworkManager::SetHostFlag(false);
    if (NetworkManager* existing = NetworkManager::Instance()) {
        existing->SetIncoming(&m_incoming);
        m_manager = existing;
    } else {
        m_manager = NetworkManager::CreateInstance(&m_incoming);
    }
    Forward<Networking::EventClientIsAlive>();
    Forward<EventCommandActorMove>();
    Forward<EventCommandActorJump>();
    Forward<EventCommandActorTurn>();
    Forward<EventCommandPickUpBlock>();
    Forward<EventCommandThrowBlock>();
    Forward<EventCommandPlaceBlock>();
    Forward<EventCommandWhistle>();
    Forward<EventHackActorView>();
    Forward<Networking::EventClientConnect>();
    Forward<Networking::EventConnectToServer>();
    m_registry->Register(EventUpdateGameIDs::GetStaticType(), this, &NetworkClientLogic::OnJoinConfirmed);
}

NetworkClientLogic::~NetworkClientLogic() {
    m_registry.reset();
    if (Networking::NetworkManager::Instance() == m_manager && m_manager->GetIncoming() == &m_incoming)
        Networking::NetworkManager::DestroyInstance();
}

bool NetworkClientLogic::OnJoinConfirmed(const EventSystem::IEvent&) {
    EventSystem::QueueEvent(std::make_shared<Networking::EventClientIsAlive>(m_manager->GetOwnId()));
    return false;
}

void NetworkClientLogic::ProcessIncomingEvents() {
    std::vector<std::shared_ptr<EventSystem::IEvent>> received;
    received.swap(m_incoming);
    for (auto& e : received) EventSystem::QueueEvent(std::move(e));
}

void NetworkClientLogic::OnUpdate(int ms) {
    {
        ProfileSection section("UPDATE_BASE_LOGIC");
        UpdateBase(ms, true);
    }
    {
        ProfileSection section("NET_MAN");
        m_manager->Update(static_cast<uint32_t>(ms));
    }
    {
        ProfileSection section("NET_PROCESS_INCOMING");
        ProcessIncomingEvents();
    }
    const GlobalGameState* state = GlobalGameState::Instance();
    uint32_t& timer = KeepAliveTimer();
    timer += static_cast<uint32_t>(ms);
    const bool waitingForStart = state->GetFlag(GlobalGameState::kClientIdAssigned) == 1 &&
                                 state->GetFlag(GlobalGameState::kGameStarted) == 0;
    if (timer >= kKeepAliveMs || waitingForStart) {
        timer = 0;
        EventSystem::QueueEvent(std::make_shared<Networking::EventClientIsAlive>(m_manager->GetOwnId()));
    }
}

}  // namespace GameLogicView
