// The device holder of the graphics engine (named for the role it has
// always had; it runs on our OpenGL device layer): present parameters, the
// capability check, the multisample search, windowed and full-screen
// switches, the lost/reset state machine, one frame, the display-mode list,
// and the factory of buffers, textures and vertex layouts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx/VertexDecls.h"
#include "platform/GLDevice.h"
#include "platform/GLVertexLayout.h"

namespace Platform {
class Window;
class GpuBuffer;
class Texture;
}  // namespace Platform

namespace Gfx {

class Effect;
class EffectPool;
struct Mesh;

struct PresentParams {
    int backBufferWidth = 0;
    int backBufferHeight = 0;
    int multiSampleType = 0;  // the searched sample count; 0 none
    bool windowed = false;
    bool vsync = false;  // windowed: the default interval (vsync); full screen: immediate
};

struct DisplayModeEntry {
    unsigned width = 0;
    unsigned height = 0;
    bool operator==(const DisplayModeEntry& o) const { return width == o.width && height == o.height; }
    bool operator<(const DisplayModeEntry& o) const {
        return width != o.width ? width < o.width : height < o.height;
    }
};

// Told when the device's surface goes away and when it is back (the render
// state manager, the text manager).
class IDeviceListener {
public:
    virtual ~IDeviceListener() = default;
    virtual void OnLostDevice() = 0;
    virtual void OnResetDevice() = 0;
};

class D3D9Core {
public:
    D3D9Core();
    ~D3D9Core();
    D3D9Core(const D3D9Core&) = delete;
    D3D9Core& operator=(const D3D9Core&) = delete;

    bool Initialize(Platform::Window* window, int width, int height, bool windowed, int fsaaSamples);
    bool CreateD3DParams(int fsaaSamples, bool windowed, int width, int height);
    bool ToWindowed(int fsaaSamples, int width, int height, bool initial);
    bool ToFullScreen(int fsaaSamples, int width, int height, bool initial);
    bool Validate();
    bool Render();
    // Appends the offered 4:3 and 5:4 modes (wider than 800, 32-bit), then
    // sorts the list and removes repeats.
    void GetDisplayModes(std::vector<DisplayModeEntry>& list) const;
    bool Release();

    // The search over sample counts: n, n - 2, ... while above 2, then 0.
    static int SearchMultisample(int n, const std::function<bool(int)>& offered);
    // The filter and sort of GetDisplayModes on a given list of offered modes.
    static void FilterDisplayModes(const std::vector<Platform::DisplayMode>& offered,
                                   std::vector<DisplayModeEntry>& list);

    // Factories; empty on failure.
    std::shared_ptr<Platform::Texture> CreateTexture(const std::string& path, int tag);
    // An effect compiled into the shared pool; empty (the compiler's text
    // logged, naming file and technique) when it does not build.
    std::shared_ptr<Effect> CreateEffect(const std::string& path, int tag);
    // A .x file as one static mesh with its buffers.
    std::shared_ptr<Mesh> CreateMesh(const std::string& path);
    // The parameters every effect shares.
    EffectPool* GetEffectPool() const { return m_effectPool.get(); }
    std::shared_ptr<Platform::GpuBuffer> CreateVertexBuffer(size_t bytes, bool dynamic, const void* initial = nullptr);
    std::shared_ptr<Platform::GpuBuffer> CreateIndexBuffer(size_t bytes, bool dynamic, const void* initial = nullptr);
    // Null (logged) when the elements do not make a layout.
    static VertexDecl CreateVertexDecl(const std::vector<Platform::VertexElement>& elements, unsigned stride);

    Platform::GLDevice* GetDevice() const { return m_device.get(); }
    const PresentParams& GetPresentParams() const { return m_presentParams; }
    bool IsDeviceLost() const { return m_deviceLost; }
    bool IsPixelShader20Supported() const { return m_pixelShader20; }
    const VertexDecl& GetMeshDecl() const { return m_meshDecl; }
    const VertexDecl& GetParticleDecl() const { return m_particleDecl; }
    const VertexDecl& GetInstanceDecl() const { return m_instanceDecl; }

    void AddDeviceListener(IDeviceListener* listener);
    void RemoveDeviceListener(IDeviceListener* listener);
    // What the frame draws between the clear and the present (the render queue).
    void SetSceneDrawer(std::function<void()> draw) { m_drawScene = std::move(draw); }
    void SetClearColor(float r, float g, float b) { m_clear[0] = r, m_clear[1] = g, m_clear[2] = b; }
    // The next presented frame is copied here (RGBA, bottom row first).
    void CaptureNextFrame(std::vector<uint8_t>* pixels) { m_capture = pixels; }
    // How long a frame waits while the device is lost (500 ms; tests use 0).
    void SetLostSleepMs(int ms) { m_lostSleepMs = ms; }
    // Frames drawn so far (counted from 1 by Render).
    int FramesPresented() const { return m_framesPresented; }

private:
    bool SwitchMode(bool windowed, int fsaaSamples, int width, int height, bool initial);
    bool InitializeWith(int width, int height, bool windowed, int fsaaSamples);
    void NotifyLost();
    void NotifyReset();
    Platform::SurfaceParams Surface() const;

    Platform::Window* m_window = nullptr;
    std::unique_ptr<Platform::GLDevice> m_device;
    std::unique_ptr<EffectPool> m_effectPool;
    PresentParams m_presentParams;
    bool m_deviceLost = false;
    bool m_pixelShader20 = false;
    VertexDecl m_meshDecl;
    VertexDecl m_particleDecl;
    VertexDecl m_instanceDecl;
    std::vector<IDeviceListener*> m_listeners;
    std::function<void()> m_drawScene;
    float m_clear[3] = {0.0f, 0.0f, 0.0f};
    std::vector<uint8_t>* m_capture = nullptr;
    int m_lostSleepMs = 500;
    int m_framesPresented = 0;
};

}  // namespace Gfx
