// Static meshes from .x files: the loader's scene flattened into one vertex
// and index buffer pair, and the engine's MSH and SKN model loaders.
#include <algorithm>
#include <cmath>

#include "gfx/D3D9Core.h"
#include "gfx/GfxEngine.h"
#include "gfx/Model.h"
#include "gfx/StateMan.h"
#include "gfx/XFileLoader.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

std::shared_ptr<Mesh> CreateMesh(D3D9Core& core, const std::string& path) {
    XScene scene;
    std::string why;
    auto fail = [&](const std::string& reason) -> std::shared_ptr<Mesh> {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateMesh: Mesh could not be created?? %s: %s", path.c_str(),
                   reason.c_str());
        return nullptr;
    };
    if (!LoadXFile(path, scene, &why)) return fail(why);
    auto mesh = std::make_shared<Mesh>();
    const std::vector<Geometry::Matrix4x4> frames = scene.CombinedTransforms();
    for (const XMesh& m : scene.meshes) {
        const Geometry::Matrix4x4 toModel = m.frame >= 0 && static_cast<size_t>(m.frame) < frames.size()
                                                ? frames[static_cast<size_t>(m.frame)]
                                                : Geometry::Matrix4x4::Identity();
        const size_t base = mesh->vertices.size();
        if (base + m.positions.size() > 65535) return fail("more vertices than 16-bit indices reach");
        for (size_t i = 0; i < m.positions.size(); ++i) {
            const Geometry::Vector4 p = toModel * Geometry::Vector4(m.positions[i], 1.0f);
            MeshVertex v{};
            v.position[0] = p.x, v.position[1] = p.y, v.position[2] = p.z;
            if (i < m.uvs.size()) v.tex[0] = m.uvs[i].x, v.tex[1] = m.uvs[i].y;
            mesh->vertices.push_back(v);
        }
        for (uint32_t idx : m.indices) {
            if (idx >= m.positions.size()) return fail("an index names no vertex");
            mesh->indices.push_back(static_cast<uint16_t>(base + idx));
        }
    }
    if (mesh->indices.size() < 3) return fail("no triangles");
    mesh->indices.resize(mesh->indices.size() / 3 * 3);

    // Normals from the triangles, weighted by their area; front faces are
    // clockwise in the model's left-handed space.
    std::vector<Geometry::Vector3> normals(mesh->vertices.size(), Geometry::Vector3(0.0f, 0.0f, 0.0f));
    auto pos = [&](uint16_t i) {
        const float* p = mesh->vertices[i].position;
        return Geometry::Vector3(p[0], p[1], p[2]);
    };
    for (size_t t = 0; t + 2 < mesh->indices.size(); t += 3) {
        const uint16_t a = mesh->indices[t], b = mesh->indices[t + 1], c = mesh->indices[t + 2];
        const Geometry::Vector3 e1 = pos(b) - pos(a), e2 = pos(c) - pos(a);
        const Geometry::Vector3 n(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x);
        normals[a] += n, normals[b] += n, normals[c] += n;
    }
    Geometry::Vector3 lo = pos(mesh->indices[0]), hi = lo;
    for (size_t i = 0; i < mesh->vertices.size(); ++i) {
        const Geometry::Vector3 n = normals[i];
        const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (len > 0.0f && std::isfinite(len)) {
            mesh->vertices[i].normal[0] = n.x / len;
            mesh->vertices[i].normal[1] = n.y / len;
            mesh->vertices[i].normal[2] = n.z / len;
        }
        const Geometry::Vector3 p = pos(static_cast<uint16_t>(i));
        lo = Geometry::Vector3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = Geometry::Vector3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    mesh->minCorner = lo;
    mesh->maxCorner = hi;

    const int vcount = static_cast<int>(mesh->vertices.size());
    const int icount = static_cast<int>(mesh->indices.size());
    auto vb = CreateVertexBuffer(core, vcount, core.GetMeshDecl(), sizeof(MeshVertex), false);
    auto ib = vb ? CreateIndexBuffer(core, icount, false, vb) : nullptr;
    if (!ib || !vb->Fill(mesh->vertices.data(), vcount) || ib->Append(mesh->indices, icount / 3) < 0)
        return fail("buffers could not be made");
    mesh->gpu = ib;
    return mesh;
}

namespace {
}  // namespace

bool GfxEngine::LoadMeshModel(const std::string& path, int tag) {
    if (!m_core || !m_stateMan) return false;
    if (m_stateMan->Models().count(tag)) return true;
    std::shared_ptr<Mesh> mesh = m_core->CreateMesh(path);
    if (!mesh) return false;  // a model without its mesh is never registered
    // The initial box scaled by half the extent: corners at a quarter of it.
    BoundingBox box;
    box.Scale((mesh->maxCorner - mesh->minCorner) * 0.5f);
    return m_stateMan->LoadModelMesh(tag, box, mesh) != nullptr;
}

bool GfxEngine::LoadSkinnedModel(const std::string& path, int param, int tag) {
    if (!m_core || !m_stateMan) return false;
    if (m_stateMan->Models().count(tag)) return true;
    if (!m_skinnedLoader) return LoadMeshModel(path, tag);
    std::shared_ptr<IModel> model = m_skinnedLoader(path, param);
    if (!model) return false;
    return m_stateMan->LoadModelMeshSkinned(tag, model->box, model) != nullptr;
}

}  // namespace Gfx
