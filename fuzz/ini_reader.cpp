// Feeds arbitrary text to the INI reader: it must neither crash nor hang, the
// saved form must read back to the same saved form, and setting a value
// must leave a file that reads that value back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ini/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Utility::IniFile ini;
    ini.Parse(text);

    const std::string saved = ini.ToString();
    Utility::IniFile again;
    again.Parse(saved);
    if (again.ToString() != saved) std::abort();
    if (again.GetLines().size() != ini.GetLines().size()) std::abort();

    // Look up every key the file has, under its own section.
    for (const auto& line : ini.GetLines()) {
        if (line.kind != Utility::IniFile::Line::Kind::KeyValue) continue;
        const Utility::Key key(line.key);
        const Utility::Section section(line.section);
        if (!ini.HasKey(key, section) || !ini.HasSection(section)) std::abort();
        long l = 0;
        float f = 0;
        bool b = false;
        unsigned short us = 0;
        std::string s;
        ini.GetValue(key, section, l);
        ini.GetValue(key, section, f);
        ini.GetValue(key, section, b);
        ini.GetValue(key, section, us);
        ini.GetTrimmedString(key, section, s);
    }
    std::vector<Utility::IniFile::Line> lines;
    for (const auto& name : ini.GetSectionNames()) ini.GetSectionLines(Utility::Section(name), lines);

    // Setting a value in the first section (or a new one) must read back.
    const std::string section = ini.GetSectionNames().empty() ? "Fuzz" : ini.GetSectionNames().front();
    if (ini.Set(Utility::Key("fuzzkey"), "17", Utility::Section(section))) {
        Utility::IniFile reread;
        reread.Parse(ini.ToString());
        if (reread.GetValueOr(Utility::Key("fuzzkey"), Utility::Section(section), 0) != 17) std::abort();
    }
    return 0;
}
