// The view's record of one logic actor: its draw object in the scene, the
// render-state layers the view puts on it, and its animation. The actor
// manager maps ids to view actors and applies the logic's moves; the fade
// process makes a dead player or a fading block disappear.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "events/EventManager.h"
#include "events/types/ObjectState.h"
#include "gfx/GfxState.h"
#include "processes/Process.h"
#include "utility/Geometry.h"

namespace EventTypes {
struct EventUpdateCreateActorData;
}
namespace Gfx {
class IDrawObj;
class ParticleEffect;
class ParticleMan;
}

namespace GameLogicView {

class ViewActor {
public:
    static constexpr uint16_t kNoActor = 0xFFFF;

    explicit ViewActor(const EventTypes::EventUpdateCreateActorData& report);
    ~ViewActor();
    ViewActor(const ViewActor&) = delete;
    ViewActor& operator=(const ViewActor&) = delete;

    std::shared_ptr<Gfx::IDrawObj> GetDrawObj() const { return m_drawObj; }
    void SetTransform(const Geometry::Vector3& position, const Geometry::Quaternion& orientation);
    void SetPosition(const Geometry::Vector3& position);
    void SetOrientation(const Geometry::Quaternion& orientation);

    // The standing animation that follows the current one-shot, and an
    // animation started at once; nothing for an object that is not animated.
    void SetAnimation(int animation);
    void PlayAnimation(int animation, float speed, bool loop);
    bool IsAnimated() const;

    // Particle effects that follow the actor, addressed by their index in
    // the list. Without a particle manager (or for a tag it does not know)
    // the entry holds no effect, so indices stay stable. The particle
    // manager owns the effects: an entry only watches its effect, so one
    // that ended (or a scene torn down first) leaves nothing dangling here.
    struct AttachedEffect {
        std::weak_ptr<Gfx::ParticleEffect> effect;
        int instanceId = -1;
        Geometry::Vector3 offset;
    };
    int AddParticleEffect(const Geometry::Vector3& offset, int effectTag, const Geometry::Vector3& direction);
    // Puts one effect at base + its offset turned by the orientation (a bone
    // of the drawn model, say); the actor itself does not move.
    void PlaceParticleEffect(int index, const Geometry::Quaternion& orientation, const Geometry::Vector3& base);
    // Stopping lets the live particles finish (the manager drops the effect
    // then); removing ends the effects at once. Both empty the list.
    void StopParticleEffects();
    void RemoveParticleEffects();
    const std::vector<AttachedEffect>& AttachedEffects() const { return m_effects; }

    // Render-state layers over the actor's own state. Each layer is removed
    // by the handle that added it, so overlapping looks (a highlight, a fade,
    // a flicker) never take each other's layer away. Without a draw object
    // the layers are still kept, so the bookkeeping is the same headless.
    int PushLayer(const Gfx::GfxState& state);
    bool RemoveLayer(int handle);
    bool SetLayerAlpha(int handle, float alpha);
    bool HasLayer(int handle) const;
    size_t LayerCount() const { return m_layers.size(); }
    // The alpha the actor is drawn with: the top layer's, else its own.
    float ShownAlpha() const;

    uint16_t id = kNoActor;
    uint8_t team = 255;
    Geometry::Vector3 position;
    Geometry::Vector3 scale{1.0f, 1.0f, 1.0f};
    Geometry::Quaternion orientation;
    ObjectState objectState;
    uint32_t actorType = 0;
    Geometry::Vector3 extent;
    // The layer of the death or fade-out fade, -1 when none.
    int fadeLayer = -1;
    // Grows each time the actor is shown again after a fade: a fade made
    // before that (still waiting to start) never starts.
    int fadeGeneration = 0;

private:
    void RebuildLayers();

    std::shared_ptr<Gfx::IDrawObj> m_drawObj;
    std::vector<AttachedEffect> m_effects;
    float m_alpha = 1.0f;
    struct Layer {
        int handle;
        Gfx::GfxState state;
    };
    std::vector<Layer> m_layers;
    int m_nextHandle = 1;
};

std::shared_ptr<Gfx::IDrawObj> GetViewActorDrawObj(const std::shared_ptr<ViewActor>& actor);
bool IsActorType(const ViewActor& actor, const char* typeName);
// The scene's particle manager, null when no scene exists (headless views).
Gfx::ParticleMan* SceneParticles();

class ViewActorMan {
public:
    ViewActorMan();
    ~ViewActorMan();
    ViewActorMan(const ViewActorMan&) = delete;
    ViewActorMan& operator=(const ViewActorMan&) = delete;

    void AddActor(const std::shared_ptr<ViewActor>& actor);
    std::shared_ptr<ViewActor> FindActor(uint16_t id) const;
    void RemoveActor(uint16_t id);
    size_t Count() const { return m_actors.size(); }
    const std::map<uint16_t, std::shared_ptr<ViewActor>>& Actors() const { return m_actors; }
    bool OnActorMove(const EventSystem::IEvent& event);

private:
    std::map<uint16_t, std::shared_ptr<ViewActor>> m_actors;
    EventSystem::EventRegistry m_registry;
};

// Fades a view actor out over a time; the fade layer stays (invisible) until
// its owner removes it.
class FadeActorProcess : public ProcessSystem::IProcess {
public:
    FadeActorProcess(const std::shared_ptr<ViewActor>& actor, uint32_t durationMs);
    void OnInitialize() override;
    void OnUpdate(int ms) override;

private:
    std::weak_ptr<ViewActor> m_actor;
    int m_layer = -1;
    int m_generation = 0;
    uint32_t m_duration;
    uint32_t m_elapsed = 0;
};

}  // namespace GameLogicView
