// Menus reduced to their keys until the menu screens are built from their
// files: each is exclusive, shows the cursor, takes every input event and
// answers Return (or a left click) and Escape with the action its real
// counterpart's main button has.
#pragma once

#include <cstdint>
#include <string>

#include "screens/IScreen.h"

namespace GameLogicView {

class StandInMenu : public IScreen {
public:
    enum class Kind { MainMenu, StartMenu, JoinMenu, OptionsMenu, CreditsMenu, InGameMenu, EndGame };

    // winner: the end screen's winning team.
    explicit StandInMenu(Kind kind, uint8_t winner = 255);
    void OnUpdate(unsigned, bool) override {}
    // Takes every event; acts on "ItvIsPressed" of "ENTER", "LEFTCLICK" and "ESC".
    bool OnEvent(const EventSystem::IEvent& event) override;

    Kind GetKind() const { return m_kind; }
    uint8_t GetWinner() const { return m_winner; }

private:
    void Confirm();
    void Back();

    Kind m_kind;
    uint8_t m_winner;
};

}  // namespace GameLogicView
