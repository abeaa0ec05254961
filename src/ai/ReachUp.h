// A carrier below its capture point: thrown blocks knocked the floor round
// the point away, and the capture is judged by the flag's distance in 3-D,
// so from the floor left below it the flag cannot be brought in by walking.
// The carrier stands still and jumps (the jumps come back in the air) until
// it is as high as it needs, lets go of the flag, or its time is up.
#pragma once

#include <cstdint>

#include "ai/sml/StateMachine.h"

namespace AI {

class BotGameView;

class ReachUp : public StateMachine {
public:
    static constexpr const char* kName = "ReachUp";
    // How long one reach lasts: time for a few jumps and the fall.
    static constexpr uint64_t kReachMs = 1500;

    // topY: the height the carrier's position need not rise above.
    ReachUp(BotGameView* bot, float topY);
    ~ReachUp() override;

    float GetTopY() const { return m_topY; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    BotGameView* m_bot;
    float m_topY;
    uint64_t m_began = 0;
};

}  // namespace AI
