// A host's announcement as the network delivers it to the menus: an address
// and the report of what it hosts, handled at once.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <memory>

#include "events/EventManager.h"
#include "events/types/NetworkEvents.h"

namespace ScreensTest {

inline sockaddr_in At(const char* ip, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

inline void Announce(const char* name, uint8_t mode, uint8_t level, uint8_t players, int socket,
                     const sockaddr_in& from) {
    EventSystem::QueueEvent(
        std::make_shared<Networking::EventUpdateServerList>(name, mode, level, players, socket, from));
    EventSystem::ProcessEventQueue();
}

}  // namespace ScreensTest
