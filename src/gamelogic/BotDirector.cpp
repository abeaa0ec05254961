#include "gamelogic/BotDirector.h"

namespace GameLogicView {

namespace {
IBotDirector* g_director = nullptr;
}

IBotDirector* GetBotDirector() { return g_director; }

void SetBotDirector(IBotDirector* director) { g_director = director; }

}  // namespace GameLogicView
