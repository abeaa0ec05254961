// The behaviour that throws one block at a fixed point and moves on at once:
// the team strategy puts it into plans with the point to hit (a wall on the
// way, for instance).
#pragma once

#include "ai/sml/StateMachine.h"
#include "utility/Geometry.h"

namespace AI {

class BotGameView;

class ThrowBlock : public StateMachine {
public:
    static constexpr const char* kName = "ThrowBlock";

    ThrowBlock(BotGameView* owner, float targetX, float targetY, float targetZ);
    ~ThrowBlock() override;

    const Geometry::Vector3& GetTarget() const { return m_target; }

protected:
    // Only the enter of state 0: stop, throw at the point (no spread, no
    // lead), next machine of the plan. Without a block the logic refuses the
    // throw and the plan still moves on.
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    BotGameView* m_bot;
    Geometry::Vector3 m_target;
};

}  // namespace AI
