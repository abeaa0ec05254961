// The render-state record: what one draw needs (effect, technique, model,
// material, texture, alpha, flags). Draw objects keep stacks of them, the
// state files define named ones, and views fetch copies by tag.
#pragma once

#include <memory>
#include <string>

namespace Gfx {

class Effect;
class IModel;
struct Material;
struct Texture;

// Bits of GfxState::flags that the engine reads.
enum GfxStateFlags : int {
    kStateOpaqueOccluder = 1,  // stays opaque between the follow camera and its target
    kStateInstanced = 2,       // drawn through the instancing batch
};

struct GfxState {
    float alpha = 1.0f;
    std::shared_ptr<Texture> texture;
    std::shared_ptr<Effect> effect;
    std::shared_ptr<Material> material;
    std::shared_ptr<IModel> model;
    std::string technique;
    int flags = 0;

    // Every empty member takes the parent's; flags are or-ed; alpha stays.
    void Inherit(const GfxState& parent);

    // Replace one member from a resource tag of the engine's state manager;
    // an unknown tag (warned there) leaves the member as it was.
    bool SetModelTag(int tag);
    bool SetMaterialTag(int tag);
    bool SetEffectTag(int tag);
    bool SetTextureTag(int tag);
    bool SetTechniqueTag(int tag);
};

}  // namespace Gfx
