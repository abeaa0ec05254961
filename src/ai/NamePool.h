// Bot names and chat lines. Names come from Config/AI/namepool.ini in turn,
// numbered on each further pass (Ann, Bo, Ann1, Bo1, ...); lines come from
// the sections of Config/AI/chatpool.ini, drawn at random.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Utility {
class IniFile;
}

namespace AI {

class NamePool {
public:
    static constexpr const char* kFileName = "Config/AI/namepool.ini";
    // What bots are called when the file gives no names at all.
    static constexpr const char* kFallbackName = "Bot";

    // Every key line of section "NAMES" with a non-empty key, in file order;
    // use counts start at 0 and the next name is the first.
    void Load(const std::string& fileName = kFileName);
    void Load(const Utility::IniFile& file);
    // The name under the cursor followed by its use count when above 0; then
    // the count goes up and the cursor moves on (back to the first after the
    // last). An empty pool hands out kFallbackName the same way.
    std::string NextName();

    size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        std::string name;
        uint32_t uses = 0;
    };
    std::vector<Entry> m_entries;
    size_t m_cursor = 0;
    Entry m_fallback{kFallbackName, 0};
};

class ChatPool {
public:
    static constexpr const char* kFileName = "Config/AI/chatpool.ini";

    ChatPool();
    ~ChatPool();
    // Reads the file at once; a missing file gives an empty pool.
    void Load(const std::string& fileName = kFileName);
    void Load(const Utility::IniFile& file);
    // A random line (value) of the section, "" when the section has none or
    // does not exist. Sections match exactly, case included. One generator,
    // seeded 1 at its first use, serves every section.
    std::string GetRandomChatLine(const std::string& section) const;

private:
    std::unique_ptr<Utility::IniFile> m_file;
};

}  // namespace AI
