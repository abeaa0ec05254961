#include "events/EventManager.h"

#include <cctype>

namespace EventSystem {

namespace {
bool SameNameIgnoringCase(const char* a, const char* b) {
    if (a == b) return true;
    if (!a || !b) return false;
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    }
    return *a == *b;
}
}  // namespace

EventManager& EventManager::Instance() {
    static EventManager instance;
    return instance;
}

bool EventManager::ValidateType(const EventType& type) const {
    auto it = m_types.find(type.hash);
    if (it == m_types.end()) return true;
    return SameNameIgnoringCase(it->second.name, type.name);
}

bool EventManager::HasListeners(const EventType& type) const {
    auto it = m_listeners.find(type.hash);
    return it != m_listeners.end() && !it->second->empty();
}

bool EventManager::IsListening(const EventType& type, const IEventListener* listener) const {
    auto it = m_listeners.find(type.hash);
    if (it == m_listeners.end()) return false;
    for (const auto& s : *it->second)
        if (s.listener.get() == listener) return true;
    return false;
}

bool EventManager::AddListener(const EventType& type, std::shared_ptr<IEventListener> listener) {
    if (!listener || !ValidateType(type)) return false;
    m_types[type.hash] = type;
    if (IsListening(type, listener.get())) return false;
    std::shared_ptr<const Run>& slot = m_listeners[type.hash];
    auto run = slot ? std::make_shared<Run>(*slot) : std::make_shared<Run>();
    // A new subscriber goes just before the run's last one, so the first
    // subscriber is always served last.
    Subscription sub{std::move(listener), m_nextSerial++};
    if (run->empty())
        run->push_back(std::move(sub));
    else
        run->insert(run->end() - 1, std::move(sub));
    slot = std::move(run);
    ++m_changes;
    return true;
}

void EventManager::RemoveListener(const EventType& type, const IEventListener* listener) {
    auto it = m_listeners.find(type.hash);
    if (it == m_listeners.end()) return;
    const Run& current = *it->second;
    for (size_t i = 0; i < current.size(); ++i) {
        if (current[i].listener.get() == listener) {
            auto run = std::make_shared<Run>(current);
            run->erase(run->begin() + static_cast<std::ptrdiff_t>(i));
            // A delivery still walking the old list keeps it (and the
            // listener) until it ends.
            it->second = std::move(run);
            ++m_changes;
            break;
        }
    }
}

EventType EventManager::FindType(uint32_t hash) const {
    auto it = m_types.find(hash);
    return it == m_types.end() ? EventType() : it->second;
}

bool EventManager::Dispatch(const IEvent& event) {
    auto it = m_listeners.find(event.GetTypeHash());
    if (it == m_listeners.end() || it->second->empty()) return false;
    // Listeners may subscribe, unsubscribe or be destroyed while we deliver:
    // walk a snapshot and call only those still subscribed at their turn.
    const std::shared_ptr<const Run> snapshot = it->second;
    const uint64_t changesAtStart = m_changes;
    for (const auto& entry : *snapshot) {
        if (m_changes != changesAtStart) {
            auto cur = m_listeners.find(event.GetTypeHash());
            if (cur == m_listeners.end()) break;
            bool live = false;
            for (const auto& s : *cur->second)
                if (s.serial == entry.serial) {
                    live = true;
                    break;
                }
            if (!live) continue;
        }
        if (entry.listener->HandleEvent(event)) return true;
    }
    return false;
}

bool EventManager::Queue(std::shared_ptr<IEvent> event) {
    if (!event) return false;
    const EventType type = event->GetEventType();
    if (!ValidateType(type)) return false;
    if (!HasListeners(type)) return false;
    m_queues[m_active].push_back(std::move(event));
    return true;
}

bool EventManager::Trigger(const IEvent& event) {
    if (!ValidateType(event.GetEventType())) return false;
    return Dispatch(event);
}

void EventManager::ProcessQueue() {
    const int i = m_active;
    m_active = 1 - m_active;
    auto& queue = m_queues[i];
    size_t& head = m_heads[i];
    while (head < queue.size()) {
        std::shared_ptr<IEvent> event = std::move(queue[head]);
        if (++head == queue.size()) {
            queue.clear();
            head = 0;
        }
        if (ValidateType(event->GetEventType())) Dispatch(*event);
    }
}

void EventManager::Reset() {
    m_queues[0].clear();
    m_queues[1].clear();
    m_heads[0] = m_heads[1] = 0;
    m_active = 0;
    m_listeners.clear();
    ++m_changes;
    m_types.clear();
}

bool QueueEvent(IEvent* event) { return EventManager::Instance().Queue(std::shared_ptr<IEvent>(event)); }
bool QueueEvent(std::shared_ptr<IEvent> event) { return EventManager::Instance().Queue(std::move(event)); }
bool TriggerEvent(const IEvent& event) { return EventManager::Instance().Trigger(event); }
bool AddListener(const EventType& type, std::shared_ptr<IEventListener> listener) {
    return EventManager::Instance().AddListener(type, std::move(listener));
}
void RemoveListener(const EventType& type, const std::shared_ptr<IEventListener>& listener) {
    EventManager::Instance().RemoveListener(type, listener.get());
}
EventType FindEventType(uint32_t hash) { return EventManager::Instance().FindType(hash); }
void ProcessEventQueue() { EventManager::Instance().ProcessQueue(); }

EventRegistry::~EventRegistry() { UnregisterAll(); }

bool EventRegistry::Register(const EventType& type, Handler handler) {
    m_handlers[type.hash] = std::make_shared<const Handler>(std::move(handler));
    return EventManager::Instance().AddListener(type, std::shared_ptr<IEventListener>(this, NullDeleter()));
}

bool EventRegistry::HandleEvent(const IEvent& event) {
    auto it = m_handlers.find(event.GetTypeHash());
    if (it == m_handlers.end()) return false;
    const std::shared_ptr<const Handler> handler = it->second;  // the handler may re-register or destroy us
    return (*handler)(event);
}

void EventRegistry::UnregisterAll() {
    auto& mgr = EventManager::Instance();
    for (const auto& h : m_handlers) mgr.RemoveListener(EventType(mgr.FindType(h.first).name, h.first), this);
    m_handlers.clear();
}

}  // namespace EventSystem
