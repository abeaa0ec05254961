#include "gameviews/SpeechBubbleMan.h"

#include <algorithm>
#include <cmath>

#include "events/types/ActorEvents.h"
#include "events/types/ViewEvents.h"
#include "gameviews/HumanGameView.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "processes/Process.h"
#include "screens/Button.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"

namespace GameLogicView {

using Geometry::Vector3;

namespace {

// A quad of the scene's screen-space objects with the render state of the
// tag; none without a scene (headless runs).
BubbleQuad MakeQuad(int stateTag, const Vector3& position, const Vector3& scale) {
    BubbleQuad q;
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!screen || !engine || !engine->GetStateMan()) return q;
    Gfx::GfxState state;
    engine->GetStateMan()->RequestState(stateTag, state);
    q.id = NextUIObjectId();
    q.obj = screen->CreateUIObject(q.id, position, scale, state);
    return q;
}

void PlaceQuad(BubbleQuad& q, float x, float y) {
    if (q.obj) q.obj->SetPosition(Vector3(x, y, 0.0f));
}

void FadeQuad(BubbleQuad& q, float a) {
    if (q.obj) q.obj->TopState().alpha = a;
}

void DestroyQuad(BubbleQuad& q) {
    if (q.id != -1)
        if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
            if (screen->GetSpatial()) screen->GetSpatial()->DestroyUIObject(q.id);
    q.obj.reset();
}

}  // namespace

class SpeechBubbleFadeProc : public ProcessSystem::ITimeProcess {
public:
    explicit SpeechBubbleFadeProc(SpeechBubble* bubble) : ITimeProcess(300), m_bubble(bubble), m_start(bubble->maxAlpha) {}
    ~SpeechBubbleFadeProc() override {
        if (m_bubble) m_bubble->fade = nullptr;
    }
    void Release() { m_bubble = nullptr; }
    void OnUpdate(int ms) override {
        Advance(ms);
        if (!m_bubble) {
            Kill();
            return;
        }
        if (GetProgress() >= 1.0f) {
            m_bubble->maxAlpha = 0.0f;
            m_bubble->fade = nullptr;
            m_bubble = nullptr;
        } else {
            m_bubble->maxAlpha = (1.0f - GetProgress()) * m_start;
        }
    }

private:
    SpeechBubble* m_bubble;
    float m_start;
};

void SpeechBubble::SetAlpha(float a) {
    a = std::clamp(a, 0.0f, std::max(maxAlpha, 0.0f));
    if (hidden) {
        savedAlpha = a;
        return;
    }
    alpha = a;
    FadeQuad(background, a);
    FadeQuad(pointer, a);
    FadeQuad(icon, a);
    if (textObj) textObj->SetAlpha(a);
}

void SpeechBubble::SetPosition(float x, float y) {
    screen = Geometry::Vector2(x, y);
    PlaceQuad(background, x, y);
    PlaceQuad(pointer, x, y + 0.112f);
    PlaceQuad(icon, x - 0.185f, y);
    // With an icon at the left the text moves right to make room.
    const float offset = withIcon ? kIconWidth * 0.5f - 0.015f : 0.0f;
    if (textObj) textObj->SetPosition(Geometry::Vector2(x + offset, y));
}

void SpeechBubble::Hide() {
    if (hidden) return;
    savedAlpha = alpha;
    SetAlpha(0.0f);
    hidden = true;
}

void SpeechBubble::Show() {
    if (!hidden) return;
    hidden = false;
    SetAlpha(savedAlpha);
}

void SpeechBubble::Destroy() {
    DestroyQuad(background);
    DestroyQuad(pointer);
    DestroyQuad(icon);
    if (textObj) TextMan::Instance().StopEffect(textObj);
    if (fade) {
        fade->Release();
        fade->Kill();
        fade = nullptr;
    }
    textObj.reset();
}

float SpeechBubbleMan::WidthFor(const std::string& text) {
    return std::clamp(static_cast<float>(text.size()) * 0.015f + 0.02f, 0.15f, 0.5f);
}

void SpeechBubbleMan::Init(PositionOf positions, Project project, ProcessSystem::ProcessManager* processes) {
    m_positions = std::move(positions);
    m_project = std::move(project);
    m_processes = processes;
    m_hidden = false;
    m_registry->Register(EventTypes::EventCommandCreateSpeechBubble::GetStaticType(), this,
                         &SpeechBubbleMan::OnCreateSpeechBubble);
}

bool SpeechBubbleMan::OnCreateSpeechBubble(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const EventTypes::EventCommandCreateSpeechBubble*>(&event);
    const auto* d = e ? e->GetPayload() : nullptr;
    if (!d || !m_positions) return false;
    Vector3 at;
    if (!m_positions(d->actorId, at)) return false;
    const bool tutorial = d->tutorial != 0;
    int crowding = 0;
    for (auto it = m_bubbles.begin(); it != m_bubbles.end();) {
        SpeechBubble& b = *it->second;
        if (b.speaker == d->actorId) {
            if ((b.tutorial && !tutorial) || b.text == d->text) return false;
            b.Destroy();
            it = m_bubbles.erase(it);
            continue;
        }
        Vector3 other;
        if (m_positions(b.speaker, other)) {
            const Vector3 v = other - at;
            const float d2 = v.x * v.x + v.y * v.y + v.z * v.z;
            if (d2 < 900.0f) ++crowding;
            if (d2 < 16.0f) ++crowding;
            if (b.tutorial && !tutorial) crowding += 5;
        }
        ++it;
    }
    if (crowding > 2 && !tutorial) return false;

    const Geometry::Vector2 s = m_project ? m_project(at) : Geometry::Vector2(0.5f, 0.5f);
    const Vector3 place(s.x, s.y, 0.0f);
    auto bubble = std::make_unique<SpeechBubble>();
    SpeechBubble* b = bubble.get();
    b->speaker = d->actorId;
    b->text = d->text;
    b->tutorial = tutorial;
    b->background = MakeQuad(SpeechBubble::kBackgroundState, place, Vector3(WidthFor(d->text), 0.2f, 1.0f));
    b->pointer = MakeQuad(SpeechBubble::kPointerState, place, Vector3(0.0375f, 0.0499992035f, 0.05f));
    b->withIcon = d->showSymbol == 1;
    if (b->withIcon) {
        // A square on the 4:3 screen: height = width x 4/3.
        const int iconState =
            HumanGameView::GetLocalTeam() == 0 ? SpeechBubble::kAngelIconState : SpeechBubble::kDemonIconState;
        b->icon = MakeQuad(iconState, place, Vector3(SpeechBubble::kIconWidth, 0.166667f, 0.05f));
    }
    if (m_processes) {
        auto fade = std::make_shared<SpeechBubbleFadeProc>(b);
        b->fade = fade.get();
        auto wait = std::make_shared<ProcessSystem::WaitProcess>(d->durationMs);
        wait->SetNext(fade);
        m_processes->Attach(wait);
    }
    b->textObj = CreateTextObjWithEffect(tutorial ? "SpeechBubbleTutorial" : "SpeechBubble");
    b->textObj->SetTextBox(b->withIcon ? 0.44f - (SpeechBubble::kIconWidth * 0.5f + 0.015f) : 0.44f, 0.2f);
    b->textObj->SetFontId(40);
    b->textObj->AddFormat(1);
    b->textObj->AppendText(d->text);
    b->textObj->BuildText();
    b->SetAlpha(0.0f);
    b->SetPosition(s.x, s.y);
    m_bubbles[d->actorId] = std::move(bubble);
    if (!m_hidden)
        EventSystem::QueueEvent(new EventTypes::EventCreateEffect(
            tutorial ? "CreateSpeechBubbleTutorial" : "CreateSpeechBubble", at, Vector3(0.0f, 1.0f, 0.0f), 0));
    else
        b->Hide();
    return true;
}

void SpeechBubbleMan::Update(const Vector3& v, const Vector3& eye) {
    if (m_hidden) return;
    for (auto it = m_bubbles.begin(); it != m_bubbles.end();) {
        SpeechBubble& b = *it->second;
        b.Show();
        Vector3 p;
        // A speaker gone from the match: its bubble goes too, never drawn
        // at a stale place.
        if (!m_positions || !m_positions(b.speaker, p)) {
            b.Destroy();
            it = m_bubbles.erase(it);
            continue;
        }
        const Vector3 d = p - eye;
        const float dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        const float facing = v.x * d.x + v.y * d.y + v.z * d.z;
        if (facing < 0.0f || dist >= 50.0f) {
            b.SetAlpha(0.0f);
        } else {
            b.SetAlpha(std::clamp(b.maxAlpha + 1.0f / (dist - 50.0f), 0.0f, 1.0f));
            const Geometry::Vector2 s =
                m_project ? m_project(Vector3(p.x, p.y + 2.5f + dist / 10.0f, p.z)) : Geometry::Vector2(0.5f, 0.5f);
            b.SetPosition(s.x, s.y);
        }
        if (b.maxAlpha <= 0.0f) {
            b.Destroy();
            it = m_bubbles.erase(it);
            continue;
        }
        ++it;
    }
}

void SpeechBubbleMan::HideAll() {
    if (m_hidden) return;
    for (auto& [id, b] : m_bubbles) b->Hide();
    m_hidden = true;
}

void SpeechBubbleMan::Clear() {
    for (auto& [id, b] : m_bubbles) b->Destroy();
    m_bubbles.clear();
    m_registry->UnregisterAll();
}

}  // namespace GameLogicView
