// The single network manager. Until the networking is built it only keeps
// the peer slots' awaiting-join flags the game runner resets.
#pragma once

#include <array>
#include <cstddef>

namespace Networking {

class NetworkManager {
public:
    static NetworkManager& Instance();

    // Puts every occupied peer slot back into its awaiting-join state.
    void ResetPeers();
    int GetResetCount() const { return m_resets; }

    std::array<bool, 4> occupied{};
    std::array<bool, 4> awaitingJoin{};

private:
    int m_resets = 0;
};

}  // namespace Networking
