#include "ai/NamePool.h"

#include "ini/IniFile.h"
#include "utility/Random.h"

namespace AI {

void NamePool::Load(const std::string& fileName) { Load(Utility::IniFile(fileName)); }

void NamePool::Load(const Utility::IniFile& file) {
    std::vector<Utility::IniFile::Line> lines;
    file.GetSectionLines(Utility::Section("NAMES"), lines);
    m_entries.clear();
    for (const auto& line : lines)
        if (!line.key.empty()) m_entries.push_back(Entry{line.value, 0});
    m_cursor = 0;
}

std::string NamePool::NextName() {
    // With no names the pool still names every bot: Bot, Bot1, Bot2, ...
    Entry& e = m_entries.empty() ? m_fallback : m_entries[m_cursor];
    std::string name = e.name;
    if (e.uses > 0) name += std::to_string(e.uses);
    ++e.uses;
    if (!m_entries.empty()) m_cursor = (m_cursor + 1) % m_entries.size();
    return name;
}

ChatPool::ChatPool() : m_file(std::make_unique<Utility::IniFile>()) {}

ChatPool::~ChatPool() = default;

void ChatPool::Load(const std::string& fileName) { m_file = std::make_unique<Utility::IniFile>(fileName); }

void ChatPool::Load(const Utility::IniFile& file) { m_file = std::make_unique<Utility::IniFile>(file); }

std::string ChatPool::GetRandomChatLine(const std::string& section) const {
    std::vector<Utility::IniFile::Line> lines;
    {
        std::vector<Utility::IniFile::Line> all;
        m_file->GetSectionLines(Utility::Section(section), all);
        for (auto& l : all)
            if (!l.key.empty()) lines.push_back(std::move(l));
    }
    if (lines.empty()) return std::string();
    static Utility::Random<long> random(1);
    const long i = random.Get(0, static_cast<long>(lines.size()) - 1);
    return lines[static_cast<size_t>(i)].value;
}

}  // namespace AI
