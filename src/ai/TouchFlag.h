// Returning a flag of the bot's own team that lies dropped: the flag checks
// send it home when a team-mate comes within reach, so the bot walks straight
// onto it. It starts over (a reset) once the flag no longer lies dropped or
// is out of sight.
#pragma once

#include <cstdint>

#include "ai/sml/StateMachine.h"

namespace AI {

class BotGameView;

class TouchFlag : public StateMachine {
public:
    static constexpr const char* kName = "TouchFlag";

    TouchFlag(BotGameView* bot, uint16_t flagId);
    ~TouchFlag() override;

    uint16_t GetFlagId() const { return m_flag; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    void Step();

    BotGameView* m_bot;
    uint16_t m_flag;
};

}  // namespace AI
