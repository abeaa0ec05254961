// What bots say: a random line of a chat-pool section shown over the bot's
// actor in a speech bubble ("LtVCreateSpeechBubble", queued).
#pragma once

#include <cstdint>
#include <string>

namespace AI {

class BotGameView;

// Draws a line of the section and queues the bubble for the bot's actor; the
// line drawn is returned ("" when the section has none; the bubble still goes).
std::string Say(const BotGameView& bot, const std::string& section, uint8_t tutorial, int32_t durationMs,
                uint8_t showSymbol);

}  // namespace AI
