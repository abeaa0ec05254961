// Shared pieces of the graphics tests: an engine on an offscreen window, the
// graphics log captured into a list, PNG files written for texture loads.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx/D3D9Core.h"
#include "gfx/GfxEngine.h"
#include "gfx/StateMan.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "utility/HtmlLogger.h"

namespace GfxTest {

// Opens the graphics log in a temporary folder and collects its lines.
class LogCapture {
public:
    LogCapture() {
        char buf[4096];
        m_cwd = getcwd(buf, sizeof buf) ? buf : ".";
        m_dir = ::testing::TempDir() + "mirav_gfxlog_" + std::to_string(getpid());
        (void)!system(("mkdir -p '" + m_dir + "/Logs'").c_str());
        if (chdir(m_dir.c_str()) == 0) {
            GfxLog.Open();
            GfxLog.SetDebugOutput([this](const std::string& s) { lines.push_back(s); });
        }
        (void)!chdir(m_cwd.c_str());
    }
    ~LogCapture() {
        GfxLog.Close();
        GfxLog.SetDebugOutput(nullptr);
    }
    bool Has(const std::string& text) const {
        for (const std::string& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    std::string All() const {
        std::string s;
        for (const std::string& l : lines) s += l;
        return s;
    }
    std::vector<std::string> lines;

private:
    std::string m_cwd, m_dir;
};

// Opens an offscreen window of w x h and starts the graphics engine on it,
// windowed. Returns null, with the reason in *err, when either fails.
inline Gfx::GfxEngine* OpenEngine(Platform::Window& window, int w, int h, std::string* err) {
    if (!Platform::InitVideo(err) || !window.Create("Mirav", w, h, err)) return nullptr;
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Create();
    Gfx::DisplaySettings s;
    s.width = w;
    s.height = h;
    s.windowed = true;
    if (!engine->Initialize(&window, s)) {
        *err = "the graphics engine did not start";
        return nullptr;
    }
    return engine;
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        Gfx::GfxEngine* engine = OpenEngine(window, kSize, kSize, &err);
        ASSERT_NE(engine, nullptr) << err;
        core = engine->GetCore();
        sm = engine->GetStateMan();
        ASSERT_NE(sm, nullptr);
        core->SetLostSleepMs(0);
    }
    void TearDown() override {
        Gfx::GfxEngine::Release();
        window.Destroy();
        Platform::ShutdownVideo();
    }
    // Draws one frame with the given drawing and returns its pixels (RGBA, bottom row first).
    std::vector<uint8_t> Frame(const std::function<void()>& draw) {
        std::vector<uint8_t> frame;
        core->SetSceneDrawer(draw);
        core->CaptureNextFrame(&frame);
        core->Render();
        core->SetSceneDrawer(nullptr);
        return frame;
    }
    static std::vector<int> Pixel(const std::vector<uint8_t>& rgba, int x, int y) {
        const size_t i = (static_cast<size_t>(kSize - 1 - y) * kSize + static_cast<size_t>(x)) * 4u;
        if (i + 3 >= rgba.size()) return {};
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }

    static constexpr int kSize = 64;
    Platform::Window window;
    Gfx::D3D9Core* core = nullptr;
    Gfx::StateMan* sm = nullptr;
};

// With MIRAV_GFX_DUMP set to a folder, writes the frame there as name.png
// (for looking at what a test drew).
void DumpFrame(const std::vector<uint8_t>& rgbaBottomUp, int size, const std::string& name);

// Writes a solid-colour PNG of w x h pixels; returns its path.
std::string WriteSolidPng(const std::string& name, int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a);

inline ::testing::AssertionResult RgbNear(const std::vector<int>& got, const std::vector<int>& want, int tol) {
    bool ok = got.size() == 3 && want.size() == 3;
    for (size_t c = 0; ok && c < 3; ++c) ok = std::abs(got[c] - want[c]) <= tol;
    if (ok) return ::testing::AssertionSuccess();
    std::string g;
    for (int v : got) g += std::to_string(v) + " ";
    std::string w;
    for (int v : want) w += std::to_string(v) + " ";
    return ::testing::AssertionFailure() << "pixel " << g << "wanted " << w << "+-" << tol;
}

}  // namespace GfxTest
