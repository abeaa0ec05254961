// Particle systems without a device (spawning, motion, the pool, the files,
// levels of detail) and through the offscreen device (an explosion drawn and
// gone; many live particles over many frames).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "gfx/AssetFiles.h"
#include "gfx/Camera.h"
#include "gfx/CameraMan.h"
#include "gfx/D3D9Core.h"
#include "gfx/DrawScreen.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/ParticleMan.h"
#include "gfx/Screenshot.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "platform/Window.h"
#include "GfxTestSupport.h"
#include "support/Harness.h"
#include "SceneEngine.h"
#include "support/TempPath.h"

using Geometry::Quaternion;
using Geometry::Vector3;
using Gfx::ParticleMan;
using Gfx::ParticleSystemData;

namespace {

ParticleSystemData Def(int method, int num, float rate, float life) {
    ParticleSystemData d;
    d.spawnMethod = method;
    d.numParticles = num;
    d.spawnRate = rate;
    d.minLife = d.maxLife = life;
    return d;
}

std::map<int, std::shared_ptr<ParticleSystemData>> ReadSys(const std::string& text, Gfx::ParticleFileError* err,
                                                            bool* ok = nullptr) {
    std::istringstream in(text);
    std::map<int, std::shared_ptr<ParticleSystemData>> out;
    const bool r = ParticleMan::ReadSystems(in, "sys.ini", out, err);
    if (ok) *ok = r;
    return out;
}

}  // namespace

TEST(ParticleSpawn, ContinuousCountsCarryTheRemainderInParticles) {
    struct Case {
        int num;
        float rate, dt;
        std::vector<int> perFrame;
    } cases[] = {
        {100, 10.0f, 0.016f, {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}},  // 10/s holds: one every ~6 frames
        {100, 7.0f, 0.1f, {0, 1, 1, 0, 1}},
        {2, 7.0f, 0.1f, {0, 1, 1, 0, 0, 0}},  // stops once NumParticles are out
        {100, 0.0f, 0.1f, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        ParticleMan man("");
        Gfx::ParticleSystemPoint s(Def(ParticleSystemData::kContinuous, c.num, c.rate, 100.0f), &man);
        int before = 0;
        for (size_t f = 0; f < c.perFrame.size(); ++f) {
            s.Update(c.dt, Vector3());
            EXPECT_EQ(s.Spawned() - before, c.perFrame[f]) << "rate " << c.rate << " frame " << f;
            before = s.Spawned();
        }
        EXPECT_LT(s.SpawnRemainder(), 1.0f);
    }
}

TEST(ParticleSpawn, OnceAndPermanentMethods) {
    ParticleMan man("");
    Gfx::ParticleSystemPoint once(Def(ParticleSystemData::kOnce, 10, 0.0f, 0.05f), &man);
    once.Update(0.016f, Vector3());
    EXPECT_EQ(once.Particles().size(), 10u);
    for (int i = 0; i < 3; ++i) once.Update(0.016f, Vector3());
    EXPECT_EQ(once.Spawned(), 10);
    EXPECT_FALSE(once.Finished());
    once.Update(0.016f, Vector3());
    EXPECT_TRUE(once.Particles().empty());
    EXPECT_TRUE(once.Finished());

    // Each dying particle is replaced: never more than 20 alive, 20 again
    // after every wave of deaths, never finished.
    Gfx::ParticleSystemPoint perm(Def(ParticleSystemData::kPermanent, 20, 1000.0f, 0.05f), &man);
    size_t most = 0;
    for (int i = 0; i < 100; ++i) {
        perm.Update(0.016f, Vector3());
        EXPECT_LE(perm.Particles().size(), 20u);
        if (i > 50) most = std::max(most, perm.Particles().size());
    }
    EXPECT_EQ(most, 20u);
    EXPECT_FALSE(perm.Finished());
}

TEST(ParticleSpawn, ZeroLifeDiesAtOnceWithoutNaN) {
    ParticleMan man("");
    Gfx::ParticleSystemPoint s(Def(ParticleSystemData::kOnce, 5, 0.0f, 0.0f), &man);
    s.Update(0.016f, Vector3());
    for (const auto& p : s.Particles()) {
        EXPECT_TRUE(std::isfinite(p->color.w));
        EXPECT_TRUE(std::isfinite(p->speed));
    }
    s.Update(0.016f, Vector3());
    EXPECT_TRUE(s.Finished());
}

TEST(ParticleMotion, ColourFieldCircleAndFollowing) {
    ParticleMan man("");
    // Half the life: half way from the start colour to the end colour.
    ParticleSystemData d = Def(ParticleSystemData::kOnce, 1, 0.0f, 2.0f);
    Gfx::ParticleSystemPoint fade(d, &man);
    fade.Update(1.0f, Vector3());
    EXPECT_NEAR(fade.Particles().front()->color.w, 0.5f, 1e-5f);

    d = Def(ParticleSystemData::kOnce, 50, 0.0f, 10.0f);
    d.kind = ParticleSystemData::kField;
    d.fieldType = 2;
    d.radius = 2.0f;
    d.minSpeed = d.maxSpeed = 5.0f;
    Gfx::ParticleSystemField field(d, &man);
    field.Update(0.1f, Vector3());
    std::vector<Vector3> first;
    bool spread = false;
    for (const auto& p : field.Particles()) {
        EXPECT_LE(std::fabs(p->position.x), 2.0f);
        EXPECT_LE(std::fabs(p->position.y), 2.0f);
        EXPECT_EQ(p->position.z, 0.0f);
        spread = spread || std::fabs(p->position.x) > 1.0f;
        first.push_back(p->position);
    }
    EXPECT_TRUE(spread);
    field.Update(0.1f, Vector3());
    size_t i = 0;
    for (const auto& p : field.Particles()) EXPECT_EQ(p->position.x, first[i++].x);

    d = Def(ParticleSystemData::kOnce, 8, 0.0f, 10.0f);
    d.kind = ParticleSystemData::kCircle;
    d.radius = 3.0f;
    Gfx::ParticleSystemCircle circle(d, &man, Vector3(0, 0, 1));
    circle.Update(0.0f, Vector3());
    int k = 0;
    for (const auto& p : circle.Particles()) {
        const float a = static_cast<float>(k++) * 3.14159265f / 4.0f;
        EXPECT_NEAR(p->position.x, 3.0f * std::cos(a), 1e-4f);
        EXPECT_NEAR(p->position.y, 3.0f * std::sin(a), 1e-4f);
    }

    // A system that does not follow its effect leaves its particles where
    // they are in the world while the effect moves.
    d = Def(ParticleSystemData::kOnce, 1, 0.0f, 10.0f);
    d.followSystem = false;
    Gfx::ParticleSystemPoint left(d, &man);
    left.Update(0.1f, Vector3());
    left.Update(0.1f, Vector3(1, 0, 0));
    EXPECT_FLOAT_EQ(left.Particles().front()->position.x, -1.0f);
}

TEST(ParticlePool, GrowsByHundredThenHalfAgainOfAllMade) {
    struct Case {
        int takes;
        unsigned created;
    } cases[] = {{1, 100}, {100, 100}, {101, 250}, {250, 250}, {251, 625}};
    for (const Case& c : cases) {
        ParticleMan man("");
        std::vector<std::shared_ptr<Gfx::Particle>> held;
        for (int i = 0; i < c.takes; ++i) held.push_back(man.TakeParticle());
        EXPECT_EQ(man.ParticlesCreated(), c.created) << c.takes;
        EXPECT_EQ(man.PoolSize(), c.created - static_cast<unsigned>(c.takes));
        held.front()->age = 3.0f;
        man.ReturnParticle(held.front());
        EXPECT_EQ(man.TakeParticle()->age, 0.0f);  // taken back reset
    }
}

TEST(ParticleLod, LevelsByDistanceAndRefusedDrawEvery) {
    ParticleMan man("");
    man.SetLodLevels({{0, 0, 1, 1}, {20, 0, 2, 2}, {50, 0, 3, 3}});
    const std::pair<float, int> cases[] = {{10, 1}, {20, 2}, {49.9f, 2}, {50, 3}, {1000, 3}, {-5, 3}};
    for (auto c : cases) EXPECT_EQ(man.GetLodLevel(c.first).scale, c.second) << c.first;

    const std::string file = TestSupport::TempPath("mirav_particle_lod.ini");
    std::ofstream(file) << "[Optimization]\nlod_levels=2\ndist_lod1=0\ndist_lod2=30\n[ParticleSystem]\n"
                           "particle_scale_lod1=1\nparticle_scale_lod2=4\nparticle_drawct_lod1=0\nparticle_drawct_lod2=3\n";
    ParticleMan fromFile(file);
    ASSERT_EQ(fromFile.LodLevels().size(), 2u);
    EXPECT_EQ(fromFile.LodLevels()[0].drawEvery, 1);  // 0 refused
    EXPECT_EQ(fromFile.LodLevels()[0].nextDistance, 30.0f);
    EXPECT_EQ(fromFile.GetLodLevel(35).scale, 4);
    EXPECT_EQ(fromFile.GetLodLevel(35).drawEvery, 3);
}

TEST(ParticleDraw, LevelSkipsIdsAndOverlayDrawsAll) {
    ParticleMan man("");
    Gfx::ParticleSystemPoint s(Def(ParticleSystemData::kOnce, 7, 0.0f, 10.0f), &man);
    s.Update(0.0f, Vector3());
    auto obj = s.GetDrawObj();
    obj->level = {0, 0, 2, 3};
    ASSERT_TRUE(obj->FillVertices());
    EXPECT_EQ(obj->primitiveCount, 6);  // ids 0, 3, 6
    EXPECT_EQ(obj->vertices[0].tex3[0], 2.0f);
    EXPECT_EQ(obj->indices[3 * 6 - 1], 11);  // q + 3 of the third quad
    obj->overlay = true;
    ASSERT_TRUE(obj->FillVertices());
    EXPECT_EQ(obj->primitiveCount, 14);
    EXPECT_EQ(obj->vertices[0].tex3[0], 1.0f);

    std::list<std::shared_ptr<Gfx::Particle>> odd{std::make_shared<Gfx::Particle>(), std::make_shared<Gfx::Particle>()};
    odd.front()->id = 1;
    odd.back()->id = 2;
    Gfx::DrawObjPSys skipped(Gfx::GfxState(), &odd);
    skipped.level = {0, 0, 1, 3};
    EXPECT_FALSE(skipped.FillVertices());
}

TEST(ParticleFiles, SystemKeysTypesAndRefusals) {
    Gfx::ParticleFileError err;
    bool ok = false;
    auto sys = ReadSys("junk NumParticles 99 PARTICLE_SYSTEMS_START NumParticles 5\n"
                       "A 3 x ConeSystem\n BlendMode Add FieldType Square MinColor [0.5, 0.25, 1, 1]\n"
                       " EvenSpaced no FollowSystem false NumParticles 4\n"
                       "B 4 x FieldSystem BlendMode add\n"
                       "C 3 x CircleSystem SpawnMethod Continuous SpawnRate 2.5\nEnd\nD 9 x PointSystem End",
                       &err, &ok);
    ASSERT_TRUE(ok) << err.message;
    ASSERT_EQ(sys.size(), 2u);
    EXPECT_EQ(sys[3]->kind, ParticleSystemData::kCircle);  // the second tag 3 replaced the first
    EXPECT_EQ(sys[3]->spawnMethod, ParticleSystemData::kContinuous);
    EXPECT_FLOAT_EQ(sys[3]->spawnRate, 2.5f);
    EXPECT_EQ(sys[4]->blendMode, ParticleSystemData::kModulate);  // lower-case "add" ignored
    EXPECT_EQ(sys[4]->numParticles, 0);

    sys = ReadSys("PARTICLE_SYSTEMS_START A 3 x ConeSystem BlendMode Add FieldType Square EvenSpaced no "
                  "FollowSystem false NumParticles 4 MinColor [0.5, 0.25, 1, 1] End", &err, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(sys[3]->blendMode, ParticleSystemData::kAdd);
    EXPECT_EQ(sys[3]->fieldType, 2);
    EXPECT_TRUE(sys[3]->evenSpaced);
    EXPECT_FALSE(sys[3]->followSystem);
    EXPECT_EQ(sys[3]->numParticles, 4);
    EXPECT_FLOAT_EQ(sys[3]->minColor.y, 0.25f);

    const struct {
        const char* text;
        int line;
        const char* says;
    } bad[] = {
        {"PARTICLE_SYSTEMS_START\nA 1 x PointSystem\n\nB 2 x SquareSystem\nEnd", 4, "SquareSystem"},
        {"PARTICLE_SYSTEMS_START\nA 1 x PointSystem\nNumParticles 3\n", 4, "End"},
        {"PARTICLE_SYSTEMS_START\nA 1 x PointSystem\nMinLife\nsoon\nEnd", 4, "MinLife"},
        {"PARTICLE_SYSTEMS_START\nA x", 2, "header"},
    };
    for (const auto& b : bad) {
        err = {};
        sys = ReadSys(b.text, &err, &ok);
        EXPECT_FALSE(ok) << b.text;
        EXPECT_TRUE(sys.empty());
        EXPECT_EQ(err.line, b.line) << err.message;
        EXPECT_NE(err.message.find("sys.ini:" + std::to_string(b.line)), std::string::npos) << err.message;
        EXPECT_NE(err.message.find(b.says), std::string::npos) << err.message;
    }
    // Huge bursts are bounded to what one draw can hold.
    sys = ReadSys("PARTICLE_SYSTEMS_START A 1 x PointSystem NumParticles 99999999 End", &err, &ok);
    EXPECT_EQ(sys[1]->numParticles, ParticleMan::kMaxQuadsPerSystem);
}

TEST(ParticleFiles, EffectsAndTheShippedPair) {
    std::istringstream in("x PARTICLE_EFFECTS_START Boom 5 SYS 1 0 SYS 2 0.5 Puff 6 SYS 3 0 Boom 5 SYS 4 0 End");
    std::map<int, ParticleMan::EffectDefinition> eff;
    Gfx::ParticleFileError err;
    ASSERT_TRUE(ParticleMan::ReadEffects(in, "e.ini", eff, &err));
    ASSERT_EQ(eff.size(), 2u);
    EXPECT_EQ(eff[5], (ParticleMan::EffectDefinition{{4, 0.0f}}));
    std::istringstream noEnd("PARTICLE_EFFECTS_START Boom 5 SYS 1 0\n");
    eff.clear();
    EXPECT_FALSE(ParticleMan::ReadEffects(noEnd, "e.ini", eff, &err));
    EXPECT_TRUE(eff.empty());

    // Every effect the game asks for, with systems that exist.
    ParticleMan man("");
    ASSERT_TRUE(man.LoadParticleData("Config/Graphics/ParticleSystems.ini", "Config/Graphics/ParticleEffects.ini"));
    for (int tag : {0, 1, 2, 3, 5, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 22, 24, 25, 26, 30, 31, 33, 34}) {
        auto it = man.EffectDefinitions().find(tag);
        ASSERT_NE(it, man.EffectDefinitions().end()) << tag;
        for (const auto& s : it->second) EXPECT_TRUE(man.SystemDefinitions().count(s.first)) << tag;
    }
    EXPECT_FALSE(man.LoadParticleData("Config/Graphics/NoSuch.ini", "Config/Graphics/ParticleEffects.ini"));
    EXPECT_FALSE(man.EffectDefinitions().empty());  // kept what it had
}

TEST(ParticleEffects, IdsTimelineAndFinishing) {
    ParticleMan man("");
    std::map<int, std::shared_ptr<ParticleSystemData>> sys;
    sys[1] = std::make_shared<ParticleSystemData>(Def(ParticleSystemData::kOnce, 3, 0.0f, 0.2f));
    sys[2] = std::make_shared<ParticleSystemData>(Def(ParticleSystemData::kOnce, 3, 0.0f, 0.2f));
    man.SetDefinitions(sys, {{5, {{1, 0.0f}, {2, 0.5f}}}});
    const int a = man.AddParticleEffect(5, Vector3(), Vector3(0, 1, 0), Quaternion(), false);
    const int b = man.AddParticleEffect(5, Vector3(), Vector3(0, 1, 0), Quaternion(), false);
    EXPECT_EQ(b, a + 1);
    EXPECT_EQ(man.AddParticleEffect(77, Vector3(), Vector3(), Quaternion(), false), -1);
    std::shared_ptr<Gfx::ParticleEffect> e;
    ASSERT_TRUE(man.GetParticleEffect(a, e));
    man.Update(0.1f);
    EXPECT_EQ(e->systems[0].system->Spawned(), 3);
    EXPECT_EQ(e->systems[1].system->Spawned(), 0);  // starts at 0.5 s
    for (int i = 0; i < 5; ++i) man.Update(0.1f);
    EXPECT_EQ(e->systems.back().system->Spawned(), 3);
    for (int i = 0; i < 20 && man.RunningEffects().count(a); ++i) man.Update(0.1f);
    EXPECT_EQ(man.RunningEffects().count(a), 0u);
    EXPECT_FALSE(man.RemoveParticleEffect(a));
    // A reload stops the running ones; ids keep growing.
    man.SetDefinitions(sys, {{5, {{1, 0.0f}}}});
    EXPECT_TRUE(man.RunningEffects().empty());
    EXPECT_EQ(man.AddParticleEffect(5, Vector3(), Vector3(), Quaternion(), false), b + 1);
}

// ------------------------------------------------------------- offscreen

namespace {
constexpr int kW = 320, kH = 240;

class ParticlePicture : public GfxTest::SceneEngine {
protected:
    ParticlePicture() : SceneEngine(kW, kH) {}
    void SetUp() override {
        SceneEngine::SetUp();
        if (HasFatalFailure()) return;
        pm = ds->GetSpatial()->GetParticleMan();
        ASSERT_TRUE(pm->LoadParticleData("Config/Graphics/ParticleSystems.ini", "Config/Graphics/ParticleEffects.ini"));
        ds->GetCameraMan()->LoadCamera(99, Vector3(0, 4, 24), Vector3(0, 2, 0), Vector3(0, 1, 0), 12, 2.5f, 1, 100,
                                       std::make_shared<Gfx::Frustum>(0.9f, 4.0f / 3.0f, 0.5f, 500.0f));
        ASSERT_TRUE(ds->SetActiveCamera(99));
        ds->GetActiveCamera()->SetFixedPoint(Vector3(0, 2, 0));
        ds->GetActiveCamera()->SetEye(Vector3(0, 4, 20));
    }
    std::vector<uint8_t> Frame(unsigned ms) {
        ds->Update(ms);
        std::vector<uint8_t> frame;
        engine->GetCore()->CaptureNextFrame(&frame);
        EXPECT_TRUE(engine->GetCore()->Render());
        return frame;
    }
    static size_t Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        size_t n = 0;
        for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
            if (std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) > 12) ++n;
        return n;
    }
    ParticleMan* pm = nullptr;
};

long MaxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
}  // namespace

TEST_F(ParticlePicture, ExplosionShowsThenLeavesNothing) {
    const std::vector<uint8_t> empty = Frame(16);
    const int id = pm->AddParticleEffect(5, Vector3(0, 2, 0), Vector3(0, 0, 1), Quaternion(), false);
    ASSERT_GE(id, 0);
    std::vector<size_t> changed;
    for (int f = 0; f < 12; ++f) {
        const std::vector<uint8_t> frame = Frame(16);
        changed.push_back(Differing(empty, frame));
        if (f == 3 || f == 11) {
            const std::string png = TestSupport::TempPath("mirav_explosion" + std::to_string(f) + ".png");
            Gfx::WritePng(png, kW, kH, frame);
            std::printf("picture: %s\n", png.c_str());
        }
    }
    EXPECT_GT(changed[3], static_cast<size_t>(kW * kH / 20));  // a big bright burst
    EXPECT_NE(changed[3], changed[11]);                           // and it moves
    for (int f = 0; f < 300 && pm->RunningEffects().count(id); ++f) Frame(16);
    EXPECT_EQ(pm->RunningEffects().count(id), 0u);
    EXPECT_EQ(Differing(empty, Frame(16)), 0u);
}

namespace {
// Where a frame differs from the empty one: how many pixels, their centre
// and their box, in screen pixels from the top left.
struct LitArea {
    size_t count = 0;
    double cx = 0, cy = 0;
    int x0 = kW, y0 = kH, x1 = -1, y1 = -1;
};

LitArea Lit(const std::vector<uint8_t>& empty, const std::vector<uint8_t>& frame) {
    LitArea a;
    for (int row = 0; row < kH; ++row)
        for (int x = 0; x < kW; ++x) {
            const size_t i = (static_cast<size_t>(row) * kW + static_cast<size_t>(x)) * 4u;
            if (i + 3 >= empty.size() || i + 3 >= frame.size()) continue;
            const int d = std::abs(empty[i] - frame[i]) + std::abs(empty[i + 1] - frame[i + 1]) +
                          std::abs(empty[i + 2] - frame[i + 2]);
            if (d <= 12) continue;
            const int y = kH - 1 - row;  // the capture is bottom row first
            ++a.count;
            a.cx += x;
            a.cy += y;
            a.x0 = std::min(a.x0, x);
            a.x1 = std::max(a.x1, x);
            a.y0 = std::min(a.y0, y);
            a.y1 = std::max(a.y1, y);
        }
    if (a.count) {
        a.cx /= static_cast<double>(a.count);
        a.cy /= static_cast<double>(a.count);
    }
    return a;
}
}  // namespace

// The HUD's effects are placed in fractions of the screen and stay there
// wherever the camera looks; world effects are seen through the camera.
TEST_F(ParticlePicture, OverlaysStayOnScreenWorldEffectsMoveWithTheCamera) {
    struct Pose {
        const char* name;
        Vector3 eye, at;
    };
    // The second pose looks from the right and the third away from the scene.
    const Pose poses[] = {{"front", Vector3(0, 4, 20), Vector3(0, 2, 0)},
                          {"right", Vector3(6, 4, 20), Vector3(6, 2, 0)},
                          {"away", Vector3(40, 30, -60), Vector3(80, 30, -120)}};
    struct Overlay {
        int effect;
        Vector3 at;
        int reach;  // pixels the burst may spread from its place after three frames
    };
    // The pouch pick-up sparkle, the death burst over the screen and a score burst.
    const Overlay overlays[] = {{16, Vector3(0.09f, 0.73f, 0.5f), 12},
                                {15, Vector3(0.5f, 0.5f, 0.0f), 60},
                                {25, Vector3(0.8f, 0.1f, 0.0f), 20}};
    double worldX[3] = {0, 0, 0};
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(poses[p].name);
        ds->GetActiveCamera()->SetFixedPoint(poses[p].at);
        ds->GetActiveCamera()->SetEye(poses[p].eye);
        const std::vector<uint8_t> empty = Frame(16);
        for (const Overlay& o : overlays) {
            SCOPED_TRACE(o.effect);
            const int id = pm->AddParticleEffect(o.effect, o.at, Vector3(1, 0, 0), Quaternion(), true);
            ASSERT_GE(id, 0);
            std::vector<uint8_t> frame;
            for (int f = 0; f < 3; ++f) frame = Frame(16);
            const LitArea a = Lit(empty, frame);
            const double wantX = o.at.x * kW, wantY = o.at.y * kH;
            EXPECT_GT(a.count, 8u);
            EXPECT_NEAR(a.cx, wantX, o.reach / 2.0);
            EXPECT_NEAR(a.cy, wantY, o.reach / 2.0);
            EXPECT_GE(a.x0, wantX - o.reach);
            EXPECT_LE(a.x1, wantX + o.reach);
            EXPECT_GE(a.y0, wantY - o.reach);
            EXPECT_LE(a.y1, wantY + o.reach);
            if (p == 0) {
                const std::string png = TestSupport::TempPath("mirav_overlay" + std::to_string(o.effect) + ".png");
                Gfx::WritePng(png, kW, kH, frame);
                std::printf("picture: %s\n", png.c_str());
            }
            EXPECT_TRUE(pm->RemoveParticleEffect(id));
        }
        // An explosion in the world, at the point the front camera looks at.
        const int id = pm->AddParticleEffect(5, Vector3(0, 2, 0), Vector3(0, 0, 1), Quaternion(), false);
        std::vector<uint8_t> frame;
        for (int f = 0; f < 3; ++f) frame = Frame(16);
        const LitArea a = Lit(empty, frame);
        worldX[p] = a.count ? a.cx : -1.0;
        if (p == 2) EXPECT_EQ(a.count, 0u);  // behind the camera's back
        else EXPECT_GT(a.count, static_cast<size_t>(kW * kH / 50));
        EXPECT_TRUE(pm->RemoveParticleEffect(id));
        Frame(16);
    }
    EXPECT_NEAR(worldX[0], kW / 2.0, 20.0);
    EXPECT_LT(worldX[1], worldX[0] - 40.0);  // the camera moved right, the burst left
}

TEST_F(ParticlePicture, TwoThousandLiveParticlesKeepMemoryFlat) {
    std::map<int, std::shared_ptr<ParticleSystemData>> sys = pm->SystemDefinitions();
    auto d = std::make_shared<ParticleSystemData>(*sys.at(30));  // textured, additive
    d->tag = 900;
    d->numParticles = 2000;
    d->spawnMethod = ParticleSystemData::kPermanent;
    d->spawnRate = 8000.0f;
    d->minLife = 0.2f;
    d->maxLife = 0.3f;
    d->minSpeed = 1.0f;
    d->maxSpeed = 3.0f;
    sys[900] = d;
    pm->SetDefinitions(sys, {{900, {{900, 0.0f}}}});
    const int id = pm->AddParticleEffect(900, Vector3(0, 2, 0), Vector3(0, 1, 0), Quaternion(), false);
    std::shared_ptr<Gfx::ParticleEffect> e;
    ASSERT_TRUE(pm->GetParticleEffect(id, e));
    for (int f = 0; f < 1000; ++f) Frame(16);
    const size_t live = e->systems[0].system->Particles().size();
    EXPECT_GE(live, 1800u);
    const unsigned made = pm->ParticlesCreated();
    const long rss = MaxRssKb();
    for (int f = 0; f < 9000; ++f) Frame(16);
    EXPECT_EQ(pm->ParticlesCreated(), made);  // the pool is reused
    EXPECT_GE(e->systems[0].system->Particles().size(), 1800u);
#ifndef __SANITIZE_ADDRESS__
    // (The address sanitizer holds freed memory back in its quarantine, so
    // the process size says nothing there; the pool count above still does.)
    EXPECT_LT(MaxRssKb() - rss, 4096) << "kB grown over 9000 frames";
#endif
}
