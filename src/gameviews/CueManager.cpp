#include "gameviews/CueManager.h"

#include "events/types/ViewEvents.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "utility/Diagnostics.h"

namespace GameLogicView {

namespace {

struct CueRow {
    const char* name;
    const char* text0;
    const char* text1;
    int font;
    int kind;
    uint8_t colourTeam;
};
const CueRow kRows[] = {
    {"FlagTaken", "Cloud Kid flag taken!", "Fire Friend flag taken!", 9, 0, 0},
    {"FlagTakenSelf", "You have the Cloud Kid flag!", "You have the Fire Friend flag!", 5, 0, 1},
    {"FlagDropped", "Cloud Kid flag dropped", "Fire Friend flag dropped", 9, 0, 0},
    {"FlagRecovered", "Cloud Kid flag recovered", "Fire Friend flag recovered", 9, 0, 0},
    {"FlagReturned", "Cloud Kid flag returned", "Fire Friend flag returned", 9, 0, 0},
    {"Score", "Zezuz Idad score!", "Duzu Radizev score!", 6, 1, 0},
    {"KilledSomeone", "You got him!", "You got him!", 5, 1, 0},
    {"Killed", "He got you!", "He got you!", 5, 1, 0},
    {"Score01", "Zezuz Idad trail: 0-1", "Duzu Radizev lead: 1-0", 3, 3, 0},
    {"Score02", "Zezuz Idad trail: 0-2", "Duzu Radizev lead: 2-0", 3, 3, 0},
    {"Score10", "Zezuz Idad lead: 1-0", "Duzu Radizev trail: 0-1", 3, 3, 0},
    {"Score20", "Zezuz Idad lead: 2-0", "Duzu Radizev trail: 0-2", 3, 3, 0},
    {"Score11", "Score tied: 1-1", "Score tied: 1-1", 3, 3, 0},
    {"Score22", "Score tied: 2-2", "Score tied: 2-2", 3, 3, 0},
    {"Score21", "Zezuz Idad lead: 2-1", "Duzu Radizev trail: 1-2", 3, 3, 0},
    {"Score12", "Zezuz Idad trail: 1-2", "Duzu Radizev lead: 2-1", 3, 3, 0},
    {"Win", "Zezuz Idad Win!", "Duzu Radizev Win!", 10, 2, 0},
};

constexpr unsigned kCentre = 1;  // DT_CENTER
const char* const kEarlyExit = "CueEarlyExit";

}  // namespace

const char* CueManager::EntryEffect(int kind) {
    static const char* const effects[kKinds] = {"CueNormalEntry", "CueHighEntry", "CueWinEntry",
                                                "CueScoreUpdateEntry"};
    return (kind >= 0 && kind < kKinds) ? effects[kind] : kEarlyExit;
}

std::vector<std::string> CueManager::AllCueNames() {
    std::vector<std::string> names;
    for (const CueRow& r : kRows) names.push_back(r.name);
    return names;
}

CueManager::CueManager() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {
    for (const CueRow& r : kRows) {
        m_text0[r.name] = r.text0;
        m_text1[r.name] = r.text1;
        m_cues[r.name] = CueInfo{r.font, r.kind, r.colourTeam};
    }
    m_owners.fill(0);
    m_registry->Register(EventTypes::EventCreateCue::GetStaticType(), this, &CueManager::OnCreateCue);
}

CueManager::~CueManager() { m_registry->UnregisterAll(); }

bool CueManager::OnCreateCue(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventCreateCue*>(&event);
    if (e && e->GetPayload()) CreateCue(e->GetPayload()->cueName, e->GetPayload()->flagId, e->GetPayload()->team);
    return false;
}

void CueManager::ExitSlot(int kind) {
    std::shared_ptr<TextObj>& slot = m_slots[static_cast<size_t>(kind)];
    if (!slot) return;
    // The object lives on in its runner while the exit effect plays.
    RunTextEffect(slot, kEarlyExit);
    slot.reset();
}

void CueManager::CreateCue(const std::string& name, int32_t owner, uint8_t team) {
    auto info = m_cues.find(name);
    if (info == m_cues.end()) {
        if (m_unknownLogged.insert(name).second)
            Utility::ReportWarning("cue \"" + name + "\" is not in the cue table");
        return;
    }
    const std::string& text = team == 0 ? m_text0[name] : m_text1[name];
    const int kind = info->second.kind;
    std::shared_ptr<TextObj>& slot = m_slots[static_cast<size_t>(kind)];
    if (slot) {
        if (kind == kNormal && slot->GetText() == text && slot->GetAlphaMultiplier() > 0.3f) return;
        ExitSlot(kind);
    }
    if (kind == kHigh && m_slots[kNormal] && m_owners[kNormal] == owner) ExitSlot(kNormal);
    if (kind == kWin) {
        ExitSlot(kNormal);
        ExitSlot(kHigh);
        ExitSlot(kScore);
    }
    std::shared_ptr<TextObj> o = CreateTextObj();
    const bool blue = (team == 0 && info->second.colourTeam == 0) || (team == 1 && info->second.colourTeam == 1);
    o->SetColor(blue ? Gfx::Color4{0.0f, 0.0f, 0.9f, 1.0f} : Gfx::Color4{0.8f, 0.0f, 0.0f, 1.0f});
    o->AddFormat(kCentre);
    o->SetFontId(info->second.font);
    o->SetShadowOffset(Geometry::Vector2(0.002f, 0.002f));
    o->SetShadowColor(Gfx::Color4{0.0f, 0.0f, 0.0f, 0.75f});
    o->AppendText(text);
    o->BuildText();
    RunTextEffect(o, EntryEffect(kind));
    slot = o;
    m_owners[static_cast<size_t>(kind)] = owner;
    if (m_hidden) o->SetAlpha(0.0f);
    if (kind == kWin) m_hidden = true;
}

void CueManager::HideCues() {
    m_hidden = true;
    for (auto& s : m_slots)
        if (s) s->SetAlpha(0.0f);
}

void CueManager::ShowCues() {
    m_hidden = false;
    for (auto& s : m_slots)
        if (s) s->SetAlpha(1.0f);
}

}  // namespace GameLogicView
