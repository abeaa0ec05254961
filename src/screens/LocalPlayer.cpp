#include "screens/LocalPlayer.h"

namespace GameLogicView {

namespace {
int16_t g_actor = kNoLocalActor;
uint8_t g_team = kNoLocalTeam;
}  // namespace

void PublishLocalPlayer(int16_t actor, uint8_t team) {
    g_actor = actor;
    g_team = team;
}
int16_t PublishedLocalActor() { return g_actor; }
uint8_t PublishedLocalTeam() { return g_team; }

}  // namespace GameLogicView
