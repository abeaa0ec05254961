// A skinned model: the frame hierarchy, each skinned mesh split into bone
// combinations that fit the shader's bone palette, the shared palette, and
// the animation controller of its draw objects. Skinning runs on the GPU;
// SkinPosition repeats its arithmetic on the CPU.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Animation.h"
#include "gfx/Model.h"
#include "utility/Geometry.h"

namespace Gfx {

struct XScene;

// Bones one draw call can use: the size of the effect's "BonePalette".
constexpr int kMaxPaletteBones = 48;

struct SkinnedVertex {
    float position[3];
    float normal[3];
    float tex[2];
    float weights[4];
    float bones[4];  // palette slots of the vertex's combination
};
static_assert(sizeof(SkinnedVertex) == 64, "skinned vertex is 64 bytes");

// Triangles drawn with one palette: palette slot k holds bone boneIds[k]
// (-1: unused).
struct BoneCombination {
    std::vector<int> boneIds;
    uint32_t firstIndex = 0;
    uint32_t indexCount = 0;
};

struct SkinnedMeshContainer {
    std::string name;
    std::vector<Geometry::Matrix4x4> boneOffsets;  // per bone: mesh space -> bone space
    std::vector<int> boneFrames;                   // per bone: the frame whose combined matrix moves it
    int paletteSize = 0;
    int maxFaceInfluences = 0;
    std::vector<BoneCombination> combinations;
    std::vector<SkinnedVertex> vertices;
    std::vector<uint32_t> indices;
    std::vector<int> vertexCombination;  // per vertex: the combination it was copied for
    unsigned vao = 0, vbo = 0, ibo = 0;
};

class MeshSkinned {
public:
    ~MeshSkinned();
    MeshSkinned(const MeshSkinned&) = delete;
    MeshSkinned& operator=(const MeshSkinned&) = delete;

    // Builds the CPU side from a loaded scene; null with the reason when the
    // scene has no skinned mesh.
    static std::shared_ptr<MeshSkinned> Create(const XScene& scene, int trackCount, std::string* error);
    // Uploads the containers' geometry (needs the GL context).
    bool CreateGpu();

    // Frames' combined matrices from the current local ones: the root gets
    // world x C, C turning the stored orientation (z up, facing +y) into the
    // game's (y up, facing +z).
    void UpdateFrames(const Geometry::Matrix4x4& world);
    // Palette of combination j of container i: combined x offset per slot;
    // slots without a bone keep their previous value.
    const std::vector<Geometry::Matrix4x4>& BuildBonePalette(int combination, int container);
    void DrawSubset(int container, int combination) const;

    // A vertex's position under the current combined matrices, as the GPU computes it.
    Geometry::Vector3 SkinPosition(int container, size_t vertex) const;

    static Geometry::Matrix4x4 StoredToGame();

    AnimationController& Animation() { return *m_animation; }
    const std::vector<SkinnedMeshContainer>& Containers() const { return m_containers; }
    const std::vector<std::string>& FrameNames() const { return m_frameNames; }
    const std::vector<Geometry::Matrix4x4>& RestLocals() const { return m_rest; }
    std::vector<Geometry::Matrix4x4>& Locals() { return m_local; }
    const std::vector<Geometry::Matrix4x4>& Combined() const { return m_combined; }
    const std::vector<Geometry::Matrix4x4>& Palette() const { return m_palette; }
    const Geometry::Vector3& MinCorner() const { return m_min; }
    const Geometry::Vector3& MaxCorner() const { return m_max; }

private:
    MeshSkinned() = default;

    std::vector<std::string> m_frameNames;
    std::vector<int> m_parents;
    std::vector<Geometry::Matrix4x4> m_rest, m_local, m_combined;
    std::vector<SkinnedMeshContainer> m_containers;
    std::vector<Geometry::Matrix4x4> m_palette;
    std::unique_ptr<AnimationController> m_animation;
    Geometry::Vector3 m_min, m_max;
};

// The model of an SKN entry; only animated draw objects draw it.
class ModelMeshSkinned : public IModel {
public:
    explicit ModelMeshSkinned(std::shared_ptr<MeshSkinned> mesh) : m_mesh(std::move(mesh)) {}
    void Bind(Platform::GLDevice*) override {}
    void Draw(Platform::GLDevice*) override {}
    void Unbind(Platform::GLDevice*) override {}
    int GetIndexCount() const override { return 0; }
    const std::shared_ptr<MeshSkinned>& GetMesh() const { return m_mesh; }

private:
    std::shared_ptr<MeshSkinned> m_mesh;
};

// Reads a skinned .x file into a model with its box (half extents scaled as
// for meshes); null, logged, when it cannot be made.
std::shared_ptr<IModel> LoadSkinnedModelFile(const std::string& path, int trackCount);

}  // namespace Gfx
