// Reading and checking the rules' tuning: one key of an INI file into a
// setting (a missing key keeps the default, a malformed one is reported), a
// setting held to its range (out-of-range values and non-numbers reported),
// and the run's copy of a settings record.
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <type_traits>

#include "ini/IniFile.h"
#include "ini/RangeWarning.h"
#include "utility/Diagnostics.h"

namespace GameLogicView::SettingsFile {

template <class T>
void Read(const Utility::IniFile& file, const char* section, const char* key, T& value) {
    const Utility::Key k(key);
    const Utility::Section s(section);
    if (!file.HasKey(k, s)) return;
    T v{};
    if (file.GetValue(k, s, v))
        value = v;
    else
        Utility::ReportWarning(file.GetFileName() + ": [" + section + "] " + key + " is malformed; using the default");
}

// Keeps value in lo..hi; NaN and infinities give the fallback. The file ("" for
// values set while running), section and key are named in every report; why,
// when given, says what the value would have broken.
template <class T>
void Limit(const std::string& fileName, const char* section, const char* name, T& value, T lo, T hi, T fallback,
           const char* why = "") {
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) {
            Utility::ReportWarning(Utility::SettingName(fileName, section, name) +
                                   " is not a finite number; using " + Utility::ToString(fallback));
            value = fallback;
            return;
        }
    }
    if (value < lo || value > hi) {
        const T fixed = value < lo ? lo : hi;
        Utility::ReportOutOfRange(fileName, section, name, value, lo, hi, fixed, why);
        value = fixed;
    }
}

// The run's copy of a settings record S (with S::Load(file name) and
// S::Validate(file name)): read from "Config/Config.ini" on first use, replaced by Set
// (validated), forgotten by Reset so that the next use reads the file again.
template <class S>
class RunCopy {
public:
    static const S& Get() {
        std::unique_ptr<S>& current = Slot();
        if (!current) current = std::make_unique<S>(S::Load("Config/Config.ini"));
        return *current;
    }
    static void Set(const S& settings) {
        auto copy = std::make_unique<S>(settings);
        copy->Validate(std::string());
        Slot() = std::move(copy);
    }
    static void Reset() { Slot().reset(); }

private:
    static std::unique_ptr<S>& Slot() {
        static std::unique_ptr<S> current;
        return current;
    }
};

}  // namespace GameLogicView::SettingsFile
