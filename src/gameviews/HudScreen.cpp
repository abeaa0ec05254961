#include "gameviews/HudScreen.h"

#include <algorithm>
#include <cmath>

#include "events/types/FlagEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gameviews/HumanGameView.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewFlag.h"
#include "gfx/Camera.h"
#include "gfx/DrawObj.h"
#include "gfx/Frustum.h"
#include "gfx/DrawScreen.h"
#include "gfx/Font.h"
#include "gfx/GfxEngine.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "ini/IniFile.h"
#include "platform/BatteryQuery.h"
#include "screens/HudParts.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"
#include "utility/BatteryInfo.h"

namespace GameLogicView {

namespace {

constexpr int kScreenQuadState = 17;  // model quad, screen effect and technique
int g_nextQuadId = 0x48000;

// A HUD image as a screen-space object of the scene, placed from its section
// of the HUD file (x, y of the centre, w, h as screen fractions; image tag).
class SceneQuad : public HudQuad {
public:
    SceneQuad(const std::string& file, const std::string& section, int defaultImage) : m_id(g_nextQuadId++) {
        using Utility::Key;
        using Utility::Section;
        const Section s(section);
        const float x = Utility::ReadIniOrDefault<float>(Key("x"), s, file, 0.5f);
        const float y = Utility::ReadIniOrDefault<float>(Key("y"), s, file, 0.5f);
        const float w = Utility::ReadIniOrDefault<float>(Key("w"), s, file, 0.05f);
        const float h = Utility::ReadIniOrDefault<float>(Key("h"), s, file, 0.05f);
        const float z = Utility::ReadIniOrDefault<float>(Key("depth"), s, file, 1.0f);
        m_image = Utility::ReadIniOrDefault<int>(Key("image"), s, file, defaultImage);
        Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
        Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
        if (!screen || !engine || !engine->GetStateMan()) return;
        Gfx::GfxState state;
        engine->GetStateMan()->RequestState(kScreenQuadState, state);
        state.SetTextureTag(m_image);
        m_obj = screen->CreateUIObject(m_id, Geometry::Vector3(x, y, z), Geometry::Vector3(w, h, 0.1f), state);
    }
    ~SceneQuad() override {
        if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
            if (screen->GetSpatial()) screen->GetSpatial()->DestroyUIObject(m_id);
    }
    void Place(float x, float y, float w, float h) {
        if (!m_obj) return;
        if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
            if (screen->GetSpatial())
                screen->GetSpatial()->SetUIObjectTransform(m_id, Geometry::Vector3(x, y, 1.0f), Geometry::Vector3(w, h, 0.1f));
    }
    void SetImage(int tag) override {
        m_image = tag;
        if (m_obj && tag != 0) m_obj->TopState().SetTextureTag(tag);
    }
    void SetAlpha(float a) override {
        m_alpha = a;
        if (m_obj) m_obj->TopState().alpha = a;
    }
    float GetAlpha() const override { return m_alpha; }
    int GetImage() const override { return m_image; }

private:
    int m_id;
    int m_image = 0;
    float m_alpha = 1.0f;
    std::shared_ptr<Gfx::IDrawObj> m_obj;
};

template <class E>
const typename E::Data* PayloadOf(const EventSystem::IEvent& event) {
    const auto* e = dynamic_cast<const E*>(&event);
    return e ? e->GetPayload() : nullptr;
}

uint8_t LocalTeam() { return GlobalGameState::Instance()->GetFlag(GlobalGameState::kTeam); }

}  // namespace

HudScreen::HudScreen(HumanGameView* view, const std::string& file)
    : IScreen(file, false, false), m_view(view), m_file(file) {
    using Utility::Key;
    using Utility::Section;
    m_angelScore = std::make_unique<SceneQuad>(file, "AngelScore", 273);
    m_demonScore = std::make_unique<SceneQuad>(file, "DemonScore", 273);
    const int flags =
        std::clamp(Utility::ReadIniOrDefault<int>(Key("NumFlags"), Section("FLAGMAN"), "Config/Config.ini", 3), 1, 8);
    const int pulse = Utility::ReadIniOrDefault<int>(Key("ScoreFlagPulseTime"), Section("VIEW"), "Config/Config.ini", 1000);
    const std::string f = file;
    m_score = std::make_unique<HudScoreMan>(
        [f](const std::string& section) {
            const bool icon = section.size() > 4 && section.compare(section.size() - 4, 4, "Flag") == 0;
            return std::make_unique<SceneQuad>(f, section, icon ? 270 : 262);
        },
        flags, pulse);

    m_queryPeriod = Utility::ReadIniOrDefault<unsigned>(Key("HudBatteryUpdateRepeatTime"), Section("VIEW"),
                                                        "Config/Config.ini", 4000u);
    m_batteryInfo = std::make_unique<BatteryInfo>(&Platform::QueryBatteryStatus);
    m_batteryInfo->RegisterConsoleCommands();
    m_batteryText = CreateTextObj();
    if (m_batteryText) {
        m_batteryText->SetColor(Gfx::Color4(0.0f, 0.9f, 0.0f, 1.0f));
        m_batteryText->SetPosition(Geometry::Vector2(0.7666f, 0.98f));
        m_batteryText->SetAlphaMultiplier(0.0f);
        m_batteryText->SetShadowOffset(Geometry::Vector2(0.001f, 0.001f));
        m_batteryText->SetShadowColor(Gfx::Color4(0.0f, 0.0f, 0.0f, 0.9f));
        m_batteryText->AddFormat(Gfx::DT_CENTER);
        m_batteryText->SetFontId(3);
        m_batteryText->BuildText();
    }
    auto text = m_batteryText;
    m_battery = std::make_unique<HudBattery>(*m_batteryInfo, std::make_unique<SceneQuad>(file, "Battery", 265),
                                             [text](const std::string& effect) {
                                                 if (text) RunTextEffect(text, effect);
                                             });
    m_batteryInfo->StartQuery();
}

HudScreen::~HudScreen() {
    m_battery.reset();
    m_batteryText.reset();
    m_batteryInfo.reset();  // waits for a running query
}

void HudScreen::OnUpdate(unsigned elapsedMs, bool) {
    const bool paused = GlobalGameState::Instance()->GetFlag(GlobalGameState::kPaused) != 0;
    if (!paused) {
        m_sinceQuery += elapsedMs;
        if (m_queryPeriod > 0 && m_sinceQuery >= m_queryPeriod) {
            m_sinceQuery = 0;
            m_batteryInfo->StartQuery();
        }
        m_score->Update(elapsedMs);
    }
    m_battery->Update();
    PlaceFlagMarkers();
    if (m_batteryText) {
        m_batteryText->SetText(m_battery->Text());
        m_batteryText->BuildText();
    }
}

void HudScreen::PlaceFlagMarkers() {
    ViewFlagMan* flags = m_view ? m_view->GetFlagMan() : nullptr;
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    Gfx::GfxEngine* engine = Gfx::GfxEngine::Instance();
    if (!flags || !screen || !engine) return;
    auto camera = screen->GetActiveCamera();
    if (!camera) return;
    const Geometry::Vector3 eye = camera->GetEye(), at = camera->GetLookAt();
    HudVec3 fwd{at.x - eye.x, at.y - eye.y, at.z - eye.z};
    const float fl = std::sqrt(fwd.x * fwd.x + fwd.y * fwd.y + fwd.z * fwd.z);
    if (fl > 0.0f) fwd = {fwd.x / fl, fwd.y / fl, fwd.z / fl};
    const HudVec3 ref{eye.x, eye.y, eye.z};
    auto frustum = camera->GetFrustum();
    for (int team = 0; team < 2; ++team) {
        for (const auto& flag : flags->Flags(team)) {
            if (!flag || !flag->actor) continue;
            const ViewActor& a = *flag->actor;
            auto& quad = m_flagMarkers[a.id];
            if (!quad) quad = std::make_unique<SceneQuad>(m_file, a.team == 1 ? "angelHudFlag" : "demonHudFlag", 270);
            const HudVec3 p{a.position.x, a.position.y, a.position.z};
            const float extent = std::max(1.0f, a.scale.y);
            const bool inView = !frustum || frustum->TestSphere(a.position, extent) != Gfx::Frustum::kOutside;
            float x = 0.5f, y = 0.5f;
            if (inView) {
                const float dx = p.x - ref.x, dy = p.y - ref.y, dz = p.z - ref.z;
                const float t = (std::clamp(dx * dx + dy * dy + dz * dz, 2.0f, 10000.0f) - 2.0f) / 9998.0f;
                Geometry::Vector2 s;
                engine->WorldToScreen(Geometry::Vector3(p.x, p.y + extent * (2.0f - t), p.z), s);
                x = s.x;
                y = s.y;
            } else {
                HudPinToEdge(p, ref, fwd, x, y);
            }
            const float size = HudMarkerSize(p, ref);
            static_cast<SceneQuad&>(*quad).Place(x, y, size, size * 4.0f / 3.0f);
        }
    }
}

bool HudScreen::OnEvent(const EventSystem::IEvent& event) {
    using namespace EventTypes;
    if (const auto* d = PayloadOf<EventUpdateFlagGrabbed>(event))
        m_score->OnFlagEvent(d->flagTeam, static_cast<uint16_t>(d->flagId), HudScoreMan::kCarried, LocalTeam());
    else if (const auto* d2 = PayloadOf<EventUpdateFlagDropped>(event))
        m_score->OnFlagEvent(d2->flagTeam, static_cast<uint16_t>(d2->flagId), HudScoreMan::kDropped, LocalTeam());
    else if (const auto* d3 = PayloadOf<EventUpdateFlagCaptured>(event))
        m_score->OnFlagEvent(d3->flagTeam, static_cast<uint16_t>(d3->flagId), HudScoreMan::kCaptured, LocalTeam());
    else if (const auto* d4 = PayloadOf<EventUpdateFlagRecovered>(event))
        m_score->OnFlagEvent(d4->flagTeam, static_cast<uint16_t>(d4->flagId), HudScoreMan::kHome, LocalTeam());
    return false;
}

}  // namespace GameLogicView
