#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "processes/Process.h"

using namespace ProcessSystem;

namespace {

// Records each update it gets; kills itself after `life` updates (never when 0).
class Probe : public IProcess {
public:
    Probe(std::string n, std::vector<std::string>* l, int life = 0) : IProcess(7), name(std::move(n)), log(l), life(life) {}
    void OnInitialize() override { log->push_back(name + ":init"); }
    void OnUpdate(int) override {
        log->push_back(name);
        if (life && ++updates >= life) Kill();
        if (onUpdate) onUpdate();
    }
    std::string name;
    std::vector<std::string>* log;
    int life;
    int updates = 0;
    std::function<void()> onUpdate;
};

class Timed : public ITimeProcess {
public:
    using ITimeProcess::ITimeProcess;
    void OnUpdate(int ms) override { Advance(ms); }
};

class Repeat : public IRepeatProcess {
public:
    using IRepeatProcess::IRepeatProcess;
    void OnUpdate(int ms) override {
        Advance(ms);
        fired.push_back(TakeFired());
    }
    std::vector<bool> fired;
};

}  // namespace

TEST(Process, WaitThenSuccessorStartsNextPass) {
    ProcessManager pm;
    std::vector<std::string> log;
    auto wait = std::make_shared<WaitProcess>(100);
    auto next = std::make_shared<Probe>("next", &log);
    wait->SetNext(next);
    pm.Attach(wait);
    for (int i = 1; i <= 6; ++i) {
        pm.UpdateProcesses(16);
        EXPECT_FALSE(wait->IsDead()) << i;
    }
    pm.UpdateProcesses(16);  // seventh: remaining -12
    EXPECT_EQ(wait->GetRemaining(), -12);
    EXPECT_TRUE(wait->IsDead());
    EXPECT_TRUE(log.empty());  // successor attached at the end of the pass, not updated yet
    EXPECT_TRUE(next->IsAttached());
    EXPECT_FALSE(wait->IsAttached());
    pm.UpdateProcesses(16);
    EXPECT_EQ(log, (std::vector<std::string>{"next:init", "next"}));
}

TEST(Process, ZeroWaitDiesAtFirstUpdate) {
    ProcessManager pm;
    auto w = std::make_shared<WaitProcess>(0);
    pm.Attach(w);
    pm.UpdateProcesses(1);
    EXPECT_TRUE(w->IsDead());
    EXPECT_FALSE(pm.HasProcesses());
}

TEST(Process, TimedProgress) {
    struct Case {
        int duration, step;
        std::vector<float> progress;
    } cases[] = {{0, 16, {1.0f}}, {1000, 400, {0.4f, 0.8f, 1.0f}}};
    for (const auto& c : cases) {
        ProcessManager pm;
        auto t = std::make_shared<Timed>(c.duration);
        pm.Attach(t);
        for (size_t i = 0; i < c.progress.size(); ++i) {
            EXPECT_FALSE(t->IsDead());
            pm.UpdateProcesses(c.step);
            EXPECT_FLOAT_EQ(t->GetProgress(), c.progress[i]) << c.duration << " step " << i;
        }
        EXPECT_TRUE(t->IsDead());
    }
}

TEST(Process, RepeatDropsRemainder) {
    ProcessManager pm;
    auto r = std::make_shared<Repeat>(100);
    pm.Attach(r);
    for (int i = 0; i < 4; ++i) pm.UpdateProcesses(70);
    // 70, 140 -> fire (reset to 0), 70, 140 -> fire
    EXPECT_EQ(r->fired, (std::vector<bool>{false, true, false, true}));
}

TEST(Process, FunctorCallsOnceAndChainsOfThree) {
    ProcessManager pm;
    std::vector<std::string> log;
    auto first = std::make_shared<WaitProcess>(10);
    std::shared_ptr<IProcess> fn = MakeFunctorProcess([&] { log.push_back("call"); });
    auto third = std::make_shared<Probe>("third", &log, 1);
    first->SetNext(fn)->SetNext(third);
    EXPECT_EQ(fn->GetType(), 1);
    EXPECT_EQ(first->GetType(), 2);
    pm.Attach(first);
    for (int i = 0; i < 6; ++i) pm.UpdateProcesses(16);
    EXPECT_EQ(log, (std::vector<std::string>{"call", "third:init", "third"}));
    EXPECT_FALSE(pm.HasProcesses());
}

TEST(Process, CancelEndsTheChain) {
    ProcessManager pm;
    std::vector<std::string> log;
    auto w = std::make_shared<WaitProcess>(1000);
    auto next = std::make_shared<Probe>("next", &log);
    w->SetNext(next);
    pm.Attach(w);
    pm.UpdateProcesses(16);
    w->Cancel();
    pm.UpdateProcesses(16);
    pm.UpdateProcesses(16);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(next->IsAttached());
}

TEST(Process, KilledByAnotherDuringAPass) {
    ProcessManager pm;
    std::vector<std::string> log;
    auto early = std::make_shared<Probe>("early", &log);
    auto killer = std::make_shared<Probe>("killer", &log);
    auto late = std::make_shared<Probe>("late", &log);
    killer->onUpdate = [&] {
        early->Kill();
        late->Kill();
    };
    pm.Attach(early);
    pm.Attach(killer);
    pm.Attach(late);
    pm.UpdateProcesses(16);
    // late was killed before its turn: not updated, detached at the end of this pass.
    EXPECT_EQ(log, (std::vector<std::string>{"early:init", "early", "killer:init", "killer"}));
    EXPECT_FALSE(late->IsAttached());
    EXPECT_TRUE(early->IsAttached());  // already updated: goes at the end of the next pass
    log.clear();
    killer->onUpdate = nullptr;
    pm.UpdateProcesses(16);
    EXPECT_EQ(log, (std::vector<std::string>{"killer"}));
    EXPECT_FALSE(early->IsAttached());
}

TEST(Process, AttachAndDetachDuringAPass) {
    ProcessManager pm;
    std::vector<std::string> log;
    auto added = std::make_shared<Probe>("added", &log);
    auto removed = std::make_shared<Probe>("removed", &log);
    auto host = std::make_shared<Probe>("host", &log);
    host->onUpdate = [&] {
        pm.Attach(added);     // appended: updated in this same pass
        pm.Detach(removed);   // later in the list: not updated any more
        pm.Detach(host);      // even the running one
    };
    pm.Attach(host);
    pm.Attach(removed);
    pm.UpdateProcesses(16);
    EXPECT_EQ(log, (std::vector<std::string>{"host:init", "host", "added:init", "added"}));
    EXPECT_FALSE(removed->IsAttached());
    EXPECT_FALSE(host->IsAttached());
    EXPECT_EQ(pm.Count(), 1u);

    host->onUpdate = [&] { pm.DetachAll(); };
    pm.Attach(host);
    log.clear();
    pm.UpdateProcesses(16);
    EXPECT_FALSE(pm.HasProcesses());
}
