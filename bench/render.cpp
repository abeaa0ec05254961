// Our scene renderer against the best case on the same visible geometry, in
// one process on the offscreen (llvmpipe) device. A shipped level with 16
// players' worth of objects is seen from a fixed camera:
//   ours:     the draw screen's frame step (camera, cull into the render
//             queue) and the queue's draw, object by object;
//   baseline: the objects our cull found visible, pre-transformed and merged
//             into one vertex and index buffer per material, one draw call
//             each (the sky drawn the same way in both).
// Both frames include the clear and the present and end with glFinish.
// Prints, last:
//   render: scene=<name> objects=<n> ours_ms=<median> baseline_ms=<median> ratio=<ours/baseline>
// --tiny draws a few objects on a small surface a few times (CI proves the
// benchmark works); the figures come from full runs. --size WxH changes the
// surface (a smaller one weighs our per-object work more), --png <prefix>
// writes the last picture of each side.
#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
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
#include "gfx/Effect.h"
#include "gfx/Frustum.h"
#include "gfx/GfxEngine.h"
#include "gfx/Model.h"
#include "gfx/RenderQueue.h"
#include "gfx/Screenshot.h"
#include "gfx/Resources.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "platform/Window.h"

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

constexpr int kPlayers = 16;
constexpr int kSkyState = 6;
constexpr int kBlockMeshTag = 0;   // the mesh the instanced blocks are copies of
constexpr int kMeshEffectTag = 0;  // the lit mesh effect

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The level's actor reports, as the view would receive them.
std::vector<EventTypes::EventUpdateCreateActorData> LoadLevelActors(int level) {
    using GameLogicView::GlobalGameState;
    GlobalGameState* state = GlobalGameState::Instance();
    state->SetFlag(GlobalGameState::kLevel, static_cast<uint8_t>(level));
    state->SetFlag(GlobalGameState::kPaused, 0);
    state->SetFlag(GlobalGameState::kSkipTutorial, 1);
    std::vector<EventTypes::EventUpdateCreateActorData> out;
    EventSystem::EventRegistry registry;
    registry.Register(EventTypes::EventUpdateCreateActor::GetStaticType(), [&out](const EventSystem::IEvent& e) {
        if (auto* d = static_cast<const EventTypes::EventUpdateCreateActor&>(e).GetPayload()) out.push_back(*d);
        return false;
    });
    GameLogicView::MiravGameLogic logic(nullptr);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameLogic>(0));
    EventSystem::ProcessEventQueue();
    for (int i = 0; i < 3; ++i) {
        EventSystem::ProcessEventQueue();
        logic.OnUpdate(16);
    }
    EventSystem::ProcessEventQueue();
    return out;
}

Gfx::GfxState StateOf(Gfx::StateMan& sm, const GameLogicView::ObjectState& os) {
    Gfx::GfxState st;
    sm.RequestState(os.stateId, st);
    if (os.modelId >= 0) st.SetModelTag(os.modelId);
    if (os.materialId >= 0) st.SetMaterialTag(os.materialId);
    if (os.effectId >= 0) st.SetEffectTag(os.effectId);
    if (os.textureId >= 0) st.SetTextureTag(os.textureId);
    if (os.techniqueId >= 0) st.SetTechniqueTag(os.techniqueId);
    if (os.alpha >= 0.0f) st.alpha = os.alpha;
    st.flags |= os.flags;
    return st;
}

// One merged batch: the state it draws with and its pre-transformed geometry.
struct Batch {
    Gfx::GfxState state;
    std::vector<Gfx::MeshVertex> vertices;
    std::vector<uint16_t> indices;
    std::shared_ptr<Gfx::IModel> model;
};

// Appends the object's mesh, transformed by its world matrix, to the batches
// of its material (a new batch when 16-bit indices would run out).
void AddToBatches(Gfx::IDrawObj& obj, Gfx::StateMan& sm, std::map<std::tuple<void*, void*, int>, std::vector<Batch>>& out) {
    const Gfx::GfxState& top = obj.TopState();
    std::shared_ptr<Gfx::IModel> mesh = top.model;
    Gfx::GfxState st = top;
    st.flags = 0;
    if (top.flags & Gfx::kStateInstanced) {
        // Instanced blocks: the same block mesh, drawn with the plain mesh effect.
        sm.RequestModel(kBlockMeshTag, mesh);
        st.SetEffectTag(kMeshEffectTag);
        st.SetTechniqueTag(kMeshEffectTag);
    }
    const Gfx::MeshVertex* v = nullptr;
    const uint16_t* idx = nullptr;
    int vn = 0, in = 0;
    if (!mesh || !mesh->LockVertices(v, vn) || !mesh->LockIndices(idx, in)) return;
    auto& list = out[{st.material.get(), st.texture.get(), st.effect ? st.effect->Tag() : -1}];
    if (list.empty() || list.back().vertices.size() + static_cast<size_t>(vn) > 65535) {
        list.emplace_back();
        list.back().state = st;
    }
    Batch& b = list.back();
    const Matrix4x4& w = obj.GetWorldMatrix();
    const uint16_t base = static_cast<uint16_t>(b.vertices.size());
    for (int i = 0; i < vn; ++i) {
        Gfx::MeshVertex m = v[i];
        const Geometry::Vector4 p = w * Geometry::Vector4(Vector3(m.position[0], m.position[1], m.position[2]), 1.0f);
        Vector3 n = (w * Geometry::Vector4(Vector3(m.normal[0], m.normal[1], m.normal[2]), 0.0f)).XYZ().Normalized();
        m.position[0] = p.x, m.position[1] = p.y, m.position[2] = p.z;
        m.normal[0] = n.x, m.normal[1] = n.y, m.normal[2] = n.z;
        b.vertices.push_back(m);
    }
    for (int i = 0; i < in; ++i) b.indices.push_back(static_cast<uint16_t>(base + idx[i]));
    mesh->UnlockIndices();
    mesh->UnlockVertices();
}

}  // namespace

int main(int argc, char** argv) {
    bool tiny = false;
    std::string pictures;  // --png <prefix>: the last frame of each side as a PNG
    std::string surface;   // --size WxH: the surface (1024x768; tiny 160x120)
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tiny") == 0) tiny = true;
        if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) pictures = argv[++i];
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) surface = argv[++i];
    }
    // The game's data folder: here, or data/ below here (the repository root).
    if (access("Config/Graphics/gfxGameAssets.ini", R_OK) != 0 && chdir("data") != 0) {
        std::fprintf(stderr, "render: no data folder here\n");
        return 1;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    int width = tiny ? 160 : 1024, height = tiny ? 120 : 768;
    if (!surface.empty() && std::sscanf(surface.c_str(), "%dx%d", &width, &height) != 2) return 1;
    width = std::clamp(width, 16, 4096);
    height = std::clamp(height, 16, 4096);
    const int frames = tiny ? 10 : 120;

    std::string err;
    Platform::Window window;
    if (!Platform::InitVideo(&err) || !window.Create("Mirav bench", width, height, &err)) {
        std::fprintf(stderr, "render: no window: %s\n", err.c_str());
        return 1;
    }
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Create();
    Gfx::DisplaySettings ds;
    ds.width = width;
    ds.height = height;
    ds.windowed = true;
    engine->Initialize(&window, ds);
    Gfx::D3D9Core* core = engine->GetCore();
    Gfx::StateMan& sm = *engine->GetStateMan();
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Create();
    screen->Initialize("Config/Config.ini");
    Gfx::EngineAssetSink sink(*engine);
    sink.onCamera = [screen](const Gfx::CameraAsset& c) {
        screen->GetCameraMan()->LoadCamera(c.tag, c.eye, c.lookAt, c.up, c.pitchDivisorA, c.pitchDivisorB,
                                           c.minDistance, c.maxDistance,
                                           std::make_shared<Gfx::Frustum>(c.fov, c.aspect, c.nearPlane, c.farPlane));
    };
    if (!Gfx::LoadAssetFile(Gfx::kGameAssetsFile, sink) || !Gfx::LoadStateFile(Gfx::kGameStatesFile, sm)) {
        std::fprintf(stderr, "render: the asset files did not load\n");
        return 1;
    }

    // The level's objects and 16 players spread over it.
    std::vector<EventTypes::EventUpdateCreateActorData> actors = LoadLevelActors(0);
    if (tiny && actors.size() > 40) actors.resize(40);
    Vector3 lo(1e9f, 0, 1e9f), hi(-1e9f, 0, -1e9f);
    int objects = 0;
    for (const auto& a : actors) {
        Gfx::GfxState st = StateOf(sm, a.objectState);
        if (!st.effect || !st.model) continue;
        screen->CreateObject(a.actorId, a.position, a.orientation, a.scale, st);
        lo = Vector3(std::min(lo.x, a.position.x), 0, std::min(lo.z, a.position.z));
        hi = Vector3(std::max(hi.x, a.position.x), 0, std::max(hi.z, a.position.z));
        ++objects;
    }
    const int players = tiny ? 2 : kPlayers;
    for (int i = 0; i < players; ++i) {
        GameLogicView::ObjectState os(i % 2 == 0 ? 1 : 3);
        const float t = (static_cast<float>(i) + 0.5f) / static_cast<float>(players);
        const Vector3 p(lo.x + (hi.x - lo.x) * t, 1.0f, lo.z + (hi.z - lo.z) * (i % 2 == 0 ? 0.3f : 0.7f));
        screen->CreateObject(30000 + i, p, Quaternion(), Vector3(1, 1, 1), StateOf(sm, os));
        ++objects;
    }
    Gfx::GfxState skyState;
    sm.RequestState(kSkyState, skyState);
    auto sky = screen->CreateSkyBox({9, 10, 11, 12, 13, 14}, skyState);

    // A fixed camera over the level's south-east corner looking at its middle.
    screen->SetActiveCamera(2);
    auto cam = screen->GetActiveCamera();
    const Vector3 centre((lo.x + hi.x) * 0.5f, 0.0f, (lo.z + hi.z) * 0.5f);
    const float size = std::max(hi.x - lo.x, hi.z - lo.z);
    cam->SetFixedPoint(centre);
    cam->SetEye(centre + Vector3(0.4f * size, 0.5f * size, -0.6f * size));

    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    auto picture = [&](const char* side) {
        if (pictures.empty()) return;
        std::vector<uint8_t> frame;
        core->CaptureNextFrame(&frame);
        core->Render();
        Gfx::WritePng(pictures + side + ".png", width, height, frame);
    };
    // Ours: the frame step and the queue, object by object.
    std::vector<double> ours;
    for (int f = 0; f < frames + 2; ++f) {
        const auto t0 = Clock::now();
        screen->Update(16);
        core->Render();
        glFinish();
        if (f >= 2) ours.push_back(ms(t0, Clock::now()));  // the first frames warm caches
    }
    screen->Update(16);
    picture("ours");

    // Baseline: what the last cull saw, merged per material once (not timed).
    const int lastFrame = screen->FrameCounter() - 1;
    std::map<std::tuple<void*, void*, int>, std::vector<Batch>> groups;
    int visible = 0;
    for (const auto& kv : screen->GetSpatial()->WorldObjects())
        if (kv.second->GetLastVisibleFrame() == lastFrame) {
            AddToBatches(*kv.second, sm, groups);
            ++visible;
        }
    std::vector<Batch*> batches;
    for (auto& kv : groups)
        for (Batch& b : kv.second) {
            auto vb = Gfx::CreateVertexBuffer(*core, static_cast<int>(b.vertices.size()), core->GetMeshDecl(),
                                              sizeof(Gfx::MeshVertex), false);
            auto ib = vb ? Gfx::CreateIndexBuffer(*core, static_cast<int>(b.indices.size()), false, vb) : nullptr;
            if (!ib || !vb->Fill(b.vertices.data(), static_cast<int>(b.vertices.size())) ||
                ib->Append(b.indices, static_cast<int>(b.indices.size() / 3)) < 0)
                continue;
            b.model = std::make_shared<Gfx::ModelIVBuffer>(ib, static_cast<int>(b.indices.size()));
            b.state.model = b.model;
            batches.push_back(&b);
        }
    const Matrix4x4 identity;
    core->SetSceneDrawer([&] {
        sm.EndState();
        glDisable(GL_BLEND);
        sky->Draw(core->GetDevice());
        for (Batch* b : batches) {
            sm.SetState(b->state);
            if (!b->state.effect) continue;
            b->state.effect->SetObjectParameters(identity, 0.0f);
            sm.BeginPass(0);
            b->model->Draw(core->GetDevice());
        }
        sm.EndState();
    });
    std::vector<double> base;
    for (int f = 0; f < frames + 2; ++f) {
        const auto t0 = Clock::now();
        core->Render();
        glFinish();
        if (f >= 2) base.push_back(ms(t0, Clock::now()));
    }
    picture("baseline");
    core->SetSceneDrawer([engine, core] { engine->GetRenderQueue().Render(core->GetDevice()); });

    const double o = Median(ours), b = Median(base);
    std::printf("render: visible=%d batches=%zu draw_calls=%d\n", visible, batches.size(),
                engine->GetRenderQueue().MaxDrawCalls());
    std::printf("render: scene=%s objects=%d ours_ms=%.3f baseline_ms=%.3f ratio=%.2f\n", tiny ? "tiny" : "level0",
                objects, o, b, b > 0.0 ? o / b : 0.0);
    std::fflush(stdout);
    batches.clear();
    groups.clear();
    sky.reset();
    Gfx::DrawScreen::Destroy();
    Gfx::GfxEngine::Release();
    window.Destroy();
    Platform::ShutdownVideo();
    return 0;
}
