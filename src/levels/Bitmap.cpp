#include "levels/Bitmap.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>

namespace GameLogicView {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kInfoHeaderBytes = 40;
constexpr uint16_t kSignature = 19778;  // "BM" read as little-endian

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

bool Fail(std::string& error, const std::string& name, const std::string& why) {
    error = "level bitmap \"" + name + "\": " + why;
    return false;
}

}  // namespace

bool DecodeBitmap24(const uint8_t* data, size_t size, const std::string& name, Bitmap24& out, std::string& error) {
    if (data == nullptr || size < kFileHeaderBytes + kInfoHeaderBytes)
        return Fail(error, name, "file too short for the bitmap headers (" + std::to_string(size) + " bytes)");
    if (U16(data) != kSignature) return Fail(error, name, "not a bitmap (no \"BM\" signature)");
    const uint32_t pixelOffset = U32(data + 10);
    const uint8_t* info = data + kFileHeaderBytes;
    const uint32_t infoSize = U32(info);
    const int32_t width = I32(info + 4);
    const int32_t height = I32(info + 8);
    const uint16_t bitsPerPixel = U16(info + 14);
    const uint32_t compression = U32(info + 16);

    if (infoSize < kInfoHeaderBytes || infoSize > size - kFileHeaderBytes)
        return Fail(error, name, "information header size " + std::to_string(infoSize) + " is not supported");
    if (bitsPerPixel != 24)
        return Fail(error, name, std::to_string(bitsPerPixel) + " bits per pixel; only 24-bit bitmaps are read");
    if (compression != 0) return Fail(error, name, "compressed bitmaps are not read");
    if (height < 1) return Fail(error, name, "top-down or empty bitmap (height " + std::to_string(height) + ")");
    if (width < 1 || width > Bitmap24::kMaxSide || height > Bitmap24::kMaxSide)
        return Fail(error, name,
                    "size " + std::to_string(width) + " x " + std::to_string(height) + " is outside 1.." +
                        std::to_string(Bitmap24::kMaxSide));
    if (pixelOffset < kFileHeaderBytes + infoSize || pixelOffset > size)
        return Fail(error, name, "pixel data offset " + std::to_string(pixelOffset) + " is outside the file");

    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const size_t stride = (rowBytes + 3) & ~static_cast<size_t>(3);
    const size_t rows = static_cast<size_t>(height);
    // The last row needs its pixels only, not its padding.
    const size_t needed = stride * (rows - 1) + rowBytes;
    if (needed > size - pixelOffset)
        return Fail(error, name,
                    "truncated: " + std::to_string(needed) + " bytes of pixels expected, " +
                        std::to_string(size - pixelOffset) + " present");

    Bitmap24 image;
    image.width = width;
    image.height = height;
    image.bgr.resize(rowBytes * rows);
    for (size_t fileRow = 0; fileRow < rows; ++fileRow) {
        // The file's first row is the image's bottom row.
        const uint8_t* src = data + pixelOffset + fileRow * stride;
        uint8_t* dst = image.bgr.data() + (rows - 1 - fileRow) * rowBytes;
        std::copy(src, src + rowBytes, dst);
    }
    out = std::move(image);
    return true;
}

bool ReadBitmap24(const std::string& fileName, Bitmap24& out, std::string& error) {
    struct stat st {};
    if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(error, fileName, "cannot be opened");
    if (static_cast<uint64_t>(st.st_size) > Bitmap24::kMaxFileBytes)
        return Fail(error, fileName, "file of " + std::to_string(st.st_size) + " bytes is too large");
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return Fail(error, fileName, "cannot be opened");
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return DecodeBitmap24(bytes.data(), bytes.size(), fileName, out, error);
}

std::vector<uint8_t> EncodeBitmap24(const Bitmap24& image) {
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    const size_t stride = (rowBytes + 3) & ~static_cast<size_t>(3);
    const uint32_t pixelBytes = static_cast<uint32_t>(stride * static_cast<size_t>(image.height));
    const uint32_t offset = static_cast<uint32_t>(kFileHeaderBytes + kInfoHeaderBytes);
    std::vector<uint8_t> v;
    v.reserve(offset + pixelBytes);
    Put16(v, kSignature);
    Put32(v, offset + pixelBytes);
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, static_cast<uint32_t>(kInfoHeaderBytes));
    Put32(v, static_cast<uint32_t>(image.width));
    Put32(v, static_cast<uint32_t>(image.height));
    Put16(v, 1);
    Put16(v, 24);
    Put32(v, 0);
    Put32(v, pixelBytes);
    Put32(v, 2835);
    Put32(v, 2835);
    Put32(v, 0);
    Put32(v, 0);
    for (int fileRow = 0; fileRow < image.height; ++fileRow) {
        const size_t row = static_cast<size_t>(image.height - 1 - fileRow);
        const uint8_t* src = image.bgr.data() + row * rowBytes;
        v.insert(v.end(), src, src + rowBytes);
        v.insert(v.end(), stride - rowBytes, 0);
    }
    return v;
}

}  // namespace GameLogicView
