#include "ini/ConsoleSettings.h"

#include <iostream>

#include "ini/IniFile.h"
#include "utility/Console.h"

namespace Utility {

bool ConsoleEnabledInSettings() {
    return ReadConfig<bool>("CONSOLE", "EnableConsole", false);
}

void InstallConsoleHelp() {
    Console::SetHelpSource([] { return IniFile("Config/inicommands.ini").ToString(); });
}

void CreateConsoleFromSettings() {
    InstallConsoleHelp();
    Console::Create(ConsoleEnabledInSettings(), std::cin, std::cout);
}

}  // namespace Utility
