// The in-game head-up display: the flag slots of both teams with their score
// panels and the battery gauge, drawn as screen-space quads over the scene.
// Pushed above the game screen by the human view when a match starts; the
// view hands it the flag reports.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "screens/IScreen.h"

class BatteryInfo;

namespace GameLogicView {

class HudScoreMan;
class HudBattery;
class TextObj;
class HudQuad;
class HumanGameView;

class HudScreen : public IScreen {
public:
    // localTeam picks the captured image of each slot.
    explicit HudScreen(HumanGameView* view = nullptr, const std::string& file = "Config/hud.ini");
    ~HudScreen() override;

    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    // Flag reports go to the score display; always false, so later
    // listeners still receive them.
    bool OnEvent(const EventSystem::IEvent& event) override;

    HudScoreMan& Score() { return *m_score; }
    HudBattery* Battery() { return m_battery.get(); }
    BatteryInfo& BatteryRecord() { return *m_batteryInfo; }

private:
    // One marker per view flag, above it or pinned to the screen edge.
    void PlaceFlagMarkers();

    HumanGameView* m_view;
    std::string m_file;
    std::map<uint16_t, std::unique_ptr<HudQuad>> m_flagMarkers;
    std::unique_ptr<HudQuad> m_angelScore, m_demonScore;
    std::unique_ptr<HudScoreMan> m_score;
    std::unique_ptr<BatteryInfo> m_batteryInfo;
    std::shared_ptr<TextObj> m_batteryText;
    std::unique_ptr<HudBattery> m_battery;
    unsigned m_sinceQuery = 0;
    unsigned m_queryPeriod = 4000;
};

}  // namespace GameLogicView
