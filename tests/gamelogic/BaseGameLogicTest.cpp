#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "events/EventManager.h"
#include "gamelogic/BaseGameLogic.h"
#include "support/Harness.h"

using namespace GameLogicView;

namespace {

class Ping : public EventSystem::SignalEvent<Ping> {
public:
    static constexpr const char* kTypeName = "TestLogicPing";
};

struct Log {
    std::vector<std::string> lines;
};

class RecordingView : public IGameView {
public:
    RecordingView(std::string n, Log* l) : name(std::move(n)), log(l) {}
    void OnAttach() override { log->lines.push_back(name + ":attach:" + std::to_string(GetViewId())); }
    void OnUpdate(int) override {
        log->lines.push_back(name + ":update");
        if (onUpdate) onUpdate();
    }
    void OnRender(int) override {}
    std::string name;
    Log* log;
    std::function<void()> onUpdate;
};

class TestLogic : public BaseGameLogic {
public:
    TestLogic() : BaseGameLogic(nullptr) {}
    void OnUpdate(int ms) override { UpdateBase(ms, runProcesses); }
    bool runProcesses = true;
};

class StepProcess : public ProcessSystem::IProcess {
public:
    explicit StepProcess(Log* l) : IProcess(9), log(l) {}
    void OnUpdate(int) override {
        log->lines.push_back("process");
        EventSystem::QueueEvent(new Ping);
    }
    Log* log;
};

class LogicTest : public ::testing::Test {
protected:
    void SetUp() override { TestSupport::ResetSingletons(); }
    void TearDown() override { TestSupport::ResetSingletons(); }
};

}  // namespace

TEST_F(LogicTest, ViewIdsStartAtOneAndAreNeverReused) {
    TestLogic logic;
    Log log;
    auto a = std::make_shared<RecordingView>("a", &log);
    auto b = std::make_shared<RecordingView>("b", &log);
    auto c = std::make_shared<RecordingView>("c", &log);
    EXPECT_EQ(a->GetViewId(), -1);
    logic.AddGameView(a);
    logic.AddGameView(b);
    logic.AddGameView(c);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"a:attach:1", "b:attach:2", "c:attach:3"}));
    logic.RemoveGameView(2);
    logic.RemoveGameView(42);  // unknown id: nothing happens
    auto d = std::make_shared<RecordingView>("d", &log);
    logic.AddGameView(d);
    EXPECT_EQ(d->GetViewId(), 4);
    ASSERT_EQ(logic.GetViews().size(), 3u);
}

TEST_F(LogicTest, FrameRunsProcessesThenDeliversThenUpdatesViews) {
    TestLogic logic;
    Log log;
    EventSystem::EventRegistry reg;
    reg.Register(Ping::GetStaticType(), [&](const EventSystem::IEvent&) {
        log.lines.push_back("ping");
        return false;
    });
    logic.GetProcessManager().Attach(std::make_shared<StepProcess>(&log));
    auto v = std::make_shared<RecordingView>("v", &log);
    logic.AddGameView(v);
    log.lines.clear();
    logic.OnUpdate(16);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"process", "ping", "v:update"}));

    // Paused: no process runs, but the queue is delivered and views updated.
    logic.runProcesses = false;
    log.lines.clear();
    EventSystem::QueueEvent(new Ping);
    logic.OnUpdate(16);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"ping", "v:update"}));
}

TEST_F(LogicTest, ViewRemovedDuringTheWalkIsSkipped) {
    TestLogic logic;
    Log log;
    auto a = std::make_shared<RecordingView>("a", &log);
    auto b = std::make_shared<RecordingView>("b", &log);
    auto c = std::make_shared<RecordingView>("c", &log);
    logic.AddGameView(a);
    logic.AddGameView(b);
    logic.AddGameView(c);
    std::weak_ptr<RecordingView> weakB = b;
    a->onUpdate = [&] { logic.RemoveGameView(2); };
    b.reset();
    log.lines.clear();
    logic.OnUpdate(16);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"a:update", "c:update"}));
    EXPECT_TRUE(weakB.expired());
}

TEST_F(LogicTest, LogicWithoutViewsStillRuns) {
    TestLogic logic;
    Log log;
    EventSystem::EventRegistry reg;
    reg.Register(Ping::GetStaticType(), [&](const EventSystem::IEvent&) {
        log.lines.push_back("ping");
        return false;
    });
    logic.GetProcessManager().Attach(std::make_shared<StepProcess>(&log));
    logic.OnUpdate(16);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"process", "ping"}));
}
