#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "processes/Process.h"
#include "screens/Button.h"
#include "screens/HudParts.h"
#include "screens/TextObj.h"
#include "support/Harness.h"
#include "utility/BatteryInfo.h"

using namespace GameLogicView;

namespace {

// A HUD file with the score panels, three slots a team and the battery.
class HudFile {
public:
    HudFile() {
        char name[] = "/tmp/mirav-hud-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        path = name;
        std::ofstream out(path);
        out << "[AngelScore]\nstate = 110\nx = 0.12\ny = 0.06\nz = 0.5\nextX = 0.1\nextY = 0.04\nstatic = 1\nimage = 273\n";
        out << "[DemonScore]\nstate = 110\nx = 0.88\ny = 0.06\nz = 0.5\nextX = 0.1\nextY = 0.04\nstatic = 1\nimage = 273\n";
        for (const char* team : {"Angel", "Demon"})
            for (int i = 1; i <= 3; ++i) {
                out << "[" << team << "Marker" << i << "]\nstate = 110\nstatic = 1\nimage = 262\n";
                out << "[" << team << "Marker" << i << "Flag]\nstate = 111\nstatic = 1\nimage = 270\n";
            }
        out << "[Battery]\nstate = 112\nstatic = 1\nimage = 265\n";
    }
    ~HudFile() { std::remove(path.c_str()); }
    std::string path;
};

// Image and alpha of the button of that section (-2 each when it is missing).
std::pair<int, float> Look(const ButtonMan& buttons, const std::string& name) {
    auto b = buttons.FindButton(name);
    EXPECT_TRUE(b) << name;
    return b ? std::make_pair(b->GetCurrent(), b->GetAlpha()) : std::make_pair(-2, -2.0f);
}

// Collects the effects queued with their positions.
struct EffectLog {
    EffectLog() {
        registry.Register(EventTypes::EventCreateEffect::GetStaticType(), [this](const EventSystem::IEvent& e) {
            const auto* d = static_cast<const EventTypes::EventCreateEffect&>(e).GetPayload();
            names.push_back(d->effectName);
            positions.push_back(d->position);
            return false;
        });
    }
    EventSystem::EventRegistry registry;
    std::vector<std::string> names;
    std::vector<Geometry::Vector3> positions;
};

class HudPartsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GlobalGameState::Create();
    }
    void TearDown() override { TestSupport::ResetSingletons(); }
    HudFile file;
    ButtonMan buttons;
};

}  // namespace

TEST(HudMarkerPlacement, EdgePinningTable) {
    // Camera looks down -z from the origin; +x is its right, so the ring puts
    // right-hand objects on the right edge and objects ahead on the top edge.
    const HudVec3 ref{0, 0, 0}, fwd{0, 0, -1};
    struct Case {
        const char* what;
        HudVec3 obj;
        float x, y;
    } cases[] = {
        {"ahead", {0, 0, -300}, 0.5f, 0.016f},
        {"behind the camera", {0, 0, 50}, 0.5f, 0.984f},
        {"off the right edge", {40, 0, 0}, 0.984f, 0.5f},
        {"off the left edge", {-40, 0, 0}, 0.016f, 0.5f},
        {"corner ahead-right", {10, 0, -10}, 0.5f + 0.484f * 0.70710678f, 0.5f - 0.484f * 0.70710678f},
        {"corner behind-left", {-3, 5, 3}, 0.5f - 0.484f * 0.70710678f, 0.5f + 0.484f * 0.70710678f},
        {"straight above: no direction", {0, 20, 0}, 0.5f, 0.5f},
    };
    for (const Case& c : cases) {
        float x = -1, y = -1;
        HudPinToEdge(c.obj, ref, fwd, x, y);
        EXPECT_NEAR(x, c.x, 1e-4f) << c.what;
        EXPECT_NEAR(y, c.y, 1e-4f) << c.what;
    }
    // A camera turned to look along +x: an object at +x is now ahead.
    float x, y;
    HudPinToEdge({5, 0, 0}, ref, {1, 0, 0}, x, y);
    EXPECT_NEAR(x, 0.5f, 1e-4f);
    EXPECT_NEAR(y, 0.016f, 1e-4f);
}

TEST(HudMarkerPlacement, SizeByDistance) {
    EXPECT_NEAR(HudMarkerSize({1, 0, 0}, {}), 0.11f, 1e-6f);
    EXPECT_NEAR(HudMarkerSize({200, 0, 0}, {}), 0.06f, 1e-6f);
    EXPECT_NEAR(HudMarkerSize({0, 0, 0}, {}), 0.11f, 1e-6f);
    const float mid = HudMarkerSize({50, 0, 0}, {});
    EXPECT_GT(mid, 0.06f);
    EXPECT_LT(mid, 0.11f);
}

TEST_F(HudPartsTest, SlotFollowsFlagThroughStates) {
    HudScoreMan score(buttons, file.path);
    ProcessSystem::ProcessManager processes;
    score.SetProcessManager(&processes);
    EffectLog effects;
    std::vector<int> captures;
    score.onCapture = [&](int t) { captures.push_back(t); };
    EXPECT_EQ(Look(buttons, "AngelMarker1").second, 0.0f);  // hidden at home
    EXPECT_EQ(Look(buttons, "AngelMarker1Flag").second, 0.9f);
    EXPECT_TRUE(buttons.FindButton("DemonMarker3Flag"));
    EXPECT_TRUE(buttons.FindButton("AngelScore"));

    score.OnFlagEvent(0, 42, HudScoreMan::kCarried, 0);  // takes the first free slot
    EXPECT_EQ(score.GetSlot(0, 0).state, HudScoreMan::kCarried);
    EXPECT_EQ(score.GetSlot(0, 0).flagId, 42);
    ASSERT_TRUE(score.GetSlot(0, 0).pulse);
    EXPECT_EQ(processes.Count(), 1u);  // the pulse runs in the given process list
    EXPECT_EQ(score.GetSlot(1, 0).state, HudScoreMan::kHome);

    score.OnFlagEvent(0, 42, HudScoreMan::kDropped, 0);
    EXPECT_EQ(Look(buttons, "AngelMarker1").first, HudScoreMan::kImageDropped);
    EXPECT_EQ(Look(buttons, "AngelMarker1").second, 1.0f);
    EXPECT_EQ(processes.Count(), 1u);  // still the one pulse
    score.OnFlagEvent(0, 42, HudScoreMan::kHome, 0);
    EXPECT_EQ(score.GetSlot(0, 0).state, HudScoreMan::kHome);
    EXPECT_FALSE(score.GetSlot(0, 0).pulse);
    processes.UpdateProcesses(16);
    EXPECT_EQ(processes.Count(), 0u);  // stopped pulses leave the list
    EXPECT_EQ(Look(buttons, "AngelMarker1").second, 0.0f);
    EXPECT_EQ(Look(buttons, "AngelMarker1Flag").second, 0.9f);

    // Another flag of team 0 taken while 42 is still tracked goes to slot 2.
    score.OnFlagEvent(0, 7, HudScoreMan::kCarried, 0);
    score.OnFlagEvent(0, 7, HudScoreMan::kCaptured, 0);
    EXPECT_EQ(score.GetSlot(0, 1).state, HudScoreMan::kCaptured);
    EXPECT_EQ(Look(buttons, "AngelMarker2").first, HudScoreMan::kImageCapturedOwn);
    EXPECT_EQ(Look(buttons, "AngelMarker2").second, 1.0f);
    EXPECT_EQ(Look(buttons, "AngelMarker2Flag").second, 0.5f);
    score.OnFlagEvent(1, 9, HudScoreMan::kCaptured, 0);
    EXPECT_EQ(Look(buttons, "DemonMarker1").first, HudScoreMan::kImageCapturedEnemy);
    EXPECT_EQ(score.Captures(0), 1);
    EXPECT_EQ(score.Captures(1), 1);
    EXPECT_EQ(captures, (std::vector<int>{0, 1}));
    score.OnFlagEvent(2, 9, HudScoreMan::kCaptured, 0);  // unknown team
    EXPECT_EQ(captures.size(), 2u);

    // Each capture plays its team's score effect at that team's panel.
    EventSystem::ProcessEventQueue();
    ASSERT_EQ(effects.names, (std::vector<std::string>{"AngelScoreHud", "DemonScoreHud"}));
    EXPECT_NEAR(effects.positions[0].x, 0.12f, 1e-6f);
    EXPECT_NEAR(effects.positions[1].x, 0.88f, 1e-6f);
    EXPECT_NEAR(effects.positions[1].y, 0.06f, 1e-6f);
}

TEST_F(HudPartsTest, DecidedMatchFreezesAndFlagCountFollowsConfig) {
    HudScoreMan score(buttons, file.path, 2);
    EXPECT_TRUE(buttons.FindButton("AngelMarker2"));
    EXPECT_FALSE(buttons.FindButton("AngelMarker3"));
    // Three captures of team 1's flags with only two slots: the count still rises.
    for (uint16_t id : {1, 2, 3}) score.OnFlagEvent(1, id, HudScoreMan::kCaptured, 1);
    EXPECT_EQ(score.Captures(1), 3);
    score.OnFlagEvent(0, 5, HudScoreMan::kCarried, 1);  // decided: ignored
    EXPECT_EQ(score.GetSlot(0, 0).state, HudScoreMan::kHome);
    // No slots configured is raised to one rather than leaving an empty display.
    ButtonMan other;
    HudScoreMan none(other, file.path, 0);
    EXPECT_EQ(none.FlagsPerTeam(), 1);
}

TEST_F(HudPartsTest, PulseRange) {
    EXPECT_FLOAT_EQ(FadeMarkerProc::PulseAlpha(0, 1000), 0.45f);
    EXPECT_FLOAT_EQ(FadeMarkerProc::PulseAlpha(236, 1000), 0.45f);
    EXPECT_FLOAT_EQ(FadeMarkerProc::PulseAlpha(764, 1000), 0.95f);
    EXPECT_NEAR(FadeMarkerProc::PulseAlpha(500, 1000), 0.7f, 1e-5f);
    HudScoreMan score(buttons, file.path, 3, 1000);
    ProcessSystem::ProcessManager processes;
    score.SetProcessManager(&processes);
    score.OnFlagEvent(0, 3, HudScoreMan::kCarried, 0);
    processes.UpdateProcesses(500);
    EXPECT_NEAR(Look(buttons, "AngelMarker1Flag").second, 0.7f, 1e-5f);
    processes.UpdateProcesses(600);  // bounces at 0 and heads back up
    EXPECT_FLOAT_EQ(Look(buttons, "AngelMarker1Flag").second, 0.45f);
    processes.UpdateProcesses(500);
    EXPECT_NEAR(Look(buttons, "AngelMarker1Flag").second, 0.7f, 1e-5f);
    // Without a process list (before the HUD attaches one) nothing pulses.
    HudScoreMan idle(buttons, file.path, 3, 1000);
    idle.OnFlagEvent(1, 4, HudScoreMan::kCarried, 0);
    EXPECT_FALSE(idle.GetSlot(1, 0).pulse);
}

TEST_F(HudPartsTest, BatteryStatesPickIconTags) {
    BatteryInfo info([](PowerReading& r) {
        r.acLineStatus = PowerReading::kAcOnline;
        r.batteryFlag = PowerReading::kFlagNoBattery;
        r.lifePercent = 255;
        return true;
    });
    std::vector<std::string> effects;
    HudBattery gauge(info, buttons, file.path, [&](const std::string& e) { effects.push_back(e); });
    ASSERT_TRUE(buttons.FindButton("Battery"));
    gauge.Update();
    EXPECT_FALSE(gauge.Shown());  // mains, full
    EXPECT_EQ(Look(buttons, "Battery").second, 0.0f);

    info.RunCommand("low_battery");
    gauge.Update();
    EXPECT_TRUE(gauge.Shown());
    EXPECT_EQ(gauge.Text(), "40%");
    EXPECT_EQ(Look(buttons, "Battery").first, HudBattery::kMediumNotCharging);
    EXPECT_EQ(effects.back(), "PowerToMedium");
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kBatterySaving), 1);

    // Same level, charging changed: the level block runs again.
    info.RunCommand("low_charging");
    effects.clear();
    gauge.Update();
    EXPECT_TRUE(gauge.Shown());
    EXPECT_EQ(Look(buttons, "Battery").first, HudBattery::kLowOrMediumCharging);
    EXPECT_EQ(effects, (std::vector<std::string>{"PowerToMedium"}));
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kBatterySaving), 0);

    info.RunCommand("critical_battery");
    gauge.Update();
    EXPECT_EQ(Look(buttons, "Battery").first, HudBattery::kLowNotCharging);
    EXPECT_EQ(effects.back(), "PowerToLow");
    EXPECT_EQ(gauge.Text(), "20%");
    info.RunCommand("high_battery");
    gauge.Update();
    EXPECT_EQ(Look(buttons, "Battery").first, HudBattery::kHighNotCharging);
    EXPECT_EQ(effects.back(), "PowerToHigh");
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kBatterySaving), 0);

    const struct {
        int level;
        bool charging;
        int tag;
    } table[] = {{0, true, 267}, {1, true, 266}, {2, true, 266}, {0, false, 265}, {1, false, 264}, {2, false, 263}, {7, false, 0}};
    for (const auto& t : table) EXPECT_EQ(HudBattery::IconFor(t.level, t.charging), t.tag) << t.level << t.charging;

    // The in-game menu hides the percentage and play brings it back.
    ASSERT_TRUE(gauge.TextObject());
    gauge.HideText();
    EXPECT_EQ(gauge.TextObject()->GetColor().a, 0.0f);
    gauge.ShowText();
    EXPECT_EQ(gauge.TextObject()->GetColor().a, 1.0f);
}

TEST_F(HudPartsTest, BatteryChargingNearlyFullShowsAndHides) {
    uint8_t life = 94;
    BatteryInfo info([&](PowerReading& r) {
        r.acLineStatus = PowerReading::kAcOnline;
        r.batteryFlag = PowerReading::kFlagHigh | PowerReading::kFlagCharging;
        r.lifePercent = life;
        return true;
    });
    std::vector<std::string> effects;
    HudBattery gauge(info, buttons, file.path, [&](const std::string& e) { effects.push_back(e); });
    info.Query();
    gauge.Update();
    EXPECT_TRUE(gauge.Shown());
    EXPECT_EQ(Look(buttons, "Battery").second, 1.0f);
    EXPECT_EQ(Look(buttons, "Battery").first, HudBattery::kHighCharging);
    life = 96;
    info.Query();
    gauge.Update();
    EXPECT_FALSE(gauge.Shown());
    EXPECT_EQ(effects.back(), "PowerHide");
    EXPECT_EQ(Look(buttons, "Battery").second, 0.0f);
}

TEST_F(HudPartsTest, BatteryQueryRestartsEachPeriodUntilSimulated) {
    std::atomic<int> queries{0};
    BatteryInfo info([&](PowerReading& r) {
        ++queries;
        r.acLineStatus = PowerReading::kAcOffline;
        r.batteryFlag = PowerReading::kFlagHigh;
        r.lifePercent = 80;
        return true;
    });
    ProcessSystem::ProcessManager processes;
    auto proc = std::make_shared<UpdateHudBatteryProc>(1000, info);
    processes.Attach(proc);
    processes.UpdateProcesses(999);
    EXPECT_EQ(proc->Started(), 0);
    processes.UpdateProcesses(1);
    EXPECT_EQ(proc->Started(), 1);
    info.WaitForQuery();
    EXPECT_EQ(queries.load(), 1);
    EXPECT_TRUE(info.GetState().onBattery);
    info.RunCommand("low_charging");  // simulated: no more queries
    processes.UpdateProcesses(1000);
    info.WaitForQuery();
    EXPECT_EQ(proc->Started(), 1);
    EXPECT_EQ(queries.load(), 1);
}
