#include "platform/GLSprite.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstddef>

namespace Platform {

namespace {

const char* kSpriteVertex =
    "#version 330 core\n"
    "layout(location = 0) in vec2 position;\n"
    "layout(location = 1) in vec2 texel;\n"
    "layout(location = 2) in vec4 colour;\n"
    "uniform vec2 screen;\n"
    "out vec2 vTexel;\n"
    "out vec4 vColour;\n"
    "void main() {\n"
    "  gl_Position = vec4(position.x * 2.0 / screen.x - 1.0, 1.0 - position.y * 2.0 / screen.y, 0.0, 1.0);\n"
    "  vTexel = texel;\n"
    "  vColour = colour;\n"
    "}\n";
const char* kSpriteFragment =
    "#version 330 core\n"
    "uniform sampler2D atlas;\n"
    "in vec2 vTexel;\n"
    "in vec4 vColour;\n"
    "out vec4 fragColour;\n"
    "void main() {\n"
    "  float cover = texture(atlas, vTexel / vec2(textureSize(atlas, 0))).r;\n"
    "  fragColour = vec4(vColour.rgb, vColour.a * cover);\n"
    "}\n";

GLuint CompileStage(GLenum kind, const char* src) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(s);
        return 0;
    }
    return s;
}

// Everything a flush or an upload changes, taken before and put back after.
struct SavedState {
    GLint program, vao, arrayBuffer, activeTexture, texture0, sampler0;
    GLint blendSrcRgb, blendDstRgb, blendSrcAlpha, blendDstAlpha, blendEqRgb, blendEqAlpha;
    GLboolean blend, depthTest, depthMask, cull, stencil, scissor;
    GLboolean colourMask[4];
    GLint polygonMode[2];

    void Take() {
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture0);
        glGetIntegerv(GL_SAMPLER_BINDING, &sampler0);
        glGetIntegerv(GL_BLEND_SRC_RGB, &blendSrcRgb);
        glGetIntegerv(GL_BLEND_DST_RGB, &blendDstRgb);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &blendSrcAlpha);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &blendDstAlpha);
        glGetIntegerv(GL_BLEND_EQUATION_RGB, &blendEqRgb);
        glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &blendEqAlpha);
        blend = glIsEnabled(GL_BLEND);
        depthTest = glIsEnabled(GL_DEPTH_TEST);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        cull = glIsEnabled(GL_CULL_FACE);
        stencil = glIsEnabled(GL_STENCIL_TEST);
        scissor = glIsEnabled(GL_SCISSOR_TEST);
        glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
        glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    }
    static void Enable(GLenum cap, GLboolean on) {
        if (on)
            glEnable(cap);
        else
            glDisable(cap);
    }
    void Restore() const {
        glUseProgram(static_cast<GLuint>(program));
        glBindVertexArray(static_cast<GLuint>(vao));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture0));
        glBindSampler(0, static_cast<GLuint>(sampler0));
        glActiveTexture(static_cast<GLenum>(activeTexture));
        glBlendFuncSeparate(static_cast<GLenum>(blendSrcRgb), static_cast<GLenum>(blendDstRgb),
                            static_cast<GLenum>(blendSrcAlpha), static_cast<GLenum>(blendDstAlpha));
        glBlendEquationSeparate(static_cast<GLenum>(blendEqRgb), static_cast<GLenum>(blendEqAlpha));
        Enable(GL_BLEND, blend);
        Enable(GL_DEPTH_TEST, depthTest);
        glDepthMask(depthMask);
        Enable(GL_CULL_FACE, cull);
        Enable(GL_STENCIL_TEST, stencil);
        Enable(GL_SCISSOR_TEST, scissor);
        glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
        // Core contexts keep one mode for both faces.
        glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(polygonMode[0]));
    }
};

// Texture uploads change the unpack state and the bound texture only.
struct SavedUpload {
    GLint activeTexture, texture0, alignment, rowLength, skipRows, skipPixels, unpackBuffer;
    SavedUpload() {
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture0);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
        glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows);
        glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels);
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    }
    ~SavedUpload() {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture0));
        glActiveTexture(static_cast<GLenum>(activeTexture));
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
    }
};

}  // namespace

// ---- AlphaTexture ----

AlphaTexture::~AlphaTexture() { Release(); }

void AlphaTexture::Release() {
    // Names of a context that is gone (or not current) are not ours to delete.
    if (m_id && m_context && SDL_GL_GetCurrentContext() == m_context) glDeleteTextures(1, &m_id);
    m_id = 0;
    m_context = nullptr;
    m_width = m_height = 0;
}

bool AlphaTexture::Allocate(int width, int height, const uint8_t* texels) {
    if (width <= 0 || height <= 0) return false;
    if (!SDL_GL_GetCurrentContext()) return false;
    if (m_id && SDL_GL_GetCurrentContext() != m_context) m_id = 0;
    SavedUpload saved;
    if (!m_id) glGenTextures(1, &m_id);
    if (!m_id) return false;
    m_context = SDL_GL_GetCurrentContext();
    std::vector<uint8_t> zeros;
    if (!texels) {
        zeros.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        texels = zeros.data();
    }
    glBindTexture(GL_TEXTURE_2D, m_id);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width, height, 0, GL_RED, GL_UNSIGNED_BYTE, texels);
    if (glGetError() != GL_NO_ERROR) return false;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    m_width = width;
    m_height = height;
    return true;
}

void AlphaTexture::Upload(int x, int y, int w, int h, const uint8_t* texels, int pitch) {
    if (!m_id || SDL_GL_GetCurrentContext() != m_context || w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > m_width || y + h > m_height || pitch < w) return;
    SavedUpload saved;
    glBindTexture(GL_TEXTURE_2D, m_id);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RED, GL_UNSIGNED_BYTE, texels);
}

// ---- SpriteBatch ----

SpriteBatch::SpriteBatch() = default;

SpriteBatch::~SpriteBatch() { Release(); }

bool SpriteBatch::Create() {
    Release();
    if (!SDL_GL_GetCurrentContext()) return false;
    m_context = SDL_GL_GetCurrentContext();
    GLuint vs = CompileStage(GL_VERTEX_SHADER, kSpriteVertex);
    GLuint fs = vs ? CompileStage(GL_FRAGMENT_SHADER, kSpriteFragment) : 0;
    if (!vs || !fs) {
        if (vs) glDeleteShader(vs);
        return false;
    }
    GLuint prog = glCreateProgram();
    glAttachShader(prog, vs);
    glAttachShader(prog, fs);
    glLinkProgram(prog);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(prog, GL_LINK_STATUS, &linked);
    if (!linked) {
        glDeleteProgram(prog);
        return false;
    }
    m_program = prog;
    m_locScreen = glGetUniformLocation(prog, "screen");
    m_locAtlas = glGetUniformLocation(prog, "atlas");

    GLint oldVao = 0, oldBuffer = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &oldVao);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &oldBuffer);
    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_vbo);
    glGenBuffers(1, &m_ebo);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_ebo);
    const GLsizei stride = sizeof(SpriteVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(SpriteVertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offsetof(SpriteVertex, u)));
    glEnableVertexAttribArray(2);
    // The colour word's bytes lie in memory as blue, green, red, alpha.
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(SpriteVertex, argb)));
    glBindVertexArray(static_cast<GLuint>(oldVao));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(oldBuffer));
    m_eboQuads = 0;
    m_vboBytes = 0;
    return true;
}

void SpriteBatch::Release() {
    m_quads.clear();
    if (m_context && SDL_GL_GetCurrentContext() == m_context) {
        if (m_program) glDeleteProgram(m_program);
        if (m_vao) glDeleteVertexArrays(1, &m_vao);
        if (m_vbo) glDeleteBuffers(1, &m_vbo);
        if (m_ebo) glDeleteBuffers(1, &m_ebo);
    }
    m_context = nullptr;
    m_program = m_vao = m_vbo = m_ebo = 0;
    m_eboQuads = 0;
    m_vboBytes = 0;
}

void SpriteBatch::AddQuad(unsigned texture, const SpriteVertex corners[4]) {
    Quad q;
    q.texture = texture;
    for (int i = 0; i < 4; ++i) q.v[i] = corners[i];
    m_quads.push_back(q);
}

void SpriteBatch::Flush(bool sortByTexture) {
    if (m_quads.empty()) return;
    if (!IsValid() || m_width <= 0 || m_height <= 0 || SDL_GL_GetCurrentContext() != m_context) {
        m_quads.clear();
        return;
    }
    if (sortByTexture)
        std::stable_sort(m_quads.begin(), m_quads.end(),
                         [](const Quad& a, const Quad& b) { return a.texture < b.texture; });

    SavedState saved;
    saved.Take();

    glUseProgram(m_program);
    glUniform2f(m_locScreen, static_cast<float>(m_width), static_cast<float>(m_height));
    glUniform1i(m_locAtlas, 0);
    glBindVertexArray(m_vao);
    glActiveTexture(GL_TEXTURE0);
    glBindSampler(0, 0);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    const size_t n = m_quads.size();
    if (m_eboQuads < n) {
        size_t cap = std::max<size_t>(64, m_eboQuads);
        while (cap < n) cap *= 2;
        std::vector<uint32_t> idx(cap * 6);
        for (size_t q = 0; q < cap; ++q) {
            const uint32_t b = static_cast<uint32_t>(q * 4);
            const uint32_t six[6] = {b, b + 1, b + 2, b, b + 2, b + 3};
            std::copy(six, six + 6, idx.begin() + static_cast<std::ptrdiff_t>(q * 6));
        }
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(idx.size() * sizeof(uint32_t)), idx.data(),
                     GL_STATIC_DRAW);
        m_eboQuads = cap;
    }
    std::vector<SpriteVertex> verts;
    verts.reserve(n * 4);
    for (const Quad& q : m_quads) verts.insert(verts.end(), q.v, q.v + 4);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    const size_t bytes = verts.size() * sizeof(SpriteVertex);
    // A fresh store each flush, so a draw still reading the last one is not disturbed.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(std::max(bytes, m_vboBytes)), nullptr, GL_STREAM_DRAW);
    m_vboBytes = std::max(bytes, m_vboBytes);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), verts.data());

    size_t start = 0;
    while (start < n) {
        size_t end = start + 1;
        while (end < n && m_quads[end].texture == m_quads[start].texture) ++end;
        glBindTexture(GL_TEXTURE_2D, m_quads[start].texture);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>((end - start) * 6), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(start * 6 * sizeof(uint32_t)));
        ++m_drawCalls;
        start = end;
    }
    m_quads.clear();
    saved.Restore();
}

}  // namespace Platform
