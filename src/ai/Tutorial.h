// A bot teaching a human of its team: it greets, then teaches throwing,
// picking up, forming and releasing a squad by speech bubbles, keeps close
// to the pupil facing them, nags when a lesson takes too long and closes with
// a "Flag" line. A lesson ends when the pupil's record says it is done.
#pragma once

#include <cstdint>

#include "ai/sml/StateMachine.h"
#include "utility/Geometry.h"

namespace AI {

class BotGameView;
struct PlayerRecord;

class Tutorial : public StateMachine {
public:
    static constexpr const char* kName = "Tutorial";
    enum Substate : int32_t {
        kGreeting = 0,
        kThrowing = 1,
        kPickingUp = 2,
        kFormingSquad = 3,
        kReleasingSquad = 4,
        kClosing = 5,
    };
    // The tutor walks while the pupil is farther than this (squared, over
    // the ground), and stands otherwise.
    static constexpr float kKeepCloseSquared = 16.0f;
    // Moving this far (squared) from where the lesson began cancels it.
    static constexpr float kWanderSquared = 850.0f;
    static constexpr int64_t kGreetingMs = 2500;
    static constexpr int64_t kFirstReminderMs = 9500;
    static constexpr int64_t kReminderMs = 6000;
    static constexpr int64_t kClosingMs = 9500;

    // The pupil is kept by actor id: its record goes when its actor is handed
    // to a bot, and the tutorial then ends.
    Tutorial(BotGameView* bot, uint16_t pupilActorId);
    ~Tutorial() override;

    uint16_t GetPupil() const { return m_pupil; }
    const Geometry::Vector3& GetLessonStart() const { return m_lessonStart; }

protected:
    bool HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) override;

private:
    PlayerRecord* Pupil() const;
    // True when the lesson's progress flag is set.
    static bool LessonDone(const PlayerRecord& pupil, int32_t lesson);
    // Follows and faces the pupil; false when the tutorial ended (a reset
    // was asked for).
    bool KeepClose(PlayerRecord& pupil, bool wanderTest, bool cancelLine);
    void SendReminder(int64_t delayMs);

    BotGameView* m_bot;
    uint16_t m_pupil;
    Geometry::Vector3 m_lessonStart{};
};

}  // namespace AI
