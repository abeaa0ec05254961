#include "levels/Palette.h"

#include <algorithm>
#include <limits>

#include "ini/IniFile.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

// Most entries a palette list may have; far above any real palette.
constexpr long kMaxEntries = 4096;

// Reads keys "0" .. count - 1 of the section; stops at the first missing or
// malformed one, or one that is not a material id.
std::vector<int32_t> ReadList(const Utility::IniFile& file, const std::string& section, long count) {
    std::vector<int32_t> list;
    count = std::min(count, kMaxEntries);
    for (long i = 0; i < count; ++i) {
        unsigned long id = 0;
        if (!file.GetValue(Utility::Key(std::to_string(i)), Utility::Section(section), id) ||
            id > static_cast<unsigned long>(std::numeric_limits<int32_t>::max())) {
            Utility::ReportWarning("palette \"" + file.GetFileName() + "\": section [" + section + "] has no valid entry " +
                                   std::to_string(i) + "; the list ends there");
            break;
        }
        list.push_back(static_cast<int32_t>(id));
    }
    return list;
}

}  // namespace

PaletteLists ReadLevelPalette(const Utility::IniFile& file) {
    PaletteLists palette;
    const size_t lists = file.GetSectionNames().size();
    for (size_t g = 0; g < lists; ++g) {
        const std::string name = std::to_string(g);
        std::vector<Utility::IniFile::Line> keys;
        file.GetSectionLines(Utility::Section(name), keys);
        palette.push_back(ReadList(file, name, static_cast<long>(keys.size())));
    }
    return palette;
}

PaletteLists ReadObjectPalette(const Utility::IniFile& file) {
    PaletteLists palette;
    long numColors = 0;
    if (!file.GetValue(Utility::Key("numColors"), Utility::Section("CONFIG"), numColors) || numColors < 0) {
        Utility::ReportWarning("palette \"" + file.GetFileName() + "\": [CONFIG] numColors is missing or negative");
        numColors = 0;
    }
    // The sections after the first, in file order, each once per header.
    const std::vector<std::string> names = file.GetSectionNames();
    for (size_t i = 1; i < names.size(); ++i) palette.push_back(ReadList(file, names[i], numColors));
    return palette;
}

bool PaletteEntry(const PaletteLists& palette, long list, long entry, const std::string& paletteName, int32_t& out,
                  std::string& error) {
    const std::string where = "palette \"" + paletteName + "\": ";
    if (list < 0 || static_cast<unsigned long>(list) >= palette.size()) {
        error = where + "no colour list " + std::to_string(list) + " (it has " + std::to_string(palette.size()) + ")";
        return false;
    }
    const std::vector<int32_t>& colours = palette[static_cast<size_t>(list)];
    if (colours.empty()) {
        error = where + "colour list " + std::to_string(list) + " is empty";
        return false;
    }
    if (entry < 0 || static_cast<unsigned long>(entry) >= colours.size()) {
        error = where + "colour " + std::to_string(entry) + " is past the end of list " + std::to_string(list) +
                " (" + std::to_string(colours.size()) + " colours)";
        return false;
    }
    out = colours[static_cast<size_t>(entry)];
    return true;
}

bool LevelBlockMaterial(const PaletteLists& palette, long green, long draw, const std::string& paletteName,
                        int32_t& out, std::string& error) {
    if (green >= 0 && static_cast<unsigned long>(green) < palette.size() && !palette[static_cast<size_t>(green)].empty()) {
        const long k = static_cast<long>(palette[static_cast<size_t>(green)].size());
        draw = ((draw % k) + k) % k;
    }
    return PaletteEntry(palette, green, draw, paletteName, out, error);
}

}  // namespace GameLogicView
