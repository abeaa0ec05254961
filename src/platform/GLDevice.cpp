#include "platform/GLDevice.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <string>

#include "platform/Window.h"

namespace Platform {

namespace {

const char* kProbeVertex =
    "#version 330 core\n"
    "layout(location = 0) in vec3 position;\n"
    "void main() { gl_Position = vec4(position, 1.0); }\n";
const char* kProbeFragment =
    "#version 330 core\n"
    "out vec4 colour;\n"
    "void main() { colour = vec4(1.0); }\n";

GLuint Compile(GLenum kind, const char* src, std::string* log) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char buf[512] = {};
        glGetShaderInfoLog(s, sizeof buf - 1, nullptr, buf);
        if (log) *log = buf;
        glDeleteShader(s);
        return 0;
    }
    return s;
}

std::vector<int> QuerySampleCounts(GLenum format) {
    std::vector<int> out;
    if (!epoxy_has_gl_extension("GL_ARB_internalformat_query") && epoxy_gl_version() < 42) return out;
    GLint n = 0;
    glGetInternalformativ(GL_RENDERBUFFER, format, GL_NUM_SAMPLE_COUNTS, 1, &n);
    if (n <= 0) return out;
    out.resize(static_cast<size_t>(n));
    glGetInternalformativ(GL_RENDERBUFFER, format, GL_SAMPLES, n, out.data());
    return out;
}

}  // namespace

std::vector<DisplayMode> ListDisplayModes() {
    std::vector<DisplayMode> out;
    auto add = [&out](const SDL_DisplayMode& m) {
        if (m.w <= 0 || m.h <= 0) return;
        DisplayMode d;
        d.width = m.w;
        d.height = m.h;
        d.refreshRate = m.refresh_rate;
        d.rgb888 = m.format == SDL_PIXELFORMAT_RGB888 || m.format == SDL_PIXELFORMAT_BGR888;
        out.push_back(d);
    };
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0) add(m);
    }
    // Some drivers list no real modes; the desktop's own mode is offered then.
    SDL_DisplayMode desktop;
    if (out.empty() && SDL_GetDesktopDisplayMode(0, &desktop) == 0) add(desktop);
    return out;
}

GLDevice::GLDevice(Window& window) : m_window(window) {
    if (!m_window.GLContext()) return;
    glGetIntegerv(GL_MAX_SAMPLES, &m_maxSamples);
    m_colorSamples = QuerySampleCounts(GL_RGBA8);
    m_depthSamples = QuerySampleCounts(GL_DEPTH24_STENCIL8);
    // A core context draws nothing without a vertex array object bound.
    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
}

GLDevice::~GLDevice() {
    if (!m_window.GLContext() || !SDL_GL_GetCurrentContext()) return;
    FreeMultisampleTarget();
    if (m_vao) glDeleteVertexArrays(1, &m_vao);
}

bool GLDevice::CheckCapabilities(std::string* why) {
    if (!m_window.GLContext()) {
        if (why) *why = "no OpenGL context";
        return false;
    }
    if (epoxy_gl_version() < 33 || epoxy_is_desktop_gl() == 0) {
        if (why) *why = "OpenGL 3.3 is not available";
        return false;
    }
    std::string log;
    GLuint vs = Compile(GL_VERTEX_SHADER, kProbeVertex, &log);
    GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, kProbeFragment, &log) : 0;
    bool ok = vs && fs;
    if (ok) {
        GLuint prog = glCreateProgram();
        glAttachShader(prog, vs);
        glAttachShader(prog, fs);
        glLinkProgram(prog);
        GLint linked = 0;
        glGetProgramiv(prog, GL_LINK_STATUS, &linked);
        ok = linked != 0;
        if (!ok) log = "the GLSL 330 probe does not link";
        glDeleteProgram(prog);
    }
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    if (!ok && why) *why = "GLSL 330 shaders do not compile: " + log;
    return ok;
}

bool GLDevice::SupportsSamples(int n) const {
    if (n == 0) return true;
    if (n < 0 || n > m_maxSamples) return false;
    auto listed = [n](const std::vector<int>& counts) {
        return counts.empty() || std::find(counts.begin(), counts.end(), n) != counts.end();
    };
    return listed(m_colorSamples) && listed(m_depthSamples);
}

void GLDevice::FreeMultisampleTarget() {
    if (m_msFbo) glDeleteFramebuffers(1, &m_msFbo);
    if (m_msColor) glDeleteRenderbuffers(1, &m_msColor);
    if (m_msDepth) glDeleteRenderbuffers(1, &m_msDepth);
    m_msFbo = m_msColor = m_msDepth = 0;
}

namespace {
// SDL's offscreen driver keeps the surface it made with the window: a window
// made smaller or larger still draws into (and reads back from) the first
// size. There the frame always goes to a target of its own size.
bool OffscreenDriver() {
    static const bool offscreen = [] {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver && std::string(driver) == "offscreen";
    }();
    return offscreen;
}
}  // namespace

bool GLDevice::MakeMultisampleTarget(int width, int height, int samples) {
    FreeMultisampleTarget();
    if (samples <= 0 && !OffscreenDriver()) return true;
    if (samples < 0) samples = 0;
    glGenRenderbuffers(1, &m_msColor);
    glBindRenderbuffer(GL_RENDERBUFFER, m_msColor);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    glGenRenderbuffers(1, &m_msDepth);
    glBindRenderbuffer(GL_RENDERBUFFER, m_msDepth);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH24_STENCIL8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glGenFramebuffers(1, &m_msFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, m_msFbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_msColor);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_msDepth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) FreeMultisampleTarget();
    return complete;
}

bool GLDevice::Reset(const SurfaceParams& params) {
    if (!m_window.GLContext() || params.width <= 0 || params.height <= 0) return false;
    if (m_resetFilter && !m_resetFilter(params)) return false;
    if (!SupportsSamples(params.samples)) return false;

    if (params.windowed) {
        m_window.SetFullScreen(false);
        m_window.SetSize(params.width, params.height);
    } else {
        m_window.SetSize(params.width, params.height);
        if (!m_window.SetFullScreenMode(params.width, params.height)) return false;
    }
    if (!MakeMultisampleTarget(params.width, params.height, params.samples)) {
        // The window keeps its new size; the frame is drawn without
        // multisampling until a reset succeeds.
        return false;
    }
    SDL_GL_SetSwapInterval(params.vsync ? 1 : 0);
    m_params = params;
    m_hasSurface = true;
    m_level = CooperativeLevel::Ok;
    ++m_resets;
    return true;
}

void GLDevice::BeginFrame() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_msFbo);
    glBindVertexArray(m_vao);
    glViewport(0, 0, m_params.width, m_params.height);
}

void GLDevice::Clear(float r, float g, float b, float a, float depth, int stencil) {
    // Clears are not limited by masks left over from drawing.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(r, g, b, a);
    glClearDepth(depth);
    glClearStencil(stencil);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void GLDevice::Present(std::vector<uint8_t>* capture) {
    const int w = m_params.width;
    const int h = m_params.height;
    if (m_msFbo) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_msFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (capture && w > 0 && h > 0) {
        capture->assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 4u, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        if (m_msFbo && m_params.samples <= 0) {
            // The frame's own single-sampled target holds it at its full size.
            glBindFramebuffer(GL_READ_FRAMEBUFFER, m_msFbo);
            glReadBuffer(GL_COLOR_ATTACHMENT0);
        } else {
            glReadBuffer(GL_BACK);
        }
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, capture->data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    }
    m_window.SwapBuffers();
    // A window-system swap waits for the frame before last; the offscreen
    // driver's does not, and a software rasteriser then queues frame after
    // frame of binned triangles (memory grew by tens of KB a frame). Wait
    // for the frame there instead.
    if (OffscreenDriver()) glFinish();
}

}  // namespace Platform
