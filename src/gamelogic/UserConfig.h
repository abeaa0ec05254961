// The player's options (display size, antialiasing, detail, tutorial, mouse
// inversion), read at start-up from UserConfig.ini in the user's config
// folder and written back when the player changes them.
#pragma once

#include <string>

namespace GameLogicView {

class UserConfig {
public:
    // Limits a loaded value is held to (out of range: the nearest limit).
    static constexpr int kMinWidth = 320, kMaxWidth = 16384;
    static constexpr int kMinHeight = 240, kMaxHeight = 16384;
    static constexpr int kMaxAntialiasing = 16;

    // LoadDefaults, then Load.
    explicit UserConfig(const std::string& fileName);

    // Display settings from the "Engine" section of the game's configuration
    // (1024 x 768, no antialiasing when missing); the three options off.
    void LoadDefaults(const std::string& engineConfigFile = "Config/Config.ini");
    // Sets folder and filePath, then reads section "UserConfig" of the file;
    // keys that are missing or do not hold a valid value keep their field.
    void Load(const std::string& fileName);
    // Creates the folder when needed and writes the six keys. False when the
    // file could not be written (the options stay in memory).
    bool Save();

    // The user's application-data folder: $XDG_CONFIG_HOME when it is an
    // absolute path, else $HOME/.config when HOME is set, else the working
    // directory (".").
    static std::string ApplicationDataFolder();

    int width = 1024;
    int height = 768;
    int antialiasing = 0;
    bool lowdetail = false;
    bool skiptutorial = false;
    bool inverty = false;
    std::string folder;    // ApplicationDataFolder() + "/Mirav"
    std::string filePath;  // folder + "/" + file name
};

}  // namespace GameLogicView
