#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "levels/Bitmap.h"
#include "Fixtures.h"

using GameLogicView::Bitmap24;
using GameLogicView::DecodeBitmap24;
using GameLogicView::EncodeBitmap24;

namespace {

// A 3 x 2 image whose pixels say where they are: blue = row, green = column,
// red = 10 * row + column.
Bitmap24 Sample() {
    Bitmap24 b;
    b.width = 3;
    b.height = 2;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            b.bgr.push_back(static_cast<uint8_t>(r));
            b.bgr.push_back(static_cast<uint8_t>(c));
            b.bgr.push_back(static_cast<uint8_t>(10 * r + c));
        }
    return b;
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

}  // namespace

// The bytes of a 3 x 2 bottom-up file written out by hand: rows are padded to
// 12 bytes and the file's first row is the image's bottom row.
TEST(Bitmap, DecodesBottomUpRowsWithPadding) {
    std::vector<uint8_t> file = {
        'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                 // file header
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,  // info header ...
        24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // bottom row (image row 1): (b, g, r) = (1, c, 10 + c), 3 padding bytes
        1, 0, 10, 1, 1, 11, 1, 2, 12, 0xEE, 0xEE, 0xEE,
        // top row (image row 0)
        0, 0, 0, 0, 1, 1, 0, 2, 2, 0xEE, 0xEE, 0xEE};
    Bitmap24 out;
    std::string error;
    ASSERT_TRUE(DecodeBitmap24(file.data(), file.size(), "x.bmp", out, error)) << error;
    EXPECT_EQ(out.width, 3);
    EXPECT_EQ(out.height, 2);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(out.Blue(r, c), r);
            EXPECT_EQ(out.Green(r, c), c);
            EXPECT_EQ(out.Red(r, c), 10 * r + c);
        }
    // Our encoder writes the same bytes (padding as zeros).
    std::vector<uint8_t> encoded = EncodeBitmap24(Sample());
    ASSERT_EQ(encoded.size(), file.size());
    for (size_t i = 54; i < file.size(); ++i)
        if (file[i] == 0xEE) file[i] = 0;
    EXPECT_TRUE(std::equal(file.begin() + 54, file.end(), encoded.begin() + 54));
}

TEST(Bitmap, MalformedFilesAreRefusedWithAReason) {
    const std::vector<uint8_t> good = EncodeBitmap24(Sample());
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> spoil;
        const char* reason;
    };
    const Case cases[] = {
        {"signature", [](std::vector<uint8_t>& v) { v[0] = 'P'; }, "signature"},
        {"8-bit", [](std::vector<uint8_t>& v) { v[28] = 8; }, "8 bits per pixel"},
        {"32-bit", [](std::vector<uint8_t>& v) { v[28] = 32; }, "32 bits per pixel"},
        {"compressed", [](std::vector<uint8_t>& v) { v[30] = 1; }, "compressed"},
        {"top-down", [](std::vector<uint8_t>& v) { Put32(v, 22, static_cast<uint32_t>(-2)); }, "top-down"},
        {"zero height", [](std::vector<uint8_t>& v) { Put32(v, 22, 0); }, "height 0"},
        {"zero width", [](std::vector<uint8_t>& v) { Put32(v, 18, 0); }, "size 0 x 2"},
        {"negative width", [](std::vector<uint8_t>& v) { Put32(v, 18, 0x80000000u); }, "size"},
        {"absurd width", [](std::vector<uint8_t>& v) { Put32(v, 18, 1000000); }, "size 1000000"},
        {"absurd height", [](std::vector<uint8_t>& v) { Put32(v, 22, 0x7FFFFFFF); }, "size"},
        {"wide for its bytes", [](std::vector<uint8_t>& v) { Put32(v, 18, 4000); }, "truncated"},
        {"truncated pixels", [](std::vector<uint8_t>& v) { v.resize(v.size() - 4); }, "truncated"},
        {"truncated header", [](std::vector<uint8_t>& v) { v.resize(40); }, "too short"},
        {"offset past end", [](std::vector<uint8_t>& v) { Put32(v, 10, 0xFFFFFFF0u); }, "offset"},
        {"offset inside headers", [](std::vector<uint8_t>& v) { Put32(v, 10, 20); }, "offset"},
        {"info header too small", [](std::vector<uint8_t>& v) { Put32(v, 14, 12); }, "information header"},
        {"info header too large", [](std::vector<uint8_t>& v) { Put32(v, 14, 0xFFFFFFFFu); }, "information header"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.spoil(bytes);
        Bitmap24 out;
        out.width = 77;
        std::string error;
        EXPECT_FALSE(DecodeBitmap24(bytes.data(), bytes.size(), "Levels/broken.bmp", out, error)) << c.name;
        EXPECT_NE(error.find("Levels/broken.bmp"), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(out.width, 77) << c.name;
    }
    // The last row may lack its padding: only its pixels are needed.
    std::vector<uint8_t> unpadded = good;
    unpadded.resize(unpadded.size() - 3);
    Bitmap24 out;
    std::string error;
    EXPECT_TRUE(DecodeBitmap24(unpadded.data(), unpadded.size(), "x.bmp", out, error)) << error;
}

TEST(Bitmap, ReadingAFileNamesItInEveryFailure) {
    LevelTest::TempDir dir;
    Bitmap24 out;
    std::string error;
    const std::string missing = dir.Path() + "missing.bmp";
    EXPECT_FALSE(GameLogicView::ReadBitmap24(missing, out, error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_FALSE(GameLogicView::ReadBitmap24(dir.Path(), out, error));  // a folder
    const std::string empty = dir.Write("empty.bmp", "");
    EXPECT_FALSE(GameLogicView::ReadBitmap24(empty, out, error));
    EXPECT_NE(error.find(empty), std::string::npos) << error;

    const std::string good = dir.WriteBytes("good.bmp", EncodeBitmap24(Sample()));
    ASSERT_TRUE(GameLogicView::ReadBitmap24(good, out, error)) << error;
    EXPECT_EQ(out.Red(1, 2), 12);
}
