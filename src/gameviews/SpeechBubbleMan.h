// Bots' chat lines as bubbles over their heads: at most one per speaker,
// placed every frame from the camera, faded out after the line's time.
// Tutorial lines have their own look and sound and cannot be talked over by
// ordinary chatter. A bubble whose speaker is gone is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "events/EventManager.h"
#include "utility/Geometry.h"

namespace ProcessSystem {
class ProcessManager;
}
namespace Gfx {
class IDrawObj;
}

namespace GameLogicView {

class TextObj;
class SpeechBubbleFadeProc;

// One screen-space quad of a bubble: its scene id and the object.
struct BubbleQuad {
    int id = -1;
    std::shared_ptr<Gfx::IDrawObj> obj;
};

struct SpeechBubble {
    // Render states of the quads; the icon shows the local player's team.
    static constexpr int kBackgroundState = 59;
    static constexpr int kPointerState = 60;
    static constexpr int kAngelIconState = 32;
    static constexpr int kDemonIconState = 69;
    static constexpr float kIconWidth = 0.125f;

    int16_t speaker = 0;
    std::string text;
    BubbleQuad background, pointer, icon;
    bool withIcon = false;
    float maxAlpha = 0.85f;
    float savedAlpha = 0.0f;
    float alpha = 0.0f;
    bool hidden = false;
    bool tutorial = false;
    Geometry::Vector2 screen;
    SpeechBubbleFadeProc* fade = nullptr;
    std::shared_ptr<TextObj> textObj;

    void SetAlpha(float a);
    void SetPosition(float x, float y);
    void Hide();
    void Show();
    void Destroy();
};

class SpeechBubbleMan {
public:
    // Where a speaker stands (false: no such player any more).
    using PositionOf = std::function<bool(int16_t speaker, Geometry::Vector3& position)>;
    // World to screen fractions.
    using Project = std::function<Geometry::Vector2(const Geometry::Vector3& world)>;

    SpeechBubbleMan() : m_registry(std::make_unique<EventSystem::EventRegistry>()) {}
    ~SpeechBubbleMan() { Clear(); }
    SpeechBubbleMan(const SpeechBubbleMan&) = delete;
    SpeechBubbleMan& operator=(const SpeechBubbleMan&) = delete;

    void Init(PositionOf positions, Project project, ProcessSystem::ProcessManager* processes);
    bool OnCreateSpeechBubble(const EventSystem::IEvent& event);
    void Update(const Geometry::Vector3& viewDirection, const Geometry::Vector3& eye);
    void HideAll();
    void SetHidden(bool hidden) { m_hidden = hidden; }
    void Clear();

    const std::map<int16_t, std::unique_ptr<SpeechBubble>>& Bubbles() const { return m_bubbles; }
    static float WidthFor(const std::string& text);

private:
    std::map<int16_t, std::unique_ptr<SpeechBubble>> m_bubbles;
    std::unique_ptr<EventSystem::EventRegistry> m_registry;
    PositionOf m_positions;
    Project m_project;
    ProcessSystem::ProcessManager* m_processes = nullptr;
    bool m_hidden = false;
};

}  // namespace GameLogicView
