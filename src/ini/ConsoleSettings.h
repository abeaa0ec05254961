// The debug console as the game's settings make it: on when
// `Config/Config.ini` [CONSOLE] EnableConsole is 1, and the line 'ini' printing
// `Config/inicommands.ini` as the INI reader renders it.
#pragma once

namespace Utility {

// True when the settings turn the console on (false when the file or key is missing).
bool ConsoleEnabledInSettings();
// Creates the console (replacing one there is) on the terminal's standard
// input and output, on or off as the settings say, with the help file as
// the text of the line 'ini'.
void CreateConsoleFromSettings();
// Only the help text: the line 'ini' prints the help file.
void InstallConsoleHelp();

}  // namespace Utility
