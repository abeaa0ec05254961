#include "networking/NetworkSettings.h"

#include <arpa/inet.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "ini/IniFile.h"
#include "utility/Diagnostics.h"

namespace Networking {

namespace {
const char* const kSection = "NETWORK";

std::optional<NetworkSettings>& Current() {
    static std::optional<NetworkSettings> settings;
    return settings;
}

void ReadAddress(const Utility::IniFile& ini, const char* key, std::string& value, const std::string& fileName) {
    std::string text;
    if (!ini.GetTrimmedString(Utility::Key(key), Utility::Section(kSection), text) || text.empty()) return;
    sockaddr_in check{};
    if (!MakeAddress(text, 0, check)) {
        Utility::ReportWarning(fileName + ": " + key + " \"" + text + "\" is not an IPv4 address; using " + value);
        return;
    }
    value = text;
}
}  // namespace

NetworkSettings LoadNetworkSettings(const std::string& fileName) {
    NetworkSettings s;
    Utility::IniFile ini(fileName);
    if (!ini.IsLoaded()) return s;
    s.port = static_cast<uint16_t>(
        ini.GetClamped<unsigned long>(Utility::Key("Port"), Utility::Section(kSection), s.port, 1, 65535));
    ReadAddress(ini, "AnnouncementAddress", s.announcementAddress, fileName);
    ReadAddress(ini, "BindAddress", s.bindAddress, fileName);
    return s;
}

const NetworkSettings& CurrentNetworkSettings() {
    if (!Current()) Current() = LoadNetworkSettings();
    return *Current();
}

void UseNetworkSettings(const NetworkSettings& settings) { Current() = settings; }

bool MakeAddress(const std::string& text, uint16_t port, sockaddr_in& out) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (inet_pton(AF_INET, text.c_str(), &a.sin_addr) != 1) return false;
    out = a;
    return true;
}

uint32_t FlushPeriodForFramerate(float fps) {
    if (!(fps > 0.0f)) fps = 60.0f;
    const float period = std::trunc(1000.0f / fps);
    return period < 1.0f ? 1u : static_cast<uint32_t>(period);
}

}  // namespace Networking
