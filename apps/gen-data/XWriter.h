// Writes models as text .x files: frames, meshes with materials, skins and
// animation sets. Deterministic text (fixed number format, every float with a
// decimal point), so the same model always gives the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace GenData {

struct XVert {
    Geometry::Vector3 p, n;
    Geometry::Vector2 uv;
};

struct XMat {
    Geometry::Vector4 diffuse{1, 1, 1, 1};
    float power = 8.0f;
    Geometry::Vector3 specular{0.2f, 0.2f, 0.2f};
    Geometry::Vector3 emissive;
    std::string texture;  // file name relative to the data folder; empty when none
};

// The bone weights one frame gives to vertices, with its offset matrix
// (mesh space -> bone space; our column-vector form).
struct XSkinWeights {
    std::string bone;
    std::vector<uint32_t> vertices;
    std::vector<float> weights;
    Geometry::Matrix4x4 offset;
};

struct XMeshOut {
    std::vector<XVert> vertices;
    std::vector<std::array<uint32_t, 3>> triangles;  // outward faces: (b - a) x (c - a) points out
    std::vector<uint32_t> triangleMaterial;          // one per triangle, index into the model's materials
    std::vector<XSkinWeights> skin;
};

struct XFrameOut {
    std::string name;
    Geometry::Matrix4x4 local;  // column-vector form
    int mesh = -1;              // index into XModelOut::meshes
    std::vector<XFrameOut> children;
};

struct XTrack {
    std::string frame;
    std::vector<std::pair<uint32_t, Geometry::Quaternion>> rotations;  // ticks, rotation meant
    std::vector<std::pair<uint32_t, Geometry::Vector3>> positions;
    std::vector<std::pair<uint32_t, Geometry::Vector3>> scales;
};

struct XAnimSetOut {
    std::string name;
    std::vector<XTrack> tracks;
};

struct XModelOut {
    std::vector<XMat> materials;
    std::vector<XMeshOut> meshes;
    XFrameOut root;
    uint32_t ticksPerSecond = 0;  // written only with animation sets
    std::vector<XAnimSetOut> animations;
};

// Fixed-point text with at least one decimal ("1.0", "-0.25"); -0 as 0.0.
std::string XNumber(float v);
std::string WriteXText(const XModelOut& model);

// A texture rectangle: (u0, v0) at a face's top left, (u1, v1) at its bottom right.
struct UvRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};

// Box faces in the order +z, +x, -z, -x, +y, -y (the built-in cube's order).
struct BoxUv {
    std::array<UvRect, 6> faces;
    float tiling = 0.0f;  // > 0: each face spans its world size times this instead
};

// Appends an axis-aligned box from lo to hi, turned and moved by m (column-
// vector form, rotation and translation only): 24 vertices, 12 outward
// triangles. Returns the index of its first vertex.
uint32_t AddBox(XMeshOut& mesh, const Geometry::Vector3& lo, const Geometry::Vector3& hi, uint32_t material,
                const BoxUv& uv = BoxUv{}, const Geometry::Matrix4x4& m = Geometry::Matrix4x4::Identity());

}  // namespace GenData
