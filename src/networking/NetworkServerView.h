// The host's network view: one more view of the authoritative logic. It
// forwards the logic's reports to the joined machines, puts their commands
// on the host's event queue, and raises the host's keep-alive.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gamelogic/GameView.h"

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem
namespace Networking {
class NetworkManager;
}

namespace GameLogicView {

class BaseGameLogic;

class NetworkServerView : public IGameView {
public:
    static constexpr uint32_t kKeepAliveMs = 1000;

    // Makes (or takes over) the process-wide manager in the host role and
    // hands its handler the logic.
    explicit NetworkServerView(BaseGameLogic* logic);
    // Ends the network with the manager.
    ~NetworkServerView() override;

    void OnAttach() override {}
    // Runs the manager, queues what the joined machines sent, keep-alive.
    void OnUpdate(int ms) override;
    void OnRender(int) override {}
    void ProcessIncomingEvents();

    // While set, the next "LtVJoinConfirmed" (the host's own player) is not
    // sent.
    void SetIgnoreNextJoinConfirmation(bool ignore) { m_ignoreNextJoinConfirmation = ignore; }
    bool GetIgnoreNextJoinConfirmation() const { return m_ignoreNextJoinConfirmation; }
    int GetUpdateCount() const { return m_updates; }
    BaseGameLogic* GetLogic() const { return m_logic; }
    Networking::NetworkManager* GetManager() const { return m_manager; }

    // The process-wide keep-alive timer (it outlives the view).
    static uint32_t& KeepAliveTimer();

private:
    bool OnJoinConfirmed(const EventSystem::IEvent& event);
    template <class E>
    void Forward();

    BaseGameLogic* m_logic;
    Networking::NetworkManager* m_manager = nullptr;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    std::vector<std::shared_ptr<EventSystem::IEvent>> m_incoming;
    bool m_ignoreNextJoinConfirmation = true;
    int m_updates = 0;
};

}  // namespace GameLogicView
