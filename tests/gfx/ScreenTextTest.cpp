// Screen text drawn for real (offscreen GL) and read back: the measured
// rectangle bounds the drawn pixels; word wrap, alignment and clipping; the
// text manager's groups, ids, one-frame group and fixed boxes; missing
// glyphs; device loss; and the GL state left as it was found.
#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "gfx/D3D9Core.h"
#include "gfx/Font.h"
#include "gfx/GfxEngine.h"
#include "gfx/TextMan.h"
#include "platform/Window.h"
#include "GfxTestSupport.h"
#include "support/TextFrames.h"
#include "utility/Diagnostics.h"

using Gfx::Rect;
using TextFrames::FindInk;
using TextFrames::FontFile;
using TextFrames::Ink;

namespace {

const uint8_t kBlack[3] = {0, 0, 0};
constexpr uint32_t kWhite = 0xFFFFFFFFu;

class ScreenText : public ::testing::Test {
protected:
    static constexpr int W = 320, H = 240;
    void SetUp() override {
        std::string err;
        Gfx::GfxEngine* engine = GfxTest::OpenEngine(window, W, H, &err);
        ASSERT_NE(engine, nullptr) << err;
        core = engine->GetCore();
        core->SetLostSleepMs(0);
        core->SetClearColor(0, 0, 0);
        text.reset(new Gfx::TextMan(core));
        ASSERT_TRUE(text->GetSprite());
        text->LoadFont(1, FontFile("DejaVuSans.ttf"), "DejaVu Sans", 20, 0);
        ASSERT_TRUE(text->RequestFont(1, font) && font);
    }
    void TearDown() override {
        font.reset();
        text.reset();
        Gfx::GfxEngine::Release();
        window.Destroy();
        Platform::ShutdownVideo();
    }
    // One frame with draw() between clear and present; the frame read back.
    std::vector<uint8_t> Frame(const std::function<void()>& draw) {
        std::vector<uint8_t> frame;
        core->SetSceneDrawer(draw);
        core->CaptureNextFrame(&frame);
        EXPECT_TRUE(core->Render());
        core->SetSceneDrawer(nullptr);
        return frame;
    }
    // Draws with the font straight on the text manager's sprite.
    std::vector<uint8_t> DrawFrame(const std::string& s, Rect r, unsigned format) {
        return Frame([&] {
            Gfx::Sprite* sp = text->GetSprite().get();
            sp->Begin(Gfx::Sprite::kAlphaBlend, W, H);
            font->DrawText(sp, s, -1, &r, format, kWhite);
            sp->End();
        });
    }
    Ink InkOf(const std::vector<uint8_t>& f) { return FindInk(f, W, H, kBlack); }

    Platform::Window window;
    Gfx::D3D9Core* core = nullptr;
    std::unique_ptr<Gfx::TextMan> text;
    std::shared_ptr<Gfx::Font> font;
};

}  // namespace

// What CALCRECT measures is where the text lands: every drawn pixel lies
// inside the measured rectangle, and the ink reaches near each of its sides.
TEST_F(ScreenText, MeasuredRectangleHoldsTheDrawnPixels) {
    struct Case {
        const char* name;
        const char* text;
        unsigned format;
        Rect box;  // given to CALCRECT
    };
    const Case cases[] = {
        {"left", "Fire Friend flag taken!", 0, {20, 30, 20, 30}},
        {"centred", "Score tied: 1-1", Gfx::DT_CENTER, {160, 100, 160, 100}},
        {"right", "Zezuz Idad lead: 2-1", Gfx::DT_RIGHT, {300, 50, 300, 50}},
        {"two lines", "You got him!\nHe got you!", 0, {10, 10, 10, 10}},
        {"wrapped", "Cloud Kid flag recovered by the quick brown fox", Gfx::DT_WORDBREAK, {40, 20, 200, 20}},
        {"accents and digits", "Ça été 0123456789 jq", 0, {5, 150, 5, 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rect r = c.box;
        const int h = font->DrawText(nullptr, c.text, -1, &r, c.format | Gfx::DT_CALCRECT, 0);
        EXPECT_EQ(h, r.Height());
        EXPECT_GT(r.Width(), 0);
        EXPECT_EQ(r.top, c.box.top) << "measuring keeps the top";
        if (c.format & Gfx::DT_WORDBREAK) {
            EXPECT_LE(r.Width(), c.box.Width());
            EXPECT_GE(h, 2 * font->LineHeight()) << "the sentence does not fit one line";
        }
        const auto frame = DrawFrame(c.text, r, c.format | Gfx::DT_NOCLIP);
        TextFrames::SavePng(std::string("text_measured_") + c.name, frame, W, H);
        const Ink ink = InkOf(frame);
        ASSERT_FALSE(ink.Empty());
        EXPECT_GE(ink.left, r.left);
        EXPECT_GE(ink.top, r.top);
        EXPECT_LE(ink.right, r.right);
        EXPECT_LE(ink.bottom, r.bottom);
        // Not a loose box either: the ink comes within a few pixels of the sides
        // (the descent of the last line may be empty, so the bottom is looser).
        EXPECT_LE(ink.left - r.left, 3);
        EXPECT_LE(r.right - ink.right, 3);
        EXPECT_LE(ink.top - r.top, 6);
        EXPECT_LE(r.bottom - ink.bottom, font->LineHeight() / 2);
    }
}

// Placement inside a given box: alignment, vertical centring, word wrap and clipping.
TEST_F(ScreenText, WrapCentreAndClipInABox) {
    const Rect box{60, 60, 260, 180};  // 200 x 120
    const int lh = font->LineHeight();
    struct Case {
        const char* name;
        const char* text;
        unsigned format;
        std::function<void(const Ink&)> check;
    };
    const Case cases[] = {
        {"left top", "Win!", 0,
         [&](const Ink& k) {
             EXPECT_NEAR(k.left, box.left, 2);
             EXPECT_NEAR(k.top, box.top, 6);
         }},
        {"centred", "Win!", Gfx::DT_CENTER,
         [&](const Ink& k) { EXPECT_NEAR((k.left + k.right) / 2.0, (box.left + box.right) / 2.0, 2.0); }},
        {"right", "Win!", Gfx::DT_RIGHT, [&](const Ink& k) { EXPECT_NEAR(k.right, box.right, 2); }},
        {"vertically centred", "Win!", Gfx::DT_VCENTER,
         [&](const Ink& k) { EXPECT_NEAR((k.top + k.bottom) / 2.0, (box.top + box.bottom) / 2.0, lh / 3.0); }},
        {"bottom", "Win!", Gfx::DT_BOTTOM, [&](const Ink& k) { EXPECT_NEAR(k.bottom, box.bottom, lh / 3.0 + 1); }},
        {"wrapped stays in the width", "one two three four five six seven eight nine ten", Gfx::DT_WORDBREAK,
         [&](const Ink& k) {
             EXPECT_GE(k.left, box.left);
             EXPECT_LE(k.right, box.right);
             EXPECT_GE(k.bottom - k.top, 2 * lh) << "several lines";
         }},
        {"unwrapped runs past the box", "one two three four five six seven eight nine ten", Gfx::DT_NOCLIP,
         [&](const Ink& k) {
             EXPECT_GT(k.right, box.right + 20);
             EXPECT_LT(k.bottom - k.top, lh + 2) << "one line";
         }},
        {"clipped to the box", "one two three four five six seven eight nine ten", 0,
         [&](const Ink& k) {
             EXPECT_GE(k.left, box.left);
             EXPECT_LE(k.right, box.right);
             EXPECT_GE(k.right, box.right - 12) << "drawn up to the edge";
         }},
        {"clipped at the bottom", "a\nb\nc\nd\ne\nf\ng\nh", 0,
         [&](const Ink& k) { EXPECT_LE(k.bottom, box.bottom); }},
        {"not clipped at the bottom", "a\nb\nc\nd\ne\nf\ng\nh", Gfx::DT_NOCLIP,
         [&](const Ink& k) { EXPECT_GT(k.bottom, box.bottom + lh); }},
        {"wrapped and centred both ways", "Cloud Kid flag returned to base",
         Gfx::DT_WORDBREAK | Gfx::DT_CENTER | Gfx::DT_VCENTER,
         [&](const Ink& k) {
             EXPECT_NEAR((k.left + k.right) / 2.0, (box.left + box.right) / 2.0, 3.0);
             EXPECT_NEAR((k.top + k.bottom) / 2.0, (box.top + box.bottom) / 2.0, lh / 3.0);
         }},
        {"word wider than the box keeps its line", "Supercalifragilisticexpialidocious x", Gfx::DT_WORDBREAK | 0,
         [&](const Ink& k) { EXPECT_LE(k.right, box.right) << "clipped, not broken mid-word"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto frame = DrawFrame(c.text, box, c.format);
        const Ink ink = InkOf(frame);
        ASSERT_FALSE(ink.Empty());
        c.check(ink);
    }
    // The measured lines of the wrapped sentence: every line fits, and the
    // same text in a wider box takes fewer lines.
    Rect narrow{0, 0, 120, 0}, wide{0, 0, 300, 0};
    const std::string s = "one two three four five six seven eight nine ten";
    const int hn = font->DrawText(nullptr, s, -1, &narrow, Gfx::DT_WORDBREAK | Gfx::DT_CALCRECT, 0);
    const int hw = font->DrawText(nullptr, s, -1, &wide, Gfx::DT_WORDBREAK | Gfx::DT_CALCRECT, 0);
    EXPECT_LE(narrow.Width(), 120);
    EXPECT_GT(hn, hw);
    EXPECT_EQ(hn % lh, 0);
    // A word wider than the box widens the measured box rather than being cut.
    Rect tiny{0, 0, 10, 0};
    font->DrawText(nullptr, "Supercalifragilistic", -1, &tiny, Gfx::DT_WORDBREAK | Gfx::DT_CALCRECT, 0);
    EXPECT_GT(tiny.Width(), 100);
    EXPECT_EQ(tiny.Height(), lh);
}

TEST_F(ScreenText, GroupAndTextIdsCountOnAndMissingOnesAreRefused) {
    EXPECT_EQ(text->CreateTextGroup(), 1);
    EXPECT_EQ(text->CreateTextGroup(), 2);
    EXPECT_TRUE(text->RemoveTextGroup(1));
    EXPECT_FALSE(text->RemoveTextGroup(1));
    EXPECT_EQ(text->CreateTextGroup(), 3) << "never 1 again";

    for (int i = 1; i <= 4; ++i) EXPECT_EQ(text->CreateText(1, "a", {0, 0}, {}, 0, 3), i);
    EXPECT_EQ(text->CreateText(1, "b", {0, 0}, {}, 0, 2), 5) << "ids are shared by all groups";
    Gfx::TextEntry* e = nullptr;
    EXPECT_TRUE(text->GetText(2, 5, e));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->text, "b");
    Gfx::TextEntry* missing = e;
    EXPECT_FALSE(text->GetText(2, 4, missing));
    EXPECT_FALSE(text->GetText(9, 5, missing));
    EXPECT_EQ(missing, e) << "the out value is left alone";

    // A text in a group nobody made makes the group, hidden.
    text->CreateText(1, "x", {0, 0}, {}, 0, 7);
    EXPECT_TRUE(text->HasGroup(7));
    EXPECT_FALSE(text->IsGroupVisible(7));
    EXPECT_TRUE(text->IsGroupVisible(3));

    // A missing font: false, out untouched; the text keeps an empty font.
    std::shared_ptr<Gfx::Font> f = font;
    EXPECT_FALSE(text->RequestFont(42, f));
    EXPECT_EQ(f, font);
    const int id = text->CreateText(42, "nothing", {0.5f, 0.5f}, {1, 1, 1, 1}, 0, 3);
    ASSERT_TRUE(text->GetText(3, id, e));
    EXPECT_FALSE(e->font);

    // Loading an id again keeps the second font; an unreadable file leaves an empty one.
    text->LoadFont(3, FontFile("DejaVuSans.ttf"), "DejaVu Sans", 12, 0);
    text->LoadFont(3, FontFile("DejaVuSans-Bold.ttf"), "DejaVu Sans", 30, 1);
    ASSERT_TRUE(text->RequestFont(3, f) && f);
    EXPECT_EQ(f->Size(), 30);
    std::vector<std::string> warned;
    Utility::SetProblemSink([&](Utility::Severity, const std::string& m) { warned.push_back(m); });
    text->LoadFont(4, "Fonts/NoSuchFont.ttf", "Nope", 12, 0);
    Utility::SetProblemSink(nullptr);
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_NE(warned[0].find("NoSuchFont.ttf"), std::string::npos);
    EXPECT_TRUE(text->RequestFont(4, f));
    EXPECT_FALSE(f);
    text->CreateText(4, "no font", {0.5f, 0.5f}, {1, 1, 1, 1}, 0, 3);
    EXPECT_TRUE(InkOf(Frame([&] { text->Render(); })).Empty()) << "entries without a font draw nothing";
}

TEST_F(ScreenText, GroupZeroLastsOneFrameAndHiddenThingsAreNotDrawn) {
    // Made before anything was drawn, a text of group 0 shows in the next frame only.
    text->CreateText(1, "Now", {0.1f, 0.5f}, {1, 1, 1, 1}, Gfx::DT_NOCLIP, 0);
    EXPECT_FALSE(InkOf(Frame([&] { text->Render(); })).Empty());
    EXPECT_TRUE(InkOf(Frame([&] { text->Render(); })).Empty());
    text->CreateText(1, "Again", {0.1f, 0.5f}, {1, 1, 1, 1}, Gfx::DT_NOCLIP, 0);
    EXPECT_FALSE(InkOf(Frame([&] { text->Render(); })).Empty());
    EXPECT_TRUE(InkOf(Frame([&] { text->Render(); })).Empty());

    // Alpha 0 is skipped before measuring; a hidden group is not drawn.
    const int g = text->CreateTextGroup();
    const int id = text->CreateText(1, "Ghost", {0.1f, 0.5f}, {1, 1, 1, 0}, Gfx::DT_NOCLIP, g);
    text->CreateText(1, "Hidden", {0.1f, 0.2f}, {1, 1, 1, 1}, Gfx::DT_NOCLIP, 99);
    EXPECT_TRUE(InkOf(Frame([&] { text->Render(); })).Empty());
    Gfx::TextEntry* e = nullptr;
    ASSERT_TRUE(text->GetText(g, id, e));
    EXPECT_TRUE(e->layoutDirty) << "not measured";
    e->colour.a = 1;
    EXPECT_FALSE(InkOf(Frame([&] { text->Render(); })).Empty());
    EXPECT_FALSE(e->layoutDirty);
}

TEST_F(ScreenText, EntryRectanglesFromBoxesAndFromMeasuring) {
    Gfx::TextEntry e;
    e.font = font;
    e.SetSize(0.5f, 0.1f);
    EXPECT_EQ(e.format & (Gfx::DT_VCENTER | Gfx::DT_WORDBREAK), Gfx::DT_VCENTER | Gfx::DT_WORDBREAK);
    e.Layout(nullptr, 1024, 768);
    EXPECT_EQ(e.rect, (Rect{-256, -38, 256, 38}));

    // Measured: starts at the position, centred on it vertically (integer halves).
    for (int size : {20, 21}) {
        text->LoadFont(5, FontFile("DejaVuSans.ttf"), "DejaVu Sans", size, 0);
        Gfx::TextEntry m;
        ASSERT_TRUE(text->RequestFont(5, m.font));
        m.text = "Score";
        Rect measured;
        m.font->DrawText(nullptr, m.text, -1, &measured, Gfx::DT_CALCRECT, 0);
        m.Layout(nullptr, 1024, 768);
        const int hgt = measured.bottom;
        EXPECT_EQ(m.rect, (Rect{0, -(hgt / 2), measured.right, hgt - hgt / 2})) << "height " << hgt;
    }
    // Reset forgets the box and the transform.
    e.SetScale(2, 2);
    e.SetRotation(1);
    e.Reset();
    EXPECT_FALSE(e.fixedSize);
    EXPECT_EQ(e.scale.x, 1.0f);
    EXPECT_EQ(e.rotation, 0.0f);
    EXPECT_EQ(Gfx::PackColor({0.5f, 1.0f, 0.0f, 0.5f}), 0x7F7FFF00u) << "truncated, not rounded";
    // Out of range channels are clamped instead of wrapping into the next one.
    EXPECT_EQ(Gfx::PackColor({1.5f, -0.2f, std::nanf(""), 2.0f}), 0xFFFF0000u);
}

// Position, scale and rotation of an entry place its pixels; a fixed box
// wraps and centres the text on the position.
TEST_F(ScreenText, EntriesArePlacedScaledRotatedAndBoxed) {
    const int g = text->CreateTextGroup();
    const int id = text->CreateText(1, "Flag", {0.5f, 0.5f}, {1, 1, 1, 1}, Gfx::DT_NOCLIP | Gfx::DT_CENTER, g);
    Gfx::TextEntry* e = nullptr;
    ASSERT_TRUE(text->GetText(g, id, e));
    const Ink plain = InkOf(Frame([&] { text->Render(); }));
    ASSERT_FALSE(plain.Empty());
    EXPECT_NEAR((plain.left + plain.right) / 2.0, W / 2.0, 2.0) << "centred text sits on its position";
    EXPECT_NEAR((plain.top + plain.bottom) / 2.0, H / 2.0, 4.0);

    e->SetScale(2, 2);
    const Ink big = InkOf(Frame([&] { text->Render(); }));
    EXPECT_NEAR(big.right - big.left, 2 * (plain.right - plain.left), 4);
    EXPECT_NEAR(big.bottom - big.top, 2 * (plain.bottom - plain.top), 4);

    e->SetScale(1, 1);
    e->SetRotation(3.14159265f / 2);
    const auto turnedFrame = Frame([&] { text->Render(); });
    TextFrames::SavePng("text_rotated", turnedFrame, W, H);
    const Ink turned = InkOf(turnedFrame);
    EXPECT_NEAR(turned.bottom - turned.top, plain.right - plain.left, 3) << "a quarter turn stands the word up";
    EXPECT_NEAR(turned.right - turned.left, plain.bottom - plain.top, 3);

    e->SetRotation(0);
    e->SetPosition(0.25f, 0.25f);
    const Ink moved = InkOf(Frame([&] { text->Render(); }));
    EXPECT_NEAR((moved.left + moved.right) / 2.0, W / 4.0, 2.0);

    // A box of half the width: the long caption wraps inside it, centred on the position.
    e->text = "Duzu Radizev win the match with a late capture";
    e->SetPosition(0.5f, 0.5f);
    e->SetSize(0.5f, 0.5f);
    const auto boxFrame = Frame([&] { text->Render(); });
    TextFrames::SavePng("text_boxed", boxFrame, W, H);
    const Ink boxed = InkOf(boxFrame);
    EXPECT_GE(boxed.left, W / 4 - 1);
    EXPECT_LE(boxed.right, 3 * W / 4 + 1);
    EXPECT_GE(boxed.bottom - boxed.top, 2 * font->LineHeight());
    EXPECT_NEAR((boxed.top + boxed.bottom) / 2.0, H / 2.0, font->LineHeight() / 2.0);
}

TEST_F(ScreenText, MissingGlyphsDrawABoxAndBadUtf8DoesNoHarm) {
    ASSERT_FALSE(font->HasGlyph(0x4E2D)) << "the test needs a character DejaVu Sans lacks";
    EXPECT_TRUE(font->HasGlyph(0xE9));
    const std::string lacking = "\xE4\xB8\xAD";  // U+4E2D in UTF-8
    Rect r{100, 100, 100, 100};
    font->DrawText(nullptr, lacking, -1, &r, Gfx::DT_CALCRECT, 0);
    EXPECT_GT(r.Width(), 3);
    const auto frame = DrawFrame(lacking, r, Gfx::DT_NOCLIP);
    TextFrames::SavePng("text_missing_glyph", frame, W, H);
    const Ink ink = InkOf(frame);
    ASSERT_FALSE(ink.Empty());
    EXPECT_GE(ink.right - ink.left, 4);
    EXPECT_GE(ink.bottom - ink.top, 6);
    // A box: its middle is empty.
    const int cx = (ink.left + ink.right) / 2, cy = (ink.top + ink.bottom) / 2;
    EXPECT_LT(TextFrames::Pixel(frame, W, H, cx, cy)[0], 40);

    // Broken sequences, a lone continuation byte, a surrogate, a cut-off tail,
    // an embedded zero: drawn as something, never read past the end.
    const std::string bad[] = {"\xC3", "a\x80z", "\xED\xA0\x80", "ok\xF0\x9F\x98", std::string("a\0b", 3),
                               "\xFF\xFE", "\xC0\xAF"};
    for (const std::string& s : bad) {
        Rect m{};
        font->DrawText(nullptr, s, -1, &m, Gfx::DT_CALCRECT, 0);
        EXPECT_GT(m.Width(), 0) << "bytes " << s.size();
        Rect d{10, 10, 10, 10};
        DrawFrame(s, d, Gfx::DT_NOCLIP);
    }
    // A count shorter than the string draws only its start.
    Rect whole{}, part{};
    font->DrawText(nullptr, "Score", -1, &whole, Gfx::DT_CALCRECT, 0);
    font->DrawText(nullptr, "Score", 2, &part, Gfx::DT_CALCRECT, 0);
    EXPECT_LT(part.Width(), whole.Width());
    Rect none{};
    EXPECT_EQ(font->DrawText(nullptr, "", -1, &none, Gfx::DT_CALCRECT, 0), 0);
}

TEST_F(ScreenText, DeviceLossAndResetKeepTheEntries) {
    const int g = text->CreateTextGroup();
    text->CreateText(1, "Battery", {0.2f, 0.5f}, {1, 1, 1, 1}, Gfx::DT_NOCLIP, g);
    const Ink before = InkOf(Frame([&] { text->Render(); }));
    ASSERT_FALSE(before.Empty());
    EXPECT_NE(font->AtlasTexture(), 0u);

    core->GetDevice()->SimulateCooperativeLevel(Platform::CooperativeLevel::DeviceLost);
    EXPECT_FALSE(core->Render());
    EXPECT_EQ(font->AtlasTexture(), 0u) << "the atlas texture goes with the device";
    EXPECT_FALSE(text->GetSprite()->InBatch());
    core->GetDevice()->SimulateCooperativeLevel(Platform::CooperativeLevel::DeviceNotReset);
    const Ink after = InkOf(Frame([&] { text->Render(); }));
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.count, before.count);
}

// Whatever GL state the previous drawer left, text drawing leaves it so.
TEST_F(ScreenText, DrawingTextLeavesTheGLStateAsItWas) {
    GLuint vao = 0, buf = 0, tex = 0, sampler = 0;
    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &buf);
    glGenTextures(1, &tex);
    glGenSamplers(1, &sampler);
    const int g = text->CreateTextGroup();
    text->CreateText(1, "State", {0.2f, 0.5f}, {1, 1, 1, 1}, Gfx::DT_NOCLIP, g);
    const auto frame = Frame([&] {
        GLint deviceVao = 0;
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceVao);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, buf);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, tex);
        glBindSampler(0, sampler);
        glActiveTexture(GL_TEXTURE3);
        glDisable(GL_BLEND);
        glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_DST_ALPHA, GL_ONE);
        glBlendEquationSeparate(GL_FUNC_SUBTRACT, GL_MAX);
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glEnable(GL_CULL_FACE);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, W, H);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 8);

        text->Render();

        GLint v = 0;
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &v);
        EXPECT_EQ(static_cast<GLuint>(v), vao);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &v);
        EXPECT_EQ(static_cast<GLuint>(v), buf);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &v);
        EXPECT_EQ(v, GL_TEXTURE3);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &v);
        EXPECT_EQ(static_cast<GLuint>(v), tex);
        glGetIntegerv(GL_SAMPLER_BINDING, &v);
        EXPECT_EQ(static_cast<GLuint>(v), sampler);
        glGetIntegerv(GL_CURRENT_PROGRAM, &v);
        EXPECT_EQ(v, 0);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        glGetIntegerv(GL_BLEND_SRC_RGB, &v);
        EXPECT_EQ(v, GL_ONE);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &v);
        EXPECT_EQ(v, GL_ONE);
        glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &v);
        EXPECT_EQ(v, GL_MAX);
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
        GLboolean mask[4];
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_FALSE(mask[3]);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &v);
        EXPECT_EQ(v, 8);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        // Put the device's own state back for the present.
        glBindVertexArray(static_cast<GLuint>(deviceVao));
        glBindSampler(0, 0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    });
    EXPECT_FALSE(InkOf(frame).Empty()) << "the text was drawn in spite of the state it met";
    glDeleteSamplers(1, &sampler);
    glDeleteTextures(1, &tex);
    glDeleteBuffers(1, &buf);
    glDeleteVertexArrays(1, &vao);
}

// All text of a frame is one batch, grouped by font atlas: entries of two
// fonts interleaved cost two draws, and a text's shadow stays under it.
TEST_F(ScreenText, OneBatchAFrameGroupedByFont) {
    text->LoadFont(2, FontFile("DejaVuSans-Bold.ttf"), "DejaVu Sans", 20, 1);
    const int g = text->CreateTextGroup();
    const float ys[] = {0.2f, 0.4f, 0.6f, 0.8f};
    for (int i = 0; i < 4; ++i)
        text->CreateText(1 + (i % 2), "Cloud Kid", {0.1f, ys[i]}, {1, 1, 1, 1}, Gfx::DT_NOCLIP, g);
    // A shadow right under its text: only the text, drawn last, shows.
    text->CreateShadowedText(1, "Shadowed", {0.6f, 0.5f}, {0, 0, 1, 1}, g, {0.0f, 0.0f}, {1, 0, 0, 1});
    const int before = text->GetSprite()->DrawCalls();
    const auto frame = Frame([&] { text->Render(); });
    EXPECT_EQ(text->GetSprite()->DrawCalls() - before, 2);
    TextFrames::SavePng("text_batched", frame, W, H);
    const Ink ink = FindInk(frame, W, H, kBlack, 40, W / 2, 0, W, H);
    ASSERT_FALSE(ink.Empty());
    int blue = 0, red = 0;
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x) {
            auto p = TextFrames::Pixel(frame, W, H, x, y);
            if (p[2] > 200) ++blue;
            if (p[0] > 100) ++red;
        }
    EXPECT_GT(blue, 50);
    EXPECT_EQ(red, 0) << "the shadow is drawn first, under the text";
}
