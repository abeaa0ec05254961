// Geometry by tag: the bounding box record, the model interface and its
// kinds (a vertex and index buffer pair for boxes, particle buffers and
// instanced copies; a mesh read from a .x file), and the engine's loaders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/Resources.h"
#include "gfx/VertexDecls.h"
#include "utility/Geometry.h"

namespace Platform {
class GLDevice;
}

namespace Gfx {

class D3D9Core;
class StateMan;

struct BoundingBox {
    Geometry::Vector3 centre{0.0f, 0.0f, 0.0f};
    float radius = 0.0f;
    Geometry::Vector3 minCorner{-0.5f, -0.5f, -0.5f};
    Geometry::Vector3 maxCorner{0.5f, 0.5f, 0.5f};

    // minCorner *= s per component; maxCorner = -minCorner; radius = the
    // full diagonal. The result is always symmetric about the origin.
    void Scale(const Geometry::Vector3& s);
};

class IModel {
public:
    int tag = -1;
    BoundingBox box;

    virtual ~IModel() = default;
    virtual void Bind(Platform::GLDevice* device) = 0;
    // startIndex in indices; primitiveCount in triangles.
    virtual void DrawRange(int startIndex, int primitiveCount, Platform::GLDevice* device) {
        (void)startIndex, (void)primitiveCount, (void)device;
    }
    virtual void Draw(Platform::GLDevice* device) = 0;
    virtual void Unbind(Platform::GLDevice* device) = 0;
    virtual void OnLostDevice() {}
    virtual void OnResetDevice() {}
    // Indices of one copy of the geometry (instanced models).
    virtual int GetIndexCount() const = 0;
    // Read access to the vertices (mesh layout) and 16-bit indices.
    virtual bool LockVertices(const MeshVertex*& out, int& count) { (void)out, (void)count; return false; }
    virtual bool LockIndices(const uint16_t*& out, int& count) { (void)out, (void)count; return false; }
    virtual void UnlockVertices() {}
    virtual void UnlockIndices() {}
};

// A vertex and index buffer pair with its own vertex array, so drawing it
// never disturbs the bindings other drawers set up.
class ModelIVBuffer : public IModel {
public:
    ModelIVBuffer(std::shared_ptr<IndexBuffer> indices, int indexCount);
    ~ModelIVBuffer() override;

    void Bind(Platform::GLDevice* device) override;
    void DrawRange(int startIndex, int primitiveCount, Platform::GLDevice* device) override;
    void Draw(Platform::GLDevice* device) override;
    void Unbind(Platform::GLDevice* device) override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    int GetIndexCount() const override { return m_indexCount; }

    const std::shared_ptr<IndexBuffer>& Indices() const { return m_indices; }

private:
    void Configure();

    std::shared_ptr<IndexBuffer> m_indices;
    int m_indexCount;
    unsigned m_vao = 0;
    bool m_configured = false;
};

// A static mesh from a .x file: every mesh of the file in model space (its
// frames applied), normals computed from the triangles, one draw.
struct Mesh {
    Geometry::Vector3 minCorner;
    Geometry::Vector3 maxCorner;
    std::vector<MeshVertex> vertices;
    std::vector<uint16_t> indices;
    std::shared_ptr<IndexBuffer> gpu;  // indices over the vertices
};

class ModelMesh : public IModel {
public:
    explicit ModelMesh(std::shared_ptr<Mesh> mesh);
    ~ModelMesh() override;

    void Bind(Platform::GLDevice* device) override { (void)device; }
    void Draw(Platform::GLDevice* device) override;
    void Unbind(Platform::GLDevice* device) override { (void)device; }
    int GetIndexCount() const override { return 0; }
    bool LockVertices(const MeshVertex*& out, int& count) override;
    bool LockIndices(const uint16_t*& out, int& count) override;

    const std::shared_ptr<Mesh>& GetMesh() const { return m_mesh; }

private:
    std::shared_ptr<Mesh> m_mesh;
    std::unique_ptr<ModelIVBuffer> m_draw;
};

// Reads a .x file into a mesh with GPU buffers; null (logged) when the file
// does not load, holds no triangles or more vertices than 16-bit indices reach.
std::shared_ptr<Mesh> CreateMesh(D3D9Core& core, const std::string& path);

// The built-in box: 24 vertices, 4 per face, 36 indices; edge 10.
void BuildBoxGeometry(float tiling, std::vector<MeshVertex>& vertices, std::vector<uint16_t>& indices);
// INST: copies of a source mesh, each vertex carrying its copy's index.
void BuildInstanceGeometry(const MeshVertex* vertices, int vertexCount, const uint16_t* indices, int indexCount,
                           int copies, std::vector<InstanceVertex>& outVertices, std::vector<uint16_t>& outIndices);

}  // namespace Gfx
