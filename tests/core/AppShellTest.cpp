// The shell's main loop and window procedure: the step rule, the order of a
// frame, the pump stopping at the quit message, the performance monitor
// switch and the power messages.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "core/AppMain.h"
#include "core/AppMainLoop.h"
#include "core/AppWindow.h"
#include "events/types/ViewEvents.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "support/Harness.h"
#include "utility/Console.h"
#include "utility/Timer.h"

using Platform::Message;
using Platform::MessageKind;

TEST(AppStepRule, FrameTimeToMilliseconds) {
    struct Case {
        float seconds;
        int ms;
    };
    const Case cases[] = {
        {0.0f, 1},      // the first frame: the clock has no frame time yet
        {0.25f, 100},   // a long frame is stepped as 100 ms
        {0.0004f, 1},   // below one millisecond
        {0.0167f, 16},  // the fraction is dropped
        {0.0999f, 99},
        {0.1f, 100},
        {0.001f, 1},
        {-0.5f, 1},  // a clock that went backwards
        {1e30f, 100},
        {std::numeric_limits<float>::infinity(), 100},
        {std::numeric_limits<float>::quiet_NaN(), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(App::FrameMilliseconds(c.seconds), c.ms) << "seconds " << c.seconds;
}

namespace {

// The frame clock on hand-fed microseconds.
struct ScriptedClock {
    std::vector<int64_t> ticks;  // one reading per clock update
    size_t next = 0;
    int64_t now = 0;
    Timer timer;
    ScriptedClock() {
        timer.SetTickSource([this] { return now; }, 1e-6);
    }
    void Update() {
        if (next < ticks.size()) now = ticks[next++];
        timer.Update();
    }
};

}  // namespace

TEST(AppMainLoop, StepsFromTheClockAndStillStepsTheQuitFrame) {
    ScriptedClock clock;
    // Updates after frames 1, 2, 3: 0.25 s, 0.0004 s and 0.0167 s later.
    clock.ticks = {250000, 250400, 267100, 300000};

    Platform::ListMessageSource queue;
    std::vector<std::string> log;
    std::vector<int> steps;
    int frame = 0;
    int quitCode = -1;

    App::FrameParts parts;
    parts.lastFrameSeconds = [&] { return clock.timer.GetFrameSeconds(); };
    parts.pump = [&] {
        ++frame;
        log.push_back("pump");
        if (frame == 4) {
            // A quit in the middle of the queue.
            queue.Push({MessageKind::SetCursor, 0});
            queue.Push({MessageKind::Quit, 0});
            queue.Push({MessageKind::Raise, 0});
        }
        return App::PumpMessages(
            queue, [&](const Message& m) { log.push_back(m.kind == MessageKind::SetCursor ? "cursor" : "other"); },
            &quitCode);
    };
    parts.step = [&](int ms) {
        steps.push_back(ms);
        log.push_back("step");
    };
    parts.updateClock = [&] {
        clock.Update();
        log.push_back("clock");
    };

    EXPECT_EQ(App::RunFrames(parts), 4);
    EXPECT_EQ(steps, (std::vector<int>{1, 100, 1, 16}));
    EXPECT_EQ(quitCode, 0);
    // The message behind the quit was not dispatched and is still queued.
    EXPECT_EQ(queue.Size(), 1u);
    const std::vector<std::string> lastFrame(log.end() - 4, log.end());
    EXPECT_EQ(lastFrame, (std::vector<std::string>{"pump", "cursor", "step", "clock"}));
}

TEST(AppMainLoop, PerformanceReportGetsThePreviousFrameTimeBeforeTheStep) {
    std::vector<float> times = {0.0f, 0.0625f, 0.03125f};  // exact in binary
    size_t i = 0;
    std::vector<std::string> log;
    App::FrameParts parts;
    parts.lastFrameSeconds = [&] { return times[i]; };
    parts.perfReport = [&](float s) { log.push_back("report " + std::to_string(static_cast<int>(s * 1000 + 0.5f))); };
    parts.pump = [&] { return i + 1 < times.size(); };
    parts.step = [&](int ms) { log.push_back("step " + std::to_string(ms)); };
    parts.updateClock = [&] { ++i; };
    EXPECT_EQ(App::RunFrames(parts), 3);
    EXPECT_EQ(log, (std::vector<std::string>{"report 0", "step 1", "report 63", "step 62", "report 31", "step 31"}));
}

TEST(AppMainLoop, ShowPerfMonOnlyWhenExactlyOne) {
    char tmpl[] = "/tmp/mirav-perfmon-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    struct Case {
        const char* text;
        bool on;
    };
    const Case cases[] = {
        {"[CONSOLE]\nShowPerfMon = 1\n", true},
        {"[CONSOLE]\nShowPerfMon = 2\n", false},
        {"[CONSOLE]\nShowPerfMon = 0\n", false},
        {"[CONSOLE]\nShowPerfMon = yes\n", false},
        {"[CONSOLE]\nEnableConsole = 1\n", false},
        {"[OTHER]\nShowPerfMon = 1\n", false},
        {nullptr, false},  // no file at all
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir + "/Config" + std::to_string(n++) + ".ini";
        if (c.text) std::ofstream(path) << c.text;
        EXPECT_EQ(App::ReadShowPerfMon(path), c.on) << (c.text ? c.text : "(no file)");
    }
}

namespace {

class AppWindowProc : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        std::string err;
        ASSERT_TRUE(Platform::InitVideo(&err)) << err;
        window = MainWindow::Create("mirav");
        Drain();
    }
    void TearDown() override {
        Drain();
        MainWindow::Destroy();
        Platform::ShutdownVideo();
        TestSupport::ResetSingletons();
    }
    std::vector<Message> Drain() {
        std::vector<Message> out;
        Platform::SdlMessageSource src;
        Message m;
        while (src.Take(m))
            if (m.kind != MessageKind::Other) out.push_back(m);
        return out;
    }
    MainWindow* window = nullptr;
};

}  // namespace

TEST_F(AppWindowProc, RecordIsCreatedOnce) {
    EXPECT_EQ(MainWindow::Create("other"), window);
    EXPECT_EQ(MainWindow::Get()->GetClassName(), "mirav");
}

TEST_F(AppWindowProc, CloseQueuesANormalQuit) {
    EXPECT_EQ(window->WndProc({MessageKind::Close, 0}), 0);
    const auto msgs = Drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].kind, MessageKind::Quit);
    EXPECT_EQ(msgs[0].code, 0);
}

TEST_F(AppWindowProc, SuspendAndResumeAreDeliveredAtOnceStatusChangeIsQueued) {
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventPowerSuspend, EventTypes::EventPowerSuspendResume, EventTypes::EventPowerUpdate>();

    EXPECT_EQ(window->WndProc({MessageKind::PowerSuspend, 0}), 1);
    EXPECT_EQ(rec.Count<EventTypes::EventPowerSuspend>(), 1u);

    EXPECT_EQ(window->WndProc({MessageKind::PowerResume, 1}), 1);
    EXPECT_EQ(window->WndProc({MessageKind::PowerResume, 0}), 1);
    const auto resumes = rec.Of<EventTypes::EventPowerSuspendResume>();
    ASSERT_EQ(resumes.size(), 2u);
    EXPECT_EQ(resumes[0]->GetPayload()->critical, 1);
    EXPECT_EQ(resumes[1]->GetPayload()->critical, 0);

    EXPECT_EQ(window->WndProc({MessageKind::PowerStatusChange, 0}), 1);
    EXPECT_EQ(rec.Count<EventTypes::EventPowerUpdate>(), 0u) << "queued, not delivered";
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<EventTypes::EventPowerUpdate>(), 1u);
}

TEST_F(AppWindowProc, RaiseRequestIsCounted) {
    EXPECT_EQ(window->RaiseCount(), 0);
    window->WndProc({MessageKind::Raise, 0});
    EXPECT_EQ(window->RaiseCount(), 1);
}

TEST_F(AppWindowProc, ConsoleCommandsFireThePowerEvents) {
    std::istringstream in;
    std::ostringstream out;
    Utility::Console::Create(true, in, out);
    App::RegisterPowerCommands();
    TestSupport::EventRecorder rec;
    rec.Listen<EventTypes::EventPowerSuspend, EventTypes::EventPowerSuspendResume, EventTypes::EventPowerUpdate>();

    Utility::Console::Execute("call power_suspend");
    EXPECT_EQ(rec.Count<EventTypes::EventPowerSuspend>(), 1u) << "delivered at once";
    Utility::Console::Execute("call power_resume 1");
    Utility::Console::Execute("call power_resume");
    const auto resumes = rec.Of<EventTypes::EventPowerSuspendResume>();
    ASSERT_EQ(resumes.size(), 2u);
    EXPECT_EQ(resumes[0]->GetPayload()->critical, 1);
    EXPECT_EQ(resumes[1]->GetPayload()->critical, 0);
    Utility::Console::Execute("call power_update");
    EXPECT_EQ(rec.Count<EventTypes::EventPowerUpdate>(), 0u);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(rec.Count<EventTypes::EventPowerUpdate>(), 1u);
}
