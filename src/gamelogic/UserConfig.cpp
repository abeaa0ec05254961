#include "gamelogic/UserConfig.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "ini/IniFile.h"
#include "utility/StringUtil.h"

namespace GameLogicView {

namespace {

const Utility::Section kSection("UserConfig");

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace

UserConfig::UserConfig(const std::string& fileName) {
    LoadDefaults();
    Load(fileName);
}

void UserConfig::LoadDefaults(const std::string& engineConfigFile) {
    const Utility::IniFile engine(engineConfigFile);
    const Utility::Section section("Engine");
    width = static_cast<int>(engine.GetClamped<unsigned int>(Utility::Key("width"), section, 1024u, kMinWidth,
                                                             kMaxWidth));
    height = static_cast<int>(engine.GetClamped<unsigned int>(Utility::Key("height"), section, 768u, kMinHeight,
                                                              kMaxHeight));
    antialiasing = static_cast<int>(
        engine.GetClamped<unsigned int>(Utility::Key("fsaa_samples"), section, 0u, 0u, kMaxAntialiasing));
    lowdetail = false;
    skiptutorial = false;
    inverty = false;
}

std::string UserConfig::ApplicationDataFolder() {
    // XDG says a relative XDG_CONFIG_HOME is to be ignored.
    const std::string xdg = Env("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') return xdg;
    const std::string home = Env("HOME");
    if (!home.empty()) return (std::filesystem::path(home) / ".config").string();
    return ".";
}

void UserConfig::Load(const std::string& fileName) {
    folder = (std::filesystem::path(ApplicationDataFolder()) / "Mirav").string();
    filePath = (std::filesystem::path(folder) / fileName).string();

    const Utility::IniFile file(filePath);
    if (!file.IsLoaded()) return;
    width = static_cast<int>(
        file.GetClamped<unsigned int>(Utility::Key("width"), kSection, static_cast<unsigned>(width), kMinWidth, kMaxWidth));
    height = static_cast<int>(file.GetClamped<unsigned int>(Utility::Key("height"), kSection,
                                                            static_cast<unsigned>(height), kMinHeight, kMaxHeight));
    antialiasing = static_cast<int>(file.GetClamped<unsigned int>(
        Utility::Key("antialiasing"), kSection, static_cast<unsigned>(antialiasing), 0u, kMaxAntialiasing));
    file.GetValue(Utility::Key("lowdetail"), kSection, lowdetail);
    file.GetValue(Utility::Key("skiptutorial"), kSection, skiptutorial);
    file.GetValue(Utility::Key("inverty"), kSection, inverty);
}

bool UserConfig::Save() {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    Utility::IniFile file(filePath);
    file.Set(Utility::Key("width"), Utility::ToString(width), kSection);
    file.Set(Utility::Key("height"), Utility::ToString(height), kSection);
    file.Set(Utility::Key("antialiasing"), Utility::ToString(antialiasing), kSection);
    file.Set(Utility::Key("lowdetail"), Utility::ToString(lowdetail), kSection);
    file.Set(Utility::Key("skiptutorial"), Utility::ToString(skiptutorial), kSection);
    file.Set(Utility::Key("inverty"), Utility::ToString(inverty), kSection);
    return file.Save();
}

}  // namespace GameLogicView
