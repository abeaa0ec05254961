#include "physics/PhysProc.h"

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "utility/Profiler.h"

namespace Physics {

namespace {
PhysProc* g_current = nullptr;
}

PhysProc* GetPhysProc() { return g_current; }
void SetPhysProc(PhysProc* proc) { g_current = proc; }

PhysProc::PhysProc(const IActorDirectory* actors) : IProcess(kType), m_actors(actors) {}

PhysProc::~PhysProc() {
    m_world.Clear();
    if (g_current == this) g_current = nullptr;
}

void PhysProc::OnUpdate(int ms) {
    Profiler& profiler = Profiler::Instance();
    const bool profiling = profiler.IsEnabled();
    if (profiling) profiler.Begin("PHYS");
    m_world.Step(static_cast<float>(ms) / 1000.0f);
    QueueCollisionEvents();
    QueueMoveEvents();
    if (profiling) profiler.End();
}

void PhysProc::QueueCollisionEvents() {
    // Resting contacts raise nothing.
    for (const PhysContact& report : m_world.TakeImpactReports()) {
        auto event = std::make_shared<EventTypes::EventUpdateCollision>(report);
        EventTypes::EventUpdateCollisionData* data = event->GetPayload();
        if (m_actors) {
            m_actors->LookUpActorType(report.idA, data->typeNameA, data->typeHashA);
            m_actors->LookUpActorType(report.idB, data->typeNameB, data->typeHashB);
        }
        EventSystem::QueueEvent(event);
    }
}

void PhysProc::QueueMoveEvents() {
    // The queue drops an event nobody listens to (a game without views, the
    // headless simulator): such moves are not built at all, an event and its
    // payload per moving body and step.
    if (!EventSystem::EventManager::Instance().HasListeners(EventTypes::EventUpdateActorMove::GetStaticType())) return;
    m_world.CollectMoveReports(m_moves);
    for (const MoveReport& m : m_moves)
        EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateActorMove>(
            static_cast<int16_t>(m.actorId), m.position, m.orientation));
}

}  // namespace Physics
