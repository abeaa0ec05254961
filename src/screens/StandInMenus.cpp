#include "screens/StandInMenus.h"

#include "gamelogic/GlobalGameState.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"

namespace GameLogicView {

namespace {

void StartPlayedMatch() {
    if (GlobalGameState::Instance()->GetFlag(GlobalGameState::kMultiplayer) == 1)
        EventSystem::QueueEvent(new EventTypes::EventSetupMultiplayer());
    else
        EventSystem::QueueEvent(new EventTypes::EventUpdateInitializeGameLogic(0));
}

}  // namespace

StandInMenu::StandInMenu(Kind kind, uint8_t winner) : IScreen("", true, false, true), m_kind(kind), m_winner(winner) {}

bool StandInMenu::OnEvent(const EventSystem::IEvent& event) {
    if (const auto* e = dynamic_cast<const Input::EventIsPressed*>(&event)) {
        const std::string& c = e->GetPayload()->command;
        if (c == "ENTER" || c == "LEFTCLICK")
            Confirm();
        else if (c == "ESC")
            Back();
    }
    return true;
}

void StandInMenu::Confirm() {
    switch (m_kind) {
    case Kind::MainMenu:
    case Kind::StartMenu:
        // End the backdrop match, then start a played one.
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
        StartPlayedMatch();
        break;
    case Kind::EndGame: StartPlayedMatch(); break;
    case Kind::InGameMenu:
        // Stop playing: back to the main menu.
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
        break;
    default: EventSystem::QueueEvent(new EventTypes::EventCreateMainMenu()); break;
    }
}

void StandInMenu::Back() {
    switch (m_kind) {
    case Kind::MainMenu: EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 1)); break;
    case Kind::InGameMenu: EventSystem::QueueEvent(new EventTypes::EventUpdateKeepPlaying()); break;
    default: EventSystem::QueueEvent(new EventTypes::EventCreateMainMenu()); break;
    }
}

}  // namespace GameLogicView
