// The menu action table: what a button's or a group option's action string
// does (screen-flow events, game starts, the global flags the next game
// reads, the saved inversion option).
#pragma once

#include <string>

namespace GameLogicView {

// Unknown actions ("none", "", ...) do nothing.
void DispatchMenuAction(const std::string& action);

// The level number of an action "level<digits>"; -1 when the rest is not a
// number of 0..255.
int LevelNumberOfAction(const std::string& action);

}  // namespace GameLogicView
