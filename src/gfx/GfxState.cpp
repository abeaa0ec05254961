#include "gfx/GfxState.h"

#include "gfx/GfxEngine.h"
#include "gfx/StateMan.h"

namespace Gfx {

void GfxState::Inherit(const GfxState& parent) {
    if (!material) material = parent.material;
    if (!model) model = parent.model;
    if (!effect) effect = parent.effect;
    if (!texture) texture = parent.texture;
    if (technique.empty()) technique = parent.technique;
    flags |= parent.flags;
}

namespace {
StateMan* Manager() {
    GfxEngine* e = GfxEngine::Instance();
    return e ? e->GetStateMan() : nullptr;
}
}  // namespace

bool GfxState::SetModelTag(int tag) {
    StateMan* sm = Manager();
    return sm && sm->RequestModel(tag, model);
}
bool GfxState::SetMaterialTag(int tag) {
    StateMan* sm = Manager();
    return sm && sm->RequestMaterial(tag, material);
}
bool GfxState::SetEffectTag(int tag) {
    StateMan* sm = Manager();
    return sm && sm->RequestEffect(tag, effect);
}
bool GfxState::SetTextureTag(int tag) {
    StateMan* sm = Manager();
    return sm && sm->RequestTexture(tag, texture);
}
bool GfxState::SetTechniqueTag(int tag) {
    StateMan* sm = Manager();
    return sm && sm->RequestTechnique(tag, technique);
}

}  // namespace Gfx
