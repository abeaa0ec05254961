// The block pouch on its own: where icons go along the path as blocks come
// and go, how they move there, and the settings that could divide by zero.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/LogicSettings.h"
#include "gameviews/HudPouch.h"
#include "gameviews/ViewActor.h"
#include "support/Harness.h"
#include "utility/Console.h"

using GameLogicView::HudPouch;

namespace {

class HudPouchTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GameLogicView::GlobalGameState::Create();
        char name[] = "/tmp/mirav-pouch-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        pathFile = name;
        // A straight path of length 1 (two points).
        WritePath("(0.1, 0.5)\n(1.1, 0.5)\n");
        registry.Register(EventTypes::EventCreateEffect::GetStaticType(), [this](const EventSystem::IEvent& e) {
            effects.push_back(static_cast<const EventTypes::EventCreateEffect&>(e).GetPayload()->effectName);
            return false;
        });
        settings.pointsFile = pathFile;
    }
    void TearDown() override {
        std::remove(pathFile.c_str());
        TestSupport::ResetSingletons();
    }
    void WritePath(const std::string& text) { std::ofstream(pathFile) << text; }
    std::shared_ptr<GameLogicView::ViewActor> Block(int16_t id) {
        EventTypes::EventUpdateCreateActorData d;
        d.actorId = id;
        d.extents = Geometry::Vector3(0.5f, 0.5f, 0.5f);
        d.scale = Geometry::Vector3(1, 1, 1);
        return std::make_shared<GameLogicView::ViewActor>(d);
    }
    std::vector<std::string> TakeEffects() {
        EventSystem::ProcessEventQueue();
        std::vector<std::string> out;
        out.swap(effects);
        return out;
    }
    static std::vector<float> Targets(const HudPouch& p) {
        std::vector<float> out;
        for (const auto& i : p.Icons()) out.push_back(i.target);
        return out;
    }

    std::string pathFile;
    HudPouch::Settings settings;
    EventSystem::EventRegistry registry;
    std::vector<std::string> effects;
};

TEST_F(HudPouchTest, LayoutAsBlocksComeAndGo) {
    HudPouch pouch(settings);
    pouch.LoadSpline();
    ASSERT_NEAR(pouch.Path().totalLength, 1.0f, 1e-4f);
    pouch.Layout();  // an empty pouch lays out nothing
    EXPECT_TRUE(TakeEffects().empty());

    pouch.AddBlock(false, Block(10));
    EXPECT_EQ(Targets(pouch), (std::vector<float>{0.0f}));  // one icon stays at the start
    EXPECT_EQ(TakeEffects(), (std::vector<std::string>{"AddBlockToPouch"}));
    pouch.AddBlock(true, Block(11));  // a spawn's block: no pick-up sound
    EXPECT_TRUE(TakeEffects().empty());
    ASSERT_EQ(pouch.Icons().size(), 2u);
    EXPECT_NEAR(pouch.Icons()[0].target, 1.0f / 4.12f, 1e-5f);
    EXPECT_EQ(pouch.Icons()[1].target, 0.0f);
    EXPECT_EQ(pouch.Icons()[1].block->id, 11);

    // Five icons with a pouch of five: the known spread along the path.
    for (int16_t id : {12, 13, 14}) pouch.AddBlock(true, Block(id));
    const float expected[] = {0.8421f, 0.6696f, 0.4684f, 0.2427f, 0.0f};
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(pouch.Icons()[i].target, expected[i], 1e-4f) << i;

    // Throwing removes the newest and re-targets the rest.
    pouch.Clear();
    for (int16_t id : {1, 2, 3}) pouch.AddBlock(true, Block(id));
    pouch.ThrowBlock();
    ASSERT_EQ(pouch.Icons().size(), 2u);
    EXPECT_EQ(pouch.Icons()[1].block->id, 2);
    EXPECT_NEAR(pouch.Icons()[0].target, 1.0f / 4.12f, 1e-5f);
    EXPECT_EQ(TakeEffects(), (std::vector<std::string>{"ThrowBlockSelf"}));
    pouch.Clear();
    pouch.ThrowBlock();  // empty: nothing, no effect
    EXPECT_TRUE(pouch.Icons().empty());
    EXPECT_TRUE(TakeEffects().empty());
}

TEST_F(HudPouchTest, IconsGlideToTheirTargetsAndStop) {
    settings.moveTime = 0.5f;
    settings.startScale = 2.0f;
    settings.endScale = 1.0f;
    settings.startAlpha = 1.0f;
    settings.endAlpha = -1.0f;  // clamped, never negative
    HudPouch pouch(settings);
    pouch.LoadSpline();
    pouch.AddBlock(true, Block(1));
    pouch.AddBlock(true, Block(2));
    const float target = pouch.Icons()[0].target;
    EXPECT_NEAR(pouch.Icons()[0].speed, target / 0.5f, 1e-5f);
    pouch.Update(0.25f);
    EXPECT_NEAR(pouch.Icons()[0].distance, target / 2, 1e-5f);
    EXPECT_NEAR(pouch.Icons()[0].position.x, 0.1f + target / 2, 1e-3f);
    pouch.Update(0.3f);  // past the target: stops exactly there
    EXPECT_FLOAT_EQ(pouch.Icons()[0].distance, target);
    EXPECT_EQ(pouch.Icons()[0].speed, 0.0f);
    EXPECT_NEAR(pouch.Icons()[0].scaleFactor, 2.0f - target, 1e-5f);
    EXPECT_NEAR(pouch.Icons()[0].alpha, 1.0f - 2.0f * target, 1e-5f);
    // The spin goes on at rest.
    const float angle = pouch.Icons()[0].angle;
    pouch.Update(0.1f);
    EXPECT_GT(pouch.Icons()[0].angle, angle);

    // The far end of the path gives the end values, alpha clamped at 0.
    pouch.Clear();
    for (int16_t id = 1; id <= 40; ++id) pouch.AddBlock(true, Block(id));
    for (int k = 0; k < 100; ++k) pouch.Update(0.05f);
    EXPECT_GE(pouch.Icons().front().alpha, 0.0f);
    EXPECT_LE(pouch.Icons().front().alpha, 1.0f);
}

// Settings that would divide by zero: an empty or missing path, a pouch
// size of 0, a move time of 0. Every icon keeps finite numbers.
TEST_F(HudPouchTest, DegenerateSettingsStayFinite) {
    struct Case {
        const char* what;
        std::string path;
        int pouchSize;
        float moveTime;
    } cases[] = {
        {"no path file", "", 5, 1.0f},
        {"path of one point", "(0.2, 0.3)\n", 5, 1.0f},
        {"pouch size 0", "(0.1, 0.5)\n(1.1, 0.5)\n", 0, 1.0f},
        {"negative pouch size", "(0.1, 0.5)\n(1.1, 0.5)\n", -3, 1.0f},
        {"move time 0", "(0.1, 0.5)\n(1.1, 0.5)\n", 5, 0.0f},
    };
    for (const Case& c : cases) {
        WritePath(c.path);
        HudPouch::Settings s = settings;
        if (c.path.empty()) s.pointsFile = "/nonexistent/pouch-path.txt";
        s.pouchSize = c.pouchSize;
        s.moveTime = c.moveTime;
        s.endScale = 0.5f;
        HudPouch pouch(s);
        pouch.LoadSpline();
        for (int16_t id = 1; id <= 8; ++id) pouch.AddBlock(true, Block(id));
        pouch.Update(0.016f);
        pouch.Update(0.016f);
        for (size_t i = 0; i < pouch.Icons().size(); ++i) {
            const auto& icon = pouch.Icons()[i];
            EXPECT_TRUE(std::isfinite(icon.target) && std::isfinite(icon.distance) && std::isfinite(icon.speed) &&
                        std::isfinite(icon.scaleFactor) && std::isfinite(icon.alpha) && std::isfinite(icon.position.x) &&
                        std::isfinite(icon.position.y))
                << c.what << " icon " << i;
            // Never backwards from the start of the path.
            EXPECT_GE(icon.target, 0.0f) << c.what << " icon " << i;
        }
        if (c.moveTime == 0.0f) {
            for (const auto& icon : pouch.Icons()) EXPECT_EQ(icon.distance, icon.target) << c.what;
        }
        pouch.ThrowBlock();
        EXPECT_EQ(pouch.Icons().size(), 7u) << c.what;
    }
}

TEST_F(HudPouchTest, ReloadCommandRereadsThePath) {
    HudPouch pouch(settings);
    pouch.LoadSpline();
    pouch.AddBlock(true, Block(1));
    pouch.AddBlock(true, Block(2));
    const float before = pouch.Icons()[0].target;
    WritePath("(0.1, 0.5)\n(2.1, 0.5)\n");  // twice as long
    Utility::Console::Execute("call reload_hud_blocks");
    EXPECT_NEAR(pouch.Path().totalLength, 2.0f, 1e-4f);
    EXPECT_NEAR(pouch.Icons()[0].target, 2.0f * before, 1e-4f);
}

}  // namespace

// The layout's pouch size is the logic's: a file asking for more than the
// logic allows lays out the pouch the logic clamps to. Read once per run, so
// in a process of its own.
TEST(HudPouchSettings, TheLayoutHasThePlacesOfThePouchTheLogicAllows) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            GameLogicView::LogicSettings s;
            s.pouchSize = 40;
            GameLogicView::SetLogicSettings(s);
            std::_Exit(HudPouch::ConfigSettings().pouchSize ==
                               static_cast<int>(GameLogicView::LogicSettings::kMaxPouchSize)
                           ? 0
                           : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
