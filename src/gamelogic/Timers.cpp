#include "gamelogic/Timers.h"

#include "processes/Process.h"

namespace GameLogicView {

std::shared_ptr<ProcessSystem::IProcess> AttachAfter(ProcessSystem::ProcessManager* processes, int ms,
                                                     const std::shared_ptr<ProcessSystem::IProcess>& then) {
    if (!processes) return nullptr;
    auto wait = std::make_shared<ProcessSystem::WaitProcess>(ms);
    wait->SetNext(then);
    processes->Attach(wait);
    return wait;
}

}  // namespace GameLogicView
