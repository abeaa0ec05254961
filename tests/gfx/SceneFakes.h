// Small stand-ins for the scene's tests: a model that only has a box and a
// tag, states built from tags, and a draw object that records its draws.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gfx/DrawObj.h"
#include "gfx/Effect.h"
#include "gfx/GfxEngine.h"
#include "gfx/StateMan.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"

class FakeModel : public Gfx::IModel {
public:
    // A box of corners +-half.
    FakeModel(int tag_, float half) {
        tag = tag_;
        box.minCorner = Geometry::Vector3(-half, -half, -half);
        box.maxCorner = Geometry::Vector3(half, half, half);
        box.radius = (box.maxCorner - box.minCorner).Length();
    }
    void Bind(Platform::GLDevice*) override {}
    void Draw(Platform::GLDevice*) override {}
    void Unbind(Platform::GLDevice*) override {}
    int GetIndexCount() const override { return 0; }
};

// A one-pass effect under the tag (needs the engine's GL context).
inline std::shared_ptr<Gfx::Effect> FakeEffect(int tag) {
    static const char* const kText =
        "vertex v\nin vec3 inPosition;\nvoid main() { gl_Position = vec4(inPosition, 1.0); }\nend\n"
        "fragment f\nout vec4 outColor;\nvoid main() { outColor = vec4(1.0); }\nend\n"
        "technique T\npass\nvertex v\nfragment f\nend\nend\n"
        "technique T_NoTexture\npass\nvertex v\nfragment f\nend\nend\n";
    std::string err;
    Gfx::StateMan* sm = Gfx::GfxEngine::Instance()->GetStateMan();
    auto e = Gfx::Effect::FromText(kText, "fake", tag, &sm->Pool(), &err);
    EXPECT_TRUE(e) << err;
    return e;
}

inline std::shared_ptr<Gfx::Texture> FakeTexture(int tag) {
    auto t = std::make_shared<Gfx::Texture>();
    t->tag = tag;
    return t;
}

inline Gfx::GfxState MakeState(int effectTag, std::shared_ptr<Gfx::IModel> model, int textureTag = -1,
                               float alpha = 1.0f, int flags = 0) {
    Gfx::GfxState s;
    s.effect = FakeEffect(effectTag);
    s.model = std::move(model);
    s.technique = "T";
    if (textureTag >= 0) s.texture = FakeTexture(textureTag);
    s.alpha = alpha;
    s.flags = flags;
    return s;
}

// Appends its id to a shared log when drawn, with its top alpha.
class RecordingObj : public Gfx::IDrawObj {
public:
    struct Draw_ {
        int id;
        float alpha;
    };
    RecordingObj(int id, const Geometry::Vector3& pos, const Gfx::GfxState& st, std::vector<Draw_>* log)
        : IDrawObj(id, pos, Geometry::Quaternion(), Geometry::Vector3(1, 1, 1), st), m_log(log) {}
    void Draw(Platform::GLDevice*) override { m_log->push_back({GetId(), TopState().alpha}); }

private:
    std::vector<Draw_>* m_log;
};
