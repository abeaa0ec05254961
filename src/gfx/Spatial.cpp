#include "gfx/Spatial.h"

#include "gfx/Camera.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawObj.h"
#include "gfx/Effect.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/ParticleMan.h"
#include "gfx/RenderQueue.h"
#include "gfx/TextMan.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kOccluderFar = 100.0f;
}  // namespace

Spatial::Spatial(const std::string& particleConfig) : m_particleMan(std::make_unique<ParticleMan>(particleConfig)) {
    CreateFrustum(kPi / 3.0f, 4.0f / 3.0f, 0.5f);
    // The text manager draws through GL: only with a device.
    GfxEngine* engine = GfxEngine::Instance();
    D3D9Core* core = engine ? engine->GetCore() : nullptr;
    if (core && core->GetDevice()) m_textMan = std::make_unique<TextMan>(core);
    GfxLog.Log(HtmlLogger::LOG_ALLOC, "Spatial class created");
}

Spatial::~Spatial() {
    m_particleMan.reset();
    m_textMan.reset();
    GfxLog.Log(HtmlLogger::LOG_ALLOC, "Spatial class destroyed");
}

void Spatial::CreateFrustum(float fov, float aspect, float nearZ) {
    m_occluder = std::make_shared<Frustum>(fov, aspect, nearZ, kOccluderFar);
}

void Spatial::AddObject(const std::shared_ptr<IDrawObj>& obj) {
    if (obj) m_world[obj->GetId()] = obj;
}

void Spatial::AddAnimatedObject(const std::shared_ptr<IDrawObj>& obj) {
    if (!obj) return;
    m_world[obj->GetId()] = obj;
    m_animated[obj->GetId()] = obj;
}

void Spatial::AddUIObject(const std::shared_ptr<IDrawObj>& obj) {
    if (obj) m_ui[obj->GetId()] = obj;
}

bool Spatial::GetObject(int id, std::shared_ptr<IDrawObj>& out) const {
    auto it = m_world.find(id);
    if (it == m_world.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "Spatial::GetObject: Cannot find object with id: %i", id);
        return false;
    }
    out = it->second;
    return true;
}

bool Spatial::GetUIObject(int id, std::shared_ptr<IDrawObj>& out) const {
    auto it = m_ui.find(id);
    if (it == m_ui.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "Spatial::GetUIObject: Cannot find UI object with id: %i", id);
        return false;
    }
    out = it->second;
    return true;
}

bool Spatial::DestroyObject(int id) {
    m_animated.erase(id);
    if (m_world.erase(id) == 0) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "Spatial::DestroyObject: Could not find object with id: %i", id);
        return false;
    }
    return true;
}

bool Spatial::DestroyUIObject(int id) {
    if (m_ui.erase(id) == 0) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "Spatial::DestroyUIObject: Could not find ui object with id: %i", id);
        return false;
    }
    return true;
}

bool Spatial::SetObjectPosition(int id, const Geometry::Vector3& p) {
    std::shared_ptr<IDrawObj> obj;
    if (!GetObject(id, obj)) return false;
    obj->SetPosition(p);
    return true;
}

bool Spatial::SetObjectOrientation(int id, const Geometry::Quaternion& q) {
    std::shared_ptr<IDrawObj> obj;
    if (!GetObject(id, obj)) return false;
    obj->SetOrientation(q);
    return true;
}

bool Spatial::SetUIObjectTransform(int id, const Geometry::Vector3& position, const Geometry::Vector3& scale) {
    std::shared_ptr<IDrawObj> obj;
    if (!GetUIObject(id, obj)) return false;
    obj->SetPosition(position);
    obj->SetOrientation(Geometry::Quaternion());
    obj->SetScale(scale);
    return true;
}

void Spatial::Clear() {
    m_world.clear();
    m_animated.clear();
    m_ui.clear();
    m_cursor.reset();
    m_skyBox.reset();
}

void Spatial::Update(float dt, bool notPaused) {
    // Paused effects stand still but are still drawn.
    if (notPaused && m_particleMan) m_particleMan->Update(dt);
    for (auto& kv : m_animated) kv.second->AdvanceTime(dt);
}

void Spatial::Cull(const Camera& camera, RenderQueue& queue, int frame) {
    const bool follow = camera.GetMode() == Camera::kFollow && m_occluder;
    const Geometry::Vector3 eye = camera.GetEye();
    const Geometry::Vector3 lookAt = camera.GetLookAt();
    if (follow) {
        m_occluder->BuildPlanes(lookAt, -camera.GetBack(), -camera.GetSide(), camera.GetUp(), m_occluder->nearZ,
                                camera.GetDistance(), m_occluder->aspect);
    }
    queue.SetViewPoint(eye, lookAt - eye);
    const float targetDist2 = (lookAt - eye).LengthSquared();
    const Frustum* frustum = camera.GetFrustum().get();
    for (auto& kv : m_world) {
        IDrawObj& obj = *kv.second;
        const GfxState& top = obj.TopState();
        if (top.alpha < kInvisibleAlpha) continue;
        const float r = obj.GetBoundingBox().radius;
        if (frustum && frustum->TestSphere(obj.GetPosition(), r) == Frustum::kOutside) continue;
        obj.MarkVisible(frame);
        if (follow && !(top.flags & kStateOpaqueOccluder) &&
            m_occluder->TestSphere(obj.GetPosition(), r) != Frustum::kOutside &&
            targetDist2 > (obj.GetPosition() - eye).LengthSquared()) {
            GfxState faded;
            faded.alpha = kSeeThroughAlpha;
            obj.PushState(faded);
            queue.Submit(RenderQueue::kSeeThrough, kv.second);
            continue;
        }
        if (top.alpha < 1.0f) {
            const bool blended = top.effect && top.effect->Tag() == kBlendedEffectTag;
            queue.Submit(blended ? RenderQueue::kBlended : RenderQueue::kTranslucent, kv.second);
        } else {
            queue.Submit(RenderQueue::kOpaque, kv.second);
        }
    }
    for (auto& kv : m_ui)
        if (kv.second->TopState().alpha >= kInvisibleAlpha) queue.Submit(RenderQueue::kUI, kv.second);
    if (m_skyBox) queue.Submit(RenderQueue::kSky, m_skyBox);
    if (m_cursor) queue.Submit(RenderQueue::kCursor, m_cursor);
}

}  // namespace Gfx
