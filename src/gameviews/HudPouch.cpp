#include "gameviews/HudPouch.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "events/EventManager.h"
#include "events/types/ViewEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gamelogic/LogicSettings.h"
#include "gameviews/ViewActor.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/ParticleMan.h"
#include "gfx/ParticleSystem.h"
#include "gfx/Resources.h"
#include "gfx/Spatial.h"
#include "ini/IniFile.h"
#include "screens/Button.h"
#include "utility/Console.h"

namespace GameLogicView {

namespace {

constexpr int kPouchEffectTag = 3;
constexpr int kPouchTechniqueTag = 3;
constexpr int kPickUpSparkle = 16;
constexpr size_t kMaxPathPoints = 64;

Gfx::Spatial* SceneStore() {
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    return screen ? screen->GetSpatial() : nullptr;
}

}  // namespace

// ------------------------------------------------------------------ icon

void HudBlockIcon::Advance(const HudPouch& pouch, float seconds, float depth) {
    const float next = distance + speed * seconds;
    if ((speed > 0.0f && next >= target) || (speed <= 0.0f && target >= next)) {
        speed = 0.0f;
        distance = target;
    } else {
        distance = next;
    }
    position = pouch.Path().GetPointAtDistance(distance);
    if (object) object->SetPosition(Geometry::Vector3(position.x, position.y, depth));
}

void HudBlockIcon::SetScaleFactor(float factor) {
    scaleFactor = factor;
    if (object) object->SetScale(baseScale * factor);
}

void HudBlockIcon::SetAlpha(float a) {
    alpha = std::clamp(a, 0.0f, 1.0f);
    if (object) object->TopState().alpha = alpha;
}

void HudBlockIcon::SetTarget(float d, float moveTime) {
    target = d;
    // A move time of 0 (or less) jumps: the next advance lands on the target.
    speed = moveTime > 0.0f ? (target - distance) / moveTime : 0.0f;
}

void HudBlockIcon::SetDistance(float d) {
    distance = target = d;
    speed = 0.0f;
}

// ----------------------------------------------------------------- pouch

const HudPouch::Settings& HudPouch::ConfigSettings() {
    static const Settings s = [] {
        Settings v;
        v.pointsFile = Utility::ReadConfig<std::string>("VIEW", "HudBlockPts", "");
        v.moveTime = Utility::ReadConfig<float>("VIEW", "HudBlockMoveTime", 1.0f);
        v.startScale = Utility::ReadConfig<float>("VIEW", "HudBlockStartScale", 1.0f);
        v.endScale = Utility::ReadConfig<float>("VIEW", "HudBlockEndScale", 1.0f);
        v.startAlpha = Utility::ReadConfig<float>("VIEW", "HudBlockStartAlpha", 1.0f);
        v.endAlpha = Utility::ReadConfig<float>("VIEW", "HudBlockEndAlpha", 1.0f);
        v.rotationSpeed = Utility::ReadConfig<float>("VIEW", "HudBlockRotationSpeed", 1.0f);
        v.movingRotationSpeed = Utility::ReadConfig<float>("VIEW", "HudBlockMovingRotationSpeed", 1.0f);
        // As many places as the logic lets a pouch hold (its default and
        // its limit, whatever the file says).
        v.pouchSize = static_cast<int>(GetLogicSettings().pouchSize);
        return v;
    }();
    return s;
}

HudPouch::HudPouch(const Settings& settings) : m_settings(settings) {
    Utility::RegisterConsoleFunction("reload_hud_blocks", [this] { LoadSpline(); }, this);
}

HudPouch::~HudPouch() {
    Utility::Console::Unregister(this);
    Clear();
}

float HudPouch::PathFraction(float distance) const {
    // A path without control points has no length: every icon counts as at
    // its start rather than dividing by zero.
    const float length = m_path.totalLength;
    return length > 0.0f && std::isfinite(length) ? distance / length : 0.0f;
}

void HudPouch::LoadSpline() {
    m_path.Clear();
    if (!m_settings.pointsFile.empty()) {
        std::ifstream in(m_settings.pointsFile);
        // A path of more points than any screen needs is cut short.
        m_path.ReadPoints(in, kMaxPathPoints);
    }
    m_path.Build();
    Layout();
}

void HudPouch::Layout() {
    const size_t n = m_icons.size();
    const float length = m_path.totalLength > 0.0f && std::isfinite(m_path.totalLength) ? m_path.totalLength : 0.0f;
    // The layout constant is at least 1, so a pouch size of 0 (or less)
    // still gives a positive denominator for every icon.
    const float p = static_cast<float>(std::max(1, m_settings.pouchSize));
    for (size_t i = 0; i < n; ++i) {
        const float j = static_cast<float>(n - i);
        m_icons[i].SetTarget(length * (j - 1.0f) / (0.03f * j * j + p - 1.0f), m_settings.moveTime);
    }
}

void HudPouch::AddBlock(bool quiet, const std::shared_ptr<ViewActor>& block) {
    if (!block) return;
    HudBlockIcon icon;
    icon.block = block;
    Gfx::GfxState state;
    if (auto source = block->GetDrawObj()) state = source->TopState();
    state.alpha = 1.0f;
    // Drawn on its own in screen space, never through the world's batches.
    state.flags = 0;
    state.SetEffectTag(kPouchEffectTag);
    state.SetTechniqueTag(kPouchTechniqueTag);
    icon.objectId = NextUIObjectId();
    if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
        icon.object = screen->CreateUIObject(icon.objectId, Geometry::Vector3(0, 0, 0), Geometry::Vector3(1, 1, 1), state);
    icon.Advance(*this, 0.0f, 0.0f);

    const Geometry::Vector3 e = block->extent;
    const float r = e.Length();
    const float k = std::clamp(r / 1.5f, 0.8f, 1.15f);
    icon.baseScale = r > 0.0f ? e * (k / r) : Geometry::Vector3(1.0f, 1.0f, 1.0f) * (k / std::sqrt(3.0f));
    icon.SetScaleFactor(m_settings.startScale);
    icon.baseOrientation = block->orientation;
    if (icon.object) icon.object->SetOrientation(icon.baseOrientation);
    m_icons.push_back(std::move(icon));
    Layout();

    if (!GlobalGameState::Instance()->IsLowDetail())
        if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance()) {
            const int id = screen->AddParticleEffect(kPickUpSparkle, Geometry::Vector3(0.09f, 0.73f, 0.5f),
                                                     Geometry::Vector3(1.0f, 0.0f, 0.0f), Geometry::Quaternion(), true);
            std::shared_ptr<Gfx::ParticleEffect> effect;
            Gfx::Spatial* store = SceneStore();
            const auto& material = m_icons.back().object ? m_icons.back().object->TopState().material : nullptr;
            if (id >= 0 && store && store->GetParticleMan() && material &&
                store->GetParticleMan()->GetParticleEffect(id, effect) && effect && !effect->systems.empty() &&
                effect->systems[0].system) {
                // The sparkle takes the colour of the block picked up.
                const Geometry::Vector4 c(material->diffuse.x, material->diffuse.y, material->diffuse.z, 1.0f);
                effect->systems[0].system->Data().minColor = c;
                effect->systems[0].system->Data().maxColor = c;
            }
        }
    if (!quiet)
        EventSystem::QueueEvent(new EventTypes::EventCreateEffect("AddBlockToPouch", Geometry::Vector3(0, 0, 0),
                                                                  Geometry::Vector3(0, 1, 0), 0));
}

void HudPouch::RemoveLastBlock() {
    if (m_icons.empty()) return;
    if (Gfx::Spatial* store = SceneStore()) store->DestroyUIObject(m_icons.back().objectId);
}

void HudPouch::ThrowBlock() {
    if (m_icons.empty()) return;
    RemoveLastBlock();
    m_icons.pop_back();
    Layout();
    EventSystem::QueueEvent(new EventTypes::EventCreateEffect("ThrowBlockSelf", Geometry::Vector3(0.09f, 0.73f, 0.5f),
                                                              Geometry::Vector3(1.0f, 0.0f, 0.0f), 1));
}

void HudPouch::Clear() {
    while (!m_icons.empty()) {
        RemoveLastBlock();
        m_icons.pop_back();
    }
}

void HudPouch::Update(float dt) {
    const size_t n = m_icons.size();
    for (size_t k = n; k-- > 0;) {
        HudBlockIcon& icon = m_icons[k];
        icon.angle += dt * (icon.speed == 0.0f ? m_settings.rotationSpeed : m_settings.movingRotationSpeed);
        const float s = std::sin(icon.angle / 2.0f) * 0.5f;
        const Geometry::Quaternion q(std::cos(icon.angle / 2.0f), s, s, s);
        if (icon.object) icon.object->SetOrientation(q * icon.baseOrientation);
        icon.Advance(*this, dt, -static_cast<float>(k) / static_cast<float>(n));
        const float u = PathFraction(icon.distance);
        icon.SetScaleFactor(m_settings.startScale + (m_settings.endScale - m_settings.startScale) * u);
        // Clamped and carried on: a negative alpha of one icon does not
        // freeze the older icons behind it.
        icon.SetAlpha(m_settings.startAlpha + (m_settings.endAlpha - m_settings.startAlpha) * u);
    }
}

}  // namespace GameLogicView
