#include "gfx/StateMan.h"

#include "gfx/Effect.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "platform/GLTexture.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

StateMan::StateMan(D3D9Core* core) : m_core(core) {
    if (m_core && m_core->GetEffectPool()) {
        m_poolInUse = m_core->GetEffectPool();
    } else {
        m_ownPool = std::make_unique<EffectPool>();
        m_poolInUse = m_ownPool.get();
    }
    GfxLog.Log(HtmlLogger::LOG_ALLOC, "StateMan class created.");
    if (m_core) m_core->AddDeviceListener(this);
}

StateMan::~StateMan() {
    if (m_core) m_core->RemoveDeviceListener(this);
    GfxLog.Log(HtmlLogger::LOG_RELEASE, "StateMan class destroyed.");
    GfxLog.Log(HtmlLogger::LOG_RELEASE, "StateMan performed %i BeginStates and %i CommitChanges.", m_beginCount,
               m_commitCount);
    if (m_current.effect) m_current.effect->End();
}

std::shared_ptr<Effect> StateMan::LoadEffect(int tag, const std::string& path) {
    auto it = m_effects.find(tag);
    if (it != m_effects.end()) return it->second;
    std::shared_ptr<Effect> effect = m_core ? m_core->CreateEffect(path, tag) : nullptr;
    m_effects[tag] = effect;
    GfxLog.Log(HtmlLogger::LOG_INFO, "StateMan::LoadEffect: Effect %i loaded from %s", tag, path.c_str());
    return effect;
}

std::shared_ptr<Texture> StateMan::LoadTexture(int tag, const std::string& path) {
    auto it = m_textures.find(tag);
    if (it != m_textures.end()) return it->second;
    std::shared_ptr<Texture> texture;
    if (m_core) {
        if (auto gl = m_core->CreateTexture(path, tag)) {
            texture = std::make_shared<Texture>();
            texture->tag = tag;
            texture->texture = gl;
        }
    }
    m_textures[tag] = texture;
    GfxLog.Log(HtmlLogger::LOG_INFO, "StateMan::LoadTexture: Texture %i loaded from %s", tag, path.c_str());
    return texture;
}

std::shared_ptr<Material> StateMan::LoadMaterial(int tag, const Geometry::Vector3& specular,
                                                 const Geometry::Vector3& emissive, const Geometry::Vector3& diffuse,
                                                 float power) {
    auto it = m_materials.find(tag);
    if (it != m_materials.end()) return it->second;
    auto m = std::make_shared<Material>();
    m->specular = specular;
    m->emissive = emissive;
    m->diffuse = diffuse;
    m->power = power;
    m->tag = tag;
    m_materials[tag] = m;
    GfxLog.Log(HtmlLogger::LOG_INFO, "StateMan::LoadMaterial: Material %i loaded", tag);
    return m;
}

namespace {
std::shared_ptr<IModel> Store(std::map<int, std::shared_ptr<IModel>>& models, int tag, std::shared_ptr<IModel> model,
                              const char* message) {
    auto it = models.find(tag);
    if (it != models.end()) return it->second;
    if (!model) return nullptr;  // a model without geometry is never registered
    model->tag = tag;
    models[tag] = model;
    GfxLog.Log(HtmlLogger::LOG_INFO, message, tag);
    return model;
}
}  // namespace

std::shared_ptr<IModel> StateMan::LoadModel(int tag, std::shared_ptr<IModel> model) {
    return Store(m_models, tag, std::move(model), "StateMan::LoadModel: Model %i loaded");
}

std::shared_ptr<IModel> StateMan::LoadModelMesh(int tag, const BoundingBox& box, std::shared_ptr<Mesh> mesh) {
    if (m_models.count(tag)) return m_models[tag];
    if (!mesh) return nullptr;
    auto model = std::make_shared<ModelMesh>(std::move(mesh));
    model->box = box;
    return Store(m_models, tag, model, "StateMan::LoadModelMesh: Model %i loaded");
}

std::shared_ptr<IModel> StateMan::LoadModelIV(int tag, const BoundingBox& box, std::shared_ptr<IndexBuffer> buffers,
                                              int indexCount) {
    if (m_models.count(tag)) return m_models[tag];
    if (!buffers) return nullptr;
    auto model = std::make_shared<ModelIVBuffer>(std::move(buffers), indexCount);
    model->box = box;
    return Store(m_models, tag, model, "StateMan::LoadModelIV: Model %i loaded");
}

std::shared_ptr<IModel> StateMan::LoadModelMeshSkinned(int tag, const BoundingBox& box, std::shared_ptr<IModel> model) {
    if (m_models.count(tag)) return m_models[tag];
    if (!model) return nullptr;
    model->box = box;
    return Store(m_models, tag, std::move(model), "StateMan::LoadModelMeshSkinned: Model %i loaded");
}

namespace {
template <class Map, class Out>
bool Lookup(const Map& map, int tag, Out& out, const char* warning) {
    auto it = map.find(tag);
    if (it == map.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, warning, tag);
        return false;
    }
    out = it->second;
    return true;
}
}  // namespace

bool StateMan::RequestModel(int tag, std::shared_ptr<IModel>& out) const {
    return Lookup(m_models, tag, out, "StateMan::RequestModel: Model with tag %i cannot be found");
}
bool StateMan::RequestMaterial(int tag, std::shared_ptr<Material>& out) const {
    return Lookup(m_materials, tag, out, "StateMan::RequestMaterial: Material with tag %i cannot be found");
}
bool StateMan::RequestTexture(int tag, std::shared_ptr<Texture>& out) const {
    return Lookup(m_textures, tag, out, "StateMan::RequestTexture: Texture with tag %i cannot be found");
}
bool StateMan::RequestTechnique(int tag, std::string& out) const {
    return Lookup(m_techniques, tag, out, "StateMan::RequestTechnique: Technique with tag %i cannot be found");
}
bool StateMan::RequestEffect(int tag, std::shared_ptr<Effect>& out) const {
    return Lookup(m_effects, tag, out, "StateMan::RequestEffect: Effect with tag %i cannot be found");
}
bool StateMan::RequestState(int tag, GfxState& out) const {
    return Lookup(m_states, tag, out, "StateMan::RequestState: State with tag %i cannot be found");
}

void StateMan::SetState(const GfxState& state) { SetStateWithTechnique(state, state.technique); }

void StateMan::SetStateWithTechnique(const GfxState& state, std::string technique) {
    // A state without a texture draws with the technique's untextured variant.
    if (!state.texture) technique += "_NoTexture";
    const std::shared_ptr<Effect> e = state.effect ? state.effect : m_current.effect;
    if (e) SetEffect(e, technique);
    if (state.model && state.model != m_current.model) SetModel(state.model);
    if (state.material && state.material != m_current.material) SetMaterial(state.material);
    if (state.texture && state.texture != m_current.texture) SetTexture(state.texture);
    SetAlpha(state.alpha);
}

void StateMan::StartTechnique(const std::string& technique) {
    Effect& e = *m_current.effect;
    e.SetTechnique(e.GetTechniqueHandle(technique));
    e.Begin();
    m_currentTechnique = technique;
    m_currentPass = -1;
    ++m_techniqueStarts;
}

void StateMan::SetEffect(const std::shared_ptr<Effect>& effect, const std::string& technique) {
    if (!effect) return;
    if (!m_current.effect) {
        m_current.effect = effect;
        // The first effect after EndState receives the per-frame values.
        effect->SetFrameParameters();
        StartTechnique(technique);
        return;
    }
    if (m_current.effect->Tag() == effect->Tag() && m_currentTechnique == technique) return;
    m_current.effect->End();
    m_current.effect = effect;
    StartTechnique(technique);
}

void StateMan::SetModel(const std::shared_ptr<IModel>& model) {
    if (!model) return;
    if (m_current.model && m_current.model->tag == model->tag) return;
    Platform::GLDevice* device = m_core ? m_core->GetDevice() : nullptr;
    if (m_current.model) m_current.model->Unbind(device);
    m_current.model = model;
    model->Bind(device);
    ++m_modelBinds;
    m_dirty = true;
}

void StateMan::SetEffectValue(const char* name, const void* data, size_t bytes) {
    // Without a running effect the value goes to the shared pool, where the
    // next effect that shares it finds it.
    if (m_current.effect) m_current.effect->SetValue(name, data, bytes);
    else m_poolInUse->SetValue(name, data, bytes);
}

void StateMan::SetMaterial(const std::shared_ptr<Material>& material) {
    if (!material) return;
    m_current.material = material;
    m_dirty = true;
    SetEffectValue("mDiffuse", &material->diffuse, 12);
    SetEffectValue("mEmissive", &material->emissive, 12);
    SetEffectValue("mSpecular", &material->specular, 12);
    SetEffectValue("mPower", &material->power, 4);
}

void StateMan::SetTexture(const std::shared_ptr<Texture>& texture) {
    m_dirty = true;
    m_current.texture = texture;
    if (m_current.effect) m_current.effect->SetTexture("Tex", texture);
    else m_poolInUse->SetTexture("Tex", texture);
}

void StateMan::SetAlpha(float alpha) {
    m_dirty = true;
    m_current.alpha = alpha;
    SetEffectValue("mAlpha", &alpha, 4);
}

void StateMan::BeginPass(int pass) {
    if (!m_current.effect || pass < 0) return;
    Effect& e = *m_current.effect;
    if (m_currentPass == -1) {
        m_currentPass = 0;
        e.BeginPass(0);
        ++m_beginCount;
        m_dirty = false;
    } else if (pass == m_currentPass) {
        if (m_dirty) {
            m_dirty = false;
            e.CommitChanges();
            ++m_commitCount;
        }
    } else {
        m_currentPass = pass;
        e.EndPass();
        e.BeginPass(static_cast<unsigned>(pass));
        ++m_beginCount;
        m_dirty = false;
    }
}

void StateMan::EndState() {
    if (!m_current.effect) return;
    m_current.effect->End();
    m_current.effect.reset();
    m_currentTechnique.clear();
    m_currentPass = -1;
}

void StateMan::OnLostDevice() {
    for (auto& m : m_models)
        if (m.second) m.second->OnLostDevice();
}

void StateMan::OnResetDevice() {
    for (auto& m : m_models)
        if (m.second) m.second->OnResetDevice();
}

}  // namespace Gfx
