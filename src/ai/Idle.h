// The do-nothing behaviour: stops the bot and leaves it standing. A bot that
// waits for another bot's tutorial asks for a reset as soon as no tutorial
// runs any more, so that it chooses a behaviour again.
#pragma once

#include "ai/sml/StateMachine.h"

namespace AI {

class BotGameView;

class Idle : public StateMachine {
public:
    // The machine keeps the name the ThrowBlock machine uses; nothing tells
    // them apart by name.
    static constexpr const char* kName = "ThrowBlock";

    Idle(BotGameView* owner, bool waitForTutorial);
    ~Idle() override;

    bool WaitsForTutorial() const { return m_waitForTutorial; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    bool m_waitForTutorial;
    BotGameView* m_bot;
};

}  // namespace AI
