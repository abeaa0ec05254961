// Skinned models: a vertex under two bones lands where the arithmetic says,
// posed by hand and by an animation; the generated characters drawn offscreen
// in two poses give two pictures; sixteen characters drawn in one frame; the
// bone callback reports slot 1 (the halo anchor); a paused clock keeps the
// pose; an object whose animation ended with nothing valid to follow is not drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "gfx/AssetFiles.h"
#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawObjActorAnimated.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/MeshSkinned.h"
#include "gfx/Screenshot.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "gfx/XFileLoader.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "GfxTestSupport.h"
#include "support/TempPath.h"

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

void ExpectNear(const Vector3& a, const Vector3& b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

std::shared_ptr<Gfx::MeshSkinned> TwoBones() {
    Gfx::XScene scene;
    std::string err;
    EXPECT_TRUE(Gfx::LoadXFile(std::string(MIRAV_SOURCE_DIR) + "/tests/data/xfile/skinned_two_bones.x", scene, &err))
        << err;
    auto mesh = Gfx::MeshSkinned::Create(scene, 2, &err);
    EXPECT_TRUE(mesh) << err;
    return mesh;
}

// The vertex at (1, 2, 0), half on Lower (offset identity), half on Upper
// (offset: down 1).
size_t SharedVertex(const Gfx::MeshSkinned& m) {
    const auto& c = m.Containers().at(0);
    for (size_t v = 0; v < c.vertices.size(); ++v) {
        if (c.vertices[v].position[0] == 1.0f && c.vertices[v].position[1] == 2.0f) return v;
    }
    ADD_FAILURE() << "no vertex at (1, 2, 0)";
    return 0;
}

// The stored orientation turned into the game's: (x, y, z) -> (-x, z, y).
Vector3 ToGame(const Vector3& v) { return {-v.x, v.z, v.y}; }

}  // namespace

TEST(SkinnedMesh, StoredOrientationTurnsUpAndFrontIntoTheGames) {
    const Matrix4x4 c = Gfx::MeshSkinned::StoredToGame();
    ExpectNear(Geometry::TransformCoord({0, 0, 1}, c), {0, 1, 0});  // up
    ExpectNear(Geometry::TransformCoord({0, 1, 0}, c), {0, 0, 1});  // front: the game's forward
    ExpectNear(Geometry::TransformCoord({1, 0, 0}, c), {-1, 0, 0});
}

TEST(SkinnedMesh, AVertexUnderTwoBonesLandsWhereTheArithmeticSays) {
    auto mesh = TwoBones();
    ASSERT_TRUE(mesh);
    const size_t v = SharedVertex(*mesh);
    const int upper = 2;  // Root, Lower, Upper, Body
    ASSERT_EQ(mesh->FrameNames()[upper], "Upper");

    // By hand: Upper turned a quarter about z at its rest place (0, 1, 0).
    // Lower part: (1, 2, 0). Upper part: turn((1, 2, 0) - (0, 1, 0)) + (0, 1, 0) = (-1, 2, 0).
    Matrix4x4 posed = Matrix4x4::FromRotation(Quaternion::FromAxisAngle({0, 0, 1}, 1.5707964f).ToMatrix3x3());
    posed(1, 3) = 1.0f;
    mesh->Locals()[upper] = posed;
    mesh->UpdateFrames(Matrix4x4::Identity());
    ExpectNear(mesh->SkinPosition(0, v), ToGame({0, 2, 0}));

    // The same with a world transform: moved by (10, 0, 5).
    mesh->UpdateFrames(Matrix4x4::Translation({10, 0, 5}));
    ExpectNear(mesh->SkinPosition(0, v), ToGame({0, 2, 0}) + Vector3(10, 0, 5));

    // By the animation "Bend" one second in: Upper at 45 degrees, raised to y = 1.5.
    // Upper part: turn45((1, 1, 0)) + (0, 1.5, 0) = (0, 1.5 + sqrt 2, 0); Lower part (1, 2, 0).
    Gfx::AnimationController& ac = mesh->Animation();
    ASSERT_TRUE(ac.PlayAnimation(0, 0, 0, 1.0f, 1.0f, true, true));
    ac.AdvanceTime(0, 1.0);
    mesh->UpdateFrames(Matrix4x4::Identity());
    ExpectNear(mesh->SkinPosition(0, v), ToGame({0.5f, (2.0f + 1.5f + std::sqrt(2.0f)) / 2.0f, 0}));
}

TEST(SkinnedMesh, PaletteHoldsCombinedTimesOffsetAndMoreBonesThanItFitsAreSplit) {
    auto mesh = TwoBones();
    ASSERT_TRUE(mesh);
    mesh->UpdateFrames(Matrix4x4::Identity());
    const auto& c = mesh->Containers().at(0);
    ASSERT_EQ(c.combinations.size(), 1u);
    EXPECT_EQ(c.paletteSize, 2);
    EXPECT_EQ(c.maxFaceInfluences, 2);
    const auto& palette = mesh->BuildBonePalette(0, 0);
    const int bone = c.combinations[0].boneIds[1];
    const Matrix4x4 expect = mesh->Combined()[static_cast<size_t>(c.boneFrames[static_cast<size_t>(bone)])] *
                             c.boneOffsets[static_cast<size_t>(bone)];
    EXPECT_EQ(palette[1], expect);

    // A strip of 100 quads, each on its own bone: split into runs of at most
    // the palette's size, every vertex still skinned by its own bone.
    Gfx::XScene s;
    s.frames.push_back({"Root", Matrix4x4::Identity(), -1, {}, {0}});
    Gfx::XMesh m;
    m.frame = 0;
    for (int q = 0; q < 100; ++q) {
        s.frames.push_back({"B" + std::to_string(q), Matrix4x4::Translation({0, 0, float(q)}), 0, {}, {}});
        s.frames[0].children.push_back(q + 1);
        m.bones.push_back({"B" + std::to_string(q), q + 1, Matrix4x4::Translation({0, 0, -float(q)})});
        const uint32_t base = static_cast<uint32_t>(m.positions.size());
        for (int k = 0; k < 4; ++k) {
            m.positions.push_back({float(k & 1), float(k >> 1), float(q)});
            m.normals.push_back({0, 0, 1});
            m.uvs.push_back({0, 0});
            m.boneIndices.push_back({static_cast<uint8_t>(q), 0, 0, 0});
            m.boneWeights.push_back({1, 0, 0, 0});
        }
        for (uint32_t i : {0u, 2u, 1u, 2u, 3u, 1u}) m.indices.push_back(base + i);
    }
    m.subsets.push_back({0, 0, static_cast<uint32_t>(m.indices.size())});
    s.meshes.push_back(m);
    std::string err;
    auto big = Gfx::MeshSkinned::Create(s, 2, &err);
    ASSERT_TRUE(big) << err;
    const auto& bc = big->Containers().at(0);
    EXPECT_EQ(bc.paletteSize, Gfx::kMaxPaletteBones);
    ASSERT_EQ(bc.combinations.size(), 3u);  // 48 + 48 + 4 bones
    uint32_t indices = 0;
    for (const auto& run : bc.combinations) indices += run.indexCount;
    EXPECT_EQ(indices, 600u);
    big->Locals()[51] = Matrix4x4::Translation({0, 7, 50});  // bone B50 (frame 51) lifted by 7
    big->UpdateFrames(Matrix4x4::Identity());
    for (size_t v = 0; v < bc.vertices.size(); ++v) {
        const Vector3 p = big->SkinPosition(0, v);
        const float stored = bc.vertices[v].position[2];
        ExpectNear(p, ToGame({bc.vertices[v].position[0], bc.vertices[v].position[1] + (stored == 50.0f ? 7.0f : 0.0f), stored}));
    }
}

// The generated characters, drawn through the scene as the game does.
class SkinnedDraw : public ::testing::Test {
protected:
    static constexpr int kSize = 160;

    void SetUp() override {
        std::string err;
        Gfx::GfxEngine* engine = GfxTest::OpenEngine(window, kSize, kSize, &err);
        ASSERT_NE(engine, nullptr) << err;
        core = engine->GetCore();
        core->SetLostSleepMs(0);
        sm = engine->GetStateMan();
        ASSERT_TRUE(engine->LoadSkinnedModel("Models/AngelCharacter.x", 2, 1));
        ASSERT_TRUE(sm->LoadEffect(12, "Effects/Skinned.fx"));
        ASSERT_TRUE(sm->LoadTexture(40, "Textures/AngelCharacter.png"));
        ASSERT_TRUE(sm->RequestModel(1, state.model));
        ASSERT_TRUE(sm->RequestEffect(12, state.effect));
        ASSERT_TRUE(sm->RequestTexture(40, state.texture));
        state.technique = "Skinned";
        ds = Gfx::DrawScreen::Create();
        ds->Initialize("Config/Config.ini");
    }
    void TearDown() override {
        state = Gfx::GfxState();
        Gfx::DrawScreen::Destroy();
        Gfx::GfxEngine::Release();
        window.Destroy();
        Platform::ShutdownVideo();
    }
    void Camera(const Vector3& eye, const Vector3& at) {
        ds->GetCameraMan()->LoadCamera(0, eye, at, Vector3(0, 1, 0), -2.0f, 2.5f, 1.0f, 400.0f,
                                       std::make_shared<Gfx::Frustum>(0.9f, 1.0f, 0.5f, 500.0f));
        ds->SetActiveCamera(0);
        auto cam = ds->GetActiveCamera();
        cam->SetFixedPoint(at);
        cam->SetEye(eye);
    }
    std::vector<uint8_t> Frame(unsigned ms) {
        ds->Update(ms);
        std::vector<uint8_t> px;
        core->CaptureNextFrame(&px);
        core->Render();
        return px;
    }
    // Pixels that differ from the clear colour (the corner pixel).
    static int Covered(const std::vector<uint8_t>& px) {
        int n = 0;
        for (size_t i = 0; i + 3 < px.size(); i += 4) n += (px[i] != px[0] || px[i + 1] != px[1] || px[i + 2] != px[2]);
        return n;
    }
    static int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        int n = 0;
        for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) n += (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]);
        return n;
    }
    void Save(const std::vector<uint8_t>& px, const std::string& name) {
        Gfx::WritePng(TestSupport::TempPath(name), kSize, kSize, px);
    }

    Platform::Window window;
    Gfx::D3D9Core* core = nullptr;
    Gfx::StateMan* sm = nullptr;
    Gfx::DrawScreen* ds = nullptr;
    Gfx::GfxState state;
};

TEST_F(SkinnedDraw, TheCharacterInTwoPosesGivesTwoPictures) {
    Camera({0, 0.3f, 7.5f}, {0, 0, 0});
    auto actor = ds->CreateAnimatedObject(1, Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), state);
    ASSERT_GE(actor->ControllerIndex(), 1);
    const auto rest = Frame(16);
    EXPECT_GT(Covered(rest), kSize * kSize / 20) << "the character covers part of the picture";
    actor->PlayAnimation(7, 1.0f, 1.0f, true);  // the throw, held looping
    Frame(200);
    const auto throwing = Frame(100);
    Save(rest, "skinned_rest.png");
    Save(throwing, "skinned_throw.png");
    EXPECT_GT(Differing(rest, throwing), kSize * kSize / 50);
}

TEST_F(SkinnedDraw, SixteenCharactersDrawEachFrameAndReportTheirHaloBone) {
    Camera({0, 14, 26}, {0, 0, 0});
    std::vector<std::shared_ptr<Gfx::DrawObjActorAnimated>> actors;
    std::vector<Vector3> halo(16);
    std::vector<int> calls(16, 0);
    for (int i = 0; i < 16; ++i) {
        const Vector3 at(float(i % 4) * 4.0f - 6.0f, 0.0f, float(i / 4) * 4.0f - 6.0f);
        actors.push_back(ds->CreateAnimatedObject(i + 1, at, Quaternion(), Vector3(1, 1, 1), state));
        actors.back()->SetCallback([&, i](const Matrix4x4& bone) {
            ++calls[static_cast<size_t>(i)];
            halo[static_cast<size_t>(i)] = Geometry::TransformCoord({-5.600015f, -0.000038f, -57.98655f}, bone);
        });
        actors.back()->PlayAnimation(5, 1.0f, 1.0f, true);
    }
    const auto px = Frame(16);
    Save(px, "skinned_sixteen.png");
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[static_cast<size_t>(i)], 1);  // one bone combination, one call per drawn frame
        // The anchor lands at the halo, 1.62 above the character's centre (a
        // few hundredths of breathing aside).
        const Vector3 at = actors[static_cast<size_t>(i)]->GetPosition();
        ExpectNear(halo[static_cast<size_t>(i)], at + Vector3(0, 1.62f, 0), 0.05f);
    }
}

TEST_F(SkinnedDraw, APausedClockKeepsThePoseAndAnEndedAnimationWithNothingValidNextIsNotDrawn) {
    Camera({0, 0.3f, 7.5f}, {0, 0, 0});
    auto actor = ds->CreateAnimatedObject(1, Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), state);
    int calls = 0;
    actor->SetCallback([&](const Matrix4x4&) { ++calls; });
    actor->PlayAnimation(5, 1.0f, 1.0f, true);
    Frame(300);
    // Paused: the frame time is 0, so the clock stands and the pose holds.
    const auto a = Frame(0);
    const auto b = Frame(0);
    EXPECT_EQ(Differing(a, b), 0);
    EXPECT_EQ(calls, 3);

    actor->SetAnimation(42, 1.0f, 1.0f);  // no such set
    actor->PlayAnimation(7, 4.0f, 1.0f, false);  // the throw once, 0.15 s
    Frame(50);
    EXPECT_EQ(calls, 4);
    Frame(300);
    Frame(16);
    EXPECT_EQ(calls, 4) << "finished with a refused request: not drawn";
    const auto gone = Frame(16);
    EXPECT_LT(Covered(gone), kSize);
}

TEST(GeneratedCharacters, EachTeamHasEveryAnimationTheViewPlaysAndItsAnchorBoneInSlotOne) {
    const char* const names[] = {"Jump", "JumpHolding", "Death", "PickUpHolding", "PickUp",
                                 "Stand", "Walk", "Throw", "StandHolding"};
    for (const char* file : {"Models/AngelCharacter.x", "Models/DemonCharacter.x"}) {
        SCOPED_TRACE(file);
        Gfx::XScene scene;
        std::string err;
        ASSERT_TRUE(Gfx::LoadXFile(file, scene, &err)) << err;
        ASSERT_EQ(scene.animations.size(), 9u);
        for (size_t i = 0; i < 9; ++i) {
            EXPECT_EQ(scene.animations[i].name, names[i]);
            EXPECT_GT(scene.animations[i].PeriodSeconds(), 0.2);
        }
        auto mesh = Gfx::MeshSkinned::Create(scene, 2, &err);
        ASSERT_TRUE(mesh) << err;
        const auto& c = mesh->Containers().at(0);
        ASSERT_EQ(c.combinations.size(), 1u);
        EXPECT_EQ(mesh->FrameNames()[static_cast<size_t>(c.boneFrames[1])], "Halo");
        // Standing at rest, 3 high about its centre; the anchor sits on the head.
        ExpectNear(mesh->MinCorner(), {mesh->MinCorner().x, -1.5f, mesh->MinCorner().z}, 1e-3f);
        EXPECT_LT(mesh->MaxCorner().y, 1.75f);
        mesh->UpdateFrames(Matrix4x4::Identity());
        const Vector3 anchor =
            Geometry::TransformCoord({-5.600015f, -0.000038f, -57.98655f}, mesh->BuildBonePalette(0, 0)[1]);
        EXPECT_NEAR(anchor.x, 0.0f, 1e-3f);
        EXPECT_GT(anchor.y, 1.3f);
    }
}

// With the shipped asset and state files, each team reads as its colours
// from the follow camera's side: the Angel light and bluish, the Demon red.
TEST_F(SkinnedDraw, TeamsReadAsTheirColoursWithTheShippedStates) {
    Gfx::EngineAssetSink sink(*Gfx::GfxEngine::Instance());
    ASSERT_TRUE(Gfx::LoadAssetFile(Gfx::kGameAssetsFile, sink));
    ASSERT_TRUE(Gfx::LoadStateFile(Gfx::kGameStatesFile, *sm));
    Camera({1.5f, 1.5f, -7.0f}, {0, 0, 0});
    struct Mean {
        double r = 0, g = 0, b = 0;
    } mean[2];
    for (int team = 0; team < 2; ++team) {
        const int tag = team == 0 ? 1 : 3;
        ASSERT_TRUE(sm->States().count(tag));
        auto actor = ds->CreateAnimatedObject(10 + team, Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1),
                                              sm->States().at(tag));
        actor->PlayAnimation(5, 1.0f, 1.0f, true);
        Frame(16);
        const auto px = Frame(16);
        Save(px, team == 0 ? "skinned_angel.png" : "skinned_demon.png");
        int n = 0;
        for (size_t i = 0; i + 3 < px.size(); i += 4) {
            if (px[i] == px[0] && px[i + 1] == px[1] && px[i + 2] == px[2]) continue;
            mean[team].r += px[i], mean[team].g += px[i + 1], mean[team].b += px[i + 2];
            ++n;
        }
        ASSERT_GT(n, kSize * kSize / 20);
        mean[team].r /= n, mean[team].g /= n, mean[team].b /= n;
        ds->GetSpatial()->DestroyObject(10 + team);
    }
    EXPECT_GT(mean[0].r + mean[0].g + mean[0].b, 3 * 110.0) << "the Angel is light";
    EXPECT_GE(mean[0].b, mean[0].r - 10.0) << "and cool";
    EXPECT_GT(mean[1].r, 1.8 * mean[1].g) << "the Demon is red";
    EXPECT_GT(mean[1].r, 1.8 * mean[1].b);
}

TEST_F(SkinnedDraw, AOneShotHandsOverToThePendingRequestAndASecondCallbackReplacesTheFirst) {
    Camera({0, 0.3f, 7.5f}, {0, 0, 0});
    auto actor = ds->CreateAnimatedObject(1, Vector3(0, 0, 0), Quaternion(), Vector3(1, 1, 1), state);
    int first = 0, second = 0;
    actor->SetCallback([&](const Matrix4x4&) { ++first; });
    actor->SetCallback([&](const Matrix4x4&) { ++second; });
    actor->SetAnimation(8, 1.0f, 1.0f);          // stand holding, once the jump is over
    actor->PlayAnimation(0, 0.44f, 1.0f, false);  // the jump: 0.9 s at 0.44 = 2.05 s
    Gfx::AnimationController& ac = actor->Mesh()->Animation();
    const int index = actor->ControllerIndex();
    Frame(1000);
    EXPECT_EQ(ac.Mixer(index)->GetTrackDesc(ac.TrackToggle(index, 0)).animationSet, 0);
    Frame(1000);
    Frame(100);  // 2.1 s: the jump has switched itself off and the request took over
    const Gfx::TrackDesc now = ac.Mixer(index)->GetTrackDesc(ac.TrackToggle(index, 0));
    EXPECT_TRUE(now.enable);
    EXPECT_EQ(now.animationSet, 8);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 3);
}
