// A picture of each level for the level choice: the map seen from above, one
// square per cell, ground green, blocks grey or in their team's colour and
// lighter the higher they stand, flags, capture points, spawns and trees
// marked. Made from the same descriptions as the level bitmaps.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Canvas.h"
#include "Generators.h"
#include "levels/LevelSource.h"

namespace GenData {

namespace {

namespace fs = std::filesystem;

Rgba CellColour(const GameLogicView::Bitmap24& img, int row, int col) {
    const int height = img.Blue(row, col), team = img.Green(row, col), code = img.Red(row, col);
    Rgba c{0.33f, 0.55f, 0.24f, 1};  // grass
    if (height > 0) {
        const Rgba block = team == 1 ? Rgba{0.78f, 0.84f, 1.0f, 1} : (team == 2 ? Rgba{0.85f, 0.22f, 0.18f, 1} : Rgba{0.62f, 0.62f, 0.6f, 1});
        c = Scaled(block, 0.6f + 0.4f * std::min(1.0f, static_cast<float>(height) / 8.0f));
    }
    // Special cells by their object code (the description's legend).
    if (code == 153 || code == 50 || code == 151) c = Rgba{1.0f, 0.85f, 0.3f, 1};  // Angel flag, capture, spawn
    if (code == 154 || code == 51 || code == 152) c = Rgba{0.55f, 0.05f, 0.05f, 1};  // Demon
    if (code == 10) c = Rgba{0.12f, 0.35f, 0.1f, 1};                                   // tree
    if (code >= 157 && code <= 160) c = Rgba{0.1f, 0.1f, 0.12f, 1};                    // bomb spawner
    return c;
}

std::string Preview(const GameLogicView::Bitmap24& img) {
    const int size = 256, border = 8;
    Canvas c(size, size, Rgba{0.04f, 0.06f, 0.16f, 1});
    const int side = std::max(img.width, img.height);
    const float cell = static_cast<float>(size - 2 * border) / static_cast<float>(side);
    const float ox = static_cast<float>(border) + (static_cast<float>(side - img.width) * cell) / 2.0f;
    const float oy = static_cast<float>(border) + (static_cast<float>(side - img.height) * cell) / 2.0f;
    c.Paint([&](float x, float y) {
        const int col = static_cast<int>((x - ox) / cell), row = static_cast<int>((y - oy) / cell);
        if (x < ox || y < oy || col >= img.width || row >= img.height) return Rgba{0.04f, 0.06f, 0.16f, 1};
        Rgba colour = CellColour(img, row, col);
        // A thin dark edge between cells keeps the blocky look.
        const float fx = (x - ox) / cell - static_cast<float>(col), fy = (y - oy) / cell - static_cast<float>(row);
        if (cell >= 3.0f && (fx > 0.85f || fy > 0.85f)) colour = Scaled(colour, 0.85f);
        return colour;
    });
    return c.Png(false);
}

}  // namespace

bool GenerateLevelPreviews(const std::string& dataDir) {
    const fs::path srcDir = fs::path(dataDir) / "Levels" / "src";
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(srcDir, ec)) {
        if (entry.is_regular_file() && entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    bool ok = true;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        GameLogicView::LevelSource level;
        std::string error;
        if (!GameLogicView::ParseLevelSource(text, file.string(), level, error)) continue;  // reported by the level step
        const std::string name = fs::path(level.output).stem().string();
        ok = WriteIfChanged(dataDir + "/Textures/Preview_" + name + ".png", Preview(level.image)) && ok;
    }
    return ok;
}

}  // namespace GenData
