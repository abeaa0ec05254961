#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gamelogic/GlobalGameState.h"
#include "screens/HudParts.h"
#include "utility/BatteryInfo.h"

using namespace GameLogicView;

namespace {

struct QuadLog {
    std::map<std::string, std::pair<int, float>> quads;  // section -> (image, alpha)
};

class FakeQuad : public HudQuad {
public:
    FakeQuad(QuadLog& log, std::string name) : m_log(log), m_name(std::move(name)) { m_log.quads[m_name] = {-1, -1}; }
    void SetImage(int tag) override { m_log.quads[m_name].first = tag; }
    void SetAlpha(float a) override { m_log.quads[m_name].second = a; }
    float GetAlpha() const override { return m_log.quads[m_name].second; }
    int GetImage() const override { return m_log.quads[m_name].first; }

private:
    QuadLog& m_log;
    std::string m_name;
};

HudQuadFactory Factory(QuadLog& log) {
    return [&log](const std::string& n) { return std::make_unique<FakeQuad>(log, n); };
}

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

TEST(HudScore, SlotFollowsFlagThroughStates) {
    QuadLog log;
    HudScoreMan score(Factory(log));
    std::vector<int> captures;
    score.onCapture = [&](int t) { captures.push_back(t); };
    EXPECT_EQ(log.quads.at("AngelMarker1").second, 0.0f);  // hidden at home
    EXPECT_EQ(log.quads.at("AngelMarker1Flag").second, 0.9f);
    ASSERT_TRUE(log.quads.count("DemonMarker3Flag"));

    score.OnFlagEvent(0, 42, HudScoreMan::kCarried, 0);  // takes the first free slot
    EXPECT_EQ(score.GetSlot(0, 0).state, HudScoreMan::kCarried);
    EXPECT_EQ(score.GetSlot(0, 0).flagId, 42);
    EXPECT_TRUE(score.GetSlot(0, 0).pulsing);
    EXPECT_EQ(score.GetSlot(1, 0).state, HudScoreMan::kHome);

    score.OnFlagEvent(0, 42, HudScoreMan::kDropped, 0);
    EXPECT_EQ(log.quads.at("AngelMarker1").first, HudScoreMan::kImageDropped);
    EXPECT_EQ(log.quads.at("AngelMarker1").second, 1.0f);
    score.OnFlagEvent(0, 42, HudScoreMan::kHome, 0);
    EXPECT_EQ(score.GetSlot(0, 0).state, HudScoreMan::kHome);
    EXPECT_FALSE(score.GetSlot(0, 0).pulsing);
    EXPECT_EQ(log.quads.at("AngelMarker1").second, 0.0f);
    EXPECT_EQ(log.quads.at("AngelMarker1Flag").second, 0.9f);

    // Another flag of team 0 taken while 42 is still tracked goes to slot 2.
    score.OnFlagEvent(0, 7, HudScoreMan::kCarried, 0);
    score.OnFlagEvent(0, 7, HudScoreMan::kCaptured, 0);
    EXPECT_EQ(score.GetSlot(0, 1).state, HudScoreMan::kCaptured);
    EXPECT_EQ(log.quads.at("AngelMarker2").first, HudScoreMan::kImageCapturedOwn);
    EXPECT_EQ(log.quads.at("AngelMarker2Flag").second, 0.5f);
    score.OnFlagEvent(1, 9, HudScoreMan::kCaptured, 0);
    EXPECT_EQ(log.quads.at("DemonMarker1").first, HudScoreMan::kImageCapturedEnemy);
    EXPECT_EQ(score.Captures(0), 1);
    EXPECT_EQ(score.Captures(1), 1);
    EXPECT_EQ(captures, (std::vector<int>{0, 1}));
    score.OnFlagEvent(2, 9, HudScoreMan::kCaptured, 0);  // unknown team
    EXPECT_EQ(captures.size(), 2u);
}

TEST(HudScore, DecidedMatchFreezesAndFlagCountFollowsConfig) {
    QuadLog log;
    HudScoreMan score(Factory(log), 2);
    EXPECT_TRUE(log.quads.count("AngelMarker2"));
    EXPECT_FALSE(log.quads.count("AngelMarker3"));
    // Three captures of team 1's flags with only two slots: the count still rises.
    for (uint16_t id : {1, 2, 3}) score.OnFlagEvent(1, id, HudScoreMan::kCaptured, 1);
    EXPECT_EQ(score.Captures(1), 3);
    score.OnFlagEvent(0, 5, HudScoreMan::kCarried, 1);  // decided: ignored
    EXPECT_EQ(score.GetSlot(0, 0).state, HudScoreMan::kHome);
    // No slots configured is raised to one rather than leaving an empty display.
    QuadLog log0;
    HudScoreMan none(Factory(log0), 0);
    EXPECT_EQ(none.FlagsPerTeam(), 1);
}

TEST(HudScore, PulseRange) {
    EXPECT_FLOAT_EQ(HudScoreMan::PulseAlpha(0, 1000), 0.45f);
    EXPECT_FLOAT_EQ(HudScoreMan::PulseAlpha(236, 1000), 0.45f);
    EXPECT_FLOAT_EQ(HudScoreMan::PulseAlpha(764, 1000), 0.95f);
    EXPECT_NEAR(HudScoreMan::PulseAlpha(500, 1000), 0.7f, 1e-5f);
    QuadLog log;
    HudScoreMan score(Factory(log), 3, 1000);
    score.OnFlagEvent(0, 3, HudScoreMan::kCarried, 0);
    score.Update(500);
    EXPECT_NEAR(log.quads.at("AngelMarker1Flag").second, 0.7f, 1e-5f);
    score.Update(600);  // bounces at 0 and heads back up
    EXPECT_FLOAT_EQ(log.quads.at("AngelMarker1Flag").second, 0.45f);
    score.Update(500);
    EXPECT_NEAR(log.quads.at("AngelMarker1Flag").second, 0.7f, 1e-5f);
}

TEST(HudBatteryGauge, StatesPickIconTags) {
    BatteryInfo info([](PowerReading& r) {
        r.acLineStatus = PowerReading::kAcOnline;
        r.batteryFlag = PowerReading::kFlagNoBattery;
        r.lifePercent = 255;
        return true;
    });
    QuadLog log;
    std::vector<std::string> effects;
    HudBattery gauge(info, std::make_unique<FakeQuad>(log, "Battery"),
                     [&](const std::string& e) { effects.push_back(e); });
    gauge.Update();
    EXPECT_FALSE(gauge.Shown());  // mains, full
    EXPECT_EQ(log.quads.at("Battery").second, 0.0f);

    info.RunCommand("low_battery");
    gauge.Update();
    EXPECT_TRUE(gauge.Shown());
    EXPECT_EQ(gauge.Text(), "40%");
    EXPECT_EQ(log.quads.at("Battery").first, HudBattery::kMediumNotCharging);
    EXPECT_EQ(effects.back(), "PowerToMedium");
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kBatterySaving), 1);

    // Same level, charging changed: the level block runs again.
    info.RunCommand("low_charging");
    effects.clear();
    gauge.Update();
    EXPECT_TRUE(gauge.Shown());
    EXPECT_EQ(log.quads.at("Battery").first, HudBattery::kLowOrMediumCharging);
    EXPECT_EQ(effects, (std::vector<std::string>{"PowerToMedium"}));
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kBatterySaving), 0);

    info.RunCommand("critical_battery");
    gauge.Update();
    EXPECT_EQ(log.quads.at("Battery").first, HudBattery::kLowNotCharging);
    EXPECT_EQ(effects.back(), "PowerToLow");
    EXPECT_EQ(gauge.Text(), "20%");
    info.RunCommand("high_battery");
    gauge.Update();
    EXPECT_EQ(log.quads.at("Battery").first, HudBattery::kHighNotCharging);
    EXPECT_EQ(effects.back(), "PowerToHigh");
    EXPECT_EQ(GlobalGameState::Instance()->GetFlag(GlobalGameState::kBatterySaving), 0);

    const struct {
        int level;
        bool charging;
        int tag;
    } table[] = {{0, true, 267}, {1, true, 266}, {2, true, 266}, {0, false, 265}, {1, false, 264}, {2, false, 263}, {7, false, 0}};
    for (const auto& t : table) EXPECT_EQ(HudBattery::IconFor(t.level, t.charging), t.tag) << t.level << t.charging;
}

TEST(HudBatteryGauge, ChargingNearlyFullShowsAndHides) {
    uint8_t life = 94;
    BatteryInfo info([&](PowerReading& r) {
        r.acLineStatus = PowerReading::kAcOnline;
        r.batteryFlag = PowerReading::kFlagHigh | PowerReading::kFlagCharging;
        r.lifePercent = life;
        return true;
    });
    QuadLog log;
    std::vector<std::string> effects;
    HudBattery gauge(info, std::make_unique<FakeQuad>(log, "Battery"),
                     [&](const std::string& e) { effects.push_back(e); });
    info.Query();
    gauge.Update();
    EXPECT_TRUE(gauge.Shown());
    EXPECT_EQ(log.quads.at("Battery").second, 1.0f);
    EXPECT_EQ(log.quads.at("Battery").first, HudBattery::kHighCharging);
    life = 96;
    info.Query();
    gauge.Update();
    EXPECT_FALSE(gauge.Shown());
    EXPECT_EQ(effects.back(), "PowerHide");
    EXPECT_EQ(log.quads.at("Battery").second, 0.0f);
}
