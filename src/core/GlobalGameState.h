// The few facts every part of the game shares across matches (16 one-byte
// flags) and the player's options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace GameLogicView {

class GlobalGameState {
public:
    static void Create();
    static GlobalGameState* Instance();
    static void Destroy();

    virtual ~GlobalGameState() = default;

    uint8_t GetFlag(int index) const;
    void SetFlag(int index, uint8_t value);
    std::vector<uint8_t>& Flags() { return m_flags; }

private:
    GlobalGameState();
    std::vector<uint8_t> m_flags;
};

}  // namespace GameLogicView
