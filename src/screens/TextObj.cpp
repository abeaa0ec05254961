#include "screens/TextObj.h"

#include "screens/TextEffectSystemRunner.h"

namespace GameLogicView {

TextObj::~TextObj() {
    ReleaseTextGroup();
    m_runner.reset();
}

Gfx::TextMan* TextObj::Manager() {
    if (m_groupId == 0) return nullptr;
    Gfx::TextMan* man = Gfx::TextMan::Find(m_managerSerial);
    if (!man) {
        // The manager went first (tear-down): its entries went with it.
        m_groupId = 0;
        m_entry = m_shadow = nullptr;
    }
    return man;
}

Gfx::TextEntry* TextObj::GetTextEntry() { return Manager() ? m_entry : nullptr; }

Gfx::TextEntry* TextObj::GetShadowEntry() { return Manager() ? m_shadow : nullptr; }

void TextObj::ReleaseTextGroup() {
    Gfx::TextMan* man = Manager();
    if (!man) return;
    man->RemoveTextGroup(m_groupId);
    m_groupId = 0;
    m_entry = m_shadow = nullptr;
}

void TextObj::BuildText() {
    ReleaseTextGroup();
    if (m_fontId == -1) return;
    Gfx::TextMan* man = Gfx::TextMan::Current();
    if (!man) return;
    m_managerSerial = man->Serial();
    m_groupId = man->CreateTextGroup();
    const Geometry::Vector2 at = m_position + m_offset;
    if (m_shadowOffset.x * m_shadowOffset.x + m_shadowOffset.y * m_shadowOffset.y != 0.0f) {
        const int id = man->CreateText(m_fontId, m_text, at + m_shadowOffset, m_shadowColour, m_format, m_groupId);
        man->GetText(m_groupId, id, m_shadow);
    }
    const int id = man->CreateText(m_fontId, m_text, at, m_colour, m_format, m_groupId);
    man->GetText(m_groupId, id, m_entry);
    if (m_entry) m_entry->SetRotation(m_rotation);
    if (m_shadow) m_shadow->SetRotation(m_rotation);
    UpdateScale();
    ApplyTextBox();
    UpdateColor();
}

void TextObj::UpdateColor() {
    if (!Manager()) return;
    if (m_entry) {
        m_entry->colour = m_colour;
        m_entry->colour.a = m_colour.a * m_alphaMultiplier;
    }
    if (m_shadow) {
        // The shadow fades with the square of the text's alpha, so it goes first.
        m_shadow->colour = m_shadowColour;
        m_shadow->colour.a = m_shadowColour.a * m_colour.a * m_colour.a * m_alphaMultiplier;
    }
}

void TextObj::UpdatePosition() {
    if (!Manager()) return;
    const Geometry::Vector2 at = m_position + m_offset;
    if (m_entry) m_entry->SetPosition(at.x, at.y);
    if (m_shadow) m_shadow->SetPosition(at.x + m_shadowOffset.x, at.y + m_shadowOffset.y);
}

void TextObj::UpdateScale() {
    if (!Manager()) return;
    if (m_entry) m_entry->SetScale(m_scale.x, m_scale.y);
    if (m_shadow) m_shadow->SetScale(m_scale.x, m_scale.y);
}

void TextObj::ApplyTextBox() {
    if (!m_boxSet || !Manager()) return;
    if (m_entry) m_entry->SetSize(m_boxSize.x, m_boxSize.y);
    if (m_shadow) m_shadow->SetSize(m_boxSize.x, m_boxSize.y);
}

void TextObj::SetAlpha(float alpha) {
    m_colour.a = alpha;
    UpdateColor();
}

void TextObj::SetAlphaMultiplier(float multiplier) {
    m_alphaMultiplier = multiplier;
    UpdateColor();
}

void TextObj::SetColor(const Gfx::Color4& colour) {
    m_colour = colour;
    UpdateColor();
}

void TextObj::SetShadowColor(const Gfx::Color4& colour) {
    m_shadowColour = colour;
    UpdateColor();
}

void TextObj::SetPosition(const Geometry::Vector2& position) {
    m_position = position;
    UpdatePosition();
}

void TextObj::SetOffset(const Geometry::Vector2& offset) {
    m_offset = offset;
    UpdatePosition();
}

void TextObj::SetShadowOffset(const Geometry::Vector2& offset) {
    m_shadowOffset = offset;
    UpdatePosition();
}

void TextObj::SetScale(float x, float y) {
    m_scale = Geometry::Vector2(x, y);
    UpdateScale();
}

void TextObj::SetRotation(float radians) {
    m_rotation = radians;
    if (!Manager()) return;
    if (m_entry) m_entry->SetRotation(radians);
    if (m_shadow) m_shadow->SetRotation(radians);
}

void TextObj::SetTextBox(float width, float height) {
    m_boxSize = Geometry::Vector2(width, height);
    m_boxSet = true;
    ApplyTextBox();
}

void TextObj::StopEffects() {
    if (!m_runner) return;
    // Keep the runner alive while it stops, whoever else lets go of it.
    std::shared_ptr<TextEffectSystemRunner> runner = m_runner;
    runner->Stop();
    m_runner.reset();
}

}  // namespace GameLogicView
