// Our device over OpenGL 3.3 core, on the game window's context: the
// capability check, the surface (size, full screen, multisampling through an
// offscreen framebuffer resolved at present), clearing and presenting. The
// context and every resource made on it survive a change of surface. GL does
// not lose devices by itself; a test hook plays the lost/not-reset states.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Platform {

class Window;

struct SurfaceParams {
    int width = 0;
    int height = 0;
    int samples = 0;  // 0: no multisampling
    bool windowed = true;
    bool vsync = true;

    bool operator==(const SurfaceParams& o) const {
        return width == o.width && height == o.height && samples == o.samples && windowed == o.windowed &&
               vsync == o.vsync;
    }
};

enum class CooperativeLevel { Ok, DeviceLost, DeviceNotReset };

struct DisplayMode {
    int width = 0;
    int height = 0;
    int refreshRate = 0;
    bool rgb888 = false;  // 32 bits per pixel, 8 bits per channel, no alpha
};

// The modes the window's display offers (largest first, as SDL lists them).
std::vector<DisplayMode> ListDisplayModes();

class GLDevice {
public:
    explicit GLDevice(Window& window);
    ~GLDevice();
    GLDevice(const GLDevice&) = delete;
    GLDevice& operator=(const GLDevice&) = delete;

    // True when the window's context is GL 3.3 core or later and a GLSL 330
    // vertex/fragment pair compiles and links; else the reason.
    bool CheckCapabilities(std::string* why);

    int MaxSamples() const { return m_maxSamples; }
    // Whether n-sample multisampling is offered for the colour format (RGBA8)
    // and for the depth-stencil format (24/8). 0 is always offered.
    bool SupportsSamples(int n) const;

    // Applies a surface: the window's size or full-screen mode, the swap
    // interval and the multisampled framebuffer. False (the previous surface
    // kept as far as possible) when it cannot be had.
    bool Reset(const SurfaceParams& params);
    const SurfaceParams& Params() const { return m_params; }
    bool HasSurface() const { return m_hasSurface; }

    // What the device says about itself this frame (Ok unless a test set it).
    CooperativeLevel TestCooperativeLevel() const { return m_level; }

    // Binds the frame's target and sets the viewport to the whole surface.
    void BeginFrame();
    void Clear(float r, float g, float b, float a, float depth, int stencil);
    // Resolves the multisampled frame into the window's buffer and swaps.
    // When capture is given it receives the presented frame, RGBA rows from
    // the bottom up.
    void Present(std::vector<uint8_t>* capture = nullptr);

    Window& GetWindow() { return m_window; }

    // Test hooks. The level TestCooperativeLevel reports until the next
    // successful Reset; and a filter that makes Reset fail for the params it
    // returns false for.
    void SimulateCooperativeLevel(CooperativeLevel level) { m_level = level; }
    void SetResetFilter(std::function<bool(const SurfaceParams&)> filter) { m_resetFilter = std::move(filter); }
    int ResetCount() const { return m_resets; }

private:
    bool MakeMultisampleTarget(int width, int height, int samples);
    void FreeMultisampleTarget();

    Window& m_window;
    SurfaceParams m_params;
    bool m_hasSurface = false;
    int m_maxSamples = 0;
    std::vector<int> m_colorSamples;  // sample counts the driver names; empty: any up to the maximum
    std::vector<int> m_depthSamples;
    unsigned m_vao = 0;
    unsigned m_msFbo = 0;
    unsigned m_msColor = 0;
    unsigned m_msDepth = 0;
    CooperativeLevel m_level = CooperativeLevel::Ok;
    std::function<bool(const SurfaceParams&)> m_resetFilter;
    int m_resets = 0;
};

}  // namespace Platform
