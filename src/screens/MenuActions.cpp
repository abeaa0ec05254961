#include "screens/MenuActions.h"

#include <cctype>

#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/DrawScreen.h"
#include "screens/LocalPlayer.h"

namespace GameLogicView {

namespace {

using G = GlobalGameState;

uint8_t Flag(int i) { return G::Instance()->GetFlag(i); }
void SetFlag(int i, uint8_t v) { G::Instance()->SetFlag(i, v); }

void StartNextGame() {
    if (Flag(G::kMultiplayer) == 1)
        EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer());
    else
        EventSystem::QueueEvent(new EventTypes::EventUpdateInitializeGameLogic(0));
}

// Takes down the network side this machine runs, then leaves network play.
void LeaveNetwork() {
    if (Flag(G::kMultiplayer) == 1) {
        if (Flag(G::kJoiningMachine) == 1)
            EventSystem::QueueEvent(new EventTypes::EventShutDownNetLogic());
        else
            EventSystem::QueueEvent(new EventTypes::EventShutDownNetView());
    }
    SetFlag(G::kMultiplayer, 0);
}

void SetInvert(bool on) {
    G* g = G::Instance();
    g->GetUserConfig().inverty = on;
    g->GetUserConfig().Save();
    g->ApplyUserConfig();
}

}  // namespace

int LevelNumberOfAction(const std::string& action) {
    if (action.compare(0, 5, "level") != 0 || action.size() == 5) return -1;
    int n = 0;
    for (size_t i = 5; i < action.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(action[i]))) return -1;
        n = n * 10 + (action[i] - '0');
        if (n > 255) return -1;
    }
    return n;
}

void DispatchMenuAction(const std::string& a) {
    if (!G::Instance()) return;
    if (a == "closescreen") {
        if (Gfx::DrawScreen* s = Gfx::DrawScreen::Instance()) s->SetCameraTarget(static_cast<uint16_t>(PublishedLocalActor()));
        EventSystem::QueueEvent(new EventTypes::EventScreenClose());
    } else if (a == "mainMenuStart") {
        EventSystem::QueueEvent(new EventTypes::EventCreateStartGameMenu());
    } else if (a == "mainMenuJoin") {
        SetFlag(G::kMultiplayer, 1);
        SetFlag(G::kJoiningMachine, 1);
        EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer());
        EventSystem::QueueEvent(new EventTypes::EventCreateJoinGameMenu());
    } else if (a == "mainMenuExit") {
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 1));
    } else if (a == "mainMenuOptions") {
        EventSystem::QueueEvent(new EventTypes::EventCreateOptionsMenu());
    } else if (a == "mainMenuCredits") {
        EventSystem::QueueEvent(new EventTypes::EventCreateCreditsMenu());
    } else if (a == "StartGameEndGameScreen") {
        StartNextGame();
    } else if (a == "StartGame") {
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
        StartNextGame();
    } else if (a == "JoinGame") {
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
        EventSystem::TriggerEvent(EventTypes::EventJoinSelectedGame());
    } else if (a == "GoBack") {
        LeaveNetwork();
        EventSystem::QueueEvent(new EventTypes::EventCreateMainMenu());
    } else if (a == "KeepPlaying") {
        EventSystem::QueueEvent(new EventTypes::EventUpdateKeepPlaying());
    } else if (a == "StopPlaying") {
        LeaveNetwork();
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
    } else if (a == "teamAngels") {
        SetFlag(G::kTeam, 0);
    } else if (a == "teamDemons") {
        SetFlag(G::kTeam, 1);
    } else if (a.compare(0, 5, "level") == 0) {
        const int n = LevelNumberOfAction(a);
        if (n >= 0) SetFlag(G::kLevel, static_cast<uint8_t>(n));
    } else if (a == "modeCTF") {
        SetFlag(G::kGameMode, 0);
    } else if (a == "modeSandbox") {
        SetFlag(G::kGameMode, 1);
    } else if (a == "netSingle") {
        SetFlag(G::kMultiplayer, 0);
    } else if (a == "netMulti") {
        SetFlag(G::kMultiplayer, 1);
        SetFlag(G::kJoiningMachine, 0);
    } else if (a == "invertOn") {
        SetInvert(true);
    } else if (a == "invertOff") {
        SetInvert(false);
    }
}

}  // namespace GameLogicView
