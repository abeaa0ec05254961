// A level loads into the game: its columns become placed blocks in the bots'
// grid, its cells' special objects become flags, level objects and the spawn,
// capture, bomb and guard points; the shipped levels load whole.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <tuple>

#include "ai/SearchSpace.h"
#include "ini/IniFile.h"
#include "gamelogic/BombSpawnManager.h"
#include "gamelogic/MatchFixture.h"
#include "levels/Bitmap.h"
#include "levels/Fixtures.h"
#include "levels/LevelFiles.h"
#include "physics/PhysProc.h"
#include "physics/PhysWorld.h"

namespace MatchTest {
namespace {

using EventTypes::EventUpdateCapPtCreated;
using EventTypes::EventUpdateCreateActor;

struct Pixel {
    int row, col;
    uint8_t blue, green, red;
};

// Runs the game from a folder of its own: the shipped configuration, a level
// list with one level made of the given pixels, and one level object.
class LevelLoadTest : public MatchFixture {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
        m_old = buf;
        std::filesystem::create_directory_symlink(MIRAV_SOURCE_DIR "/data/Config", dir.Path() + "Config");
        dir.Write("Levels/levels.ini", "[level0]\nfile = Levels/level.ini\n");
        dir.Write("Levels/palette.ini", "[0]\n0 = 4\n[1]\n0 = 10\n1 = 11\n[2]\n0 = 20\n");
        dir.Write("Objects/objects.ini", "[Objects]\n10 = post.ini\n");
        dir.Write("Objects/post.ini", "[CONFIG]\npalette = colours.ini\npaletteChoice = 0\n[PIECES]\n[p]\nfile = post_piece.ini\n");
        dir.Write("Objects/colours.ini", "[CONFIG]\nnumColors = 1\n[c]\n0 = 42\n");
        dir.Write("Objects/post_piece.ini",
                  "[box]\nposX = 0\nposY = 0\nposZ = 0\nscaleX = 1\nscaleY = 2\nscaleZ = 1\ncolor = 0\ntexture = -1\n");
        ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
        MatchFixture::SetUp();
        recorder.Listen<EventUpdateCapPtCreated>();
    }
    void TearDown() override {
        MatchFixture::TearDown();
        ASSERT_EQ(::chdir(m_old.c_str()), 0);
    }

    void WriteLevel(int width, int rows, const std::vector<Pixel>& pixels, int seed = 7, int caps = 1,
                    int teamsize = 1) {
        GameLogicView::Bitmap24 image;
        image.width = width;
        image.height = rows;
        image.bgr.assign(static_cast<size_t>(width * rows * 3), 0);
        for (const Pixel& p : pixels) {
            const size_t i = (static_cast<size_t>(p.row) * width + p.col) * 3;
            image.bgr[i] = p.blue;
            image.bgr[i + 1] = p.green;
            image.bgr[i + 2] = p.red;
        }
        dir.WriteBytes("Levels/level.bmp", GameLogicView::EncodeBitmap24(image));
        const std::string c = std::to_string(caps);
        dir.Write("Levels/level.ini", "[level]\ngroundPlaneScale = 2\nteamsize = " + std::to_string(teamsize) +
                                          "\nBmpFile = Levels/level.bmp\npalette = Levels/palette.ini\n"
                                          "SpawnType = massless_box\nSpawnAllBlocks = 1\nwWeight = 0.5\n"
                                          "hWeight = 0.5\nzWeight = 0.5\ncapWidth = " + c + "\ncapHeight = " + c +
                                          "\ncapZ = 5\nRandomSeed = " + std::to_string(seed) + "\n");
    }

    std::vector<const EventTypes::EventUpdateCreateActorData*> Created(const char* type) const {
        std::vector<const EventTypes::EventUpdateCreateActorData*> out;
        for (const auto& e : recorder.Of<EventUpdateCreateActor>())
            if (e->GetPayload()->typeName && std::string(e->GetPayload()->typeName) == type)
                out.push_back(e->GetPayload());
        return out;
    }

    LevelTest::TempDir dir;
    std::string m_old;
};

// A level 8 cells wide and 2 deep (x = column - 4, z = row - 1):
//   row 0: a column of 2 (team 0); a column of 1 (team 1) with the team-0
//          capture point; the team-0 spawn point; the team-0 flag
//   row 1: a bomb spawner; a team-0 guard point; the team-1 spawn point; at
//          column 7 a column of 1 carrying level object 10
const std::vector<Pixel> kSmall = {{0, 0, 2, 1, 0},   {0, 1, 1, 2, 50},  {0, 2, 0, 0, 151}, {0, 3, 0, 0, 153},
                                   {1, 0, 0, 0, 157}, {1, 1, 0, 0, 161}, {1, 2, 0, 0, 152}, {1, 7, 1, 2, 10}};

TEST_F(LevelLoadTest, ASmallLevelBecomesBlocksObjectsAndPoints) {
    LevelTest::ProblemCapture problems;
    WriteLevel(8, 2, kSmall);
    StartGame();
    EXPECT_TRUE(problems.ErrorMentions("level object 50")) << "the index has no object 50: reported, not placed";
    ASSERT_EQ(logic->GetState(), MiravGameLogic::kStarted);
    BlockMan& blocks = *logic->GetBlockMan();
    EXPECT_EQ(blocks.FieldHalfExtents(), Vector3(4, 0, 1)) << "the map's half size, not the ground's";

    // The column of 2 stacks from the ground up; the column of 1 is one box.
    float top = 0.0f;
    std::set<std::tuple<float, float, float>> placed;
    for (const auto* b : Created(ActorTypes::kMasslessBox)) {
        placed.insert({b->position.x, b->position.z, b->scale.y});
        EXPECT_EQ(b->extents, b->scale * 0.5f) << "the unit block's extent times the scale";
        if (b->position.x == -3.5f) {
            EXPECT_EQ(b->team, 0);
            EXPECT_FLOAT_EQ(b->position.y - b->scale.y / 2, top);
            top += b->scale.y;
        }
    }
    EXPECT_FLOAT_EQ(top, 2.0f);
    EXPECT_TRUE(placed.count({-2.5f, -0.5f, 1.0f}));
    EXPECT_TRUE(placed.count({3.5f, 0.5f, 1.0f}));
    EXPECT_TRUE(placed.count({3.5f, 0.5f, 2.0f})) << "the level object's piece on its column";
    for (const auto* b : Created(ActorTypes::kMasslessBox)) {
        const BlockPtr block = blocks.GetBlock(static_cast<uint16_t>(b->actorId));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->state, BlockState::kPlaced);
        EXPECT_EQ(blocks.StaticBlocks().count(block->GetId()), 1u);
        if (b->position == Vector3(3.5f, 2.0f, 0.5f)) {
            EXPECT_EQ(b->objectState.materialId, 42) << "the object's palette colour";
        }
    }
    // The bots' grid knows where the columns stand.
    ASSERT_EQ(blocks.Grid(), &AI::AIMan::Instance()->GetSearchSpace());
    const AI::SearchSpace& grid = AI::AIMan::Instance()->GetSearchSpace();
    const Vector3 cell = grid.WorldToCell(-3.5f, 1.5f, -0.5f);
    EXPECT_TRUE(grid.IsCellBlocked(cell.x, cell.y, cell.z));
    const Vector3 above = grid.WorldToCell(-3.5f, 2.5f, -0.5f);
    EXPECT_FALSE(grid.IsCellBlocked(above.x, above.y, above.z));

    const auto flags = Created(ActorTypes::kFlag);
    ASSERT_EQ(flags.size(), 1u);
    EXPECT_EQ(flags[0]->team, 0);
    EXPECT_EQ(flags[0]->objectState.stateId, 22);
    EXPECT_EQ(flags[0]->position, Vector3(0.5f, 1.5f, 0.5f));
    EXPECT_EQ(flags[0]->extents, Vector3(1.5f, 1.5f, 1.5f));
    EXPECT_EQ(blocks.GetBlock(static_cast<uint16_t>(flags[0]->actorId))->state, BlockState::kPlaced);

    const auto caps = recorder.Of<EventUpdateCapPtCreated>();
    ASSERT_EQ(caps.size(), 1u);
    EXPECT_EQ(caps[0]->GetPayload()->position, Vector3(-3, 4, -1));
    EXPECT_EQ(caps[0]->GetPayload()->team, 0);

    SpawnManager& spawns = *logic->GetSpawnManager();
    ASSERT_EQ(spawns.GetPoints(0).size(), 1u);
    EXPECT_EQ(spawns.GetPoints(0)[0], Vector3(-2, 1.52f, -1));
    ASSERT_EQ(spawns.GetPoints(1).size(), 1u);
    EXPECT_EQ(spawns.GetPoints(1)[0], Vector3(-2, 1.52f, 0));
    std::vector<Vector3> guards;
    logic->GetGuardPoints(guards, 0);
    EXPECT_EQ(guards, std::vector<Vector3>{Vector3(-3, 0, 0)});
    ASSERT_EQ(logic->GetBombSpawnManager()->GetSpawnPoints().size(), 1u);
    EXPECT_EQ(logic->GetBombSpawnManager()->GetSpawnPoints()[0]->position, Vector3(-4, 3, 0));

    // The spawner's first bomb arrives on the next frames.
    stepper->Frames(3);
    EXPECT_EQ(logic->GetBombSpawnManager()->GetSpawnPoints()[0]->bombCount, 1);
}

TEST_F(LevelLoadTest, TheSameSeedCutsTheSameBoxes) {
    std::vector<Pixel> block;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) block.push_back({r, c, 6, 1, 0});
    // A row under them with both spawn points and a flag: a level without
    // them is refused.
    for (const Pixel& p : {Pixel{4, 0, 0, 0, 151}, Pixel{4, 1, 0, 0, 152}, Pixel{4, 2, 0, 0, 153}}) block.push_back(p);
    auto boxes = [&](int seed) {
        WriteLevel(4, 5, block, seed, 3);
        stepper.reset();
        logic.reset();
        TestSupport::ResetSingletons();
        SetLogicSettings(LogicSettings());
        SetRulesSettings(RulesSettings());
        recorder.Clear();
        recorder.Listen<EventUpdateCreateActor>();
        logic = std::make_unique<MiravGameLogic>(nullptr);
        stepper = std::make_unique<TestSupport::LogicStepper>(*logic, 16);
        StartGame();
        std::vector<std::pair<Vector3, Vector3>> out;
        for (const auto* b : Created(ActorTypes::kMasslessBox)) out.push_back({b->position, b->scale});
        return out;
    };
    const auto first = boxes(11);
    const auto again = boxes(11);
    const auto other = boxes(12);
    EXPECT_GE(first.size(), 4u);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    float volume = 0;
    for (const auto& [p, s] : first) volume += s.x * s.y * s.z;
    EXPECT_FLOAT_EQ(volume, 4 * 4 * 6) << "the boxes fill the columns exactly";
}

TEST_F(LevelLoadTest, SandboxLeavesOutFlagsAndCapturePoints) {
    WriteLevel(8, 2, kSmall);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kGameMode, 1);
    StartGame();
    EXPECT_EQ(recorder.Count<EventUpdateCapPtCreated>(), 0u);
    EXPECT_TRUE(Created(ActorTypes::kFlag).empty());
    EXPECT_TRUE(Created(ActorTypes::kBot).empty()) << "no bots in a sandbox";
    EXPECT_EQ(logic->GetSpawnManager()->GetPoints(0).size(), 1u) << "the other cells still count";
}

using BombRequestTest = MatchFixture;

TEST_F(BombRequestTest, OnlyABombRequestCreatesABombCountedAtItsSpawner) {
    StartRules();
    logic->GetBombSpawnManager()->AddSpawnPoint(157, Vector3(2, 3, 4));
    EventSystem::ProcessEventQueue();  // the ground's report
    recorder.Clear();
    auto request = [](int32_t type, const Vector3& p) {
        auto e = std::make_shared<EventTypes::EventCommandCreateBlock>(p);
        e->GetPayload()->objectType = type;
        EventSystem::QueueEvent(e);
        EventSystem::ProcessEventQueue();
    };
    request(3, Vector3(2, 3, 4));
    request(9, Vector3(NAN, 0, 0));
    EXPECT_EQ(recorder.Count<EventUpdateCreateActor>(), 0u) << "another object type, or no position: nothing";
    request(9, Vector3(2, 3, 4));
    request(9, Vector3(0, 0, 0));  // the console's bomb: counted nowhere
    EventSystem::ProcessEventQueue();  // the reports queued while the requests were handled
    const auto created = recorder.Of<EventUpdateCreateActor>();
    ASSERT_EQ(created.size(), 2u);
    const auto* bomb = created[0]->GetPayload();
    EXPECT_STREQ(bomb->typeName, ActorTypes::kBox);
    EXPECT_EQ(bomb->team, 1);
    EXPECT_EQ(bomb->objectState.stateId, 9);
    EXPECT_EQ(bomb->scale, Vector3(2, 2, 2));
    EXPECT_EQ(bomb->extents, Vector3(0.5f, 0.5f, 0.5f)) << "the bomb model's 0.25 at scale 2";
    EXPECT_NEAR(bomb->orientation.LengthSquared(), 1.0f, 1e-5f);
    const ActorPtr actor = logic->GetActor(static_cast<uint16_t>(bomb->actorId));
    ASSERT_NE(actor, nullptr);
    const Vector3 v = actor->GetVelocity();
    EXPECT_TRUE(std::fabs(v.x) <= 7 && std::fabs(v.y) <= 7 && std::fabs(v.z) <= 7) << v;
    const auto& point = *logic->GetBombSpawnManager()->GetSpawnPoints()[0];
    EXPECT_EQ(point.bombCount, 1);
    EXPECT_EQ(point.bombIds, std::vector<uint16_t>{static_cast<uint16_t>(bomb->actorId)});

    // The draws come from one generator seeded with 50: the first bomb of a
    // fresh run always starts the same way.
    ResetBombGenerator();
    const ActorCreateInfo a = MakeBombCreateInfo(Vector3());
    ResetBombGenerator();
    const ActorCreateInfo b = MakeBombCreateInfo(Vector3());
    EXPECT_EQ(a.velocity, b.velocity);
    EXPECT_EQ(a.orientation, b.orientation);
    EXPECT_NE(MakeBombCreateInfo(Vector3()).velocity, b.velocity);
}

// The shipped levels, from the game's own data folder.
class ShippedLevelLoadTest : public MatchFixture {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(::getcwd(buf, sizeof buf), nullptr);
        m_old = buf;
        ASSERT_EQ(::chdir(MIRAV_SOURCE_DIR "/data"), 0);
        MatchFixture::SetUp();
        recorder.Listen<EventUpdateCapPtCreated>();
    }
    void TearDown() override {
        MatchFixture::TearDown();
        ASSERT_EQ(::chdir(m_old.c_str()), 0);
    }
    std::string m_old;

    // The ground and the walls leave no way out: every point just beyond
    // the ground's edge, from below its underside up to the walls' height,
    // corners included, lies inside a static body.
    void ExpectClosed() {
        Physics::PhysProc* proc = Physics::GetPhysProc();
        ASSERT_NE(proc, nullptr);
        std::vector<Physics::PhysBody*> solid;
        Vector3 ground;
        for (const auto& list : {proc->World().SleepingBodies(), proc->World().AwakeBodies()})
            for (const auto& b : list)
                if (b->IsStatic() && b->massProps.halfExtents.y > 1.0f) solid.push_back(b.get());  // ground and walls
        for (const auto& [id, actor] : logic->GetActorMan().Actors())
            if (actor->typeName && std::string(actor->typeName) == ActorTypes::kPlane) ground = actor->extents;
        ASSERT_GT(ground.x, 0.0f);
        auto inside = [&](const Vector3& p) {
            for (const Physics::PhysBody* b : solid) {
                const Vector3 d = p - b->state.position;
                const Vector3& h = b->massProps.halfExtents;
                if (std::fabs(d.x) <= h.x && std::fabs(d.y) <= h.y && std::fabs(d.z) <= h.z) return true;
            }
            return false;
        };
        const float out = 0.5f;
        for (float y : {-2.0f * ground.y - 0.5f, -ground.y, -0.5f, 0.5f, 5.0f, 100.0f, 450.0f})
            for (int k = 0; k <= 20; ++k) {
                const float fx = -ground.x - out + (2.0f * (ground.x + out)) * k / 20.0f;
                const float fz = -ground.z - out + (2.0f * (ground.z + out)) * k / 20.0f;
                for (const Vector3& p : {Vector3(ground.x + out, y, fz), Vector3(-ground.x - out, y, fz),
                                         Vector3(fx, y, ground.z + out), Vector3(fx, y, -ground.z - out)})
                    EXPECT_TRUE(inside(p)) << "open at (" << p.x << ", " << p.y << ", " << p.z << ")";
            }
    }
};

TEST_F(ShippedLevelLoadTest, EveryListedLevelLoadsWithWhatAMatchNeeds) {
    const Utility::IniFile list("Levels/levels.ini");
    ASSERT_TRUE(list.IsLoaded());
    int levels = 0;
    for (int n = 0; n < 10; ++n) {
        if (LevelFileFor(list, n).empty()) continue;
        SCOPED_TRACE("level " + std::to_string(n));
        ++levels;
        stepper.reset();
        logic.reset();
        TestSupport::ResetSingletons();
        LevelTest::ProblemCapture problems;
        SetLogicSettings(LogicSettings());
        SetRulesSettings(RulesSettings());
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kLevel, static_cast<uint8_t>(n));
        recorder.Listen<EventUpdateCreateActor, EventUpdateCapPtCreated>();
        recorder.Clear();
        logic = std::make_unique<MiravGameLogic>(nullptr);
        stepper = std::make_unique<TestSupport::LogicStepper>(*logic, 16);
        StartGame();
        EXPECT_TRUE(problems.errors.empty()) << (problems.errors.empty() ? "" : problems.errors[0]);

        int flags[2] = {0, 0}, blocks = 0;
        for (const auto& e : recorder.Of<EventUpdateCreateActor>()) {
            const auto* d = e->GetPayload();
            const std::string type = d->typeName ? d->typeName : "";
            if (type == ActorTypes::kFlag) ++flags[d->team == 0 ? 0 : 1];
            if (type == ActorTypes::kMasslessBox || type == ActorTypes::kBox || type == ActorTypes::kSolid) ++blocks;
            EXPECT_TRUE(d->position.IsFinite());
            EXPECT_LE(std::fabs(d->position.x), 250.0f);
            EXPECT_LE(std::fabs(d->position.z), 250.0f);
            EXPECT_LT(d->position.y, 100.0f);
        }
        EXPECT_EQ(flags[0], 3);
        EXPECT_EQ(flags[1], 3);
        EXPECT_GT(blocks, 50);
        std::set<int> capTeams;
        for (const auto& c : recorder.Of<EventUpdateCapPtCreated>()) capTeams.insert(c->GetPayload()->team);
        EXPECT_EQ(capTeams, (std::set<int>{0, 1}));
        EXPECT_FALSE(logic->GetSpawnManager()->GetPoints(0).empty());
        EXPECT_FALSE(logic->GetSpawnManager()->GetPoints(1).empty());
        EXPECT_FALSE(logic->GetBombSpawnManager()->GetSpawnPoints().empty());
        std::vector<Vector3> guards[2];
        logic->GetGuardPoints(guards[0], 0);
        logic->GetGuardPoints(guards[1], 1);
        EXPECT_FALSE(guards[0].empty());
        EXPECT_FALSE(guards[1].empty());
        EXPECT_GT(logic->GetBlockMan()->StaticBlocks().size(), 50u);
        ExpectClosed();

        // A few seconds of play on it keep every body where numbers are.
        stepper->Frames(120);
        for (const auto& [id, actor] : logic->GetActorMan().Actors())
            EXPECT_TRUE(actor->GetPosition().IsFinite()) << "actor " << id;
        stepper.reset();
        logic.reset();
    }
    EXPECT_GE(levels, 2);
}

}  // namespace
}  // namespace MatchTest
