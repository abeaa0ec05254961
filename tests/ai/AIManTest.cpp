// The AI manager: its process, its step, bots and teams, the ground
// projection, the tutorial flag, and its end.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "ai/sml/Msg.h"
#include "ai/sml/MsgRoute.h"
#include "ai/sml/StateMachine.h"
#include "AIWorld.h"
#include "gamelogic/MiravGameLogic.h"
#include "utility/Console.h"

using namespace AITest;
using AI::AIMan;
using AI::BotGameView;

namespace {

class AIManTest : public ::testing::Test {
protected:
    AIWorld world;
};

// Counts the messages it gets.
class Inbox : public StateMachine {
public:
    explicit Inbox(AIGameObject* owner) : StateMachine(owner, "Inbox") {}
    int got = 0;

protected:
    bool HandleStateEvent(int32_t kind, const Msg*, int32_t, int32_t) override {
        if (kind == EVENT_MESSAGE) ++got;
        return kind == EVENT_MESSAGE;
    }
};

}  // namespace

TEST(AIProcessTest, TheProcessOwnsTheManager) {
    TestSupport::ResetSingletons();
    {
        AI::AIProcess process;
        EXPECT_EQ(process.GetType(), 4);
        ASSERT_NE(AIMan::Instance(), nullptr);
        AIMan::Instance()->Init(nullptr, nullptr);
        process.OnUpdate(25);
        EXPECT_EQ(AIMan::Instance()->GetClock().Now(), 25u);
    }
    EXPECT_EQ(AIMan::Instance(), nullptr);
    EXPECT_EQ(MsgRoute::Instance(), nullptr);
}

TEST_F(AIManTest, InitBuildsTheGridTwoTeamsAndTheRouter) {
    EXPECT_EQ(world.ai->GetTeams().size(), 2u);
    EXPECT_EQ(world.ai->GetTeams()[0]->GetTeamId(), 0);
    EXPECT_EQ(world.ai->GetTeams()[1]->GetTeamId(), 1);
    EXPECT_EQ(MsgRoute::Instance(), world.ai->GetMsgRoute());
    const AI::SearchSpace& grid = world.ai->GetSearchSpace();
    EXPECT_EQ(grid.CellsX(), 500);
    EXPECT_EQ(grid.CellsY(), 100);
    EXPECT_EQ(grid.CellsZ(), 500);
    EXPECT_EQ(world.ai->GetClock().Now(), 0u);
}

TEST_F(AIManTest, BotsAndTeams) {
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    ASSERT_TRUE(bot);
    EXPECT_EQ(world.ai->GetBot(bot->GetActorId()), bot);
    // An actor already driven by a bot gets no second one.
    EXPECT_EQ(world.ai->AddBot(bot->GetActorId(), 0, bot->GetPlayer()), nullptr);
    EXPECT_EQ(world.Team(0).GetBots().size(), 1u);
    // A team id other than 0 and 1 gets a third team manager at the end.
    BotGameView* odd = world.AddBot(2, {5, 0.5f, 0});
    ASSERT_EQ(world.ai->GetTeams().size(), 3u);
    EXPECT_EQ(world.ai->GetTeams()[2]->GetTeamId(), 2);
    EXPECT_EQ(world.ai->GetTeam(2)->GetBot(odd->GetActorId()), odd);
    // A human whose actor is handed to a bot is no longer a human player.
    GameLogicView::Player* human = world.AddHuman(1, {9, 0.5f, 0});
    ASSERT_TRUE(world.ai->FindPlayer(human->GetActorId()));
    ASSERT_TRUE(world.ai->AddBot(human->GetActorId(), 1, human));
    EXPECT_EQ(world.ai->FindPlayer(human->GetActorId()), nullptr);
    EXPECT_TRUE(world.ai->GetBot(human->GetActorId()));
}

TEST_F(AIManTest, ProjectToGround) {
    AI::SearchSpace& grid = world.ai->GetSearchSpace();
    grid.SetBoxOccupancy(0.5f, 2.0f, 0.5f, 0.5f, 2.0f, 0.5f, true);  // a pillar 4 high at (0, 0)
    struct Case {
        const char* name;
        Vector3 in, out;
    } cases[] = {
        {"on the floor", {5.5f, 0.5f, 5.5f}, {5.5f, 0.5f, 5.5f}},
        {"high above the floor", {5.5f, 60.25f, 5.5f}, {5.5f, 0.25f, 5.5f}},
        {"above the pillar", {0.5f, 30.5f, 0.5f}, {0.5f, 4.5f, 0.5f}},
        {"inside the pillar", {0.5f, 1.5f, 0.5f}, {0.5f, 2.5f, 0.5f}},
        {"outside the grid's x range", {300, 7, 0}, {300, 8, 0}},
        {"outside the grid's z range", {0, 7, -251}, {0, 8, -251}},
        {"below the floor", {5.5f, -3, 5.5f}, {5.5f, -2, 5.5f}},
    };
    for (const Case& c : cases) EXPECT_EQ(world.ai->ProjectToGround(c.in), c.out) << c.name;
    // Points that are no place at all end the walk at once.
    const Vector3 far = world.ai->ProjectToGround({0, 1e30f, 0});
    EXPECT_EQ(far.x, 0.0f);
    const Vector3 nan = world.ai->ProjectToGround({1, std::nanf(""), 2});
    EXPECT_EQ(nan.x, 1.0f);
    EXPECT_EQ(nan.z, 2.0f);
}

TEST_F(AIManTest, TheTutorialFlagFollowsTheBotsBehaviours) {
    BotGameView* a = world.AddBot(0, {0, 0.5f, 0});
    BotGameView* b = world.AddBot(1, {5, 0.5f, 0});
    world.ai->CheckTutorial();
    EXPECT_FALSE(world.ai->IsTutorialRunning());
    b->SetBehaviour("TUTORIAL");
    world.Step();
    EXPECT_TRUE(world.ai->IsTutorialRunning());
    b->SetBehaviour("tutorial");  // matched exactly
    a->SetBehaviour("TUTORIALS");
    world.Step();
    EXPECT_FALSE(world.ai->IsTutorialRunning());
}

TEST_F(AIManTest, DelayedMessagesFallDueOnTheAIClock) {
    world.ai->GetSettings().disableBots = true;  // the team step plays no part
    BotGameView* bot = world.AddBot(0, {0, 0.5f, 0});
    auto inbox = std::make_shared<Inbox>(bot);
    bot->PushMachine(inbox);
    world.ai->GetMsgRoute()->SendMessage(30, MSG_TIMER_UP, bot->GetActorId(), 0, SCOPE_NONE, 0, 0, 0);
    world.Step(0);  // a frame of 0 ms runs every step but moves no clock
    world.Step(16);
    EXPECT_EQ(inbox->got, 0);
    world.Step(14);
    EXPECT_EQ(inbox->got, 1);
}

TEST_F(AIManTest, ConsoleChangesReachTheSettingsAtOnce) {
    Utility::Console::Execute("botspeed 2.5");
    EXPECT_FLOAT_EQ(world.ai->GetSettings().botSpeed, 2.5f);
    Utility::Console::Execute("clearanceheight -4");  // checked as it is set
    EXPECT_GE(world.ai->GetSettings().clearanceHeight, 0);
}

TEST(AIManLogicTest, TheEndOfTheAIRemovesItsBotsFromTheLogic) {
    TestSupport::ResetSingletons();
    {
        GameLogicView::MiravGameLogic logic(nullptr);
        AIMan* ai = AIMan::Create();
        ai->Init(&logic, nullptr);
        GameLogicView::ActorParams p;
        p.actorId = 7;
        p.team = 0;
        p.SetType(GameLogicView::ActorTypes::kBot);
        p.body = std::make_shared<Physics::PhysBody>();
        auto actor = std::make_shared<GameLogicView::Actor>(p);
        GameLogicView::Player* player = logic.GetPlayerManager().AddPlayer(actor);
        auto view = ai->AddBot(7, 0, player);
        ASSERT_TRUE(view);
        logic.AddGameView(view);
        ASSERT_EQ(logic.GetViews().size(), 1u);

        // A joining human takes the bot's actor: the view leaves the logic.
        ai->GetTeam(0)->RemoveBot(view.get());
        EXPECT_TRUE(logic.GetViews().empty());
        EXPECT_TRUE(ai->GetTeam(0)->GetBots().empty());

        auto second = ai->AddBot(7, 0, player);
        logic.AddGameView(second);
        AIMan::Destroy();
        EXPECT_TRUE(logic.GetViews().empty());
    }
    TestSupport::ResetSingletons();
}
