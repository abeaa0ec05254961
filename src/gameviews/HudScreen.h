// The in-game head-up display: both teams' score panels with a slot per
// flag, the battery gauge, the block pouch, and markers anchored in the
// world (the flags the local team has to take, its capture points while it
// carries a flag, bots following the local player), pinned to the screen
// edge in their direction when out of view. Pushed above the game screen by
// the human view when a match starts; the view managers keep it in step.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "screens/Button.h"
#include "screens/IScreen.h"
#include "utility/Geometry.h"

class BatteryInfo;

namespace ProcessSystem {
class IProcess;
class ProcessManager;
}
namespace Utility {
class IniFile;
}

namespace GameLogicView {

class HudScoreMan;
class HudBattery;
class HudPouch;
class HumanGameView;
class ViewActor;
class ViewPlayer;

// A marker in the world; the record owns its button alone.
struct HudMarker {
    std::unique_ptr<Button> button;
    Geometry::Vector3 position;
    Geometry::Vector3 extent;
    uint8_t team = 255;
};

class HudScreen : public IScreen {
public:
    using MarkerMap = std::map<uint16_t, HudMarker>;

    explicit HudScreen(HumanGameView* view = nullptr, const std::string& file = "Config/hud.ini");
    ~HudScreen() override;

    // The pouch animation, the score pulses and the battery polling run in
    // the view's process list, so they stop while the game is paused.
    void AttachProcesses(ProcessSystem::ProcessManager& processes);

    void OnUpdate(unsigned elapsedMs, bool isTop) override;
    // Flag reports go to the score display, follow reports to the teammate
    // markers; both return false, so later listeners still receive them.
    // Input goes to the HUD's buttons.
    bool OnEvent(const EventSystem::IEvent& event) override;

    void AddFlagMarker(const std::shared_ptr<ViewActor>& flag);
    void RemoveFlagMarker(uint16_t id);
    void ShowFlagMarkers();
    void HideFlagMarkers();
    // Goal markers start hidden.
    void AddGoalMarker(const Geometry::Vector3& position, uint8_t team);
    void RemoveGoalMarkers(uint8_t team);
    void ShowGoalMarkers();
    void HideGoalMarkers();
    // Teammate markers start hidden and show while that bot follows the local player.
    void AddTeammateMarker(const std::shared_ptr<ViewPlayer>& player);
    void ShowTeammateMarker(uint16_t id);
    void HideTeammateMarker(uint16_t id);
    void AddBlockToPouch(bool quiet, const std::shared_ptr<ViewActor>& block);
    void ShowBatteryText();
    void HideBatteryText();
    // A power status change: query again unless the record is simulated.
    void StartBatteryQuery();

    HudScoreMan& Score() { return *m_score; }
    HudPouch& Pouch() { return *m_pouch; }
    HudBattery* Battery() { return m_battery.get(); }
    BatteryInfo& BatteryRecord() { return *m_batteryInfo; }
    ButtonMan& Buttons() { return m_buttons; }
    const MarkerMap& FlagMarkers() const { return m_flagMarkers; }
    const MarkerMap& GoalMarkers() const { return m_goalMarkers; }
    const MarkerMap& TeammateMarkers() const { return m_teammateMarkers; }

    // The local player's position (distances of markers are measured from it).
    Geometry::Vector3 referencePosition;
    bool goalsHidden = true;

private:
    std::unique_ptr<Button> MakeMarkerButton(const std::string& section);
    static void UpdateMarkerPositions(MarkerMap& markers, const std::map<uint16_t, std::shared_ptr<ViewActor>>& actors);
    void PlaceMarkers(MarkerMap& markers, float scale);
    void FollowLocalPlayer();

    ButtonMan m_buttons;
    std::string m_file;
    std::unique_ptr<Utility::IniFile> m_ini;
    HumanGameView* m_view;
    std::map<uint16_t, std::shared_ptr<ViewActor>> m_viewFlags;
    std::map<uint16_t, std::shared_ptr<ViewActor>> m_viewPlayers;
    MarkerMap m_flagMarkers;
    MarkerMap m_goalMarkers;
    MarkerMap m_teammateMarkers;
    // Goal markers are keyed by a running count, so a marker added after
    // some were removed never takes the key of a live one.
    uint16_t m_nextGoalKey = 0;
    std::unique_ptr<HudPouch> m_pouch;
    std::unique_ptr<HudScoreMan> m_score;
    std::shared_ptr<BatteryInfo> m_batteryInfo;
    std::unique_ptr<HudBattery> m_battery;
    std::shared_ptr<ProcessSystem::IProcess> m_pouchProcess;
    std::shared_ptr<ProcessSystem::IProcess> m_batteryProcess;
};

}  // namespace GameLogicView
