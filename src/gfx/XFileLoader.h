// Reads text .x model files (static meshes and skinned hierarchies with their
// animation sets) into plain structs; the importer behind it stays inside.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace Gfx {

// One frame of the hierarchy. Frames are stored parents first; frame 0 is the
// root (an added root when the file has several top-level frames).
struct XFrame {
    std::string name;
    Geometry::Matrix4x4 local;  // relative to the parent frame
    int parent = -1;
    std::vector<int> children;
    std::vector<int> meshes;  // indices into XScene::meshes
};

struct XMaterial {
    Geometry::Vector4 diffuse{1.0f, 1.0f, 1.0f, 1.0f};  // rgb and alpha
    Geometry::Vector3 specular;
    Geometry::Vector3 emissive;
    float power = 0.0f;
    std::string texture;  // file name as written, with '/' separators; empty when none
};

// A run of triangles drawn with one material (an attribute range).
struct XSubset {
    int material = 0;      // index into XScene::materials
    uint32_t firstIndex = 0;  // into XMesh::indices
    uint32_t indexCount = 0;
};

struct XBone {
    std::string name;           // names a frame of the hierarchy
    int frame = -1;             // that frame's index
    Geometry::Matrix4x4 offset;  // mesh space -> bone space
};

constexpr int kMaxVertexInfluences = 4;

// One mesh, all its materials' triangles together, in its frame's space.
struct XMesh {
    std::string name;
    int frame = -1;
    std::vector<Geometry::Vector3> positions;
    std::vector<Geometry::Vector3> normals;  // as many as positions
    std::vector<Geometry::Vector2> uvs;      // as many as positions (0,0 when the file has none)
    std::vector<uint32_t> indices;           // triangle list
    std::vector<XSubset> subsets;
    // Skinned meshes only: bones and, per vertex, up to four bone indices
    // with weights that sum to 1 (unused slots index 0 with weight 0).
    std::vector<XBone> bones;
    std::vector<std::array<uint8_t, kMaxVertexInfluences>> boneIndices;
    std::vector<std::array<float, kMaxVertexInfluences>> boneWeights;

    bool IsSkinned() const { return !bones.empty(); }
    size_t TriangleCount() const { return indices.size() / 3; }
};

// Times are in ticks of the animation set.
struct XVectorKey {
    double time = 0.0;
    Geometry::Vector3 value;
};
struct XQuatKey {
    double time = 0.0;
    Geometry::Quaternion value;  // the rotation of the frame, unit length
};

// The keys of one animated frame; each list has at least one key.
struct XChannel {
    std::string frameName;
    int frame = -1;
    std::vector<XVectorKey> positions;
    std::vector<XQuatKey> rotations;
    std::vector<XVectorKey> scales;
};

struct XAnimationSet {
    std::string name;
    double ticksPerSecond = 4800.0;
    double lastKeyTicks = 0.0;  // the latest key of all channels
    std::vector<XChannel> channels;

    double PeriodSeconds() const { return lastKeyTicks / ticksPerSecond; }
};

struct XScene {
    std::vector<XFrame> frames;
    std::vector<XMesh> meshes;
    std::vector<XMaterial> materials;
    std::vector<XAnimationSet> animations;

    // Index of the frame with this name; -1 when absent.
    int FindFrame(const std::string& name) const;
    bool HasSkin() const;
    // Each frame's transform relative to the root's parent (root first).
    std::vector<Geometry::Matrix4x4> CombinedTransforms() const;
};

// Reads a text .x file. False (scene left empty) with a message naming the
// file when it cannot be read, has no geometry and no frames, or has a skin
// naming a frame that does not exist.
bool LoadXFile(const std::string& path, XScene& out, std::string* error = nullptr);
// The same from bytes in memory; hint names the source in messages.
bool LoadXFileFromMemory(const void* data, size_t size, XScene& out, std::string* error = nullptr,
                         const std::string& hint = "memory");

}  // namespace Gfx
