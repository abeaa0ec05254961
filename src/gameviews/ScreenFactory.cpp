#include "gameviews/ScreenFactory.h"

#include "gameviews/HudScreen.h"
#include "screens/MenuScreens.h"
#include "screens/SimpleScreens.h"
#include "screens/JoinMenuScreen.h"

namespace GameLogicView {

std::shared_ptr<IScreen> MakeMainMenu() { return std::make_shared<MainMenuScreen>(); }
std::shared_ptr<IScreen> MakeStartGameMenu() { return std::make_shared<StartMenuScreen>(); }
std::shared_ptr<IScreen> MakeJoinGameMenu() { return std::make_shared<JoinMenuScreen>(); }
std::shared_ptr<IScreen> MakeOptionsMenu() { return std::make_shared<OptionsScreen>(); }
std::shared_ptr<IScreen> MakeCreditsMenu() { return std::make_shared<CreditsScreen>(); }
std::shared_ptr<IScreen> MakeInGameMenu() { return std::make_shared<InGameMenu>(); }
std::shared_ptr<IScreen> MakeEndGameScreen(uint8_t winner) { return std::make_shared<EndGameScreen>(winner); }
std::shared_ptr<IScreen> MakeLoadingScreen() { return std::make_shared<LoadingScreen>(); }
std::shared_ptr<IScreen> MakeClosingScreen() { return std::make_shared<ClosingScreen>(); }
std::shared_ptr<IScreen> MakeHudScreen(HumanGameView& view) { return std::make_shared<HudScreen>(&view); }

}  // namespace GameLogicView
