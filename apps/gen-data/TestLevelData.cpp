// The data folder the bots' test levels are played in (mirav-gen-data
// --test-levels).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Generators.h"
#include "LevelGenerator.h"

namespace GenData {

namespace {

std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

bool WriteTestLevelData(const std::string& sourceData, const std::string& outDir, uint32_t first, int count) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path src = fs::absolute(sourceData, ec), out = fs::absolute(outDir, ec);
    if (!fs::is_directory(src / "Levels") || !fs::is_directory(src / "Objects")) {
        std::fprintf(stderr, "mirav-gen-data: %s is not a data folder\n", sourceData.c_str());
        return false;
    }
    fs::create_directories(out, ec);
    // Everything but the levels and the objects is the source's own.
    for (const auto& entry : fs::directory_iterator(src, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "Levels" || name == "Objects") continue;
        const fs::path link = out / name;
        if (fs::is_symlink(link, ec) || fs::exists(link, ec)) continue;
        fs::create_directory_symlink(entry.path(), link, ec);
        if (ec) fs::create_symlink(entry.path(), link, ec);
        if (ec) {
            std::fprintf(stderr, "mirav-gen-data: cannot link %s: %s\n", link.string().c_str(), ec.message().c_str());
            return false;
        }
    }
    bool ok = true;
    std::string index;
    for (const auto& entry : fs::directory_iterator(src / "Objects", ec)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        if (name == "objects.ini")
            index = ReadFile(entry.path());
        else
            ok = WriteIfChanged((out / "Objects" / name).string(), ReadFile(entry.path())) && ok;
    }
    // The pillars: one unbreakable box k blocks high each.
    index += "\n# Unbreakable pillars of the generated test levels.\n";
    for (int k = 1; k <= kPillarMax; ++k) {
        const std::string def = "gen_pillar" + std::to_string(k) + ".ini";
        const std::string piece = "gen_pillar" + std::to_string(k) + "_piece.ini";
        index += std::to_string(kPillarBase + k) + " = " + def + "\n";
        ok = WriteIfChanged((out / "Objects" / def).string(),
                            "[CONFIG]\npalette = gen_stone.ini\npaletteChoice = 0\nActorType = solid\n"
                            "[INFO]\nname = pillar\n[pillar]\nfile = " + piece + "\n") && ok;
        ok = WriteIfChanged((out / "Objects" / piece).string(),
                            "[pillar]\nposX = 0\nposY = 0\nposZ = 0\nscaleX = 1\nscaleY = " + std::to_string(k) +
                                "\nscaleZ = 1\ncolor = 0\ntexture = -1\n") && ok;
    }
    ok = WriteIfChanged((out / "Objects" / "gen_stone.ini").string(), "[CONFIG]\nnumColors = 1\n[stone]\n0 = 6\n") && ok;
    ok = WriteIfChanged((out / "Objects" / "objects.ini").string(), index) && ok;

    std::string list = "# Generated test levels.\n";
    ok = WriteIfChanged((out / "Levels" / "genpalette.ini").string(),
                        "[0]\n0 = 5\n1 = 6\n[1]\n0 = 1\n1 = 2\n[2]\n0 = 3\n1 = 4\n") && ok;
    for (int i = 0; i < count; ++i) {
        const uint32_t seed = first + static_cast<uint32_t>(i);
        const GeneratedLevel level = GenerateLevel(seed);
        const std::string problem = CheckLevel(level);
        if (!problem.empty()) {
            std::fprintf(stderr, "mirav-gen-data: no playable level for seed %u: %s\n", seed, problem.c_str());
            ok = false;
            continue;
        }
        const std::string stem = "Levels/gen" + std::to_string(seed);
        const std::vector<uint8_t> bytes = GameLogicView::EncodeBitmap24(LevelBitmap(level));
        ok = WriteIfChanged((out / (stem + ".bmp")).string(), std::string(bytes.begin(), bytes.end())) && ok;
        ok = WriteIfChanged((out / (stem + ".ini")).string(), LevelIni(level, stem + ".bmp", "Levels/genpalette.ini")) &&
             ok;
        list += "[level" + std::to_string(i) + "]\nfile = " + stem + ".ini\nname = Generated " + std::to_string(seed) +
                "\n";
    }
    ok = WriteIfChanged((out / "Levels" / "levels.ini").string(), list) && ok;
    return ok;
}

}  // namespace GenData
