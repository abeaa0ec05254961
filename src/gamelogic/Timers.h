// The rules' timers: a wait of some milliseconds, then its successor, in the
// logic's process list (locks, respawns, fades, chained bombs, flag returns).
#pragma once

#include <memory>

namespace ProcessSystem {
class IProcess;
class ProcessManager;
}  // namespace ProcessSystem

namespace GameLogicView {

// Wait(ms) then `then`, attached to the list; returns the wait, so its owner
// may cancel the pair. Without a list nothing is attached and nothing returned.
std::shared_ptr<ProcessSystem::IProcess> AttachAfter(ProcessSystem::ProcessManager* processes, int ms,
                                                     const std::shared_ptr<ProcessSystem::IProcess>& then);

}  // namespace GameLogicView
