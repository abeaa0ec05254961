// Nothing of a scene outlives it: building a scene, drawing it and tearing it
// down again a hundred times leaves the GL object counts and the heap where
// one round left them, and every draw object is released.
#include <gtest/gtest.h>

#include <epoxy/gl.h>
#include <malloc.h>

#include <memory>
#include <vector>

#include "gfx/CameraMan.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/RenderQueue.h"
#include "gfx/Spatial.h"
#include "GfxTestSupport.h"
#include "SceneFakes.h"

using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

struct GlCounts {
    int buffers = 0, arrays = 0, textures = 0, programs = 0;
    bool operator==(const GlCounts& o) const {
        return buffers == o.buffers && arrays == o.arrays && textures == o.textures && programs == o.programs;
    }
};

// Live GL names, found by asking about every name up to a bound (names are
// small integers handed out in order).
GlCounts CountGlObjects() {
    GlCounts c;
    for (GLuint n = 1; n < 4096; ++n) {
        c.buffers += glIsBuffer(n) ? 1 : 0;
        c.arrays += glIsVertexArray(n) ? 1 : 0;
        c.textures += glIsTexture(n) ? 1 : 0;
        c.programs += glIsProgram(n) ? 1 : 0;
    }
    return c;
}

class SceneLifetime : public GfxTest::Engine {
protected:
    // One match's scene: a camera, world objects of every bucket, UI quads, a
    // cursor and a sky; two frames drawn; then torn down.
    void Round(std::vector<std::weak_ptr<Gfx::IDrawObj>>* watch) {
        Gfx::DrawScreen* ds = Gfx::DrawScreen::Create();
        ds->Initialize("Config/Config.ini");
        ds->GetCameraMan()->LoadCamera(0, Vector3(0, 30, 60), Vector3(0, 0, 0), Vector3(0, 1, 0), -2.0f, 2.5f, 4.0f,
                                       40.0f, std::make_shared<Gfx::Frustum>(1.0f, 1.0f, 0.5f, 500.0f));
        ds->SetActiveCamera(0);
        std::shared_ptr<Gfx::IModel> box;
        ASSERT_TRUE(sm->RequestModel(kBox, box));
        for (int i = 0; i < 300; ++i) {
            Gfx::GfxState st;
            st.effect = effect;
            st.model = box;
            st.technique = "T";
            st.alpha = i % 7 == 0 ? 0.5f : 1.0f;
            st.flags = i % 5 == 0 ? Gfx::kStateInstanced : 0;
            auto obj = ds->CreateObject(i + 1, Vector3(float(i % 20) * 3.0f, 0, float(i / 20) * 3.0f), Quaternion(),
                                        Vector3(0.2f, 0.2f, 0.2f), st);
            if (watch && i % 50 == 0) watch->push_back(obj);
        }
        ds->SetCameraTarget(1);
        Gfx::GfxState ui;
        ui.effect = effect;
        ui.model = box;
        ui.technique = "T";
        for (int i = 0; i < 20; ++i) ds->CreateUIObject(i, Vector3(0.5f, 0.5f, float(i)), Vector3(0.1f, 0.1f, 1), ui);
        auto cursor = ds->CreateCursor(Vector3(0.5f, 0.5f, 0), Vector3(0.05f, 0.05f, 1), ui);
        auto sky = ds->CreateSkyBox({1, 2, 3, 4, 5, 6}, ui);
        if (watch) {
            watch->push_back(cursor);
            watch->push_back(sky);
        }
        for (int f = 0; f < 2; ++f) {
            ds->Update(16);
            core->Render();
        }
        ds->Update(16);  // culled, never drawn: the teardown lets go of it
        Gfx::DrawScreen::Destroy();
    }

    void SetUp() override {
        GfxTest::Engine::SetUp();
        ASSERT_TRUE(Gfx::GfxEngine::Instance()->LoadBoxModel(1.0f, kBox));
        effect = FakeEffect(7);
        ASSERT_TRUE(effect);
    }
    void TearDown() override {
        effect.reset();
        GfxTest::Engine::TearDown();
    }

    static constexpr int kBox = 40;
    std::shared_ptr<Gfx::Effect> effect;
};

}  // namespace

TEST_F(SceneLifetime, HundredScenesKeepGlObjectsAndMemoryFlat) {
    std::vector<std::weak_ptr<Gfx::IDrawObj>> watch;
    Round(&watch);
    ASSERT_FALSE(watch.empty());
    for (const auto& w : watch) EXPECT_TRUE(w.expired());
    EXPECT_EQ(Gfx::GfxEngine::Instance()->GetRenderQueue().EntryCount(), 0u);
    const GlCounts afterOne = CountGlObjects();
    for (int i = 0; i < 9; ++i) Round(nullptr);
    const size_t heapAfterTen = mallinfo2().uordblks;
    for (int i = 0; i < 90; ++i) Round(nullptr);
    const size_t heapAfterHundred = mallinfo2().uordblks;
    const GlCounts afterHundred = CountGlObjects();
    EXPECT_TRUE(afterOne == afterHundred) << "buffers " << afterOne.buffers << " -> " << afterHundred.buffers
                                          << ", arrays " << afterOne.arrays << " -> " << afterHundred.arrays
                                          << ", textures " << afterOne.textures << " -> " << afterHundred.textures
                                          << ", programs " << afterOne.programs << " -> " << afterHundred.programs;
    // A leak of one object per round would be 90 x several hundred bytes.
    EXPECT_LT(heapAfterHundred, heapAfterTen + 16 * 1024) << heapAfterTen << " -> " << heapAfterHundred;
    EXPECT_GT(Gfx::GfxEngine::Instance()->GetRenderQueue().MaxDrawCalls(), 9);
}
