// The .x model reader on small hand-written files: the file's own handedness,
// texture coordinates and winding; materials split into subsets; frames and
// an added root; skins with renormalised weights; animation keys with the
// stored rotations turned back into the rotations meant; refused files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "gfx/XFileLoader.h"

using Geometry::Vector3;
using Gfx::LoadXFile;
using Gfx::LoadXFileFromMemory;
using Gfx::XScene;

namespace {

std::string Fixture(const std::string& name) { return std::string(MIRAV_SOURCE_DIR) + "/tests/data/xfile/" + name; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void ExpectNear(const Vector3& a, const Vector3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-5f);
    EXPECT_NEAR(a.y, b.y, 1e-5f);
    EXPECT_NEAR(a.z, b.z, 1e-5f);
}

XScene Load(const std::string& name) {
    XScene s;
    std::string err;
    EXPECT_TRUE(LoadXFile(Fixture(name), s, &err)) << err;
    return s;
}

}  // namespace

TEST(XFileLoader, StaticMeshKeepsTheFilesOwnCoordinatesAndSplitsSubsetsByMaterial) {
    const XScene s = Load("static_two_materials.x");
    ASSERT_EQ(s.frames.size(), 1u);
    EXPECT_EQ(s.frames[0].name, "Panel");
    // The file's row-vector translation row becomes our last column.
    EXPECT_EQ(s.frames[0].local(0, 3), 1.0f);
    EXPECT_EQ(s.frames[0].local(1, 3), 2.0f);
    EXPECT_EQ(s.frames[0].local(2, 3), 3.0f);
    EXPECT_EQ(s.frames[0].local(3, 0), 0.0f);

    ASSERT_EQ(s.meshes.size(), 1u);
    const Gfx::XMesh& m = s.meshes[0];
    EXPECT_EQ(m.name, "Panel");  // a mesh takes its frame's name
    EXPECT_EQ(s.frames[0].meshes, std::vector<int>{0});
    EXPECT_FALSE(m.IsSkinned());
    ASSERT_EQ(m.TriangleCount(), 3u);
    // First triangle in the file's order with z not mirrored and v not flipped.
    ExpectNear(m.positions[m.indices[0]], {0, 0, 0.5f});
    ExpectNear(m.positions[m.indices[1]], {0, 1, 0.5f});
    ExpectNear(m.positions[m.indices[2]], {1, 1, 0.5f});
    EXPECT_EQ(m.uvs[m.indices[0]].y, 1.0f);
    EXPECT_EQ(m.uvs[m.indices[1]].y, 0.0f);
    ExpectNear(m.normals[m.indices[0]], {0, 0, -1});

    ASSERT_EQ(m.subsets.size(), 2u);
    EXPECT_EQ(m.subsets[0].material, 0);
    EXPECT_EQ(m.subsets[0].firstIndex, 0u);
    EXPECT_EQ(m.subsets[0].indexCount, 6u);
    EXPECT_EQ(m.subsets[1].material, 1);
    EXPECT_EQ(m.subsets[1].firstIndex, 6u);
    EXPECT_EQ(m.subsets[1].indexCount, 3u);
    ExpectNear(m.positions[m.indices[8]], {2, 1, 0.5f});

    ASSERT_EQ(s.materials.size(), 2u);
    const Gfx::XMaterial& red = s.materials[0];
    EXPECT_EQ(red.diffuse, Geometry::Vector4(1, 0, 0, 1));
    ExpectNear(red.specular, {0.5f, 0.5f, 0.5f});
    EXPECT_EQ(red.power, 12.0f);
    EXPECT_EQ(red.texture, "Textures/Red.png");  // backslash turned round
    const Gfx::XMaterial& blue = s.materials[1];
    EXPECT_EQ(blue.diffuse.w, 0.5f);
    ExpectNear(blue.emissive, {0.1f, 0.2f, 0.3f});
    EXPECT_TRUE(blue.texture.empty());
}

TEST(XFileLoader, TwoTopLevelFramesHangUnderAnAddedRoot) {
    const XScene s = Load("two_top_frames.x");
    ASSERT_EQ(s.frames.size(), 3u);
    EXPECT_EQ(s.frames[0].children, (std::vector<int>{1, 2}));
    EXPECT_EQ(s.FindFrame("First"), 1);
    EXPECT_EQ(s.FindFrame("Second"), 2);
    EXPECT_EQ(s.FindFrame("Third"), -1);
    // Second turns +x onto -z (a quarter turn about y).
    const auto combined = s.CombinedTransforms();
    const Geometry::Vector4 x = combined[2] * Geometry::Vector4(1, 0, 0, 0);
    ExpectNear(x.XYZ(), {0, 0, -1});
    ASSERT_EQ(s.meshes.size(), 1u);
    EXPECT_EQ(s.meshes[0].frame, 1);
}

TEST(XFileLoader, SkinHasBonesOffsetsAndRenormalisedWeights) {
    const XScene s = Load("skinned_two_bones.x");
    ASSERT_TRUE(s.HasSkin());
    const Gfx::XMesh& m = s.meshes[0];
    ASSERT_EQ(m.bones.size(), 2u);
    EXPECT_EQ(m.bones[0].name, "Lower");
    EXPECT_EQ(m.bones[0].frame, s.FindFrame("Lower"));
    EXPECT_EQ(m.bones[1].name, "Upper");
    EXPECT_EQ(m.bones[1].frame, s.FindFrame("Upper"));
    EXPECT_EQ(m.bones[1].offset(1, 3), -1.0f);
    // Per vertex by position: the influences and their weights.
    struct Case {
        Vector3 p;
        float lower, upper;
    } cases[] = {{{0, 0, 0}, 1, 0}, {{1, 0, 0}, 1, 0}, {{1, 2, 0}, 0.5f, 0.5f}, {{0, 2, 0}, 0, 1}};
    ASSERT_EQ(m.positions.size(), 4u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.p.y + c.p.x * 10);
        size_t v = 0;
        while (v < m.positions.size() && m.positions[v] != c.p) ++v;
        ASSERT_LT(v, m.positions.size());
        float w[2] = {0, 0}, sum = 0;
        for (int k = 0; k < Gfx::kMaxVertexInfluences; ++k) {
            w[m.boneIndices[v][k]] += m.boneWeights[v][k];
            sum += m.boneWeights[v][k];
        }
        EXPECT_NEAR(sum, 1.0f, 1e-6f);
        EXPECT_NEAR(w[0], c.lower, 1e-6f);
        EXPECT_NEAR(w[1], c.upper, 1e-6f);
    }
}

TEST(XFileLoader, AnimationKeysGiveTheRotationsMeantAndRestPoseFillsMissingLists) {
    const XScene s = Load("skinned_two_bones.x");
    ASSERT_EQ(s.animations.size(), 2u);
    const Gfx::XAnimationSet& bend = s.animations[0];
    EXPECT_EQ(bend.name, "Bend");
    EXPECT_EQ(bend.ticksPerSecond, 100.0);
    EXPECT_EQ(bend.lastKeyTicks, 200.0);
    EXPECT_DOUBLE_EQ(bend.PeriodSeconds(), 2.0);
    ASSERT_EQ(bend.channels.size(), 1u);
    const Gfx::XChannel& c = bend.channels[0];
    EXPECT_EQ(c.frame, s.FindFrame("Upper"));
    ASSERT_EQ(c.rotations.size(), 2u);
    EXPECT_EQ(c.rotations[1].time, 200.0);
    // The file stores the quarter turn about z conjugated; read back it turns +x onto +y.
    ExpectNear(c.rotations[1].value.Rotate({1, 0, 0}), {0, 1, 0});
    ExpectNear(c.rotations[0].value.Rotate({1, 0, 0}), {1, 0, 0});
    ASSERT_EQ(c.positions.size(), 2u);
    ExpectNear(c.positions[1].value, {0, 2, 0});
    ASSERT_EQ(c.scales.size(), 1u);  // no scale keys: the rest pose's
    ExpectNear(c.scales[0].value, {1, 1, 1});

    const Gfx::XAnimationSet& still = s.animations[1];
    ASSERT_EQ(still.channels.size(), 1u);
    ExpectNear(still.channels[0].scales[0].value, {2, 2, 2});
    ASSERT_EQ(still.channels[0].positions.size(), 1u);
    ExpectNear(still.channels[0].positions[0].value, {0, 0, 0});
    EXPECT_EQ(still.PeriodSeconds(), 0.0);
}

TEST(XFileLoader, MissingTicksPerSecondMeansTheFormatsDefault) {
    std::string text = ReadAll(Fixture("skinned_two_bones.x"));
    const size_t at = text.find("AnimTicksPerSecond");
    ASSERT_NE(at, std::string::npos);
    text.erase(at, text.find('}', at) + 1 - at);
    XScene s;
    std::string err;
    ASSERT_TRUE(LoadXFileFromMemory(text.data(), text.size(), s, &err)) << err;
    ASSERT_FALSE(s.animations.empty());
    EXPECT_EQ(s.animations[0].ticksPerSecond, 4800.0);
}

// Five bones on one vertex: the strongest four stay, summing to 1; a vertex
// no bone names follows the mesh's own frame.
TEST(XFileLoader, AtMostFourInfluencesAndUnweightedVerticesFollowTheirFrame) {
    std::ostringstream x;
    x << "xof 0303txt 0032\nFrame Root {\n FrameTransformMatrix {1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,"
         "0.0,0.0,0.0,1.0;;}\n";
    for (int b = 0; b < 5; ++b) x << " Frame B" << b << " {}\n";
    x << " Mesh {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n 0.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n";
    x << " XSkinMeshHeader { 5; 5; 5; }\n";
    const char* weights[5] = {"0.1", "0.5", "0.2", "0.4", "0.3"};
    for (int b = 0; b < 5; ++b) {
        x << " SkinWeights { \"B" << b << "\"; 2; 0, 1; " << weights[b] << ", 1.0; "
          << "1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;; }\n";
    }
    x << " }\n}\n";
    const std::string text = x.str();
    XScene s;
    std::string err;
    ASSERT_TRUE(LoadXFileFromMemory(text.data(), text.size(), s, &err)) << err;
    const Gfx::XMesh& m = s.meshes.at(0);
    size_t v0 = 0, v2 = 0;
    for (size_t v = 0; v < m.positions.size(); ++v) {
        if (m.positions[v] == Vector3(0, 0, 0)) v0 = v;
        if (m.positions[v] == Vector3(0, 1, 0)) v2 = v;
    }
    float sum = 0;
    for (int k = 0; k < 4; ++k) {
        EXPECT_NE(m.bones[m.boneIndices[v0][k]].name, "B0");  // the weakest dropped
        sum += m.boneWeights[v0][k];
    }
    EXPECT_NEAR(sum, 1.0f, 1e-6f);
    EXPECT_EQ(m.bones[m.boneIndices[v0][0]].name, "B1");
    EXPECT_NEAR(m.boneWeights[v0][0], 0.5f / 1.4f, 1e-5f);
    const Gfx::XBone& own = m.bones[m.boneIndices[v2][0]];
    EXPECT_EQ(own.frame, m.frame);
    EXPECT_EQ(own.offset, Geometry::Matrix4x4::Identity());
    EXPECT_EQ(m.boneWeights[v2][0], 1.0f);
}

TEST(XFileLoader, RefusedFilesLeaveAnEmptySceneAndNameTheFile) {
    const std::string good = ReadAll(Fixture("skinned_two_bones.x"));
    const std::string truncated = good.substr(0, good.size() / 2);
    const std::string binary = "xof 0303bin 0032" + std::string(64, '\0');
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {{"bone naming no frame", ReadAll(Fixture("bone_without_frame.x"))},
                 {"truncated", truncated},
                 {"binary form", binary},
                 {"empty", ""},
                 {"not a model", "hello world, this is not a model file"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XScene s;
        s.frames.emplace_back();
        std::string err;
        EXPECT_FALSE(LoadXFileFromMemory(c.bytes.data(), c.bytes.size(), s, &err, "case.x"));
        EXPECT_EQ(err.rfind("case.x: ", 0), 0u) << err;
        EXPECT_TRUE(s.frames.empty() && s.meshes.empty() && s.animations.empty());
    }
    XScene s;
    std::string err;
    EXPECT_FALSE(LoadXFile(Fixture("no_such_file.x"), s, &err));
    EXPECT_NE(err.find("no_such_file.x"), std::string::npos);
    EXPECT_FALSE(LoadXFile(Fixture("bone_without_frame.x"), s, &err));
    EXPECT_NE(err.find("Nowhere"), std::string::npos);
}

// Damaged files the importer itself would crash on or misread are stopped by
// the strict check first, each with the line of its fault.
TEST(XFileLoader, StrictCheckRefusesDamagedStructure) {
    const std::string head = "xof 0303txt 0032\n";
    const std::string ident = "1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;";
    struct Case {
        const char* what;
        std::string body;
        const char* message;
    } cases[] = {
        {"fewer positions than the count (crashed the importer)",
         " Mesh {5;1;0;0,\n0;0;0, 3;,1,2;3;,2,3;3;,1,2;3;0,1,2;3;0,2,3,}", "malformed Mesh"},
        {"face index past the vertices", "Mesh {3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,3;;}",
         "malformed Mesh"},
        {"whole number where a float belongs", "Frame A { FrameTransformMatrix {1,0.0,0.0,0.0,0.0,1.0,0.0,0.0,"
                                               "0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;} }",
         "malformed FrameTransformMatrix"},
        {"unknown object", "Frame A { Gizmo { 1; } }", "unknown object Gizmo"},
        {"template definition", "template Frame { <3D82AB46-62DA-11cf-AB39-0020AF71E433> }", "template"},
        {"unclosed frame", "Frame A { FrameTransformMatrix {" + ident + "}", "not closed"},
        {"material list naming an unknown material",
         "Mesh {3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; MeshMaterialList {1; 1; 0;; {Nope}}}",
         "Nope"},
        {"normals for other faces", "Mesh {3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; "
                                    "MeshNormals {1; 0.0;0.0;1.0;; 2; 3;0,0,0;, 3;0,0,0;;}}",
         "malformed MeshNormals"},
        {"rotation key with three values", "Frame A {} AnimationSet S { Animation { {A} AnimationKey { 0; 1; "
                                           "0;3;1.0,0.0,0.0;;; } } }",
         "malformed AnimationKey"},
        {"animation of a missing frame", "Frame A {} AnimationSet S { Animation { {B} AnimationKey { 2; 1; "
                                         "0;3;1.0,0.0,0.0;;; } } }",
         "missing frame B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = head + c.body;
        XScene s;
        std::string err;
        EXPECT_FALSE(LoadXFileFromMemory(text.data(), text.size(), s, &err, "case.x"));
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_NE(err.find("line "), std::string::npos) << err;
    }
}
