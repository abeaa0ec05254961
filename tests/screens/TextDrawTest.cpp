// A text object under a text effect, drawn for real (offscreen GL) frame by
// frame: its pixels move, grow, change colour and fade as the effect says.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "gfx/D3D9Core.h"
#include "gfx/GfxEngine.h"
#include "gfx/TextMan.h"
#include "platform/Window.h"
#include "gfx/GfxTestSupport.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "support/TextFrames.h"

using TextFrames::FindInk;
using TextFrames::Ink;

namespace {

const uint8_t kBlack[3] = {0, 0, 0};

class DrawnText : public ::testing::Test {
protected:
    static constexpr int W = 400, H = 300;
    void SetUp() override {
        std::string err;
        Gfx::GfxEngine* engine = GfxTest::OpenEngine(window, W, H, &err);
        ASSERT_NE(engine, nullptr) << err;
        core = engine->GetCore();
        core->SetClearColor(0, 0, 0);
        gfx.reset(new Gfx::TextMan(core));
        gfx->LoadFont(5, TextFrames::FontFile("DejaVuSans-Bold.ttf"), "DejaVu Sans", 24, 1);
        core->SetSceneDrawer([this] { gfx->Render(); });
    }
    void TearDown() override {
        GameLogicView::ClearTextEffects();
        gfx.reset();
        Gfx::GfxEngine::Release();
        window.Destroy();
        Platform::ShutdownVideo();
    }
    std::vector<uint8_t> Frame() {
        std::vector<uint8_t> f;
        core->CaptureNextFrame(&f);
        EXPECT_TRUE(core->Render());
        return f;
    }
    Platform::Window window;
    Gfx::D3D9Core* core = nullptr;
    std::unique_ptr<Gfx::TextMan> gfx;
};

// The brightest red of the ink and the green and alpha-faded level beside it.
std::vector<int> Reddest(const std::vector<uint8_t>& f, int w, int h) {
    std::vector<int> best{0, 0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto p = TextFrames::Pixel(f, w, h, x, y);
            if (p[0] > best[0]) best = {p[0], p[1], p[2]};
        }
    return best;
}

}  // namespace

TEST_F(DrawnText, AnEffectMovesGrowsRecoloursAndFadesTheDrawnText) {
    GameLogicView::TextMan::Instance().LoadEffectsText(
        "Slide Init Move 0.25 0.5 Color 1 1 1 Alpha 1 "
        "Begin Move 0.75 0.5 1000 Scale 2 2 1000 Color 1 0 0 1000 "
        "WhenDone Alpha 0 500 End");
    auto t = GameLogicView::CreateTextObj();
    t->SetFontId(5);
    t->SetText("Score!");
    t->AddFormat(Gfx::DT_CENTER);
    t->BuildText();
    ASSERT_TRUE(GameLogicView::RunTextEffect(t, "Slide"));

    struct Sample {
        unsigned advance;  // ms before this frame
        double centreX;    // fraction of the width
        double width;      // times the width at scale 1
        int green;         // of the reddest pixel (white fades to red)
        int red;
    };
    const Sample samples[] = {
        {0, 0.25, 1.0, 255, 255},
        {500, 0.5, 1.5, 127, 255},
        {500, 0.75, 2.0, 0, 255},
        {250, 0.75, 2.0, 0, 127},  // half faded
    };
    double baseWidth = 0;
    int n = 0;
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.centreX);
        GameLogicView::UpdateTextEffects(s.advance);
        const auto f = Frame();
        TextFrames::SavePng("text_effect_" + std::to_string(n++), f, W, H);
        const Ink ink = FindInk(f, W, H, kBlack, 20);
        ASSERT_FALSE(ink.Empty());
        if (baseWidth == 0) baseWidth = ink.right - ink.left;
        EXPECT_NEAR((ink.left + ink.right) / 2.0 / W, s.centreX, 0.01);
        EXPECT_NEAR((ink.top + ink.bottom) / 2.0 / H, 0.5, 0.02);
        EXPECT_NEAR((ink.right - ink.left) / baseWidth, s.width, 0.06);
        const auto p = Reddest(f, W, H);
        EXPECT_NEAR(p[0], s.red, 6);
        EXPECT_NEAR(p[1], s.green * s.red / 255, 6);
    }
    GameLogicView::UpdateTextEffects(250);
    EXPECT_TRUE(FindInk(Frame(), W, H, kBlack, 0).Empty()) << "faded out";
}

// The shipped effects place the cue kinds that may show together in bands
// of their own, centred, on screen, with the cue manager's colours and shadow.
TEST_F(DrawnText, TheShippedCuesShowInBandsOfTheirOwn) {
    ASSERT_TRUE(GameLogicView::LoadTextEffects("Config/Text/effects.txt"));
    core->SetClearColor(0.5f, 0.5f, 0.5f);
    const uint8_t grey[3] = {128, 128, 128};
    struct Cue {
        const char* effect;
        const char* text;
        int size;
    };
    // Font sizes as the asset files give them for 1024 x 768, scaled to this 400 x 300 screen.
    const Cue cues[] = {
        {"CueScoreUpdateEntry", "Zezuz Idad lead: 2-1", 18 * 300 / 768},
        {"CueNormalEntry", "Cloud Kid flag taken!", 26 * 300 / 768},
        {"CueHighEntry", "You got him!", 30 * 300 / 768},
    };
    std::vector<std::shared_ptr<GameLogicView::TextObj>> shown;
    std::vector<Ink> bands;
    int id = 20;
    for (const Cue& c : cues) {
        SCOPED_TRACE(c.effect);
        gfx->LoadFont(id, TextFrames::FontFile("DejaVuSans-Bold.ttf"), "DejaVu Sans", c.size, 1);
        auto t = GameLogicView::CreateTextObj();
        t->SetColor({0, 0, 0.9f, 1});
        t->AddFormat(Gfx::DT_CENTER);
        t->SetFontId(id++);
        t->SetShadowOffset({0.002f, 0.002f});
        t->SetShadowColor({0, 0, 0, 0.75f});
        t->SetText(c.text);
        t->BuildText();
        ASSERT_TRUE(GameLogicView::RunTextEffect(t, c.effect));
        for (int i = 0; i < 25; ++i) GameLogicView::UpdateTextEffects(20);
        // Alone on screen, to find its band.
        for (auto& other : shown) other->SetAlpha(0);
        const Ink ink = FindInk(Frame(), W, H, grey, 30);
        ASSERT_FALSE(ink.Empty());
        EXPECT_NEAR((ink.left + ink.right) / 2.0, W / 2.0, 3.0);
        EXPECT_GT(ink.left, 0);
        EXPECT_LT(ink.right, W);
        for (const Ink& b : bands) EXPECT_TRUE(ink.bottom <= b.top || ink.top >= b.bottom) << "bands overlap";
        bands.push_back(ink);
        for (auto& other : shown) other->SetAlpha(1);
        shown.push_back(t);
    }
    TextFrames::SavePng("text_cues", Frame(), W, H);
}

// The respawn countdown as shipped: it starts three times its size and
// settles, centred where its effect puts it.
TEST_F(DrawnText, TheRespawnCountdownSettlesInTheMiddle) {
    ASSERT_TRUE(GameLogicView::LoadTextEffects("Config/Text/effects.txt"));
    gfx->LoadFont(8, TextFrames::FontFile("DejaVuSans-Bold.ttf"), "DejaVu Sans", 48 * H / 768, 1);
    auto t = GameLogicView::CreateTextObjWithEffect("SpawnCountdown");
    t->SetFontId(8);
    t->AddFormat(Gfx::DT_CENTER);
    t->SetShadowOffset({0.003f, 0.003f});
    t->SetShadowColor({0, 0, 0, 0.6f});
    t->SetColor({1, 1, 1, 1});
    t->SetText("3");
    t->BuildText();
    core->SetClearColor(0.3f, 0.5f, 0.3f);
    const uint8_t bg[3] = {77, 128, 77};
    std::vector<int> heights;
    for (int frame = 0; frame < 10; ++frame) {
        GameLogicView::UpdateTextEffects(20);
        if (frame < 3) continue;  // still fading in
        const auto f = Frame();
        if (frame == 3) TextFrames::SavePng("text_countdown", f, W, H);
        const Ink ink = FindInk(f, W, H, bg, 30);
        ASSERT_FALSE(ink.Empty());
        EXPECT_NEAR((ink.left + ink.right) / 2.0 / W, 0.5, 0.02);
        EXPECT_NEAR((ink.top + ink.bottom) / 2.0 / H, 0.42, 0.03);
        heights.push_back(ink.bottom - ink.top);
    }
    // Scale 2.15 at 80 ms, 1.4 from 150 ms on.
    EXPECT_NEAR(static_cast<double>(heights.front()) / heights.back(), 2.15 / 1.4, 0.15) << "it shrinks as it settles";
}
