// The process-wide event queue (two alternating lists, delivered by type
// hash) and the per-owner registry that binds one handler per event type.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "events/Event.h"

namespace EventSystem {

// A deleter that does nothing: the manager never owns a registry.
struct NullDeleter {
    void operator()(const void*) const {}
};

class EventManager {
public:
    static EventManager& Instance();

    bool Queue(std::shared_ptr<IEvent> event);
    bool Trigger(const IEvent& event);
    void ProcessQueue();

    bool ValidateType(const EventType& type) const;
    bool HasListeners(const EventType& type) const;
    bool IsListening(const EventType& type, const IEventListener* listener) const;
    bool AddListener(const EventType& type, std::shared_ptr<IEventListener> listener);
    void RemoveListener(const EventType& type, const IEventListener* listener);
    EventType FindType(uint32_t hash) const;
    bool Dispatch(const IEvent& event);

    // Test support: drops every queued event, listener and known type.
    void Reset();
    size_t QueuedCount() const { return m_queues[0].size() - m_heads[0] + m_queues[1].size() - m_heads[1]; }
    // Subscriptions over all types (tests watch it for leaks).
    size_t ListenerCount() const {
        size_t n = 0;
        for (const auto& entry : m_listeners) n += entry.second->size();
        return n;
    }

private:
    EventManager() = default;

    struct Subscription {
        std::shared_ptr<IEventListener> listener;
        uint64_t serial;  // tells a live subscription from a stale snapshot entry
    };

    // Each queue is delivered from its head; it empties (and keeps its
    // storage) when the head reaches its end, so a frame's events cost no
    // allocation of their own in the queue.
    std::vector<std::shared_ptr<IEvent>> m_queues[2];
    size_t m_heads[2] = {0, 0};
    int m_active = 0;
    // Each type's subscriptions never change in place: a change makes a new
    // list. A delivery holds the list it started with as its snapshot (no
    // copy), and while no subscription changed at all every entry of it is
    // still subscribed.
    using Run = std::vector<Subscription>;
    std::unordered_map<uint32_t, std::shared_ptr<const Run>> m_listeners;
    uint64_t m_changes = 0;
    std::unordered_map<uint32_t, EventType> m_types;
    uint64_t m_nextSerial = 1;
};

bool QueueEvent(IEvent* event);
bool QueueEvent(std::shared_ptr<IEvent> event);
bool TriggerEvent(const IEvent& event);
bool AddListener(const EventType& type, std::shared_ptr<IEventListener> listener);
void RemoveListener(const EventType& type, const std::shared_ptr<IEventListener>& listener);
EventType FindEventType(uint32_t hash);
void ProcessEventQueue();

class EventRegistry : public IEventListener {
public:
    using Handler = std::function<bool(const IEvent&)>;

    EventRegistry() = default;
    ~EventRegistry() override;
    EventRegistry(const EventRegistry&) = delete;
    EventRegistry& operator=(const EventRegistry&) = delete;

    // Binds the handler for the type (replacing an earlier one) and subscribes;
    // true when the subscription is new.
    bool Register(const EventType& type, Handler handler);

    template <class Owner>
    bool Register(const EventType& type, Owner* owner, bool (Owner::*fn)(const IEvent&)) {
        return Register(type, [owner, fn](const IEvent& e) { return (owner->*fn)(e); });
    }

    const char* GetName() const override { return "Event Registry"; }
    bool HandleEvent(const IEvent& event) override;
    void UnregisterAll();

private:
    // Shared, so a delivery holds the handler it runs without copying it:
    // the handler may re-register or destroy us while it runs.
    std::unordered_map<uint32_t, std::shared_ptr<const Handler>> m_handlers;
};

}  // namespace EventSystem
