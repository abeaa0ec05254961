// Random datagrams through the receive path of a host: header, peer look-up,
// acknowledgement, the held list, the wire index, counts and payloads. The
// input is a run of datagrams, each as one byte naming who sent it (odd: the
// peer in slot 1, even: a stranger), a length byte and that many bytes, so
// chains of reliable packets, held packets and strangers are all reached.
#include <cstdint>
#include <memory>

#include "networking/Connection.h"
#include "networking/NetworkManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Networking::NetworkManager::EventList incoming;
    static std::unique_ptr<Networking::NetworkManager> host = [] {
        Networking::NetworkSettings s;
        s.port = 0;
        s.bindAddress = "127.0.0.1";
        return std::make_unique<Networking::NetworkManager>(true, s, &incoming);
    }();
    sockaddr_in peer{}, stranger{};
    Networking::MakeAddress("127.0.0.1", 9, peer);
    Networking::MakeAddress("127.0.0.1", 10, stranger);
    host->OpenPeer(1, peer);  // a fresh connection for every input
    size_t at = 0;
    while (at + 2 <= size) {
        const bool fromPeer = data[at] & 1;
        // Lengths past 255 come from the last datagram taking all the rest.
        size_t len = data[at + 1];
        at += 2;
        if (len == 255 || at + len > size) len = size - at;
        host->HandleDatagram(data + at, static_cast<uint32_t>(len), fromPeer ? peer : stranger);
        at += len;
    }
    incoming.clear();
    return 0;
}
