// The graphics engine on SDL's offscreen driver: a real frame cleared,
// presented and read back; the multisample search and the mode-switch
// fallbacks; the lost/reset cycle with resources kept; display modes;
// WorldToScreen.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gfx/D3D9Core.h"
#include "gfx/GfxEngine.h"
#include "gfx/VertexDecls.h"
#include "platform/GLBuffer.h"
#include "platform/GLTexture.h"
#include "platform/GLVertexLayout.h"
#include "platform/Messages.h"
#include "platform/Window.h"

using Gfx::D3D9Core;
using Gfx::DisplayModeEntry;

namespace {

class GfxDevice : public ::testing::Test {
protected:
    void SetUp() override {
        std::string err;
        ASSERT_TRUE(Platform::InitVideo(&err)) << err;
        ASSERT_TRUE(window.Create("Mirav", 640, 480, &err)) << err;
    }
    void TearDown() override {
        Gfx::GfxEngine::Release();
        window.Destroy();
        Platform::ShutdownVideo();
    }
    D3D9Core* StartEngine(int w, int h, int samples, bool windowed = true) {
        Gfx::GfxEngine* engine = Gfx::GfxEngine::Create();
        Gfx::DisplaySettings s;
        s.width = w;
        s.height = h;
        s.fsaaSamples = samples;
        s.windowed = windowed;
        EXPECT_TRUE(engine->Initialize(&window, s));
        engine->GetCore()->SetLostSleepMs(0);
        return engine->GetCore();
    }
    Platform::Window window;
};

struct Listener : Gfx::IDeviceListener {
    std::vector<std::string> calls;
    void OnLostDevice() override { calls.push_back("lost"); }
    void OnResetDevice() override { calls.push_back("reset"); }
};

// The presented frame's pixel at (x, y) from the top left.
std::vector<int> PixelAt(const std::vector<uint8_t>& rgba, int w, int h, int x, int y) {
    const size_t i = (static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4u;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

}  // namespace

TEST_F(GfxDevice, ClearsToAColourPresentsAndReadsBack) {
    for (int samples : {0, 4}) {
        SCOPED_TRACE(samples);
        D3D9Core* core = StartEngine(320, 240, samples);
        ASSERT_TRUE(Gfx::GfxEngine::Instance()->IsPixelShader20Supported());
        EXPECT_EQ(core->GetPresentParams().backBufferWidth, 320);
        EXPECT_TRUE(core->GetPresentParams().windowed);
        EXPECT_TRUE(core->GetPresentParams().vsync);
        int w = 0, h = 0;
        window.GetDrawableSize(&w, &h);
        EXPECT_EQ(w, 320);
        EXPECT_EQ(h, 240);

        core->SetClearColor(0.0f, 0.5f, 1.0f);
        std::vector<uint8_t> frame;
        core->CaptureNextFrame(&frame);
        ASSERT_TRUE(core->Render());
        ASSERT_EQ(frame.size(), 320u * 240u * 4u);
        for (auto xy : {std::pair<int, int>{0, 0}, {319, 239}, {160, 120}}) {
            auto px = PixelAt(frame, 320, 240, xy.first, xy.second);
            EXPECT_EQ(px[0], 0);
            EXPECT_NEAR(px[1], 128, 1);
            EXPECT_EQ(px[2], 255);
        }
        Gfx::GfxEngine::Release();
    }
}

TEST_F(GfxDevice, SceneDrawerRunsBetweenClearAndPresent) {
    D3D9Core* core = StartEngine(64, 64, 0);
    int draws = 0;
    core->SetSceneDrawer([&] { ++draws; });
    core->Render();
    core->Render();
    EXPECT_EQ(draws, 2);
}

TEST(GfxMultisample, SearchTriesNThenTwoLessThenNone) {
    struct Case {
        int asked;
        std::vector<int> offered;
        int result;
        std::vector<int> tried;
    };
    const Case cases[] = {
        {4, {2}, 2, {4, 2}},
        {3, {2, 4}, 0, {3, 1}},
        {8, {}, 0, {8, 6, 4, 2}},
        {8, {6, 8}, 8, {8}},
        {0, {2, 4}, 0, {}},
        {-3, {2}, 0, {}},
    };
    for (const Case& c : cases) {
        std::vector<int> tried;
        const int r = D3D9Core::SearchMultisample(c.asked, [&](int n) {
            tried.push_back(n);
            for (int o : c.offered)
                if (o == n) return true;
            return false;
        });
        EXPECT_EQ(r, c.result) << "asked " << c.asked;
        EXPECT_EQ(tried, c.tried) << "asked " << c.asked;
    }
}

TEST_F(GfxDevice, MultisampleRequestBeyondTheDeviceFallsToWhatItOffers) {
    D3D9Core* core = StartEngine(128, 128, 64);
    const int got = core->GetPresentParams().multiSampleType;
    EXPECT_LE(got, core->GetDevice()->MaxSamples());
    EXPECT_TRUE(got == 0 || core->GetDevice()->SupportsSamples(got));
    EXPECT_EQ(got % 2, 0) << "64, 62, ... stays even";
}

TEST_F(GfxDevice, FailedResetRetriesWithoutMultisamplingThenAt1024x768) {
    D3D9Core* core = StartEngine(640, 480, 0);
    Listener listener;
    core->AddDeviceListener(&listener);
    std::vector<Platform::SurfaceParams> tried;
    core->GetDevice()->SetResetFilter([&](const Platform::SurfaceParams& p) {
        tried.push_back(p);
        return p.width == 1024 && p.height == 768 && p.samples == 0;
    });
    EXPECT_TRUE(core->ToWindowed(4, 1600, 1200, false));
    ASSERT_EQ(tried.size(), 3u);
    EXPECT_EQ(tried[0].width, 1600);
    EXPECT_EQ(tried[0].samples, core->GetDevice()->SupportsSamples(4) ? 4 : 2);
    EXPECT_EQ(tried[1].width, 1600);
    EXPECT_EQ(tried[1].samples, 0);
    EXPECT_EQ(tried[2].width, 1024);
    EXPECT_EQ(core->GetPresentParams().backBufferWidth, 1024);
    EXPECT_EQ(core->GetPresentParams().backBufferHeight, 768);
    // Resources hear of one loss and one reset, however many tries it took.
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"lost", "reset"}));
}

TEST_F(GfxDevice, ResetThatFailsEverywhereKeepsThePreviousModeUsable) {
    D3D9Core* core = StartEngine(320, 240, 0);
    Listener listener;
    core->AddDeviceListener(&listener);
    core->GetDevice()->SetResetFilter([](const Platform::SurfaceParams& p) { return p.width == 320; });
    EXPECT_FALSE(core->ToWindowed(0, 1600, 1200, false));
    EXPECT_EQ(core->GetPresentParams().backBufferWidth, 320);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"lost", "reset"}));
    core->GetDevice()->SetResetFilter(nullptr);
    std::vector<uint8_t> frame;
    core->SetClearColor(1, 0, 0);
    core->CaptureNextFrame(&frame);
    ASSERT_TRUE(core->Render());
    EXPECT_EQ(PixelAt(frame, 320, 240, 5, 5)[0], 255);
}

TEST_F(GfxDevice, SwitchToTheCurrentModeDoesNothingUnlessInitial) {
    D3D9Core* core = StartEngine(320, 240, 0);
    Listener listener;
    core->AddDeviceListener(&listener);
    const int resets = core->GetDevice()->ResetCount();
    EXPECT_FALSE(core->ToWindowed(0, 320, 240, false));
    EXPECT_EQ(core->GetDevice()->ResetCount(), resets);
    EXPECT_TRUE(listener.calls.empty());
    EXPECT_TRUE(core->ToWindowed(0, 320, 240, true));
    EXPECT_EQ(core->GetDevice()->ResetCount(), resets + 1);
    // A different size is a real switch.
    EXPECT_TRUE(core->ToWindowed(0, 400, 300, false));
    int w = 0, h = 0;
    window.GetDrawableSize(&w, &h);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
}

TEST_F(GfxDevice, FullScreenPresentsImmediately) {
    D3D9Core* core = StartEngine(320, 240, 0);
    std::vector<DisplayModeEntry> modes;
    core->GetDisplayModes(modes);
    ASSERT_FALSE(modes.empty()) << "the offscreen display offers a 4:3 mode";
    const DisplayModeEntry m = modes.front();
    ASSERT_TRUE(core->ToFullScreen(0, static_cast<int>(m.width), static_cast<int>(m.height), false));
    EXPECT_FALSE(core->GetPresentParams().windowed);
    EXPECT_FALSE(core->GetPresentParams().vsync);
    EXPECT_FALSE(core->ToFullScreen(0, static_cast<int>(m.width), static_cast<int>(m.height), false))
        << "already in that mode";
    EXPECT_TRUE(core->ToWindowed(0, 320, 240, false));
    EXPECT_TRUE(core->GetPresentParams().vsync);
}

TEST_F(GfxDevice, LostThenResetKeepsEveryResourceUsable) {
    D3D9Core* core = StartEngine(64, 64, 0);
    Listener listener;
    core->AddDeviceListener(&listener);

    const float verts[4] = {1, 2, 3, 4};
    auto vb = core->CreateVertexBuffer(sizeof verts, false, verts);
    auto dyn = core->CreateVertexBuffer(64, true);
    const uint8_t px[4 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 9, 9, 9, 255};
    auto tex = Platform::Texture::FromPixels(2, 2, px, nullptr);
    ASSERT_TRUE(vb && dyn && tex);
    ASSERT_TRUE(core->GetMeshDecl() && core->GetParticleDecl() && core->GetInstanceDecl());

    Platform::GLDevice* dev = core->GetDevice();
    dev->SimulateCooperativeLevel(Platform::CooperativeLevel::DeviceLost);
    EXPECT_FALSE(core->Render());
    EXPECT_FALSE(core->Render());
    EXPECT_TRUE(core->IsDeviceLost());
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"lost"})) << "two lost frames, one notification";

    dev->SimulateCooperativeLevel(Platform::CooperativeLevel::DeviceNotReset);
    core->SetClearColor(0, 1, 0);
    std::vector<uint8_t> frame;
    core->CaptureNextFrame(&frame);
    EXPECT_TRUE(core->Render()) << "the frame after a successful reset draws";
    EXPECT_FALSE(core->IsDeviceLost());
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"lost", "reset"}));
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(PixelAt(frame, 64, 64, 1, 1)[1], 255);

    float back[4] = {};
    ASSERT_TRUE(vb->Read(0, sizeof back, back));
    EXPECT_EQ(back[3], 4.0f);
    EXPECT_GE(dyn->Append(verts, sizeof verts), 0);
    std::vector<uint8_t> texels;
    ASSERT_TRUE(tex->ReadBack(texels));
    EXPECT_EQ(texels[15], 255);
    EXPECT_EQ(texels[12], 9);
}

TEST_F(GfxDevice, ResetFailingTwiceAfterALossPostsAFailureQuit) {
    D3D9Core* core = StartEngine(64, 64, 0);
    Platform::GLDevice* dev = core->GetDevice();
    dev->SetResetFilter([](const Platform::SurfaceParams&) { return false; });
    dev->SimulateCooperativeLevel(Platform::CooperativeLevel::DeviceNotReset);
    EXPECT_FALSE(core->Render());
    EXPECT_TRUE(core->IsDeviceLost()) << "the first failed reset counts as the loss";
    EXPECT_FALSE(core->Render());
    Platform::SdlMessageSource src;
    Platform::Message m;
    bool quit = false;
    while (src.Take(m))
        if (m.kind == Platform::MessageKind::Quit) {
            quit = true;
            EXPECT_NE(m.code, 0) << "a failure never exits with 0";
        }
    EXPECT_TRUE(quit);
}

TEST(GfxDisplayModes, FilterSortAndDeduplicate) {
    auto mode = [](int w, int h, int hz, bool rgb = true) {
        Platform::DisplayMode m;
        m.width = w;
        m.height = h;
        m.refreshRate = hz;
        m.rgb888 = rgb;
        return m;
    };
    std::vector<DisplayModeEntry> list;
    D3D9Core::FilterDisplayModes({mode(1280, 1024, 60), mode(1024, 768, 60), mode(1024, 768, 75), mode(1280, 800, 60),
                                  mode(800, 600, 60), mode(1024, 768, 85)},
                                 list);
    EXPECT_EQ(list, (std::vector<DisplayModeEntry>{{1024, 768}, {1280, 1024}}));

    list.clear();
    D3D9Core::FilterDisplayModes({mode(1920, 1080, 60), mode(1600, 1200, 60), mode(1920, 1440, 60),
                                  mode(1152, 864, 60), mode(1280, 960, 60, false), mode(1400, 1050, 60),
                                  mode(1280, 720, 60)},
                                 list);
    EXPECT_EQ(list, (std::vector<DisplayModeEntry>{{1152, 864}, {1400, 1050}, {1600, 1200}, {1920, 1440}}));

    // Entries already in the list are sorted in with the new ones.
    list = {{1600, 1200}, {1024, 768}};
    D3D9Core::FilterDisplayModes({mode(1024, 768, 60)}, list);
    EXPECT_EQ(list, (std::vector<DisplayModeEntry>{{1024, 768}, {1600, 1200}}));
}

namespace {

// A perspective projection times a view looking down +z from the origin
// (y up), in the row-major, column-vector convention: clip w = view z.
Geometry::Matrix4x4 Perspective(float fovY, float aspect, float zn, float zf) {
    const float f = 1.0f / std::tan(fovY / 2.0f);
    return Geometry::Matrix4x4(f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, zf / (zf - zn), -zn * zf / (zf - zn), 0, 0, 1,
                               0);
}

}  // namespace

TEST(GfxWorldToScreen, Examples) {
    const Geometry::Matrix4x4 vp = Perspective(1.5707964f, 4.0f / 3.0f, 1.0f, 100.0f);
    struct Case {
        Geometry::Vector3 world;
        float x, y;
        bool inFront;
    };
    const Case cases[] = {
        {{0, 0, 10}, 0.5f, 0.5f, true},           // straight ahead: the centre
        {{0, 10, 10}, 0.5f, 0.0f, true},          // 45 degrees up: the top edge
        {{0, -5, 10}, 0.5f, 0.75f, true},         // below: y grows downwards
        {{40.0f / 3.0f, 0, 10}, 1.0f, 0.5f, true},  // the right edge at 4:3
        {{-20.0f / 3.0f, 0, 10}, 0.25f, 0.5f, true},
        // Behind the camera: flagged, and mirrored through the centre.
        {{0, 5, -10}, 0.5f, 0.75f, false},
        {{20.0f / 3.0f, 0, -10}, 0.25f, 0.5f, false},
    };
    for (const Case& c : cases) {
        Geometry::Vector2 s;
        bool front = !c.inFront;
        Gfx::GfxEngine::WorldToScreen(vp, c.world, s, &front);
        EXPECT_NEAR(s.x, c.x, 1e-5f) << c.world.x << " " << c.world.y << " " << c.world.z;
        EXPECT_NEAR(s.y, c.y, 1e-5f) << c.world.x << " " << c.world.y << " " << c.world.z;
        EXPECT_EQ(front, c.inFront);
    }
    // Without the flag, and on the camera plane (no projection) no NaN.
    Geometry::Vector2 s;
    Gfx::GfxEngine::WorldToScreen(vp, {3, 4, 0}, s);
    EXPECT_FALSE(std::isnan(s.x) || std::isnan(s.y));
}
