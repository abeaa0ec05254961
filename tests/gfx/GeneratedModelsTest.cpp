// The generated models (data/Models) as the game reads them: each loads,
// faces outwards the way the vertex normals say, fits the half extents the
// game logic gives its model, and names textures that exist.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "gfx/XFileLoader.h"

using Geometry::Vector3;

namespace {

struct Expect {
    const char* file;
    Vector3 half;  // largest |coordinate| per axis
    bool exact;    // the extents are reached, not only bounded
};

}  // namespace

TEST(GeneratedModels, LoadFaceOutwardsFitTheirExtentsAndNameExistingTextures) {
    const Expect models[] = {
        {"Models/Block.x", {0.5f, 0.5f, 0.5f}, true},   {"Models/Ground.x", {10.0f, 1.0f, 10.0f}, true},
        {"Models/Bomb.x", {0.25f, 0.25f, 0.25f}, false}, {"Models/Flag.x", {0.5f, 0.5f, 0.5f}, false},
        {"Models/Wall.x", {2.0f, 1.0f, 0.5f}, true},    {"Models/CapturePad.x", {1.7f, 0.3f, 1.7f}, false},
        {"Models/SpawnPad.x", {1.5f, 0.2f, 1.5f}, false}, {"Models/Tree.x", {1.2f, 4.0f, 1.2f}, false},
    };
    for (const Expect& e : models) {
        SCOPED_TRACE(e.file);
        Gfx::XScene s;
        std::string err;
        ASSERT_TRUE(Gfx::LoadXFile(e.file, s, &err)) << err;
        ASSERT_EQ(s.meshes.size(), 1u);
        const Gfx::XMesh& m = s.meshes[0];
        Vector3 reach;
        for (const Vector3& p : m.positions) {
            reach = {std::max(reach.x, std::fabs(p.x)), std::max(reach.y, std::fabs(p.y)), std::max(reach.z, std::fabs(p.z))};
        }
        // The view stands the ground at the origin, where the logic's ground
        // has its top: the model's top must be there too, or everything on
        // the ground is drawn sunk into it.
        if (std::string(e.file) == "Models/Ground.x") {
            float top = -1e9f;
            for (const Vector3& p : m.positions) top = std::max(top, p.y);
            EXPECT_NEAR(top, 0.0f, 1e-5f);
        }
        for (int a = 0; a < 3; ++a) {
            EXPECT_LE(reach[a], e.half[a] + 1e-5f) << "axis " << a;
            if (e.exact) {
                EXPECT_NEAR(reach[a], e.half[a], 1e-5f) << "axis " << a;
            }
        }
        for (size_t t = 0; t < m.TriangleCount(); ++t) {
            const Vector3 &a = m.positions[m.indices[3 * t]], &b = m.positions[m.indices[3 * t + 1]],
                          &c = m.positions[m.indices[3 * t + 2]];
            const Vector3 face = Geometry::Cross(b - a, c - a);
            ASSERT_GT(face.Dot(m.normals[m.indices[3 * t]]), 0.0f) << "triangle " << t << " faces inwards";
        }
        for (const Gfx::XMaterial& mat : s.materials) {
            if (!mat.texture.empty()) {
                EXPECT_TRUE(std::filesystem::exists(mat.texture)) << mat.texture;
            }
        }
    }
}

// The level choice shows each level's picture: the level file names a texture
// tag that the asset file loads from a generated picture.
TEST(GeneratedPictures, EveryShippedLevelNamesAPictureTheAssetFileLoads) {
    auto read = [](const std::string& path) {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string assets = read("Config/Graphics/gfxGameAssets.ini");
    const std::string textures = assets.substr(assets.find("TEXTURES_START"));
    for (const char* level : {"Levels/level0.ini", "Levels/level1.ini"}) {
        SCOPED_TRACE(level);
        std::smatch m;
        const std::string text = read(level);
        ASSERT_TRUE(std::regex_search(text, m, std::regex("screenshot *= *([0-9]+)")));
        std::smatch t;
        ASSERT_TRUE(std::regex_search(textures, t, std::regex("\\n[A-Z0-9_]+ " + m[1].str() + " \\[([^\\]]+)\\]")));
        EXPECT_TRUE(std::filesystem::exists("Textures/" + t[1].str())) << t[1].str();
    }
}
