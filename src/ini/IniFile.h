// INI files that keep every line (comments and blank lines included), answer
// typed look-ups by key and section with the caller's default, change or add
// values and write the whole file back. Keys and sections match exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ini/IniKey.h"

namespace Utility {

class IniFile {
public:
    struct Line {
        // What a line is; decides how it is written back.
        enum class Kind : uint8_t {
            Blank,     // empty, or a comment alone
            Header,    // "[name]"
            KeyValue,  // "key = value"
            Other,     // any text the reader does not understand; kept as it was
        };

        std::string comment;   // the text after the first '#', trimmed
        char commentChar = 0;  // '#' when the line had a comment
        std::string section;   // header: its name; key line: its section
        std::string key;       // key line: the key, trimmed
        std::string value;     // key line: the value, trimmed
        std::string raw;       // the line as read
        Kind kind = Kind::Blank;
    };

    // An empty file with no name; never loaded.
    IniFile() = default;
    // Reads the file at once; IsLoaded() tells whether it could be read.
    explicit IniFile(const std::string& fileName);
    IniFile(const IniFile&) = default;
    IniFile& operator=(const IniFile&) = default;
    virtual ~IniFile() = default;

    // Replaces the lines by those of the given text and counts as loaded.
    void Parse(const std::string& text);

    bool IsLoaded() const { return m_loaded; }
    const std::string& GetFileName() const { return m_fileName; }
    const std::vector<Line>& GetLines() const { return m_lines; }

    // False (out untouched) when no key line matches or when its value is not
    // a valid T (see Utility::ParseValue); else the first match's value.
    // T: bool, float, double, int, long, unsigned int, unsigned long,
    // unsigned short, std::string.
    template <class T>
    bool GetValue(const Key& key, const Section& section, T& out) const;
    // The first match's value, "" when there is none.
    std::string GetValue(const Key& key, const Section& section) const;
    bool GetTrimmedString(const Key& key, const Section& section, std::string& out) const;

    // The value, or the fallback when it is missing or not a valid T.
    template <class T>
    T GetValueOr(const Key& key, const Section& section, T fallback) const {
        GetValue(key, section, fallback);
        return fallback;
    }
    // As GetValueOr, then limited to lo..hi; a value out of range is
    // reported and replaced by the nearest limit. Numbers only.
    template <class T>
    T GetClamped(const Key& key, const Section& section, T fallback, T lo, T hi) const;

    // Appends a copy of the first key line that matches.
    void FindLines(const Key& key, const Section& section, std::vector<Line>& out) const;
    // Appends every key line of the section, in file order.
    void GetSectionLines(const Section& section, std::vector<Line>& out) const;
    std::vector<std::string> GetSectionNames() const;
    std::vector<Line> GetSectionHeaders() const;
    bool HasSection(const Section& section) const;
    bool HasKey(const Key& key, const Section& section) const;

    // Changes the first matching key line, or adds one right under the
    // section's first line, or appends the section and the key; in memory
    // only. False, and nothing changed, for a key, value or section that the
    // file could not hold (empty key; '=', '[', '#' in a key; '[' or '#' in a
    // value; ']' or '#' in a section; line breaks anywhere).
    bool Set(const Key& key, const std::string& value, const Section& section);
    // Set, then Save: the result of both.
    bool SetValue(const Key& key, const std::string& value, const Section& section);
    // Rewrites the whole file from the lines (through a temporary file, so a
    // failed write leaves the old file whole).
    bool Save();
    // The text Save writes; "" when the file was not loaded.
    std::string ToString() const;

private:
    std::string Render() const;

    std::vector<Line> m_lines;
    std::string m_fileName;
    bool m_loaded = false;
};

// One look-up in a file, opened and closed again. Nothing when the file, the
// key or a valid value is missing. T as for IniFile::GetValue.
template <class T>
std::optional<T> ReadIni(const Key& key, const Section& section, const std::string& fileName);

template <class T = std::string>
T ReadIniOrDefault(const Key& key, const Section& section, const std::string& fileName, T fallback = T()) {
    std::optional<T> v = ReadIni<T>(key, section, fileName);
    return v ? *v : fallback;
}

// The game's configuration file (relative to the data folder): the engine's,
// the rules' and the views' tuning.
inline const char* const kGameConfigFile = "Config/Config.ini";

// One value of the game's configuration file: the fallback when the file,
// the key or a valid value is missing.
template <class T>
T ReadConfig(const char* section, const char* key, T fallback) {
    return ReadIniOrDefault<T>(Key(key), Section(section), kGameConfigFile, fallback);
}

// ReadIniOrDefault, then limited to lo..hi (a value out of range is
// reported). Numbers only.
template <class T>
T ReadIniClamped(const Key& key, const Section& section, const std::string& fileName, T fallback, T lo, T hi);

// An unsigned setting of `Config/Config.ini`, section "LOGIC".
std::optional<unsigned long> ReadLogicSetting(const Key& key);

}  // namespace Utility
