// Defenders at their posts. FindGuardPos sends the bot to its guard slot (or
// a free one) by handing over to a walk there; Guard keeps watch: it says a
// "Guard" line, turns on the spot towards random directions in small steps
// with pauses, and every five to six seconds moves to another free post.
#pragma once

#include <cstdint>
#include <memory>

#include "ai/sml/StateMachine.h"
#include "utility/Geometry.h"

namespace Utility {
template <class T>
class Random;
}

namespace AI {

class BotGameView;

class FindGuardPos : public StateMachine {
public:
    static constexpr const char* kName = "FindGuardPos";
    explicit FindGuardPos(BotGameView* bot);
    ~FindGuardPos() override;

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    BotGameView* m_bot;
};

class Guard : public StateMachine {
public:
    static constexpr const char* kName = "Guard";
    enum Substate : int32_t { kTurning = 0, kPausing = 1 };
    static constexpr float kTurnStep = 0.1f;        // radians per update
    static constexpr float kFacingReached = 0.3f;   // radians
    static constexpr float kMostTurning = 2.0f;     // radians before a pause
    static constexpr long kPauseMinMs = 1000;
    static constexpr long kPauseMaxMs = 1500;
    static constexpr long kPostChangeMinMs = 5000;
    static constexpr long kPostChangeMaxMs = 6000;
    static constexpr int32_t kBubbleMs = 5000;

    explicit Guard(BotGameView* bot);
    ~Guard() override;

    const Geometry::Vector3& GetLookDirection() const { return m_look; }
    float GetTurnSign() const { return m_turnSign; }
    float GetTurned() const { return m_turned; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    void ChooseLook();
    void TurnStep();
    void ChangePost();

    BotGameView* m_bot;
    Geometry::Vector3 m_look{};
    std::shared_ptr<Utility::Random<float>> m_floats;  // look directions, seed 1
    std::shared_ptr<Utility::Random<long>> m_longs;    // turn signs and delays, seed 0
    float m_turnSign = 1.0f;
    float m_turned = 0.0f;
};

}  // namespace AI
