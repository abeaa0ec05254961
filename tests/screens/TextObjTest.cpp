// Text objects mirrored into the graphics text manager's entries: one or two
// entries, the alpha rule of text and shadow, rebuilds, text boxes, and a
// manager that goes first.
#include <gtest/gtest.h>

#include <memory>

#include "gfx/TextMan.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "support/TextFrames.h"

using GameLogicView::TextObj;

namespace {

// The graphics text manager without a device: entries and groups work, nothing is drawn.
class TextObjects : public ::testing::Test {
protected:
    void SetUp() override {
        gfx.reset(new Gfx::TextMan(nullptr));
        gfx->LoadFont(3, TextFrames::FontFile("DejaVuSans.ttf"), "DejaVu Sans", 16, 0);
    }
    std::shared_ptr<TextObj> Built(const std::string& s, Geometry::Vector2 shadow = {}) {
        auto t = GameLogicView::CreateTextObj();
        t->SetFontId(3);
        t->SetText(s);
        t->SetShadowOffset(shadow);
        t->BuildText();
        return t;
    }
    std::unique_ptr<Gfx::TextMan> gfx;
};

}  // namespace

TEST_F(TextObjects, APlainTextIsOneBlackOpaqueUnclippedEntry) {
    auto t = Built("Go");
    ASSERT_NE(t->GetTextGroupId(), 0);
    EXPECT_EQ(gfx->GroupSize(t->GetTextGroupId()), 1u);
    Gfx::TextEntry* e = t->GetTextEntry();
    ASSERT_TRUE(e);
    EXPECT_FALSE(t->GetShadowEntry());
    EXPECT_EQ(e->text, "Go");
    EXPECT_EQ(e->colour, Gfx::Color4(0, 0, 0, 1));
    EXPECT_EQ(e->position, Geometry::Vector2(0, 0));
    EXPECT_EQ(e->format, Gfx::DT_NOCLIP);
    EXPECT_TRUE(e->font);
}

TEST_F(TextObjects, AShadowIsASecondEntryBehindAndBesideTheText) {
    auto t = Built("Menu", {0.002f, 0.002f});
    t->SetPosition({0.4f, 0.3f});
    Gfx::TextEntry* e = t->GetTextEntry();
    Gfx::TextEntry* s = t->GetShadowEntry();
    ASSERT_TRUE(e && s);
    EXPECT_EQ(gfx->GroupSize(t->GetTextGroupId()), 2u);
    EXPECT_NEAR(s->position.x - e->position.x, 0.002f, 1e-6);
    EXPECT_NEAR(s->position.y - e->position.y, 0.002f, 1e-6);
    // The shadow was made first, so it has the lower id and is drawn under the text.
    Gfx::TextEntry* first = nullptr;
    ASSERT_TRUE(gfx->GetText(t->GetTextGroupId(), gfx->LastTextId() - 1, first));
    EXPECT_EQ(first, s);

    // The offset moves both; scale and rotation reach both.
    t->SetOffset({0.1f, 0.0f});
    EXPECT_FLOAT_EQ(e->position.x, 0.5f);
    EXPECT_FLOAT_EQ(s->position.x, 0.502f);
    t->SetScale(2, 3);
    t->SetRotation(0.5f);
    EXPECT_EQ(s->scale, Geometry::Vector2(2, 3));
    EXPECT_EQ(e->rotation, 0.5f);
    EXPECT_EQ(s->rotation, 0.5f);
}

TEST_F(TextObjects, TheShadowFadesWithTheSquareOfTheAlpha) {
    auto t = Built("Fade", {0.002f, 0.002f});
    struct Case {
        float alpha, multiplier, shadowAlpha, text, shadow;
    };
    const Case cases[] = {
        {0.5f, 0.5f, 1.0f, 0.25f, 0.125f},
        {0.5f, 1.0f, 1.0f, 0.5f, 0.25f},
        {1.0f, 1.0f, 0.75f, 1.0f, 0.75f},
        {1.0f, 0.0f, 1.0f, 0.0f, 0.0f},
        {0.8f, 0.0f, 0.6f, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        t->SetShadowColor({0, 0, 0, c.shadowAlpha});
        t->SetAlpha(c.alpha);
        t->SetAlphaMultiplier(c.multiplier);
        EXPECT_FLOAT_EQ(t->GetTextEntry()->colour.a, c.text) << c.alpha << " x " << c.multiplier;
        EXPECT_FLOAT_EQ(t->GetShadowEntry()->colour.a, c.shadow) << c.alpha << " x " << c.multiplier;
    }
    t->SetColor({0.2f, 0.4f, 0.6f, 1.0f});
    EXPECT_EQ(t->GetTextEntry()->colour.g, 0.4f);
    EXPECT_EQ(t->GetShadowEntry()->colour.g, 0.0f) << "the shadow keeps its own colour";
}

TEST_F(TextObjects, RebuildsReplaceTheGroupAndNoFontShowsNothing) {
    auto t = Built("One", {0.002f, 0.002f});
    const int first = t->GetTextGroupId();
    t->SetText("Two");
    EXPECT_EQ(t->GetTextEntry()->text, "One") << "text waits for the next build";
    t->BuildText();
    EXPECT_FALSE(gfx->HasGroup(first));
    EXPECT_EQ(t->GetTextEntry()->text, "Two");

    // Setting the shadow offset to 0 keeps the old shadow until the next build.
    t->SetShadowOffset({0, 0});
    EXPECT_TRUE(t->GetShadowEntry());
    t->BuildText();
    EXPECT_FALSE(t->GetShadowEntry());
    EXPECT_EQ(gfx->GroupSize(t->GetTextGroupId()), 1u);

    const int last = t->GetTextGroupId();
    t->SetFontId(-1);
    t->BuildText();
    EXPECT_FALSE(gfx->HasGroup(last));
    EXPECT_EQ(t->GetTextGroupId(), 0);
    EXPECT_FALSE(t->GetTextEntry());
    t->SetAlpha(0.3f);  // setters still store
    EXPECT_EQ(t->GetAlpha(), 0.3f);

    // The object's group goes with it.
    auto u = Built("Gone");
    const int g = u->GetTextGroupId();
    u.reset();
    EXPECT_FALSE(gfx->HasGroup(g));
}

TEST_F(TextObjects, ATextBoxWrapsAndCentresBothEntries) {
    auto t = Built("A long line for a speech bubble", {0.001f, 0.001f});
    t->AddFormat(Gfx::DT_CENTER);
    t->SetTextBox(0.44f, 0.2f);
    for (Gfx::TextEntry* e : {t->GetTextEntry(), t->GetShadowEntry()}) {
        ASSERT_TRUE(e);
        EXPECT_TRUE(e->fixedSize);
        EXPECT_EQ(e->format & 0x14u, 0x14u);
        EXPECT_EQ(e->size, Geometry::Vector2(0.44f, 0.2f));
    }
    // The box survives a rebuild (with the caller's centring).
    t->BuildText();
    EXPECT_TRUE(t->GetTextEntry()->fixedSize);
    EXPECT_EQ(t->GetTextEntry()->format, Gfx::DT_NOCLIP | Gfx::DT_CENTER | 0x14u);
}

TEST_F(TextObjects, AManagerThatGoesFirstIsNotTouchedAgain) {
    auto t = Built("Late", {0.002f, 0.002f});
    auto untouched = Built("Stale");
    ASSERT_EQ(t->GetTextGroupId(), 1);
    ASSERT_EQ(untouched->GetTextGroupId(), 2);
    gfx.reset();
    EXPECT_FALSE(t->GetTextEntry());
    t->SetAlpha(0.5f);
    t->SetPosition({0.2f, 0.2f});
    t->SetScale(2, 2);
    t->SetRotation(1);
    t->SetTextBox(0.3f, 0.3f);
    t->BuildText();  // no manager: nothing is built
    EXPECT_EQ(t->GetTextGroupId(), 0);

    // In a new manager the old group ids name other groups: they are not the
    // objects' to remove.
    gfx.reset(new Gfx::TextMan(nullptr));
    const int a = gfx->CreateTextGroup(), b = gfx->CreateTextGroup();
    ASSERT_EQ(b, 2);
    untouched->SetAlpha(0.5f);
    untouched.reset();
    EXPECT_TRUE(gfx->HasGroup(a));
    EXPECT_TRUE(gfx->HasGroup(b));
    auto u = Built("Fresh");
    EXPECT_EQ(u->GetTextGroupId(), 3);
    ASSERT_TRUE(u->GetTextEntry());
    EXPECT_FALSE(u->GetTextEntry()->font) << "font 3 was never loaded in the new manager";
}
