// The asset and state file readers: the formats' corner cases through a
// recording sink, damaged files stopped with an error naming the file, and
// the shipped files loaded into the real engine with every tag resolved.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "GfxTestSupport.h"
#include "gfx/AssetFiles.h"
#include "gfx/CameraMan.h"
#include "gfx/DrawScreen.h"
#include "gfx/Font.h"
#include "gfx/TextMan.h"
#include "gfx/Effect.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "ini/IniFile.h"
#include "levels/LevelFiles.h"
#include "platform/GLTexture.h"

namespace {

struct Recorder : Gfx::IAssetSink {
    std::vector<std::string> calls;
    std::map<int, Geometry::Vector3> diffuse, specular, emissive;
    std::map<int, float> power;
    std::map<int, std::string> paths;
    std::vector<Gfx::CameraAsset> cameras;
    std::vector<Gfx::FontAsset> fonts;
    void Material(int tag, const Geometry::Vector3& d, const Geometry::Vector3& s, const Geometry::Vector3& e,
                  float p) override {
        calls.push_back("material " + std::to_string(tag));
        diffuse[tag] = d, specular[tag] = s, emissive[tag] = e, power[tag] = p;
    }
    bool Effect(int tag, const std::string& path) override {
        calls.push_back("effect " + std::to_string(tag));
        paths[tag] = path;
        return true;
    }
    void Technique(int tag, const std::string& name) override {
        calls.push_back("technique " + std::to_string(tag) + " " + name);
    }
    bool Texture(int tag, const std::string& path) override {
        calls.push_back("texture " + std::to_string(tag));
        paths[tag] = path;
        return true;
    }
    bool MeshModel(int tag, const std::string& path) override {
        calls.push_back("MSH " + std::to_string(tag) + " " + path);
        return true;
    }
    bool SkinnedModel(int tag, const std::string& path, int p) override {
        calls.push_back("SKN " + std::to_string(tag) + " " + path + " " + std::to_string(p));
        return true;
    }
    bool ParticleBuffer(int tag, int quads) override {
        calls.push_back("PBUFF " + std::to_string(tag) + " " + std::to_string(quads));
        return true;
    }
    bool BoxModel(int tag, const Geometry::Vector3& size, float tiling) override {
        (void)size;
        std::ostringstream s;
        s << "BOX " << tag << " " << tiling;
        calls.push_back(s.str());
        return true;
    }
    bool InstanceModel(int tag, int source, int copies) override {
        calls.push_back("INST " + std::to_string(tag) + " " + std::to_string(source) + " " + std::to_string(copies));
        return true;
    }
    void Camera(const Gfx::CameraAsset& c) override { cameras.push_back(c); }
    void Font(const Gfx::FontAsset& f) override { fonts.push_back(f); }
};

const char* kEmptySections =
    "MATERIALS_START MATERIALS_END EFFECTS_START a b EFFECTS_END TECHNIQUES_START TECHNIQUES_END "
    "TEXTURES_START a b TEXTURES_END MODELS_START a b MODELS_END CAMERAS_START CAMERAS_END "
    "FONTS_START a b FONTS_END";

bool Read(const std::string& text, Recorder& r, Gfx::AssetProblems* problems = nullptr) {
    std::istringstream in(text);
    Gfx::AsciiFileInput input(in, "test.ini");
    return Gfx::GfxLevelLoader(input).Load(r, problems);
}

std::string With(const std::string& marker, const std::string& entries) {
    std::string t = kEmptySections;
    const size_t at = t.find(marker);
    size_t insert = at + marker.size();
    if (marker != "MATERIALS_START" && marker != "TECHNIQUES_START" && marker != "CAMERAS_START")
        insert = t.find(' ', t.find(' ', insert + 1) + 1);  // past the two header words
    t.insert(insert, " " + entries + " ");
    return t;
}

}  // namespace

TEST(AssetFormat, EntriesOfEverySection) {
    Recorder r;
    std::string text = With("MATERIALS_START", "RED 4 [1 0 0] [0.5,0.5,0.5] [0 0 0] [12]");
    text = With("EFFECTS_START", "BASIC 2 [basic.fx] SPACE 3 [ basic.fx]");
    text.replace(text.find("EFFECTS_START a b"), 17, "EFFECTS_START x Effects/");
    std::string t2 = text;
    t2.insert(t2.find("MATERIALS_END"), "RED 4 [1 0 0] [0.5,0.5,0.5] [0 0 0] [12] ");
    t2.insert(t2.find("TECHNIQUES_END"), "T 3 [Basic_Lit] ");
    t2.insert(t2.find("MODELS_END"), "A 6 BOX [1 1 1] [3] B 7 BOX [50, 2, 50] [3] C 8 INST [0] [45] D 9 MSH [m.x] "
                                     "E 10 PBUFF [200] F 11 SKN [s.x] [2] ");
    t2.insert(t2.find("CAMERAS_END"), "CAM 2 [0.7] [1.3] [0.5] [900] [0 10 -20] [0,0,0] [0 1 0] [2] [8] [4] [40] ");
    t2.insert(t2.find("FONTS_END"), "F 40 [f.ttf] [DejaVu Sans] [16] [BOLDITALICS] G 41 [f.ttf] [X] [9] [Bold] ");
    Gfx::AssetProblems problems;
    ASSERT_TRUE(Read(t2, r, &problems)) << (problems.empty() ? "" : problems.front());
    EXPECT_EQ(r.diffuse[4], Geometry::Vector3(1, 0, 0));
    EXPECT_EQ(r.specular[4], Geometry::Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(r.emissive[4], Geometry::Vector3(0, 0, 0));
    EXPECT_EQ(r.power[4], 12.0f);
    EXPECT_EQ(r.paths[2], "Effects/basic.fx");
    EXPECT_EQ(r.paths[3], "Effects/ basic.fx") << "a blank inside the brackets belongs to the name";
    const std::vector<std::string> want = {"material 4", "effect 2", "effect 3", "technique 3 Basic_Lit",
                                           "BOX 6 3", "BOX 7 3", "INST 8 0 45", "MSH 9 bm.x", "PBUFF 10 200",
                                           "SKN 11 bs.x 2"};
    EXPECT_EQ(r.calls, want);
    ASSERT_EQ(r.cameras.size(), 1u);
    EXPECT_EQ(r.cameras[0].tag, 2);
    EXPECT_EQ(r.cameras[0].eye, Geometry::Vector3(0, 10, -20));
    EXPECT_EQ(r.cameras[0].maxDistance, 40.0f);
    ASSERT_EQ(r.fonts.size(), 2u);
    EXPECT_EQ(r.fonts[0].face, "DejaVu Sans");
    EXPECT_EQ(r.fonts[0].style, 3);
    EXPECT_EQ(r.fonts[0].size, 16);
    EXPECT_EQ(r.fonts[0].file, "bf.ttf") << "the prefix is put in front as it is";
    EXPECT_EQ(r.fonts[1].style, 0) << "style words are compared exactly";
}

TEST(AssetFormat, DamagedFilesStopWithAnErrorNamingTheFile) {
    struct Case {
        const char* what;
        std::string text;
        const char* problem;
        std::vector<std::string> calls;  // what was loaded before the damage
    };
    std::string outOfOrder = kEmptySections;
    outOfOrder.replace(0, std::string("MATERIALS_START MATERIALS_END").size(), "");
    outOfOrder += " MATERIALS_START M 1 [1 1 1] [0 0 0] [0 0 0] [1] MATERIALS_END";
    const Case cases[] = {
        {"truncated inside a section", "MATERIALS_START M 1 [1 1 1] [0 0 0] [0 0 0] [1] M 2 [1 1",
         "test.ini: entry 'M' (tag 2) in MATERIALS_START: malformed", {"material 1"}},
        {"bad number", With("MATERIALS_START", "M 1 [1 x 1] [0 0 0] [0 0 0] [1]"), "malformed colours", {}},
        {"bad tag", With("TECHNIQUES_START", "T one [x]"), "entry 'T' in TECHNIQUES_START has no integer tag", {}},
        {"no end marker", "MATERIALS_START M 1 [1 1 1] [0 0 0] [0 0 0] [1]", "test.ini: ends before MATERIALS_END",
         {"material 1"}},
        {"missing section", "EFFECTS_START a b EFFECTS_END", "test.ini: no MATERIALS_START marker", {}},
        {"sections out of order", outOfOrder, "no EFFECTS_START marker", {"material 1"}},
        {"unknown model kind", With("MODELS_START", "X 3 CUBE Y 4 BOX [1 1 1] [2]"),
         "unknown model kind 'CUBE'", {"BOX 4 2"}},
        {"unclosed bracket", With("EFFECTS_START", "E 1 [never closed"), "malformed file name", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        Gfx::AssetProblems problems;
        EXPECT_FALSE(Read(c.text, r, &problems));
        ASSERT_FALSE(problems.empty());
        EXPECT_NE(problems.front().find(c.problem), std::string::npos) << problems.front();
        EXPECT_EQ(problems.front().rfind("test.ini", 0), 0u) << problems.front();
        EXPECT_EQ(r.calls, c.calls);
    }
    // The unknown kind's fields are taken as the next entry: [1] is no tag.
    Recorder r;
    Gfx::AssetProblems problems;
    Read(With("MODELS_START", "X 3 CUBE [1] Y 4 BOX [1 1 1] [2]"), r, &problems);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[1].find("entry '[1]' in MODELS_START has no integer tag"), std::string::npos) << problems[1];
    // A file that cannot be opened.
    Gfx::AssetProblems missing;
    EXPECT_FALSE(Gfx::LoadAssetFile("/nonexistent/gfx.ini", r, &missing));
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_NE(missing[0].find("/nonexistent/gfx.ini: cannot be opened"), std::string::npos);
}

class AssetFilesGL : public GfxTest::Engine {};

TEST_F(AssetFilesGL, StatesFileBuildsStatesFromLoadedTags) {
    sm->LoadMaterial(1, {}, {}, {1, 0, 0}, 1);
    sm->SetTechniqueName(4, "Lit");
    Gfx::GfxEngine::Instance()->LoadBoxModel(1.0f, 2);
    std::istringstream text(
        "words before STATES_START S 5 MODEL 2 ALPHA 0.5 TECHNIQUE 4 FLAGS 3 T 6 MATERIAL 1 MODEL 77 STATES_END");
    Gfx::AsciiFileInput in(text, "states.ini");
    Gfx::AssetProblems problems;
    EXPECT_FALSE(Gfx::GfxStateLoader(in).Load(*sm, &problems)) << "model 77 is not loaded";
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "states.ini: state 6 names model 77, which is not loaded");
    Gfx::GfxState s5, s6;
    ASSERT_TRUE(sm->RequestState(5, s5));
    ASSERT_TRUE(sm->RequestState(6, s6));
    EXPECT_EQ(s5.alpha, 0.5f);
    EXPECT_EQ(s5.technique, "Lit");
    EXPECT_EQ(s5.flags, 3);
    ASSERT_TRUE(s5.model);
    EXPECT_EQ(s5.model->tag, 2);
    EXPECT_EQ(s6.alpha, 1.0f);
    EXPECT_FALSE(s6.model);
    ASSERT_TRUE(s6.material);
    EXPECT_EQ(s6.material->diffuse, Geometry::Vector3(1, 0, 0));

    // A later file replaces a state of the same tag; one without states leaves them.
    std::istringstream again("STATES_START S 5 ALPHA 0.25 STATES_END");
    Gfx::AsciiFileInput in2(again, "again.ini");
    EXPECT_TRUE(Gfx::GfxStateLoader(in2).Load(*sm));
    ASSERT_TRUE(sm->RequestState(5, s5));
    EXPECT_EQ(s5.alpha, 0.25f);
    EXPECT_FALSE(s5.model);
    sm->AddState(0, s6);
    std::istringstream empty("STATES_START STATES_END");
    Gfx::AsciiFileInput in3(empty, "empty.ini");
    EXPECT_TRUE(Gfx::GfxStateLoader(in3).Load(*sm));
    Gfx::GfxState s0;
    ASSERT_TRUE(sm->RequestState(0, s0));
    EXPECT_TRUE(s0.material) << "an empty section stores nothing over state 0";

    // A second asset entry for a known texture keeps the first one.
    const std::string a = GfxTest::WriteSolidPng("mirav_a.png", 1, 1, 255, 0, 0, 255);
    const std::string b = GfxTest::WriteSolidPng("mirav_b.png", 2, 2, 0, 255, 0, 255);
    auto first = sm->LoadTexture(70, a);
    EXPECT_EQ(sm->LoadTexture(70, b), first);
    EXPECT_EQ(first->texture->Width(), 1);
}

// Every tag the shipped files list, and every tag the rest of the game asks
// for by number, resolves to a loaded resource; the test names any that does not.
TEST_F(AssetFilesGL, ShippedFilesResolveEveryTag) {
    if (!std::filesystem::exists("Models") || !std::filesystem::exists("Textures"))
        GTEST_SKIP() << "the art pack is not generated (scripts/gen-data)";
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    Gfx::EngineAssetSink sink(*engine);
    std::set<int> cameras, fonts;
    sink.onCamera = [&](const Gfx::CameraAsset& c) {
        cameras.insert(c.tag);
        // The lowest pitch (pi / a) lies below the highest (pi / b), and the eye within the distances.
        EXPECT_GT(c.pitchDivisorA, c.pitchDivisorB) << "camera " << c.tag;
        EXPECT_LT(c.minDistance, c.maxDistance) << "camera " << c.tag;
    };
    sink.onFont = [&](const Gfx::FontAsset& f) {
        fonts.insert(f.tag);
        EXPECT_TRUE(std::filesystem::exists(f.file)) << f.file;
    };
    GfxTest::LogCapture log;
    Gfx::AssetProblems problems;
    EXPECT_TRUE(Gfx::LoadAssetFile(Gfx::kLoadingAssetsFile, sink, &problems));
    EXPECT_TRUE(Gfx::LoadStateFile(Gfx::kLoadingStatesFile, *sm, &problems));
    EXPECT_TRUE(Gfx::LoadAssetFile(Gfx::kGameAssetsFile, sink, &problems));
    EXPECT_TRUE(Gfx::LoadStateFile(Gfx::kGameStatesFile, *sm, &problems));
    std::string unresolved;
    for (const std::string& p : problems) unresolved += p + "\n";
    for (const auto& e : sm->Effects())
        if (!e.second) unresolved += "effect " + std::to_string(e.first) + "\n";
    for (const auto& t : sm->Textures())
        if (!t.second) unresolved += "texture " + std::to_string(t.first) + "\n";
    EXPECT_EQ(unresolved, "") << log.All();
    EXPECT_FALSE(log.Has("cannot be found")) << log.All();

    // Asked for by number elsewhere in the game.
    for (int s : {0, 1, 3, 5, 6, 9, 17, 22, 23, 29, 30, 32, 55, 59, 60, 69, 72, 100, 101, 102})
        EXPECT_TRUE(sm->States().count(s)) << "state " << s;
    for (int t : {9, 10, 11, 12, 13, 14, 24, 25, 260, 263, 264, 265, 266, 267, 269, 272})
        EXPECT_TRUE(sm->Textures().count(t)) << "texture " << t;
    for (int m : {6, 8}) EXPECT_TRUE(sm->Models().count(m)) << "model " << m;
    // Every level of the level choice shows a picture of its own: the
    // level's "screenshot" names a texture of these files.
    const Utility::IniFile levels("Levels/levels.ini");
    std::set<int> pictures;
    int listed = 0;
    for (int n = 0; n < 100; ++n) {
        const std::string file = GameLogicView::LevelFileFor(levels, n);
        if (file.empty()) continue;
        ++listed;
        const int tag = Utility::ReadIniOrDefault<int>(Utility::Key("screenshot"), Utility::Section("level"), file, -1);
        EXPECT_TRUE(sm->Textures().count(tag) && sm->Textures().at(tag)) << file << " shows texture " << tag;
        EXPECT_TRUE(pictures.insert(tag).second) << file << " shows another level's picture " << tag;
    }
    EXPECT_GE(listed, 3);
    for (int e : {2, 3, 12}) EXPECT_TRUE(sm->Effects().count(e)) << "effect " << e;
    for (int m : {22, 23}) EXPECT_TRUE(sm->Materials().count(m)) << "material " << m;
    EXPECT_TRUE(sm->Techniques().count(3));
    EXPECT_EQ(cameras, (std::set<int>{0, 1, 2}));
    for (int f : {0, 2, 3, 5, 6, 8, 9, 10, 40}) EXPECT_TRUE(fonts.count(f)) << "font " << f;
    // The sky model draws its six faces from 36 indices; the instance model holds 45 copies.
    EXPECT_EQ(sm->Models().at(8)->GetIndexCount() * 45,
              static_cast<Gfx::ModelIVBuffer&>(*sm->Models().at(8)).Indices()->indexCount);

    // Every state's technique exists in its effect, untextured ones as _NoTexture.
    for (const auto& st : sm->States()) {
        const Gfx::GfxState& s = st.second;
        if (!s.effect || s.technique.empty()) continue;
        const std::string t = s.texture ? s.technique : s.technique + "_NoTexture";
        EXPECT_TRUE(s.effect->Desc().FindTechnique(t)) << "state " << st.first << " runs " << t;
        EXPECT_TRUE(s.effect->Desc().FindTechnique(s.technique + "_NoTexture"))
            << "state " << st.first << ": a texture may be taken away";
    }
    // The particle effect has every blend variant, with and without texture.
    const Gfx::EffectDesc& particle = sm->Effects().at(5)->Desc();
    for (const char* t : {"Particle", "Particle_BlendAdd", "Particle_BlendModulate"}) {
        EXPECT_TRUE(particle.FindTechnique(t)) << t;
        EXPECT_TRUE(particle.FindTechnique(std::string(t) + "_NoTexture")) << t;
    }
    // The logic sizes its actors from these models' extents.
    std::ifstream extents("Config/Graphics/ModelExtents.ini");
    std::string word;
    while (extents >> word && word != "EXTENT_START") {
    }
    int count = 0;
    extents >> count;
    for (int i = 0; i < count; ++i) {
        int model = -1;
        float x, y, z;
        extents >> model >> x >> y >> z;
        EXPECT_TRUE(sm->Models().count(model)) << "model " << model << " of ModelExtents.ini";
    }
}

TEST_F(AssetFilesGL, ShippedEffectsBuildWithTheirVariants) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("Effects")) {
        if (entry.path().extension() != ".fx") continue;
        ++count;
        std::string error;
        auto e = Gfx::Effect::FromFile(entry.path().string(), count, &sm->Pool(), &error);
        ASSERT_TRUE(e) << error;
        // Every technique can lose its texture.
        for (const Gfx::EffectTechniqueDesc& t : e->Desc().techniques) {
            if (t.name.size() > 10 && t.name.compare(t.name.size() - 10, 10, "_NoTexture") == 0) continue;
            EXPECT_TRUE(e->Desc().FindTechnique(t.name + "_NoTexture")) << entry.path() << " " << t.name;
        }
        // The frame values are shared by every effect.
        for (const char* p : {"ViewProjection", "Projection", "Billboard", "CameraEye", "CameraUp", "CameraSide",
                              "LightDir", "mAlpha", "mDiffuse", "mEmissive", "mSpecular", "mPower", "Tex"}) {
            const Gfx::EffectParamDesc* d = e->Desc().FindParam(p);
            ASSERT_TRUE(d) << entry.path() << " " << p;
            EXPECT_TRUE(d->shared) << entry.path() << " " << p;
        }
    }
    EXPECT_GE(count, 7);
}

namespace {
// A camera as the scene builds it: view rows (side, up, back), GL clip space.
Gfx::CameraParams LookAt(const Geometry::Vector3& eye, const Geometry::Vector3& at, float fov, float aspect) {
    auto norm = [](Geometry::Vector3 v) { return v / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); };
    auto cross = [](Geometry::Vector3 a, Geometry::Vector3 b) {
        return Geometry::Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    };
    auto dot = [](Geometry::Vector3 a, Geometry::Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    const Geometry::Vector3 back = norm(eye - at), side = norm(cross({0, 1, 0}, back)), up = cross(back, side);
    Gfx::CameraParams c;
    const Geometry::Vector3 rows[3] = {side, up, back};
    for (int r = 0; r < 3; ++r) {
        c.view(r, 0) = rows[r].x, c.view(r, 1) = rows[r].y, c.view(r, 2) = rows[r].z;
        c.view(r, 3) = -dot(rows[r], eye);
    }
    const float f = 1.0f / std::tan(fov / 2), n = 0.5f, fa = 1000.0f;
    c.projection = Geometry::Matrix4x4::Identity();
    c.projection(0, 0) = f / aspect, c.projection(1, 1) = f;
    c.projection(2, 2) = (n + fa) / (n - fa), c.projection(2, 3) = 2 * n * fa / (n - fa);
    c.projection(3, 2) = -1, c.projection(3, 3) = 0;
    c.viewProjection = c.projection * c.view;
    c.eye = eye, c.up = up, c.side = side;
    return c;
}
}  // namespace

// The shipped mesh and sky effects on the generated art: a lit block inside
// the sky box, its faces lit differently, the sky behind it.
TEST_F(AssetFilesGL, ShippedEffectsDrawALitBlockInTheSky) {
    if (!std::filesystem::exists("Models/Block.x")) GTEST_SKIP() << "the art pack is not generated";
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    Gfx::EngineAssetSink sink(*engine);
    ASSERT_TRUE(Gfx::LoadAssetFile(Gfx::kGameAssetsFile, sink));
    ASSERT_TRUE(Gfx::LoadStateFile(Gfx::kGameStatesFile, *sm));
    engine->SetCameraParams(LookAt({1.6f, 1.4f, -2.2f}, {0, 0, 0}, 0.9f, 1.0f));
    Gfx::GfxState sky, block;
    ASSERT_TRUE(sm->RequestState(6, sky));
    block.effect = sm->Effects().at(0);
    block.technique = "Mesh";
    block.model = sm->Models().at(0);
    block.texture = sm->Textures().at(0);
    block.material = sm->Materials().at(3);
    core->SetClearColor(0, 0, 0);
    auto frame = Frame([&] {
        sky.texture = sm->Textures().at(9);
        sm->SetState(sky);
        Geometry::Matrix4x4 w = Geometry::Matrix4x4::Translation(engine->GetCameraParams().eye);
        w(0, 0) = w(1, 1) = w(2, 2) = 2.0f;
        sky.effect->SetObjectParameters(w, 1.0f);
        sm->BeginPass(0);
        for (int face = 0; face < 6; ++face) {
            sm->SetTexture(sm->Textures().at(9 + face));
            sm->ClearDirty();
            sky.effect->CommitChanges();
            sky.model->DrawRange(6 * face, 2, core->GetDevice());
        }
        sm->EndState();
        glClear(GL_DEPTH_BUFFER_BIT);
        sm->SetState(block);
        block.effect->SetObjectParameters(Geometry::Matrix4x4::Identity(), 1.0f);
        sm->BeginPass(0);
        block.model->Draw(core->GetDevice());
        sm->EndState();
    });
    GfxTest::DumpFrame(frame, kSize, "block_in_sky");
    auto sum = [](const std::vector<int>& p) { return p.empty() ? 0 : p[0] + p[1] + p[2]; };
    const std::vector<int> corner = Pixel(frame, 2, 2), centre = Pixel(frame, 32, 34);
    EXPECT_GT(sum(corner), 60) << "the sky shows behind";
    ASSERT_EQ(centre.size(), 3u);
    EXPECT_GT(centre[0], centre[1] + 20) << "the red material tints the block";
    // Three faces show; the lit ones differ in brightness.
    std::set<int> shades;
    for (auto xy : {std::pair<int, int>{32, 20}, {24, 38}, {40, 38}}) shades.insert(sum(Pixel(frame, xy.first, xy.second)) / 12);
    EXPECT_GE(shades.size(), 2u);
}

TEST_F(AssetFilesGL, TheEngineSinkFillsTheCameraAndTextManagersByDefault) {
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Create();
    screen->Initialize("Config/Config.ini");
    Gfx::EngineAssetSink sink(*Gfx::GfxEngine::Instance());
    std::istringstream text(
        "MATERIALS_START MATERIALS_END EFFECTS_START a b EFFECTS_END TECHNIQUES_START TECHNIQUES_END "
        "TEXTURES_START a b TEXTURES_END MODELS_START a b MODELS_END CAMERAS_START "
        "C 7 [0.8] [1.3] [0.5] [100] [0 5 -10] [0 0 0] [0 1 0] [2] [8] [4] [40] CAMERAS_END "
        "FONTS_START a Fonts/ F 9 [DejaVuSans.ttf] [DejaVu Sans] [20] [BOLD] FONTS_END");
    Gfx::AsciiFileInput in(text, "t.ini");
    EXPECT_TRUE(Gfx::GfxLevelLoader(in).Load(sink));
    auto camera = screen->GetCameraMan()->GetCamera(7);
    ASSERT_TRUE(camera);
    std::shared_ptr<Gfx::Font> font;
    ASSERT_TRUE(Gfx::TextMan::Current());
    EXPECT_TRUE(Gfx::TextMan::Current()->RequestFont(9, font));
    EXPECT_TRUE(font);
    Gfx::DrawScreen::Destroy();
}
