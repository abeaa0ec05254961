#include "gfx/ParticleSystem.h"

#include <cmath>

#include "gfx/Camera.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawScreen.h"
#include "gfx/Effect.h"
#include "gfx/GfxEngine.h"
#include "gfx/Model.h"
#include "gfx/ParticleMan.h"
#include "gfx/RenderQueue.h"
#include "gfx/Resources.h"
#include "gfx/StateMan.h"
#include "gfx/VertexDecls.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
using Geometry::Vector2;
using Geometry::Vector3;
using Geometry::Vector4;

constexpr float kTwoPi = 6.28318530718f;

Vector4 Scaled(const Vector4& v, float s) { return {v.x * s, v.y * s, v.z * s, v.w * s}; }

struct Corner {
    float x, y, u, v;
};
constexpr Corner kCorners[4] = {{-0.1f, 0.1f, 0, 0}, {0.1f, 0.1f, 1, 0}, {-0.1f, -0.1f, 0, 1}, {0.1f, -0.1f, 1, 1}};

Geometry::Matrix3x3 RotationFromTo(const Vector3& base, const Vector3& axis) {
    return Geometry::Quaternion::FromTo(base, axis).SafeToMatrix3x3();
}
}  // namespace

ParticleSystemData::ParticleSystemData() : random(std::make_shared<Utility::Random<float>>(7)) {}

float ParticleSystemData::Between(float a, float b) const {
    if (!(a < b) || !random) return a;
    return random->Get(a, b);
}

// ---------------------------------------------------------------- systems

ParticleSystem::ParticleSystem(const ParticleSystemData& data, ParticleMan* man)
    : m_origin(data.center), m_data(data), m_man(man) {
    m_drawObj = std::make_shared<DrawObjPSys>(m_data.state, &m_particles);
    m_drawObj->billboarded = m_data.billboarded;
    m_drawObj->blendMode = m_data.blendMode;
}

ParticleSystem::~ParticleSystem() {
    // Particles still alive go back to the pool, so a removed effect leaves
    // nothing allocated behind.
    if (m_man)
        for (auto& p : m_particles) m_man->ReturnParticle(p);
    m_particles.clear();
}

bool ParticleSystem::Finished() const {
    return m_spawned >= m_data.numParticles && m_particles.empty() && m_data.spawnMethod != ParticleSystemData::kPermanent;
}

void ParticleSystem::Spawn(float dt) {
    int count = 0;
    if (m_data.spawnMethod == ParticleSystemData::kOnce) {
        count = m_data.numParticles;
    } else if (m_data.spawnMethod == ParticleSystemData::kContinuous ||
               m_data.spawnMethod == ParticleSystemData::kPermanent) {
        // The remainder is a fraction of a particle: added after the rate is
        // applied, so the rate holds from the first frame.
        const float d = m_remainder + dt * m_data.spawnRate;
        count = d > 0.0f && std::isfinite(d) ? static_cast<int>(d) : 0;
        m_remainder = d > 0.0f && std::isfinite(d) ? d - static_cast<float>(count) : 0.0f;
    }
    // Never more than the definition keeps alive.
    if (count > m_data.numParticles - m_spawned) count = m_data.numParticles - m_spawned;
    if (count <= 0) return;
    for (int i = 0; i < count; ++i) {
        std::shared_ptr<Particle> p = m_man ? m_man->TakeParticle() : std::make_shared<Particle>();
        SpawnParticle(*p);
        m_particles.push_back(std::move(p));
    }
    m_spawned += count;
}

void ParticleSystem::SpawnParticle(Particle& p) {
    InitParticle(p, m_data);
    Emit(p);
    if (p.direction.LengthSquared() > 0.0f) p.direction.Normalize();
    p.id = m_nextId++;
}

void ParticleSystem::InitParticle(Particle& p, const ParticleSystemData& d) {
    p.life = d.Between(d.minLife, d.maxLife);
    p.color.x = d.Between(d.minColor.x, d.maxColor.x);
    p.color.y = d.Between(d.minColor.y, d.maxColor.y);
    p.color.z = d.Between(d.minColor.z, d.maxColor.z);
    p.color.w = d.Between(d.minColor.w, d.maxColor.w);
    p.scale = d.startScale;
    p.speed = d.Between(d.minSpeed, d.maxSpeed);
    p.rotSpeed = d.Between(d.minRotSpeed, d.maxRotSpeed);
    p.angle = d.Between(d.minAngle, d.maxAngle);
    p.permanent = d.permanentParticles;
    if (p.permanent) return;
    // A particle without a lifetime dies at its first update: nothing to
    // change towards (and no division by zero).
    if (!(p.life > 0.0f)) return;
    const float k = 1.0f / p.life;
    p.rotSpeedChange = (d.endRotSpeed - p.rotSpeed) * k;
    p.speedChange = (d.endSpeed - p.speed) * k;
    p.colorChange = Scaled(d.endColor - p.color, k);
    p.scaleChange = (d.endScale - p.scale) * k;
}

float ParticleSystem::Update(float dt, const Vector3& move) {
    if (m_spawned < m_data.numParticles) Spawn(dt);
    const Vector3 shift = m_data.followSystem ? Vector3() : move;
    float maxSq = 0.0f;
    for (auto it = m_particles.begin(); it != m_particles.end();) {
        Particle& p = **it;
        if (p.age >= p.life && !p.permanent) {
            if (m_data.spawnMethod == ParticleSystemData::kPermanent) --m_spawned;
            if (m_man) m_man->ReturnParticle(*it);
            it = m_particles.erase(it);
            continue;
        }
        p.speed += p.speedChange * dt;
        p.position += p.direction * (p.speed * dt) - shift;
        p.rotSpeed += p.rotSpeedChange * dt;
        p.angle += p.rotSpeed * dt;
        p.scale = p.scale + p.scaleChange * dt;
        p.color = p.color + Scaled(p.colorChange, dt);
        maxSq = std::max(maxSq, p.position.LengthSquared());
        p.age += dt;
        ++it;
    }
    return maxSq;
}

void ParticleSystem::Submit(const Vector3& effectPosition) {
    const Vector3 worldOrigin = effectPosition + m_origin;
    DrawScreen* ds = DrawScreen::Instance();
    std::shared_ptr<Camera> cam = ds ? ds->GetActiveCamera() : nullptr;
    if (cam && m_data.blendMode == ParticleSystemData::kModulate && m_particles.size() > 1) {
        // A few bubble passes a frame: nearer particles drift to the front.
        const Vector3 eye = cam->GetEye();
        const Vector3 view = -cam->GetBack();
        const size_t n = m_particles.size();
        for (size_t pass = 0; pass < 3 && pass + 1 < n; ++pass) {
            bool swapped = false;
            auto a = m_particles.begin();
            for (size_t i = 0; i + 1 + pass < n; ++i) {
                auto b = std::next(a);
                const float da = view.Dot(worldOrigin + (*a)->position - eye);
                const float db = view.Dot(worldOrigin + (*b)->position - eye);
                if (da > db) {
                    std::swap(*a, *b);
                    swapped = true;
                }
                a = b;
            }
            if (!swapped) break;
        }
    }
    m_drawObj->SetPosition(worldOrigin);
    const ParticleMan* man = m_man;
    if (man && !man->LodLevels().empty())
        m_drawObj->level = man->GetLodLevel(cam ? (cam->GetEye() - worldOrigin).Length() : 0.0f);
    m_drawObj->overlay = m_overlay;
    m_drawObj->blendMode = m_data.blendMode;
    GfxEngine* engine = GfxEngine::Instance();
    const GfxState& st = m_drawObj->TopState();
    if (!engine || !st.effect || !st.model) return;
    engine->GetRenderQueue().Submit(m_overlay ? RenderQueue::kOverlay : RenderQueue::kTranslucent, m_drawObj);
}

// Particle positions are in the system's space: the draw object stands at
// the effect's position plus the origin, so emitters place around zero.
void ParticleSystemPoint::Emit(Particle& p) {
    p.position = Vector3();
    p.direction = Vector3(m_data.Between(-1, 1), m_data.Between(-1, 1), m_data.Between(-1, 1));
}

ParticleSystemField::ParticleSystemField(const ParticleSystemData& data, ParticleMan* man)
    : ParticleSystem(data, man), m_fieldType(data.fieldType), m_extent(data.radius) {}

void ParticleSystemField::Emit(Particle& p) {
    p.position = Vector3();
    float* c[3] = {&p.position.x, &p.position.y, &p.position.z};
    for (int i = 0; i < m_fieldType && i < 3; ++i) *c[i] = m_data.Between(-m_extent, m_extent);
    p.direction = Vector3();
}

ParticleSystemCone::ParticleSystemCone(const ParticleSystemData& data, ParticleMan* man, const Vector3& axis)
    : ParticleSystem(data, man), m_rotation(RotationFromTo(Vector3(1, 0, 0), axis)), m_opening(data.innerAngle),
      m_axis(axis) {}

void ParticleSystemCone::Emit(Particle& p) {
    const float t1 = m_opening > 0.0f ? m_data.Between(0.0f, m_opening) : 0.0f;
    const float t2 = m_opening > 0.0f ? m_data.Between(0.0f, m_opening) : 0.0f;
    const float h = m_opening / 2.0f;
    const Vector3 local(std::cos(t1 - h), std::sin(t1 - h), std::sin(t2 - h));
    p.direction = m_rotation * local;
    p.position = Vector3();
}

ParticleSystemCircle::ParticleSystemCircle(const ParticleSystemData& data, ParticleMan* man, const Vector3& axis)
    : ParticleSystem(data, man), m_rotation(RotationFromTo(Vector3(0, 0, 1), axis)), m_evenSpaced(data.evenSpaced),
      m_tilt(data.innerAngle), m_radius(data.radius), m_axis(axis.LengthSquared() > 0.0f ? axis.Normalized() : Vector3(0, 0, 1)) {}

void ParticleSystemCircle::Emit(Particle& p) {
    float a = 0.0f;
    if (m_evenSpaced) {
        a = m_data.numParticles > 0 ? static_cast<float>(m_counter) * kTwoPi / static_cast<float>(m_data.numParticles)
                                    : 0.0f;
        ++m_counter;
    } else {
        a = m_data.Between(0.0f, kTwoPi);  // a full turn (not 6.14)
    }
    p.position = m_rotation * Vector3(m_radius * std::cos(a), m_radius * std::sin(a), 0.0f);
    p.direction = std::cos(m_tilt) * p.position + std::sin(m_tilt) * m_axis;
}

// ---------------------------------------------------------------- drawing

DrawObjPSys::DrawObjPSys(const GfxState& state, const std::list<std::shared_ptr<Particle>>* particles)
    : IDrawObj(0, Vector3(), Geometry::Quaternion(), Vector3(1, 1, 1), state), m_particles(particles) {}

bool DrawObjPSys::FillVertices() {
    primitiveCount = 0;
    if (!m_particles || m_particles->empty()) return false;
    auto* model = dynamic_cast<ModelIVBuffer*>(TopState().model.get());
    const std::shared_ptr<IndexBuffer> ib = model ? model->Indices() : nullptr;
    const std::shared_ptr<VertexBuffer> vb = ib ? ib->vertices : nullptr;
    // The quads must fit the buffer (and 16-bit indices); the rest waits.
    const int maxQuads = vb ? std::min(vb->capacity / 4, 16383) : ParticleMan::kMaxQuadsPerSystem;
    vertices.clear();
    indices.clear();
    const int every = level.drawEvery >= 1 ? level.drawEvery : 1;
    const float levelScale = overlay ? 1.0f : static_cast<float>(level.scale);
    int q = 0;
    for (const auto& pp : *m_particles) {
        if (q / 4 >= maxQuads) break;
        const Particle& p = *pp;
        if (!overlay && p.id % every != 0) continue;
        const float ca = std::cos(p.angle), sa = std::sin(p.angle);
        for (const Corner& c : kCorners) {
            ParticleVertex v{};
            v.position[0] = c.x;
            v.position[1] = c.y;
            v.color[0] = p.color.x;
            v.color[1] = p.color.y;
            v.color[2] = p.color.z;
            v.color[3] = p.color.w;
            v.tex0[0] = c.u;
            v.tex0[1] = c.v;
            v.tex1[0] = ca;
            v.tex1[1] = sa;
            v.tex2[0] = p.position.x;
            v.tex2[1] = p.position.y;
            v.tex2[2] = p.position.z;
            v.tex3[0] = p.scale.x * levelScale;
            v.tex3[1] = p.scale.y * levelScale;
            vertices.push_back(v);
        }
        const uint16_t b = static_cast<uint16_t>(q);
        for (uint16_t k : {uint16_t(0), uint16_t(2), uint16_t(1), uint16_t(1), uint16_t(2), uint16_t(3)})
            indices.push_back(static_cast<uint16_t>(b + k));
        q += 4;
        primitiveCount += 2;
    }
    if (primitiveCount == 0) return false;
    if (!vb || !ib) return true;  // no device: the quads are made, nothing to upload
    const int vstart = vb->Append(vertices.data(), primitiveCount);
    if (vstart < 0) return false;
    ib->baseVertex = static_cast<uint16_t>(vstart * 2);
    const int istart = ib->Append(indices, primitiveCount);
    if (istart < 0) return false;
    startIndex = istart;
    return true;
}

void DrawObjPSys::Draw(Platform::GLDevice* device) {
    GfxEngine* engine = GfxEngine::Instance();
    StateMan* sm = engine ? engine->GetStateMan() : nullptr;
    const GfxState& top = TopState();
    if (!sm || !top.effect || !top.model) return;
    if (!FillVertices()) return;
    std::string technique = top.technique;
    // Overlay quads are placed in fractions of the screen over the HUD, not
    // through the camera, so they take the effect's screen-space variant.
    if (overlay) technique += "_Overlay";
    if (blendMode == ParticleSystemData::kAdd) technique += "_BlendAdd";
    else if (blendMode == ParticleSystemData::kModulate) technique += "_BlendModulate";
    sm->SetStateWithTechnique(top, technique);
    top.effect->SetObjectParameters(GetWorldMatrix(), GetBoundingBox().radius);
    if (overlay) {
        // Width over height keeps the quads square on any window shape.
        const D3D9Core* core = engine->GetCore();
        const PresentParams pp = core ? core->GetPresentParams() : PresentParams{};
        const float aspect = pp.backBufferWidth > 0 && pp.backBufferHeight > 0
                                 ? static_cast<float>(pp.backBufferWidth) / static_cast<float>(pp.backBufferHeight)
                                 : 4.0f / 3.0f;
        top.effect->SetValue("ScreenAspect", &aspect, sizeof aspect);
    }
    for (unsigned p = 0; p < top.effect->Passes(); ++p) {
        sm->BeginPass(static_cast<int>(p));
        top.model->DrawRange(startIndex * 3, primitiveCount, device);
    }
}

}  // namespace Gfx
