// Stepping aside from a block thrown at the bot: after a short random
// reaction time the bot sidesteps across the line of fire, away from the side
// the block drifts to, jumps when the block comes down on it, keeps facing the
// thrower, and after a further short time starts over (a reset).
#pragma once

#include <cstdint>

#include "ai/sml/StateMachine.h"
#include "utility/Geometry.h"

namespace AI {

class BotGameView;

class Dodge : public StateMachine {
public:
    static constexpr const char* kName = "Dodge";
    enum Substate : int32_t { kSidestepping = 0, kReacting = 1 };
    // The sidestep lasts this long (ms, both ends included).
    static constexpr long kSidestepMinMs = 150;
    static constexpr long kSidestepMaxMs = 300;
    // A throw coming down faster than this (velocity y below it) is jumped.
    static constexpr float kJumpBelowVelocityY = -0.2f;

    Dodge(BotGameView* bot, uint16_t thrower, const Geometry::Vector3& velocity);
    ~Dodge() override;

    const Geometry::Vector3& GetDodgeMove() const { return m_move; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    BotGameView* m_bot;
    uint16_t m_thrower;
    Geometry::Vector3 m_velocity;
    Geometry::Vector3 m_move{};
};

// Across the line from the bot to the thrower (both horizontal), against the
// block's sideways drift: (-a.z, 0, a.x) normalised, negated when the throw
// drifts that way. Zero when the thrower stands on the bot's spot.
Geometry::Vector3 DodgeDirection(const Geometry::Vector3& botPosition, const Geometry::Vector3& throwerPosition,
                                 const Geometry::Vector3& velocity);

}  // namespace AI
