#include "ini/IniFile.h"

#include <cstdio>
#include <fstream>

#include "ini/RangeWarning.h"
#include "utility/Diagnostics.h"
#include "utility/StringUtil.h"
#include "utility/TextFile.h"

namespace Utility {

namespace {

using Kind = IniFile::Line::Kind;

IniFile::Line ParseLine(const std::string& raw, std::string& currentSection) {
    IniFile::Line line;
    line.raw = raw;
    std::string s = Trim(raw);
    if (s.empty()) return line;

    const size_t hash = s.find('#');
    if (hash != std::string::npos) {
        line.commentChar = '#';
        line.comment = Trim(s.substr(hash + 1));
        s.erase(hash);
    }

    if (s.find('[') != std::string::npos) {
        // The first character is taken to be the '['; the name runs to the
        // first ']' (or the end of the text when there is none).
        std::string name = s.substr(1);
        const size_t close = name.find(']');
        if (close != std::string::npos) name.erase(close);
        line.kind = Kind::Header;
        line.section = name;
        currentSection = name;
        return line;
    }

    const size_t eq = s.find('=');
    if (eq != std::string::npos) {
        std::string key = Trim(s.substr(0, eq));
        if (!key.empty()) {
            line.kind = Kind::KeyValue;
            line.section = currentSection;
            line.key = std::move(key);
            line.value = Trim(s.substr(eq + 1));
            return line;
        }
    }
    line.kind = Trim(s).empty() ? Kind::Blank : Kind::Other;
    return line;
}

// The text of a line that the reader did not understand, without its comment.
std::string OtherText(const IniFile::Line& line) {
    std::string s = Trim(line.raw);
    const size_t hash = s.find('#');
    if (hash != std::string::npos) s.erase(hash);
    return Trim(s);
}

bool Holds(const IniFile::Line& line, const std::string& section) {
    return (line.kind == Kind::Header || line.kind == Kind::KeyValue) && line.section == section;
}

const IniFile::Line* FindFirst(const std::vector<IniFile::Line>& lines, const Key& key, const Section& section) {
    for (const auto& line : lines)
        if (line.kind == Kind::KeyValue && line.section == section.name && line.key == key.name) return &line;
    return nullptr;
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

}  // namespace

IniFile::IniFile(const std::string& fileName) : m_fileName(fileName) {
    std::string text;
    if (ReadTextFile(fileName, text)) Parse(text);
}

void IniFile::Parse(const std::string& text) {
    m_lines.clear();
    std::string current;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        m_lines.push_back(ParseLine(text.substr(start, end - start), current));
        start = end + 1;
    }
    m_loaded = true;
}

template <class T>
bool IniFile::GetValue(const Key& key, const Section& section, T& out) const {
    const Line* line = FindFirst(m_lines, key, section);
    if (!line) return false;
    if constexpr (std::is_same_v<T, std::string>) {
        out = Trim(line->value, " \t\n");
        return true;
    } else {
        const std::optional<T> v = ParseValue<T>(line->value);
        if (!v) return false;
        out = *v;
        return true;
    }
}

template bool IniFile::GetValue<bool>(const Key&, const Section&, bool&) const;
template bool IniFile::GetValue<float>(const Key&, const Section&, float&) const;
template bool IniFile::GetValue<double>(const Key&, const Section&, double&) const;
template bool IniFile::GetValue<int>(const Key&, const Section&, int&) const;
template bool IniFile::GetValue<long>(const Key&, const Section&, long&) const;
template bool IniFile::GetValue<unsigned int>(const Key&, const Section&, unsigned int&) const;
template bool IniFile::GetValue<unsigned long>(const Key&, const Section&, unsigned long&) const;
template bool IniFile::GetValue<unsigned short>(const Key&, const Section&, unsigned short&) const;
template bool IniFile::GetValue<std::string>(const Key&, const Section&, std::string&) const;

std::string IniFile::GetValue(const Key& key, const Section& section) const {
    const Line* line = FindFirst(m_lines, key, section);
    return line ? line->value : std::string();
}

bool IniFile::GetTrimmedString(const Key& key, const Section& section, std::string& out) const {
    return GetValue<std::string>(key, section, out);
}

template <class T>
T IniFile::GetClamped(const Key& key, const Section& section, T fallback, T lo, T hi) const {
    T v = GetValueOr<T>(key, section, fallback);
    // NaN fails both comparisons and becomes the lower limit.
    if (!(v >= lo && v <= hi)) {
        const T limited = v > hi ? hi : lo;
        ReportOutOfRange(m_fileName, section.name, key.name, v, lo, hi, limited);
        v = limited;
    }
    return v;
}

template int IniFile::GetClamped<int>(const Key&, const Section&, int, int, int) const;
template long IniFile::GetClamped<long>(const Key&, const Section&, long, long, long) const;
template unsigned int IniFile::GetClamped<unsigned int>(const Key&, const Section&, unsigned int, unsigned int,
                                                        unsigned int) const;
template unsigned long IniFile::GetClamped<unsigned long>(const Key&, const Section&, unsigned long, unsigned long,
                                                          unsigned long) const;
template unsigned short IniFile::GetClamped<unsigned short>(const Key&, const Section&, unsigned short,
                                                            unsigned short, unsigned short) const;
template float IniFile::GetClamped<float>(const Key&, const Section&, float, float, float) const;
template double IniFile::GetClamped<double>(const Key&, const Section&, double, double, double) const;

void IniFile::FindLines(const Key& key, const Section& section, std::vector<Line>& out) const {
    if (const Line* line = FindFirst(m_lines, key, section)) out.push_back(*line);
}

void IniFile::GetSectionLines(const Section& section, std::vector<Line>& out) const {
    for (const auto& line : m_lines)
        if (line.kind == Kind::KeyValue && line.section == section.name) out.push_back(line);
}

std::vector<std::string> IniFile::GetSectionNames() const {
    std::vector<std::string> names;
    for (const auto& line : m_lines)
        if (line.kind == Kind::Header) names.push_back(line.section);
    return names;
}

std::vector<IniFile::Line> IniFile::GetSectionHeaders() const {
    std::vector<Line> headers;
    for (const auto& line : m_lines)
        if (line.kind == Kind::Header) headers.push_back(line);
    return headers;
}

bool IniFile::HasSection(const Section& section) const {
    for (const auto& line : m_lines)
        if (Holds(line, section.name)) return true;
    return false;
}

bool IniFile::HasKey(const Key& key, const Section& section) const {
    return FindFirst(m_lines, key, section) != nullptr;
}

bool IniFile::Set(const Key& keyIn, const std::string& valueIn, const Section& section) {
    const std::string key = Trim(keyIn.name);
    const std::string value = Trim(valueIn);
    if (key.empty() || key.find_first_of("=[#") != std::string::npos || HasLineBreak(key) ||
        value.find_first_of("[#") != std::string::npos || HasLineBreak(value) ||
        section.name.find_first_of("]#") != std::string::npos || HasLineBreak(section.name))
        return false;

    for (auto& line : m_lines) {
        if (line.kind == Kind::KeyValue && line.section == section.name && line.key == key) {
            line.value = value;
            return true;
        }
    }

    Line added;
    added.kind = Kind::KeyValue;
    added.section = section.name;
    added.key = key;
    added.value = value;

    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (Holds(m_lines[i], section.name)) {
            m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, added);
            return true;
        }
    }
    if (section.name.empty()) {
        // Keys outside every section belong above the first header.
        m_lines.insert(m_lines.begin(), added);
        return true;
    }
    Line header;
    header.kind = Kind::Header;
    header.section = section.name;
    m_lines.push_back(header);
    m_lines.push_back(added);
    return true;
}

bool IniFile::SetValue(const Key& key, const std::string& value, const Section& section) {
    if (!Set(key, value, section)) return false;
    return Save();
}

std::string IniFile::Render() const {
    std::string text;
    for (const auto& line : m_lines) {
        switch (line.kind) {
            case Kind::Header:
                text += '[';
                text += line.section;
                text += ']';
                break;
            case Kind::KeyValue:
                text += line.key;
                text += " = ";
                text += line.value;
                break;
            case Kind::Other:
                text += OtherText(line);
                break;
            case Kind::Blank:
                break;
        }
        if (line.commentChar) {
            text += " # ";
            text += line.comment;
        }
        text += '\n';
    }
    return text;
}

std::string IniFile::ToString() const { return m_loaded ? Render() : std::string(); }

bool IniFile::Save() {
    if (m_fileName.empty()) return false;
    const std::string temp = m_fileName + ".saving";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        const std::string text = Render();
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), m_fileName.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    m_loaded = true;
    return true;
}

template <class T>
std::optional<T> ReadIni(const Key& key, const Section& section, const std::string& fileName) {
    const IniFile file(fileName);
    T value{};
    if (!file.GetValue<T>(key, section, value)) return std::nullopt;
    return value;
}

template std::optional<bool> ReadIni<bool>(const Key&, const Section&, const std::string&);
template std::optional<float> ReadIni<float>(const Key&, const Section&, const std::string&);
template std::optional<double> ReadIni<double>(const Key&, const Section&, const std::string&);
template std::optional<int> ReadIni<int>(const Key&, const Section&, const std::string&);
template std::optional<long> ReadIni<long>(const Key&, const Section&, const std::string&);
template std::optional<unsigned int> ReadIni<unsigned int>(const Key&, const Section&, const std::string&);
template std::optional<unsigned long> ReadIni<unsigned long>(const Key&, const Section&, const std::string&);
template std::optional<unsigned short> ReadIni<unsigned short>(const Key&, const Section&, const std::string&);
template std::optional<std::string> ReadIni<std::string>(const Key&, const Section&, const std::string&);

template <class T>
T ReadIniClamped(const Key& key, const Section& section, const std::string& fileName, T fallback, T lo, T hi) {
    return IniFile(fileName).GetClamped<T>(key, section, fallback, lo, hi);
}

template int ReadIniClamped<int>(const Key&, const Section&, const std::string&, int, int, int);
template long ReadIniClamped<long>(const Key&, const Section&, const std::string&, long, long, long);
template unsigned int ReadIniClamped<unsigned int>(const Key&, const Section&, const std::string&, unsigned int,
                                                   unsigned int, unsigned int);
template unsigned long ReadIniClamped<unsigned long>(const Key&, const Section&, const std::string&, unsigned long,
                                                     unsigned long, unsigned long);
template unsigned short ReadIniClamped<unsigned short>(const Key&, const Section&, const std::string&,
                                                       unsigned short, unsigned short, unsigned short);
template float ReadIniClamped<float>(const Key&, const Section&, const std::string&, float, float, float);
template double ReadIniClamped<double>(const Key&, const Section&, const std::string&, double, double, double);

std::optional<unsigned long> ReadLogicSetting(const Key& key) {
    return ReadIni<unsigned long>(key, Section("LOGIC"), kGameConfigFile);
}

}  // namespace Utility
