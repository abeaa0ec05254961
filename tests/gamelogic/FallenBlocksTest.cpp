// Blocks knocked out of the level (below its floor) fade and are deleted;
// blocks in the level, in a hand or a pouch, and flags are left alone.
#include "MatchFixture.h"

#include "gamelogic/FallenBlocks.h"

namespace MatchTest {

class FallenBlocks : public MatchFixture {};

TEST_F(FallenBlocks, BlocksBelowTheFloorFadeAndGoOthersStay) {
    StartRules(0);
    struct Case {
        const char* what;
        float y;
        int32_t state;  // -1: as created (free)
        bool goes;
    } cases[] = {
        {"lying on the floor", 0.5f, -1, false},
        {"sunk a little", -9.0f, -1, false},
        {"fallen out", -10.5f, -1, true},
        {"far below, thrown", -5000.0f, BlockState::kThrown, true},
        {"held below", -50.0f, BlockState::kHeld, false},
        {"pouched below", -50.0f, BlockState::kPouch, false},
    };
    std::vector<BlockPtr> blocks;
    for (const Case& c : cases) {
        BlockPtr b = MakeBlock(ActorTypes::kBox, Vector3(3, 0.5f, 3));
        ASSERT_TRUE(b) << c.what;
        b->actor->body->SetPosition(Vector3(3, c.y, 3));
        if (c.state >= 0) b->state = c.state;
        blocks.push_back(b);
    }
    ActorCreateInfo info;
    info.params.SetType(ActorTypes::kFlag);
    info.params.team = 1;
    info.params.objectStateId = 23;
    info.position = Vector3(10, 1.5f, 0);
    const ActorPtr flagActor = logic->CreateActor(info);
    flagActor->body->SetPosition(Vector3(10, -100.0f, 0));

    EXPECT_EQ(FallenBlocksSweep::Sweep(*logic->GetBlockMan(), logic.get()), 2);
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(blocks[i]->GetState() == BlockState::kFading, cases[i].goes) << cases[i].what;
    EXPECT_TRUE(logic->GetBlock(flagActor->actorId));  // the flag rules bring flags home

    // The fading ones are deleted a little later; the sweep runs by itself
    // (the sunk one, free under the floor, falls on and goes too).
    Run(3000);
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(logic->GetBlock(blocks[i]->GetId()) == nullptr, cases[i].goes || i == 1) << cases[i].what;
    BlockPtr late = MakeBlock(ActorTypes::kBox, Vector3(5, 0.5f, 5));
    late->actor->body->SetPosition(Vector3(5, -20.0f, 5));
    Run(200);
    EXPECT_EQ(late->GetState(), BlockState::kFading);
}

}  // namespace MatchTest
