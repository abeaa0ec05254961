// Where the network listens and announces: the port, the announcement
// (broadcast) address and the address the socket binds to, from
// `Config/Networking.ini`; and the flush period from the logic's settings.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace Networking {

struct NetworkSettings {
    uint16_t port = 8003;  // 0 (tests only) lets the system choose
    std::string announcementAddress = "255.255.255.255";
    std::string bindAddress = "0.0.0.0";
};

// Reads the file's [NETWORK] section; missing or invalid values keep their
// defaults (invalid ones are reported).
NetworkSettings LoadNetworkSettings(const std::string& fileName = "Config/Networking.ini");

// The settings a new network manager uses: loaded on first use; tests and
// tools put their own in place.
const NetworkSettings& CurrentNetworkSettings();
void UseNetworkSettings(const NetworkSettings& settings);

// An IPv4 address with a port, in network order; false for text that is
// not a dotted IPv4 address.
bool MakeAddress(const std::string& text, uint16_t port, sockaddr_in& out);

// Milliseconds between two packings for a networking frame rate: 1000 / fps
// truncated; a rate of zero, below zero or not a number gives the default
// rate's 16, a rate above 1000 gives 1.
uint32_t FlushPeriodForFramerate(float fps);

}  // namespace Networking
