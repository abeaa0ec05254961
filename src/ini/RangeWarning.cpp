#include "ini/RangeWarning.h"

#include "utility/Diagnostics.h"

namespace Utility {

std::string SettingName(const std::string& fileName, const std::string& section, const std::string& key) {
    return (fileName.empty() ? std::string("setting") : fileName + ":") + " [" + section + "] " + key;
}

void ReportSettingReplaced(const std::string& fileName, const std::string& section, const std::string& key,
                           const std::string& value, const std::string& wrong, const std::string& used,
                           const std::string& why) {
    std::string text = SettingName(fileName, section, key) + " = " + value + " " + wrong + "; using " + used;
    if (!why.empty()) text += " (" + why + ")";
    ReportWarning(text);
}

void ReportOutOfRange(const std::string& fileName, const std::string& section, const std::string& key,
                      const std::string& value, const std::string& lo, const std::string& hi,
                      const std::string& used, const std::string& why) {
    ReportSettingReplaced(fileName, section, key, value, "is out of range " + lo + ".." + hi, used, why);
}

}  // namespace Utility
