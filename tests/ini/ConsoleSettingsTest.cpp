#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ini/ConsoleSettings.h"
#include "ini/IniFile.h"
#include "utility/Console.h"

using Utility::Console;

TEST(ConsoleSettings, IniPrintsTheShippedHelpFileOnlyAlone) {
    std::istringstream in;
    std::ostringstream out;
    Utility::InstallConsoleHelp();
    Console::Create(true, in, out);
    const std::string help = Utility::IniFile("Config/inicommands.ini").ToString();
    ASSERT_FALSE(help.empty());
    EXPECT_NE(help.find("[Commands]"), std::string::npos);
    out.str("");
    Console::Execute("ini");
    EXPECT_EQ(out.str(), help);
    out.str("");
    Console::Execute("ini extra");
    EXPECT_EQ(out.str(), "");
    Console::Destroy();
    Console::SetHelpSource({});
}

TEST(ConsoleSettings, TheShippedSettingsLeaveTheConsoleOffAndCreateItSo) {
    EXPECT_FALSE(Utility::ConsoleEnabledInSettings());
    Utility::CreateConsoleFromSettings();
    EXPECT_FALSE(Console::IsEnabled());
    Console::Destroy();
    Console::SetHelpSource({});
}
