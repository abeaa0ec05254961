// A role's policy on the network manager: which outgoing events it takes
// over, which received events it consumes, and its own timed work.
#pragma once

#include <memory>

namespace EventSystem {
class IEvent;
}

namespace Networking {

class NetworkManager;

class BaseEventHandler {
public:
    explicit BaseEventHandler(NetworkManager& manager) : m_manager(manager) {}
    virtual ~BaseEventHandler() = default;
    BaseEventHandler(const BaseEventHandler&) = delete;
    BaseEventHandler& operator=(const BaseEventHandler&) = delete;

    // Once per manager update, before the flush.
    virtual void Update() = 0;
    // True when the handler took the event; it is then not packed.
    virtual bool HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>& event) = 0;
    // True when the handler consumed the received event; it then does not
    // reach the owner's incoming queue.
    virtual bool HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) = 0;

    NetworkManager& GetManager() const { return m_manager; }

protected:
    // "ClientIsAlive": the named peer's silence starts again. True for every
    // keep-alive (they are the network's own business), false for anything
    // else.
    bool ConsumeKeepAlive(const EventSystem::IEvent& event);

    NetworkManager& m_manager;
};

// Sends and passes on everything; consumes only the keep-alives. The
// manager's handler until a role handler is put in place, and the handler of
// tools and tests that exchange events without a game.
class BasicEventHandler : public BaseEventHandler {
public:
    using BaseEventHandler::BaseEventHandler;
    void Update() override {}
    bool HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>&) override { return false; }
    bool HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) override;
};

}  // namespace Networking
