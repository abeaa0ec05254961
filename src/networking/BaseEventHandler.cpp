#include "networking/BaseEventHandler.h"

#include "events/types/NetworkEvents.h"
#include "networking/Connection.h"
#include "networking/NetworkManager.h"

namespace Networking {

bool BaseEventHandler::ConsumeKeepAlive(const EventSystem::IEvent& event) {
    if (event.GetTypeHash() != EventClientIsAlive::GetStaticType().hash) return false;
    const auto* alive = dynamic_cast<const EventClientIsAlive*>(&event);
    if (alive && alive->GetPayload()) {
        if (Connection* peer = m_manager.GetPeer(alive->GetPayload()->clientId)) peer->silence = 0;
    }
    return true;
}

bool BasicEventHandler::HandleIncomingEvent(const std::shared_ptr<EventSystem::IEvent>& event) {
    return ConsumeKeepAlive(*event);
}

}  // namespace Networking
