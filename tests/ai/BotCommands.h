// What a bot asked of the logic: the move, turn, jump and throw commands and
// the speech bubbles queued for one actor, recorded in delivery order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "support/Harness.h"
#include "utility/Geometry.h"

namespace AITest {

class BotCommands {
public:
    BotCommands() {
        m_recorder.Listen<EventTypes::EventCommandActorMove, EventTypes::EventCommandActorTurn,
                          EventTypes::EventCommandActorJump, EventTypes::EventCommandThrowBlock,
                          EventTypes::EventCommandCreateSpeechBubble>();
    }

    // Delivers what was queued and forgets what was recorded before.
    void Fresh() {
        EventSystem::ProcessEventQueue();
        m_recorder.Clear();
    }
    // Delivers what is queued now.
    void Deliver() { EventSystem::ProcessEventQueue(); }
    void Clear() { m_recorder.Clear(); }

    // The type names of the actor's commands, in order ("VtLActorMove", ...).
    std::vector<std::string> Names(uint16_t actor) const {
        std::vector<std::string> out;
        for (const auto& e : m_recorder.Events())
            if (ActorOf(*e) == static_cast<int16_t>(actor)) out.emplace_back(e->GetTypeName());
        return out;
    }
    std::vector<Geometry::Vector3> Moves(uint16_t actor) const {
        return Directions<EventTypes::EventCommandActorMove>(actor);
    }
    std::vector<Geometry::Vector3> Throws(uint16_t actor) const {
        return Directions<EventTypes::EventCommandThrowBlock>(actor);
    }
    std::vector<Geometry::Quaternion> Turns(uint16_t actor) const {
        std::vector<Geometry::Quaternion> out;
        for (const auto& e : m_recorder.Of<EventTypes::EventCommandActorTurn>())
            if (e->GetPayload()->actorId == static_cast<int16_t>(actor)) out.push_back(e->GetPayload()->orientation);
        return out;
    }
    size_t Jumps(uint16_t actor) const { return Count("VtlCommandActorJump", actor); }
    size_t Stops(uint16_t actor) const {
        size_t n = 0;
        for (const auto& m : Moves(actor))
            if (m == Geometry::Vector3{}) ++n;
        return n;
    }
    size_t Count(const std::string& name, uint16_t actor) const {
        size_t n = 0;
        for (const auto& s : Names(actor))
            if (s == name) ++n;
        return n;
    }
    std::vector<std::shared_ptr<EventTypes::EventCommandCreateSpeechBubble>> Bubbles() const {
        return m_recorder.Of<EventTypes::EventCommandCreateSpeechBubble>();
    }

private:
    template <class E>
    std::vector<Geometry::Vector3> Directions(uint16_t actor) const {
        std::vector<Geometry::Vector3> out;
        for (const auto& e : m_recorder.Of<E>())
            if (e->GetPayload()->actorId == static_cast<int16_t>(actor)) out.push_back(e->GetPayload()->direction);
        return out;
    }
    static int16_t ActorOf(const EventSystem::IEvent& e) {
        if (auto* m = dynamic_cast<const EventTypes::EventCommandActorMove*>(&e)) return m->GetPayload()->actorId;
        if (auto* t = dynamic_cast<const EventTypes::EventCommandActorTurn*>(&e)) return t->GetPayload()->actorId;
        if (auto* j = dynamic_cast<const EventTypes::EventCommandActorJump*>(&e)) return j->GetPayload()->actorId;
        if (auto* w = dynamic_cast<const EventTypes::EventCommandThrowBlock*>(&e)) return w->GetPayload()->actorId;
        if (auto* b = dynamic_cast<const EventTypes::EventCommandCreateSpeechBubble*>(&e))
            return b->GetPayload()->actorId;
        return -1;
    }

    TestSupport::EventRecorder m_recorder;
};

}  // namespace AITest
