#include "core/AppMainLoop.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "ini/IniFile.h"
#include "core/AppWindow.h"
#include "core/GameRunner.h"
#include "core/MenuScript.h"
#include "gamelogic/BaseGameLogic.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "utility/Console.h"
#include "utility/Profiler.h"

namespace App {

int FrameMilliseconds(float seconds) {
    const double ms = static_cast<double>(seconds) * 1000.0;
    // Compared before the conversion so that a huge or non-finite frame time
    // cannot overflow the int.
    if (std::isnan(ms)) return 1;
    if (ms >= 100.0) return 100;
    const int whole = static_cast<int>(ms);
    return whole <= 0 ? 1 : whole;
}

bool ReadShowPerfMon(const std::string& configFile) {
    std::optional<int> v = Utility::ReadIni<int>(Utility::Key("ShowPerfMon"), Utility::Section("CONSOLE"), configFile);
    return v && *v == 1;
}

bool PumpMessages(Platform::IMessageSource& source, const std::function<void(const Platform::Message&)>& wndProc,
                  int* quitCode) {
    Platform::Message m;
    while (source.Take(m)) {
        if (m.kind == Platform::MessageKind::Quit) {
            if (quitCode) *quitCode = m.code;
            return false;
        }
        if (wndProc) wndProc(m);
    }
    return true;
}

int RunFrames(const FrameParts& parts) {
    int frames = 0;
    bool running = true;
    while (running) {
        const float seconds = parts.lastFrameSeconds ? parts.lastFrameSeconds() : 0.0f;
        if (parts.perfReport) parts.perfReport(seconds);
        const int ms = FrameMilliseconds(seconds);
        running = parts.pump ? parts.pump() : false;
        if (parts.step) parts.step(ms);
        if (parts.updateClock) parts.updateClock();
        ++frames;
        if (parts.frameDone) parts.frameDone(frames);
    }
    return frames;
}

namespace {

int QuitAfterFramesFromEnvironment() {
    const char* v = std::getenv("MIRAV_QUIT_AFTER_FRAMES");
    if (!v || !*v) return -1;
    char* end = nullptr;
    long n = std::strtol(v, &end, 10);
    if (*end != '\0' || n < 0 || n > 1000000000L) return -1;
    return static_cast<int>(n);
}

}  // namespace

int MainLoop(MainWindow& window) {
    const bool perfMon = ReadShowPerfMon();
    Profiler::Instance().SetEnabled(perfMon);

    Timer clock;  // every field zero, then reset: the first frame's time is 0
    int quitCode = 0;
    const int quitAfter = QuitAfterFramesFromEnvironment();
    const bool trace = std::getenv("MIRAV_TRACE") != nullptr;
    int frames = 0;
    {
        GameRunner runner;
        runner.CreateLogicAndView(&window.GetWindow());

        Platform::SdlMessageSource queue;
        FrameParts parts;
        parts.lastFrameSeconds = [&] { return clock.GetFrameSeconds(); };
        if (perfMon) {
            parts.perfReport = [](float seconds) {
                Profiler& p = Profiler::Instance();
                Utility::Console::Out() << p.GetReport(seconds);
                Utility::Console::NewLine();
                p.Reset();
            };
        }
        parts.pump = [&] {
            window.PollPlatform();
            return PumpMessages(queue, [&](const Platform::Message& m) { window.WndProc(m); }, &quitCode);
        };
        // A scripted run (tests of whole games) walks the menus after each step.
        std::unique_ptr<MenuScript> script = MenuScript::FromEnvironment();
        parts.step = [&](int ms) {
            runner.Update(ms);
            if (script) script->Step(runner, ms);
        };
        parts.updateClock = [&] { clock.Update(); };
        parts.frameDone = [&](int n) {
            if (n == quitAfter) Platform::PostQuit(0);
        };
        frames = RunFrames(parts);
    }
    if (trace) std::fprintf(stderr, "mirav: main loop ended after %d frames, exit code %d\n", frames, quitCode);
    return quitCode;
}

}  // namespace App
