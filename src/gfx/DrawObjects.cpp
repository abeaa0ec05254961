// The draw operations of the concrete draw objects.
#include "gfx/DrawObjActor.h"
#include "gfx/DrawObjInstanced.h"
#include "gfx/DrawObjSkyBox.h"
#include "gfx/DrawScreen.h"
#include "gfx/Camera.h"
#include "gfx/Effect.h"
#include "gfx/GfxEngine.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "gfx/StateMan.h"

namespace Gfx {

namespace {
StateMan* States() {
    GfxEngine* e = GfxEngine::Instance();
    return e ? e->GetStateMan() : nullptr;
}

// Sets the object's top state and its per-object parameters; the effect
// that will draw, or null when there is none.
Effect* Prepare(StateMan* sm, IDrawObj& obj) {
    const GfxState& top = obj.TopState();
    sm->SetState(top);
    Effect* fx = top.effect.get();
    if (fx) fx->SetObjectParameters(obj.GetWorldMatrix(), obj.GetBoundingBox().radius);
    return fx;
}
}  // namespace

void DrawObjActor::Draw(Platform::GLDevice* device) {
    StateMan* sm = States();
    if (!sm) return;
    Effect* fx = Prepare(sm, *this);
    const GfxState& top = TopState();
    if (!fx || !top.model) return;
    for (unsigned p = 0; p < fx->Passes(); ++p) {
        sm->BeginPass(static_cast<int>(p));
        top.model->Draw(device);
    }
}

DrawObjSkyBox::DrawObjSkyBox(const GfxState& state, std::vector<std::shared_ptr<Texture>> faces)
    : IDrawObj(state), m_faces(std::move(faces)) {
    // The faces bring their own textures; a state without one would draw
    // with its effect's untextured variant and leave them unseen.
    if (!TopState().texture && !m_faces.empty()) TopState().texture = m_faces.front();
}

void DrawObjSkyBox::Draw(Platform::GLDevice* device) {
    if (DrawScreen* ds = DrawScreen::Instance()) {
        if (auto cam = ds->GetActiveCamera()) SetPosition(cam->GetEye());
    }
    // SetScale rescales from the model's box, so the box stays that box
    // doubled however many frames are drawn.
    SetScale(Geometry::Vector3(2.0f, 2.0f, 2.0f));
    StateMan* sm = States();
    if (!sm) return;
    Effect* fx = Prepare(sm, *this);
    const GfxState& top = TopState();
    if (!fx || !top.model) return;
    const size_t faces = std::min<size_t>(6, m_faces.size());
    for (unsigned p = 0; p < fx->Passes(); ++p) {
        sm->BeginPass(static_cast<int>(p));
        for (size_t i = 0; i < faces; ++i) {
            sm->SetTexture(m_faces[i]);
            sm->ClearDirty();
            fx->CommitChanges();
            top.model->DrawRange(static_cast<int>(6 * i), 2, device);
        }
    }
    // Ended through the state manager, not on the effect behind its back: an
    // effect's pass puts back the program it replaced, so a manager that still
    // thought the pass running would let the next object draw with none.
    sm->EndState();
}

DrawObjInstanced::DrawObjInstanced(const GfxState& state, Platform::GLDevice* device)
    : IDrawObj(0, Geometry::Vector3(0, 0, 0), Geometry::Quaternion(), Geometry::Vector3(0, 0, 0), state),
      m_device(device) {
    m_scales.reserve(kMaxInstances);
    m_positions.reserve(kMaxInstances);
    m_orientations.reserve(kMaxInstances);
    m_colours.reserve(kMaxInstances);
}

bool DrawObjInstanced::SetState(const GfxState& state) {
    const GfxState& top = TopState();
    if (m_hasState && top.effect && state.texture == top.texture && state.effect && state.effect->Tag() == top.effect->Tag() &&
        state.technique == top.technique)
        return false;
    const bool drew = m_count > 0;
    if (drew) Draw(m_device);
    GfxState copy = state;
    // Every instance is a copy of the instance model, whatever its own state
    // names. Without that model the batch draws nothing: drawing count copies
    // of an ordinary model would read indices past the end of its buffer.
    std::shared_ptr<IModel> model;
    StateMan* sm = States();
    if (!(sm && sm->RequestModel(kInstanceModelTag, model))) model.reset();
    copy.model = model;
    TopState() = copy;
    m_hasState = true;
    return drew;
}

bool DrawObjInstanced::AddInstance(const Geometry::Vector3& scale, const Geometry::Vector3& position,
                                   const Geometry::Quaternion& q, const Geometry::Vector3& colour, float alpha) {
    m_scales.emplace_back(scale, 0.0f);
    m_positions.emplace_back(position, 0.0f);
    m_orientations.emplace_back(q.w, q.x, q.y, q.z);
    m_colours.emplace_back(colour, alpha);
    if (++m_count >= kMaxInstances) {
        Draw(m_device);
        return true;
    }
    return false;
}

void DrawObjInstanced::Draw(Platform::GLDevice* device) {
    if (m_count == 0) return;
    StateMan* sm = States();
    Effect* fx = sm ? Prepare(sm, *this) : nullptr;
    const GfxState& top = TopState();
    if (fx && top.model) {
        fx->SetVectorArray("PositionArray", m_positions.data(), m_count);
        fx->SetVectorArray("ScaleArray", m_scales.data(), m_count);
        fx->SetVectorArray("OrientationArray", m_orientations.data(), m_count);
        fx->SetVectorArray("ColorArray", m_colours.data(), m_count);
        const int prims = top.model->GetIndexCount() * m_count / 3;
        for (unsigned p = 0; p < fx->Passes(); ++p) {
            sm->BeginPass(static_cast<int>(p));
            top.model->DrawRange(0, prims, device);
        }
    }
    ++m_batchesDrawn;
    m_scales.clear();
    m_positions.clear();
    m_orientations.clear();
    m_colours.clear();
    m_count = 0;
}

}  // namespace Gfx
