// The parts of the head-up display a player reads during a match: the flag
// slots of each team's score, the battery gauge, and where a world-anchored
// marker lands on screen. Each part drives its images through HudQuad, so the
// same code runs over the scene's screen-space quads or over test doubles.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class BatteryInfo;

namespace GameLogicView {

// One screen-space image of the HUD.
class HudQuad {
public:
    virtual ~HudQuad() = default;
    virtual void SetImage(int textureTag) = 0;
    virtual void SetAlpha(float alpha) = 0;
    virtual float GetAlpha() const = 0;
    virtual int GetImage() const = 0;
};

// Makes the quad of an INI section name ("AngelMarker1", "Battery", ...).
using HudQuadFactory = std::function<std::unique_ptr<HudQuad>(const std::string& section)>;

// ------------------------------------------------------------ markers

struct HudVec3 {
    float x = 0, y = 0, z = 0;
};

// Marker size from the distance between the object and the reference point:
// 0.11 near (squared distance clamped at 2) down to 0.06 at 100 units and more.
float HudMarkerSize(const HudVec3& object, const HudVec3& reference);

// Where a marker of an object outside the view goes: on a ring around the
// screen centre in the object's direction seen from above; ahead at the top,
// behind at the bottom, right on the right. Screen fractions, y down.
// forward is the camera's viewing direction.
void HudPinToEdge(const HudVec3& object, const HudVec3& reference, const HudVec3& forward, float& x, float& y);

// ------------------------------------------------------------ score

class HudScoreMan {
public:
    enum State { kBuilding = -1, kHome = 0, kCarried = 1, kDropped = 2, kCaptured = 3 };
    static constexpr uint16_t kFree = 0xFFFF;
    static constexpr int kImageDropped = 269, kImageCapturedOwn = 272, kImageCapturedEnemy = 260;

    struct Slot {
        int state = kBuilding;
        uint16_t flagId = kFree;
        uint8_t team = 0;
        std::unique_ptr<HudQuad> button;
        std::unique_ptr<HudQuad> flagIcon;
        bool pulsing = false;
        int pulseCounter = 0;
        bool pulseDown = true;
    };

    // flagsPerTeam follows the configured number of flags (at least 1).
    HudScoreMan(const HudQuadFactory& factory, int flagsPerTeam = 3, int pulsePeriodMs = 1000);

    // kind: 0 back home, 1 grabbed, 2 dropped, 3 captured. localTeam picks
    // the captured image. onCapture(team) runs for each counted capture.
    void OnFlagEvent(uint8_t flagTeam, uint16_t flagId, int kind, uint8_t localTeam);
    // Advances the pulses of carried and dropped flags.
    void Update(unsigned ms);

    int FlagsPerTeam() const { return m_flagsPerTeam; }
    int Captures(int team) const { return m_captures[team & 1]; }
    const Slot& GetSlot(int team, int index) const;
    std::function<void(int team)> onCapture;

    // Alpha of a pulsing icon from its counter.
    static float PulseAlpha(int counter, int period);

private:
    void SetMarker(Slot& slot, int state, uint16_t flagId, uint8_t team, uint8_t localTeam, bool pulse);

    int m_flagsPerTeam;
    int m_pulsePeriod;
    int m_captures[2] = {0, 0};
    std::vector<Slot> m_slots;  // team 0's slots, then team 1's
};

// ------------------------------------------------------------ battery

class HudBattery {
public:
    static constexpr int kLowNotCharging = 263, kMediumNotCharging = 264, kHighNotCharging = 265,
                         kLowOrMediumCharging = 266, kHighCharging = 267;

    // runEffect(name) plays a text effect on the percentage text.
    HudBattery(BatteryInfo& info, std::unique_ptr<HudQuad> icon, std::function<void(const std::string&)> runEffect);
    ~HudBattery();

    // Every HUD frame: reads the record and shows, hides or re-levels.
    void Update();

    bool Shown() const { return m_shown; }
    const std::string& Text() const { return m_text; }
    const HudQuad& Icon() const { return *m_icon; }
    // The icon tag for a level and charging state (0 for an unknown level).
    static int IconFor(int level, bool charging);

private:
    void ShowLevel(int previous, int level, bool force);
    void Hide();

    BatteryInfo& m_info;
    std::unique_ptr<HudQuad> m_icon;
    std::function<void(const std::string&)> m_runEffect;
    int m_previousLevel = 0;
    bool m_seenCharging = true;
    float m_seenLife = 1.0f;
    bool m_shown = false;
    std::string m_text;
};

}  // namespace GameLogicView
