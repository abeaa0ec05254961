#include <gtest/gtest.h>

#include <sstream>

#include "utility/BatteryInfo.h"
#include "utility/Console.h"

namespace {

class BatteryConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { Utility::Console::Create(true, in, out); }
    void TearDown() override { Utility::Console::Destroy(); }
    std::istringstream in;
    std::ostringstream out;
};

}  // namespace

TEST_F(BatteryConsoleTest, CommandsSetTheRecordTheyAreBoundTo) {
    BatteryInfo info;
    BatteryInfo other;
    info.RegisterConsoleCommands();

    struct Case {
        const char* line;
        float life;
        int level;
        bool charging;
    };
    for (const auto& c : {Case{"call critical_battery", 0.2f, 2, false}, Case{"call high_battery", 0.9f, 0, false},
                          Case{"call low_charging", 0.4f, 1, true}, Case{"call low_battery", 0.4f, 1, false}}) {
        SCOPED_TRACE(c.line);
        Utility::Console::Execute(c.line);
        const BatteryState s = info.GetState();
        EXPECT_TRUE(s.simulated);
        EXPECT_FLOAT_EQ(s.life, c.life);
        EXPECT_EQ(s.level, c.level);
        EXPECT_EQ(s.charging, c.charging);
    }
    EXPECT_FALSE(other.GetState().simulated);
    EXPECT_EQ(out.str().find("Invalid function"), std::string::npos);
}

TEST_F(BatteryConsoleTest, CommandsGoAwayWithTheRecord) {
    {
        BatteryInfo info;
        info.RegisterConsoleCommands();
        int ours = 0;
        for (const auto& c : Utility::Console::Instance().Commands())
            for (const auto& b : BatteryInfo::SimulationCommands()) ours += c.name == b.name;
        EXPECT_EQ(ours, 4);
    }
    for (const auto& c : Utility::Console::Instance().Commands()) {
        EXPECT_NE(c.name, "critical_battery");
        EXPECT_NE(c.name, "low_charging");
    }
    Utility::Console::Execute("call critical_battery");  // must not touch the destroyed record
    EXPECT_NE(out.str().find("Invalid function: critical_battery\n"), std::string::npos);
}
