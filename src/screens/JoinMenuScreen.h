// The menu from which a player joins a game hosted on the local network: the
// hosts heard announcing, drawn as a four-column table over the "ServerBG"
// button, a highlight bar ("ServerSelect") on the chosen row, and the
// "JoinGame" button, which works only while a host is listed. The rows and
// the join request live in the server list; this screen draws them and turns
// clicks on the table into a choice of row.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "screens/MenuScreens.h"
#include "screens/ServerList.h"

namespace EventSystem {
class EventRegistry;
}

namespace GameLogicView {

class JoinMenuScreen : public MenuScreen {
public:
    static constexpr const char* kFile = "Config/menus/joingamemenu.ini";

    // levelList: where the rows' level names are read.
    explicit JoinMenuScreen(const std::string& levelList = "Levels/levels.ini");
    ~JoinMenuScreen() override;

    // The join button and the highlight bar follow the rows, then the table's
    // texts are made anew from the rows.
    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    // A release (of anything but the right button) inside the table chooses
    // the row under the cursor and goes no further; everything else goes to
    // the buttons.
    bool OnEvent(const EventSystem::IEvent& event) override;
    // "VtVJoinSelectedGame": the view prepares a real game and the network
    // side connects to the chosen host.
    bool OnJoinSelectedGame(const EventSystem::IEvent& event);

    const ServerList& GetServerList() const { return m_list; }
    // The text group holding this frame's table (-1 without a text manager).
    int GetTextGroupId() const { return m_textGroupId; }

    // Layout of the table, in fractions of the screen, from the "ServerBG"
    // button: the header line sits this far below its top edge and each row
    // one row height below the one before.
    static constexpr float kHeaderOffset = 0.067f;
    static constexpr float kRowHeight = 0.1f;

private:
    void UpdateJoinButton();
    void DrawTable();
    void RemoveTextGroup();

    int m_textGroupId = -1;
    unsigned m_textManSerial = 0;
    std::array<float, 3> m_barHome{};
    ServerList m_list;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
};

}  // namespace GameLogicView
