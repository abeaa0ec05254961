// The HUD's block pouch: the local player's carried blocks as small spinning
// models gliding along a closed path on the screen, the newest at its start
// and older ones further along, each sized and faded by its place on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "utility/Geometry.h"
#include "utility/Spline.h"

namespace Gfx {
class IDrawObj;
}
namespace ProcessSystem {
class ProcessManager;
}

namespace GameLogicView {

class ViewActor;
class HudPouch;

struct HudBlockIcon {
    float angle = 0.0f;
    Geometry::Vector2 position;
    float distance = 0.0f;
    float target = 0.0f;
    float speed = 0.0f;  // path distance per second towards the target; 0 at rest
    std::shared_ptr<ViewActor> block;
    std::shared_ptr<Gfx::IDrawObj> object;  // null without a scene
    int objectId = -1;
    float scaleFactor = 1.0f;
    Geometry::Vector3 baseScale{1.0f, 1.0f, 1.0f};
    Geometry::Quaternion baseOrientation;
    float alpha = 1.0f;

    // Moves along the path by the time passed and places the object at depth.
    void Advance(const HudPouch& pouch, float seconds, float depth);
    void SetScaleFactor(float factor);
    void SetAlpha(float alpha);
    void SetTarget(float distance, float moveTime);
    void SetDistance(float distance);
};

class HudPouch {
public:
    struct Settings {
        std::string pointsFile;
        float moveTime = 1.0f;
        float startScale = 1.0f, endScale = 1.0f;
        float startAlpha = 1.0f, endAlpha = 1.0f;
        float rotationSpeed = 1.0f, movingRotationSpeed = 1.0f;
        int pouchSize = 5;
    };
    // [VIEW] HudBlock* of Config/Config.ini and the logic's pouch size, read
    // once.
    static const Settings& ConfigSettings();

    // Registers "reload_hud_blocks" on the debug console; the path is empty
    // until LoadSpline.
    explicit HudPouch(const Settings& settings = ConfigSettings());
    ~HudPouch();
    HudPouch(const HudPouch&) = delete;
    HudPouch& operator=(const HudPouch&) = delete;

    // (Re)reads the path file and re-targets the icons.
    void LoadSpline();
    // A block joins the pouch at the start of the path; quiet (a spawn's
    // blocks) raises no pick-up sound.
    void AddBlock(bool quiet, const std::shared_ptr<ViewActor>& block);
    // The newest block leaves (the local player threw).
    void ThrowBlock();
    void Clear();
    void Layout();
    void Update(float seconds);
    void RemoveLastBlock();

    void SetProcessManager(ProcessSystem::ProcessManager* processes) { m_processes = processes; }
    const std::vector<HudBlockIcon>& Icons() const { return m_icons; }
    const Utility::Spline& Path() const { return m_path; }
    const Settings& GetSettings() const { return m_settings; }
    // Fraction 0..1 of a distance along the path (0 for a path without length).
    float PathFraction(float distance) const;

private:
    Settings m_settings;
    Utility::Spline m_path;
    std::vector<HudBlockIcon> m_icons;  // oldest first
    ProcessSystem::ProcessManager* m_processes = nullptr;
};

}  // namespace GameLogicView
