#include "gfx/Effect.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "gfx/CameraParams.h"
#include "gfx/GfxEngine.h"
#include "gfx/Resources.h"
#include "gfx/StateMan.h"
#include "platform/GLTexture.h"
#include "platform/GLVertexLayout.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {

// Effect files are small; a larger one is damaged.
constexpr size_t kMaxEffectFileBytes = 1u << 20;

uint64_t NextVersion() {
    static uint64_t counter = 1;
    return ++counter;
}

std::shared_ptr<ParamValue> MakeValue(const EffectParamDesc& d) {
    auto v = std::make_shared<ParamValue>();
    v->type = d.type;
    v->elements = d.Elements();
    v->bytes.assign(d.Bytes(), 0);
    if (!d.defaults.empty()) {
        if (d.type == ParamType::Int) {
            for (size_t i = 0; i < d.defaults.size(); ++i) {
                int32_t n = static_cast<int32_t>(d.defaults[i]);
                std::memcpy(v->bytes.data() + 4 * i, &n, 4);
            }
        } else {
            std::memcpy(v->bytes.data(), d.defaults.data(), d.defaults.size() * 4);
        }
    }
    v->version = NextVersion();
    return v;
}

GLuint CompileStage(GLenum kind, const std::string& src, std::string* log) {
    GLuint s = glCreateShader(kind);
    const char* p = src.c_str();
    glShaderSource(s, 1, &p, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint len = 0;
        glGetShaderiv(s, GL_INFO_LOG_LENGTH, &len);
        std::string text(static_cast<size_t>(len > 0 ? len : 1), '\0');
        glGetShaderInfoLog(s, len, nullptr, &text[0]);
        *log = text.c_str();
        glDeleteShader(s);
        return 0;
    }
    return s;
}

GLenum BlendFactor(BlendMode m, bool src) {
    switch (m) {
    case BlendMode::Alpha: return src ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    case BlendMode::Add: return src ? GL_SRC_ALPHA : GL_ONE;
    case BlendMode::Modulate: return src ? GL_DST_COLOR : GL_ZERO;
    default: return src ? GL_ONE : GL_ZERO;
    }
}

}  // namespace

std::shared_ptr<ParamValue> EffectPool::Get(const EffectParamDesc& desc) {
    auto it = m_values.find(desc.name);
    if (it == m_values.end()) {
        auto v = MakeValue(desc);
        m_values[desc.name] = v;
        return v;
    }
    if (it->second->type != desc.type || it->second->elements != desc.Elements()) return nullptr;
    return it->second;
}

std::shared_ptr<ParamValue> EffectPool::Find(const std::string& name) const {
    auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : it->second;
}

bool EffectPool::SetValue(const std::string& name, const void* data, size_t bytes) {
    auto v = Find(name);
    if (!v || v->type == ParamType::Texture || !data || bytes == 0 || bytes > v->bytes.size()) return false;
    std::memcpy(v->bytes.data(), data, bytes);
    v->version = NextVersion();
    return true;
}

bool EffectPool::SetTexture(const std::string& name, const std::shared_ptr<Texture>& texture) {
    auto v = Find(name);
    if (!v || v->type != ParamType::Texture) return false;
    v->texture = texture;
    v->version = NextVersion();
    return true;
}

Effect::Effect(int tag, EffectDesc desc) : m_tag(tag), m_desc(std::move(desc)) {}

Effect::~Effect() {
    if (!SDL_GL_GetCurrentContext()) return;  // the context took its objects with it
    if (m_activePass >= 0) EndPass();
    for (Program& p : m_programs)
        if (p.id) glDeleteProgram(p.id);
    for (unsigned s : m_samplers)
        if (s) glDeleteSamplers(1, &s);
}

std::shared_ptr<Effect> Effect::FromFile(const std::string& path, int tag, EffectPool* pool, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = path + ": cannot open";
        return nullptr;
    }
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxEffectFileBytes) {
            if (error) *error = path + ": too large for an effect file";
            return nullptr;
        }
    }
    return FromText(text, path, tag, pool, error);
}

std::shared_ptr<Effect> Effect::FromText(const std::string& text, const std::string& source, int tag,
                                         EffectPool* pool, std::string* error) {
    EffectDesc desc;
    std::string why;
    if (!ParseEffectText(text, desc, &why)) {
        if (error) *error = source + ": " + why;
        return nullptr;
    }
    std::shared_ptr<Effect> e(new Effect(tag, std::move(desc)));
    if (!e->Build(pool, source, error)) return nullptr;
    return e;
}

bool Effect::Build(EffectPool* pool, const std::string& source, std::string* error) {
    // Values: the pool's for shared parameters, the effect's own otherwise.
    for (const EffectParamDesc& d : m_desc.params) {
        std::shared_ptr<ParamValue> v = d.shared && pool ? pool->Get(d) : MakeValue(d);
        if (!v) {
            if (error) *error = source + ": shared parameter '" + d.name + "' differs from its pool declaration";
            return false;
        }
        m_values.push_back(v);
        GLuint sampler = 0;
        if (d.type == ParamType::Texture) {
            glGenSamplers(1, &sampler);
            const GLint wrap = d.wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrap);
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrap);
            glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                                d.pointFilter ? GL_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
            glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, d.pointFilter ? GL_NEAREST : GL_LINEAR);
        }
        m_samplers.push_back(sampler);
        static const char* const kSemantics[] = {"WORLD", "WORLDVIEWPROJ", "WORLDVIEW", "RADIUS", "EXTTEXTURE"};
        for (const char* s : kSemantics)
            if (d.semantic == s) m_semanticParams.push_back(static_cast<int>(m_values.size() - 1));
    }

    // One program per pair of blocks, shared by the passes that run it.
    std::map<std::pair<std::string, std::string>, int> built;
    for (const EffectTechniqueDesc& t : m_desc.techniques) {
        Technique tech;
        for (size_t pi = 0; pi < t.passes.size(); ++pi) {
            const EffectPassDesc& pd = t.passes[pi];
            const auto key = std::make_pair(pd.vertex, pd.fragment);
            auto found = built.find(key);
            int index = 0;
            if (found != built.end()) {
                index = found->second;
            } else {
                const std::string where = source + ": technique " + t.name + " pass " + std::to_string(pi);
                std::string log;
                GLuint vs = CompileStage(GL_VERTEX_SHADER, BuildShaderSource(m_desc, true, pd.vertex), &log);
                if (!vs) {
                    if (error) *error = where + ": vertex block " + pd.vertex + ": " + log;
                    return false;
                }
                GLuint fs = CompileStage(GL_FRAGMENT_SHADER, BuildShaderSource(m_desc, false, pd.fragment), &log);
                if (!fs) {
                    glDeleteShader(vs);
                    if (error) *error = where + ": fragment block " + pd.fragment + ": " + log;
                    return false;
                }
                GLuint prog = glCreateProgram();
                glAttachShader(prog, vs);
                glAttachShader(prog, fs);
                using Platform::VertexLayout;
                using Platform::VertexUsage;
                glBindAttribLocation(prog, static_cast<GLuint>(VertexLayout::Location(VertexUsage::Position, 0)),
                                     "inPosition");
                glBindAttribLocation(prog, static_cast<GLuint>(VertexLayout::Location(VertexUsage::Normal, 0)),
                                     "inNormal");
                glBindAttribLocation(prog, static_cast<GLuint>(VertexLayout::Location(VertexUsage::Color, 0)),
                                     "inColor");
                for (int i = 0; i < 4; ++i)
                    glBindAttribLocation(prog,
                                         static_cast<GLuint>(VertexLayout::Location(VertexUsage::TexCoord, i)),
                                         ("inTex" + std::to_string(i)).c_str());
                glBindFragDataLocation(prog, 0, "outColor");
                glLinkProgram(prog);
                glDeleteShader(vs);
                glDeleteShader(fs);
                GLint ok = 0;
                glGetProgramiv(prog, GL_LINK_STATUS, &ok);
                if (!ok) {
                    GLint len = 0;
                    glGetProgramiv(prog, GL_INFO_LOG_LENGTH, &len);
                    std::string text(static_cast<size_t>(len > 0 ? len : 1), '\0');
                    glGetProgramInfoLog(prog, len, nullptr, &text[0]);
                    glDeleteProgram(prog);
                    if (error) *error = where + ": link: " + text.c_str();
                    return false;
                }
                Program p;
                p.id = prog;
                GLint previous = 0;
                glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
                glUseProgram(prog);
                int unit = 0;
                for (size_t i = 0; i < m_desc.params.size(); ++i) {
                    const GLint loc = glGetUniformLocation(prog, m_desc.params[i].name.c_str());
                    if (loc < 0) continue;
                    Uniform u;
                    u.param = static_cast<int>(i);
                    u.location = loc;
                    if (m_desc.params[i].type == ParamType::Texture) {
                        u.unit = unit++;
                        glUniform1i(loc, u.unit);
                    }
                    p.uniforms.push_back(u);
                }
                glUseProgram(static_cast<GLuint>(previous));
                index = static_cast<int>(m_programs.size());
                m_programs.push_back(std::move(p));
                built[key] = index;
            }
            tech.passes.push_back(Pass{index, pd});
        }
        m_techniques.push_back(std::move(tech));
    }
    return true;
}

Effect::Handle Effect::GetTechniqueHandle(const std::string& name) {
    auto it = m_handles.find(name);
    if (it != m_handles.end()) return it->second;
    Handle h;
    for (size_t i = 0; i < m_desc.techniques.size(); ++i)
        if (m_desc.techniques[i].name == name) h = Handle{Handle::Technique, static_cast<int>(i)};
    m_handles[name] = h;
    return h;
}

Effect::Handle Effect::GetParameterHandle(const std::string& name) {
    auto it = m_handles.find(name);
    if (it != m_handles.end()) return it->second;
    Handle h;
    for (size_t i = 0; i < m_desc.params.size(); ++i)
        if (m_desc.params[i].name == name) h = Handle{Handle::Param, static_cast<int>(i)};
    m_handles[name] = h;
    return h;
}

bool Effect::SetTechnique(Handle technique) {
    if (technique.kind != Handle::Technique) return false;
    m_technique = technique.index;
    return true;
}

unsigned Effect::Begin() {
    m_begun = true;
    m_passes = m_techniques.empty() ? 0u : static_cast<unsigned>(m_techniques[static_cast<size_t>(m_technique)].passes.size());
    return m_passes;
}

bool Effect::BeginPass(unsigned pass) {
    if (!m_begun || pass >= m_passes) return false;
    if (m_activePass >= 0) EndPass();
    const Pass& p = m_techniques[static_cast<size_t>(m_technique)].passes[pass];
    Saved& s = m_saved;
    glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
    const EffectPassDesc& st = p.states;
    if (st.blend != BlendMode::Unset) {
        s.blend = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_BLEND_SRC_RGB, &s.blendSrcRgb);
        glGetIntegerv(GL_BLEND_DST_RGB, &s.blendDstRgb);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &s.blendSrcA);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &s.blendDstA);
        if (st.blend == BlendMode::Off) {
            glDisable(GL_BLEND);
        } else {
            glEnable(GL_BLEND);
            glBlendFunc(BlendFactor(st.blend, true), BlendFactor(st.blend, false));
        }
    }
    if (st.depthTest != Toggle::Unset) {
        s.depthTest = glIsEnabled(GL_DEPTH_TEST);
        if (st.depthTest == Toggle::On) glEnable(GL_DEPTH_TEST);
        else glDisable(GL_DEPTH_TEST);
    }
    if (st.depthWrite != Toggle::Unset) {
        GLboolean mask = GL_TRUE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        s.depthWrite = mask == GL_TRUE;
        glDepthMask(st.depthWrite == Toggle::On ? GL_TRUE : GL_FALSE);
    }
    if (st.cull != CullMode::Unset) {
        s.cull = glIsEnabled(GL_CULL_FACE);
        glGetIntegerv(GL_CULL_FACE_MODE, &s.cullFace);
        glGetIntegerv(GL_FRONT_FACE, &s.frontFace);
        if (st.cull == CullMode::None) {
            glDisable(GL_CULL_FACE);
        } else {
            // Cull the named winding: make the other one the front.
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glFrontFace(st.cull == CullMode::Ccw ? GL_CW : GL_CCW);
        }
    }
    m_activePass = static_cast<int>(pass);
    Program& prog = m_programs[static_cast<size_t>(p.program)];
    glUseProgram(prog.id);
    Upload(prog, false);
    return true;
}

void Effect::Upload(Program& prog, bool all) {
    for (Uniform& u : prog.uniforms) {
        ParamValue* v = Value(u.param);
        if (u.unit >= 0) {
            // Texture bindings are shared GL state: bind them on every upload.
            glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u.unit));
            glBindTexture(GL_TEXTURE_2D, v->texture && v->texture->texture ? v->texture->texture->Id() : 0);
            glBindSampler(static_cast<GLuint>(u.unit), m_samplers[static_cast<size_t>(u.param)]);
            continue;
        }
        if (!all && u.uploaded == v->version) continue;
        u.uploaded = v->version;
        const auto* f = reinterpret_cast<const GLfloat*>(v->bytes.data());
        const GLsizei n = v->elements;
        switch (v->type) {
        case ParamType::Float: glUniform1fv(u.location, n, f); break;
        case ParamType::Float2: glUniform2fv(u.location, n, f); break;
        case ParamType::Float3: glUniform3fv(u.location, n, f); break;
        case ParamType::Float4: glUniform4fv(u.location, n, f); break;
        case ParamType::Float4x4: glUniformMatrix4fv(u.location, n, GL_FALSE, f); break;
        case ParamType::Int: glUniform1iv(u.location, n, reinterpret_cast<const GLint*>(v->bytes.data())); break;
        case ParamType::Texture: break;
        }
    }
    glActiveTexture(GL_TEXTURE0);
}

void Effect::CommitChanges() {
    if (m_activePass < 0) return;
    const Pass& p = m_techniques[static_cast<size_t>(m_technique)].passes[static_cast<size_t>(m_activePass)];
    Upload(m_programs[static_cast<size_t>(p.program)], false);
}

void Effect::EndPass() {
    if (m_activePass < 0) return;
    const Pass& p = m_techniques[static_cast<size_t>(m_technique)].passes[static_cast<size_t>(m_activePass)];
    const EffectPassDesc& st = p.states;
    const Saved& s = m_saved;
    if (st.blend != BlendMode::Unset) {
        if (s.blend) glEnable(GL_BLEND);
        else glDisable(GL_BLEND);
        glBlendFuncSeparate(static_cast<GLenum>(s.blendSrcRgb), static_cast<GLenum>(s.blendDstRgb),
                            static_cast<GLenum>(s.blendSrcA), static_cast<GLenum>(s.blendDstA));
    }
    if (st.depthTest != Toggle::Unset) {
        if (s.depthTest) glEnable(GL_DEPTH_TEST);
        else glDisable(GL_DEPTH_TEST);
    }
    if (st.depthWrite != Toggle::Unset) glDepthMask(s.depthWrite ? GL_TRUE : GL_FALSE);
    if (st.cull != CullMode::Unset) {
        if (s.cull) glEnable(GL_CULL_FACE);
        else glDisable(GL_CULL_FACE);
        glCullFace(static_cast<GLenum>(s.cullFace));
        glFrontFace(static_cast<GLenum>(s.frontFace));
    }
    // Sampler objects would override the texture's own sampling for others.
    const Program& prog = m_programs[static_cast<size_t>(p.program)];
    for (const Uniform& u : prog.uniforms)
        if (u.unit >= 0) glBindSampler(static_cast<GLuint>(u.unit), 0);
    glUseProgram(static_cast<GLuint>(s.program));
    m_activePass = -1;
}

void Effect::End() {
    if (m_activePass >= 0) EndPass();
    m_begun = false;
}

bool Effect::Write(int param, const void* data, size_t bytes) {
    if (param < 0 || !data || bytes == 0) return false;
    ParamValue* v = Value(param);
    if (v->type == ParamType::Texture || bytes > v->bytes.size()) return false;
    std::memcpy(v->bytes.data(), data, bytes);
    v->version = NextVersion();
    return true;
}

bool Effect::SetValue(const std::string& name, const void* data, size_t bytes) {
    const Handle h = GetParameterHandle(name);
    const bool ok = h.kind == Handle::Param && Write(h.index, data, bytes);
    if (!ok) GfxLog.Log(HtmlLogger::LOG_WARNING, "Effect::SetValue: Value %s could not be set in effect %i", name.c_str(), m_tag);
    return ok;
}

bool Effect::SetTexture(const std::string& name, const std::shared_ptr<Texture>& texture) {
    const Handle h = GetParameterHandle(name);
    ParamValue* v = h.kind == Handle::Param ? Value(h.index) : nullptr;
    if (!v || v->type != ParamType::Texture) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "Effect::SetTexture: Texture %s could not be set in effect %i", name.c_str(),
                   m_tag);
        return false;
    }
    v->texture = texture;
    v->version = NextVersion();
    return true;
}

bool Effect::SetMatrix(Handle handle, const Geometry::Matrix4x4& m) {
    // GL reads column-major storage: the transpose of our row-major matrix.
    const Geometry::Matrix4x4 t = m.Transpose();
    const bool ok = handle.kind == Handle::Param && Value(handle.index)->type == ParamType::Float4x4 &&
                    Write(handle.index, t.m, sizeof t.m);
    if (!ok) GfxLog.Log(HtmlLogger::LOG_WARNING, "Effect::SetMatrix: Matrix  could not be set in effect %i", m_tag);
    return ok;
}

bool Effect::SetMatrix(const std::string& name, const Geometry::Matrix4x4& m) {
    return SetMatrix(GetParameterHandle(name), m);
}

bool Effect::SetVectorArray(const std::string& name, const Geometry::Vector4* v, int count) {
    const Handle h = GetParameterHandle(name);
    if (h.kind != Handle::Param || count <= 0 || !v || Value(h.index)->type != ParamType::Float4) return false;
    std::vector<float> data;
    data.reserve(static_cast<size_t>(count) * 4u);
    for (int i = 0; i < count; ++i) data.insert(data.end(), {v[i].x, v[i].y, v[i].z, v[i].w});
    return Write(h.index, data.data(), data.size() * 4u);
}

bool Effect::SetMatrixArray(const std::string& name, const Geometry::Matrix4x4* m, int count) {
    const Handle h = GetParameterHandle(name);
    if (h.kind != Handle::Param || count <= 0 || !m || Value(h.index)->type != ParamType::Float4x4) return false;
    std::vector<float> data;
    data.reserve(static_cast<size_t>(count) * 16u);
    for (int i = 0; i < count; ++i) {
        const Geometry::Matrix4x4 t = m[i].Transpose();
        data.insert(data.end(), t.m, t.m + 16);
    }
    return Write(h.index, data.data(), data.size() * 4u);
}

bool Effect::GetValue(const std::string& name, void* out, size_t bytes) const {
    for (size_t i = 0; i < m_desc.params.size(); ++i) {
        if (m_desc.params[i].name != name) continue;
        const ParamValue* v = m_values[i].get();
        if (!out || bytes > v->bytes.size()) return false;
        std::memcpy(out, v->bytes.data(), bytes);
        return true;
    }
    return false;
}

Geometry::Vector3 Effect::LightDirection() {
    static const Geometry::Vector3 dir = [] {
        const Geometry::Vector3 d(0.7f, -0.7f, 1.0f);
        return d / std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    }();
    return dir;
}

void Effect::SetFrameParameters() {
    GfxEngine* engine = GfxEngine::Instance();
    const CameraParams cam = engine ? engine->GetCameraParams() : CameraParams{};
    // Set straight by name, not through the handle cache.
    SetMatrix("ViewProjection", cam.viewProjection);
    SetMatrix("Projection", cam.projection);
    SetMatrix("Billboard", cam.billboard);
    SetValue("CameraEye", &cam.eye, 12);
    SetValue("CameraUp", &cam.up, 12);
    SetValue("CameraSide", &cam.side, 12);
    const Geometry::Vector3 light = LightDirection();
    SetValue("LightDir", &light, 12);
}

void Effect::SetObjectParameters(const Geometry::Matrix4x4& world, float radius) {
    if (m_semanticParams.empty()) return;
    GfxEngine* engine = GfxEngine::Instance();
    const CameraParams cam = engine ? engine->GetCameraParams() : CameraParams{};
    for (int i : m_semanticParams) {
        const EffectParamDesc& d = m_desc.params[static_cast<size_t>(i)];
        const Handle h{Handle::Param, i};
        if (d.semantic == "WORLD") {
            SetMatrix(h, world);
        } else if (d.semantic == "WORLDVIEWPROJ") {
            SetMatrix(h, cam.viewProjection * world);
        } else if (d.semantic == "WORLDVIEW") {
            SetMatrix(h, cam.view * world);
        } else if (d.semantic == "RADIUS") {
            Write(i, &radius, 4);
        } else if (d.semantic == "EXTTEXTURE") {
            auto a = d.annotations.find("TextureID");
            const int tag = a == d.annotations.end() ? 0 : a->second;
            std::shared_ptr<Texture> tex;
            StateMan* sm = engine ? engine->GetStateMan() : nullptr;
            if (sm && sm->RequestTexture(tag, tex) && d.type == ParamType::Texture) {
                ParamValue* v = Value(i);
                v->texture = tex;
                v->version = NextVersion();
            }
        }
    }
}

}  // namespace Gfx
