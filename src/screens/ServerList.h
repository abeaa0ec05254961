// What the join menu knows apart from drawing: one row per host heard
// announcing (refreshed in place when the same address announces again),
// the chosen row, the texts of each row, where a click on the table lands,
// and the join request with its outcome. The menu screen draws these rows
// and feeds it clicks; the network side feeds it announcements.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace EventSystem {
class IEvent;
class EventRegistry;
}  // namespace EventSystem

namespace GameLogicView {

class ServerList {
public:
    struct ServerRow {
        std::string name;
        uint8_t mode = 0;  // 0 capture the flag, anything else sandbox
        uint8_t level = 0;
        uint8_t players = 0;
        int32_t socket = -1;
        sockaddr_in address{};
    };
    // The four texts of a row, left to right.
    struct RowTexts {
        std::string name, mode, level, players;
    };
    enum class JoinState { Choosing, Joining, Joined, Failed };

    // Listens for announcements, the joined player's confirmation and the
    // end of a game while it lives.
    explicit ServerList(std::string levelList = "Levels/levels.ini");
    ~ServerList();
    ServerList(const ServerList&) = delete;
    ServerList& operator=(const ServerList&) = delete;

    // "LtVEventUpdateServerList": a new row, or the row of the same IPv4
    // address (the port is not compared) overwritten. Consumed.
    bool OnServerList(const EventSystem::IEvent& event);

    const std::vector<ServerRow>& Rows() const { return m_rows; }
    unsigned GetSelectedRow() const { return m_selected; }
    // The join button works only while there is a row to join.
    bool CanJoin() const { return !m_rows.empty() && m_state != JoinState::Joining && m_state != JoinState::Joined; }
    RowTexts TextsOf(size_t row) const;

    // A release at (cx, cy) against the table's box (centre and half
    // extents): inside, the row band under the cursor is chosen (a band
    // between rows or below the last changes nothing) and true is returned
    // (the click belongs to the table); outside, false.
    bool Click(float cx, float cy, float bgX, float bgY, float bgExtX, float bgExtY);
    // How many rows a table box of that centre and half height lists: the
    // rows whose band ends inside the box. Hosts heard beyond that are kept
    // but neither drawn nor clickable.
    static size_t RowsThatFit(float bgY, float bgExtY);

    // Asks to join the chosen host: the view prepares a real game and the
    // network side connects. False (nothing queued) when nothing can be joined.
    bool Join();
    JoinState GetJoinState() const { return m_state; }

private:
    bool OnJoinConfirmed(const EventSystem::IEvent& event);
    bool OnGameOver(const EventSystem::IEvent& event);

    std::string m_levelList;
    // Level names by number, read once: the table asks for them every frame.
    mutable std::map<uint8_t, std::string> m_levelNames;
    std::vector<ServerRow> m_rows;
    unsigned m_selected = 0;
    JoinState m_state = JoinState::Choosing;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
};

}  // namespace GameLogicView
