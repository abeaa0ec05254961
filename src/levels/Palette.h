// Colour palettes of levels and level objects: lists of material ids, read
// from INI files and looked up with range checks, since the indices come
// from bitmaps and object files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Utility {
class IniFile;
}

namespace GameLogicView {

using PaletteLists = std::vector<std::vector<int32_t>>;

// A level palette: list g is the section named g in decimal ("0", "1", ...),
// one list per section of the file; its entries are the keys "0", "1", ...
// A list ends at its first missing or malformed entry (reported).
PaletteLists ReadLevelPalette(const Utility::IniFile& file);

// An object palette: "CONFIG" gives "numColors"; every later section, in
// file order, is one list of the keys "0" .. numColors - 1.
PaletteLists ReadObjectPalette(const Utility::IniFile& file);

// The material of entry `entry` of list `list`. False, with a message naming
// the palette in error, when the list does not exist, is empty, or has no
// such entry.
bool PaletteEntry(const PaletteLists& palette, long list, long entry, const std::string& paletteName, int32_t& out,
                  std::string& error);

// The material of a level block: list `green`, entry draw mod the list's
// length. The same checks as PaletteEntry; never divides by an empty list.
bool LevelBlockMaterial(const PaletteLists& palette, long green, long draw, const std::string& paletteName,
                        int32_t& out, std::string& error);

}  // namespace GameLogicView
