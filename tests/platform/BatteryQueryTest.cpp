#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "platform/BatteryQuery.h"
#include "utility/BatteryInfo.h"

TEST(BatteryQuery, SdlStatesBecomeRecordRows) {
    struct Case {
        const char* what;
        int state, percent;
        bool present, onBattery, charging;
        float life;
        int level;
    };
    const std::vector<Case> cases = {
        {"no battery", SDL_POWERSTATE_NO_BATTERY, -1, false, false, true, 1.0f, 0},
        {"unknown state = no battery on AC", SDL_POWERSTATE_UNKNOWN, 40, false, false, true, 1.0f, 0},
        {"on battery, high", SDL_POWERSTATE_ON_BATTERY, 80, true, true, false, 0.8f, 0},
        {"on battery, medium", SDL_POWERSTATE_ON_BATTERY, 50, true, true, false, 0.5f, 1},
        {"on battery, low", SDL_POWERSTATE_ON_BATTERY, 20, true, true, false, 0.2f, 2},
        {"on battery, critical", SDL_POWERSTATE_ON_BATTERY, 3, true, true, false, 0.03f, 2},
        {"on battery, charge unknown", SDL_POWERSTATE_ON_BATTERY, -1, true, true, false, 1.0f, 0},
        {"charging, low", SDL_POWERSTATE_CHARGING, 10, true, false, true, 0.1f, 2},
        {"charging, medium", SDL_POWERSTATE_CHARGING, 45, true, false, true, 0.45f, 1},
        {"charging, high", SDL_POWERSTATE_CHARGING, 90, true, false, true, 0.9f, 0},
        {"charged", SDL_POWERSTATE_CHARGED, 100, true, false, false, 1.0f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PowerReading r = Platform::BatteryReadingFromSdl(c.state, c.percent);
        const BatteryState s = BatteryInfo::FromReading(BatteryState{}, r);
        EXPECT_EQ(s.present, c.present);
        EXPECT_EQ(s.onBattery, c.onBattery);
        EXPECT_EQ(s.charging, c.charging);
        EXPECT_FLOAT_EQ(s.life, c.life);
        EXPECT_EQ(s.level, c.level);
    }
}

TEST(BatteryQuery, RealQueryFillsARecord) {
    // Whatever this machine has, the query succeeds and yields a sane record.
    BatteryInfo info(Platform::QueryBatteryStatus);
    ASSERT_TRUE(info.StartQuery());
    info.WaitForQuery();
    const BatteryState s = info.GetState();
    EXPECT_GE(s.life, 0.0f);
    EXPECT_LE(s.life, 1.0f);
    EXPECT_GE(s.level, 0);
    EXPECT_LE(s.level, 2);
    if (!s.present) {
        EXPECT_TRUE(s.charging);
        EXPECT_FALSE(s.onBattery);
    }
}
