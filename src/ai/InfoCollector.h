// The AI's ear for reports that concern single bots: blocks a bot bumped
// into, explosions it heard, throws heading at it, and the tutorial steps a
// human player has done. What it learns goes into the bots' perception and
// the team managers' human player records; it keeps nothing itself.
#pragma once

#include <memory>

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem

namespace AI {

class InfoCollector {
public:
    // Squared distance within which a bot hears an explosion (about 28.3).
    static constexpr float kHearingRangeSquared = 800.0f;
    // A throw heads at a bot when its direction is within about 18 degrees.
    static constexpr float kHeadingCosine = 0.95f;
    // The bot faces the thrower when its facing is within about 100 degrees
    // of the direction back to the throw.
    static constexpr float kFacingCosine = -0.2f;

    InfoCollector();
    ~InfoCollector();
    InfoCollector(const InfoCollector&) = delete;
    InfoCollector& operator=(const InfoCollector&) = delete;

    // Binds the six listeners; a second call binds nothing more.
    void RegisterListeners();
    void UnregisterListeners();
    bool IsRegistered() const { return m_registered; }

    bool OnFlagGrabbed(const EventSystem::IEvent& event);
    bool OnCollision(const EventSystem::IEvent& event);
    bool OnExplosion(const EventSystem::IEvent& event);
    bool OnThrowBlock(const EventSystem::IEvent& event);
    bool OnPickUpBlock(const EventSystem::IEvent& event);
    bool OnWhistle(const EventSystem::IEvent& event);

private:
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    bool m_registered = false;
};

}  // namespace AI
