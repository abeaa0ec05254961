// The particle effects of the view objects, as the scene's particle manager
// sees them: started with their objects, following them, ended with them,
// and none left running once their object is gone.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "gamelogic/Actor.h"
#include "gamelogic/GlobalGameState.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewBlock.h"
#include "gameviews/ViewFlag.h"
#include "gameviews/ViewPlayer.h"
#include "gfx/DrawScreen.h"
#include "gfx/ParticleMan.h"
#include "gfx/Spatial.h"
#include "processes/Process.h"
#include "support/Harness.h"
#include "MakeViewActor.h"

using namespace GameLogicView;
using Geometry::Quaternion;
using Geometry::Vector3;

namespace {

// Here the team comes before the size, which most cases leave as it is.
std::shared_ptr<ViewActor> MakeActor(int16_t id, const char* type, const Vector3& pos, uint8_t team,
                                     const Vector3& half = Vector3(0.5f, 0.5f, 0.5f)) {
    return ViewTest::MakeActor(id, type, pos, half, team);
}

void ExpectNear(const Vector3& a, const Vector3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-4f) << what;
    EXPECT_NEAR(a.y, b.y, 1e-4f) << what;
    EXPECT_NEAR(a.z, b.z, 1e-4f) << what;
}

// A scene without a device: the draw screen's store and its particle manager
// with the shipped particle files.
class ViewEffects : public ::testing::Test {
protected:
    void SetUp() override {
        TestSupport::ResetSingletons();
        GlobalGameState::Create();
        Gfx::DrawScreen::Create()->Initialize("Config/Config.ini");
        pm = Gfx::DrawScreen::Instance()->GetSpatial()->GetParticleMan();
        ASSERT_TRUE(pm);
        ASSERT_TRUE(pm->LoadParticleData("Config/Graphics/ParticleSystems.ini", "Config/Graphics/ParticleEffects.ini"));
    }
    void TearDown() override {
        Gfx::DrawScreen::Destroy();
        TestSupport::ResetSingletons();
    }
    // The running effects made from one effect tag, found by their systems.
    std::vector<std::shared_ptr<Gfx::ParticleEffect>> Running(int tag) const {
        std::vector<std::shared_ptr<Gfx::ParticleEffect>> out;
        const auto& def = pm->EffectDefinitions().at(tag);
        for (const auto& [id, e] : pm->RunningEffects()) {
            if (e->systems.size() != def.size() && !e->systems.empty()) continue;
            bool same = !e->systems.empty();
            for (size_t i = 0; same && i < e->systems.size(); ++i)
                same = e->systems[i].system->Data().tag == def[i].first;
            if (same) out.push_back(e);
        }
        return out;
    }
    std::set<int> AttachedIds(const ViewActor& a) const {
        std::set<int> ids;
        for (const auto& e : a.AttachedEffects())
            if (!e.effect.expired()) ids.insert(e.instanceId);
        return ids;
    }
    void Run(float seconds) {
        for (float t = 0; t < seconds; t += 0.05f) pm->Update(0.05f);
    }
    Gfx::ParticleMan* pm = nullptr;
};

}  // namespace

TEST_F(ViewEffects, AttachedEffectsFollowTheActorAndGoWithIt) {
    ViewActorMan actors;
    auto a = MakeActor(3, ActorTypes::kBox, Vector3(1, 2, 3), 0);
    actors.AddActor(a);
    const int index = a->AddParticleEffect(Vector3(0, 1, 0), 30, Vector3(0, -1, 0));
    const int side = a->AddParticleEffect(Vector3(1, 0, 0), 30, Vector3(0, -1, 0));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(side, 1);
    // An unknown tag keeps its index but holds no effect.
    EXPECT_EQ(a->AddParticleEffect(Vector3(), 999, Vector3(0, 1, 0)), 2);
    EXPECT_TRUE(a->AttachedEffects()[2].effect.expired());
    ASSERT_EQ(pm->RunningEffects().size(), 2u);
    auto up = a->AttachedEffects()[0].effect.lock();
    auto beside = a->AttachedEffects()[1].effect.lock();
    ASSERT_TRUE(up && beside);
    ExpectNear(up->position, Vector3(1, 3, 3), "started at the offset");

    // A move turned a quarter about the vertical: the raised one stays above,
    // the one beside turns with the actor.
    const Quaternion quarter = Quaternion::FromAxisAngle(Vector3(0, 1, 0), 1.5707963f);
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorMove(3, Vector3(5, 0, 5), quarter));
    ExpectNear(up->position, Vector3(5, 1, 5), "offset above");
    ExpectNear(beside->position, Vector3(5, 0, 5) + quarter.Rotate(Vector3(1, 0, 0)), "offset beside");
    EXPECT_EQ(up->orientation, quarter);
    // Placing one (a bone) leaves the actor and the other effect where they are.
    a->PlaceParticleEffect(0, Quaternion(), Vector3(0, 10, 0));
    ExpectNear(up->position, Vector3(0, 11, 0), "placed");
    ExpectNear(a->position, Vector3(5, 0, 5), "actor unmoved");
    a->PlaceParticleEffect(7, Quaternion(), Vector3());  // no such entry: nothing

    // A second actor's effects stay when the first goes; the first's go.
    auto b = MakeActor(4, ActorTypes::kBox, Vector3(), 1);
    b->AddParticleEffect(Vector3(), 31, Vector3(0, -1, 0));
    actors.RemoveActor(3);
    a.reset();
    ASSERT_EQ(pm->RunningEffects().size(), 1u);
    EXPECT_EQ(pm->RunningEffects().begin()->first, *AttachedIds(*b).begin());
    b->RemoveParticleEffects();
    EXPECT_TRUE(pm->RunningEffects().empty());
    EXPECT_TRUE(b->AttachedEffects().empty());
}

TEST_F(ViewEffects, StoppedEffectsDieOutAndLeaveTheManagerEvenFromSystemsThatKeepTopUp) {
    // The thrown trails keep their particle count topped up for ever; a
    // stopped one must still end once its last particle has died.
    auto a = MakeActor(5, ActorTypes::kBox, Vector3(), 0);
    a->AddParticleEffect(Vector3(), 30, Vector3(0, -1, 0));
    auto flag = MakeActor(6, ActorTypes::kFlag, Vector3(), 1);
    ViewFlag f(flag);  // the home effects keep topped up too
    Run(1.0f);
    auto trail = a->AttachedEffects()[0].effect.lock();
    ASSERT_TRUE(trail);
    ASSERT_FALSE(trail->systems.empty());
    const size_t alive = trail->systems[0].system->Particles().size();
    EXPECT_GT(alive, 0u);
    a->StopParticleEffects();
    flag->StopParticleEffects();
    EXPECT_TRUE(a->AttachedEffects().empty());
    // Still running for a while: the live particles finish their lives.
    pm->Update(0.05f);
    EXPECT_EQ(pm->RunningEffects().count(trail->instanceId), 1u);
    EXPECT_LE(trail->systems[0].system->Particles().size(), alive);
    Run(5.0f);
    EXPECT_TRUE(pm->RunningEffects().empty()) << pm->RunningEffects().size() << " stopped effects never ended";
}

TEST_F(ViewEffects, PlayersCarryTheirTeamsEffectsLoseThemOnDeathAndGetThemBackOnRespawn) {
    ProcessSystem::ProcessManager processes;
    ViewActorMan actors;  // moves reach it first, as in the view
    auto players = std::make_unique<ViewPlayerMan>();
    players->StartFloat(&processes);
    auto angel = MakeActor(1, ActorTypes::kBot, Vector3(0, 2, 0), 0, Vector3(0.5f, 1.5f, 0.5f));
    auto demon = MakeActor(2, ActorTypes::kBot, Vector3(4, 2, 0), 1, Vector3(0.5f, 1.5f, 0.5f));
    for (const auto& a : {angel, demon}) {
        actors.AddActor(a);
        players->AddPlayer(a);
    }
    // Angels: the halo (out of sight until drawn on its bone) and the
    // glow at the feet; demons their own glow only.
    EXPECT_EQ(Running(ViewPlayer::kHaloEffect).size(), 1u);
    EXPECT_EQ(Running(ViewPlayer::kAngelFeetEffect).size(), 1u);
    EXPECT_EQ(Running(ViewPlayer::kDemonFeetEffect).size(), 1u);
    EXPECT_EQ(AttachedIds(*angel).size(), 2u);
    EXPECT_EQ(AttachedIds(*demon).size(), 1u);
    ExpectNear(Running(ViewPlayer::kHaloEffect)[0]->position, Vector3(0, 2 + 1.38f - 1000.0f, 0), "halo hidden");
    ExpectNear(Running(ViewPlayer::kAngelFeetEffect)[0]->position, Vector3(0, 2 - 1.35f, 0), "feet");

    // The bone puts the halo on the model's point under that bone's matrix
    // (with its offset, turned as the bone is).
    auto p = players->FindPlayer(1);
    const Geometry::Matrix4x4 bone = Geometry::Matrix4x4::Translation(Vector3(0.5f, 3.0f, -1.0f));
    p->OnBoneMatrix(bone, 0);
    auto halo = Running(ViewPlayer::kHaloEffect)[0];
    const Vector3 onBone = Geometry::TransformCoord(Vector3(-5.600015f, -0.000038f, -57.98655f - 1.38f), bone);
    ExpectNear(halo->position, onBone + halo->orientation.Rotate(Vector3(0, 1.38f, 0)), "halo on the bone");
    // A move before the next drawn frame puts it on the bare offset; the
    // float, which runs before every frame is drawn, puts it back where the
    // bone holds it against the player.
    const Vector3 fromActor = halo->position - angel->position;
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorMove(1, Vector3(2, 2, 2), Quaternion()));
    processes.UpdateProcesses(16);
    ExpectNear(halo->position - angel->position, fromActor, "halo stays on the bone");
    halo.reset();

    // Death: the player's effects end at once; a respawn brings them back.
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(1, 2, Vector3(), Vector3()));
    EXPECT_FALSE(p->effectsAttached);
    EXPECT_TRUE(Running(ViewPlayer::kHaloEffect).empty());
    EXPECT_TRUE(Running(ViewPlayer::kAngelFeetEffect).empty());
    p->OnBoneMatrix(bone, 0);  // a late draw after death does nothing
    EXPECT_TRUE(Running(ViewPlayer::kHaloEffect).empty());
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(1, 0, Vector3(8, 2, 8), Quaternion(), 0, 0));
    EXPECT_TRUE(p->effectsAttached);
    ASSERT_EQ(Running(ViewPlayer::kAngelFeetEffect).size(), 1u);
    EXPECT_EQ(AttachedIds(*angel).size(), 2u);
    // A spawn of a living player does not double them.
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(1, 0, Vector3(8, 2, 8), Quaternion(), 0, 0));
    EXPECT_EQ(Running(ViewPlayer::kAngelFeetEffect).size(), 1u);

    // Low detail: none, yet marked attached, so a spawn in low detail and a
    // later one in normal detail without a death still show none.
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 1);
    auto late = MakeActor(9, ActorTypes::kBot, Vector3(), 1, Vector3(0.5f, 1.5f, 0.5f));
    players->AddPlayer(late);
    EXPECT_TRUE(players->FindPlayer(9)->effectsAttached);
    EXPECT_TRUE(late->AttachedEffects().empty());
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 0);
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(9, 1, Vector3(), Quaternion(), 0, 0));
    EXPECT_TRUE(late->AttachedEffects().empty());
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorDeath(9, -1, Vector3(), Vector3()));
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorSpawn(9, 1, Vector3(), Quaternion(), 0, 0));
    EXPECT_EQ(AttachedIds(*late).size(), 1u);

    // The manager gone (the view's reset): nothing of the players runs on.
    processes.DetachAll();
    players.reset();
    for (uint16_t id : {1, 2}) actors.RemoveActor(id);
    p.reset();
    angel.reset();
    demon.reset();
    late.reset();
    EXPECT_TRUE(pm->RunningEffects().empty()) << pm->RunningEffects().size() << " left running";
}

TEST_F(ViewEffects, ThrownBlocksTrailTheirTeamsEffectUntilTheyLandAndPickUpsBurst) {
    ProcessSystem::ProcessManager processes;
    ViewActorMan actors;
    ViewBlockMan blocks;
    blocks.SetProcessManager(&processes);
    for (int16_t id = 10; id < 15; ++id) {
        auto a = MakeActor(id, ActorTypes::kBox, Vector3(id, 1, 0), 0);
        actors.AddActor(a);
        blocks.AddBlock(a);
    }
    const struct {
        uint16_t id;
        uint8_t team;
        int trail;  // -1: none
    } throws[] = {{10, 0, ViewBlock::kAngelTrailEffect}, {11, 1, ViewBlock::kDemonTrailEffect}, {12, 255, -1}};
    for (const auto& t : throws) {
        auto b = blocks.FindBlock(t.id);
        b->OnThrown(t.team);
        EXPECT_TRUE(b->thrown);
        EXPECT_EQ(AttachedIds(*b->Actor()).size(), t.trail < 0 ? 0u : 1u) << t.id;
    }
    ASSERT_EQ(Running(ViewBlock::kAngelTrailEffect).size(), 1u);
    ASSERT_EQ(Running(ViewBlock::kDemonTrailEffect).size(), 1u);
    // The trail follows the flying block.
    EventSystem::TriggerEvent(EventTypes::EventUpdateActorMove(10, Vector3(0, 5, 7), Quaternion()));
    ExpectNear(Running(ViewBlock::kAngelTrailEffect)[0]->position, Vector3(0, 5, 7), "trail follows");

    // Landing on something stops the trail (it dies out); the physics
    // report of the same name (another payload) is not ours.
    EventSystem::TriggerEvent(EventTypes::EventUpdateCollision(0, 3.0f, Vector3(), Vector3(0, 1, 0), 10, 1, 11, 1));
    EXPECT_TRUE(blocks.FindBlock(10)->thrown);
    EXPECT_EQ(AttachedIds(*blocks.FindBlock(10)->Actor()).size(), 1u);
    EventTypes::EventUpdateCollisionData report;
    report.actorIdA = 10;
    report.actorIdB = 11;
    EventSystem::TriggerEvent(EventTypes::EventUpdateCollisionToClient(report));
    EXPECT_FALSE(blocks.FindBlock(10)->thrown);
    EXPECT_TRUE(blocks.FindBlock(10)->Actor()->AttachedEffects().empty());
    EXPECT_TRUE(blocks.FindBlock(11)->Actor()->AttachedEffects().empty());
    Run(5.0f);
    EXPECT_TRUE(pm->RunningEffects().empty());

    // A bomb's trail stops where it bursts; a fading block's goes at once.
    blocks.FindBlock(13)->OnThrown(0);
    EventSystem::TriggerEvent(EventTypes::EventUpdateExplosion(Vector3(), 1, 0, 13));
    EXPECT_TRUE(blocks.FindBlock(13)->Actor()->AttachedEffects().empty());
    blocks.FindBlock(14)->OnThrown(1);
    const int fadingTrail = *AttachedIds(*blocks.FindBlock(14)->Actor()).begin();
    EventSystem::TriggerEvent(EventTypes::EventUpdateBlockFade(14));
    EXPECT_EQ(pm->RunningEffects().count(fadingTrail), 0u);

    // A pick-up stops the trail and bursts where the block was taken, not
    // attached to the block.
    auto b = blocks.FindBlock(12);
    b->OnThrown(0);
    b->OnPickedUp(false);
    EXPECT_TRUE(b->Actor()->AttachedEffects().empty());
    auto bursts = Running(ViewBlock::kPickUpEffect);
    ASSERT_EQ(bursts.size(), 1u);
    ExpectNear(bursts[0]->position, Vector3(12, 0.5f, 0), "burst under the block");
    b->PlaceHeld(Vector3(0, 9, 0), Quaternion());
    ExpectNear(bursts[0]->position, Vector3(12, 0.5f, 0), "burst left behind");
    // Hidden in a pouch: whatever it had goes at once.
    b->Actor()->AddParticleEffect(Vector3(), 30, Vector3(0, -1, 0));
    b->HideInPouch();
    EXPECT_TRUE(b->Actor()->AttachedEffects().empty());
    Run(5.0f);
    EXPECT_TRUE(pm->RunningEffects().empty());

    // Low detail: no trail and no burst.
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 1);
    b->Release();
    b->OnThrown(0);
    b->OnPickedUp(true);
    EXPECT_TRUE(pm->RunningEffects().empty());
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 0);
}

TEST_F(ViewEffects, FlagsGlowAtHomeStreamWhenCarriedAndLeaveNothingWhenCaptured) {
    ProcessSystem::ProcessManager processes;
    ViewActorMan actors;
    ViewBlockMan blocks;
    ViewPlayerMan players;
    players.SetBlockMan(&blocks);
    ViewFlagMan flags(&blocks, &actors, &processes);
    const Vector3 home(10, 1.5f, 0);
    auto angelFlag = MakeActor(20, ActorTypes::kFlag, home, 0, Vector3(0.5f, 1.5f, 0.5f));
    auto demonFlag = MakeActor(21, ActorTypes::kFlag, Vector3(-10, 1.5f, 0), 1, Vector3(0.5f, 1.5f, 0.5f));
    for (const auto& f : {angelFlag, demonFlag}) {
        actors.AddActor(f);
        flags.AddFlag(f);
    }
    auto carrier = MakeActor(1, ActorTypes::kCharacter, Vector3(), 1, Vector3(0.5f, 1.5f, 0.5f));
    actors.AddActor(carrier);
    players.AddPlayer(carrier);

    // At home: the rising stream above and three glows of the flag's team,
    // aimed right, up-right and up-left.
    ASSERT_EQ(Running(ViewFlag::kRiseEffect).size(), 2u);
    auto glows = Running(ViewFlag::kHomeEffectAngel);
    ASSERT_EQ(glows.size(), 3u);
    EXPECT_EQ(Running(ViewFlag::kHomeEffectDemon).size(), 3u);
    std::vector<Vector3> dirs;
    for (const auto& e : glows) {
        ExpectNear(e->position, home, "glow at the flag");
        dirs.push_back(e->startDirection);
    }
    ExpectNear(dirs[0], Vector3(1, 0, 0), "first");
    ExpectNear(dirs[1], Vector3(1, 1, 0), "second");
    ExpectNear(dirs[2], Vector3(-1, 1, 0), "third");
    EXPECT_EQ(AttachedIds(*angelFlag).size(), 4u);

    // Taken: only the stream goes on, over the carrier's head.
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagGrabbed(1, 20, 1, 0));
    EventSystem::TriggerEvent(EventTypes::EventUpdatePickUpBlock(1, 20, 1, Vector3(), Vector3(0.5f, 1.5f, 0.5f), home));
    ASSERT_EQ(AttachedIds(*angelFlag).size(), 1u);
    players.FindPlayer(1)->base = Vector3(3, 1, 3);
    players.FindPlayer(1)->UpdateFloat(0.0f);
    auto stream = angelFlag->AttachedEffects()[0].effect.lock();
    ASSERT_TRUE(stream);
    EXPECT_GT(stream->position.y, 3.5f) << "the stream rides on the carried flag";
    ExpectNear(stream->position, angelFlag->position + Vector3(0, 1, 0), "stream above the flag");

    // Dropped: home effects where it lies; returned: home effects at home.
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagDropped(1, 20, 1, 0));
    EXPECT_EQ(AttachedIds(*angelFlag).size(), 4u);
    const Vector3 lying = angelFlag->position;
    for (const auto& e : angelFlag->AttachedEffects())
        EXPECT_NEAR((e.effect.lock()->position - lying).Length(), e.offset.Length(), 1e-4f);
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagRecovered(20, 0, -1, lying, home));
    ASSERT_EQ(AttachedIds(*angelFlag).size(), 4u);
    for (const auto& e : angelFlag->AttachedEffects())
        ExpectNear(e.effect.lock()->position, home + e.offset, "home again");

    // Taken again and captured: once the carrier lets go, nothing of the
    // flag runs on.
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagGrabbed(1, 20, 1, 0));
    EventSystem::TriggerEvent(EventTypes::EventUpdatePickUpBlock(1, 20, 1, Vector3(), Vector3(0.5f, 1.5f, 0.5f), home));
    const std::set<int> flagEffects = AttachedIds(*angelFlag);
    ASSERT_EQ(flagEffects.size(), 1u);
    std::weak_ptr<ViewActor> gone = angelFlag;
    angelFlag.reset();
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagCaptured(1, 1, 0, 20, Vector3()));
    EXPECT_TRUE(gone.expired()) << "the captured flag's record is still held";
    for (int id : flagEffects) EXPECT_EQ(pm->RunningEffects().count(id), 0u);
    EXPECT_EQ(AttachedIds(*demonFlag).size(), 4u);

    // Low detail: a grab ends the home effects and starts nothing, a drop
    // starts nothing.
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 1);
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagGrabbed(1, 21, 0, 1));
    EXPECT_TRUE(demonFlag->AttachedEffects().empty());
    EventSystem::TriggerEvent(EventTypes::EventUpdateFlagDropped(1, 21, 0, 1));
    EXPECT_TRUE(demonFlag->AttachedEffects().empty());
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kLowDetail, 0);
}
