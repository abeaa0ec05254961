// The render-state manager and effects on the real GL device: parameters by
// name and by semantic, the technique variants drawn and read back, shared
// parameters, the pass states put back, broken shaders refused, the
// binding that changes only what differs, and missing tags warned.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <fstream>

#include "GfxTestSupport.h"
#include "gfx/Effect.h"
#include "gfx/GfxState.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "support/TempPath.h"

using GfxTest::RgbNear;

namespace {

const char* kQuadEffect = R"(# a quad in clip space, coloured by material, tint, texture and alpha
shared float4x4 ViewProjection
shared float4x4 Projection
shared float4x4 Billboard
shared float3 CameraEye
shared float3 CameraUp
shared float3 CameraSide
shared float3 LightDir
shared float mAlpha = 1
shared float3 mDiffuse = 1 1 1
shared float3 mEmissive
shared float3 mSpecular
shared float mPower
shared texture Tex
param float4x4 WorldViewProj : WORLDVIEWPROJ
param float4 Tint = 1 1 1 1
param float Radius : RADIUS
param texture Extra : EXTTEXTURE @TextureID=7 point

vertex vs
in vec3 inPosition;
in vec2 inTex0;
out vec2 uv;
void main() { gl_Position = WorldViewProj * vec4(inPosition, 1.0); uv = inTex0; }
end
fragment textured
in vec2 uv;
out vec4 outColor;
void main() { outColor = texture(Tex, uv) * vec4(mDiffuse, 1.0) * Tint * vec4(1.0, 1.0, 1.0, mAlpha); }
end
fragment plain
in vec2 uv;
out vec4 outColor;
void main() { outColor = vec4(mDiffuse, 1.0) * Tint * vec4(1.0, 1.0, 1.0, mAlpha); }
end
fragment extra
in vec2 uv;
out vec4 outColor;
void main() { outColor = texture(Extra, uv) * Radius; }
end

technique Quad
  pass
    vertex vs
    fragment textured
    blend alpha
    depthtest off
  end
end
technique Quad_NoTexture
  pass
    vertex vs
    fragment plain
    blend alpha
    depthtest off
  end
end
technique Quad_BlendAdd
  pass
    vertex vs
    fragment textured
    blend add
    depthtest off
  end
end
technique Quad_BlendModulate
  pass
    vertex vs
    fragment textured
    blend modulate
    depthtest off
  end
end
technique Ext
  pass
    vertex vs
    fragment extra
    blend off
    depthwrite off
    cull cw
  end
end
technique Ext_NoTexture
  pass
    vertex vs
    fragment extra
  end
end
)";

std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = TestSupport::TempPath(name);
    std::ofstream(path) << text;
    return path;
}

class StateManGL : public GfxTest::Engine {
protected:
    void SetUp() override {
        GfxTest::Engine::SetUp();
        if (HasFatalFailure()) return;
        effect = sm->LoadEffect(1, WriteFile("mirav_quad.fx", kQuadEffect));
        ASSERT_TRUE(effect);
        // A full-screen quad (positions already in clip space).
        std::vector<Gfx::MeshVertex> v = {{{-1, -1, 0}, {0, 0, 1}, {0, 1}},
                                          {{1, -1, 0}, {0, 0, 1}, {1, 1}},
                                          {{-1, 1, 0}, {0, 0, 1}, {0, 0}},
                                          {{1, 1, 0}, {0, 0, 1}, {1, 0}}};
        std::vector<uint16_t> idx = {0, 1, 2, 2, 1, 3};
        auto vb = Gfx::CreateVertexBuffer(*core, 4, core->GetMeshDecl(), sizeof(Gfx::MeshVertex), false);
        auto ib = Gfx::CreateIndexBuffer(*core, 6, false, vb);
        ASSERT_TRUE(ib);
        ASSERT_TRUE(vb->Fill(v.data(), 4));
        ASSERT_EQ(ib->Append(idx, 2), 0);
        quad = sm->LoadModel(3, std::make_shared<Gfx::ModelIVBuffer>(ib, 6));
        core->SetClearColor(0.2f, 0.4f, 0.6f);  // (51, 102, 153)
        Gfx::GfxEngine::Instance()->SetCameraParams(Gfx::CameraParams{});
    }
    // One object drawn the way draw objects draw: state, object values, passes.
    void Draw(const Gfx::GfxState& s, const Geometry::Matrix4x4& world = Geometry::Matrix4x4::Identity(),
              const std::string* technique = nullptr) {
        if (technique) sm->SetStateWithTechnique(s, *technique);
        else sm->SetState(s);
        sm->Current().effect->SetObjectParameters(world, 2.0f);
        for (unsigned p = 0; p < sm->Current().effect->Passes(); ++p) {
            sm->BeginPass(static_cast<int>(p));
            sm->Current().model->Draw(core->GetDevice());
        }
    }
    Gfx::GfxState QuadState(const std::string& technique) {
        Gfx::GfxState s;
        s.effect = effect;
        s.model = quad;
        s.technique = technique;
        return s;
    }
    std::shared_ptr<Gfx::Effect> effect;
    std::shared_ptr<Gfx::IModel> quad;
};

}  // namespace

TEST_F(StateManGL, EveryTechniqueVariantDrawsItsBlendReadBack) {
    auto green = sm->LoadTexture(4, GfxTest::WriteSolidPng("mirav_green.png", 2, 2, 0, 255, 0, 255));
    auto grey = sm->LoadTexture(5, GfxTest::WriteSolidPng("mirav_grey.png", 2, 2, 64, 64, 64, 255));
    auto half = sm->LoadTexture(6, GfxTest::WriteSolidPng("mirav_half.png", 2, 2, 128, 255, 0, 255));
    ASSERT_TRUE(green && grey && half);
    auto red = sm->LoadMaterial(2, {}, {}, {1.0f, 0.0f, 0.0f}, 0.0f);
    auto white = sm->LoadMaterial(8, {}, {}, {1.0f, 1.0f, 1.0f}, 0.0f);

    struct Case {
        const char* what;
        std::shared_ptr<Gfx::Texture> texture;
        std::shared_ptr<Gfx::Material> material;
        std::string technique;  // the state's; the manager adds _NoTexture
        float alpha;
        std::vector<int> want;
    };
    const Case cases[] = {
        {"untextured colour, alpha blended", nullptr, red, "Quad", 0.5f, {153, 51, 77}},
        {"textured, opaque", green, white, "Quad", 1.0f, {0, 255, 0}},
        {"additive", grey, white, "Quad_BlendAdd", 1.0f, {115, 166, 217}},
        {"modulate", half, white, "Quad_BlendModulate", 1.0f, {26, 102, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Gfx::GfxState s = QuadState(c.technique);
        s.texture = c.texture;
        s.material = c.material;
        s.alpha = c.alpha;
        auto frame = Frame([&] {
            Draw(s);
            sm->EndState();
        });
        EXPECT_EQ(sm->CurrentTechnique(), "");
        GfxTest::DumpFrame(frame, kSize, std::string("variant_") + c.technique + "_" + std::to_string(c.alpha));
        EXPECT_TRUE(RgbNear(Pixel(frame, 32, 32), c.want, 2));
        EXPECT_TRUE(RgbNear(Pixel(frame, 1, 62), c.want, 2));
    }
}

TEST_F(StateManGL, ParametersByNameAndBySemanticReachTheShader) {
    auto texture = sm->LoadTexture(7, GfxTest::WriteSolidPng("mirav_ext.png", 2, 2, 100, 50, 20, 255));
    ASSERT_TRUE(texture);
    Gfx::GfxState s = QuadState("Ext");
    s.texture = texture;  // keeps the technique name as it is
    Geometry::Matrix4x4 world = Geometry::Matrix4x4::Identity();
    world(0, 0) = 0.5f;  // WORLDVIEWPROJ = identity camera x world: the quad shrinks to the middle half
    world(1, 1) = 0.5f;
    auto frame = Frame([&] {
        Draw(s, world);
        sm->EndState();
    });
    // RADIUS 2 doubles the EXTTEXTURE (tag 7) colour.
    EXPECT_TRUE(RgbNear(Pixel(frame, 32, 32), std::vector<int>{200, 100, 40}, 2));
    EXPECT_TRUE(RgbNear(Pixel(frame, 4, 4), std::vector<int>{51, 102, 153}, 1)) << "outside the shrunk quad";

    // By name: the tint multiplies the untextured variant.
    const float tint[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    ASSERT_TRUE(effect->SetValue("Tint", tint, sizeof tint));
    Gfx::GfxState plain = QuadState("Quad");
    plain.material = sm->LoadMaterial(9, {}, {}, {1.0f, 1.0f, 1.0f}, 0.0f);
    frame = Frame([&] {
        Draw(plain);
        sm->EndState();
    });
    EXPECT_TRUE(RgbNear(Pixel(frame, 32, 32), std::vector<int>{0, 255, 0}, 1));

    // Frame values: the light direction to four places, set with the first effect of a run.
    float light[3] = {};
    ASSERT_TRUE(effect->GetValue("LightDir", light, sizeof light));
    EXPECT_NEAR(light[0], 0.4975f, 5e-5f);
    EXPECT_NEAR(light[1], -0.4975f, 5e-5f);
    EXPECT_NEAR(light[2], 0.7107f, 5e-5f);
}

TEST_F(StateManGL, SharedParametersHaveOneValueForAllEffects) {
    auto other = sm->LoadEffect(2, WriteFile("mirav_quad2.fx", kQuadEffect));
    ASSERT_TRUE(other);
    const float alpha = 0.25f;
    ASSERT_TRUE(effect->SetValue("mAlpha", &alpha, 4));
    float seen = 0.0f;
    ASSERT_TRUE(other->GetValue("mAlpha", &seen, 4));
    EXPECT_EQ(seen, 0.25f);
    const float tint[4] = {0, 0, 0, 0};
    ASSERT_TRUE(effect->SetValue("Tint", tint, sizeof tint));
    float otherTint[4] = {};
    ASSERT_TRUE(other->GetValue("Tint", otherTint, sizeof otherTint));
    EXPECT_EQ(otherTint[0], 1.0f) << "a parameter that is not shared stays the effect's own";

    // A material set while no effect runs reaches the pool and the next effect.
    sm->EndState();
    sm->SetMaterial(sm->LoadMaterial(3, {}, {}, {0.0f, 0.0f, 1.0f}, 7.0f));
    float diffuse[3] = {};
    ASSERT_TRUE(other->GetValue("mDiffuse", diffuse, sizeof diffuse));
    EXPECT_EQ(diffuse[2], 1.0f);
    float power = 0.0f;
    ASSERT_TRUE(other->GetValue("mPower", &power, 4));
    EXPECT_EQ(power, 7.0f);
}

TEST_F(StateManGL, APassPutsBackTheStatesItChanged) {
    // A drawer before us left this state behind.
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_ONE, GL_ONE, GL_ZERO, GL_ONE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(GL_FRONT);
    auto query = [] {
        GLint v[9] = {};
        v[0] = glIsEnabled(GL_BLEND);
        glGetIntegerv(GL_BLEND_SRC_RGB, &v[1]);
        glGetIntegerv(GL_BLEND_DST_RGB, &v[2]);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &v[3]);
        v[4] = glIsEnabled(GL_DEPTH_TEST);
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        v[5] = mask;
        v[6] = glIsEnabled(GL_CULL_FACE);
        glGetIntegerv(GL_FRONT_FACE, &v[7]);
        glGetIntegerv(GL_CURRENT_PROGRAM, &v[8]);
        return std::vector<GLint>(v, v + 9);
    };
    const std::vector<GLint> before = query();
    Gfx::GfxState s = QuadState("Ext");
    s.texture = sm->LoadTexture(7, GfxTest::WriteSolidPng("mirav_ext2.png", 1, 1, 1, 2, 3, 255));
    Gfx::GfxState q = QuadState("Quad_BlendAdd");
    q.texture = s.texture;
    for (const Gfx::GfxState* st : {&s, &q}) {
        sm->SetState(*st);
        sm->BeginPass(0);
        const std::vector<GLint> during = query();
        EXPECT_NE(during, before) << "the pass sets its own states";
        sm->EndState();
        EXPECT_EQ(query(), before);
    }
}

TEST_F(StateManGL, BrokenShaderIsRefusedWithFileTechniqueAndLog) {
    std::string broken = kQuadEffect;
    broken.replace(broken.find("outColor = vec4(mDiffuse"), 8, "outColr ");
    const std::string path = WriteFile("mirav_broken.fx", broken);
    std::string error;
    EXPECT_FALSE(Gfx::Effect::FromFile(path, 5, &sm->Pool(), &error));
    EXPECT_NE(error.find("mirav_broken.fx"), std::string::npos) << error;
    EXPECT_NE(error.find("technique Quad_NoTexture"), std::string::npos) << error;
    EXPECT_NE(error.find("outColr"), std::string::npos) << "the GLSL log: " << error;

    GfxTest::LogCapture log;
    EXPECT_FALSE(sm->LoadEffect(5, path));
    EXPECT_TRUE(log.Has("technique Quad_NoTexture")) << log.All();
    EXPECT_TRUE(log.Has("D3D9Core::CreateEffect: Effect could not be loaded from: " + path)) << log.All();
    // The tag is taken (by an empty effect), which leaves the current effect in place when drawn.
    std::shared_ptr<Gfx::Effect> e = effect;
    EXPECT_TRUE(sm->RequestEffect(5, e));
    EXPECT_FALSE(e);

    error.clear();
    EXPECT_FALSE(Gfx::Effect::FromFile(TestSupport::TempPath("mirav_none.fx"), 6, nullptr, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST_F(StateManGL, BindingChangesOnlyWhatDiffers) {
    auto tex = sm->LoadTexture(4, GfxTest::WriteSolidPng("mirav_t.png", 1, 1, 9, 9, 9, 255));
    Gfx::GfxState s = QuadState("Quad");
    s.texture = tex;
    s.material = sm->LoadMaterial(2, {}, {}, {1, 1, 1}, 1);
    Frame([&] {
        Draw(s);
        const int starts = sm->TechniqueStarts(), binds = sm->ModelBinds(), begins = sm->BeginCount();
        const int commits = sm->CommitCount();
        Draw(s);  // the same state again: no technique start, no bind, one commit for the alpha
        EXPECT_EQ(sm->TechniqueStarts(), starts);
        EXPECT_EQ(sm->ModelBinds(), binds);
        EXPECT_EQ(sm->BeginCount(), begins);
        EXPECT_EQ(sm->CommitCount(), commits + 1);

        // No texture: the untextured variant; the bound texture stays.
        Gfx::GfxState bare = QuadState("Quad");
        sm->SetState(bare);
        EXPECT_EQ(sm->CurrentTechnique(), "Quad_NoTexture");
        EXPECT_EQ(sm->Current().texture, tex);

        // No effect: whatever runs is kept.
        Gfx::GfxState noEffect;
        noEffect.texture = tex;
        noEffect.technique = "Quad_BlendAdd";
        sm->SetState(noEffect);
        EXPECT_EQ(sm->Current().effect, effect);
        EXPECT_EQ(sm->CurrentTechnique(), "Quad_BlendAdd");
        sm->EndState();
        EXPECT_FALSE(sm->Current().effect);
        EXPECT_EQ(sm->Current().model, quad) << "the model stays bound";

        // After EndState the same effect gets the frame values again.
        const float zero[3] = {0, 0, 0};
        ASSERT_TRUE(effect->SetValue("LightDir", zero, 12));
        sm->SetState(s);
        float light[3] = {};
        effect->GetValue("LightDir", light, 12);
        EXPECT_NE(light[0], 0.0f);
        sm->EndState();
    });
}

TEST_F(StateManGL, MissingTagsWarnWithKindAndTagAndLeaveTheOutputAlone) {
    GfxTest::LogCapture log;
    Gfx::GfxState out = QuadState("Keep");
    out.alpha = 0.3f;
    EXPECT_FALSE(sm->RequestState(41, out));
    EXPECT_EQ(out.technique, "Keep");
    EXPECT_EQ(out.alpha, 0.3f);
    std::shared_ptr<Gfx::Texture> t;
    std::shared_ptr<Gfx::Material> m;
    std::shared_ptr<Gfx::IModel> model = quad;
    std::shared_ptr<Gfx::Effect> e = effect;
    std::string name = "x";
    EXPECT_FALSE(sm->RequestTexture(42, t));
    EXPECT_FALSE(sm->RequestMaterial(43, m));
    EXPECT_FALSE(sm->RequestModel(44, model));
    EXPECT_FALSE(sm->RequestEffect(45, e));
    EXPECT_FALSE(sm->RequestTechnique(46, name));
    EXPECT_EQ(model, quad);
    EXPECT_EQ(e, effect);
    EXPECT_EQ(name, "x");
    for (const char* line : {"StateMan::RequestState: State with tag 41 cannot be found",
                             "StateMan::RequestTexture: Texture with tag 42 cannot be found",
                             "StateMan::RequestMaterial: Material with tag 43 cannot be found",
                             "StateMan::RequestModel: Model with tag 44 cannot be found",
                             "StateMan::RequestEffect: Effect with tag 45 cannot be found",
                             "StateMan::RequestTechnique: Technique with tag 46 cannot be found"})
        EXPECT_TRUE(log.Has(line)) << line;

    // Tag setters on a state: a missing tag leaves the member as it was.
    Gfx::GfxState s;
    s.model = quad;
    EXPECT_FALSE(s.SetModelTag(99));
    EXPECT_EQ(s.model, quad);
    EXPECT_TRUE(s.SetEffectTag(1));
    EXPECT_EQ(s.effect, effect);
    sm->SetTechniqueName(3, "Quad");
    EXPECT_TRUE(s.SetTechniqueTag(3));
    EXPECT_EQ(s.technique, "Quad");

    // A loaded tag is never loaded again.
    auto first = sm->LoadMaterial(50, {}, {}, {1, 0, 0}, 1);
    auto second = sm->LoadMaterial(50, {}, {}, {0, 1, 0}, 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(sm->LoadEffect(1, "/nonexistent.fx"), effect);
}

TEST(GfxStateRecord, InheritFillsEmptyMembersOrsFlagsKeepsAlpha) {
    Gfx::GfxState parent;
    parent.flags = 2;
    parent.alpha = 0.9f;
    parent.technique = "Parent";
    parent.material = std::make_shared<Gfx::Material>();
    Gfx::GfxState child;
    child.flags = 1;
    child.alpha = 0.5f;
    child.Inherit(parent);
    EXPECT_EQ(child.flags, 3);
    EXPECT_EQ(child.alpha, 0.5f);
    EXPECT_EQ(child.technique, "Parent");
    EXPECT_EQ(child.material, parent.material);
    Gfx::GfxState own;
    own.technique = "Own";
    own.Inherit(parent);
    EXPECT_EQ(own.technique, "Own");
}

TEST_F(StateManGL, HandlesShareOneCacheAndSemanticsMatchExactly) {
    const std::string text = R"(param float4x4 Quad : WORLD
param float4x4 Near : WORLDX
param float4x4 Lower : world
param float Radius : RADIUS
vertex vs
in vec3 inPosition;
void main() { gl_Position = Quad * Near * Lower * vec4(inPosition * Radius, 1.0); }
end
fragment fs
out vec4 outColor;
void main() { outColor = vec4(1.0); }
end
technique Quad
  pass
    vertex vs
    fragment fs
  end
end
)";
    std::string error;
    auto e = Gfx::Effect::FromText(text, "handles", 9, &sm->Pool(), &error);
    ASSERT_TRUE(e) << error;
    // The parameter named like the technique is resolved first: the cache
    // then hands it out for the technique too, which cannot be set.
    const Gfx::Effect::Handle p = e->GetParameterHandle("Quad");
    EXPECT_EQ(p.kind, Gfx::Effect::Handle::Param);
    EXPECT_EQ(e->GetTechniqueHandle("Quad").kind, Gfx::Effect::Handle::Param);
    EXPECT_FALSE(e->SetTechnique(e->GetTechniqueHandle("Quad")));
    EXPECT_FALSE(e->GetParameterHandle("Missing"));

    Geometry::Matrix4x4 world = Geometry::Matrix4x4::Identity();
    world(0, 3) = 5.0f;
    e->SetObjectParameters(world, 3.0f);
    float m[16] = {};
    ASSERT_TRUE(e->GetValue("Quad", m, sizeof m));
    EXPECT_EQ(m[12], 5.0f) << "WORLD set, stored column by column";
    ASSERT_TRUE(e->GetValue("Near", m, sizeof m));
    EXPECT_EQ(m[12], 0.0f) << "WORLDX is not WORLD";
    ASSERT_TRUE(e->GetValue("Lower", m, sizeof m));
    EXPECT_EQ(m[12], 0.0f) << "semantics are case-sensitive";
    float r = 0.0f;
    ASSERT_TRUE(e->GetValue("Radius", &r, 4));
    EXPECT_EQ(r, 3.0f);
}

TEST_F(StateManGL, EffectsAndModelsSurviveAModeSwitch) {
    Gfx::GfxState s = QuadState("Quad");
    s.material = sm->LoadMaterial(2, {}, {}, {0.0f, 1.0f, 0.0f}, 0.0f);
    auto draw = [&] {
        Draw(s);
        sm->EndState();
    };
    EXPECT_TRUE(RgbNear(Pixel(Frame(draw), 32, 32), {0, 255, 0}, 1));
    ASSERT_TRUE(core->ToWindowed(4, 96, 96, false));
    ASSERT_TRUE(core->ToWindowed(0, kSize, kSize, false));
    EXPECT_TRUE(RgbNear(Pixel(Frame(draw), 32, 32), {0, 255, 0}, 1));
}

// Frames presented without being read back keep the heap flat (a software
// rasteriser behind the offscreen driver used to queue every frame).
TEST_F(StateManGL, PresentedFramesDoNotPileUp) {
    ASSERT_TRUE(core->ToWindowed(0, 1024, 768, false));
    Gfx::GfxState s = QuadState("Quad");
    s.material = sm->LoadMaterial(2, {}, {}, {0.0f, 1.0f, 0.0f}, 0.0f);
    s.texture = sm->LoadTexture(4, GfxTest::WriteSolidPng("mirav_pile.png", 64, 64, 200, 200, 200, 255));
    core->SetSceneDrawer([&] {
        for (int i = 0; i < 6; ++i) Draw(s);
        sm->EndState();
    });
    for (int i = 0; i < 50; ++i) core->Render();
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 300; ++i) core->Render();
    const size_t after = mallinfo2().uordblks;
    core->SetSceneDrawer(nullptr);
    EXPECT_LT(static_cast<double>(after) - static_cast<double>(before), 300.0 * 4096.0)
        << "heap grew " << (static_cast<double>(after) - static_cast<double>(before)) / 300.0 << " bytes a frame";
}

// A frame larger than the window first made is drawn and read back whole.
TEST_F(StateManGL, AFrameLargerThanTheFirstWindowIsDrawnWhole) {
    ASSERT_TRUE(core->ToWindowed(0, 256, 192, false));
    Gfx::GfxState s = QuadState("Quad");
    s.material = sm->LoadMaterial(2, {}, {}, {0.0f, 0.0f, 1.0f}, 0.0f);
    std::vector<uint8_t> frame;
    core->SetSceneDrawer([&] {
        Draw(s);
        sm->EndState();
    });
    core->CaptureNextFrame(&frame);
    core->Render();
    core->SetSceneDrawer(nullptr);
    ASSERT_EQ(frame.size(), 256u * 192u * 4u);
    for (auto xy : {std::pair<int, int>{250, 186}, {128, 96}, {3, 3}}) {
        const size_t i = (static_cast<size_t>(xy.second) * 256u + static_cast<size_t>(xy.first)) * 4u;
        EXPECT_EQ(frame[i + 2], 255) << xy.first << "," << xy.second;
        EXPECT_EQ(frame[i], 0) << xy.first << "," << xy.second;
    }
}
