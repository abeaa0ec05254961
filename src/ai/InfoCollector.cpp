#include "ai/InfoCollector.h"

#include <cmath>

#include "ai/AIMan.h"
#include "ai/BotGameView.h"
#include "ai/TeamMan.h"
#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/Player.h"

namespace AI {

namespace {

// The team whose bots a report of `team` concerns: 0 for 1, 1 for 0 (and 0
// for anything else, as the logical negation gives).
uint8_t OtherTeam(uint8_t team) { return team == 0 ? 1 : 0; }

// Living bots only: a dead bot's body is out of the game.
Geometry::Vector3 BotPosition(const BotGameView& bot) {
    const GameLogicView::Player* p = bot.GetPlayer();
    return p ? p->GetPosition() : Geometry::kZeroVector;
}

}  // namespace

InfoCollector::InfoCollector() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {}

InfoCollector::~InfoCollector() = default;

void InfoCollector::RegisterListeners() {
    if (m_registered) return;
    m_registered = true;
    m_registry->Register(EventTypes::EventUpdateFlagGrabbed::GetStaticType(), this, &InfoCollector::OnFlagGrabbed);
    m_registry->Register(EventTypes::EventUpdateCollision::GetStaticType(), this, &InfoCollector::OnCollision);
    m_registry->Register(EventTypes::EventUpdateExplosion::GetStaticType(), this, &InfoCollector::OnExplosion);
    m_registry->Register(EventTypes::EventUpdateThrowBlock::GetStaticType(), this, &InfoCollector::OnThrowBlock);
    m_registry->Register(EventTypes::EventUpdatePickUpBlock::GetStaticType(), this, &InfoCollector::OnPickUpBlock);
    m_registry->Register(EventTypes::EventCommandWhistle::GetStaticType(), this, &InfoCollector::OnWhistle);
}

void InfoCollector::UnregisterListeners() {
    m_registry->UnregisterAll();
    m_registered = false;
}

bool InfoCollector::OnFlagGrabbed(const EventSystem::IEvent&) { return false; }

bool InfoCollector::OnWhistle(const EventSystem::IEvent&) { return false; }

bool InfoCollector::OnCollision(const EventSystem::IEvent& event) {
    // The views' copy of the report shares the type name and carries nothing
    // for the bots.
    const auto* report = dynamic_cast<const EventTypes::EventUpdateCollision*>(&event);
    AIMan* ai = AIMan::Instance();
    if (!report || !report->GetPayload() || !ai) return false;
    const EventTypes::EventUpdateCollisionData& d = *report->GetPayload();

    const uint16_t idA = static_cast<uint16_t>(d.actorIdA);
    const uint16_t idB = static_cast<uint16_t>(d.actorIdB);
    BotGameView* botA = ai->GetBot(idA);
    BotGameView* botB = ai->GetBot(idB);
    if ((botA != nullptr) == (botB != nullptr)) return false;
    BotGameView* bot = botA ? botA : botB;
    const uint16_t otherId = botA ? idB : idA;

    GameLogicView::BlockMan* blocks = ai->GetBlockMan().get();
    GameLogicView::BlockPtr block = blocks ? blocks->GetBlock(otherId) : nullptr;
    if (!block) return false;

    // Mostly vertical: standing on the block or hit from above or below.
    const Geometry::Vector3 n = d.normal.Normalized();
    if (std::fabs(n.y) > 0.5f) return false;
    bot->GetPerception().contacts.push_back(block);
    return false;
}

bool InfoCollector::OnExplosion(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateExplosion*>(&event);
    AIMan* ai = AIMan::Instance();
    if (!e || !e->GetPayload() || !ai) return false;
    const EventTypes::EventUpdateExplosionData& d = *e->GetPayload();
    TeamMan* team = ai->GetTeam(OtherTeam(d.team));
    if (!team) return false;
    for (const auto& bot : team->GetBots()) {
        if (!bot->GetPlayer()) continue;
        if ((d.position - BotPosition(*bot)).LengthSquared() < kHearingRangeSquared)
            bot->GetPerception().explosionsHeard.push_back(d.position);
    }
    return false;
}

bool InfoCollector::OnThrowBlock(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdateThrowBlock*>(&event);
    AIMan* ai = AIMan::Instance();
    if (!e || !e->GetPayload() || !ai) return false;
    const EventTypes::EventUpdateThrowBlockData& d = *e->GetPayload();
    const uint16_t throwerId = static_cast<uint16_t>(d.actorId);

    if (PlayerRecord* human = ai->FindPlayer(throwerId)) human->hasThrown = true;

    const GameLogicView::Player* thrower = ai->GetPlayer(throwerId);
    if (!thrower) return false;
    TeamMan* team = ai->GetTeam(OtherTeam(thrower->GetTeam()));
    if (!team) return false;

    const float sight = ai->GetSettings().botSight;
    const Geometry::Vector3 heading = d.direction.Normalized();
    for (const auto& bot : team->GetBots()) {
        const GameLogicView::Player* p = bot->GetPlayer();
        if (!p) continue;
        const Geometry::Vector3 toBot = p->GetPosition() - d.position;
        if (toBot.LengthSquared() > sight * sight) continue;
        const Geometry::Vector3 dir = toBot.Normalized();
        // A bot standing exactly where the throw starts gives no direction.
        if (dir == Geometry::kZeroVector) continue;
        if (heading.Dot(dir) < kHeadingCosine) continue;
        const Geometry::Vector3 facing = p->GetOrientation().Rotate(Geometry::Vector3{0.0f, 0.0f, 1.0f}).Normalized();
        if (facing.Dot(dir) > kFacingCosine) continue;
        bot->GetPerception().incomingThrows.push_back(IncomingThrow{throwerId, d.direction});
    }
    return false;
}

bool InfoCollector::OnPickUpBlock(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventUpdatePickUpBlock*>(&event);
    AIMan* ai = AIMan::Instance();
    if (!e || !e->GetPayload() || !ai) return false;
    if (PlayerRecord* human = ai->FindPlayer(static_cast<uint16_t>(e->GetPayload()->actorId)))
        human->hasPickedUp = true;
    return false;
}

}  // namespace AI
