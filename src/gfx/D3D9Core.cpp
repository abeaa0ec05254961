#include "gfx/D3D9Core.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "gfx/Effect.h"
#include "gfx/Model.h"
#include "platform/GLBuffer.h"
#include "platform/GLTexture.h"
#include "platform/GLVertexLayout.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "gfx/Screenshot.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {
// The exit code posted when the device cannot be brought back.
constexpr int kDeviceFailureExitCode = 1;

// A vertex or index buffer on the device; nullptr when it cannot be made.
std::shared_ptr<Platform::GpuBuffer> MakeGpuBuffer(Platform::GpuBuffer::Kind kind, size_t bytes, bool dynamic,
                                                   const void* initial) {
    auto b = std::make_shared<Platform::GpuBuffer>(
        kind, dynamic ? Platform::GpuBuffer::Usage::Dynamic : Platform::GpuBuffer::Usage::Static, bytes, initial);
    return b->IsValid() ? b : nullptr;
}
}  // namespace

D3D9Core::D3D9Core() : m_effectPool(std::make_unique<EffectPool>()) {
    GfxLog.Log(HtmlLogger::LOG_ALLOC, "D3D9Core class created.");
}

D3D9Core::~D3D9Core() { Release(); }

int D3D9Core::SearchMultisample(int n, const std::function<bool(int)>& offered) {
    if (n < 0) n = 0;
    while (n != 0) {
        if (offered && offered(n)) break;
        n = n > 2 ? n - 2 : 0;
    }
    return n;
}

bool D3D9Core::CreateD3DParams(int fsaaSamples, bool windowed, int width, int height) {
    if (!m_device) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::CreateD3DParams: Call to GetAdapterDisplayMode failed");
        return false;
    }
    PresentParams p;
    p.backBufferWidth = width;
    p.backBufferHeight = height;
    p.windowed = windowed;
    p.vsync = windowed;
    Platform::GLDevice* dev = m_device.get();
    p.multiSampleType = SearchMultisample(fsaaSamples, [dev](int n) { return dev->SupportsSamples(n); });
    m_presentParams = p;
    return true;
}

Platform::SurfaceParams D3D9Core::Surface() const {
    Platform::SurfaceParams s;
    s.width = m_presentParams.backBufferWidth;
    s.height = m_presentParams.backBufferHeight;
    s.samples = m_presentParams.multiSampleType;
    s.windowed = m_presentParams.windowed;
    s.vsync = m_presentParams.vsync;
    return s;
}

bool D3D9Core::Initialize(Platform::Window* window, int width, int height, bool windowed, int fsaaSamples) {
    m_window = window;
    m_presentParams = PresentParams{};
    m_pixelShader20 = false;
    if (!m_window || !m_window->GLContext()) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::Initialize: Failed to get device capabilities");
        return false;
    }
    m_device = std::make_unique<Platform::GLDevice>(*m_window);
    std::string why;
    m_pixelShader20 = m_device->CheckCapabilities(&why);
    if (!m_pixelShader20) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::Initialize: Pixel Shader 2.0 unsupported!");
        return false;
    }
    return InitializeWith(width, height, windowed, fsaaSamples);
}

bool D3D9Core::InitializeWith(int width, int height, bool windowed, int fsaaSamples) {
    for (;;) {
        CreateD3DParams(fsaaSamples, windowed, width, height);
        if (m_device->Reset(Surface())) break;
        if (fsaaSamples != 0) {
            fsaaSamples = 0;
        } else if (width != 1024 || height != 768) {
            width = 1024;
            height = 768;
        } else {
            GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::Initialize: Could not create D3D9 device");
            return false;
        }
    }
    // Texture addressing is clamped by default (the textures set it); the
    // multisampled frame is resolved at present.
    if (windowed) ToWindowed(fsaaSamples, width, height, true);
    else ToFullScreen(fsaaSamples, width, height, true);

    m_meshDecl = CreateMeshVertexDecl();
    m_particleDecl = CreateParticleVertexDecl();
    m_instanceDecl = CreateInstanceVertexDecl();
    m_deviceLost = false;
    return true;
}

bool D3D9Core::ToWindowed(int fsaaSamples, int width, int height, bool initial) {
    return SwitchMode(true, fsaaSamples, width, height, initial);
}

bool D3D9Core::ToFullScreen(int fsaaSamples, int width, int height, bool initial) {
    return SwitchMode(false, fsaaSamples, width, height, initial);
}

bool D3D9Core::SwitchMode(bool windowed, int fsaaSamples, int width, int height, bool initial) {
    if (!m_device) return false;
    const PresentParams before = m_presentParams;
    const bool hadSurface = m_device->HasSurface();
    bool notified = false;
    for (;;) {
        if (!initial && m_presentParams.windowed == windowed && m_presentParams.backBufferWidth == width &&
            m_presentParams.backBufferHeight == height && m_presentParams.multiSampleType == fsaaSamples) {
            // Already in that mode (possibly reached through a fallback).
            if (notified) NotifyReset();
            return false;
        }
        if (!notified) {
            // Once per switch: resources are told once, however many tries.
            NotifyLost();
            notified = true;
        }
        CreateD3DParams(fsaaSamples, windowed, width, height);
        if (m_device->Reset(Surface())) {
            NotifyReset();
            GfxLog.Log(HtmlLogger::LOG_INFO, windowed ? "Adapter Change: Windowed %i x %i" : "Adapter Change: Fullscreen %i x %i",
                       width, height);
            return true;
        }
        if (fsaaSamples != 0) {
            fsaaSamples = 0;
        } else if (width != 1024 || height != 768) {
            width = 1024;
            height = 768;
        } else {
            GfxLog.Log(HtmlLogger::LOG_ERROR, windowed ? "D3D9Core::ToWindowed: Could not reset device"
                                                       : "D3D9Core::ToFullScreen: Could not reset device");
            // The context and the resources are still there: go back to the
            // mode we had, so the game keeps drawing, and say so to the
            // listeners told of the loss.
            m_presentParams = before;
            if (hadSurface) m_device->Reset(Surface());
            NotifyReset();
            return false;
        }
    }
}

bool D3D9Core::Validate() {
    if (!m_device) return false;
    switch (m_device->TestCooperativeLevel()) {
    case Platform::CooperativeLevel::Ok:
        return true;
    case Platform::CooperativeLevel::DeviceLost:
        if (m_lostSleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_lostSleepMs));
        if (!m_deviceLost) {
            NotifyLost();
            m_deviceLost = true;
        }
        return false;
    case Platform::CooperativeLevel::DeviceNotReset:
        if (m_device->Reset(Surface())) {
            // Resources hear of the loss before they hear of the reset, even
            // when the device skipped the lost state.
            if (!m_deviceLost) NotifyLost();
            NotifyReset();
            m_deviceLost = false;
            return true;
        }
        if (!m_deviceLost) {
            if (m_lostSleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_lostSleepMs));
            NotifyLost();
            m_deviceLost = true;
            return false;
        }
        GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::Validate: Could not reset D3D9 device");
        Platform::PostQuit(kDeviceFailureExitCode);
        return false;
    }
    return true;
}

bool D3D9Core::Render() {
    if (!m_device || !m_device->HasSurface()) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::Render: Device was not valid");
        return false;
    }
    if (!Validate()) return false;
    ++m_framesPresented;
    // The screenshot hook asks for this frame: capture it unless a caller
    // already does.
    static const ScreenshotRequest screenshot = ScreenshotRequest::FromEnvironment();
    std::vector<uint8_t> shot;
    const bool wantShot = screenshot.Wanted(m_framesPresented) && !m_capture;
    if (wantShot) m_capture = &shot;
    m_device->BeginFrame();
    m_device->Clear(m_clear[0], m_clear[1], m_clear[2], 1.0f, 1.0f, 0);
    if (m_drawScene) m_drawScene();
    m_device->Present(m_capture);
    m_capture = nullptr;
    if (wantShot) {
        const Platform::SurfaceParams& sp = m_device->Params();
        if (!WritePng(screenshot.path, sp.width, sp.height, shot))
            GfxLog.Log(HtmlLogger::LOG_ERROR, "D3D9Core::Render: Screenshot could not be written to %s",
                       screenshot.path.c_str());
    }
    return true;
}

void D3D9Core::FilterDisplayModes(const std::vector<Platform::DisplayMode>& offered,
                                  std::vector<DisplayModeEntry>& list) {
    for (const Platform::DisplayMode& m : offered) {
        if (!m.rgb888 || m.width <= 800 || m.height <= 0) continue;
        const bool sxga = m.width == 1280 && m.height == 1024;
        const float aspect = static_cast<float>(m.width) / static_cast<float>(m.height);
        if (!sxga && !(std::fabs(aspect - 4.0f / 3.0f) <= 0.1f)) continue;
        list.push_back(DisplayModeEntry{static_cast<unsigned>(m.width), static_cast<unsigned>(m.height)});
    }
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

void D3D9Core::GetDisplayModes(std::vector<DisplayModeEntry>& list) const {
    FilterDisplayModes(Platform::ListDisplayModes(), list);
}

bool D3D9Core::Release() {
    m_meshDecl.reset();
    m_particleDecl.reset();
    m_instanceDecl.reset();
    m_device.reset();
    m_listeners.clear();
    return true;
}

std::shared_ptr<Platform::Texture> D3D9Core::CreateTexture(const std::string& path, int tag) {
    if (!m_device) return nullptr;
    std::string why;
    auto tex = Platform::Texture::FromFile(path, &why);
    if (!tex) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateTexture: Texture could not be loaded from: %s", path.c_str());
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateTexture: texture %i: %s", tag, why.c_str());
    }
    return tex;
}

std::shared_ptr<Effect> D3D9Core::CreateEffect(const std::string& path, int tag) {
    if (!m_device) return nullptr;
    std::string why;
    std::shared_ptr<Effect> effect = Effect::FromFile(path, tag, m_effectPool.get(), &why);
    if (!effect) {
        GfxLog.Log(HtmlLogger::LOG_ERROR, "%s", why.c_str());
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateEffect: Effect could not be loaded from: %s", path.c_str());
    }
    return effect;
}

std::shared_ptr<Mesh> D3D9Core::CreateMesh(const std::string& path) {
    if (!m_device) return nullptr;
    return Gfx::CreateMesh(*this, path);
}

std::shared_ptr<Platform::GpuBuffer> D3D9Core::CreateVertexBuffer(size_t bytes, bool dynamic, const void* initial) {
    if (!m_device) return nullptr;
    return MakeGpuBuffer(Platform::GpuBuffer::Kind::Vertex, bytes, dynamic, initial);
}

std::shared_ptr<Platform::GpuBuffer> D3D9Core::CreateIndexBuffer(size_t bytes, bool dynamic, const void* initial) {
    if (!m_device) return nullptr;
    return MakeGpuBuffer(Platform::GpuBuffer::Kind::Index, bytes, dynamic, initial);
}

VertexDecl D3D9Core::CreateVertexDecl(const std::vector<Platform::VertexElement>& elements, unsigned stride) {
    VertexDecl d(Platform::VertexLayout::Create(elements, stride));
    if (!d) GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateVertexDecl: Vertex Declaration cannot be created??");
    return d;
}

void D3D9Core::AddDeviceListener(IDeviceListener* listener) {
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void D3D9Core::RemoveDeviceListener(IDeviceListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void D3D9Core::NotifyLost() {
    const auto copy = m_listeners;
    for (IDeviceListener* l : copy) l->OnLostDevice();
}

void D3D9Core::NotifyReset() {
    const auto copy = m_listeners;
    for (IDeviceListener* l : copy) l->OnResetDevice();
}

}  // namespace Gfx
