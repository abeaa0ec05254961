#include "networking/EventRegistry.h"

#include "events/Event.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"

namespace Networking {

namespace {
EventRegistry* g_registry = nullptr;
}

void EventRegistry::CreateInstance() {
    if (!g_registry) g_registry = new EventRegistry();
}

EventRegistry* EventRegistry::Instance() {
    CreateInstance();
    return g_registry;
}

void EventRegistry::DestroyInstance() {
    delete g_registry;
    g_registry = nullptr;
}

EventRegistry::EventRegistry() { RegisterEvents(); }

EventRegistry::~EventRegistry() = default;

template <class E>
void EventRegistry::RegisterEvent() {
    const auto index = static_cast<uint8_t>(m_prototypes.size());
    // A type registered twice keeps its later index for sending; the earlier
    // one still reads.
    m_indices[E::GetStaticType().hash] = index;
    m_prototypes.push_back(std::make_unique<E>());
}

void EventRegistry::RegisterEvents() {
    using namespace EventTypes;
    RegisterEvent<EventServerBroadcast>();            // 0
    RegisterEvent<EventClientConnect>();              // 1
    RegisterEvent<EventAssignClientID>();             // 2
    RegisterEvent<EventClientIsAlive>();              // 3
    RegisterEvent<EventUpdateGameIDs>();              // 4
    RegisterEvent<EventUpdateCreateActor>();          // 5
    RegisterEvent<EventUpdateActorMove>();            // 6
    RegisterEvent<EventUpdatePlaceBlock>();           // 7
    RegisterEvent<EventCommandActorMove>();           // 8
    RegisterEvent<EventCommandActorJump>();           // 9
    RegisterEvent<EventCommandActorTurn>();           // 10
    RegisterEvent<EventCommandPickUpBlock>();         // 11
    RegisterEvent<EventCommandThrowBlock>();          // 12
    RegisterEvent<EventCommandPlaceBlock>();          // 13
    RegisterEvent<EventUpdateDeleteActor>();          // 14
    RegisterEvent<EventUpdateCollisionToClient>();    // 15
    RegisterEvent<EventUpdateExplosion>();            // 16
    RegisterEvent<EventUpdateStartGame>();            // 17
    RegisterEvent<EventHackActorView>();              // 18
    RegisterEvent<EventUpdateFlagGrabbed>();          // 19
    RegisterEvent<EventUpdateFlagDropped>();          // 20
    RegisterEvent<EventUpdateFlagCaptured>();         // 21
    RegisterEvent<EventUpdateFlagRecovered>();        // 22
    RegisterEvent<EventUpdatePickUpBlock>();          // 23
    RegisterEvent<EventCommandPickUpBlock>();         // 24
    RegisterEvent<EventUpdateThrowBlock>();           // 25
    RegisterEvent<EventCommandThrowBlock>();          // 26
    RegisterEvent<EventUpdateActorSpawn>();           // 27
    RegisterEvent<EventUpdateActorDeath>();           // 28
    RegisterEvent<EventUpdateBlockActive>();          // 29
    RegisterEvent<EventUpdateGameOver>();             // 30
    RegisterEvent<EventUpdateTeamVictory>();          // 31
    RegisterEvent<EventUpdateJump>();                 // 32
    RegisterEvent<EventUpdateHeldBlocks>();           // 33
    RegisterEvent<EventUpdateFlagStatus>();           // 34
    RegisterEvent<EventCommandWhistle>();             // 35
    RegisterEvent<EventUpdateBotFollowPlayer>();      // 36
    RegisterEvent<TestEvent>();                       // 37
    // A joining machine loads no level, so the host tells it where the
    // capture points stand; appended so every earlier index stays as it was.
    RegisterEvent<EventUpdateCapPtCreated>();         // 38
}

uint8_t EventRegistry::GetIndex(uint32_t typeHash) const {
    auto it = m_indices.find(typeHash);
    return it == m_indices.end() ? kUnregistered : it->second;
}

EventSystem::IEvent* EventRegistry::GetPrototype(uint8_t index) const {
    return index < m_prototypes.size() ? m_prototypes[index].get() : nullptr;
}

uint8_t EventRegistry::MoveIndex() {
    static const uint8_t index = Instance()->GetIndex(EventTypes::EventUpdateActorMove::GetStaticType().hash);
    return index;
}

}  // namespace Networking
