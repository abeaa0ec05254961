// The resources the state manager keeps by tag: textures and materials, and
// the vertex and index buffers that models draw from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/VertexDecls.h"
#include "utility/Geometry.h"

namespace Platform {
class Texture;
class GpuBuffer;
}  // namespace Platform

namespace Gfx {

class D3D9Core;

struct Texture {
    int tag = -1;
    std::shared_ptr<Platform::Texture> texture;
};

struct Material {
    Geometry::Vector3 specular;
    Geometry::Vector3 emissive;
    Geometry::Vector3 diffuse;
    float power = 0.0f;
    int tag = -1;
};

// Vertices in GPU memory with their layout. Static buffers are written once;
// dynamic ones take appends that wrap to the start (on fresh storage) when
// the rest does not hold the batch.
struct VertexBuffer {
    int writePosition = 0;  // in primitives (two vertices each): where the next append starts
    bool dynamic = false;
    std::shared_ptr<Platform::GpuBuffer> buffer;
    VertexDecl declaration;
    int capacity = 0;     // vertices that fit
    int vertexCount = 0;  // vertices written by the last fill
    int stride = 0;
    int primitiveCount = 0;  // triangles, set by the last index append
    bool managed = false;

    // Writes primitiveCount x 2 vertices (a quad is two triangles over four
    // vertices): a static buffer from its start, a dynamic one at its write
    // position, starting again at 0 when the batch would reach the end.
    // Returns the start in primitives (the first vertex is twice it), -1
    // when the vertices cannot be written.
    int Append(const void* vertices, int primitiveCount);
    // Writes count vertices from the start of the buffer (static geometry).
    bool Fill(const void* vertices, int count);
};

// 16-bit triangle-list indices over one vertex buffer.
struct IndexBuffer {
    uint16_t baseVertex = 0;
    int writePosition = 0;  // in triangles
    bool dynamic = false;
    std::shared_ptr<Platform::GpuBuffer> buffer;
    std::shared_ptr<VertexBuffer> vertices;
    int capacity = 0;  // indices that fit
    int indexCount = 0;
    bool managed = false;

    // Writes the indices of triangleCount triangles and returns the first
    // triangle's position; a dynamic buffer wraps to 0 when the batch would
    // reach its end. Sets indexCount and the vertex buffer's primitiveCount.
    // -1 when the indices do not fit at all.
    int Append(const std::vector<uint16_t>& indices, int triangleCount);
};

// Buffers made through the device holder; empty (logged) on failure.
std::shared_ptr<VertexBuffer> CreateVertexBuffer(D3D9Core& core, int count, const VertexDecl& decl, int stride,
                                                 bool dynamic);
std::shared_ptr<IndexBuffer> CreateIndexBuffer(D3D9Core& core, int count, bool dynamic,
                                               const std::shared_ptr<VertexBuffer>& vertices);

}  // namespace Gfx
