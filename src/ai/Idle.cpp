#include "ai/Idle.h"

#include <memory>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"

namespace AI {

Idle::Idle(BotGameView* owner, bool waitForTutorial)
    : StateMachine(owner, kName), m_waitForTutorial(waitForTutorial), m_bot(owner) {}

Idle::~Idle() = default;

bool Idle::HandleStateEvent(int32_t kind, const Msg*, int32_t state, int32_t substate) {
    if (state != 0 || substate != kNoSubstate) return false;
    switch (kind) {
        case EVENT_ENTER:
            // Stand still: the same stop a player's screen sends.
            if (m_bot)
                EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandActorMove>(
                    static_cast<int16_t>(m_bot->GetActorId()), Geometry::kZeroVector));
            return true;
        case EVENT_UPDATE:
            if (m_waitForTutorial) {
                const AIMan* ai = AIMan::Instance();
                if (!ai || !ai->IsTutorialRunning()) RequestOwnerReset();
            }
            return true;
        default: return false;
    }
}

}  // namespace AI
