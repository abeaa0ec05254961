#include "networking/NetworkManager.h"

namespace Networking {

NetworkManager& NetworkManager::Instance() {
    static NetworkManager instance;
    return instance;
}

void NetworkManager::ResetPeers() {
    ++m_resets;
    for (size_t i = 0; i < occupied.size(); ++i)
        if (occupied[i]) awaitingJoin[i] = true;
}

}  // namespace Networking
