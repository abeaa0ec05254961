// Draw objects' state stacks and boxes, the render queue's order and
// counts, the cull's buckets (alpha, frustum, follow-camera fading), the
// scene store's maps and the draw screen's frame step, on scenes built here
// (no GL needed: the queue is drawn without a device).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/DrawObjActor.h"
#include "gfx/DrawObjInstanced.h"
#include "gfx/DrawObjSkyBox.h"
#include "gfx/D3D9Core.h"
#include "platform/GLDevice.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/RenderQueue.h"
#include "gfx/Spatial.h"
#include "gfx/TextMan.h"
#include "GfxTestSupport.h"
#include "SceneFakes.h"

using Geometry::Quaternion;
using Geometry::Vector3;
using Gfx::RenderQueue;

namespace {

constexpr float kPi = 3.14159265358979f;

std::vector<int> Ids(const std::vector<Gfx::RenderEntry>& bucket) {
    std::vector<int> out;
    for (const auto& e : bucket) out.push_back(e.object->GetId());
    return out;
}

std::vector<int> Ids(const std::vector<RecordingObj::Draw_>& log) {
    std::vector<int> out;
    for (const auto& d : log) out.push_back(d.id);
    return out;
}

// A camera at (0, 0, 20) looking at the origin (along -z), 60 degrees, far 100.
std::shared_ptr<Gfx::Camera> FrontCamera() {
    auto fr = std::make_shared<Gfx::Frustum>(kPi / 3, 4.0f / 3.0f, 0.5f, 100.0f);
    return std::make_shared<Gfx::Camera>(1, fr, Vector3(0, 0, 20), Vector3(0, 0, 0), Vector3(0, 1, 0), -2.0f, 2.5f,
                                         4.0f, 40.0f);
}

class Scene : public GfxTest::Engine {
protected:
    std::shared_ptr<RecordingObj> Add(int id, const Vector3& pos, const Gfx::GfxState& st) {
        auto o = std::make_shared<RecordingObj>(id, pos, st, &log);
        spatial.AddObject(o);
        return o;
    }
    std::shared_ptr<FakeModel> model = std::make_shared<FakeModel>(3, 0.5f);
    std::vector<RecordingObj::Draw_> log;
    Gfx::Spatial spatial{"Config/Config.ini"};
    RenderQueue queue;
};

}  // namespace

TEST_F(Scene, PushedStatesInheritKeepTheirAlphaAndSetTheBox) {
    auto small = std::make_shared<FakeModel>(1, 1.0f);
    auto big = std::make_shared<FakeModel>(2, 3.0f);
    Gfx::GfxState first = MakeState(4, small, 9, 1.0f, Gfx::kStateInstanced);
    first.technique = "Lit";
    Gfx::DrawObjActor obj(1, Vector3(0, 0, 0), Quaternion(), Vector3(2, 2, 2), first);
    EXPECT_EQ(obj.GetBoundingBox().maxCorner, Vector3(2, 2, 2));
    EXPECT_FLOAT_EQ(obj.GetBoundingBox().radius, Vector3(4, 4, 4).Length());

    // A default state with alpha 0.25: everything else from below.
    Gfx::GfxState fade;
    fade.alpha = 0.25f;
    fade.flags = Gfx::kStateOpaqueOccluder;
    obj.PushState(fade);
    const Gfx::GfxState& top = obj.TopState();
    EXPECT_FLOAT_EQ(top.alpha, 0.25f);
    EXPECT_EQ(top.model, small);
    EXPECT_EQ(top.effect, first.effect);
    EXPECT_EQ(top.texture, first.texture);
    EXPECT_EQ(top.technique, "Lit");
    EXPECT_EQ(top.flags, 3);
    EXPECT_EQ(obj.GetBoundingBox().maxCorner, Vector3(2, 2, 2));  // no model pushed: box kept

    Gfx::GfxState other;
    other.model = big;
    other.technique = "Other";
    obj.PushState(other);
    EXPECT_EQ(obj.GetBoundingBox().maxCorner, Vector3(6, 6, 6));
    EXPECT_EQ(obj.TopState().technique, "Other");
    EXPECT_FLOAT_EQ(obj.TopState().alpha, 1.0f);

    // Scale set twice is not applied twice.
    obj.SetScale(Vector3(2, 1, 1));
    obj.SetScale(Vector3(2, 1, 1));
    EXPECT_EQ(obj.GetBoundingBox().maxCorner, Vector3(6, 3, 3));

    obj.PopState();
    obj.PopState();
    obj.PopState();
    EXPECT_EQ(obj.StateCount(), 1u);
    EXPECT_EQ(obj.TopState().technique, "Lit");
}

TEST_F(Scene, WorldMatrixIsRebuiltOnlyWhenTheTransformChanged) {
    Gfx::DrawObjActor obj(1, Vector3(1, 2, 3), Quaternion(), Vector3(1, 1, 1), Gfx::GfxState());
    EXPECT_TRUE(obj.IsTransformDirty());
    EXPECT_FLOAT_EQ(obj.GetWorldMatrix()(0, 3), 1.0f);
    EXPECT_FALSE(obj.IsTransformDirty());
    obj.SetPosition(Vector3(5, 0, 0));
    EXPECT_TRUE(obj.IsTransformDirty());
    EXPECT_FLOAT_EQ(obj.GetWorldMatrix()(0, 3), 5.0f);
}

TEST_F(Scene, InstancingBatchDrawsWhenFullAndOnTextureEffectOrTechniqueChanges) {
    auto m = std::make_shared<FakeModel>(8, 0.5f);
    Gfx::DrawObjInstanced batch(Gfx::GfxState(), nullptr);
    Gfx::GfxState st = MakeState(5, m, 2);
    EXPECT_FALSE(batch.SetState(st));  // empty batch: nothing drawn
    for (int i = 1; i < Gfx::DrawObjInstanced::kMaxInstances; ++i)
        EXPECT_FALSE(batch.AddInstance(Vector3(1, 1, 1), Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), 1));
    EXPECT_TRUE(batch.AddInstance(Vector3(1, 1, 1), Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), 1));
    EXPECT_EQ(batch.BatchesDrawn(), 1);
    EXPECT_FALSE(batch.AddInstance(Vector3(1, 1, 1), Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), 1));
    EXPECT_EQ(batch.Count(), 1);

    Gfx::GfxState materialOnly = st;
    materialOnly.material = std::make_shared<Gfx::Material>();
    materialOnly.effect = FakeEffect(5);  // another object, the same tag
    EXPECT_FALSE(batch.SetState(materialOnly));
    EXPECT_EQ(batch.Count(), 1);

    Gfx::GfxState otherTechnique = st;
    otherTechnique.technique = "Glow";
    EXPECT_TRUE(batch.SetState(otherTechnique));
    EXPECT_EQ(batch.Count(), 0);
    EXPECT_EQ(batch.BatchesDrawn(), 2);
    EXPECT_FALSE(batch.SetState(MakeState(6, m, 2)));  // empty: a change, but nothing to draw
    batch.Draw(nullptr);
    EXPECT_EQ(batch.BatchesDrawn(), 2);  // an empty batch draws nothing
}

TEST_F(Scene, QueueSortsStateBucketsAndDrawsTranslucentBackToFront) {
    auto ma = std::make_shared<FakeModel>(1, 0.5f), mb = std::make_shared<FakeModel>(2, 0.5f);
    struct Opaque {
        int id, effect;
        std::shared_ptr<FakeModel> model;
        int texture;
    } opaque[] = {{1, 4, ma, 1}, {2, 6, ma, 1}, {3, 4, mb, 1}, {4, 4, ma, 2}, {5, 6, ma, 1}, {6, 4, ma, -1}};
    for (const auto& o : opaque) {
        auto obj = std::make_shared<RecordingObj>(o.id, Vector3(0, 0, 0), MakeState(o.effect, o.model, o.texture), &log);
        queue.Submit(RenderQueue::kOpaque, obj);
    }
    // Translucent, at depths 5, 15, 10 in front of an eye at z = 20 looking down -z.
    for (auto [id, z] : {std::pair{11, 15.0f}, {12, 5.0f}, {13, 10.0f}}) {
        auto obj = std::make_shared<RecordingObj>(id, Vector3(0, 0, z), MakeState(7, ma, -1, 0.5f), &log);
        queue.Submit(RenderQueue::kTranslucent, obj);
    }
    // UI quads by z, highest first, whatever their place.
    for (auto [id, z] : {std::pair{21, 0.2f}, {22, 0.9f}, {23, 0.5f}}) {
        auto obj = std::make_shared<RecordingObj>(id, Vector3(0.5f, 0.5f, z), MakeState(7, ma), &log);
        queue.Submit(RenderQueue::kUI, obj);
    }
    auto sky = std::make_shared<RecordingObj>(30, Vector3(0, 0, 0), MakeState(9, ma), &log);
    auto cursor = std::make_shared<RecordingObj>(31, Vector3(0, 0, 0), MakeState(9, ma), &log);
    queue.Submit(RenderQueue::kCursor, cursor);
    queue.Submit(RenderQueue::kSky, sky);
    queue.SetViewPoint(Vector3(0, 0, 20), Vector3(0, 0, -1));
    queue.Render(nullptr);
    const std::vector<int> expected = {30, 2, 5, 3, 4, 1, 6, 12, 13, 11, 22, 23, 21, 31};
    EXPECT_EQ(Ids(log), expected);
    // One flush per bucket on top of the objects.
    queue.Render(nullptr);
    EXPECT_EQ(queue.MaxDrawCalls(), 14 + 9);
    EXPECT_EQ(queue.EntryCount(), 0u);
    EXPECT_EQ(sky.use_count(), 1);  // the buckets let go of their holders
}

TEST_F(Scene, InstancedObjectsCostOneCallPerFullBatch) {
    auto m = std::make_shared<FakeModel>(8, 0.5f);
    // One texture object shared by all (a different texture object would
    // start a new batch).
    const Gfx::GfxState st = MakeState(5, m, 1, 1.0f, Gfx::kStateInstanced);
    for (int i = 0; i < 46; ++i) Add(i + 1, Vector3(0, 0, 0), st);
    auto cam = FrontCamera();
    spatial.Cull(*cam, queue, 0);
    EXPECT_EQ(queue.GetBucket(RenderQueue::kOpaque).size(), 46u);
    queue.Render(nullptr);
    queue.Render(nullptr);  // moves the first frame's counts into the maxima
    EXPECT_TRUE(log.empty());  // none drawn one by one
    EXPECT_EQ(queue.MaxDrawCalls(), 1 + 9);
    EXPECT_EQ(queue.MaxDrawsWithoutInstancing(), 46 + 9);
}

TEST_F(Scene, CullSortsByAlphaEffectAndFrustum) {
    auto cam = FrontCamera();
    Add(1, Vector3(0, 0, 0), MakeState(4, model));                       // opaque
    Add(2, Vector3(1, 0, 0), MakeState(4, model, -1, 0.03f));            // invisible
    Add(3, Vector3(2, 0, 0), MakeState(4, model, -1, 0.04f));            // barely visible
    Add(4, Vector3(0, 1, 0), MakeState(Gfx::Spatial::kBlendedEffectTag, model, -1, 0.5f));
    Add(5, Vector3(0, 2, 0), MakeState(4, model, -1, 0.5f));
    Add(6, Vector3(0, 0, 40), MakeState(4, model));                      // behind the camera
    Add(7, Vector3(60, 0, 0), MakeState(4, model));                      // beside the view
    auto ui = std::make_shared<RecordingObj>(50, Vector3(0.5f, 0.5f, 0), MakeState(4, model, -1, 0.03f), &log);
    spatial.AddUIObject(ui);
    auto ui2 = std::make_shared<RecordingObj>(51, Vector3(50, 50, 50), MakeState(4, model), &log);
    spatial.AddUIObject(ui2);
    auto sky = std::make_shared<RecordingObj>(0, Vector3(0, 0, 0), MakeState(4, model, -1, 0.0f), &log);
    spatial.SetSkyBox(sky);
    spatial.Cull(*cam, queue, 7);
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kOpaque)), (std::vector<int>{1}));
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kBlended)), (std::vector<int>{4}));
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kTranslucent)), (std::vector<int>{3, 5}));
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kUI)), (std::vector<int>{51}));
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kSky)), (std::vector<int>{0}));  // whatever its alpha
    EXPECT_TRUE(queue.GetBucket(RenderQueue::kSeeThrough).empty());             // free camera
    std::shared_ptr<Gfx::IDrawObj> o;
    ASSERT_TRUE(spatial.GetObject(1, o));
    EXPECT_EQ(o->GetLastVisibleFrame(), 7);
    ASSERT_TRUE(spatial.GetObject(6, o));
    EXPECT_EQ(o->GetLastVisibleFrame(), -1);
}

TEST_F(Scene, FollowCameraFadesWhatStandsBetweenItAndThePlayerForOneFrame) {
    auto cam = FrontCamera();
    auto player = Add(100, Vector3(0, 0, 0), MakeState(4, model));
    cam->SetMode(Gfx::Camera::kFollow, player);
    cam->SetPitch(0.0f);
    cam->SetYawAngle(kPi / 2);  // eye on +z of the player
    cam->SetDistance(20.0f);
    cam->Update(0);
    ASSERT_GT(cam->GetEye().z, 15.0f);
    const float y = cam->GetLookAt().y;
    auto wall = Add(1, Vector3(0, y, 10), MakeState(4, model));
    auto stubborn = Add(2, Vector3(0.2f, y, 12), MakeState(4, model, -1, 1.0f, Gfx::kStateOpaqueOccluder));
    auto behind = Add(3, Vector3(0, y, -5), MakeState(4, model));
    spatial.Cull(*cam, queue, 0);
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kSeeThrough)), (std::vector<int>{1}));
    EXPECT_EQ(Ids(queue.GetBucket(RenderQueue::kOpaque)), (std::vector<int>{2, 3, 100}));
    queue.Render(nullptr);
    ASSERT_FALSE(log.empty());
    bool wallFaded = false;
    for (const auto& d : log)
        if (d.id == 1) wallFaded = d.alpha == Gfx::Spatial::kSeeThroughAlpha;
    EXPECT_TRUE(wallFaded);
    EXPECT_EQ(wall->StateCount(), 1u);  // popped after drawing
    EXPECT_FLOAT_EQ(wall->TopState().alpha, 1.0f);
    // Moved out of the way: opaque again next frame.
    wall->SetPosition(Vector3(30, y, 10));
    spatial.Cull(*cam, queue, 1);
    EXPECT_TRUE(queue.GetBucket(RenderQueue::kSeeThrough).empty());
    queue.Clear();
}

TEST_F(Scene, StoreReplacesDestroysAndReportsMisses) {
    auto first = Add(4, Vector3(0, 0, 0), MakeState(4, model));
    std::weak_ptr<RecordingObj> firstWeak = first;
    first.reset();
    auto second = Add(4, Vector3(1, 0, 0), MakeState(4, model));
    EXPECT_TRUE(firstWeak.expired());  // replaced, nobody else held it
    EXPECT_EQ(spatial.WorldObjects().size(), 1u);
    EXPECT_TRUE(spatial.SetObjectPosition(4, Vector3(3, 0, 0)));
    EXPECT_EQ(second->GetPosition(), Vector3(3, 0, 0));
    EXPECT_TRUE(second->IsTransformDirty());
    EXPECT_FALSE(spatial.SetObjectPosition(5, Vector3(3, 0, 0)));
    EXPECT_FALSE(spatial.SetUIObjectTransform(4, Vector3(0, 0, 0), Vector3(1, 1, 1)));  // UI ids are separate
    spatial.AddAnimatedObject(second);
    EXPECT_EQ(spatial.AnimatedObjects().size(), 1u);
    EXPECT_TRUE(spatial.DestroyObject(4));
    EXPECT_TRUE(spatial.AnimatedObjects().empty());
    EXPECT_FALSE(spatial.DestroyObject(4));
    EXPECT_FALSE(spatial.DestroyUIObject(4));
}

TEST_F(Scene, DrawScreenCountsFramesAndSecondsAndFollowsTargetsById) {
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Create();
    ds->Initialize("Config/Config.ini");
    auto fr = std::make_shared<Gfx::Frustum>(kPi / 3, 4.0f / 3.0f, 0.5f, 100.0f);
    ds->GetCameraMan()->LoadCamera(0, Vector3(0, 5, 20), Vector3(0, 0, 0), Vector3(0, 1, 0), -2, 2.5f, 4, 40, fr);
    ASSERT_TRUE(ds->SetActiveCamera(0));
    auto model = std::make_shared<FakeModel>(3, 0.5f);
    auto obj = ds->CreateObject(9, Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), MakeState(4, model));
    EXPECT_FALSE(ds->SetCameraTarget(10));
    EXPECT_EQ(ds->GetActiveCamera()->GetMode(), Gfx::Camera::kFree);
    EXPECT_TRUE(ds->SetCameraTarget(9));
    EXPECT_EQ(ds->GetActiveCamera()->GetTarget(), obj);
    ds->Update(16);
    ds->Update(250);
    EXPECT_EQ(ds->FrameCounter(), 2);
    EXPECT_FLOAT_EQ(ds->Seconds(), 0.266f);
    EXPECT_EQ(ds->GetRenderQueue().GetBucket(RenderQueue::kOpaque).size(), 2u);  // culled twice, not drawn
    ds->GetRenderQueue().Clear();
    Gfx::DrawScreen::Destroy();
    EXPECT_EQ(Gfx::DrawScreen::Instance(), nullptr);
}

TEST_F(Scene, ScreenTextIsDrawnInItsBucketByTheStoresTextManager) {
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Create();
    ds->Initialize("Config/Config.ini");
    auto fr = std::make_shared<Gfx::Frustum>(kPi / 3, 1.0f, 0.5f, 100.0f);
    ds->GetCameraMan()->LoadCamera(0, Vector3(0, 5, 20), Vector3(0, 0, 0), Vector3(0, 1, 0), -2, 2.5f, 4, 40, fr);
    ASSERT_TRUE(ds->SetActiveCamera(0));
    Gfx::TextMan* text = ds->GetSpatial()->GetTextMan();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Gfx::TextMan::Current(), text);
    text->LoadFont(0, "Fonts/DejaVuSans-Bold.ttf", "DejaVu Sans", 40, 1);
    const int group = text->CreateTextGroup();
    text->CreateText(0, "WW", Geometry::Vector2(0.0f, 0.2f), Gfx::Color4(1, 1, 1, 1), 0, group);
    auto bright = [](const std::vector<uint8_t>& rgba) {
        int n = 0;
        for (size_t i = 0; i + 3 < rgba.size(); i += 4) n += rgba[i] > 128 && rgba[i + 1] > 128 && rgba[i + 2] > 128;
        return n;
    };
    ds->Update(16);
    const int withText = bright(Frame([this] {
        Gfx::GfxEngine::Instance()->GetRenderQueue().Render(core->GetDevice());
    }));
    EXPECT_GT(withText, 20);
    Gfx::DrawScreen::Destroy();
    EXPECT_EQ(Gfx::TextMan::Current(), nullptr);
    EXPECT_EQ(bright(Frame([this] { Gfx::GfxEngine::Instance()->GetRenderQueue().Render(core->GetDevice()); })), 0);
}

namespace {
// An animated stand-in: its clock is the sum of the times it was advanced.
class ClockObj : public RecordingObj {
public:
    using RecordingObj::RecordingObj;
    void AdvanceTime(float dt) override { clock += dt; }
    float clock = 0.0f;
};
}  // namespace

TEST_F(Scene, LostDeviceFreezesTheFrameAndPausedClocksStandStill) {
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Create();
    ds->Initialize("Config/Config.ini");
    auto fr = std::make_shared<Gfx::Frustum>(kPi / 3, 1.0f, 0.5f, 100.0f);
    ds->GetCameraMan()->LoadCamera(0, Vector3(0, 5, 20), Vector3(0, 0, 0), Vector3(0, 1, 0), -2, 2.5f, 4, 40, fr);
    ASSERT_TRUE(ds->SetActiveCamera(0));
    auto anim = std::make_shared<ClockObj>(3, Vector3(0, 0, 0), MakeState(4, model), &log);
    auto gone = std::make_shared<ClockObj>(4, Vector3(0, 0, 0), MakeState(4, model), &log);
    ds->GetSpatial()->AddAnimatedObject(anim);
    ds->GetSpatial()->AddAnimatedObject(gone);
    ds->Update(100);
    EXPECT_FLOAT_EQ(anim->clock, 0.1f);
    EXPECT_TRUE(ds->GetSpatial()->DestroyObject(4));
    ds->Update(100);
    EXPECT_FLOAT_EQ(anim->clock, 0.2f);
    EXPECT_FLOAT_EQ(gone->clock, 0.1f);  // out of both maps: its clock stopped

    // Paused: the screen passes 0 ms, so the clocks advance by 0.
    bool paused = true;
    ds->SetPausedQuery([&paused] { return paused; });
    ds->Update(0);
    EXPECT_FLOAT_EQ(anim->clock, 0.2f);
    EXPECT_EQ(ds->FrameCounter(), 3);

    // A lost device: nothing moves, the frame does not count.
    const Vector3 eye = ds->GetActiveCamera()->GetEye();
    ds->GetActiveCamera()->Move(Vector3(5, 0, 0));
    core->GetDevice()->SimulateCooperativeLevel(Platform::CooperativeLevel::DeviceLost);
    EXPECT_FALSE(core->Render());
    ASSERT_TRUE(core->IsDeviceLost());
    ds->Update(100);
    EXPECT_EQ(ds->FrameCounter(), 3);
    EXPECT_FLOAT_EQ(ds->Seconds(), 0.2f);
    EXPECT_FLOAT_EQ(anim->clock, 0.2f);
    EXPECT_EQ(ds->GetActiveCamera()->GetEye(), eye + ds->GetActiveCamera()->GetSide() * 5.0f);
    ds->GetRenderQueue().Clear();
    Gfx::DrawScreen::Destroy();
}

TEST_F(Scene, SkyBoxFacesFallBackToThePreviousTextureAndUiMissesAreLogged) {
    GfxTest::LogCapture logged;
    const std::string png = GfxTest::WriteSolidPng("scene_face.png", 4, 4, 10, 20, 30, 255);
    for (int tag : {1, 2, 4, 5, 6}) ASSERT_TRUE(sm->LoadTexture(tag, png));
    Gfx::DrawScreen* ds = Gfx::DrawScreen::Create();
    ds->Initialize("Config/Config.ini");
    auto sky = std::dynamic_pointer_cast<Gfx::DrawObjSkyBox>(ds->CreateSkyBox({1, 2, 99, 4, 5, 6}, Gfx::GfxState()));
    ASSERT_TRUE(sky);
    ASSERT_EQ(sky->Faces().size(), 6u);
    std::shared_ptr<Gfx::Texture> t2;
    ASSERT_TRUE(sm->RequestTexture(2, t2));
    EXPECT_EQ(sky->Faces()[2], t2);
    EXPECT_EQ(sky->Faces()[1], t2);
    EXPECT_EQ(sky->TopState().texture, sky->Faces()[0]);  // textured technique
    EXPECT_EQ(ds->GetSpatial()->GetSkyBox(), sky);
    EXPECT_FALSE(ds->GetSpatial()->SetUIObjectTransform(77, Vector3(0, 0, 0), Vector3(1, 1, 1)));
    EXPECT_TRUE(logged.Has("Spatial::GetUIObject: Cannot find UI object with id: 77")) << logged.All();
    EXPECT_FALSE(ds->GetSpatial()->DestroyObject(78));
    EXPECT_TRUE(logged.Has("Spatial::DestroyObject: Could not find object with id: 78")) << logged.All();
    Gfx::DrawScreen::Destroy();
}
