// The one wording of a setting that was read but could not be used as it
// stood: the file, its section and key, the value read and the value used
// instead, so a reader of the log can find and fix the line.
#pragma once

#include <string>

#include "utility/StringUtil.h"

namespace Utility {

// Reports "<file>: [<section>] <key> = <value> is out of range <lo>..<hi>;
// using <used>", then "(<why>)" when a reason is given. An empty file name
// stands for a value set while running (console, tests).
void ReportOutOfRange(const std::string& fileName, const std::string& section, const std::string& key,
                      const std::string& value, const std::string& lo, const std::string& hi,
                      const std::string& used, const std::string& why = std::string());

// Reports "<file>: [<section>] <key> = <value> <wrong>; using <used>", then
// "(<why>)" when a reason is given: the general form of the above.
void ReportSettingReplaced(const std::string& fileName, const std::string& section, const std::string& key,
                           const std::string& value, const std::string& wrong, const std::string& used,
                           const std::string& why = std::string());

template <class T>
void ReportOutOfRange(const std::string& fileName, const std::string& section, const std::string& key, T value,
                      T lo, T hi, T used, const std::string& why = std::string()) {
    ReportOutOfRange(fileName, section, key, ToString(value), ToString(lo), ToString(hi), ToString(used), why);
}

// "<file>: [<section>] <key>", the way every setting is named in messages.
std::string SettingName(const std::string& fileName, const std::string& section, const std::string& key);

}  // namespace Utility
