// mirav-gen-data <data folder>: makes the game's generated assets. Fast and
// idempotent: a second run rewrites nothing.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Generators.h"

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
    if (argc != 2) {
        std::fprintf(stderr, "usage: mirav-gen-data <data folder>\n");
        return 2;
    }
    const std::string data = argv[1];
    if (!std::filesystem::is_directory(data)) {
        std::fprintf(stderr, "mirav-gen-data: %s is not a folder\n", data.c_str());
        return 2;
    }
    bool ok = true;
    ok = GenData::GenerateLevels(data) && ok;
    ok = GenData::GenerateMeshes(data) && ok;
    ok = GenData::GenerateTextures(data) && ok;
    ok = GenData::GenerateCharacters(data) && ok;
    ok = GenData::GenerateLevelPreviews(data) && ok;
    ok = GenData::GenerateSounds(data) && ok;
    return ok ? 0 : 1;
}
