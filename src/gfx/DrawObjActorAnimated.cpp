#include "gfx/DrawObjActorAnimated.h"

#include "gfx/Effect.h"
#include "gfx/GfxEngine.h"
#include "gfx/MeshSkinned.h"
#include "gfx/StateMan.h"

namespace Gfx {

DrawObjActorAnimated::DrawObjActorAnimated(int id, const Geometry::Vector3& position,
                                           const Geometry::Quaternion& orientation, const Geometry::Vector3& scale,
                                           const GfxState& state, float startSeconds)
    : IDrawObj(id, position, orientation, scale, state), m_previousTime(startSeconds), m_time(startSeconds) {
    if (auto* skinned = dynamic_cast<ModelMeshSkinned*>(state.model.get())) m_mesh = skinned->GetMesh();
    if (!m_mesh) return;
    m_animation = &m_mesh->Animation();
    int index = -1;
    if (!m_animation->Clone(index)) return;
    m_controllerIndex = index;
    m_animation->AdvanceTime(m_controllerIndex, startSeconds);
}

void DrawObjActorAnimated::AdvanceTime(float seconds) {
    m_previousTime = m_time;
    m_time += seconds;
}

void DrawObjActorAnimated::SetAnimation(int animation, float weight, float speed) {
    if (m_controllerIndex < 0) return;
    m_animation->SetRequest(m_controllerIndex, {0, animation, weight, speed});
}

void DrawObjActorAnimated::PlayAnimation(int animation, float speed, float weight, bool loop) {
    if (m_controllerIndex < 0) return;
    m_animation->PlayAnimation(m_controllerIndex, 0, animation, speed, weight, loop, false);
}

void DrawObjActorAnimated::SetCallback(BoneCallback callback) { m_callbacks[1] = std::move(callback); }

void DrawObjActorAnimated::Draw(Platform::GLDevice* device) {
    (void)device;
    if (m_controllerIndex < 0) return;
    m_animation->AdvanceTime(m_controllerIndex, static_cast<double>(m_time - m_previousTime));
    if (m_animation->IsFinished(m_controllerIndex)) return;
    m_mesh->UpdateFrames(GetWorldMatrix());
    GfxEngine* engine = GfxEngine::Instance();
    StateMan* sm = engine ? engine->GetStateMan() : nullptr;
    if (!sm) return;
    const GfxState& top = TopState();
    sm->SetState(top);
    Effect* fx = top.effect.get();
    if (!fx) return;
    fx->SetObjectParameters(GetWorldMatrix(), GetBoundingBox().radius);
    const auto& containers = m_mesh->Containers();
    for (size_t i = 0; i < containers.size(); ++i) {
        const SkinnedMeshContainer& c = containers[i];
        const int influences = c.maxFaceInfluences - 2;
        fx->SetValue("NumInfluences", &influences, sizeof influences);
        for (size_t j = 0; j < c.combinations.size(); ++j) {
            const auto& palette = m_mesh->BuildBonePalette(static_cast<int>(j), static_cast<int>(i));
            for (const auto& cb : m_callbacks) {
                if (cb.first >= 0 && static_cast<size_t>(cb.first) < palette.size() && cb.second) {
                    cb.second(palette[static_cast<size_t>(cb.first)]);
                }
            }
            fx->SetMatrixArray("BonePalette", palette.data(), c.paletteSize);
            for (unsigned p = 0; p < fx->Passes(); ++p) {
                sm->BeginPass(static_cast<int>(p));
                fx->CommitChanges();  // the palette changed inside the running pass
                m_mesh->DrawSubset(static_cast<int>(i), static_cast<int>(j));
            }
        }
    }
}

}  // namespace Gfx
