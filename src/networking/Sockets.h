// The few UDP socket calls the network makes. Each logs its own failure to
// the networking log and reports it; none stops the game.
#pragma once

#include <netinet/in.h>

#include <cstdint>

namespace Networking {

// A UDP socket, or -1.
bool CreateSocket(int& out);
bool BindSocketToPort(int socket, const sockaddr_in& address);
// Sends `size` bytes; false when not all went.
bool SendData(int socket, const uint8_t* data, uint32_t size, const sockaddr_in& address);
// One datagram into the buffer (the sender into `from`). Returns its full
// length, which may exceed the capacity (it was then cut; the caller drops
// it), or -1 after a failure.
long RecieveData(int socket, uint8_t* buffer, uint32_t capacity, sockaddr_in& from);
// True when a datagram is waiting; never waits.
bool SniffForRecieving(int socket);
void CloseSocket(int& socket);

}  // namespace Networking
