#include "screens/HudParts.h"

#include <algorithm>
#include <cmath>

#include "gamelogic/GlobalGameState.h"
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

HudScoreMan::HudScoreMan(const HudQuadFactory& factory, int flagsPerTeam, int pulsePeriodMs)
    : m_flagsPerTeam(std::max(1, flagsPerTeam)), m_pulsePeriod(std::max(1, pulsePeriodMs)) {
    for (int team = 0; team < 2; ++team) {
        for (int i = 0; i < m_flagsPerTeam; ++i) {
            const std::string name = std::string(team == 0 ? "AngelMarker" : "DemonMarker") + std::to_string(i + 1);
            Slot s;
            s.team = static_cast<uint8_t>(team);
            s.button = factory(name);
            s.flagIcon = factory(name + "Flag");
            m_slots.push_back(std::move(s));
            SetMarker(m_slots.back(), kHome, kFree, 255, 255, false);
        }
    }
}

const HudScoreMan::Slot& HudScoreMan::GetSlot(int team, int index) const {
    return m_slots.at(static_cast<size_t>((team & 1) * m_flagsPerTeam + index));
}

float HudScoreMan::PulseAlpha(int counter, int period) {
    if (period <= 0) return 0.95f;
    return std::clamp(0.95f * static_cast<float>(counter) / static_cast<float>(period) + 0.225f, 0.45f, 0.95f);
}

void HudScoreMan::SetMarker(Slot& s, int state, uint16_t flagId, uint8_t team, uint8_t localTeam, bool pulse) {
    if (s.state == kHome || s.state == kCarried) s.button->SetAlpha(1.0f);
    auto startPulse = [&] {
        if (pulse && !s.pulsing) {
            s.pulsing = true;
            s.pulseCounter = m_pulsePeriod;
            s.pulseDown = true;
        }
    };
    switch (state) {
        case kHome:
            s.button->SetAlpha(0.0f);
            s.flagIcon->SetAlpha(0.9f);
            s.pulsing = false;
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
            s.pulsing = false;
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
    if (slot) SetMarker(*slot, kind, flagId, flagTeam, localTeam, true);
    if (kind == kCaptured) {
        ++m_captures[flagTeam];
        if (onCapture) onCapture(flagTeam);
    }
}

void HudScoreMan::Update(unsigned ms) {
    for (Slot& s : m_slots) {
        if (!s.pulsing) continue;
        s.pulseCounter += s.pulseDown ? -static_cast<int>(ms) : static_cast<int>(ms);
        if (s.pulseCounter > m_pulsePeriod) {
            s.pulseCounter = m_pulsePeriod;
            s.pulseDown = true;
        } else if (s.pulseCounter < 0) {
            s.pulseCounter = 0;
            s.pulseDown = false;
        }
        s.flagIcon->SetAlpha(PulseAlpha(s.pulseCounter, m_pulsePeriod));
    }
}

// ------------------------------------------------------------ battery

HudBattery::HudBattery(BatteryInfo& info, std::unique_ptr<HudQuad> icon,
                       std::function<void(const std::string&)> runEffect)
    : m_info(info), m_icon(std::move(icon)), m_runEffect(std::move(runEffect)) {
    m_icon->SetAlpha(0.0f);
    GlobalGameState::Instance()->SetFlag(GlobalGameState::kBatterySaving, 0);
}

HudBattery::~HudBattery() { GlobalGameState::Instance()->SetFlag(GlobalGameState::kBatterySaving, 0); }

int HudBattery::IconFor(int level, bool charging) {
    switch (level) {
        case 0: return charging ? kHighCharging : kHighNotCharging;
        case 1: return charging ? kLowOrMediumCharging : kMediumNotCharging;
        case 2: return charging ? kLowOrMediumCharging : kLowNotCharging;
        default: return 0;
    }
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
        if (m_runEffect && !effect.empty()) m_runEffect(effect);
        m_icon->SetImage(IconFor(level, m_seenCharging));
        GlobalGameState::Instance()->SetFlag(GlobalGameState::kBatterySaving, saving ? 1 : 0);
    }
    m_text = std::to_string(static_cast<int>(m_seenLife * 100.0f)) + "%";
}

void HudBattery::Hide() {
    if (!m_shown) return;
    if (m_runEffect) m_runEffect("PowerHide");
    m_icon->SetAlpha(0.0f);
    m_shown = false;
}

}  // namespace GameLogicView
