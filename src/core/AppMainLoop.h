// The main loop: each frame the previous frame's time becomes whole
// milliseconds (1..100), the window messages are pumped and the game runner
// is stepped; the frame whose pump saw the quit message is still stepped.
#pragma once

#include <functional>
#include <string>

namespace Platform {
class IMessageSource;
struct Message;
}  // namespace Platform

class MainWindow;

namespace App {

// Frame time (seconds) -> the step handed to the game: truncated to whole
// milliseconds, at least 1 and at most 100.
int FrameMilliseconds(float seconds);

// "ShowPerfMon" of section "CONSOLE": on only when present and exactly 1.
bool ReadShowPerfMon(const std::string& configFile = "Config/Config.ini");

// Takes every waiting message and hands it to the window procedure, until
// the queue is empty (true) or a quit message was taken (false, with its
// exit code); messages behind a quit stay queued.
bool PumpMessages(Platform::IMessageSource& source, const std::function<void(const Platform::Message&)>& wndProc,
                  int* quitCode = nullptr);

// The pieces one frame is made of, so the loop's order can be driven by a
// test as well as by the real clock, queue and game runner.
struct FrameParts {
    std::function<float()> lastFrameSeconds;  // the clock's time between its last two updates
    std::function<void(float)> perfReport;    // set only when the performance monitor is on
    std::function<bool()> pump;               // false once the quit message was seen
    std::function<void(int)> step;            // the game runner's update
    std::function<void()> updateClock;
    std::function<void(int)> frameDone;       // optional: after each frame, with its number (1, 2, ...)
};

// Runs frames until a pump returns false; returns the number of frames.
int RunFrames(const FrameParts& parts);

// The game's main loop on the window: builds the frame clock and the game
// runner, runs until the quit message and returns its exit code.
int MainLoop(MainWindow& window);

}  // namespace App
