// Level bitmaps: every description in Levels/src/*.txt becomes the 24-bit
// bitmap its "output" line names.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "Generators.h"
#include "levels/Bitmap.h"
#include "levels/LevelSource.h"

namespace GenData {

bool GenerateLevels(const std::string& dataDir) {
    namespace fs = std::filesystem;
    const fs::path srcDir = fs::path(dataDir) / "Levels" / "src";
    std::error_code ec;
    if (!fs::is_directory(srcDir, ec)) {
        std::fprintf(stderr, "mirav-gen-data: no level descriptions in %s\n", srcDir.string().c_str());
        return false;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(srcDir, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    bool ok = true;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        GameLogicView::LevelSource level;
        std::string error;
        if (!GameLogicView::ParseLevelSource(text, file.string(), level, error)) {
            std::fprintf(stderr, "mirav-gen-data: %s\n", error.c_str());
            ok = false;
            continue;
        }
        const std::vector<uint8_t> bytes = GameLogicView::EncodeBitmap24(level.image);
        ok = WriteIfChanged((fs::path(dataDir) / level.output).string(), std::string(bytes.begin(), bytes.end())) && ok;
    }
    return ok;
}

}  // namespace GenData
