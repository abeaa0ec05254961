// The short on-screen messages of a played match ("You got him!", the flag
// and score lines). View components ask for one by queueing "VtVCreateCue"
// with a cue name, an owner id and a team; the manager looks the name up,
// picks the team's text, colours it and runs the kind's entry text effect.
// Four kinds, each with one slot, so a normal, a high-priority, the win and
// the score message can be on screen together.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "events/EventManager.h"

namespace GameLogicView {

class TextObj;

struct CueInfo {
    int font = 0;
    int kind = 0;
    uint8_t colourTeam = 0;
};

class CueManager {
public:
    enum Kind { kNormal = 0, kHigh = 1, kWin = 2, kScore = 3, kKinds = 4 };

    CueManager();
    ~CueManager();
    CueManager(const CueManager&) = delete;
    CueManager& operator=(const CueManager&) = delete;

    bool OnCreateCue(const EventSystem::IEvent& event);
    // Direct form of the event, for the listener and tests.
    void CreateCue(const std::string& name, int32_t owner, uint8_t team);
    void HideCues();
    void ShowCues();

    const std::shared_ptr<TextObj>& GetSlot(int kind) const { return m_slots[static_cast<size_t>(kind)]; }
    bool IsHidden() const { return m_hidden; }
    static std::vector<std::string> AllCueNames();
    static const char* EntryEffect(int kind);

private:
    void ExitSlot(int kind);

    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    std::array<std::shared_ptr<TextObj>, kKinds> m_slots;
    std::array<int32_t, kKinds> m_owners{};
    std::map<std::string, std::string> m_text1, m_text0;
    std::map<std::string, CueInfo> m_cues;
    std::set<std::string> m_unknownLogged;
    bool m_hidden = false;
};

}  // namespace GameLogicView
