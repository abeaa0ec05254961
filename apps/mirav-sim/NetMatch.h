// mirav-sim's network mode: one machine of a match played over the network,
// in real time (the network's time-outs are real milliseconds). A host runs
// the logic with bots and a network view; a joining machine finds a host by
// its announcement, joins it through the client network logic, and its
// player follows a small seeded script of commands. Both print what they
// see: the actors when the match ends, their own player's place, and the
// hand-over of silent machines to bots.
#pragma once

#include "Options.h"

namespace Sim {

// 0 after a match that ended as planned; 3 when no host was found or the
// join did not complete in time.
int RunHost(const Options& options);
int RunJoin(const Options& options);

}  // namespace Sim
