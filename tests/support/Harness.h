// Headless test support: drive a logic with fixed milliseconds, record the
// events it raises, and put every process-wide singleton back to its start.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "events/EventManager.h"

namespace GameLogicView {
class BaseGameLogic;
}

namespace TestSupport {

// Resets every singleton the tests touch. Each component with a singleton
// adds its reset here.
void ResetSingletons();

// Records every event of the given types as it is delivered (a copy sharing
// the payload), without consuming it.
class EventRecorder {
public:
    EventRecorder() = default;
    template <class... E>
    void Listen() {
        (ListenTo(E::GetStaticType()), ...);
    }
    void ListenTo(const EventSystem::EventType& type);

    const std::vector<std::shared_ptr<EventSystem::IEvent>>& Events() const { return m_events; }
    size_t Count(const EventSystem::EventType& type) const;
    template <class E>
    size_t Count() const {
        return Count(E::GetStaticType());
    }
    // All recorded events of one class, in delivery order.
    template <class E>
    std::vector<std::shared_ptr<E>> Of() const {
        std::vector<std::shared_ptr<E>> out;
        for (const auto& e : m_events)
            if (e->GetTypeHash() == E::GetStaticType().hash)
                if (auto p = std::dynamic_pointer_cast<E>(e)) out.push_back(p);
        return out;
    }
    std::vector<std::string> Names() const;
    void Clear() { m_events.clear(); }

private:
    EventSystem::EventRegistry m_registry;
    std::vector<std::shared_ptr<EventSystem::IEvent>> m_events;
};

// Runs only the logic's processes, each pass followed by a queue delivery
// (the order of the logic's own frame), in passes of `ms` until totalMs.
void RunProcesses(GameLogicView::BaseGameLogic& logic, int totalMs, int ms = 16);

// Steps a logic the way the game runner does (queue delivery, then the
// logic's update) with a fixed number of milliseconds per frame.
class LogicStepper {
public:
    explicit LogicStepper(GameLogicView::BaseGameLogic& logic, int msPerFrame = 16)
        : m_logic(logic), m_ms(msPerFrame) {}
    void Frame();
    void Frames(int n);
    // Steps until the predicate holds or maxFrames ran; true when it held.
    bool Until(const std::function<bool()>& done, int maxFrames);
    int FrameCount() const { return m_frames; }
    long ElapsedMs() const { return static_cast<long>(m_frames) * m_ms; }

private:
    GameLogicView::BaseGameLogic& m_logic;
    int m_ms;
    int m_frames = 0;
};

}  // namespace TestSupport
