#include "screens/ServerList.h"

#include <algorithm>

#include "events/EventManager.h"
#include "events/types/ActorEvents.h"
#include "events/types/FlagEvents.h"
#include "events/types/NetworkEvents.h"
#include "ini/IniFile.h"

namespace GameLogicView {

ServerList::ServerList(std::string levelList)
    : m_levelList(std::move(levelList)), m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    m_registry->Register(Networking::EventUpdateServerList::GetStaticType(), this, &ServerList::OnServerList);
    m_registry->Register(EventTypes::EventUpdateGameIDs::GetStaticType(), this, &ServerList::OnJoinConfirmed);
    m_registry->Register(EventTypes::EventUpdateGameOver::GetStaticType(), this, &ServerList::OnGameOver);
}

ServerList::~ServerList() = default;

bool ServerList::OnServerList(const EventSystem::IEvent& event) {
    const auto* typed = dynamic_cast<const Networking::EventUpdateServerList*>(&event);
    if (!typed || !typed->GetPayload()) return true;
    const auto* d = typed->GetPayload();
    ServerRow row{d->gameName, d->mode, d->level, d->players, d->socket, d->address};
    for (ServerRow& known : m_rows) {
        if (known.address.sin_addr.s_addr == row.address.sin_addr.s_addr) {
            known = row;
            return true;
        }
    }
    m_rows.push_back(row);
    return true;
}

ServerList::RowTexts ServerList::TextsOf(size_t i) const {
    RowTexts t;
    if (i >= m_rows.size()) return t;
    const ServerRow& row = m_rows[i];
    t.name = row.name;
    t.mode = row.mode != 0 ? "Sandbox" : "CTF";
    auto known = m_levelNames.find(row.level);
    if (known == m_levelNames.end()) {
        // Section "level" and one character: the digit for levels 0 to 9.
        const std::string section = std::string("level") + static_cast<char>(48 + row.level);
        std::string name;
        Utility::IniFile levels(m_levelList);
        if (!levels.GetTrimmedString(Utility::Key("name"), Utility::Section(section), name)) name.clear();
        known = m_levelNames.emplace(row.level, name).first;
    }
    t.level = known->second;
    t.players = std::to_string(row.players) + " / 4";
    return t;
}

bool ServerList::Click(float cx, float cy, float bgX, float bgY, float bgExtX, float bgExtY) {
    if (!(bgX - bgExtX < cx && cx < bgX + bgExtX && bgY - bgExtY < cy && cy < bgY + bgExtY)) return false;
    const float top = bgY - bgExtY + 0.04f;
    const size_t shown = std::min(m_rows.size(), RowsThatFit(bgY, bgExtY));
    for (size_t k = 1; k <= shown; ++k) {
        if (top + 0.1f * static_cast<float>(k) < cy && cy < top + 0.1f * static_cast<float>(k + 1)) {
            m_selected = static_cast<unsigned>(k - 1);
            break;
        }
    }
    return true;
}

size_t ServerList::RowsThatFit(float bgY, float bgExtY) {
    // The text is not clipped, so a row drawn below the box would lie over
    // whatever is under the table; with no way to scroll, the table lists
    // what its box holds (the hosts heard first) and no more.
    const float top = bgY - bgExtY + 0.04f, bottom = bgY + bgExtY;
    size_t fit = 0;
    while (top + 0.1f * static_cast<float>(fit + 2) <= bottom + 1e-5f) ++fit;
    return fit;
}

bool ServerList::Join() {
    if (!CanJoin()) return false;
    if (m_selected >= m_rows.size()) m_selected = 0;
    const ServerRow& row = m_rows[m_selected];
    EventSystem::QueueEvent(std::make_shared<EventTypes::EventUpdateInitializeGameView>(0));
    EventSystem::QueueEvent(std::make_shared<Networking::EventConnectToServer>(row.socket, row.address));
    m_state = JoinState::Joining;
    return true;
}

bool ServerList::OnJoinConfirmed(const EventSystem::IEvent&) {
    if (m_state == JoinState::Joining) m_state = JoinState::Joined;
    return false;
}

bool ServerList::OnGameOver(const EventSystem::IEvent&) {
    // The host never confirmed us (the network's silence rule ends such a
    // game): the list is usable again.
    if (m_state == JoinState::Joining) m_state = JoinState::Failed;
    return false;
}

}  // namespace GameLogicView
