#include "gameviews/ScreenFactory.h"

#include "gameviews/HudScreen.h"
#include "screens/SimpleScreens.h"
#include "screens/StandInMenus.h"

namespace GameLogicView {

namespace {
std::shared_ptr<IScreen> StandIn(StandInMenu::Kind kind, uint8_t winner = 255) {
    return std::make_shared<StandInMenu>(kind, winner);
}
}  // namespace

std::shared_ptr<IScreen> MakeMainMenu() { return StandIn(StandInMenu::Kind::MainMenu); }
std::shared_ptr<IScreen> MakeStartGameMenu() { return StandIn(StandInMenu::Kind::StartMenu); }
std::shared_ptr<IScreen> MakeJoinGameMenu() { return StandIn(StandInMenu::Kind::JoinMenu); }
std::shared_ptr<IScreen> MakeOptionsMenu() { return StandIn(StandInMenu::Kind::OptionsMenu); }
std::shared_ptr<IScreen> MakeCreditsMenu() { return StandIn(StandInMenu::Kind::CreditsMenu); }
std::shared_ptr<IScreen> MakeInGameMenu() { return StandIn(StandInMenu::Kind::InGameMenu); }
std::shared_ptr<IScreen> MakeEndGameScreen(uint8_t winner) { return StandIn(StandInMenu::Kind::EndGame, winner); }
std::shared_ptr<IScreen> MakeLoadingScreen() { return std::make_shared<LoadingScreen>(); }
std::shared_ptr<IScreen> MakeClosingScreen() { return std::make_shared<ClosingScreen>(); }
std::shared_ptr<IScreen> MakeHudScreen(HumanGameView& view) { return std::make_shared<HudScreen>(&view); }

}  // namespace GameLogicView
