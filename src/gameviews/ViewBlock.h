// The view's blocks (blocks, bombs and flags): held above a head or hidden in
// a pouch, thrown, fading, highlighted as the local pick-up candidate; and
// the view-side picker that finds the block a pick-up would take.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "events/EventManager.h"
#include "utility/Geometry.h"

namespace ProcessSystem {
class ProcessManager;
}

namespace GameLogicView {

class ViewActor;

class ViewBlock {
public:
    // Render states of the looks.
    static constexpr int kHeldState = 29;
    static constexpr int kHeldFlagState = 72;
    static constexpr int kHighlightState = 30;
    static constexpr int kHighlightFullState = 55;
    // Particle effects: the burst where a block is taken, the thrown trails.
    static constexpr int kPickUpEffect = 17;
    static constexpr int kAngelTrailEffect = 30;
    static constexpr int kDemonTrailEffect = 31;

    explicit ViewBlock(const std::shared_ptr<ViewActor>& actor);

    void Highlight();
    void HighlightFull();
    void RemoveHighlight();
    void OnPickedUp(bool local);
    void HideInPouch();
    void Restore();
    void Release();
    void OnThrown(uint8_t team);
    void PlaceHeld(const Geometry::Vector3& position, const Geometry::Quaternion& orientation);
    bool IsFlag() const;

    const std::shared_ptr<ViewActor>& Actor() const { return m_actor; }
    uint16_t Id() const;
    float radius = 0.0f;
    bool held = false;
    bool highlighted = false;
    bool thrown = false;
    bool fading = false;
    bool hidden = false;

private:
    void PushLook(int stateTag, int& handle);
    void DropLook(int& handle);

    std::shared_ptr<ViewActor> m_actor;
    int m_highlightLayer = -1;
    int m_heldLayer = -1;
    int m_hiddenLayer = -1;
};

class ViewBlockMan {
public:
    ViewBlockMan();
    ~ViewBlockMan();
    ViewBlockMan(const ViewBlockMan&) = delete;
    ViewBlockMan& operator=(const ViewBlockMan&) = delete;

    void SetProcessManager(ProcessSystem::ProcessManager* processes) { m_processes = processes; }
    bool AddBlock(const std::shared_ptr<ViewActor>& actor);
    std::shared_ptr<ViewBlock> FindBlock(uint16_t id) const;
    void RemoveBlock(uint16_t id);
    ViewBlock* PickBlock(const Geometry::Vector3& origin, Geometry::Vector3 direction) const;
    size_t Count() const { return m_blocks.size(); }

    bool OnBlockInactive(const EventSystem::IEvent& event);
    bool OnCollision(const EventSystem::IEvent& event);
    bool OnBlockFade(const EventSystem::IEvent& event);
    bool OnExplosion(const EventSystem::IEvent& event);

private:
    std::map<uint16_t, std::shared_ptr<ViewBlock>> m_blocks;
    EventSystem::EventRegistry m_registry;
    ProcessSystem::ProcessManager* m_processes = nullptr;
};

}  // namespace GameLogicView
