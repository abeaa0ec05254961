// The text form of our effect files (parameters, GLSL 330 shader blocks,
// techniques with passes and their render states), parsed without touching
// GL; the format is described at the top of EffectFile.cpp.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace Gfx {

enum class ParamType { Float, Float2, Float3, Float4, Float4x4, Int, Texture };

// Floats (or ints) one element of the type holds; 0 for textures.
int ParamComponents(ParamType type);

struct EffectParamDesc {
    std::string name;
    ParamType type = ParamType::Float;
    int arraySize = 0;  // 0: not an array
    bool shared = false;  // one value for every effect of the pool
    std::string semantic;
    std::map<std::string, int> annotations;
    std::vector<float> defaults;
    bool wrap = false;          // textures: repeat instead of clamp
    bool pointFilter = false;   // textures: nearest instead of linear

    int Elements() const { return arraySize > 0 ? arraySize : 1; }
    size_t Bytes() const { return static_cast<size_t>(ParamComponents(type)) * 4u * static_cast<size_t>(Elements()); }
};

enum class BlendMode { Unset, Off, Alpha, Add, Modulate };
enum class Toggle { Unset, Off, On };
enum class CullMode { Unset, None, Cw, Ccw };

struct EffectPassDesc {
    std::string vertex;    // names of shader blocks
    std::string fragment;
    BlendMode blend = BlendMode::Unset;
    Toggle depthTest = Toggle::Unset;
    Toggle depthWrite = Toggle::Unset;
    CullMode cull = CullMode::Unset;
};

struct EffectTechniqueDesc {
    std::string name;
    std::vector<EffectPassDesc> passes;
};

struct EffectDesc {
    std::vector<EffectParamDesc> params;
    std::string common;  // GLSL put in front of every shader block
    std::map<std::string, std::string> vertexShaders;
    std::map<std::string, std::string> fragmentShaders;
    std::map<std::string, int> shaderLines;  // "v:name" / "f:name" -> first line in the file
    std::vector<EffectTechniqueDesc> techniques;

    const EffectParamDesc* FindParam(const std::string& name) const;
    const EffectTechniqueDesc* FindTechnique(const std::string& name) const;
};

// False with "line N: reason" when the text is not a well-formed effect.
bool ParseEffectText(const std::string& text, EffectDesc& out, std::string* error);

// The full GLSL source of one stage: version, the uniforms of every
// parameter, the common block, then the stage's own block.
std::string BuildShaderSource(const EffectDesc& desc, bool vertexStage, const std::string& blockName);

}  // namespace Gfx
