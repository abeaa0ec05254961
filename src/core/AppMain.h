// The program's start and end: single instance, console, game state, window,
// main loop, then everything torn down in reverse.
#pragma once

namespace App {

// Exit codes besides the quit message's own.
constexpr int kExitAlreadyRunning = 255;  // another instance showed its window
constexpr int kExitFatal = 1;             // no window or no GL 3.3 context

// The whole program; returns the process's exit code.
int Run();

// The console commands that stand in for the system's power broadcasts:
// "power_suspend", "power_resume" (with 1 for a critical resume) and
// "power_update". Suspend and resume are delivered at once.
void RegisterPowerCommands();

}  // namespace App
