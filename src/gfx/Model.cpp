#include "gfx/Model.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>

#include "gfx/D3D9Core.h"
#include "platform/GLBuffer.h"
#include "platform/GLVertexLayout.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

void BoundingBox::Scale(const Geometry::Vector3& s) {
    minCorner = Geometry::Vector3(minCorner.x * s.x, minCorner.y * s.y, minCorner.z * s.z);
    maxCorner = -minCorner;
    const Geometry::Vector3 d = maxCorner - minCorner;
    radius = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

ModelIVBuffer::ModelIVBuffer(std::shared_ptr<IndexBuffer> indices, int indexCount)
    : m_indices(std::move(indices)), m_indexCount(indexCount) {}

ModelIVBuffer::~ModelIVBuffer() {
    if (m_vao && SDL_GL_GetCurrentContext()) glDeleteVertexArrays(1, &m_vao);
}

void ModelIVBuffer::Configure() {
    // The previous vertex array stays bound for whoever set it up.
    GLint previous = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previous);
    if (!m_vao) glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    if (!m_configured) {
        const VertexBuffer& vb = *m_indices->vertices;
        vb.declaration->Apply(*vb.buffer, 0);
        m_indices->buffer->Bind();
        m_configured = true;
    }
    glBindVertexArray(static_cast<GLuint>(previous));
}

void ModelIVBuffer::Bind(Platform::GLDevice* device) {
    (void)device;
    if (!m_indices || !m_indices->buffer || !m_indices->vertices || !m_indices->vertices->buffer ||
        !m_indices->vertices->declaration)
        return;
    Configure();
}

void ModelIVBuffer::DrawRange(int startIndex, int primitiveCount, Platform::GLDevice* device) {
    (void)device;
    // Without vertices there is nothing to draw from.
    if (!m_indices || !m_indices->buffer || !m_indices->vertices || !m_indices->vertices->buffer ||
        !m_indices->vertices->declaration || primitiveCount <= 0 || startIndex < 0)
        return;
    if (startIndex + primitiveCount * 3 > m_indices->capacity) return;
    if (!m_configured) Configure();
    GLint previous = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previous);
    glBindVertexArray(m_vao);
    glDrawElementsBaseVertex(GL_TRIANGLES, primitiveCount * 3, GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * 2u),
                             m_indices->baseVertex);
    glBindVertexArray(static_cast<GLuint>(previous));
}

void ModelIVBuffer::Draw(Platform::GLDevice* device) {
    if (!m_indices || !m_indices->vertices) return;
    DrawRange(0, m_indices->vertices->primitiveCount, device);
}

void ModelIVBuffer::Unbind(Platform::GLDevice* device) { (void)device; }

// GL keeps buffer contents across our surface changes; nothing to release.
void ModelIVBuffer::OnLostDevice() {}
void ModelIVBuffer::OnResetDevice() {}

ModelMesh::ModelMesh(std::shared_ptr<Mesh> mesh) : m_mesh(std::move(mesh)) {
    if (m_mesh && m_mesh->gpu) m_draw = std::make_unique<ModelIVBuffer>(m_mesh->gpu, static_cast<int>(m_mesh->indices.size()));
}

ModelMesh::~ModelMesh() = default;

void ModelMesh::Draw(Platform::GLDevice* device) {
    if (m_draw) m_draw->Draw(device);
}

bool ModelMesh::LockVertices(const MeshVertex*& out, int& count) {
    if (!m_mesh || m_mesh->vertices.empty()) return false;
    out = m_mesh->vertices.data();
    count = static_cast<int>(m_mesh->vertices.size());
    return true;
}

bool ModelMesh::LockIndices(const uint16_t*& out, int& count) {
    if (!m_mesh || m_mesh->indices.empty()) return false;
    out = m_mesh->indices.data();
    count = static_cast<int>(m_mesh->indices.size());
    return true;
}

void BuildBoxGeometry(float t, std::vector<MeshVertex>& vertices, std::vector<uint16_t>& indices) {
    struct Face {
        float n[3];
        float p[4][3];
    };
    static const Face kFaces[6] = {
        {{0, 0, 1}, {{-5, 5, 5}, {5, 5, 5}, {-5, -5, 5}, {5, -5, 5}}},
        {{1, 0, 0}, {{5, 5, 5}, {5, 5, -5}, {5, -5, 5}, {5, -5, -5}}},
        {{0, 0, -1}, {{5, 5, -5}, {-5, 5, -5}, {5, -5, -5}, {-5, -5, -5}}},
        {{-1, 0, 0}, {{-5, 5, -5}, {-5, 5, 5}, {-5, -5, -5}, {-5, -5, 5}}},
        {{0, 1, 0}, {{-5, 5, -5}, {5, 5, -5}, {-5, 5, 5}, {5, 5, 5}}},
        {{0, -1, 0}, {{-5, -5, 5}, {5, -5, 5}, {-5, -5, -5}, {5, -5, -5}}},
    };
    const float uv[4][2] = {{0, 0}, {t, 0}, {0, t}, {t, t}};
    vertices.clear();
    indices.clear();
    for (int f = 0; f < 6; ++f) {
        for (int k = 0; k < 4; ++k) {
            MeshVertex v{};
            for (int c = 0; c < 3; ++c) v.position[c] = kFaces[f].p[k][c], v.normal[c] = kFaces[f].n[c];
            v.tex[0] = uv[k][0];
            v.tex[1] = uv[k][1];
            vertices.push_back(v);
        }
        const uint16_t b = static_cast<uint16_t>(4 * f);
        indices.insert(indices.end(), {b, static_cast<uint16_t>(b + 2), static_cast<uint16_t>(b + 1),
                                       static_cast<uint16_t>(b + 2), static_cast<uint16_t>(b + 3),
                                       static_cast<uint16_t>(b + 1)});
    }
}

void BuildInstanceGeometry(const MeshVertex* vertices, int vertexCount, const uint16_t* indices, int indexCount,
                           int copies, std::vector<InstanceVertex>& outVertices, std::vector<uint16_t>& outIndices) {
    outVertices.clear();
    outIndices.clear();
    if (!vertices || !indices || vertexCount <= 0 || indexCount <= 0 || copies <= 0) return;
    outVertices.reserve(static_cast<size_t>(vertexCount) * static_cast<size_t>(copies));
    outIndices.reserve(static_cast<size_t>(indexCount) * static_cast<size_t>(copies));
    for (int k = 0; k < copies; ++k) {
        for (int i = 0; i < vertexCount; ++i) {
            InstanceVertex v{};
            for (int c = 0; c < 3; ++c) v.position[c] = vertices[i].position[c], v.normal[c] = vertices[i].normal[c];
            v.tex[0] = vertices[i].tex[0];
            v.tex[1] = vertices[i].tex[1];
            v.instance = static_cast<float>(k);
            outVertices.push_back(v);
        }
        for (int i = 0; i < indexCount; ++i)
            outIndices.push_back(static_cast<uint16_t>(k * vertexCount + indices[i]));
    }
}

}  // namespace Gfx
