// The screens the human view pushes, made in one place: the menus from
// their files and the HUD.
#pragma once

#include <cstdint>
#include <memory>

namespace GameLogicView {

class IScreen;
class HumanGameView;

std::shared_ptr<IScreen> MakeMainMenu();
std::shared_ptr<IScreen> MakeStartGameMenu();
std::shared_ptr<IScreen> MakeJoinGameMenu();
std::shared_ptr<IScreen> MakeOptionsMenu();
std::shared_ptr<IScreen> MakeCreditsMenu();
std::shared_ptr<IScreen> MakeInGameMenu();
std::shared_ptr<IScreen> MakeEndGameScreen(uint8_t winner);
std::shared_ptr<IScreen> MakeLoadingScreen();
std::shared_ptr<IScreen> MakeClosingScreen();
// Null while there is no HUD screen to make (the view then pushes the empty
// screen in its place).
std::shared_ptr<IScreen> MakeHudScreen(HumanGameView& view);

}  // namespace GameLogicView
