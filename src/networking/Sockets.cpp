#include "networking/Sockets.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "utility/HtmlLogger.h"

namespace Networking {

bool CreateSocket(int& out) {
    out = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    return out >= 0;
}

bool BindSocketToPort(int s, const sockaddr_in& address) {
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "BindSocketToPort() - UDP Bind Error: %i", errno);
        return false;
    }
    return true;
}

bool SendData(int s, const uint8_t* data, uint32_t size, const sockaddr_in& address) {
    const ssize_t sent =
        sendto(s, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    if (sent < static_cast<ssize_t>(size)) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "SendData() - Error returned from sendto: %i", errno);
        return false;
    }
    return true;
}

long RecieveData(int s, uint8_t* buffer, uint32_t capacity, sockaddr_in& from) {
    socklen_t len = sizeof(from);
    const ssize_t n =
        recvfrom(s, buffer, capacity, MSG_TRUNC | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "RecieveData() - Error returned from recvfrom: %i", errno);
        return -1;
    }
    return static_cast<long>(n);
}

bool SniffForRecieving(int s) {
    if (s < 0) return false;
    pollfd p{s, POLLIN, 0};
    const int r = poll(&p, 1, 0);
    if (r < 0) {
        NetworkingLog.Log(HtmlLogger::LOG_ERROR, "SniffForRecieving() - Error returned from select(): %i", errno);
        return false;
    }
    return r > 0 && (p.revents & POLLIN);
}

void CloseSocket(int& s) {
    if (s >= 0) close(s);
    s = -1;
}

}  // namespace Networking
