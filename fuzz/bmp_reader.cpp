// Feeds arbitrary bytes to the level bitmap reader: no read past the input,
// no crash, no hang. An accepted bitmap has exactly its pixels, and the level
// built from it covers every column exactly up to its height.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "levels/Bitmap.h"
#include "levels/LevelGrid.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Its own heap block, so ASan sees the exact end of the input.
    const std::vector<uint8_t> bytes(data, data + size);
    GameLogicView::Bitmap24 image;
    std::string error;
    if (!GameLogicView::DecodeBitmap24(bytes.data(), bytes.size(), "fuzz.bmp", image, error)) {
        if (error.find("fuzz.bmp") == std::string::npos) std::abort();
        return 0;
    }
    if (image.width < 1 || image.height < 1 ||
        image.bgr.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        std::abort();

    GameLogicView::LevelGrid grid = GameLogicView::LevelGrid::FromBitmap(image);
    GameLogicView::PlanCellObjects(grid, false);
    GameLogicView::PlanCellObjects(grid, true);

    // Box sizes drawn from the input itself.
    size_t next = 0;
    GameLogicView::UnitDraw draw = [&]() {
        const uint8_t b = bytes[next++ % bytes.size()];
        return static_cast<float>(b) / 256.0f;
    };
    GameLogicView::BoxShaping shaping;
    shaping.capWidth = 1 + bytes[0] % 4;
    shaping.capHeight = 1 + bytes[1] % 4;
    shaping.capZ = 1 + bytes[2] % 6;
    shaping.wWeight = static_cast<float>(bytes[3]) / 255.0f;
    long long volume = 0, heights = 0;
    for (const auto& b : GameLogicView::PlanMergedBoxes(grid, shaping, draw)) {
        if (b.scale.x < 1 || b.scale.y < 1 || b.scale.z < 1) std::abort();
        volume += static_cast<long long>(b.scale.x) * static_cast<long long>(b.scale.y) *
                  static_cast<long long>(b.scale.z);
    }
    for (int r = 0; r < grid.Rows(); ++r)
        for (int c = 0; c < grid.Width(); ++c) {
            heights += grid.At(r, c).height;
            if (grid.At(r, c).filled != grid.At(r, c).height) std::abort();
        }
    if (volume != heights) std::abort();
    return 0;
}
