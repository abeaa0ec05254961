// Effect file format (plain text, read line by line):
//
//   # a comment (outside shader blocks only)
//   param  <type> <name>[<count>] [: <SEMANTIC>] [@<Annotation>=<int>]... [wrap] [point] [= <numbers>...]
//   shared <type> <name> ...      same, but one value for all effects of the pool
//   common                        GLSL put in front of every shader block, up to a line "end"
//   vertex <name>                 a GLSL vertex block, up to a line "end"
//   fragment <name>               a GLSL fragment block, up to a line "end"
//   technique <name>
//     pass
//       vertex <name>             the blocks the pass runs (both required)
//       fragment <name>
//       blend off|alpha|add|modulate
//       depthtest on|off
//       depthwrite on|off
//       cull none|cw|ccw          cw/ccw: the winding that is culled (ccw culls counter-clockwise faces)
//     end
//   end
//
// Types: float float2 float3 float4 float4x4 int texture. Every parameter
// becomes a uniform of the same name in every stage (texture: sampler2D).
// Shader blocks have no #version line and no uniform declarations of
// parameters; vertex inputs are inPosition, inNormal, inColor, inTex0..3,
// the fragment output is outColor. Render states a pass does not name are
// left as they are; those it names are put back when the pass ends.
#include "gfx/EffectFile.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace Gfx {

namespace {

constexpr int kMaxParams = 256;
constexpr int kMaxArray = 256;
constexpr int kMaxDefaults = 4 * 4 * 256;
constexpr int kMaxTechniques = 256;
constexpr int kMaxPasses = 16;

bool IsIdentifier(const std::string& s) {
    if (s.empty() || s.size() > 64) return false;
    if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    // Names GLSL keeps to itself.
    return s.compare(0, 3, "gl_") != 0;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool ParseType(const std::string& w, ParamType& t) {
    static const std::pair<const char*, ParamType> kTypes[] = {
        {"float", ParamType::Float},   {"float2", ParamType::Float2},     {"float3", ParamType::Float3},
        {"float4", ParamType::Float4}, {"float4x4", ParamType::Float4x4}, {"int", ParamType::Int},
        {"texture", ParamType::Texture}};
    for (const auto& k : kTypes)
        if (w == k.first) {
            t = k.second;
            return true;
        }
    return false;
}

bool ParseInt(const std::string& s, int& v) {
    if (s.empty() || s.size() > 11) return false;
    char* end = nullptr;
    errno = 0;
    long l = std::strtol(s.c_str(), &end, 10);
    if (errno || *end || l < -2147483647L || l > 2147483647L) return false;
    v = static_cast<int>(l);
    return true;
}

bool ParseFloat(const std::string& s, float& v) {
    char* end = nullptr;
    float f = std::strtof(s.c_str(), &end);
    if (s.empty() || *end || !std::isfinite(f)) return false;
    v = f;
    return true;
}

struct Parser {
    EffectDesc& out;
    std::string* error;
    int lineNo = 0;

    bool Fail(const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    }

    bool Param(const std::vector<std::string>& w, bool shared) {
        if (static_cast<int>(out.params.size()) >= kMaxParams) return Fail("too many parameters");
        if (w.size() < 3) return Fail("a parameter needs a type and a name");
        EffectParamDesc p;
        p.shared = shared;
        if (!ParseType(w[1], p.type)) return Fail("unknown parameter type '" + w[1] + "'");
        std::string name = w[2];
        size_t br = name.find('[');
        if (br != std::string::npos) {
            if (name.back() != ']') return Fail("bad array size in '" + name + "'");
            int n = 0;
            if (!ParseInt(name.substr(br + 1, name.size() - br - 2), n) || n < 1 || n > kMaxArray)
                return Fail("array size out of range in '" + name + "'");
            if (p.type == ParamType::Texture) return Fail("texture arrays are not supported");
            p.arraySize = n;
            name.resize(br);
        }
        if (!IsIdentifier(name)) return Fail("bad parameter name '" + name + "'");
        if (out.FindParam(name)) return Fail("parameter '" + name + "' declared twice");
        p.name = name;
        size_t i = 3;
        for (; i < w.size(); ++i) {
            const std::string& t = w[i];
            if (t == ":") {
                if (i + 1 >= w.size() || !IsIdentifier(w[i + 1])) return Fail("a semantic must follow ':'");
                p.semantic = w[++i];
            } else if (t.size() > 1 && t[0] == '@') {
                size_t eq = t.find('=');
                int v = 0;
                if (eq == std::string::npos || !IsIdentifier(t.substr(1, eq - 1)) || !ParseInt(t.substr(eq + 1), v))
                    return Fail("bad annotation '" + t + "'");
                p.annotations[t.substr(1, eq - 1)] = v;
            } else if (t == "wrap" && p.type == ParamType::Texture) {
                p.wrap = true;
            } else if (t == "point" && p.type == ParamType::Texture) {
                p.pointFilter = true;
            } else if (t == "=") {
                ++i;
                break;
            } else {
                return Fail("unexpected '" + t + "' in parameter '" + name + "'");
            }
        }
        for (; i < w.size(); ++i) {
            float f = 0.0f;
            if (!ParseFloat(w[i], f)) return Fail("bad number '" + w[i] + "'");
            if (static_cast<int>(p.defaults.size()) >= kMaxDefaults) return Fail("too many values");
            p.defaults.push_back(f);
        }
        const size_t want = static_cast<size_t>(ParamComponents(p.type)) * static_cast<size_t>(p.Elements());
        if (!p.defaults.empty() && p.defaults.size() != want)
            return Fail("parameter '" + name + "' needs " + std::to_string(want) + " values");
        out.params.push_back(std::move(p));
        return true;
    }

    bool Pass(const std::vector<std::string>& w, EffectPassDesc& pass) {
        if (w.size() != 2) return Fail("'" + w[0] + "' takes one word");
        const std::string& v = w[1];
        if (w[0] == "vertex") {
            pass.vertex = v;
        } else if (w[0] == "fragment") {
            pass.fragment = v;
        } else if (w[0] == "blend") {
            if (v == "off") pass.blend = BlendMode::Off;
            else if (v == "alpha") pass.blend = BlendMode::Alpha;
            else if (v == "add") pass.blend = BlendMode::Add;
            else if (v == "modulate") pass.blend = BlendMode::Modulate;
            else return Fail("unknown blend '" + v + "'");
        } else if (w[0] == "depthtest" || w[0] == "depthwrite") {
            Toggle t = v == "on" ? Toggle::On : v == "off" ? Toggle::Off : Toggle::Unset;
            if (t == Toggle::Unset) return Fail("'" + w[0] + "' is on or off");
            (w[0] == "depthtest" ? pass.depthTest : pass.depthWrite) = t;
        } else if (w[0] == "cull") {
            if (v == "none") pass.cull = CullMode::None;
            else if (v == "cw") pass.cull = CullMode::Cw;
            else if (v == "ccw") pass.cull = CullMode::Ccw;
            else return Fail("unknown cull '" + v + "'");
        } else {
            return Fail("unknown pass state '" + w[0] + "'");
        }
        return true;
    }

    bool Run(const std::string& text) {
        std::istringstream in(text);
        std::string line;
        enum { Top, InTechnique, InPass, InBlock } where = Top;
        std::string* block = nullptr;
        EffectTechniqueDesc* tech = nullptr;
        while (std::getline(in, line)) {
            ++lineNo;
            if (where == InBlock) {
                if (Trim(line) == "end") {
                    where = Top;
                    block = nullptr;
                } else {
                    *block += line;
                    *block += '\n';
                }
                continue;
            }
            const std::vector<std::string> w = Words(line);
            if (w.empty() || w[0][0] == '#') continue;
            const std::string& k = w[0];
            if (where == Top) {
                if (k == "param" || k == "shared") {
                    if (!Param(w, k == "shared")) return false;
                } else if (k == "common") {
                    if (w.size() != 1) return Fail("'common' takes no name");
                    block = &out.common;
                    where = InBlock;
                } else if (k == "vertex" || k == "fragment") {
                    if (w.size() != 2 || !IsIdentifier(w[1])) return Fail("a shader block needs a name");
                    auto& map = k == "vertex" ? out.vertexShaders : out.fragmentShaders;
                    if (map.count(w[1])) return Fail("shader block '" + w[1] + "' defined twice");
                    block = &map[w[1]];
                    out.shaderLines[(k == "vertex" ? "v:" : "f:") + w[1]] = lineNo + 1;
                    where = InBlock;
                } else if (k == "technique") {
                    if (w.size() != 2 || !IsIdentifier(w[1])) return Fail("a technique needs a name");
                    if (out.FindTechnique(w[1])) return Fail("technique '" + w[1] + "' defined twice");
                    if (static_cast<int>(out.techniques.size()) >= kMaxTechniques) return Fail("too many techniques");
                    out.techniques.push_back(EffectTechniqueDesc{w[1], {}});
                    tech = &out.techniques.back();
                    where = InTechnique;
                } else {
                    return Fail("unexpected '" + k + "'");
                }
            } else if (where == InTechnique) {
                if (k == "pass" && w.size() == 1) {
                    if (static_cast<int>(tech->passes.size()) >= kMaxPasses) return Fail("too many passes");
                    tech->passes.emplace_back();
                    where = InPass;
                } else if (k == "end" && w.size() == 1) {
                    if (tech->passes.empty()) return Fail("technique '" + tech->name + "' has no pass");
                    where = Top;
                } else {
                    return Fail("expected 'pass' or 'end' in technique '" + tech->name + "'");
                }
            } else {  // InPass
                if (k == "end" && w.size() == 1) {
                    const EffectPassDesc& p = tech->passes.back();
                    if (p.vertex.empty() || p.fragment.empty())
                        return Fail("a pass of '" + tech->name + "' needs a vertex and a fragment block");
                    where = InTechnique;
                } else if (!Pass(w, tech->passes.back())) {
                    return false;
                }
            }
        }
        if (where != Top) return Fail("the file ends inside a block");
        if (out.techniques.empty()) return Fail("no technique");
        for (const EffectTechniqueDesc& t : out.techniques)
            for (const EffectPassDesc& p : t.passes) {
                if (!out.vertexShaders.count(p.vertex))
                    return Fail("technique '" + t.name + "' names a missing vertex block '" + p.vertex + "'");
                if (!out.fragmentShaders.count(p.fragment))
                    return Fail("technique '" + t.name + "' names a missing fragment block '" + p.fragment + "'");
            }
        return true;
    }
};

const char* GlslType(ParamType t) {
    switch (t) {
    case ParamType::Float: return "float";
    case ParamType::Float2: return "vec2";
    case ParamType::Float3: return "vec3";
    case ParamType::Float4: return "vec4";
    case ParamType::Float4x4: return "mat4";
    case ParamType::Int: return "int";
    case ParamType::Texture: return "sampler2D";
    }
    return "float";
}

}  // namespace

int ParamComponents(ParamType type) {
    switch (type) {
    case ParamType::Float: return 1;
    case ParamType::Float2: return 2;
    case ParamType::Float3: return 3;
    case ParamType::Float4: return 4;
    case ParamType::Float4x4: return 16;
    case ParamType::Int: return 1;
    case ParamType::Texture: return 0;
    }
    return 0;
}

const EffectParamDesc* EffectDesc::FindParam(const std::string& name) const {
    for (const EffectParamDesc& p : params)
        if (p.name == name) return &p;
    return nullptr;
}

const EffectTechniqueDesc* EffectDesc::FindTechnique(const std::string& name) const {
    for (const EffectTechniqueDesc& t : techniques)
        if (t.name == name) return &t;
    return nullptr;
}

bool ParseEffectText(const std::string& text, EffectDesc& out, std::string* error) {
    out = EffectDesc{};
    Parser p{out, error};
    if (p.Run(text)) return true;
    out = EffectDesc{};
    return false;
}

std::string BuildShaderSource(const EffectDesc& desc, bool vertexStage, const std::string& blockName) {
    const auto& blocks = vertexStage ? desc.vertexShaders : desc.fragmentShaders;
    auto it = blocks.find(blockName);
    std::string src = "#version 330 core\n";
    for (const EffectParamDesc& p : desc.params) {
        src += "uniform ";
        src += GlslType(p.type);
        src += ' ';
        src += p.name;
        if (p.arraySize > 0) src += "[" + std::to_string(p.arraySize) + "]";
        src += ";\n";
    }
    src += desc.common;
    auto line = desc.shaderLines.find((vertexStage ? "v:" : "f:") + blockName);
    if (line != desc.shaderLines.end()) src += "#line " + std::to_string(line->second) + "\n";
    if (it != blocks.end()) src += it->second;
    return src;
}

}  // namespace Gfx
