#include "gfx/MeshSkinned.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <map>

#include <SDL.h>
#include <epoxy/gl.h>

#include "gfx/XFileLoader.h"
#include "platform/GLVertexLayout.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

using Geometry::Matrix4x4;
using Geometry::Vector3;

namespace {

// Splits a skinned mesh's triangles into runs that each need at most
// kMaxPaletteBones bones; each run gets its own copy of the vertices it uses,
// with bone indices turned into palette slots.
void BuildCombinations(const XMesh& m, SkinnedMeshContainer& c) {
    const size_t triangles = m.TriangleCount();
    std::vector<int> slotOf(m.bones.size(), -1);
    std::map<uint32_t, uint32_t> vertexOf;  // source vertex -> vertex of the current run
    BoneCombination run;
    auto bonesOf = [&](size_t t, std::vector<int>& out) {
        out.clear();
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = m.indices[3 * t + static_cast<size_t>(k)];
            for (int i = 0; i < kMaxVertexInfluences; ++i) {
                if (m.boneWeights[v][static_cast<size_t>(i)] <= 0.0f) continue;
                const int b = m.boneIndices[v][static_cast<size_t>(i)];
                if (std::find(out.begin(), out.end(), b) == out.end()) out.push_back(b);
            }
        }
    };
    auto close = [&]() {
        run.indexCount = static_cast<uint32_t>(c.indices.size()) - run.firstIndex;
        if (run.indexCount > 0) {
            run.boneIds.resize(static_cast<size_t>(c.paletteSize), -1);
            c.combinations.push_back(run);
        }
        for (int b : run.boneIds) {
            if (b >= 0) slotOf[static_cast<size_t>(b)] = -1;
        }
        run = BoneCombination{};
        run.firstIndex = static_cast<uint32_t>(c.indices.size());
        vertexOf.clear();
    };
    // When every bone fits one palette, slot k is bone k (views ask for a
    // bone by its slot).
    if (m.bones.size() <= static_cast<size_t>(kMaxPaletteBones)) {
        for (size_t b = 0; b < m.bones.size(); ++b) {
            slotOf[b] = static_cast<int>(b);
            run.boneIds.push_back(static_cast<int>(b));
        }
    }
    std::vector<int> need;
    for (size_t t = 0; t < triangles; ++t) {
        bonesOf(t, need);
        size_t missing = 0;
        for (int b : need) missing += slotOf[static_cast<size_t>(b)] < 0 ? 1 : 0;
        if (run.boneIds.size() + missing > static_cast<size_t>(kMaxPaletteBones)) close();
        for (int b : need) {
            if (slotOf[static_cast<size_t>(b)] < 0) {
                slotOf[static_cast<size_t>(b)] = static_cast<int>(run.boneIds.size());
                run.boneIds.push_back(b);
            }
        }
        for (int k = 0; k < 3; ++k) {
            const uint32_t src = m.indices[3 * t + static_cast<size_t>(k)];
            auto it = vertexOf.find(src);
            if (it == vertexOf.end()) {
                SkinnedVertex v{};
                v.position[0] = m.positions[src].x, v.position[1] = m.positions[src].y, v.position[2] = m.positions[src].z;
                v.normal[0] = m.normals[src].x, v.normal[1] = m.normals[src].y, v.normal[2] = m.normals[src].z;
                v.tex[0] = m.uvs[src].x, v.tex[1] = m.uvs[src].y;
                for (int i = 0; i < kMaxVertexInfluences; ++i) {
                    const float w = m.boneWeights[src][static_cast<size_t>(i)];
                    v.weights[i] = w;
                    v.bones[i] = w > 0.0f ? static_cast<float>(slotOf[m.boneIndices[src][static_cast<size_t>(i)]]) : 0.0f;
                }
                it = vertexOf.emplace(src, static_cast<uint32_t>(c.vertices.size())).first;
                c.vertices.push_back(v);
                c.vertexCombination.push_back(static_cast<int>(c.combinations.size()));
            }
            c.indices.push_back(it->second);
        }
    }
    close();
}

}  // namespace

MeshSkinned::~MeshSkinned() {
    // After the context is gone its objects went with it.
    if (!SDL_GL_GetCurrentContext()) return;
    for (SkinnedMeshContainer& c : m_containers) {
        if (c.vao) glDeleteVertexArrays(1, &c.vao);
        if (c.vbo) glDeleteBuffers(1, &c.vbo);
        if (c.ibo) glDeleteBuffers(1, &c.ibo);
    }
}

Matrix4x4 MeshSkinned::StoredToGame() {
    // The rotation taking +z onto +y, then a half turn about y.
    const Matrix4x4 fromTo = Matrix4x4::FromRotation(
        Geometry::Quaternion::FromTo(Vector3(0, 0, 1), Vector3(0, 1, 0)).SafeToMatrix3x3());
    const Matrix4x4 halfTurn(-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1);
    return halfTurn * fromTo;
}

std::shared_ptr<MeshSkinned> MeshSkinned::Create(const XScene& scene, int trackCount, std::string* error) {
    std::shared_ptr<MeshSkinned> mesh(new MeshSkinned());
    for (const XFrame& f : scene.frames) {
        mesh->m_frameNames.push_back(f.name);
        mesh->m_parents.push_back(f.parent);
        mesh->m_rest.push_back(f.local);
    }
    mesh->m_local = mesh->m_rest;
    mesh->m_combined.assign(mesh->m_rest.size(), Matrix4x4::Identity());
    // Containers in the order of the hierarchy (frames are stored parents first).
    for (const XFrame& f : scene.frames) {
        for (int mi : f.meshes) {
            const XMesh& m = scene.meshes[static_cast<size_t>(mi)];
            if (!m.IsSkinned() || m.indices.empty()) continue;
            SkinnedMeshContainer c;
            c.name = m.name;
            for (const XBone& b : m.bones) {
                c.boneOffsets.push_back(b.offset);
                c.boneFrames.push_back(b.frame);
            }
            c.paletteSize = std::min(static_cast<int>(m.bones.size()), kMaxPaletteBones);
            for (size_t v = 0; v < m.positions.size(); ++v) {
                int n = 0;
                for (float w : m.boneWeights[v]) n += w > 0.0f ? 1 : 0;
                c.maxFaceInfluences = std::max(c.maxFaceInfluences, n);
            }
            BuildCombinations(m, c);
            mesh->m_containers.push_back(std::move(c));
        }
    }
    if (mesh->m_containers.empty()) {
        if (error) *error = "no skinned mesh";
        return nullptr;
    }
    auto sets = std::make_shared<AnimationSets>();
    for (const XAnimationSet& a : scene.animations) sets->emplace_back(a);
    mesh->m_animation = std::make_unique<AnimationController>(sets, trackCount);
    mesh->m_animation->BindOutput(&mesh->m_rest, &mesh->m_local);
    size_t largest = 0;
    for (const auto& c : mesh->m_containers) largest = std::max(largest, static_cast<size_t>(c.paletteSize));
    mesh->m_palette.assign(largest, Matrix4x4::Identity());

    // The box of the rest pose as drawn (stored orientation turned into the game's).
    mesh->UpdateFrames(Matrix4x4::Identity());
    Vector3 lo(FLT_MAX, FLT_MAX, FLT_MAX), hi(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    for (size_t ci = 0; ci < mesh->m_containers.size(); ++ci) {
        for (size_t v = 0; v < mesh->m_containers[ci].vertices.size(); ++v) {
            const Vector3 p = mesh->SkinPosition(static_cast<int>(ci), v);
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
    }
    mesh->m_min = lo;
    mesh->m_max = hi;
    return mesh;
}

bool MeshSkinned::CreateGpu() {
    const GLint position = Platform::VertexLayout::Location(Platform::VertexUsage::Position, 0);
    const GLint normal = Platform::VertexLayout::Location(Platform::VertexUsage::Normal, 0);
    const GLint tex0 = Platform::VertexLayout::Location(Platform::VertexUsage::TexCoord, 0);
    const GLint weights = Platform::VertexLayout::Location(Platform::VertexUsage::TexCoord, 1);
    const GLint bones = Platform::VertexLayout::Location(Platform::VertexUsage::TexCoord, 2);
    GLint previous = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previous);
    for (SkinnedMeshContainer& c : m_containers) {
        if (c.vao) continue;
        glGenVertexArrays(1, &c.vao);
        glGenBuffers(1, &c.vbo);
        glGenBuffers(1, &c.ibo);
        if (!c.vao || !c.vbo || !c.ibo) return false;
        glBindVertexArray(c.vao);
        glBindBuffer(GL_ARRAY_BUFFER, c.vbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(c.vertices.size() * sizeof(SkinnedVertex)),
                     c.vertices.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.ibo);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(c.indices.size() * sizeof(uint32_t)),
                     c.indices.data(), GL_STATIC_DRAW);
        const GLsizei stride = sizeof(SkinnedVertex);
        auto attrib = [&](GLint loc, int floats, size_t offset) {
            if (loc < 0) return;
            glEnableVertexAttribArray(static_cast<GLuint>(loc));
            glVertexAttribPointer(static_cast<GLuint>(loc), floats, GL_FLOAT, GL_FALSE, stride,
                                  reinterpret_cast<const void*>(offset));
        };
        attrib(position, 3, offsetof(SkinnedVertex, position));
        attrib(normal, 3, offsetof(SkinnedVertex, normal));
        attrib(tex0, 2, offsetof(SkinnedVertex, tex));
        attrib(weights, 4, offsetof(SkinnedVertex, weights));
        attrib(bones, 4, offsetof(SkinnedVertex, bones));
    }
    glBindVertexArray(static_cast<GLuint>(previous));
    return true;
}

void MeshSkinned::UpdateFrames(const Matrix4x4& world) {
    if (m_local.empty()) return;
    m_local[0] = Matrix4x4::Identity();
    const Matrix4x4 root = world * StoredToGame();
    for (size_t i = 0; i < m_local.size(); ++i) {
        const int p = m_parents[i];
        m_combined[i] = (p >= 0 ? m_combined[static_cast<size_t>(p)] : root) * m_local[i];
    }
}

const std::vector<Matrix4x4>& MeshSkinned::BuildBonePalette(int combination, int container) {
    if (container < 0 || static_cast<size_t>(container) >= m_containers.size()) return m_palette;
    const SkinnedMeshContainer& c = m_containers[static_cast<size_t>(container)];
    if (combination < 0 || static_cast<size_t>(combination) >= c.combinations.size()) return m_palette;
    const BoneCombination& bc = c.combinations[static_cast<size_t>(combination)];
    for (int k = 0; k < c.paletteSize && static_cast<size_t>(k) < bc.boneIds.size(); ++k) {
        const int b = bc.boneIds[static_cast<size_t>(k)];
        if (b < 0) continue;
        m_palette[static_cast<size_t>(k)] =
            m_combined[static_cast<size_t>(c.boneFrames[static_cast<size_t>(b)])] * c.boneOffsets[static_cast<size_t>(b)];
    }
    return m_palette;
}

void MeshSkinned::DrawSubset(int container, int combination) const {
    if (container < 0 || static_cast<size_t>(container) >= m_containers.size()) return;
    const SkinnedMeshContainer& c = m_containers[static_cast<size_t>(container)];
    if (!c.vao || combination < 0 || static_cast<size_t>(combination) >= c.combinations.size()) return;
    const BoneCombination& bc = c.combinations[static_cast<size_t>(combination)];
    GLint previous = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previous);
    glBindVertexArray(c.vao);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(bc.indexCount), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<size_t>(bc.firstIndex) * sizeof(uint32_t)));
    glBindVertexArray(static_cast<GLuint>(previous));
}

Vector3 MeshSkinned::SkinPosition(int container, size_t vertex) const {
    const SkinnedMeshContainer& c = m_containers.at(static_cast<size_t>(container));
    const SkinnedVertex& v = c.vertices.at(vertex);
    // The combination the vertex belongs to gives its slots' bones.
    const BoneCombination* bc = &c.combinations.at(static_cast<size_t>(c.vertexCombination.at(vertex)));
    const Geometry::Vector4 p(v.position[0], v.position[1], v.position[2], 1.0f);
    Vector3 out;
    for (int i = 0; i < 4; ++i) {
        if (v.weights[i] <= 0.0f) continue;
        const int b = bc->boneIds[static_cast<size_t>(v.bones[i])];
        const Matrix4x4 m = m_combined[static_cast<size_t>(c.boneFrames[static_cast<size_t>(b)])] *
                            c.boneOffsets[static_cast<size_t>(b)];
        out += (m * p).XYZ() * v.weights[i];
    }
    return out;
}

std::shared_ptr<IModel> LoadSkinnedModelFile(const std::string& path, int trackCount) {
    XScene scene;
    std::string why;
    std::shared_ptr<MeshSkinned> mesh;
    if (LoadXFile(path, scene, &why)) mesh = MeshSkinned::Create(scene, trackCount, &why);
    if (mesh && !mesh->CreateGpu()) {
        why = "buffers could not be made";
        mesh.reset();
    }
    if (!mesh) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateMeshSkinned: Mesh could not be created?? %s: %s",
                   path.c_str(), why.c_str());
        return nullptr;
    }
    auto model = std::make_shared<ModelMeshSkinned>(mesh);
    model->box.Scale((mesh->MaxCorner() - mesh->MinCorner()) * 0.5f);
    return model;
}

}  // namespace Gfx
