// Headless matches choose their own team size; 0 keeps the level's.
#include <gtest/gtest.h>

#include "gamelogic/MatchFixture.h"

namespace {

class TeamSizeOverride : public MatchTest::MatchFixture {
protected:
    int Count(uint8_t team) {
        int n = 0;
        for (const auto& [id, player] : logic->GetPlayerManager().Players())
            if (player.GetTeam() == team) ++n;
        return n;
    }
};

}  // namespace

TEST_F(TeamSizeOverride, FillsTeamsToTheChosenSizeLocalPlayerIncluded) {
    struct Case {
        int override;
        int expected;
    };
    // The shipped level 0 has teamsize 4; 17 is more than any team may have.
    for (const Case c : {Case{0, 4}, Case{2, 2}, Case{7, 7}, Case{17, 16}}) {
        TearDown();
        SetUp();
        logic->SetTeamSizeOverride(c.override);
        StartGame(0);
        EXPECT_EQ(Count(0), c.expected) << c.override;  // the local player and bots
        EXPECT_EQ(Count(1), c.expected) << c.override;
    }
}
