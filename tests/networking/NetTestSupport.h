// Loopback helpers for the network tests: settings that bind 127.0.0.1 on a
// port the system picks, a plain UDP socket to poke a manager with, and
// byte strings written as hex.
#pragma once

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "networking/NetworkSettings.h"

namespace NetTest {

using Bytes = std::vector<uint8_t>;

inline Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte) out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    return out;
}

inline Networking::NetworkSettings Loopback() {
    Networking::NetworkSettings s;
    s.port = 0;
    s.bindAddress = "127.0.0.1";
    s.announcementAddress = "127.0.0.1";
    return s;
}

inline sockaddr_in LoopbackAddress(uint16_t port) {
    sockaddr_in a{};
    Networking::MakeAddress("127.0.0.1", port, a);
    return a;
}

// A UDP socket bound to 127.0.0.1 on a free port.
class UdpSocket {
public:
    UdpSocket() {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a = LoopbackAddress(0);
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        socklen_t len = sizeof(a);
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~UdpSocket() { close(fd); }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    sockaddr_in Address() const { return LoopbackAddress(port); }
    void SendTo(uint16_t toPort, const Bytes& data) const {
        sockaddr_in to = LoopbackAddress(toPort);
        sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    // One datagram, waiting up to timeoutMs; empty when none came.
    Bytes Receive(int timeoutMs = 1000) const {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return {};
        Bytes buf(4096);
        const ssize_t n = recv(fd, buf.data(), buf.size(), 0);
        buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buf;
    }

    int fd = -1;
    uint16_t port = 0;
};

}  // namespace NetTest
