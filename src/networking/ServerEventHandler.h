// The host's policy on the network: announces the game while a slot is free,
// answers connection attempts with a slot, sends a newly confirmed machine a
// snapshot of the running game, and lets through from each joined machine
// only what such a machine may say.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <vector>

#include "networking/BaseEventHandler.h"

namespace GameLogicView {
class MiravGameLogic;
}

namespace Networking {

class Connection;

class ServerEventHandler : public BaseEventHandler {
public:
    // Milliseconds between two announcements (at least).
    static constexpr int32_t kAnnounceEveryMs = 5000;
    static constexpr const char* kGameName = "Mirav";

    explicit ServerEventHandler(NetworkManager& manager);
    ~ServerEventHandler() override;

    void Update() override;
    bool HandleOutgoingEvent(const std::shared_ptr<EventSystem::IEvent>& event) override;
    bool HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) override;

    // The logic that creates joining players and owns the actors; without
    // one, attempts get a slot but no player, and snapshots hold no actors.
    void SetLogic(GameLogicView::MiravGameLogic* logic) { m_logic = logic; }
    GameLogicView::MiravGameLogic* GetLogic() const { return m_logic; }

    // Received events refused by the rules above, since construction.
    uint64_t GetRefusedCount() const { return m_refused; }
    // Where announcements go: every address of the announcement setting
    // (separated by spaces or commas) on the configured port.
    const std::vector<sockaddr_in>& GetAnnouncementAddresses() const { return m_announceTo; }

    // The slot whose machine has this address (address and port), or -1.
    int SlotOfAddress(const sockaddr_in& address) const;

private:
    bool OnConnectionAttempt(const EventSystem::IEvent& event);
    // Whether a joined machine in `slot` may send this event.
    bool MayComeFrom(const EventSystem::IEvent& event, uint8_t slot) const;
    bool Refuse(const EventSystem::IEvent& event, const char* why);
    void Announce(const std::shared_ptr<EventSystem::IEvent>& event);
    void SendJoinSnapshot(const std::shared_ptr<EventSystem::IEvent>& confirmation);

    int m_broadcastSocket = -1;
    std::vector<sockaddr_in> m_announceTo;
    GameLogicView::MiravGameLogic* m_logic = nullptr;
    uint32_t m_lastAnnouncement = 0;
    uint64_t m_refused = 0;
};

}  // namespace Networking
