// Squads: formation slots, the human's whistle that forms and releases a
// squad with "LtVBotFollowPlyaer" reports, refilling, and recruiting from
// other roles.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ai/Idle.h"
#include "AIWorld.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"

using namespace AITest;
using AI::BotGameView;
using EventTypes::EventUpdateBotFollowPlayer;
namespace Role = AI::Role;

namespace {

class SquadTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder.Listen<EventUpdateBotFollowPlayer>();
        world.ai->GetSettings().offenseQuota = 0;
        world.ai->GetSettings().defenseQuota = 0;
    }
    void Whistle(const GameLogicView::Player* human) {
        EventSystem::QueueEvent(
            std::make_shared<EventTypes::EventCommandWhistle>(static_cast<int16_t>(human->GetActorId())));
        world.Step();
        EventSystem::ProcessEventQueue();  // the follow reports reach the recorder
    }
    // (leader, follower, following) of every follow report so far.
    std::vector<std::vector<int>> Follows() const {
        std::vector<std::vector<int>> out;
        for (const auto& e : recorder.Of<EventUpdateBotFollowPlayer>())
            out.push_back({e->GetPayload()->leaderId, e->GetPayload()->followerId, e->GetPayload()->following});
        return out;
    }
    AIWorld world;
    TestSupport::EventRecorder recorder;
};

}  // namespace

TEST_F(SquadTest, MembersTakeTheFirstFreeFormationSlot) {
    world.ai->GetSettings().disableBots = true;
    GameLogicView::Player* leader = world.AddBot(0, {0, 0.5f, 0})->GetPlayer();
    BotGameView* a = world.AddBot(0, {1, 0.5f, 0});
    BotGameView* b = world.AddBot(0, {2, 0.5f, 0});
    BotGameView* c = world.AddBot(0, {3, 0.5f, 0});
    BotGameView* d = world.AddBot(0, {4, 0.5f, 0});
    AI::Squad* squad = world.Team(0).GetSquadMan().Create(leader, false);
    for (BotGameView* bot : {a, b, c}) squad->AddMember(*bot);
    EXPECT_EQ(a->GetFormationOffset(), (Vector3{3, 0, -3}));
    EXPECT_EQ(b->GetFormationOffset(), (Vector3{-3, 0, -3}));
    EXPECT_EQ(c->GetFormationOffset(), (Vector3{0, 0, -6}));
    squad->AddMember(*d);  // a fourth is refused
    EXPECT_EQ(squad->Size(), 3u);
    EXPECT_EQ(d->GetSquad(), nullptr);

    squad->RemoveMember(*b);
    squad->RemoveMember(*a);
    EXPECT_EQ(b->GetSquad(), nullptr);
    squad->AddMember(*d);
    squad->AddMember(*b);
    EXPECT_EQ(d->GetFormationOffset(), (Vector3{3, 0, -3}));
    EXPECT_EQ(b->GetFormationOffset(), (Vector3{-3, 0, -3}));
    EXPECT_EQ(d->GetSquad(), squad);
    // A bot-led squad raises no follow reports.
    EventSystem::ProcessEventQueue();
    EXPECT_TRUE(Follows().empty());
}

TEST_F(SquadTest, WhistleRecruitsFreeBotsThenASecondWhistleReleasesThem) {
    GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, 0});
    std::vector<BotGameView*> bots;
    for (int i = 0; i < 4; ++i) bots.push_back(world.AddBot(0, {static_cast<float>(i + 2), 0.5f, 0}));
    for (BotGameView* b : bots) world.Spawn(b);
    BotGameView* enemy = world.AddBot(1, {0, 0.5f, 30});
    bots[1]->SetBehaviour("TUTORIAL");  // a tutor is never recruited
    const int h = human->GetActorId();

    Whistle(human);
    AI::PlayerRecord* record = world.Team(0).FindPlayer(human->GetActorId());
    EXPECT_TRUE(record->formedSquad);
    AI::Squad* squad = world.Team(0).GetSquadMan().FindByLeader(human);
    ASSERT_TRUE(squad);
    EXPECT_TRUE(squad->IsLedByHuman());
    EXPECT_EQ(squad->Size(), 3u);
    for (int i : {0, 2, 3}) {
        EXPECT_EQ(bots[i]->GetRole(), Role::kSquadMember) << i;
        EXPECT_EQ(bots[i]->GetSquad(), squad) << i;
    }
    EXPECT_EQ(bots[1]->GetSquad(), nullptr);
    EXPECT_EQ(enemy->GetSquad(), nullptr);  // the other team's bots stay out
    EXPECT_EQ(Follows(), (std::vector<std::vector<int>>{{h, bots[0]->GetActorId(), 1},
                                                        {h, bots[2]->GetActorId(), 1},
                                                        {h, bots[3]->GetActorId(), 1}}));
    recorder.Clear();

    Whistle(human);
    EXPECT_TRUE(record->releasedSquad);
    EXPECT_EQ(world.Team(0).GetSquadMan().FindByLeader(human), nullptr);
    for (int i : {0, 2, 3}) {
        EXPECT_EQ(bots[i]->GetRole(), Role::kNone) << i;
        EXPECT_EQ(bots[i]->GetSquad(), nullptr) << i;
        EXPECT_TRUE(std::dynamic_pointer_cast<AI::Idle>(bots[i]->GetTop())) << i;
        EXPECT_EQ(bots[i]->GetBehaviour(), "IDLE") << i;
    }
    EXPECT_EQ(Follows(), (std::vector<std::vector<int>>{{h, bots[0]->GetActorId(), 0},
                                                        {h, bots[2]->GetActorId(), 0},
                                                        {h, bots[3]->GetActorId(), 0}}));
}

TEST_F(SquadTest, WhistleOfAnUnknownOrDeadPlayerDoesNothing) {
    world.AddBot(0, {1, 0.5f, 0});
    GameLogicView::Player* stranger =
        world.AddPlayer(0, {0, 0.5f, 0}, Facing(0, 1), GameLogicView::ActorTypes::kCharacter);  // no record
    Whistle(stranger);
    GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, 5});
    human->dead = 1;
    Whistle(human);
    EXPECT_TRUE(world.Team(0).GetSquadMan().GetSquads().empty());
    EXPECT_TRUE(Follows().empty());
}

TEST_F(SquadTest, AnEmptyHumanSquadIsFilledByLaterSteps) {
    GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, 0});
    Whistle(human);
    AI::Squad* squad = world.Team(0).GetSquadMan().FindByLeader(human);
    ASSERT_TRUE(squad);
    EXPECT_EQ(squad->Size(), 0u);
    BotGameView* late = world.AddBot(0, {5, 0.5f, 0});
    world.Spawn(late);
    world.Step();
    EXPECT_EQ(late->GetSquad(), squad);
    EXPECT_EQ(late->GetRole(), Role::kSquadMember);
}

TEST_F(SquadTest, RecruitingAnAttackerDisbandsItsOwnSquad) {
    world.ai->GetSettings().offenseQuota = 1;
    BotGameView* leader = world.AddBot(0, {0, 0.5f, 0});
    BotGameView* m1 = world.AddBot(0, {1, 0.5f, 0});
    BotGameView* m2 = world.AddBot(0, {2, 0.5f, 0});
    for (BotGameView* b : {leader, m1, m2}) world.Spawn(b);
    world.Step();
    ASSERT_EQ(leader->GetRole(), Role::kAttacker);
    ASSERT_EQ(leader->GetSquad()->Size(), 2u);

    // The only recruit the human may take: the free and member bots come
    // first, so make them busy in a tutorial.
    m1->SetBehaviour("TUTORIAL");
    m2->SetBehaviour("TUTORIAL");
    GameLogicView::Player* human = world.AddHuman(0, {-5, 0.5f, 0});
    EventSystem::TriggerEvent(EventTypes::EventCommandWhistle(static_cast<int16_t>(human->GetActorId())));
    AI::Squad* humans = world.Team(0).GetSquadMan().FindByLeader(human);
    ASSERT_TRUE(humans);
    EXPECT_TRUE(humans->HasMember(leader->GetActorId()));
    EXPECT_EQ(leader->GetRole(), Role::kSquadMember);
    EXPECT_EQ(world.Team(0).GetAttackers(), 0);
    for (BotGameView* b : {m1, m2}) {
        EXPECT_EQ(b->GetRole(), Role::kNone);
        EXPECT_EQ(b->GetSquad(), nullptr);
        EXPECT_TRUE(std::dynamic_pointer_cast<AI::Idle>(b->GetTop()));
    }
}

TEST_F(SquadTest, HumanDeathDisbandsTheSquadItLeads) {
    GameLogicView::Player* human = world.AddHuman(0, {0, 0.5f, 0});
    BotGameView* bot = world.AddBot(0, {2, 0.5f, 0});
    world.Spawn(bot);
    Whistle(human);
    ASSERT_EQ(bot->GetRole(), Role::kSquadMember);
    recorder.Clear();
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(static_cast<int16_t>(human->GetActorId()), -1, {}, {}));
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(bot->GetRole(), Role::kNone);
    EXPECT_EQ(bot->GetSquad(), nullptr);
    EXPECT_EQ(Follows(), (std::vector<std::vector<int>>{{human->GetActorId(), bot->GetActorId(), 0}}));
}
