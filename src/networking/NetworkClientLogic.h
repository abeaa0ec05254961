// The joining machine's logic: no rules of its own. It runs the base frame
// (processes, the queue, the attached views), hands the local player's
// commands, the handshake and the keep-alive to the network, and queues the
// host's reports as local events.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gamelogic/BaseGameLogic.h"

namespace EventSystem {
class EventRegistry;
}
namespace Networking {
class NetworkManager;
}

namespace GameLogicView {

class NetworkClientLogic : public BaseGameLogic {
public:
    static constexpr uint32_t kKeepAliveMs = 1000;

    // Makes (or takes over) the process-wide manager in the joining role.
    explicit NetworkClientLogic(GameRunner* runner = nullptr);
    // Ends the network with the manager.
    ~NetworkClientLogic() override;

    void OnUpdate(int ms) override;
    void LoadLevel() override {}
    void ProcessIncomingEvents();

    Networking::NetworkManager* GetManager() const { return m_manager; }
    // The process-wide keep-alive timer (it outlives the logic).
    static uint32_t& KeepAliveTimer();

private:
    bool OnJoinConfirmed(const EventSystem::IEvent& event);
    template <class E>
    void Forward();

    Networking::NetworkManager* m_manager = nullptr;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    std::vector<std::shared_ptr<EventSystem::IEvent>> m_incoming;
};

}  // namespace GameLogicView
