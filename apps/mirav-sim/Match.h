// One headless match: the logic initialised as the game does, the local
// player handed to a bot, fixed 16 ms frames until a team wins or the time
// is up; what it came to and what it cost.
#pragma once

#include "Options.h"

namespace Sim {

constexpr int kFrameMs = 16;

struct MatchResult {
    int winner = -1;  // the winning team; -1 none
    int captures[2] = {0, 0};  // flags captured by team 0 and by team 1
    int fallen = 0;  // blocks that left the level (swept below its floor)
    // Times a bot stayed over 30 game seconds in one cell, a guard at its
    // post not counted.
    int stuck = 0;
    long long gameMs = 0;
    long long wallMs = 0;
    long long frames = 0;
    // Set when the level came up without what a match needs (the level
    // could not be read, or a team has no flag or no spawn point): why.
    const char* unplayable = nullptr;
};

MatchResult RunMatch(const Options& options);

long PeakRssKb();
long CurrentRssKb();

}  // namespace Sim
