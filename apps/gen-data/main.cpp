// mirav-gen-data [--levels] <data folder>: makes the game's generated assets. Fast and
// idempotent: a second run rewrites nothing. With --test-levels it writes a
// data folder of seeded levels for measuring the bots instead;
// with --levels only the level bitmaps.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Generators.h"
#include "LevelGenerator.h"

namespace GenData {

bool WriteIfChanged(const std::string& path, const std::string& bytes) {
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (old == bytes) return true;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    // Write beside the target and rename, so a reader never sees half a file.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "mirav-gen-data: cannot write %s\n", tmp.c_str());
            return false;
        }
    }
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::fprintf(stderr, "mirav-gen-data: cannot replace %s: %s\n", path.c_str(), ec.message().c_str());
        return false;
    }
    std::printf("mirav-gen-data: wrote %s\n", path.c_str());
    return true;
}

}  // namespace GenData

int main(int argc, char** argv) {
    // The bots' test levels: a separate data folder, never the game's own.
    if (argc == 6 && std::string(argv[1]) == "--test-levels") {
        char* end = nullptr;
        const unsigned long first = std::strtoul(argv[4], &end, 10);
        const bool firstOk = end && *end == '\0';
        const long count = std::strtol(argv[5], &end, 10);
        if (!firstOk || !end || *end != '\0' || count < 1 || count > 200) {
            std::fprintf(stderr, "mirav-gen-data: --test-levels wants a first seed and a count of 1..200\n");
            return 2;
        }
        return GenData::WriteTestLevelData(argv[2], argv[3], static_cast<uint32_t>(first), static_cast<int>(count))
                   ? 0
                   : 1;
    }
    // --levels: only the level bitmaps (tests that make levels of their own).
    const bool levelsOnly = argc == 3 && std::string(argv[1]) == "--levels";
    if (argc != 2 && !levelsOnly) {
        std::fprintf(stderr,
                     "usage: mirav-gen-data [--levels] <data folder>\n"
                     "       mirav-gen-data --test-levels <data folder> <out folder> <first seed> <count>\n");
        return 2;
    }
    const std::string data = argv[argc - 1];
    if (!std::filesystem::is_directory(data)) {
        std::fprintf(stderr, "mirav-gen-data: %s is not a folder\n", data.c_str());
        return 2;
    }
    if (levelsOnly) return GenData::GenerateLevels(data) ? 0 : 1;
    bool ok = true;
    ok = GenData::GenerateLevels(data) && ok;
    ok = GenData::GenerateMeshes(data) && ok;
    ok = GenData::GenerateTextures(data) && ok;
    ok = GenData::GenerateCharacters(data) && ok;
    ok = GenData::GenerateLevelPreviews(data) && ok;
    ok = GenData::GenerateSounds(data) && ok;
    return ok ? 0 : 1;
}
