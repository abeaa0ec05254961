#include "ai/Speech.h"

#include <memory>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"

namespace AI {

std::string Say(const BotGameView& bot, const std::string& section, uint8_t tutorial, int32_t durationMs,
                uint8_t showSymbol) {
    const AIMan* ai = AIMan::Instance();
    std::string line = ai ? ai->GetRandomChatLine(section) : std::string();
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandCreateSpeechBubble>(
        static_cast<int16_t>(bot.GetActorId()), line, tutorial, durationMs, showSymbol));
    return line;
}

}  // namespace AI
