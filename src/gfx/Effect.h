// One compiled effect: techniques of passes, each pass a GLSL program with
// the render states it sets (and puts back when it ends), and parameters set
// by name and found by semantic. Parameters declared shared live in the
// pool, so they have one value for every effect compiled into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gfx/EffectFile.h"
#include "utility/Geometry.h"

namespace Gfx {

struct Texture;

// The value of one parameter; versions tell programs what to upload again.
struct ParamValue {
    ParamType type = ParamType::Float;
    int elements = 1;
    std::vector<uint8_t> bytes;
    std::shared_ptr<Texture> texture;
    uint64_t version = 1;
};

class EffectPool {
public:
    // The shared value of that name, made on first use; null when an effect
    // already declared it with another type or size.
    std::shared_ptr<ParamValue> Get(const EffectParamDesc& desc);
    std::shared_ptr<ParamValue> Find(const std::string& name) const;
    // Sets a shared value directly (used while no effect is current); false
    // when there is none of that name or the size does not fit.
    bool SetValue(const std::string& name, const void* data, size_t bytes);
    bool SetTexture(const std::string& name, const std::shared_ptr<Texture>& texture);

private:
    std::map<std::string, std::shared_ptr<ParamValue>> m_values;
};

class Effect {
public:
    // A handle names a parameter or a technique; the cache holds both by name.
    struct Handle {
        enum Kind { None, Param, Technique } kind = None;
        int index = -1;
        explicit operator bool() const { return kind != None; }
    };

    ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Parses and compiles; null with the reason (naming the source, and the
    // technique and GLSL log for a shader that does not build).
    static std::shared_ptr<Effect> FromFile(const std::string& path, int tag, EffectPool* pool, std::string* error);
    static std::shared_ptr<Effect> FromText(const std::string& text, const std::string& source, int tag,
                                            EffectPool* pool, std::string* error);

    int Tag() const { return m_tag; }
    const EffectDesc& Desc() const { return m_desc; }
    unsigned Passes() const { return m_passes; }

    Handle GetTechniqueHandle(const std::string& name);
    Handle GetParameterHandle(const std::string& name);

    bool SetTechnique(Handle technique);
    // Starts the current technique; returns its pass count.
    unsigned Begin();
    // Binds the pass's program, applies its render states (saving what they
    // replace) and uploads the parameters changed since its last upload.
    bool BeginPass(unsigned pass);
    // Uploads what changed during the running pass.
    void CommitChanges();
    // Puts back the render states and the program the pass replaced.
    void EndPass();
    void End();
    bool InPass() const { return m_activePass >= 0; }

    bool SetValue(const std::string& name, const void* data, size_t bytes);
    bool SetTexture(const std::string& name, const std::shared_ptr<Texture>& texture);
    bool SetMatrix(Handle handle, const Geometry::Matrix4x4& m);
    bool SetMatrix(const std::string& name, const Geometry::Matrix4x4& m);
    bool SetVectorArray(const std::string& name, const Geometry::Vector4* v, int count);
    bool SetMatrixArray(const std::string& name, const Geometry::Matrix4x4* m, int count);
    // Reads a parameter's current bytes (tests, diagnostics).
    bool GetValue(const std::string& name, void* out, size_t bytes) const;

    // The active camera's matrices and vectors and the light direction.
    void SetFrameParameters();
    // The semantic-bound parameters: WORLD, WORLDVIEWPROJ, WORLDVIEW, RADIUS
    // and EXTTEXTURE (the texture of its TextureID annotation).
    void SetObjectParameters(const Geometry::Matrix4x4& world, float radius);

    static Geometry::Vector3 LightDirection();

private:
    struct Uniform {
        int param = -1;
        int location = -1;
        int unit = -1;  // textures
        uint64_t uploaded = 0;
    };
    struct Program {
        unsigned id = 0;
        std::vector<Uniform> uniforms;
    };
    struct Pass {
        int program = -1;
        EffectPassDesc states;
    };
    struct Technique {
        std::vector<Pass> passes;
    };
    struct Saved {
        int program = 0;
        bool blend = false;
        int blendSrcRgb = 0, blendDstRgb = 0, blendSrcA = 0, blendDstA = 0;
        bool depthTest = false;
        bool depthWrite = true;
        bool cull = false;
        int cullFace = 0, frontFace = 0;
    };

    Effect(int tag, EffectDesc desc);
    bool Build(EffectPool* pool, const std::string& source, std::string* error);
    void Upload(Program& program, bool all);
    ParamValue* Value(int param) const { return m_values[static_cast<size_t>(param)].get(); }
    bool Write(int param, const void* data, size_t bytes);

    int m_tag;
    EffectDesc m_desc;
    std::vector<std::shared_ptr<ParamValue>> m_values;  // per parameter; shared ones point into the pool
    std::vector<unsigned> m_samplers;                   // per parameter: GL sampler object for textures
    std::vector<Program> m_programs;
    std::vector<Technique> m_techniques;
    std::map<std::string, Handle> m_handles;
    std::vector<int> m_semanticParams;  // parameters with a semantic the engine fills
    int m_technique = 0;
    bool m_begun = false;
    int m_activePass = -1;
    unsigned m_passes = 0;
    Saved m_saved;
};

}  // namespace Gfx
