// Our own bounded reader of the level bitmaps: Windows BMP files with a 40-byte
// (or larger) information header and uncompressed 24-bit bottom-up pixels.
// Anything else (other depths, top-down rows, truncated data, absurd sizes)
// is refused with a message naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace GameLogicView {

struct Bitmap24 {
    // Limits of a level bitmap; the level grid is far smaller.
    static constexpr int kMaxSide = 4096;
    static constexpr size_t kMaxFileBytes = 64u << 20;

    int width = 0;
    int height = 0;
    // Blue, green, red per pixel; row 0 is the image's top row.
    std::vector<uint8_t> bgr;

    uint8_t Blue(int row, int col) const { return bgr[Index(row, col)]; }
    uint8_t Green(int row, int col) const { return bgr[Index(row, col) + 1]; }
    uint8_t Red(int row, int col) const { return bgr[Index(row, col) + 2]; }

private:
    size_t Index(int row, int col) const {
        return (static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(col)) * 3;
    }
};

// Decodes a whole bitmap file held in memory. False, with the reason in error
// and out untouched, when it is not a bitmap we read. name is used in the
// message only.
bool DecodeBitmap24(const uint8_t* data, size_t size, const std::string& name, Bitmap24& out, std::string& error);

// Reads and decodes a bitmap file; error names the file.
bool ReadBitmap24(const std::string& fileName, Bitmap24& out, std::string& error);

// Encodes a bottom-up 24-bit bitmap (the form the decoder reads), for the
// data generator and the tests.
std::vector<uint8_t> EncodeBitmap24(const Bitmap24& image);

}  // namespace GameLogicView
