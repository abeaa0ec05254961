#include "gfx/DrawScreen.h"
#include "gfx/ParticleMan.h"

#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawObjActor.h"
#include "gfx/DrawObjActorAnimated.h"
#include "gfx/DrawObjSkyBox.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/RenderQueue.h"
#include "gfx/Resources.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "gfx/TextMan.h"
#include "utility/HtmlLogger.h"
#include "utility/Profiler.h"

namespace Gfx {

namespace {
DrawScreen* g_drawScreen = nullptr;
}

DrawScreen::DrawScreen() = default;
DrawScreen::~DrawScreen() = default;

DrawScreen* DrawScreen::Create() {
    if (!g_drawScreen) {
        g_drawScreen = new DrawScreen();
        GfxLog.Log(HtmlLogger::LOG_ALLOC, "Draw Screen Created");
    }
    return g_drawScreen;
}

DrawScreen* DrawScreen::Instance() { return g_drawScreen; }

void DrawScreen::Destroy() {
    if (!g_drawScreen) return;
    // Entries culled but not drawn would keep objects of this scene alive.
    g_drawScreen->GetRenderQueue().Clear();
    g_drawScreen->GetRenderQueue().SetBucketHook(nullptr);
    g_drawScreen->m_cameraMan.reset();
    g_drawScreen->m_spatial.reset();
    GfxLog.Log(HtmlLogger::LOG_ALLOC, "Draw Screen Destroyed");
    delete g_drawScreen;
    g_drawScreen = nullptr;
}

void DrawScreen::Initialize(const std::string& particleConfig) {
    m_seconds = 0.0f;
    m_spatial = std::make_unique<Spatial>(particleConfig);
    m_cameraMan = std::make_unique<CameraMan>();
    // The screen text is drawn in its own bucket, between the overlay
    // particles and the cursor.
    GetRenderQueue().SetBucketHook([](int bucket) {
        DrawScreen* ds = DrawScreen::Instance();
        if (bucket == RenderQueue::kText && ds && ds->GetSpatial() && ds->GetSpatial()->GetTextMan())
            ds->GetSpatial()->GetTextMan()->Render();
        // The particle systems join the translucent bucket (and the overlay one) as it is set up.
        if (bucket == RenderQueue::kTranslucent && ds && ds->GetSpatial() && ds->GetSpatial()->GetParticleMan())
            ds->GetSpatial()->GetParticleMan()->Submit();
    });
}

RenderQueue& DrawScreen::GetRenderQueue() {
    if (GfxEngine* e = GfxEngine::Instance()) return e->GetRenderQueue();
    if (!m_ownQueue) m_ownQueue = std::make_unique<RenderQueue>();
    return *m_ownQueue;
}

void DrawScreen::Update(unsigned ms) {
    GfxEngine* engine = GfxEngine::Instance();
    if (engine && engine->GetCore() && engine->GetCore()->IsDeviceLost()) return;
    ProfileSection section("GFX_UPDATE");
    std::shared_ptr<Camera> cam = GetActiveCamera();
    if (cam) {
        cam->Update(ms);
        if (engine) {
            CameraParams params;
            params.view = cam->GetView();
            params.projection = cam->GetFrustum() ? cam->GetFrustum()->projection : Geometry::Matrix4x4();
            params.viewProjection = cam->GetViewProjection();
            params.billboard = cam->GetBillboard();
            params.eye = cam->GetEye();
            params.up = cam->GetUp();
            params.side = cam->GetSide();
            engine->SetCameraParams(params);
        }
    }
    const float dt = static_cast<float>(ms) / 1000.0f;
    m_seconds += dt;
    const bool paused = m_pausedQuery && m_pausedQuery();
    if (m_spatial) {
        m_spatial->Update(dt, !paused);
        // Without an active camera there is nothing to see through.
        if (cam) m_spatial->Cull(*cam, GetRenderQueue(), m_frame);
    }
    ++m_frame;
}

int DrawScreen::AddParticleEffect(int effectTag, const Geometry::Vector3& position, const Geometry::Vector3& direction,
                                  const Geometry::Quaternion& orientation, bool overlay) {
    ParticleMan* pm = m_spatial ? m_spatial->GetParticleMan() : nullptr;
    return pm ? pm->AddParticleEffect(effectTag, position, direction, orientation, overlay) : -1;
}

std::shared_ptr<Camera> DrawScreen::GetActiveCamera() const {
    return m_cameraMan ? m_cameraMan->GetActiveCamera() : nullptr;
}

bool DrawScreen::SetActiveCamera(int id) { return m_cameraMan && m_cameraMan->SetActiveCamera(id); }

bool DrawScreen::SetCameraTarget(int id) {
    std::shared_ptr<IDrawObj> obj;
    if (!m_spatial || !m_spatial->GetObject(id, obj)) return false;
    std::shared_ptr<Camera> cam = GetActiveCamera();
    if (!cam) return false;
    cam->SetMode(Camera::kFollow, obj);
    return true;
}

std::shared_ptr<IDrawObj> DrawScreen::CreateObject(int id, const Geometry::Vector3& position,
                                                   const Geometry::Quaternion& orientation,
                                                   const Geometry::Vector3& scale, const GfxState& state) {
    auto obj = std::make_shared<DrawObjActor>(id, position, orientation, scale, state);
    if (m_spatial) m_spatial->AddObject(obj);
    return obj;
}

std::shared_ptr<IDrawObj> DrawScreen::CreateUIObject(int id, const Geometry::Vector3& position,
                                                     const Geometry::Vector3& scale, const GfxState& state) {
    auto obj = std::make_shared<DrawObjActor>(id, position, Geometry::Quaternion(), scale, state);
    if (m_spatial) m_spatial->AddUIObject(obj);
    return obj;
}

std::shared_ptr<IDrawObj> DrawScreen::CreateCursor(const Geometry::Vector3& position, const Geometry::Vector3& scale,
                                                   const GfxState& state) {
    auto obj = std::make_shared<DrawObjActor>(0, position, Geometry::Quaternion(), scale, state);
    if (m_spatial) m_spatial->SetCursor(obj);
    return obj;
}

std::shared_ptr<DrawObjActorAnimated> DrawScreen::CreateAnimatedObject(int id, const Geometry::Vector3& position,
                                                                    const Geometry::Quaternion& orientation,
                                                                    const Geometry::Vector3& scale,
                                                                    const GfxState& state) {
    auto obj = std::make_shared<DrawObjActorAnimated>(id, position, orientation, scale, state, m_seconds);
    if (m_spatial) m_spatial->AddAnimatedObject(obj);
    return obj;
}

std::shared_ptr<IDrawObj> DrawScreen::CreateSkyBox(const std::vector<int>& textureTags, const GfxState& state) {
    std::vector<std::shared_ptr<Texture>> faces;
    GfxEngine* engine = GfxEngine::Instance();
    StateMan* sm = engine ? engine->GetStateMan() : nullptr;
    for (int tag : textureTags) {
        std::shared_ptr<Texture> tex;
        if (!(sm && sm->RequestTexture(tag, tex)) && !faces.empty()) tex = faces.back();
        faces.push_back(tex);
    }
    auto sky = std::make_shared<DrawObjSkyBox>(state, std::move(faces));
    if (m_spatial) m_spatial->SetSkyBox(sky);
    return sky;
}

}  // namespace Gfx
