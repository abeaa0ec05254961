// A joining machine's policy on the network: lists announcing hosts, asks the
// chosen one for a slot, takes its client id, holds its own commands back
// until the host's game has started for it, and hears only that host once
// it has asked.
#pragma once

#include <cstdint>

#include "networking/BaseEventHandler.h"

namespace Networking {

class ClientEventHandler : public BaseEventHandler {
public:
    using BaseEventHandler::BaseEventHandler;

    // Nothing timed of its own, but notices an attempt that timed out (the
    // host never answered): the machine lists hosts again.
    void Update() override;
    bool HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>& event) override;
    bool HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) override;

    bool IsConnected() const { return m_connected; }
    bool IsConnecting() const { return m_connecting; }
    // Attempts that ended without an answer, since construction.
    uint32_t GetFailedAttempts() const { return m_failedAttempts; }
    // Received events dropped because they did not come from the host.
    uint64_t GetRefusedCount() const { return m_refused; }

private:
    bool FromHost() const;

    bool m_connected = false;
    bool m_connecting = false;
    uint32_t m_failedAttempts = 0;
    uint64_t m_refused = 0;
};

}  // namespace Networking
