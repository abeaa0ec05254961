// The parts of the head-up display a player reads during a match: the flag
// slots of each team's score with their pulsing icons, the battery gauge,
// and where a world-anchored marker lands on screen. Every image is a
// button of the HUD's menu file, held by the HUD's button set.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "processes/Process.h"

class BatteryInfo;

namespace GameLogicView {

class Button;
class ButtonMan;
class TextObj;

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

// Pulses a flag icon between 0.45 and 0.95 alpha, resting at each end for
// about a quarter of the period; runs in the view's process list, so it
// stops while the game is paused.
class FadeMarkerProc : public ProcessSystem::IProcess {
public:
    FadeMarkerProc(const std::shared_ptr<Button>& icon, int periodMs);
    void OnUpdate(int ms) override;
    // Alpha of the icon from the counter.
    static float PulseAlpha(int counter, int period);
    int Counter() const { return m_counter; }

private:
    std::shared_ptr<Button> m_icon;
    int m_period;
    int m_counter;
    bool m_down = true;
};

class HudScoreMan {
public:
    enum State { kBuilding = -1, kHome = 0, kCarried = 1, kDropped = 2, kCaptured = 3 };
    static constexpr uint16_t kFree = 0xFFFF;
    static constexpr int kImageDropped = 269, kImageCapturedOwn = 272, kImageCapturedEnemy = 260;

    struct Slot {
        int state = kBuilding;
        uint16_t flagId = kFree;
        uint8_t team = 0;
        std::shared_ptr<Button> button;
        std::shared_ptr<Button> flagIcon;
        std::shared_ptr<FadeMarkerProc> pulse;
    };

    // Builds the two score panels ("AngelScore", "DemonScore") and one slot
    // per configured flag and team ("AngelMarker1", "AngelMarker1Flag", ...)
    // from the HUD file into the button set. flagsPerTeam is at least 1.
    HudScoreMan(ButtonMan& buttons, const std::string& file, int flagsPerTeam = 3, int pulsePeriodMs = 1000);
    ~HudScoreMan();
    HudScoreMan(const HudScoreMan&) = delete;
    HudScoreMan& operator=(const HudScoreMan&) = delete;

    // Where pulses run; none start before one is given.
    void SetProcessManager(ProcessSystem::ProcessManager* processes) { m_processes = processes; }

    // kind: 0 back home, 1 grabbed, 2 dropped, 3 captured. localTeam picks
    // the captured image. A capture counts, queues the team's score effect
    // at its panel and calls onCapture(team), slot or not.
    void OnFlagEvent(uint8_t flagTeam, uint16_t flagId, int kind, uint8_t localTeam);

    int FlagsPerTeam() const { return m_flagsPerTeam; }
    int Captures(int team) const { return m_captures[team & 1]; }
    const Slot& GetSlot(int team, int index) const;
    const std::shared_ptr<Button>& ScoreButton(int team) const { return m_scoreButtons[team & 1]; }
    std::function<void(int team)> onCapture;

private:
    void SetMarker(Slot& slot, int state, uint16_t flagId, uint8_t team, uint8_t localTeam,
                   ProcessSystem::ProcessManager* processes);
    static void StopPulse(Slot& slot);

    int m_flagsPerTeam;
    int m_pulsePeriod;
    int m_captures[2] = {0, 0};
    std::shared_ptr<Button> m_scoreButtons[2];
    std::vector<Slot> m_slots;  // team 0's slots, then team 1's
    ProcessSystem::ProcessManager* m_processes = nullptr;
};

// ------------------------------------------------------------ battery

class HudBattery {
public:
    static constexpr int kLowNotCharging = 263, kMediumNotCharging = 264, kHighNotCharging = 265,
                         kLowOrMediumCharging = 266, kHighCharging = 267;

    // The icon is the HUD file's "Battery" button, added to the button set;
    // the percentage text is made here. runEffect(name) plays a text effect
    // on that text; empty: the text effect system runs it.
    HudBattery(BatteryInfo& info, ButtonMan& buttons, const std::string& file,
               std::function<void(const std::string&)> runEffect = {});
    ~HudBattery();
    HudBattery(const HudBattery&) = delete;
    HudBattery& operator=(const HudBattery&) = delete;

    // Every HUD frame: reads the record and shows, hides or re-levels.
    void Update();
    // The percentage text's colour alpha (the in-game menu hides it).
    void ShowText();
    void HideText();

    BatteryInfo& Info() { return m_info; }
    bool Shown() const { return m_shown; }
    const std::string& Text() const { return m_text; }
    const Button& Icon() const { return *m_icon; }
    const std::shared_ptr<TextObj>& TextObject() const { return m_textObj; }
    // The icon tag for a level and charging state (0 for an unknown level).
    static int IconFor(int level, bool charging);

private:
    void ShowLevel(int previous, int level, bool force);
    void Hide();
    void RunEffect(const std::string& name);

    BatteryInfo& m_info;
    std::shared_ptr<Button> m_icon;
    std::shared_ptr<TextObj> m_textObj;
    std::function<void(const std::string&)> m_runEffect;
    int m_previousLevel = 0;
    bool m_seenCharging = true;
    float m_seenLife = 1.0f;
    bool m_shown = false;
    std::string m_text;
};

// Restarts the battery query once per period of unpaused play.
class UpdateHudBatteryProc : public ProcessSystem::IRepeatProcess {
public:
    UpdateHudBatteryProc(int periodMs, BatteryInfo& info) : IRepeatProcess(periodMs), m_info(info) {}
    void OnUpdate(int ms) override;
    int Started() const { return m_started; }

private:
    BatteryInfo& m_info;
    int m_started = 0;
};

}  // namespace GameLogicView
