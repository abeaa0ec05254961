// The static models: each a few boxes in the blocky style of the levels, one
// description per model below. Sizes follow the half extents the game logic
// reads for the same models (Config/Graphics/ModelExtents.ini).
#include <functional>
#include <string>
#include <vector>

#include "Generators.h"
#include "XWriter.h"

namespace GenData {

namespace {

using Geometry::Matrix4x4;
using Geometry::Vector3;

XMat Mat(float r, float g, float b, const std::string& texture = "", Vector3 emissive = {}) {
    XMat m;
    m.diffuse = {r, g, b, 1.0f};
    m.texture = texture;
    m.emissive = emissive;
    return m;
}

XModelOut Single(std::vector<XMat> materials, const std::string& frame, XMeshOut mesh) {
    XModelOut m;
    m.materials = std::move(materials);
    m.meshes.push_back(std::move(mesh));
    m.root.name = frame;
    m.root.mesh = 0;
    return m;
}

// Unit block: edge 1 about the origin, each face the whole texture.
XModelOut Block() {
    XMeshOut mesh;
    AddBox(mesh, {-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, 0);
    return Single({Mat(1, 1, 1, "Textures/Block.png")}, "Block", std::move(mesh));
}

// Ground tile: 20 x 1 x 20, the grass texture once every 4 units. Its top
// is at its origin: the view stands the ground plane at the origin, where the
// logic's ground has its top.
XModelOut Ground() {
    XMeshOut mesh;
    BoxUv uv;
    uv.tiling = 0.25f;
    AddBox(mesh, {-10.0f, -1.0f, -10.0f}, {10.0f, 0.0f, 10.0f}, 0, uv);
    return Single({Mat(1, 1, 1, "Textures/Ground.png")}, "Ground", std::move(mesh));
}

// Wall segment: 4 long, 2 high, 1 thick, stone texture once per unit.
XModelOut Wall() {
    XMeshOut mesh;
    BoxUv uv;
    uv.tiling = 1.0f;
    AddBox(mesh, {-2.0f, -1.0f, -0.5f}, {2.0f, 1.0f, 0.5f}, 0, uv);
    return Single({Mat(1, 1, 1, "Textures/Block.png")}, "Wall", std::move(mesh));
}

// Bomb: a rounded body of three crossed slabs, a cap and a glowing fuse,
// within half extents of 0.25.
XModelOut Bomb() {
    XMeshOut mesh;
    const float y = -0.04f;
    AddBox(mesh, {-0.2f, y - 0.13f, -0.13f}, {0.2f, y + 0.13f, 0.13f}, 0);
    AddBox(mesh, {-0.13f, y - 0.2f, -0.13f}, {0.13f, y + 0.2f, 0.13f}, 0);
    AddBox(mesh, {-0.13f, y - 0.13f, -0.2f}, {0.13f, y + 0.13f, 0.2f}, 0);
    AddBox(mesh, {-0.06f, y + 0.2f, -0.06f}, {0.06f, y + 0.23f, 0.06f}, 1);
    AddBox(mesh, {-0.015f, y + 0.23f, -0.015f}, {0.015f, 0.25f, 0.015f}, 2);
    return Single({Mat(1, 1, 1, "Textures/Bomb.png"), Mat(0.55f, 0.55f, 0.6f), Mat(1.0f, 0.6f, 0.1f, "", {1.0f, 0.5f, 0.1f})},
                  "Bomb", std::move(mesh));
}

// Flag: pole on a foot with a three-part cloth waving in z, within half
// extents of 0.5 (placed at scale 3).
XModelOut Flag() {
    XMeshOut mesh;
    AddBox(mesh, {-0.03f, -0.45f, -0.03f}, {0.03f, 0.45f, 0.03f}, 0);
    AddBox(mesh, {-0.15f, -0.5f, -0.15f}, {0.15f, -0.44f, 0.15f}, 0);
    AddBox(mesh, {-0.05f, 0.45f, -0.05f}, {0.05f, 0.5f, 0.05f}, 0);
    const float x0 = 0.03f, width = 0.45f, parts = 3.0f;
    const float wave[3] = {0.0f, 0.035f, 0.0f};
    for (int i = 0; i < 3; ++i) {
        const float a = x0 + width * static_cast<float>(i) / parts, b = x0 + width * static_cast<float>(i + 1) / parts;
        BoxUv uv;
        const float u0 = static_cast<float>(i) / parts, u1 = static_cast<float>(i + 1) / parts;
        for (auto& f : uv.faces) f = {u0, 0.0f, u1, 1.0f};
        AddBox(mesh, {a, 0.08f, wave[i] - 0.012f}, {b, 0.44f, wave[i] + 0.012f}, 1, uv);
    }
    return Single({Mat(0.8f, 0.8f, 0.8f), Mat(1, 1, 1, "Textures/Flag.png")}, "Flag", std::move(mesh));
}

// A low square frame with corner studs: the capture point's pad (3 x 3).
XModelOut CapturePad() {
    XMeshOut mesh;
    const float h = 1.5f, t = 0.25f, top = 0.1f;
    AddBox(mesh, {-h, 0.0f, -h}, {h, top, -h + t}, 0);
    AddBox(mesh, {-h, 0.0f, h - t}, {h, top, h}, 0);
    AddBox(mesh, {-h, 0.0f, -h + t}, {-h + t, top, h - t}, 0);
    AddBox(mesh, {h - t, 0.0f, -h + t}, {h, top, h - t}, 0);
    for (int i = 0; i < 4; ++i) {
        const float sx = (i & 1) ? 1.0f : -1.0f, sz = (i & 2) ? 1.0f : -1.0f;
        AddBox(mesh, {sx * h - 0.2f, 0.0f, sz * h - 0.2f}, {sx * h + 0.2f, 0.3f, sz * h + 0.2f}, 1);
    }
    return Single({Mat(1, 1, 1, "Textures/Block.png"), Mat(1.0f, 0.85f, 0.3f, "", {0.3f, 0.25f, 0.1f})}, "CapturePad",
                  std::move(mesh));
}

// A stepped plus-shaped platform: where players appear (3 x 3).
XModelOut SpawnPad() {
    XMeshOut mesh;
    AddBox(mesh, {-1.5f, 0.0f, -0.5f}, {1.5f, 0.1f, 0.5f}, 0);
    AddBox(mesh, {-0.5f, 0.0f, -1.5f}, {0.5f, 0.1f, -0.5f}, 0);
    AddBox(mesh, {-0.5f, 0.0f, 0.5f}, {0.5f, 0.1f, 1.5f}, 0);
    AddBox(mesh, {-0.35f, 0.1f, -0.35f}, {0.35f, 0.2f, 0.35f}, 1);
    return Single({Mat(1, 1, 1, "Textures/Block.png"), Mat(0.6f, 0.85f, 1.0f, "", {0.2f, 0.3f, 0.4f})}, "SpawnPad",
                  std::move(mesh));
}

// A blocky tree for decoration: trunk and a two-tier crown, 4 high.
XModelOut Tree() {
    XMeshOut mesh;
    AddBox(mesh, {-0.25f, 0.0f, -0.25f}, {0.25f, 2.0f, 0.25f}, 0);
    AddBox(mesh, {-1.2f, 1.6f, -1.2f}, {1.2f, 2.8f, 1.2f}, 1);
    AddBox(mesh, {-0.7f, 2.8f, -0.7f}, {0.7f, 3.6f, 0.7f}, 1);
    AddBox(mesh, {-0.3f, 3.6f, -0.3f}, {0.3f, 4.0f, 0.3f}, 1);
    return Single({Mat(0.45f, 0.3f, 0.18f, "Textures/Block.png"), Mat(0.3f, 0.6f, 0.25f, "Textures/Block.png")}, "Tree",
                  std::move(mesh));
}

// Screen quad: x and y from -0.5 to 0.5 at z 0, facing -z; v grows with y,
// which runs down the screen, so the picture stands upright.
XModelOut Quad() {
    XMeshOut mesh;
    const float c[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {-0.5f, 0.5f}, {0.5f, 0.5f}};
    for (const auto& p : c)
        mesh.vertices.push_back(XVert{{p[0], p[1], 0.0f}, {0.0f, 0.0f, -1.0f}, {p[0] + 0.5f, p[1] + 0.5f}});
    mesh.triangles = {{0, 2, 1}, {1, 2, 3}};
    mesh.triangleMaterial = {0, 0};
    return Single({Mat(1, 1, 1, "Textures/Panel.png")}, "Quad", std::move(mesh));
}

// Stand-in player until the skinned characters: body and head inside
// 1 x 3 x 1 about the origin.
XModelOut Player() {
    XMeshOut mesh;
    AddBox(mesh, {-0.4f, -1.5f, -0.3f}, {0.4f, 0.7f, 0.3f}, 0);
    AddBox(mesh, {-0.3f, 0.7f, -0.3f}, {0.3f, 1.5f, 0.3f}, 0);
    return Single({Mat(1, 1, 1, "Textures/Block.png")}, "Player", std::move(mesh));
}

struct ModelEntry {
    const char* file;
    XModelOut (*make)();
};

const ModelEntry kModels[] = {
    {"Block.x", Block},   {"Ground.x", Ground},         {"Wall.x", Wall},         {"Bomb.x", Bomb},
    {"Flag.x", Flag},     {"CapturePad.x", CapturePad}, {"SpawnPad.x", SpawnPad}, {"Tree.x", Tree},
    {"Quad.x", Quad},     {"Player.x", Player},
};

}  // namespace

bool GenerateMeshes(const std::string& dataDir) {
    bool ok = true;
    for (const ModelEntry& e : kModels) {
        ok = WriteIfChanged(dataDir + "/Models/" + e.file, WriteXText(e.make())) && ok;
    }
    return ok;
}

}  // namespace GenData
