// Team managers: roles by quota and guard slots, names, contact handling,
// the claim set, the throw aim, and the handlers of the game's reports.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ai/Idle.h"
#include "ai/sml/Msg.h"
#include "ai/sml/StateMachine.h"
#include "AIWorld.h"
#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "gamelogic/LogicSettings.h"

using namespace AITest;
using AI::BotGameView;
namespace Role = AI::Role;

namespace {

class TeamTest : public ::testing::Test {
protected:
    AIWorld world;
    TestSupport::EventRecorder recorder;
};

}  // namespace

TEST_F(TeamTest, RolesFollowQuotasGuardSlotsAndSquadRoom) {
    world.ai->SetGuardPoints(0, {{10, 0.5f, 10}});
    world.ai->SetGuardPoints(1, {{-10, 0.5f, -10}});
    world.Names("a = Ann\nb = Bo\n");
    std::vector<BotGameView*> team0, team1;
    for (int i = 0; i < 7; ++i) team0.push_back(world.AddBot(0, {static_cast<float>(i * 2), 0.5f, 0}));
    for (int i = 0; i < 2; ++i) team1.push_back(world.AddBot(1, {static_cast<float>(i * 2), 0.5f, 40}));
    world.Step();

    // DefenseQuota 2 but one guard point: one defender per team; then the
    // attackers up to OffenseQuota, each leading a squad of its own.
    std::vector<int32_t> roles;
    for (BotGameView* b : team0) roles.push_back(b->GetRole());
    EXPECT_EQ(roles, (std::vector<int32_t>{Role::kDefender, Role::kAttacker, Role::kAttacker, Role::kSquadMember,
                                           Role::kSquadMember, Role::kSquadMember, Role::kSquadMember}));
    EXPECT_EQ(world.Team(0).GetDefenders(), 1);
    EXPECT_EQ(world.Team(0).GetAttackers(), 2);
    EXPECT_EQ(team1[0]->GetRole(), Role::kDefender);
    EXPECT_EQ(team1[1]->GetRole(), Role::kAttacker);

    // The others joined the squad with room nearest to them: bots 3, 4 and 5
    // the leader at x=4 (bot 2) until it was full, bot 6 then the one at x=2.
    AI::Squad* near = team0[2]->GetSquad();
    AI::Squad* far = team0[1]->GetSquad();
    ASSERT_TRUE(near && far && near != far);
    EXPECT_EQ(near->GetLeader(), team0[2]->GetPlayer());
    EXPECT_EQ(near->Size(), 3u);
    EXPECT_TRUE(near->HasMember(team0[3]->GetActorId()));
    EXPECT_TRUE(near->HasMember(team0[5]->GetActorId()));
    EXPECT_EQ(team0[6]->GetSquad(), far);
    for (int i = 3; i < 7; ++i) EXPECT_NE(team0[i]->GetSquad(), nullptr) << i;

    // The defender holds the only slot.
    EXPECT_EQ(world.Team(0).GetGuardMan().GetSlot(*team0[0]), (Vector3{10, 0.5f, 10}));

    // Names go round the pool with numbers on each further pass, across teams.
    std::vector<std::string> names;
    for (BotGameView* b : team0) names.push_back(b->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"Ann", "Bo", "Ann1", "Bo1", "Ann2", "Bo2", "Ann3"}));
    EXPECT_EQ(team1[0]->GetName(), "Bo3");

    // Roles are kept while nothing changes.
    for (int i = 0; i < 5; ++i) world.Step();
    std::vector<int32_t> later;
    for (BotGameView* b : team0) later.push_back(b->GetRole());
    EXPECT_EQ(later, roles);
}

TEST_F(TeamTest, ABotWithoutRoomWaitsWithoutARole) {
    world.ai->GetSettings().offenseQuota = 1;
    world.ai->GetSettings().defenseQuota = 0;
    std::vector<BotGameView*> bots;
    for (int i = 0; i < 5; ++i) bots.push_back(world.AddBot(0, {static_cast<float>(i), 0.5f, 0}));
    world.Step();
    EXPECT_EQ(bots[0]->GetRole(), Role::kAttacker);
    EXPECT_EQ(bots[0]->GetSquad()->Size(), 3u);
    EXPECT_EQ(bots[4]->GetRole(), Role::kNone);
    EXPECT_EQ(bots[4]->GetSquad(), nullptr);
}

TEST_F(TeamTest, DeadLeaderDisbandsItsSquadAndMembersTakeNewRoles) {
    world.ai->GetSettings().defenseQuota = 0;
    world.ai->GetSettings().offenseQuota = 1;
    std::vector<BotGameView*> bots;
    for (int i = 0; i < 3; ++i) bots.push_back(world.AddBot(0, {static_cast<float>(i), 0.5f, 0}));
    for (BotGameView* b : bots) world.Spawn(b);
    world.Step();
    AI::Squad* squad = bots[0]->GetSquad();
    ASSERT_TRUE(squad);
    ASSERT_EQ(squad->Size(), 2u);
    recorder.Listen<EventTypes::EventCommandCreateSpeechBubble>();

    bots[0]->GetPlayer()->dead = 1;
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(static_cast<int16_t>(bots[0]->GetActorId()), -1, {}, {}));
    EXPECT_EQ(bots[0]->GetRole(), Role::kNone);
    EXPECT_EQ(bots[0]->StackSize(), 0u);  // stopped, no Idle
    EXPECT_EQ(bots[0]->GetSquad(), nullptr);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(bots[i]->GetRole(), Role::kNone);
        EXPECT_EQ(bots[i]->GetSquad(), nullptr);
        EXPECT_TRUE(std::dynamic_pointer_cast<AI::Idle>(bots[i]->GetTop()));
    }
    EXPECT_EQ(squad->GetLeader(), nullptr);
    EXPECT_EQ(world.Team(0).GetAttackers(), 0);

    world.Step();  // the purge frees it; the living take new roles
    EXPECT_EQ(world.Team(0).GetSquadMan().GetSquads().size(), 1u);
    EXPECT_EQ(bots[1]->GetRole(), Role::kAttacker);
    EXPECT_EQ(bots[2]->GetRole(), Role::kSquadMember);
    EXPECT_EQ(bots[2]->GetSquad(), bots[1]->GetSquad());
    EXPECT_EQ(bots[0]->GetRole(), Role::kNone);  // dead bots get nothing

    auto said = recorder.Of<EventTypes::EventCommandCreateSpeechBubble>();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0]->GetPayload()->actorId, static_cast<int16_t>(bots[0]->GetActorId()));
    EXPECT_EQ(said[0]->GetPayload()->durationMs, 1000);
    EXPECT_FALSE(said[0]->GetPayload()->text.empty());  // a line of [Death]
}

TEST_F(TeamTest, DefenderWhoDiesFreesItsGuardSlot) {
    world.ai->SetGuardPoints(0, {{3, 0.5f, 3}});
    BotGameView* guard = world.AddBot(0, {0, 0.5f, 0});
    world.AddBot(0, {2, 0.5f, 0});  // a team of one would attack, not guard
    world.Step();
    ASSERT_EQ(guard->GetRole(), Role::kDefender);
    world.Team(0).GetGuardMan().GetSlot(*guard);
    ASSERT_TRUE(world.Team(0).GetGuardMan().FindSlotOf(*guard));
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(static_cast<int16_t>(guard->GetActorId()), -1, {}, {}));
    EXPECT_EQ(world.Team(0).GetGuardMan().FindSlotOf(*guard), nullptr);
    EXPECT_EQ(world.Team(0).GetDefenders(), 0);
}

// ------------------------------------------------------------------ contacts

namespace {

struct ContactCase {
    const char* name;
    int heldObjectState;  // -1: empty hand; 9 a bomb; 0 an ordinary block
    bool heldIsFlag;
    bool fullPouch;       // as many blocks pouched as the pouch holds
    int32_t secondState;  // state of the second touched block
    int pickUps, throws, jumps;
};

class ContactTest : public ::testing::TestWithParam<ContactCase> {
protected:
    AIWorld world;
    TestSupport::EventRecorder recorder;
};

}  // namespace

TEST_P(ContactTest, FreeBlocksTouchedTurnIntoOneCommand) {
    const ContactCase& c = GetParam();
    world.ai->GetSettings().disableBots = true;  // contacts are handled by hand below
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    GameLogicView::Player* p = bot->GetPlayer();
    if (c.heldIsFlag) {
        GameLogicView::Flag* flag = world.AddFlag(1, {0, 3, 0});
        p->heldBlock = flag->GetBlockData();
    } else if (c.heldObjectState >= 0) {
        p->heldBlock = world.AddBlock({0, 3, 0}, c.heldObjectState);
    }
    const int pouched = c.fullPouch ? static_cast<int>(GameLogicView::Player::GetPouchSize()) : 0;
    for (int i = 0; i < pouched; ++i) p->pouch.push_back(world.AddBlock({50, 0.5f, static_cast<float>(i)}));
    GameLogicView::BlockPtr first = world.AddBlock({1, 0.5f, 0});
    GameLogicView::BlockPtr second = world.AddBlock({-1, 0.5f, 0});
    second->state = c.secondState;
    GameLogicView::BlockPtr placed = world.AddBlock({0, 0.5f, 1});
    placed->state = GameLogicView::BlockState::kPlaced;

    world.Team(0).UpdateBotPerception(*bot);
    bot->GetPerception().contacts = {placed, first, second};
    recorder.Listen<EventTypes::EventCommandPickUpBlock, EventTypes::EventCommandThrowBlock,
                    EventTypes::EventCommandActorJump>();
    world.Team(0).ProcessContacts(*bot);
    EventSystem::ProcessEventQueue();
    EXPECT_EQ(recorder.Count<EventTypes::EventCommandPickUpBlock>(), static_cast<size_t>(c.pickUps));
    EXPECT_EQ(recorder.Count<EventTypes::EventCommandThrowBlock>(), static_cast<size_t>(c.throws));
    EXPECT_EQ(recorder.Count<EventTypes::EventCommandActorJump>(), static_cast<size_t>(c.jumps));
    if (c.pickUps) {
        EXPECT_EQ(p->viewDirection, (Vector3{1, 0, 0}));  // aimed at the first free block
    }
    if (c.throws) {
        auto t = recorder.Of<EventTypes::EventCommandThrowBlock>()[0]->GetPayload();
        EXPECT_EQ(t->direction, (Vector3{0, 0.5f, 1}));  // forward, raised, not normalised
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContactTest,
    ::testing::Values(ContactCase{"FreeHands", -1, false, false, GameLogicView::BlockState::kFree, 1, 0, 0},
                      ContactCase{"OrdinaryBlockInHand", 0, false, false, GameLogicView::BlockState::kFree, 1, 0, 0},
                      ContactCase{"FullPouchThrows", -1, false, true, GameLogicView::BlockState::kFree, 0, 1, 0},
                      ContactCase{"BombJumpsPerFreeBlock", 9, false, false, GameLogicView::BlockState::kFree, 0, 0, 2},
                      ContactCase{"FlagJumpsPerFreeBlock", -1, true, false, GameLogicView::BlockState::kFree, 0, 0, 2},
                      ContactCase{"BombSkipsBlocksNotFree", 9, false, false, GameLogicView::BlockState::kThrown, 0, 0,
                                  1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- claims

TEST_F(TeamTest, ClaimsOfADeadOrResetBotAreReleased) {
    world.ai->GetSettings().disableBots = true;
    BotGameView* a = world.AddBot(0, {0, 0.5f, 0});
    BotGameView* b = world.AddBot(0, {5, 0.5f, 0});
    world.Spawn(a);
    world.Spawn(b);
    GameLogicView::BlockPtr near = world.AddBlock({1, 0.5f, 0});
    GameLogicView::BlockPtr far = world.AddBlock({8, 0.5f, 0});
    AI::TeamMan& team = world.Team(0);

    // A second claimer never gets the block the first one claimed.
    EXPECT_EQ(team.ClaimNearestBlock({0, 0.5f, 0}, a->GetActorId()), near);
    EXPECT_EQ(team.ClaimNearestBlock({0, 0.5f, 0}, b->GetActorId()), far);
    EXPECT_EQ(team.ClaimNearestBlock({0, 0.5f, 0}, b->GetActorId()), nullptr);

    // Death gives a's claim back.
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(static_cast<int16_t>(a->GetActorId()), -1, {}, {}));
    EXPECT_FALSE(team.IsClaimed(near->GetId()));
    EXPECT_TRUE(team.IsClaimed(far->GetId()));
    // A reset gives b's back.
    b->OnReset();
    EXPECT_FALSE(team.IsClaimed(far->GetId()));
    // A claim the team holds for itself (an unreachable block) stays.
    team.ClaimBlock(near->GetId());
    b->OnReset();
    EXPECT_TRUE(team.IsClaimed(near->GetId()));
    // Picking up or throwing a block ends any claim on it.
    EventSystem::TriggerEvent(EventTypes::EventUpdatePickUpBlock(5, static_cast<int16_t>(near->GetId()), 1, {}, {}, {}));
    EXPECT_TRUE(team.GetClaims().empty());
    team.ClaimBlock(far->GetId(), b->GetActorId());
    EventSystem::TriggerEvent(EventTypes::EventUpdateThrowBlock({}, {0, 0, 1}, 5, static_cast<int16_t>(far->GetId()), -1));
    EXPECT_TRUE(team.GetClaims().empty());
}

TEST_F(TeamTest, BlocksFarBeyondTheMapAreNotFetched) {
    BotGameView* a = world.AddBot(0, {18, 0.5f, 0});
    const float margin = AI::TeamMan::kFieldMargin;
    GameLogicView::BlockPtr farOut = world.AddBlock({20 + margin + 1, 0.5f, 0});
    GameLogicView::BlockPtr justOut = world.AddBlock({-20 - margin + 0.5f, 0.5f, 0});
    AI::TeamMan& team = world.Team(0);
    // No level loaded: no field, every block counts.
    EXPECT_EQ(team.ClaimNearestBlock({18, 0.5f, 0}, a->GetActorId()), farOut);
    team.ReleaseClaim(farOut->GetId());
    // A map 40 x 10 around the origin: the block past its edge and the margin
    // is left; one within the margin is still fetched, though much farther.
    world.blocks->SetFieldHalfExtents({20, 0, 5});
    EXPECT_EQ(team.ClaimNearestBlock({18, 0.5f, 0}, a->GetActorId()), justOut);
    EXPECT_EQ(team.ClaimNearestBlock({18, 0.5f, 0}, a->GetActorId()), nullptr);
}

TEST_F(TeamTest, ClaimsOfARemovedBotAreReleased) {
    BotGameView* a = world.AddBot(0, {0, 0.5f, 0});
    GameLogicView::BlockPtr block = world.AddBlock({1, 0.5f, 0});
    world.Team(0).ClaimNearestBlock({0, 0.5f, 0}, a->GetActorId());
    world.Team(0).RemoveBot(a);
    EXPECT_FALSE(world.Team(0).IsClaimed(block->GetId()));
    EXPECT_TRUE(world.Team(0).GetBots().empty());
}

TEST_F(TeamTest, PickUpConfirmsToThePickerAndResetsTeammatesGoingForIt) {
    world.ai->GetSettings().disableBots = true;
    BotGameView* picker = world.AddBot(0, {0, 0.5f, 0});
    BotGameView* rival1 = world.AddBot(0, {2, 0.5f, 0});
    BotGameView* rival2 = world.AddBot(0, {4, 0.5f, 0});
    BotGameView* other = world.AddBot(0, {6, 0.5f, 0});
    for (auto* b : {picker, rival1, rival2, other}) world.Spawn(b);
    GameLogicView::BlockPtr block = world.AddBlock({1, 0.5f, 0});
    const uint16_t id = block->GetId();
    rival1->SetTargetBlock(id);
    rival2->SetTargetBlock(id);
    other->SetTargetBlock(static_cast<uint16_t>(id + 50));
    picker->SetTargetBlock(id);
    for (auto* b : {rival1, rival2, other, picker}) {
        b->SetBehaviour("GRAB");
        b->PushMachine(std::make_shared<AI::Idle>(b, false));
    }

    // The confirmation is a message to the picker's top machine.
    struct Catch : StateMachine {
        explicit Catch(AIGameObject* o) : StateMachine(o, "Catch") {}
        int32_t got = 0, block = 0;
        bool HandleStateEvent(int32_t kind, const Msg* m, int32_t, int32_t) override {
            if (kind == EVENT_MESSAGE && m && m->id == MSG_PICKUP_CONFIRMATION) {
                got = m->data1;
                block = m->data2;
                return true;
            }
            return false;
        }
    };
    auto catcher = std::make_shared<Catch>(picker);
    picker->PushMachine(catcher);

    EventSystem::TriggerEvent(EventTypes::EventUpdatePickUpBlock(static_cast<int16_t>(picker->GetActorId()),
                                                                 static_cast<int16_t>(id), 0, {}, {}, {}));
    EXPECT_EQ(catcher->got, 1);
    EXPECT_EQ(catcher->block, id);
    for (auto* b : {rival1, rival2}) {
        EXPECT_EQ(b->GetBehaviour(), "IDLE");
        EXPECT_FALSE(b->GetTargetBlock());
    }
    EXPECT_EQ(other->GetBehaviour(), "GRAB");
    EXPECT_EQ(picker->GetBehaviour(), "GRAB");
    EXPECT_TRUE(picker->GetTargetBlock());
}

TEST_F(TeamTest, NearestBombSkipsHeldPouchedAndTargetedBombs) {
    world.ai->GetSettings().disableBots = true;
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    GameLogicView::BlockPtr held = world.AddBlock({1, 0.5f, 0}, 9);
    held->state = GameLogicView::BlockState::kHeld;
    GameLogicView::BlockPtr pouched = world.AddBlock({2, 0.5f, 0}, 9);
    pouched->state = GameLogicView::BlockState::kPouch;
    GameLogicView::BlockPtr targeted = world.AddBlock({3, 0.5f, 0}, 9);
    bot->SetTargetBlock(targeted->GetId());
    world.AddBlock({1, 0.5f, 1});  // not a bomb
    GameLogicView::BlockPtr bomb = world.AddBlock({10, 0.5f, 0}, 9);
    world.AddBlock({400, 0.5f, 0}, 9);  // too far (squared 160000)
    EXPECT_EQ(world.Team(0).FindNearestBomb({0, 0.5f, 0}), bomb);
    EXPECT_EQ(world.Team(0).FindNearestBomb({400, 0.5f, 10})->GetPosition(), (Vector3{400, 0.5f, 0}));
    EXPECT_EQ(world.Team(0).FindNearestBomb({-400, 0.5f, 0}), nullptr);
}

TEST(ThrowAim, AQuickAimIsStraightLoweredAndNormalised) {
    const Vector3 aim = AI::ComputeQuickAim({0, 0, 0}, {10, 0, 0}, {0, 0, 0}, 0.0f);
    const Vector3 want = Vector3{10, -3, 0}.Normalized();
    EXPECT_NEAR(aim.x, want.x, 1e-6);
    EXPECT_NEAR(aim.y, want.y, 1e-6);
    EXPECT_NEAR(aim.z, 0.0f, 1e-6);
    // A moving target is led by 0.02 per unit of distance.
    const Vector3 led = AI::ComputeQuickAim({0, 0, 0}, {10, 0, 0}, {0, 0, 5}, 0.0f);
    const Vector3 ledWant = Vector3{10, -3, 1}.Normalized();
    EXPECT_NEAR(led.x, ledWant.x, 1e-6);
    EXPECT_NEAR(led.z, ledWant.z, 1e-6);
    EXPECT_NEAR(AI::ComputeQuickAim({0, 0, 0}, {10, 0, 0}, {}, 2.0f).Length(), 1.0f, 1e-5);
}

TEST(ThrowAim, TheThrowsTiltTurnsTheAimOntoTheLineFromTheHand) {
    const float tilt = GameLogicView::GetLogicSettings().throwAngle;
    const float speed = GameLogicView::GetLogicSettings().throwSpeed;
    // Tilted up as the throw tilts it, the aim runs from the hand (above
    // the thrower) to the target, raised by the fall over the flight.
    auto thrown = [&](const Vector3& aim) {
        const float across = std::sqrt(aim.x * aim.x + aim.z * aim.z);
        const float pitch = std::atan2(aim.y, across) + tilt;
        return Vector3(aim.x / across * std::cos(pitch), std::sin(pitch), aim.z / across * std::cos(pitch));
    };
    const Vector3 line = Vector3{10, -AI::kThrowHandHeight, 0};
    const float flight = line.Length() / speed;
    const Vector3 want = (line + Vector3(0, 0.5f * AI::kThrowFall * flight * flight, 0)).Normalized();
    const Vector3 aim = AI::ComputeThrowAim({0, 0, 0}, {10, 0, 0}, {0, 0, 0}, 0.0f);
    EXPECT_NEAR(aim.Length(), 1.0f, 1e-5);
    EXPECT_LT(aim.y, want.y) << "aimed below the line: the throw lifts it";
    const Vector3 flies = thrown(aim);
    EXPECT_NEAR(flies.x, want.x, 1e-4);
    EXPECT_NEAR(flies.y, want.y, 1e-4);
    EXPECT_NEAR(flies.z, 0.0f, 1e-6);
    // A moving target is led by the flight time.
    const Vector3 led = thrown(AI::ComputeThrowAim({0, 0, 0}, {10, 0, 0}, {0, 0, 5}, 0.0f));
    EXPECT_NEAR(led.z / led.x, 5.0f * flight / 10.0f, 1e-4);
    // Straight above has no tilt to undo.
    const Vector3 up = AI::ComputeThrowAim({0, 0, 0}, {0, 20, 0}, {}, 0.0f);
    EXPECT_NEAR(up.y, 1.0f, 1e-5);
    // A spread keeps the result a unit vector.
    EXPECT_NEAR(AI::ComputeThrowAim({0, 0, 0}, {10, 0, 0}, {}, 2.0f).Length(), 1.0f, 1e-5);
}

TEST_F(TeamTest, JoinConfirmationRecordsTheTeamsHumanOnce) {
    GameLogicView::Player* human = world.AddPlayer(1, {0, 0.5f, 0}, Facing(0, 1), GameLogicView::ActorTypes::kCharacter);
    const int16_t id = static_cast<int16_t>(human->GetActorId());
    EventSystem::TriggerEvent(EventTypes::EventUpdateGameIDs(0, id, 1));
    EventSystem::TriggerEvent(EventTypes::EventUpdateGameIDs(0, id, 1));
    EXPECT_EQ(world.Team(1).GetPlayers().size(), 1u);
    EXPECT_TRUE(world.Team(0).GetPlayers().empty());
    EXPECT_EQ(world.ai->FindPlayer(human->GetActorId())->player, human);
    EXPECT_EQ(world.ai->FindPlayer(human->GetActorId())->tutor, 0xFFFF);
}

TEST_F(TeamTest, DisabledBotsDoNothingButTheClockAndMessagesRun) {
    world.ai->GetSettings().disableBots = true;
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    world.Step(0);
    EXPECT_EQ(bot->GetRole(), Role::kNone);
    EXPECT_EQ(world.ai->GetClock().Now(), 0u);
    world.Step(16);
    EXPECT_EQ(world.ai->GetClock().Now(), 16u);
    world.ai->GetSettings().disableBots = false;
    world.Step(16);
    EXPECT_EQ(bot->GetRole(), Role::kAttacker);
}

TEST_F(TeamTest, TeamsNoLargerThanTheDefenceQuotaStillAttack) {
    // Two guard points and DefenseQuota 2: a team of two keeps one attacker,
    // a team of one attacks; larger teams defend as before.
    world.ai->SetGuardPoints(0, {{10, 0.5f, 10}, {12, 0.5f, 10}});
    world.ai->SetGuardPoints(1, {{-10, 0.5f, -10}, {-12, 0.5f, -10}});
    world.ai->GetSettings().defenseQuota = 2;
    std::vector<BotGameView*> pair;
    for (int i = 0; i < 2; ++i) pair.push_back(world.AddBot(0, {static_cast<float>(i * 2), 0.5f, 0}));
    BotGameView* alone = world.AddBot(1, {0, 0.5f, 40});
    world.Step();
    EXPECT_EQ(pair[0]->GetRole(), Role::kDefender);
    EXPECT_EQ(pair[1]->GetRole(), Role::kAttacker);
    EXPECT_EQ(alone->GetRole(), Role::kAttacker);
    // The attacker dies and comes back: it attacks again.
    EventSystem::TriggerEvent(
        EventTypes::EventUpdateActorDeath(static_cast<int16_t>(pair[1]->GetActorId()), -1, {}, {}));
    EXPECT_EQ(pair[1]->GetRole(), Role::kNone);
    world.Step();
    EXPECT_EQ(pair[1]->GetRole(), Role::kAttacker);
    EXPECT_EQ(world.Team(0).GetDefenders(), 1);
}

TEST_F(TeamTest, ClaimsOnBlocksJudgedOutOfReachExpire) {
    const auto far = world.AddBlock({30.5f, 0.5f, 0.5f});
    const auto mine = world.AddBlock({20.5f, 0.5f, 0.5f});
    world.Team(0).ClaimBlock(far->GetId());  // judged out of reach by the team
    world.Team(0).ClaimBlock(mine->GetId(), 4242);  // going for it: a bot's own
    const int steps = static_cast<int>(AI::TeamMan::kTeamClaimMs / 16);
    for (int i = 0; i < steps - 5; ++i) world.Step();
    EXPECT_TRUE(world.Team(0).IsClaimed(far->GetId()));
    for (int i = 0; i < 10; ++i) world.Step();
    EXPECT_FALSE(world.Team(0).IsClaimed(far->GetId()));
    EXPECT_TRUE(world.Team(0).IsClaimed(mine->GetId()));
}
