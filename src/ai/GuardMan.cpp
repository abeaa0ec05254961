#include "ai/GuardMan.h"

#include <utility>

#include "ai/sml/AIGameObject.h"
#include "utility/Random.h"

namespace AI {

GuardMan::GuardMan(GuardPointSource source) : m_source(std::move(source)) {}

void GuardMan::BuildSlots() {
    m_slots.clear();
    if (!m_source) return;
    for (const Geometry::Vector3& p : m_source()) m_slots.push_back(GuardSlot{false, p, nullptr});
}

void GuardMan::EnsureBuilt() {
    if (m_built) return;
    BuildSlots();
    m_built = true;
}

size_t GuardMan::SlotCount() {
    EnsureBuilt();
    return m_slots.size();
}

GuardSlot* GuardMan::FindSlotOf(const AIGameObject& bot) {
    for (GuardSlot& slot : m_slots)
        if (slot.taken && slot.holder && slot.holder->GetActorId() == bot.GetActorId()) return &slot;
    return nullptr;
}

void GuardMan::ReleaseSlot(const AIGameObject& bot) {
    if (GuardSlot* slot = FindSlotOf(bot)) {
        slot->taken = false;
        slot->holder = nullptr;
    }
}

GuardSlot* GuardMan::PickFreeSlot() {
    std::vector<GuardSlot*> free;
    for (GuardSlot& slot : m_slots)
        if (!slot.taken) free.push_back(&slot);
    // A guard looking for a new post while every slot is held gets none,
    // rather than a draw from an empty range.
    if (free.empty()) return nullptr;
    static Utility::Random<long> random(1);  // shared by every team
    const long i = random.Get(0, static_cast<long>(free.size()) - 1);
    return free[static_cast<size_t>(i)];
}

std::optional<Geometry::Vector3> GuardMan::GetSlot(AIGameObject& bot) {
    if (GuardSlot* held = FindSlotOf(bot)) return held->position;
    EnsureBuilt();
    GuardSlot* slot = PickFreeSlot();
    if (!slot) return std::nullopt;
    slot->taken = true;
    slot->holder = &bot;
    return slot->position;
}

}  // namespace AI
