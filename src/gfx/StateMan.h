// Resources and named render states by integer tag, and the one binding of
// effect, technique, model, material, texture and alpha that draws go
// through: each changes only when it differs from what is bound.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "gfx/D3D9Core.h"
#include "gfx/GfxState.h"
#include "utility/Geometry.h"

namespace Gfx {

class Effect;
class EffectPool;
class IModel;
struct BoundingBox;
struct IndexBuffer;
struct Mesh;
struct Material;
struct Texture;

class StateMan : public IDeviceListener {
public:
    // core may be null (no device): resources then cannot be created.
    explicit StateMan(D3D9Core* core);
    ~StateMan() override;
    StateMan(const StateMan&) = delete;
    StateMan& operator=(const StateMan&) = delete;

    // Loading a tag that exists returns what it holds and reads nothing. A
    // failed creation is kept under its tag as an empty pointer.
    std::shared_ptr<Effect> LoadEffect(int tag, const std::string& path);
    std::shared_ptr<Texture> LoadTexture(int tag, const std::string& path);
    std::shared_ptr<Material> LoadMaterial(int tag, const Geometry::Vector3& specular,
                                           const Geometry::Vector3& emissive, const Geometry::Vector3& diffuse,
                                           float power);
    // Models made by the engine's loaders, stored under the tag with their
    // box (an existing tag keeps its model): a mesh from a file, a vertex and
    // index buffer pair (indexCount: the indices of one copy), or any other
    // kind (skinned hierarchies).
    std::shared_ptr<IModel> LoadModelMesh(int tag, const BoundingBox& box, std::shared_ptr<Mesh> mesh);
    std::shared_ptr<IModel> LoadModelIV(int tag, const BoundingBox& box, std::shared_ptr<IndexBuffer> buffers,
                                        int indexCount);
    std::shared_ptr<IModel> LoadModelMeshSkinned(int tag, const BoundingBox& box, std::shared_ptr<IModel> model);
    // Stores a made model under its tag (its tag is set here).
    std::shared_ptr<IModel> LoadModel(int tag, std::shared_ptr<IModel> model);
    void SetTechniqueName(int tag, const std::string& name) { m_techniques[tag] = name; }
    void AddState(int tag, const GfxState& state) { m_states[tag] = state; }

    // True with the resource; false (warned with kind and tag, out untouched) when missing.
    bool RequestModel(int tag, std::shared_ptr<IModel>& out) const;
    bool RequestMaterial(int tag, std::shared_ptr<Material>& out) const;
    bool RequestTexture(int tag, std::shared_ptr<Texture>& out) const;
    bool RequestTechnique(int tag, std::string& out) const;
    bool RequestEffect(int tag, std::shared_ptr<Effect>& out) const;
    bool RequestState(int tag, GfxState& out) const;

    void SetState(const GfxState& state);
    void SetStateWithTechnique(const GfxState& state, std::string technique);
    void SetEffect(const std::shared_ptr<Effect>& effect, const std::string& technique);
    void SetModel(const std::shared_ptr<IModel>& model);
    void SetMaterial(const std::shared_ptr<Material>& material);
    void SetTexture(const std::shared_ptr<Texture>& texture);
    void SetAlpha(float alpha);
    void BeginPass(int pass);
    // Ends the running effect; model, material, texture and alpha stay bound.
    void EndState();
    // Clears the changed-parameters flag (a drawer that commits by itself).
    void ClearDirty() { m_dirty = false; }

    void OnLostDevice() override;
    void OnResetDevice() override;

    EffectPool& Pool() { return *m_poolInUse; }
    const GfxState& Current() const { return m_current; }
    const std::string& CurrentTechnique() const { return m_currentTechnique; }
    int CurrentPass() const { return m_currentPass; }
    bool IsDirty() const { return m_dirty; }
    int BeginCount() const { return m_beginCount; }
    int CommitCount() const { return m_commitCount; }
    // How many times a technique was started (tests measure the savings).
    int TechniqueStarts() const { return m_techniqueStarts; }
    int ModelBinds() const { return m_modelBinds; }

    const std::map<int, std::shared_ptr<Effect>>& Effects() const { return m_effects; }
    const std::map<int, std::shared_ptr<Texture>>& Textures() const { return m_textures; }
    const std::map<int, std::shared_ptr<Material>>& Materials() const { return m_materials; }
    const std::map<int, std::shared_ptr<IModel>>& Models() const { return m_models; }
    const std::map<int, std::string>& Techniques() const { return m_techniques; }
    const std::map<int, GfxState>& States() const { return m_states; }

private:
    void StartTechnique(const std::string& technique);
    void SetEffectValue(const char* name, const void* data, size_t bytes);

    D3D9Core* m_core;
    std::unique_ptr<EffectPool> m_ownPool;  // only without a device holder
    EffectPool* m_poolInUse = nullptr;
    int m_commitCount = 0;
    int m_beginCount = 0;
    int m_techniqueStarts = 0;
    int m_modelBinds = 0;
    std::string m_currentTechnique;
    GfxState m_current;
    int m_currentPass = -1;
    bool m_dirty = false;
    std::map<int, std::shared_ptr<Effect>> m_effects;
    std::map<int, std::shared_ptr<Texture>> m_textures;
    std::map<int, std::shared_ptr<Material>> m_materials;
    std::map<int, std::shared_ptr<IModel>> m_models;
    std::map<int, std::string> m_techniques;
    std::map<int, GfxState> m_states;
};

}  // namespace Gfx
