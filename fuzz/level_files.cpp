// Feeds arbitrary text, cut into parts, as a level file, a level palette, an
// object index, object definitions, pieces and object palettes, and as a level
// description: whatever the files say, reading them must not crash or hang,
// and palette look-ups stay inside their lists.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ini/IniFile.h"
#include "levels/LevelFiles.h"
#include "levels/LevelSource.h"
#include "levels/ObjectLoader.h"
#include "levels/Palette.h"
#include "utility/Diagnostics.h"

namespace {

const std::string& Dir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/mirav-fuzz-level-XXXXXX";
        if (!::mkdtemp(tmpl)) std::abort();
        std::filesystem::create_directories(std::string(tmpl) + "/Objects");
        return std::string(tmpl) + "/";
    }();
    return dir;
}

void Write(const std::string& name, const std::string& text) {
    std::ofstream out(Dir() + name, std::ios::binary | std::ios::trunc);
    out << text;
}

void CheckPalette(const GameLogicView::PaletteLists& palette) {
    for (long list = -1; list <= static_cast<long>(palette.size()); ++list)
        for (long entry : {-1L, 0L, 1L, 7L, 100000L}) {
            int32_t out = 0;
            std::string error;
            const bool ok = GameLogicView::PaletteEntry(palette, list, entry, "p", out, error);
            const bool inside = list >= 0 && static_cast<size_t>(list) < palette.size() && entry >= 0 &&
                                static_cast<size_t>(entry) < palette[static_cast<size_t>(list)].size();
            if (ok != inside) std::abort();
            GameLogicView::LevelBlockMaterial(palette, list, entry, "p", out, error);
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Utility::SetProblemSink([](Utility::Severity, const std::string&) {});
    // Parts are separated by the byte 0x01; missing parts are empty files.
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x01 && parts.size() < 8)
            parts.emplace_back();
        else
            parts.back().push_back(static_cast<char>(data[i]));
    }
    parts.resize(8);

    Write("level.ini", parts[0]);
    Write("palette.ini", parts[1]);
    Write("Objects/objects.ini", "[Objects]\n" + parts[2]);
    Write("Objects/def.ini", parts[3]);
    Write("Objects/piece.ini", parts[4]);
    Write("Objects/pal.ini", parts[5]);
    Write("Objects/piece2.ini", parts[6]);

    GameLogicView::LevelSettings settings;
    GameLogicView::ReadLevelSettings(Dir() + "level.ini", settings);
    if (settings.shaping.capZ < 1 || settings.shaping.capWidth < 1 || settings.shaping.capHeight < 1) std::abort();
    if (!(settings.shaping.wWeight >= 0.0f && settings.shaping.wWeight <= 1.0f)) std::abort();

    CheckPalette(GameLogicView::ReadLevelPalette(Utility::IniFile(Dir() + "palette.ini")));
    CheckPalette(GameLogicView::ReadObjectPalette(Utility::IniFile(Dir() + "Objects/pal.ini")));

    GameLogicView::ObjectLoader loader(Dir());
    std::vector<std::vector<GameLogicView::PiecePlan>> pieces;
    for (int code : {1, 10, 50, 255}) loader.BuildObject(code, -3, 4, 2, pieces);

    GameLogicView::LevelSource src;
    std::string error;
    GameLogicView::ParseLevelSource(parts[7], "fuzz.txt", src, error);

    Utility::SetProblemSink(nullptr);
    return 0;
}
