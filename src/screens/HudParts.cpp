#include "screens/HudParts.h"

#include <algorithm>
#include <cmath>

#include "events/EventManager.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gfx/Font.h"
#include "ini/IniFile.h"
#include "screens/Button.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "utility/BatteryInfo.h"

namespace GameLogicView {

float HudMarkerSize(const HudVec3& a, const HudVec3& r) {
    const float dx = a.x - r.x, dy = a.y - r.y, dz = a.z - r.z;
    const float d2 = std::clamp(dx * dx + dy * dy + dz * dz, 2.0f, 10000.0f);
    const float t = (d2 - 2.0f) / 9998.0f;
    return 0.06f + 0.05f * (1.0f - t);
}

void HudPinToEdge(const HudVec3& a, const HudVec3& r, const HudVec3& f, float& x, float& y) {
    const float dx = a.x - r.x, dz = a.z - r.z;
    float side = f.z * dx - f.x * dz;
    float ahead = f.x * dx + f.z * dz;
    const float len = std::sqrt(side * side + ahead * ahead);
    // An object straight above or below the reference has no direction: centre.
    if (len > 0.0f) {
        side /= len;
        ahead /= len;
    }
    x = 0.5f - 0.484f * side;
    y = 0.5f - 0.484f * ahead;
}

// ------------------------------------------------------------ score

FadeMarkerProc::FadeMarkerProc(const std::shared_ptr<Button>& icon, int periodMs)
    : IProcess(7), m_icon(icon), m_period(std::max(1, periodMs)), m_counter(m_period) {}

float FadeMarkerProc::PulseAlpha(int counter, int period) {
    if (period <= 0) return 0.95f;
    return std::clamp(0.95f * static_cast<float>(counter) / static_cast<float>(period) + 0.225f, 0.45f, 0.95f);
}

void FadeMarkerProc::OnUpdate(int ms) {
    m_counter += m_down ? -ms : ms;
    if (m_counter > m_period) {
        m_counter = m_period;
        m_down = true;
    } else if (m_counter < 0) {
        m_counter = 0;
        m_down = false;
    }
    if (m_icon) m_icon->SetAlpha(PulseAlpha(m_counter, m_period));
}

HudScoreMan::HudScoreMan(ButtonMan& buttons, const std::string& file, int flagsPerTeam, int pulsePeriodMs)
    : m_flagsPerTeam(std::max(1, flagsPerTeam)), m_pulsePeriod(std::max(1, pulsePeriodMs)) {
    const Utility::IniFile ini(file);
    const char* panels[2] = {"AngelScore", "DemonScore"};
    for (int team = 0; team < 2; ++team) {
        m_scoreButtons[team] = std::make_shared<Button>(panels[team], file, ini, true, 0, nullptr);
        buttons.AddButton(m_scoreButtons[team]);
    }
    for (int team = 0; team < 2; ++team) {
        for (int i = 0; i < m_flagsPerTeam; ++i) {
            const std::string name = std::string(team == 0 ? "AngelMarker" : "DemonMarker") + std::to_string(i + 1);
            Slot s;
            s.team = static_cast<uint8_t>(team);
            s.button = std::make_shared<Button>(name, file, ini, true, 0, nullptr);
            s.flagIcon = std::make_shared<Button>(name + "Flag", file, ini, true, 0, nullptr);
            buttons.AddButton(s.button);
            buttons.AddButton(s.flagIcon);
            m_slots.push_back(std::move(s));
            SetMarker(m_slots.back(), kHome, kFree, 255, 255, nullptr);
        }
    }
}

HudScoreMan::~HudScoreMan() {
    for (Slot& s : m_slots) StopPulse(s);
}

const HudScoreMan::Slot& HudScoreMan::GetSlot(int team, int index) const {
    return m_slots.at(static_cast<size_t>((team & 1) * m_flagsPerTeam + index));
}

void HudScoreMan::StopPulse(Slot& s) {
    if (s.pulse) s.pulse->Kill();
    s.pulse.reset();
}

void HudScoreMan::SetMarker(Slot& s, int state, uint16_t flagId, uint8_t team, uint8_t localTeam,
                            ProcessSystem::ProcessManager* processes) {
    if (s.state == kHome || s.state == kCarried) s.button->SetAlpha(1.0f);
    auto startPulse = [&] {
        if (processes && !s.pulse) {
            s.pulse = std::make_shared<FadeMarkerProc>(s.flagIcon, m_pulsePeriod);
            processes->Attach(s.pulse);
        }
    };
    switch (state) {
        case kHome:
            s.button->SetAlpha(0.0f);
            s.flagIcon->SetAlpha(0.9f);
            StopPulse(s);
            break;
        case kCarried:
            s.button->SetAlpha(0.0f);
            startPulse();
            break;
        case kDropped:
            s.button->SetImage(kImageDropped);
            startPulse();
            break;
        case kCaptured:
            s.button->SetImage(localTeam == team ? kImageCapturedOwn : kImageCapturedEnemy);
            s.flagIcon->SetAlpha(0.5f);
            StopPulse(s);
            break;
        default:
            return;
    }
    s.state = state;
    s.flagId = flagId;
}

void HudScoreMan::OnFlagEvent(uint8_t flagTeam, uint16_t flagId, int kind, uint8_t localTeam) {
    // Once a team has won, the display stays as it was when the match was decided.
    if (m_captures[0] > 2 || m_captures[1] > 2) return;
    if (flagTeam > 1) return;
    const size_t first = static_cast<size_t>(flagTeam) * static_cast<size_t>(m_flagsPerTeam);
    Slot* slot = nullptr;
    if (flagId != kFree)
        for (int i = 0; i < m_flagsPerTeam && !slot; ++i)
            if (m_slots[first + i].flagId == flagId) slot = &m_slots[first + i];
    for (int i = 0; i < m_flagsPerTeam && !slot; ++i)
        if (m_slots[first + i].flagId == kFree) slot = &m_slots[first + i];
    if (slot) SetMarker(*slot, kind, flagId, flagTeam, localTeam, m_processes);
    if (kind == kCaptured) {
        ++m_captures[flagTeam];
        const Button& panel = *m_scoreButtons[flagTeam];
        EventSystem::QueueEvent(new EventTypes::EventCreateEffect(
            flagTeam == 0 ? "AngelScoreHud" : "DemonScoreHud", Geometry::Vector3(panel.GetX(), panel.GetY(), panel.GetZ()),
            Geometry::Vector3(1.0f, 0.0f, 0.0f), 1));
        if (onCapture) onCapture(flagTeam);
    }
}

// ------------------------------------------------------------ battery

HudBattery::HudBattery(BatteryInfo& info, ButtonMan& buttons, const std::string& file,
                       std::function<void(const std::string&)> runEffect)
    : m_info(info), m_runEffect(std::move(runEffect)) {
    const Utility::IniFile ini(file);
    m_icon = std::make_shared<Button>("Battery", file, ini, true, 0, nullptr);
    m_icon->SetAlpha(0.0f);
    buttons.AddButton(m_icon);
    m_textObj = CreateTextObj();
    if (m_textObj) {
        m_textObj->SetColor(Gfx::Color4(0.0f, 0.9f, 0.0f, 1.0f));
        m_textObj->SetPosition(Geometry::Vector2(0.7666f, 0.98f));
        // Invisible until an effect raises it.
        m_textObj->SetAlphaMultiplier(0.0f);
        m_textObj->SetShadowOffset(Geometry::Vector2(0.001f, 0.001f));
        m_textObj->SetShadowColor(Gfx::Color4(0.0f, 0.0f, 0.0f, 0.9f));
        m_textObj->AddFormat(Gfx::DT_CENTER);
        m_textObj->SetFontId(3);
        m_textObj->BuildText();
    }
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kBatterySaving, 0);
}

HudBattery::~HudBattery() {
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kBatterySaving, 0);
    if (m_textObj) m_textObj->SetAlpha(0.0f);
}

int HudBattery::IconFor(int level, bool charging) {
    switch (level) {
        case 0: return charging ? kHighCharging : kHighNotCharging;
        case 1: return charging ? kLowOrMediumCharging : kMediumNotCharging;
        case 2: return charging ? kLowOrMediumCharging : kLowNotCharging;
        default: return 0;
    }
}

void HudBattery::RunEffect(const std::string& name) {
    if (m_runEffect)
        m_runEffect(name);
    else if (m_textObj)
        RunTextEffect(m_textObj, name);
}

void HudBattery::ShowText() {
    if (m_textObj) m_textObj->SetAlpha(1.0f);
}

void HudBattery::HideText() {
    if (m_textObj) m_textObj->SetAlpha(0.0f);
}

void HudBattery::Update() {
    const BatteryState st = m_info.GetState();
    const bool wasHidden = !m_shown;
    const bool chargingChanged = m_seenCharging != st.charging;
    m_seenCharging = st.charging;
    m_seenLife = st.life;
    const bool visible = st.onBattery || (st.charging && st.life < 0.95f);
    if (!visible) {
        Hide();
    } else if (!m_shown) {
        m_icon->SetAlpha(1.0f);
        m_shown = true;
    }
    ShowLevel(m_previousLevel, st.level, wasHidden || chargingChanged);
    m_previousLevel = st.level;
}

void HudBattery::ShowLevel(int previous, int level, bool force) {
    if (!m_shown) return;
    if (level != previous || force) {
        bool saving = false;
        std::string effect;
        switch (level) {
            case 0: effect = "PowerToHigh"; break;
            case 1:
                effect = "PowerToMedium";
                saving = !m_seenCharging;
                break;
            case 2:
                effect = m_seenCharging ? "PowerToMedium" : "PowerToLow";
                saving = !m_seenCharging;
                break;
            default: break;
        }
        if (!effect.empty()) RunEffect(effect);
        m_icon->SetImage(IconFor(level, m_seenCharging));
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kBatterySaving, saving ? 1 : 0);
    }
    std::string text = std::to_string(static_cast<int>(m_seenLife * 100.0f)) + "%";
    if (text != m_text && m_textObj) {
        m_textObj->SetText(text);
        m_textObj->BuildText();
    }
    m_text = std::move(text);
}

void HudBattery::Hide() {
    if (!m_shown) return;
    RunEffect("PowerHide");
    m_icon->SetAlpha(0.0f);
    m_shown = false;
}

void UpdateHudBatteryProc::OnUpdate(int ms) {
    Advance(ms);
    if (!TakeFired()) return;
    if (m_info.StartQuery()) ++m_started;
}

}  // namespace GameLogicView
