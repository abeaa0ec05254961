// The view's objects: layers and fades on view actors, the held and pouch
// bookkeeping of players, the picker against the logic's, and a match seen
// through the full view (one view actor for every logic actor).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <type_traits>
#include <vector>

#include "events/types/ActorEvents.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/BlockData.h"
#include "gamelogic/BlockMan.h"
#include "gamelogic/FlagMan.h"
#include "gamelogic/LogicSettings.h"
#include "gamelogic/Player.h"
#include "gamelogic/PlayerLife.h"
#include "gamelogic/PlayerManager.h"
#include "gamelogic/RulesSettings.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewBlock.h"
#include "gameviews/ViewFlag.h"
#include "gameviews/ViewPlayer.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawObjActorAnimated.h"
#include "gfx/DrawScreen.h"
#include "gfx/ParticleMan.h"
#include "gfx/Spatial.h"
#include "processes/Process.h"
#include "MakeViewActor.h"
#include "ViewFixture.h"
#include "support/TempPath.h"

using namespace GameLogicView;
using Geometry::Vector3;

namespace {

using ViewTest::MakeActor;

// Every effect the particle manager runs that some view object still
// follows; the rest must be short-lived (bursts, stopped trails dying out).
std::set<int> FollowedEffects(GameLogicView::HumanGameView& view) {
    std::set<int> ids;
    auto add = [&ids](const std::shared_ptr<ViewActor>& a) {
        if (!a) return;
        for (const auto& e : a->AttachedEffects())
            if (!e.effect.expired()) ids.insert(e.instanceId);
    };
    for (const auto& [id, a] : view.GetActorMan()->Actors()) add(a);
    for (const auto& [id, p] : view.GetPlayerMan()->Players()) {
        if (p->GetHeldBlock()) add(p->GetHeldBlock()->Actor());
        for (const auto& b : p->Pouch()) add(b->Actor());
    }
    return ids;
}

// The view actors that follow at least one running effect.
std::set<uint16_t> ActorsFollowingEffects(GameLogicView::HumanGameView& view) {
    std::set<uint16_t> ids;
    for (const auto& [id, a] : view.GetActorMan()->Actors())
        if (a)
            for (const auto& e : a->AttachedEffects())
                if (!e.effect.expired()) ids.insert(id);
    return ids;
}

Gfx::ParticleMan* Particles() {
    auto* ds = Gfx::DrawScreen::Instance();
    return ds && ds->GetSpatial() ? ds->GetSpatial()->GetParticleMan() : nullptr;
}

}  // namespace

TEST(ViewActorLayers, RemovedByTheirOwnHandleAndFadesEndRight) {
    auto a = MakeActor(5, ActorTypes::kBox);
    Gfx::GfxState dim;
    dim.alpha = 0.3f;
    Gfx::GfxState bright;
    bright.alpha = 0.9f;
    const int first = a->PushLayer(dim);
    const int second = a->PushLayer(bright);
    // The lower layer goes; the upper one (and its look) stays.
    ASSERT_TRUE(a->RemoveLayer(first));
    EXPECT_FALSE(a->RemoveLayer(first));
    EXPECT_EQ(a->LayerCount(), 1u);
    EXPECT_FLOAT_EQ(a->ShownAlpha(), 0.9f);
    a->RemoveLayer(second);
    EXPECT_FLOAT_EQ(a->ShownAlpha(), 1.0f);

    // 1000 ms in steps of 100: 1.0, 0.9, ..., 0.1, then 0 on the 11th.
    ProcessSystem::ProcessManager pm;
    pm.Attach(std::make_shared<FadeActorProcess>(a, 1000));
    for (int i = 0; i < 10; ++i) {
        pm.UpdateProcesses(100);
        EXPECT_NEAR(a->ShownAlpha(), 1.0f - 0.1f * i, 1e-5f) << "update " << i + 1;
    }
    pm.UpdateProcesses(100);
    EXPECT_FLOAT_EQ(a->ShownAlpha(), 0.0f);
    EXPECT_FALSE(pm.HasProcesses() && a->ShownAlpha() != 0.0f);

    // Length 0: invisible at the first update, no division by zero.
    auto b = MakeActor(6, ActorTypes::kBox);
    ProcessSystem::ProcessManager pm0;
    pm0.Attach(std::make_shared<FadeActorProcess>(b, 0));
    pm0.UpdateProcesses(16);
    pm0.UpdateProcesses(16);
    EXPECT_FLOAT_EQ(b->ShownAlpha(), 0.0f);
    EXPECT_FALSE(std::isnan(b->ShownAlpha()));
}

TEST(ViewBlocks, HighlightAndHeldLooksDoNotTakeEachOthersLayer) {
    auto a = MakeActor(7, ActorTypes::kBox);
    ViewBlock block(a);
    EXPECT_NEAR(block.radius, 0.8660254f, 1e-5f);
    block.Highlight();
    block.Highlight();
    EXPECT_EQ(a->LayerCount(), 1u);
    block.OnPickedUp(true);  // the local player's held look replaces the highlight
    EXPECT_FALSE(block.highlighted);
    EXPECT_EQ(a->LayerCount(), 1u);
    block.HideInPouch();
    block.Release();  // the held look goes, the pouch's invisibility stays
    EXPECT_EQ(a->LayerCount(), 1u);
    EXPECT_FLOAT_EQ(a->ShownAlpha(), 0.0f);
    block.Restore();
    EXPECT_EQ(a->LayerCount(), 0u);
    block.RemoveHighlight();
    EXPECT_EQ(a->LayerCount(), 0u);
}

TEST(ViewBlocks, HeldBlockSitsOnTheSnappedHeight) {
    // Rotated extent y: 0.8 -> 1.0, 0.74 -> 0.5, 0.75 -> 1.0; then 2 above.
    const struct {
        float y, above;
    } rows[] = {{0.8f, 3.0f}, {0.74f, 2.5f}, {0.75f, 3.0f}, {0.2f, 2.0f}};
    for (const auto& r : rows) {
        auto a = MakeActor(8, ActorTypes::kBox, Vector3(), Vector3(0.2f, r.y, 0.3f));
        ViewBlock b(a);
        b.PlaceHeld(Vector3(1, 2, 3), Geometry::Quaternion());
        EXPECT_NEAR(a->position.y, 2.0f + r.above, 1e-5f) << r.y;
        EXPECT_NEAR(a->position.x, 1.0f, 1e-6f);
    }
}

TEST(ViewPlayers, PouchThrowsHeldReportsAndCaptures) {
    ViewBlockMan blocks;
    ViewPlayerMan players;
    players.SetBlockMan(&blocks);
    auto pa = MakeActor(1, ActorTypes::kBot, Vector3(), Vector3(0.5f, 1.5f, 0.5f), 1);
    ASSERT_TRUE(players.AddPlayer(pa));
    for (int16_t id = 10; id < 15; ++id) blocks.AddBlock(MakeActor(id, ActorTypes::kBox));
    auto p = players.FindPlayer(1);
    for (uint16_t id = 10; id < 15; ++id) {
        blocks.FindBlock(id)->OnPickedUp(false);
        p->TakeBlock(blocks.FindBlock(id));
    }
    EXPECT_EQ(p->GetHeldBlock()->Id(), 14);
    // Five throws show the blocks last put in first, then empty hands.
    for (uint16_t expect : {13, 12, 11, 10}) {
        EventSystem::TriggerEvent(EventTypes::EventUpdateThrowBlock(Vector3(), Vector3(0, 0, 1), 1, 0, -1));
        ASSERT_TRUE(p->GetHeldBlock());
        EXPECT_EQ(p->GetHeldBlock()->Id(), expect);
        EXPECT_FALSE(p->GetHeldBlock()->hidden);
    }
    EventSystem::TriggerEvent(EventTypes::EventUpdateThrowBlock(Vector3(), Vector3(0, 0, 1), 1, 0, -1));
    EXPECT_FALSE(p->GetHeldBlock());
    EXPECT_EQ(p->standing, ViewPlayer::kStand);
    EXPECT_TRUE(blocks.FindBlock(10)->thrown);

    // A held-blocks report naming a block twice shows it once.
    int16_t ids[17];
    for (auto& i : ids) i = -1;
    ids[0] = 11;
    ids[1] = 12;
    ids[2] = 11;
    EventSystem::TriggerEvent(EventTypes::EventUpdateHeldBlocks(1, ids));
    ASSERT_TRUE(p->GetHeldBlock());
    EXPECT_EQ(p->GetHeldBlock()->Id(), 11);
    ASSERT_EQ(p->Pouch().size(), 1u);
    EXPECT_EQ(p->Pouch().back()->Id(), 12);

    // A capture for a player whose hand holds another block changes nothing;
    // one with empty hands is harmless.
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagCaptured(1, 1, 0, 99, Vector3()));
    EXPECT_EQ(p->GetHeldBlock()->Id(), 11);
    auto empty = MakeActor(2, ActorTypes::kBot);
    players.AddPlayer(empty);
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagCaptured(2, 1, 0, 99, Vector3()));
    EXPECT_FALSE(players.FindPlayer(2)->GetHeldBlock());

    // Death drops everything; the fade waits for the view's processes.
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(1, -1, Vector3(), Vector3()));
    EXPECT_TRUE(p->dead);
    EXPECT_EQ(p->played, ViewPlayer::kDeath);
    EXPECT_FALSE(p->GetHeldBlock());
    EXPECT_TRUE(p->Pouch().empty());
    EXPECT_FALSE(blocks.FindBlock(11)->held);
    EXPECT_FALSE(blocks.FindBlock(12)->hidden);
}

// One bot's view player (actor 1) with the managers and processes it lives in.
struct OnePlayer {
    OnePlayer() {
        players.SetBlockMan(&blocks);
        players.StartFloat(&pm);
        players.AddPlayer(pa);
    }
    ProcessSystem::ProcessManager pm;
    ViewBlockMan blocks;
    ViewPlayerMan players;
    std::shared_ptr<ViewActor> pa = MakeActor(1, ActorTypes::kBot);
};

TEST(ViewPlayers, DeathFadesAndARespawnBeforeTheFadeKeepsThePlayerVisible) {
    OnePlayer scene;
    auto& pm = scene.pm;
    auto& players = scene.players;
    auto& pa = scene.pa;
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(1, -1, Vector3(), Vector3()));
    for (int i = 0; i < 40; ++i) pm.UpdateProcesses(16);
    EXPECT_FLOAT_EQ(pa->ShownAlpha(), 0.0f);
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(1, 0, Vector3(3, 4, 5), Geometry::Quaternion(), 0, 0));
    EXPECT_FLOAT_EQ(pa->ShownAlpha() > 0.0f ? 1.0f : 0.0f, 1.0f);
    EXPECT_FALSE(players.FindPlayer(1)->dead);
    for (int i = 0; i < 40; ++i) pm.UpdateProcesses(16);
    // Floating above the spawn point.
    EXPECT_NEAR(pa->position.x, 3.0f, 1e-5f);
    EXPECT_GT(pa->position.y, 4.0f);

    // Died and respawned before the fade's delay ran out: it never starts.
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(1, -1, Vector3(), Vector3()));
    pm.UpdateProcesses(16);
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(1, 0, Vector3(3, 4, 5), Geometry::Quaternion(), 0, 0));
    for (int i = 0; i < 60; ++i) pm.UpdateProcesses(16);
    EXPECT_GT(pa->ShownAlpha(), 0.0f);
}

// The local player's respawn countdown and the invincibility flicker last
// what the logic's settings say: keys missing from the file give the logic's
// defaults, and values the logic clamps are clamped for the view too.
TEST(ViewPlayers, CountdownAndFlickerLastAsLongAsTheLogicsRespawnAndInvincibility) {
    struct Case {
        const char* config;
        int countdownCues;  // a cue at every shown second after the first
        int invincibleMs;
    };
    const Case cases[] = {
        {"[LOGIC]\n", 4, 2000},  // both missing: 5 s to respawn, 2 s invincible
        {"[LOGIC]\nRespawnDelay = 3000\nInvincible = 600\n", 2, 600},
        {"[LOGIC]\nRespawnDelay = -20\nInvincible = -1\n", 0, 0},  // clamped to 0
    };
    const std::string file = TestSupport::TempPath("view-logic-settings.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        TestSupport::ResetSingletons();
        std::ofstream(file) << c.config;
        SetLogicSettings(LogicSettings::Load(file));
        OnePlayer scene;
        auto& pm = scene.pm;
        auto& players = scene.players;
        auto& pa = scene.pa;
        players.SetLocalPlayer(1);
        TestSupport::EventRecorder effects;
        effects.Listen<EventTypes::EventCreateEffect>();
        auto step = [&](int ms) {
            for (int t = 0; t < ms; t += 16) {
                pm.UpdateProcesses(16);
                EventSystem::ProcessEventQueue();
            }
        };

        EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(1, -1, Vector3(), Vector3()));
        step(GetLogicSettings().respawnDelay + 300);
        int cues = 0;
        for (const auto& e : effects.Of<EventTypes::EventCreateEffect>())
            cues += e->GetPayload()->effectName == "SpawnCountdown" ? 1 : 0;
        EXPECT_EQ(cues, c.countdownCues);

        EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(1, 0, Vector3(), Geometry::Quaternion(), 0, 0));
        const size_t flickering = pa->LayerCount();
        ASSERT_GT(flickering, 0u);
        if (c.invincibleMs > 40) {
            // The look turns see-through (the view's default alpha 0.5) and
            // back every quarter second while it lasts.
            int turns = 0;
            float last = pa->ShownAlpha();
            for (int t = 16; t <= c.invincibleMs - 40; t += 16) {
                step(16);
                const float now = pa->ShownAlpha();
                if (now != last) {
                    EXPECT_FLOAT_EQ(now, last == 1.0f ? 0.5f : 1.0f);
                    ++turns;
                }
                last = now;
            }
            EXPECT_NEAR(turns, (c.invincibleMs - 40) / 256, 1);
            EXPECT_EQ(pa->LayerCount(), flickering) << "the flicker ended before the invincibility";
        }
        step(80);
        EXPECT_EQ(pa->LayerCount(), flickering - 1) << "the flicker outlasted the invincibility";
    }
    std::remove(file.c_str());
    TestSupport::ResetSingletons();
}

TEST(ViewFlags, CapturesCountAndTheThirdHasNoScoreCue) {
    ViewBlockMan blocks;
    ViewActorMan actors;
    ViewFlagMan flags(&blocks, &actors, nullptr);
    for (int16_t id = 20; id < 24; ++id) {
        auto a = MakeActor(id, ActorTypes::kFlag, Vector3(), Vector3(0.5f, 1.5f, 0.5f), 1);
        actors.AddActor(a);
        ASSERT_TRUE(flags.AddFlag(a));
    }
    EXPECT_EQ(blocks.Count(), 4u);
    TestSupport::EventRecorder cues;
    cues.Listen<EventTypes::EventCreateCue>();
    for (int16_t id = 20; id < 24; ++id) {
        EventSystem::TriggerEvent(EventTypes::EventUpdateFlagCaptured(1, 0, 1, id, Vector3()));
        EventSystem::ProcessEventQueue();
    }
    EXPECT_EQ(flags.Captures(0), 4u);
    EXPECT_EQ(flags.Count(), 0u);
    EXPECT_EQ(blocks.Count(), 0u);
    EXPECT_FALSE(actors.FindActor(20));
    std::vector<std::string> names;
    for (const auto& c : cues.Of<EventTypes::EventCreateCue>()) names.push_back(c->GetPayload()->cueName);
    const std::vector<std::string> expect = {"Score", "Score10", "Score", "Score20", "Score", "Score40"};
    EXPECT_EQ(names, expect);
}

// A dropped flag's countdown ends when the logic sends the flag home: both
// take the return time from the logic's settings.
TEST(ViewFlags, TheCountdownOfADroppedFlagLastsTheLogicsReturnTime) {
    for (const uint32_t returnMs : {0u, 700u, 3000u}) {
        SCOPED_TRACE(returnMs);
        TestSupport::ResetSingletons();
        RulesSettings rules;
        rules.flagRespawnTime = returnMs;
        SetRulesSettings(rules);
        ProcessSystem::ProcessManager pm;
        ViewBlockMan blocks;
        ViewActorMan actors;
        ViewFlagMan flags(&blocks, &actors, &pm);
        auto a = MakeActor(20, ActorTypes::kFlag, Vector3(), Vector3(0.5f, 1.5f, 0.5f), 1);
        actors.AddActor(a);
        ASSERT_TRUE(flags.AddFlag(a));
        EventSystem::TriggerEvent(EventTypes::EventUpdateFlagDropped(3, 20, 0, 1));
        int ms = 0;
        while (flags.HasCountdown(20) && ms < 20000) {
            pm.UpdateProcesses(16);
            ms += 16;
        }
        EXPECT_GE(ms, static_cast<int>(returnMs));
        EXPECT_LE(ms, static_cast<int>(returnMs) + 16);
    }
    TestSupport::ResetSingletons();
}

// ------------------------------------------------------ with the logic

using ViewObjects = ViewTest::ViewFixture;

TEST_F(ViewObjects, MatchShowsEveryActorAndThePickerAgreesWithTheLogic) {
    StartPlayedMatch();
    Frames(30);
    ViewActorMan* actors = view->GetActorMan();
    ASSERT_TRUE(actors);
    const auto& logicActors = logic->GetActorMan().Actors();
    EXPECT_EQ(actors->Count(), logicActors.size());
    for (const auto& [id, a] : logicActors) {
        auto va = actors->FindActor(id);
        ASSERT_TRUE(va) << id;
        EXPECT_TRUE(va->GetDrawObj()) << "actor " << id << " has no draw object";
    }
    // The local player is the skinned, animated character.
    const uint16_t local = static_cast<uint16_t>(HumanGameView::GetLocalActor());
    ASSERT_TRUE(actors->FindActor(local));
    EXPECT_TRUE(actors->FindActor(local)->IsAnimated());

    // Every player carries its team's effects at the particle manager; an
    // angel's halo sits on its drawn model's head, not out of sight.
    int halos = 0;
    for (const auto& [id, p] : view->GetPlayerMan()->Players()) {
        const auto& fx = p->Actor()->AttachedEffects();
        ASSERT_EQ(fx.size(), p->Actor()->team == 0 ? 2u : 1u) << "player " << id;
        for (const auto& e : fx) EXPECT_EQ(Particles()->RunningEffects().count(e.instanceId), 1u) << "player " << id;
        if (p->Actor()->team != 0) continue;
        auto halo = fx[0].effect.lock();
        ASSERT_TRUE(halo);
        // On the upper body, wherever the animation has bent the head.
        EXPECT_GT(halo->position.y - p->Actor()->position.y, 0.3f) << "player " << id;
        EXPECT_LT((halo->position - p->Actor()->position).Length(), 2.5f) << "player " << id;
        ++halos;
    }
    EXPECT_GT(halos, 0);

    // The picker: from around every free block and in four directions, the
    // view picks what the logic's picker would take.
    GameLogicView::BlockMan* logicBlocks = logic->GetBlockMan();
    ViewBlockMan* viewBlocks = view->GetBlockMan();
    int compared = 0, hits = 0;
    for (const auto& [id, a] : logicActors) {
        if (!a->body || !viewBlocks->FindBlock(id)) continue;
        const Vector3 c = a->body->GetPosition();
        for (const Vector3& off : {Vector3(2, 0, 0), Vector3(0, 0.5f, -2), Vector3(-1.5f, 1, 1), Vector3(3, 0, 3)}) {
            for (const Vector3& dir : {Vector3(-1, 0, 0), Vector3(0, 0, 1), Vector3(1, -0.5f, 1), Vector3(0, -1, 0)}) {
                GameLogicView::BlockPtr want;
                logicBlocks->PickBlock(want, c + off, dir);
                ViewBlock* got = viewBlocks->PickBlock(c + off, dir);
                EXPECT_EQ(got ? got->Id() : 0xFFFF, want ? want->GetId() : 0xFFFF)
                    << "from " << (c + off).x << "," << (c + off).y << "," << (c + off).z;
                ++compared;
                hits += want ? 1 : 0;
            }
        }
        if (compared > 400) break;
    }
    EXPECT_GT(compared, 100);
    EXPECT_GT(hits, 20);

    // The spawn's blocks: one shown above the head, the rest hidden; a throw
    // sends the shown one flying and brings the next into the hand.
    auto player = view->GetPlayerMan()->FindPlayer(local);
    ASSERT_TRUE(player);
    ASSERT_TRUE(player->GetHeldBlock()) << "the local player spawned with empty hands";
    auto thrown = player->GetHeldBlock();
    const Vector3 start = thrown->Actor()->position;
    EXPECT_GT(start.y, player->base.y + 1.5f);
    EXPECT_TRUE(thrown->held);
    const size_t pouch = player->Pouch().size();
    TestSupport::EventRecorder throws;
    throws.Listen<EventTypes::EventUpdateThrowBlock, EventTypes::EventUpdateActorMove>();
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandThrowBlock>(
        static_cast<int16_t>(local), Vector3(0, 0.3f, 1).Normalized()));
    Frames(12);
    ASSERT_EQ(throws.Of<EventTypes::EventUpdateThrowBlock>().size(), 1u);
    EXPECT_EQ(throws.Of<EventTypes::EventUpdateThrowBlock>()[0]->GetPayload()->blockId, thrown->Id());
    int moves = 0;
    for (const auto& m : throws.Of<EventTypes::EventUpdateActorMove>()) moves += m->GetPayload()->actorId == thrown->Id();
    EXPECT_GT(moves, 0);
    EXPECT_FALSE(thrown->held);
    EXPECT_GT((thrown->Actor()->position - start).Length(), 1.0f) << "the thrown block did not fly";
    EXPECT_GT(thrown->Actor()->ShownAlpha(), 0.0f);
    if (pouch > 0) {
        ASSERT_TRUE(player->GetHeldBlock());
        EXPECT_NE(player->GetHeldBlock(), thrown);
        EXPECT_FALSE(player->GetHeldBlock()->hidden);
    }

    // A block taken from the ground leaves it for the hand, and a burst
    // marks where it lay.
    // One the logic would take from two units beside it, looking at it.
    std::shared_ptr<ViewBlock> free;
    for (const auto& [id, a] : logicActors) {
        auto b = viewBlocks->FindBlock(id);
        if (!b || !a->body || b->held || b->thrown || b->fading) continue;
        GameLogicView::BlockPtr want;
        logicBlocks->PickBlock(want, a->body->GetPosition() + Vector3(2.0f, 1.0f, 0.0f), Vector3(-1, 0, 0));
        if (want && want->GetId() == id) {
            free = b;
            break;
        }
    }
    ASSERT_TRUE(free) << "no block lies on the ground";
    const Vector3 lay = free->Actor()->position;
    GameLogicView::Player* body = logic->GetPlayerManager().GetPlayer(local);
    ASSERT_TRUE(body);
    Frames(40);  // the pick-up lock after the spawn's blocks
    LocalActor()->body->SetPosition(lay + Vector3(2.0f, 1.0f, 0.0f));
    body->viewDirection = Vector3(-1, 0, 0);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventCommandPickUpBlock>(static_cast<int16_t>(local)));
    ASSERT_TRUE(Until([&] { return free->held; }, 10)) << "the block was not taken";
    Frames(2);
    EXPECT_EQ(player->GetHeldBlock(), free);
    EXPECT_GT(free->Actor()->position.y, player->base.y + 1.5f);
    EXPECT_NEAR(free->Actor()->position.x, player->base.x, 1e-3f);
    bool burst = false;
    for (const auto& [id, e] : Particles()->RunningEffects())
        burst = burst || (!e->systems.empty() && e->systems[0].system->Data().tag == 21 &&
                          (e->startPosition - (lay + Vector3(0, -0.5f, 0))).Length() < 0.1f);
    EXPECT_TRUE(burst) << "no pick-up burst where the block lay";

    // A player whose actor leaves the match leaves no glow behind, though
    // the player manager keeps its record.
    uint16_t leaving = 0xFFFF;
    for (const auto& [id, p] : view->GetPlayerMan()->Players())
        if (id != local && !p->Actor()->AttachedEffects().empty()) leaving = id;
    ASSERT_NE(leaving, 0xFFFF);
    std::vector<int> glow;
    for (const auto& e : view->GetPlayerMan()->FindPlayer(leaving)->Actor()->AttachedEffects()) glow.push_back(e.instanceId);
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateDeleteActor>(static_cast<int16_t>(leaving)));
    Frame();
    EXPECT_TRUE(view->GetPlayerMan()->FindPlayer(leaving));
    for (int id : glow) EXPECT_EQ(Particles()->RunningEffects().count(id), 0u) << "effect " << id << " left behind";
}

TEST_F(ViewObjects, TakenFlagRidesOnItsCarrierWhoDiesFadesAndRespawnsWhileTheFlagGoesHome) {
    StartPlayedMatch();
    const uint16_t local = static_cast<uint16_t>(HumanGameView::GetLocalActor());
    const uint8_t team = HumanGameView::GetLocalTeam();
    GameLogicView::Flag* flag = nullptr;
    for (auto& [id, f] : logic->GetFlagMan().Flags())
        if (f.GetTeam() != team && f.GetState() == GameLogicView::FlagState::kHome) {
            flag = const_cast<GameLogicView::Flag*>(&f);
            break;
        }
    ASSERT_TRUE(flag);
    const uint16_t flagId = flag->GetId();
    const Vector3 home = flag->GetPosition();
    auto player = view->GetPlayerMan()->FindPlayer(local);
    auto flagActor = view->GetActorMan()->FindActor(flagId);
    ASSERT_TRUE(player && flagActor);
    EXPECT_EQ(flagActor->AttachedEffects().size(), 4u) << "a flag at home glows and streams";

    // Walked into: the view shows the flag above the carrier's head with
    // only its rising stream.
    TestSupport::EventRecorder reports;
    reports.Listen<EventTypes::EventUpdateFlagRecovered, EventTypes::EventUpdateFlagGrabbed>();
    // The reports about this flag only (the bots play with the others).
    auto about = [&](auto tag) {
        using E = typename decltype(tag)::type;
        std::vector<const typename E::Data*> out;
        for (const auto& e : reports.Of<E>())
            if (e->GetPayload()->flagId == static_cast<int16_t>(flagId)) out.push_back(e->GetPayload());
        return out;
    };
    auto recoveries = [&] { return about(std::common_type<EventTypes::EventUpdateFlagRecovered>()); };
    auto grabs = [&] { return about(std::common_type<EventTypes::EventUpdateFlagGrabbed>()); };
    LocalActor()->body->SetPosition(Vector3(home.x + 1.5f, LocalPosition().y, home.z));
    ASSERT_TRUE(Until([&] { return player->carriesFlag; }, 60));
    Frames(3);
    ASSERT_TRUE(player->GetHeldBlock());
    EXPECT_EQ(player->GetHeldBlock()->Id(), flagId);
    EXPECT_GT(flagActor->position.y, player->base.y + 1.5f);
    EXPECT_NEAR(flagActor->position.x, player->base.x, 1e-3f);
    EXPECT_NEAR(flagActor->position.z, player->base.z, 1e-3f);
    ASSERT_EQ(flagActor->AttachedEffects().size(), 1u);
    auto stream = flagActor->AttachedEffects()[0].effect.lock();
    ASSERT_TRUE(stream);
    EXPECT_NEAR((stream->position - flagActor->position).Length(), 1.0f, 0.05f);

    // Killed: the death plays, the effects go, the body fades out, and the
    // flag falls with its home effects where it lies.
    GameLogicView::Player* body = logic->GetPlayerManager().GetPlayer(local);
    ASSERT_TRUE(body);
    GameLogicView::PlayerLife::Kill(*body, Vector3(1, 0, 0), body->GetPosition(), logic->GetPlayerManager(), 0xFFFF,
                                    0.0f);
    ASSERT_TRUE(Until([&] { return player->dead; }, 10));
    EXPECT_EQ(player->played, ViewPlayer::kDeath);
    EXPECT_TRUE(player->Actor()->AttachedEffects().empty());
    EXPECT_FALSE(player->GetHeldBlock());
    ASSERT_TRUE(Until([&] { return player->Actor()->ShownAlpha() == 0.0f; }, 120)) << "the dead player never faded";
    EXPECT_EQ(flagActor->AttachedEffects().size(), 4u);
    EXPECT_FALSE(player->carriesFlag);

    // Respawned: visible, with its effects, floating at the spawn point.
    ASSERT_TRUE(Until([&] { return !player->dead; }, 600)) << "no respawn";
    Frames(2);
    EXPECT_GT(player->Actor()->ShownAlpha(), 0.0f);
    EXPECT_EQ(player->Actor()->AttachedEffects().size(), team == 0 ? 2u : 1u);

    // The flag goes home (on its timer, or a player of its team returns it),
    // unless one of the carrier's team takes it first: then it rides on them.
    ASSERT_TRUE(Until([&] { return !recoveries().empty() || grabs().size() > 1; }, 1200))
        << "the dropped flag never went home";
    Frames(2);
    if (grabs().size() > 1 && recoveries().empty()) {
        auto carrier = view->GetPlayerMan()->FindPlayer(static_cast<uint16_t>(grabs()[1]->actorId));
        ASSERT_TRUE(carrier);
        if (carrier->GetHeldBlock() && carrier->carriesFlag) {
            EXPECT_EQ(carrier->GetHeldBlock()->Id(), flagId);
            EXPECT_EQ(flagActor->AttachedEffects().size(), 1u);
        }
        return;
    }
    EXPECT_NEAR((recoveries()[0]->homePosition - home).Length(), 0.0f, 1e-3f);
    // The view put it home when told, with its home effects around it, and
    // it is where the logic has it since (a player at home may push it
    // about) - unless it was taken again at once.
    if (grabs().size() > 1) return;
    EXPECT_NEAR((flagActor->position - flag->GetPosition()).Length(), 0.0f, 1e-2f);
    ASSERT_EQ(flagActor->AttachedEffects().size(), 4u);
    for (const auto& e : flagActor->AttachedEffects()) {
        auto fx = e.effect.lock();
        ASSERT_TRUE(fx);
        EXPECT_NEAR((fx->position - (flagActor->position + flagActor->orientation.Rotate(e.offset))).Length(), 0.0f,
                    1e-2f);
    }
}

TEST_F(ViewObjects, BackdropMatchKeepsOneViewActorPerLogicActor) {
    // A bot-only match (the menu backdrop) for ten game-minutes with the
    // full view attached, drawn every 64th frame.
    ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 20));
    // Every actor seen following an effect at some drawn frame: each player
    // spawns (and so wears its effects) at least once in ten minutes,
    // however many happen to be dead at the end.
    std::set<uint16_t> everFollowing;
    const int frames = 10 * 60 * 1000 / 16;
    for (int i = 0; i < frames; ++i) {
        Pump();
        EventSystem::ProcessEventQueue();
        logic->OnUpdate(16);
        if (i % 64 == 0) {
            view->OnRender(16);
            for (uint16_t id : ActorsFollowingEffects(*view)) everFollowing.insert(id);
        }
    }
    EventSystem::ProcessEventQueue();
    ASSERT_TRUE(view->GetActorMan());
    EXPECT_EQ(view->GetActorMan()->Count(), logic->GetActorMan().Count());
    for (const auto& [id, a] : logic->GetActorMan().Actors()) EXPECT_TRUE(view->GetActorMan()->FindActor(id)) << id;
    const auto& players = logic->GetPlayerManager().Players();
    ASSERT_GT(players.size(), 2u);
    for (const auto& [id, p] : players) EXPECT_TRUE(everFollowing.count(id)) << "player " << id << " never wore effects";

    // No particle effect left behind: after the particles' time has run on
    // (longer than any burst or dying trail lasts), every running effect is
    // one a view object still follows.
    Gfx::ParticleMan* pm = Particles();
    ASSERT_TRUE(pm);
    for (int i = 0; i < 20; ++i) pm->Update(0.5f);
    const std::set<int> followed = FollowedEffects(*view);
    // Not vacuous: every living player still wears its effects, so they
    // are among the followed ones checked below.
    const std::set<uint16_t> following = ActorsFollowingEffects(*view);
    size_t alive = 0;
    for (const auto& [id, p] : players) {
        if (p.IsDead()) continue;
        ++alive;
        EXPECT_TRUE(following.count(id)) << "living player " << id << " without effects";
    }
    EXPECT_GE(followed.size(), alive);
    for (const auto& [id, e] : pm->RunningEffects()) EXPECT_TRUE(followed.count(id)) << "effect " << id << " left running";
}
