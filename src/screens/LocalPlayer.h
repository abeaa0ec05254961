// The local player's actor and team as the human view last set them, for
// the screens, the HUD, the view managers and the menu actions.
#pragma once

#include <cstdint>

namespace GameLogicView {

constexpr int16_t kNoLocalActor = -1;  // 0xFFFF on the wire
constexpr uint8_t kNoLocalTeam = 255;

void PublishLocalPlayer(int16_t actor, uint8_t team);
int16_t PublishedLocalActor();
uint8_t PublishedLocalTeam();

}  // namespace GameLogicView
