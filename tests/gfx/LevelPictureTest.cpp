// A shipped level through the real device: the game logic loads level 0, its
// actor reports become draw objects with the shipped asset and state files,
// and one frame from a camera outside the level shows sky above, ground
// below and the teams' colours where the flags stand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/MiravGameLogic.h"
#include "gfx/AssetFiles.h"
#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/RenderQueue.h"
#include "gfx/Screenshot.h"
#include "gfx/StateMan.h"
#include "platform/Window.h"
#include "GfxTestSupport.h"
#include "support/Harness.h"
#include "SceneEngine.h"
#include "support/TempPath.h"

using EventTypes::EventUpdateCreateActor;
using Geometry::Vector2;
using Geometry::Vector3;

namespace {

constexpr int kW = 800, kH = 600;
constexpr int kAngelFlagState = 22, kDemonFlagState = 23;

struct Rgb {
    int r, g, b;
};

class LevelPicture : public GfxTest::SceneEngine {
protected:
    LevelPicture() : SceneEngine(kW, kH) {}

    // The draw object of one actor report: the named state with the report's
    // own ids, alpha and flags over it.
    std::shared_ptr<Gfx::IDrawObj> AddActor(const EventTypes::EventUpdateCreateActorData& a) {
        const GameLogicView::ObjectState& os = a.objectState;
        Gfx::GfxState st;
        engine->GetStateMan()->RequestState(os.stateId, st);
        if (os.modelId >= 0) st.SetModelTag(os.modelId);
        if (os.materialId >= 0) st.SetMaterialTag(os.materialId);
        if (os.effectId >= 0) st.SetEffectTag(os.effectId);
        if (os.textureId >= 0) st.SetTextureTag(os.textureId);
        if (os.techniqueId >= 0) st.SetTechniqueTag(os.techniqueId);
        if (os.alpha >= 0.0f) st.alpha = os.alpha;
        st.flags |= os.flags;
        if (!st.effect || !st.model) return nullptr;
        return ds->CreateObject(a.actorId, a.position, a.orientation, a.scale, st);
    }

};

Rgb At(const std::vector<uint8_t>& rgba, int x, int y) {
    const size_t i = (static_cast<size_t>(kH - 1 - y) * kW + static_cast<size_t>(x)) * 4u;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
}

}  // namespace

TEST_F(LevelPicture, ShippedLevelShowsSkyGroundAndTeamFlags) {
    auto* state = GameLogicView::GlobalGameState::Instance();
    state->SetFlag(GameLogicView::GlobalGameState::kLevel, 0);
    state->SetFlag(GameLogicView::GlobalGameState::kPaused, 0);
    state->SetFlag(GameLogicView::GlobalGameState::kSkipTutorial, 1);
    TestSupport::EventRecorder reports;
    reports.Listen<EventUpdateCreateActor>();
    GameLogicView::MiravGameLogic logic(nullptr);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameLogic>(0));
    EventSystem::ProcessEventQueue();
    TestSupport::LogicStepper(logic).Frames(3);
    const auto created = reports.Of<EventUpdateCreateActor>();
    ASSERT_GT(created.size(), 50u);

    std::vector<Vector3> angelFlags, demonFlags;
    Vector3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
    int drawn = 0;
    for (const auto& e : created) {
        const auto& a = *e->GetPayload();
        if (!AddActor(a)) continue;
        ++drawn;
        if (a.objectState.stateId == kAngelFlagState) angelFlags.push_back(a.position);
        if (a.objectState.stateId == kDemonFlagState) demonFlags.push_back(a.position);
        lo = Vector3(std::min(lo.x, a.position.x), std::min(lo.y, a.position.y), std::min(lo.z, a.position.z));
        hi = Vector3(std::max(hi.x, a.position.x), std::max(hi.y, a.position.y), std::max(hi.z, a.position.z));
    }
    ASSERT_GT(drawn, 50);
    ASSERT_FALSE(angelFlags.empty());
    ASSERT_FALSE(demonFlags.empty());
    Gfx::GfxState sky;
    ASSERT_TRUE(engine->GetStateMan()->RequestState(6, sky));
    ds->CreateSkyBox({9, 10, 11, 12, 13, 14}, sky);

    // From beyond the level's east edge, raised, looking at its middle a
    // little above the ground: the horizon crosses the picture, and the two
    // bases lie left and right, so the camera stands back by the level's
    // longer side.
    ASSERT_TRUE(ds->SetActiveCamera(2));
    auto cam = ds->GetActiveCamera();
    const Vector3 centre((lo.x + hi.x) * 0.5f, 0.0f, (lo.z + hi.z) * 0.5f);
    const float span = std::max(hi.x - lo.x, hi.z - lo.z);
    cam->SetFixedPoint(centre + Vector3(0, 10, 0));
    cam->SetEye(centre + Vector3(0.75f * span, 0.45f * span, 0));
    ds->Update(16);
    std::vector<uint8_t> frame;
    engine->GetCore()->CaptureNextFrame(&frame);
    ASSERT_TRUE(engine->GetCore()->Render());
    ASSERT_EQ(frame.size(), static_cast<size_t>(kW * kH * 4));
    const std::string png = TestSupport::TempPath("mirav_level0.png");
    EXPECT_TRUE(Gfx::WritePng(png, kW, kH, frame));
    std::printf("picture: %s\n", png.c_str());
    EXPECT_GT(engine->GetRenderQueue().MaxDrawCalls() + engine->GetRenderQueue().DrawCalls(), 20);

    // Sky across the top rows: bright and blue.
    for (int x = 10; x < kW; x += 60) {
        const Rgb p = At(frame, x, 3);
        EXPECT_GT(p.b, p.r) << "sky at " << x;
        EXPECT_GT(p.b, 90) << "sky at " << x;
    }
    // Ground across the bottom rows: not the clear colour and not sky.
    for (int x = 10; x < kW; x += 60) {
        const Rgb p = At(frame, x, kH - 3);
        EXPECT_GT(p.r + p.g + p.b, 30) << "ground at " << x;
        EXPECT_FALSE(p.b > p.r + 40 && p.b > p.g + 20) << "ground at " << x << " looks like sky";
    }
    // Team colours around the flags that stand in view: blue for the angels
    // (light or in shade), red for the demons, somewhere near each flag.
    auto teamPixelNear = [&](const Vector3& pos, bool angel) {
        Vector2 s;
        bool front = false;
        Gfx::GfxEngine::WorldToScreen(cam->GetViewProjection(), pos + Vector3(0, 2, 0), s, &front);
        if (!front) return -1;
        const int cx = static_cast<int>(s.x * kW), cy = static_cast<int>(s.y * kH);
        if (cx < 0 || cx >= kW || cy < 0 || cy >= kH) return -1;
        for (int dy = -6; dy <= 6; ++dy)
            for (int dx = -6; dx <= 6; ++dx) {
                const int x = cx + dx, y = cy + dy;
                if (x < 0 || x >= kW || y < 0 || y >= kH) continue;
                const Rgb p = At(frame, x, y);
                if (angel ? (p.b > p.r + 20 && p.b > p.g + 15) : (p.r > p.g + 60 && p.r > p.b + 60)) return 1;
            }
        return 0;
    };
    int angelSeen = 0, demonSeen = 0, angelInView = 0, demonInView = 0;
    for (const Vector3& f : angelFlags) {
        const int r = teamPixelNear(f, true);
        angelInView += r >= 0;
        angelSeen += r == 1;
    }
    for (const Vector3& f : demonFlags) {
        const int r = teamPixelNear(f, false);
        demonInView += r >= 0;
        demonSeen += r == 1;
    }
    EXPECT_GT(angelInView, 0);
    EXPECT_GT(demonInView, 0);
    EXPECT_GT(angelSeen, 0) << angelSeen << " of " << angelInView << " angel flags in view show blue";
    EXPECT_GT(demonSeen, 0) << demonSeen << " of " << demonInView << " demon flags in view show red";
}
