// A team's guard slots: one per guard point the level gives the team. Each
// defender holds at most one slot; a free slot is handed out at random and
// freed when its holder leaves the defender role. The slot count also caps
// the number of defenders.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "utility/Geometry.h"

class AIGameObject;

namespace AI {

struct GuardSlot {
    bool taken = false;
    Geometry::Vector3 position{};
    AIGameObject* holder = nullptr;  // the defending bot; null when free
};

class GuardMan {
public:
    // The team's guard points in the logic's order.
    using GuardPointSource = std::function<std::vector<Geometry::Vector3>()>;

    explicit GuardMan(GuardPointSource source);

    // One free slot per guard point; empties the list first.
    void BuildSlots();
    // The number of slots (built first when they are not yet).
    size_t SlotCount();
    // The taken slot whose holder drives the bot's actor, or null.
    GuardSlot* FindSlotOf(const AIGameObject& bot);
    // Frees the bot's slot, if it holds one.
    void ReleaseSlot(const AIGameObject& bot);
    // A free slot drawn uniformly from the free ones (not marked here), or
    // null when every slot is taken or there are none.
    GuardSlot* PickFreeSlot();
    // The position of the bot's slot; a bot without one takes a free slot.
    // Nothing when no slot is free.
    std::optional<Geometry::Vector3> GetSlot(AIGameObject& bot);

    bool IsBuilt() const { return m_built; }
    const std::vector<GuardSlot>& Slots() const { return m_slots; }

private:
    void EnsureBuilt();

    GuardPointSource m_source;
    std::vector<GuardSlot> m_slots;
    bool m_built = false;
};

}  // namespace AI
