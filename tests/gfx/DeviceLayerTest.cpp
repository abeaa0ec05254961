// The GL device layer's resources: static and dynamic buffers with bounded
// ring appends, the three vertex layouts, and textures from PNG.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/D3D9Core.h"
#include "gfx/VertexDecls.h"
#include "platform/GLBuffer.h"
#include "platform/GLTexture.h"
#include "platform/GLVertexLayout.h"
#include "platform/Window.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

using Platform::GpuBuffer;

namespace {

class DeviceLayer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        ASSERT_TRUE(Platform::InitVideo(&err)) << err;
        ASSERT_TRUE(window.Create("Mirav", 64, 64, &err)) << err;
    }
    void TearDown() override {
        window.Destroy();
        Platform::ShutdownVideo();
    }
    Platform::Window window;
};

std::vector<uint8_t> EncodePng(int w, int h, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> out;
    stbi_write_png_to_func(
        [](void* ctx, void* data, int size) {
            auto* v = static_cast<std::vector<uint8_t>*>(ctx);
            v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        },
        &out, w, h, 4, rgba.data(), w * 4);
    return out;
}

}  // namespace

TEST_F(DeviceLayer, StaticBufferHoldsItsDataAndRefusesWritesPastTheEnd) {
    const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    GpuBuffer b(GpuBuffer::Kind::Index, GpuBuffer::Usage::Static, sizeof idx, idx);
    ASSERT_TRUE(b.IsValid());
    uint16_t back[6] = {};
    ASSERT_TRUE(b.Read(0, sizeof back, back));
    EXPECT_EQ(std::memcmp(idx, back, sizeof idx), 0);
    const uint16_t patch[2] = {7, 8};
    EXPECT_TRUE(b.Update(8, patch, sizeof patch));
    EXPECT_FALSE(b.Update(10, patch, sizeof patch)) << "2 bytes past the end";
    EXPECT_FALSE(b.Update(static_cast<size_t>(-1), patch, sizeof patch)) << "offset overflow";
    EXPECT_EQ(b.Append(patch, sizeof patch), -1) << "static buffers take no appends";
    ASSERT_TRUE(b.Read(8, 4, back));
    EXPECT_EQ(back[0], 7);
    EXPECT_EQ(back[1], 8);
    EXPECT_FALSE(b.Read(10, 4, back));
}

TEST_F(DeviceLayer, DynamicRingAppendsStayWithinCapacity) {
    GpuBuffer ring(GpuBuffer::Kind::Vertex, GpuBuffer::Usage::Dynamic, 100);
    std::vector<uint8_t> chunk(40, 0xAB);
    EXPECT_EQ(ring.Append(chunk.data(), 40), 0);
    EXPECT_EQ(ring.Append(chunk.data(), 40), 40);
    // 20 bytes left: the next 40 start again at 0 on fresh storage.
    chunk.assign(40, 0xCD);
    EXPECT_EQ(ring.Append(chunk.data(), 40), 0);
    EXPECT_EQ(ring.Wraps(), 1);
    uint8_t back[40];
    ASSERT_TRUE(ring.Read(0, 40, back));
    EXPECT_EQ(back[39], 0xCD);
    // Alignment rounds the cursor up.
    EXPECT_EQ(ring.Append(chunk.data(), 8, 32), 64);
    EXPECT_EQ(ring.Cursor(), 72u);
    // Exactly the rest fits without wrapping.
    EXPECT_EQ(ring.Append(chunk.data(), 28), 72);
    EXPECT_EQ(ring.Wraps(), 1);
    // Larger than the whole buffer, or empty: refused, nothing moves.
    std::vector<uint8_t> big(101, 1);
    EXPECT_EQ(ring.Append(big.data(), big.size()), -1);
    EXPECT_EQ(ring.Append(big.data(), 0), -1);
    EXPECT_EQ(ring.Cursor(), 100u);
    EXPECT_EQ(ring.Append(big.data(), 100), 0);
}

TEST(VertexLayouts, TheThreeDeclarationsAndMalformedOnes) {
    using Platform::VertexElement;
    using Platform::VertexUsage;
    auto mesh = Gfx::CreateMeshVertexDecl();
    auto particle = Gfx::CreateParticleVertexDecl();
    auto instance = Gfx::CreateInstanceVertexDecl();
    ASSERT_TRUE(mesh && particle && instance);
    EXPECT_EQ(mesh->Stride(), 32u);
    EXPECT_EQ(mesh->Elements().size(), 3u);
    EXPECT_EQ(particle->Stride(), 64u);
    ASSERT_EQ(particle->Elements().size(), 6u);
    EXPECT_EQ(particle->Elements()[1].offset, 12u);
    EXPECT_EQ(particle->Elements()[1].floats, 4);
    EXPECT_EQ(particle->Elements()[5].offset, 56u);
    EXPECT_EQ(instance->Stride(), 36u);
    ASSERT_EQ(instance->Elements().size(), 4u);
    EXPECT_EQ(instance->Elements()[3].offset, 32u);
    EXPECT_EQ(instance->Elements()[3].floats, 1);
    EXPECT_EQ(Platform::VertexLayout::Location(VertexUsage::TexCoord, 1), 7);

    EXPECT_FALSE(Gfx::D3D9Core::CreateVertexDecl({{0, 3, VertexUsage::Position, 0}}, 8)) << "past the stride";
    EXPECT_FALSE(Gfx::D3D9Core::CreateVertexDecl({{0, 5, VertexUsage::Position, 0}}, 32)) << "five floats";
    EXPECT_FALSE(
        Gfx::D3D9Core::CreateVertexDecl({{0, 3, VertexUsage::Normal, 0}, {12, 3, VertexUsage::Normal, 0}}, 24))
        << "one usage twice";
    EXPECT_FALSE(Gfx::D3D9Core::CreateVertexDecl({{0, 2, VertexUsage::TexCoord, 8}}, 8)) << "no such location";
    EXPECT_FALSE(Gfx::D3D9Core::CreateVertexDecl({{0, 3, VertexUsage::Position, 0}}, 0));
}

TEST_F(DeviceLayer, TexturesFromPng) {
    // 3 x 2 image, top row red green blue, bottom row white black grey.
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255,
                                       255, 255, 255, 255, 0, 0, 0, 255, 128, 128, 128, 255};
    const std::vector<uint8_t> png = EncodePng(3, 2, rgba);
    ASSERT_FALSE(png.empty());
    std::string err;
    auto tex = Platform::Texture::FromMemory(png.data(), png.size(), &err);
    ASSERT_TRUE(tex) << err;
    EXPECT_EQ(tex->Width(), 3);
    EXPECT_EQ(tex->Height(), 2);
    std::vector<uint8_t> back;
    ASSERT_TRUE(tex->ReadBack(back));
    EXPECT_EQ(back, rgba);

    // Through a file, as the asset loader asks for it.
    const std::string path = "/tmp/mirav-gfx-test-" + std::to_string(getpid()) + ".png";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
    Gfx::D3D9Core core;
    EXPECT_FALSE(core.CreateTexture(path, 3)) << "no device yet";
    EXPECT_TRUE(Platform::Texture::FromFile(path, &err)) << err;
    std::remove(path.c_str());
}

TEST_F(DeviceLayer, DamagedOrMissingImagesAreRefused) {
    std::string err;
    EXPECT_FALSE(Platform::Texture::FromFile("/nonexistent/none.png", &err));
    EXPECT_NE(err.find("cannot open"), std::string::npos);

    const std::vector<uint8_t> rgba(4 * 4 * 4, 200);
    std::vector<uint8_t> png = EncodePng(4, 4, rgba);
    // Cut short, and a header that claims a huge image.
    std::vector<uint8_t> cut(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
    EXPECT_FALSE(Platform::Texture::FromMemory(cut.data(), cut.size(), &err));
    std::vector<uint8_t> huge = png;
    // IHDR width at bytes 16..19 (big-endian).
    huge[16] = 0x00;
    huge[17] = 0x10;
    huge[18] = 0x00;
    huge[19] = 0x00;
    EXPECT_FALSE(Platform::Texture::FromMemory(huge.data(), huge.size(), &err));
    const uint8_t notPng[8] = {'B', 'M', 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(Platform::Texture::FromMemory(notPng, sizeof notPng, &err));
    EXPECT_FALSE(Platform::Texture::FromMemory(nullptr, 0, &err));
}
