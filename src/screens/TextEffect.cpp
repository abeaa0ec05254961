#include "screens/TextEffect.h"

#include "screens/TextObj.h"

namespace GameLogicView {

namespace {

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

}  // namespace

AlphaTextEffect::AlphaTextEffect(TextObj* target, const AlphaTextEffectProps& p)
    : ITextEffect(p.duration, target), m_start(target->GetAlphaMultiplier()), m_end(p.alpha) {}

void AlphaTextEffect::OnUpdate(int ms) {
    Advance(ms);
    m_target->SetAlphaMultiplier(Lerp(m_start, m_end, GetProgress()));
}

RotateTextEffect::RotateTextEffect(TextObj* target, const RotateTextEffectProps& p)
    : ITextEffect(p.duration, target), m_start(target->GetRotation()), m_end(p.rotation) {}

void RotateTextEffect::OnUpdate(int ms) {
    Advance(ms);
    m_target->SetRotation(Lerp(m_start, m_end, GetProgress()));
}

MoveTextEffect::MoveTextEffect(TextObj* target, const MoveTextEffectProps& p)
    : ITextEffect(p.duration, target),
      m_startX(target->GetOffset().x),
      m_startY(target->GetOffset().y),
      m_endX(p.x),
      m_endY(p.y) {}

void MoveTextEffect::OnUpdate(int ms) {
    Advance(ms);
    const float t = GetProgress();
    Geometry::Vector2 v(Lerp(m_startX, m_endX, t), Lerp(m_startY, m_endY, t));
    // An axis marked to be kept follows whatever else moves it meanwhile.
    if (m_endX == MoveTextEffectProps::kKeep)
        v.x = m_target->GetOffset().x;
    else if (m_endY == MoveTextEffectProps::kKeep)
        v.y = m_target->GetOffset().y;
    m_target->SetOffset(v);
}

ScaleTextEffect::ScaleTextEffect(TextObj* target, const ScaleTextEffectProps& p)
    : ITextEffect(p.duration, target),
      m_startX(target->GetScale().x),
      m_startY(target->GetScale().y),
      m_endX(p.x),
      m_endY(p.y) {}

void ScaleTextEffect::OnUpdate(int ms) {
    Advance(ms);
    const float t = GetProgress();
    m_target->SetScale(Lerp(m_startX, m_endX, t), Lerp(m_startY, m_endY, t));
}

ColorTextEffect::ColorTextEffect(TextObj* target, const ColorTextEffectProps& p)
    : ITextEffect(p.duration, target),
      m_start{target->GetColor().r, target->GetColor().g, target->GetColor().b},
      m_end{p.r, p.g, p.b} {}

void ColorTextEffect::OnUpdate(int ms) {
    Advance(ms);
    const float t = GetProgress();
    Gfx::Color4 c = m_target->GetColor();  // alpha untouched
    c.r = Lerp(m_start[0], m_end[0], t);
    c.g = Lerp(m_start[1], m_end[1], t);
    c.b = Lerp(m_start[2], m_end[2], t);
    m_target->SetColor(c);
}

std::shared_ptr<ProcessSystem::IProcess> CreateTextEffect(TextObj* text, const ITextEffectProps& p) {
    if (!text) return nullptr;
    switch (p.type) {
    case ITextEffectProps::kWait:
        return std::make_shared<ProcessSystem::WaitProcess>(p.duration);
    case ITextEffectProps::kAlpha:
        if (auto* a = dynamic_cast<const AlphaTextEffectProps*>(&p)) return std::make_shared<AlphaTextEffect>(text, *a);
        break;
    case ITextEffectProps::kRotate:
        if (auto* r = dynamic_cast<const RotateTextEffectProps*>(&p))
            return std::make_shared<RotateTextEffect>(text, *r);
        break;
    case ITextEffectProps::kMove:
        if (auto* m = dynamic_cast<const MoveTextEffectProps*>(&p)) return std::make_shared<MoveTextEffect>(text, *m);
        break;
    case ITextEffectProps::kScale:
        if (auto* s = dynamic_cast<const ScaleTextEffectProps*>(&p)) return std::make_shared<ScaleTextEffect>(text, *s);
        break;
    case ITextEffectProps::kColor:
        if (auto* c = dynamic_cast<const ColorTextEffectProps*>(&p)) return std::make_shared<ColorTextEffect>(text, *c);
        break;
    default:
        break;
    }
    return nullptr;
}

}  // namespace GameLogicView
