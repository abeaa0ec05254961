#include "gfx/GfxEngine.h"

#include <vector>

#include "gfx/D3D9Core.h"
#include "gfx/MeshSkinned.h"
#include "gfx/Model.h"
#include "gfx/RenderQueue.h"
#include "gfx/StateMan.h"
#include "platform/GLBuffer.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
GfxEngine* g_engine = nullptr;
}

GfxEngine::GfxEngine() { GfxLog.Log(HtmlLogger::LOG_ALLOC, "Graphics Engine Created"); }

GfxEngine::~GfxEngine() {
    // The queued objects hold effects and models: let go of them first.
    m_renderQueue.reset();
    delete m_stateMan;
    m_stateMan = nullptr;
    if (m_core) {
        m_core->Release();
        GfxLog.Log(HtmlLogger::LOG_RELEASE, "D3D9Core class released.");
        delete m_core;
        m_core = nullptr;
    }
    GfxLog.Log(HtmlLogger::LOG_RELEASE, "Graphics Engine Destroyed");
}

GfxEngine* GfxEngine::Create() {
    if (!g_engine) g_engine = new GfxEngine();
    return g_engine;
}

GfxEngine* GfxEngine::Instance() { return g_engine; }

void GfxEngine::Release() {
    delete g_engine;
    g_engine = nullptr;
}

bool GfxEngine::Initialize(Platform::Window* window, const DisplaySettings& settings) {
    if (!m_core) m_core = new D3D9Core();
    if (!m_stateMan) m_stateMan = new StateMan(m_core);
    if (!m_skinnedLoader) m_skinnedLoader = LoadSkinnedModelFile;
    m_core->Initialize(window, settings.width, settings.height, settings.windowed, settings.fsaaSamples);
    D3D9Core* core = m_core;
    m_core->SetSceneDrawer([this, core] { GetRenderQueue().Render(core->GetDevice()); });
    return true;
}

RenderQueue& GfxEngine::GetRenderQueue() {
    if (!m_renderQueue) m_renderQueue = std::make_unique<RenderQueue>();
    return *m_renderQueue;
}

namespace {
// Whole geometry fits 16-bit indices.
constexpr long kMaxVertices = 65536;
}  // namespace

bool GfxEngine::LoadParticleBuffer(int quadCount, int tag) {
    if (!m_core || !m_stateMan) return false;
    if (m_stateMan->Models().count(tag)) return true;
    if (quadCount <= 0 || static_cast<long>(quadCount) * 4 > kMaxVertices) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "GfxEngine::LoadParticleBuffer: %i quads do not fit model %i", quadCount, tag);
        return false;
    }
    auto vb = CreateVertexBuffer(*m_core, quadCount * 4, m_core->GetParticleDecl(), sizeof(ParticleVertex), true);
    auto ib = vb ? CreateIndexBuffer(*m_core, quadCount * 6, true, vb) : nullptr;
    if (!ib) return false;
    return m_stateMan->LoadModelIV(tag, BoundingBox{}, ib, 0) != nullptr;
}

bool GfxEngine::LoadBoxModel(float tiling, int tag) {
    if (!m_core || !m_stateMan) return false;
    if (m_stateMan->Models().count(tag)) return true;
    std::vector<MeshVertex> vertices;
    std::vector<uint16_t> indices;
    BuildBoxGeometry(tiling, vertices, indices);
    auto vb = CreateVertexBuffer(*m_core, static_cast<int>(vertices.size()), m_core->GetMeshDecl(), sizeof(MeshVertex),
                                 false);
    auto ib = vb ? CreateIndexBuffer(*m_core, static_cast<int>(indices.size()), false, vb) : nullptr;
    if (!ib || !vb->Fill(vertices.data(), static_cast<int>(vertices.size())) || ib->Append(indices, 12) < 0)
        return false;
    BoundingBox box;
    box.Scale(Geometry::Vector3(10.0f, 10.0f, 10.0f));
    return m_stateMan->LoadModelIV(tag, box, ib, static_cast<int>(indices.size())) != nullptr;
}

bool GfxEngine::LoadInstanceModel(int sourceTag, int copies, int tag) {
    if (!m_core || !m_stateMan) return false;
    if (m_stateMan->Models().count(tag)) return true;
    std::shared_ptr<IModel> source;
    if (!m_stateMan->RequestModel(sourceTag, source) || !source) return false;
    const MeshVertex* vertices = nullptr;
    const uint16_t* indices = nullptr;
    int vcount = 0, icount = 0;
    if (!source->LockVertices(vertices, vcount)) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "GfxEngine::LoadInstanceModel: Could not get vertices from model %i", tag);
        return false;
    }
    if (!source->LockIndices(indices, icount)) {
        source->UnlockVertices();
        GfxLog.Log(HtmlLogger::LOG_WARNING, "GfxEngine::LoadInstanceModel: Could not get indices from model %i", tag);
        return false;
    }
    // Every copy's vertices must stay reachable by 16-bit indices.
    if (copies <= 0 || static_cast<long>(vcount) * copies > kMaxVertices) {
        source->UnlockIndices();
        source->UnlockVertices();
        GfxLog.Log(HtmlLogger::LOG_WARNING, "GfxEngine::LoadInstanceModel: %i copies of model %i do not fit model %i",
                   copies, sourceTag, tag);
        return false;
    }
    std::vector<InstanceVertex> iv;
    std::vector<uint16_t> ii;
    BuildInstanceGeometry(vertices, vcount, indices, icount, copies, iv, ii);
    source->UnlockIndices();
    source->UnlockVertices();
    auto vb = CreateVertexBuffer(*m_core, static_cast<int>(iv.size()), m_core->GetInstanceDecl(),
                                 sizeof(InstanceVertex), false);
    auto ib = vb ? CreateIndexBuffer(*m_core, static_cast<int>(ii.size()), false, vb) : nullptr;
    if (!ib || !vb->Fill(iv.data(), static_cast<int>(iv.size()))) return false;
    // Writes every copy; a plain draw draws the first copy only.
    if (!ib->buffer->Update(0, ii.data(), ii.size() * 2u)) return false;
    ib->indexCount = static_cast<int>(ii.size());
    vb->primitiveCount = icount / 3;
    return m_stateMan->LoadModelIV(tag, BoundingBox{}, ib, icount) != nullptr;
}

bool GfxEngine::IsPixelShader20Supported() const { return m_core && m_core->IsPixelShader20Supported(); }

void GfxEngine::WorldToScreen(const Geometry::Vector3& world, Geometry::Vector2& screen, bool* inFront) const {
    WorldToScreen(m_viewProjection, world, screen, inFront);
}

void GfxEngine::WorldToScreen(const Geometry::Matrix4x4& vp, const Geometry::Vector3& world, Geometry::Vector2& screen,
                              bool* inFront) {
    Geometry::Vector4 p = vp * Geometry::Vector4(world, 1.0f);
    if (inFront) *inFront = p.w > 0.0f;
    // A point on the camera plane has no projection; it is placed at the
    // centre rather than at infinity.
    if (p.w == 0.0f) {
        screen = Geometry::Vector2(0.5f, 0.5f);
        return;
    }
    p = p.Scale(1.0f / p.w);
    screen.x = (p.x + 1.0f) * 0.5f;
    screen.y = (1.0f - p.y) * 0.5f;
}

}  // namespace Gfx
