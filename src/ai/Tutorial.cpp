#include "ai/Tutorial.h"

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"
#include "ai/Speech.h"
#include "ai/Steering.h"
#include "ai/TeamMan.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

struct Lesson {
    const char* howTo;
    const char* impatient;
};
// Lessons 1 to 4.
constexpr Lesson kLessons[] = {
    {"HowToThrow", "ImpatientThrow"},
    {"HowToPickUp", "ImpatientPick"},
    {"HowToFormSquad", "ImpatientFormSquad"},
    {"HowToReleaseSquad", "ImpatientReleaseSquad"},
};
constexpr int32_t kHowToMs = 10000;
constexpr int32_t kImpatientMs = 9000;
constexpr int32_t kGreetingBubbleMs = 5000;
constexpr int32_t kCancelBubbleMs = 5000;
constexpr int32_t kFlagBubbleMs = 12300;

}  // namespace

Tutorial::Tutorial(BotGameView* bot, uint16_t pupilActorId)
    : StateMachine(bot, kName), m_bot(bot), m_pupil(pupilActorId) {}

Tutorial::~Tutorial() = default;

PlayerRecord* Tutorial::Pupil() const {
    TeamMan* team = m_bot ? m_bot->GetTeamMan() : nullptr;
    return team ? team->FindPlayer(m_pupil) : nullptr;
}

bool Tutorial::LessonDone(const PlayerRecord& pupil, int32_t lesson) {
    switch (lesson) {
        case kThrowing: return pupil.hasThrown;
        case kPickingUp: return pupil.hasPickedUp;
        case kFormingSquad: return pupil.formedSquad;
        case kReleasingSquad: return pupil.releasedSquad;
        default: return false;
    }
}

void Tutorial::SendReminder(int64_t delayMs) {
    // Tied to this lesson: a reminder still queued when the lesson changes
    // (or the bot's stack does) is dropped.
    if (MsgRoute* route = MsgRoute::Instance())
        route->SendMessage(delayMs, MSG_TIMER_UP, m_bot->GetActorId(), 0, SCOPE_STATE_OR_SUB, GetChangeCount(), 1, 0);
}

bool Tutorial::KeepClose(PlayerRecord& pupil, bool wanderTest, bool cancelLine) {
    const Geometry::Vector3 tutorPos = BotPosition(*m_bot);
    const Geometry::Vector3 pupilPos = pupil.player ? pupil.player->GetPosition() : tutorPos;
    const Geometry::Vector3 pupilGround = GroundPoint(pupilPos);
    const Geometry::Vector3 tutorGround = GroundPoint(tutorPos);
    if (!InSight(CellOf(tutorGround), CellOf(pupilGround))) {
        // Lost sight: the tutorial may be offered again.
        RequestOwnerReset();
        return false;
    }
    if (wanderTest && (m_lessonStart - tutorPos).LengthSquared() > kWanderSquared) {
        if (cancelLine) Say(*m_bot, "CancelTutorial", 1, kCancelBubbleMs, 0);
        RequestOwnerReset();
        pupil.tutorialDone = true;
        return false;
    }
    const Geometry::Vector3 d = pupilGround - tutorGround;
    Geometry::Vector3 move = Geometry::kZeroVector;
    if (d.LengthSquared() > kKeepCloseSquared) {
        const AIMan* ai = AIMan::Instance();
        move = Geometry::Vector3(d.x, 0.0f, d.z).Normalized() * (ai ? ai->GetSettings().botSpeed : 1.0f);
    }
    QueueMove(*m_bot, move);
    QueueTurn(*m_bot, NudgedHeading(d));
    return true;
}

bool Tutorial::HandleStateEvent(int32_t kind, const Msg* msg, int32_t state, int32_t substate) {
    if (state != 0 || !m_bot) return false;
    if (substate == kNoSubstate) {
        if (kind != EVENT_ENTER) return false;
        SetSubstate(kGreeting);
        return true;
    }
    PlayerRecord* pupil = Pupil();
    if (!pupil) {
        // The pupil left (or is played by a bot now): nobody to teach.
        if (kind == EVENT_ENTER || kind == EVENT_UPDATE) RequestOwnerReset();
        return kind == EVENT_ENTER || kind == EVENT_UPDATE;
    }
    const bool timer = kind == EVENT_MESSAGE && msg && msg->id == MSG_ATTACK_DELAY_OVER;
    const bool reminder = kind == EVENT_MESSAGE && msg && msg->id == MSG_TIMER_UP;

    if (substate == kGreeting) {
        if (kind == EVENT_ENTER) {
            if (pupil->hasThrown && pupil->hasPickedUp) {
                pupil->tutorialDone = true;
                RequestOwnerReset();
                return true;
            }
            Say(*m_bot, m_bot->GetTeam() == 0 ? "AngelTutorialIntro" : "DemonTutorialIntro", 1, kGreetingBubbleMs, 0);
            SendSelfMessage(*m_bot, kGreetingMs, MSG_ATTACK_DELAY_OVER);
            return true;
        }
        if (kind == EVENT_UPDATE) {
            KeepClose(*pupil, false, false);
            return true;
        }
        if (timer) {
            SetSubstate(kThrowing);
            return true;
        }
        return false;
    }
    if (substate >= kThrowing && substate <= kReleasingSquad) {
        const Lesson& lesson = kLessons[substate - kThrowing];
        const int32_t next = substate + 1;
        if (kind == EVENT_ENTER) {
            if (LessonDone(*pupil, substate)) {
                SetSubstate(next);
                return true;
            }
            Say(*m_bot, lesson.howTo, 1, kHowToMs, 0);
            SendReminder(kFirstReminderMs);
            m_lessonStart = BotPosition(*m_bot);
            return true;
        }
        if (kind == EVENT_UPDATE) {
            if (LessonDone(*pupil, substate))
                SetSubstate(next);
            else
                KeepClose(*pupil, true, true);
            return true;
        }
        if (reminder) {
            Say(*m_bot, lesson.impatient, 1, kImpatientMs, 0);
            SendReminder(kReminderMs);
            return true;
        }
        return false;
    }
    if (substate == kClosing) {
        if (kind == EVENT_ENTER) {
            pupil->tutorialDone = true;
            Say(*m_bot, "Flag", 1, kFlagBubbleMs, 1);
            SendSelfMessage(*m_bot, kClosingMs, MSG_ATTACK_DELAY_OVER);
            return true;
        }
        if (kind == EVENT_UPDATE) {
            KeepClose(*pupil, true, false);
            return true;
        }
        if (timer) {
            RequestOwnerReset();
            return true;
        }
        return false;
    }
    return false;
}

}  // namespace AI
