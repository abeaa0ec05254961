// One piece of on-screen text as the game view sees it: a string in a font
// at a screen position, with colour, fade, optional drop shadow, scale,
// rotation and an optional word-wrapped box. It keeps its own copy of every
// attribute and mirrors it into one or two entries of the graphics text
// manager; text effects animate it.
#pragma once

#include <memory>
#include <string>

#include "gfx/TextMan.h"
#include "utility/Geometry.h"

namespace GameLogicView {

class TextEffectSystemRunner;

class TextObj {
public:
    TextObj() = default;
    ~TextObj();
    TextObj(const TextObj&) = delete;
    TextObj& operator=(const TextObj&) = delete;

    // Rebuilds the entries from the attributes: a new group in the graphics
    // text manager with the shadow entry (when the shadow offset is not 0)
    // and the main entry. Nothing is built without a font or a manager.
    void BuildText();
    void UpdateColor();
    void UpdatePosition();
    void UpdateScale();
    void ApplyTextBox();

    void SetAlpha(float alpha);
    void SetAlphaMultiplier(float multiplier);
    void SetColor(const Gfx::Color4& colour);
    void SetShadowColor(const Gfx::Color4& colour);
    void SetPosition(const Geometry::Vector2& position);
    void SetOffset(const Geometry::Vector2& offset);
    // The shadow entry itself comes or goes at the next BuildText.
    void SetShadowOffset(const Geometry::Vector2& offset);
    void SetScale(float x, float y);
    void SetRotation(float radians);
    void SetTextBox(float width, float height);

    // Text, font and format take effect at the next BuildText.
    void SetText(const std::string& text) { m_text = text; }
    void AppendText(const std::string& text) { m_text += text; }
    void SetFontId(int id) { m_fontId = id; }
    void SetFormat(unsigned format) { m_format = format; }
    void AddFormat(unsigned flags) { m_format |= flags; }

    float GetAlpha() const { return m_colour.a; }
    float GetAlphaMultiplier() const { return m_alphaMultiplier; }
    float GetRotation() const { return m_rotation; }
    const Gfx::Color4& GetColor() const { return m_colour; }
    const Gfx::Color4& GetShadowColor() const { return m_shadowColour; }
    const Geometry::Vector2& GetOffset() const { return m_offset; }
    const Geometry::Vector2& GetPosition() const { return m_position; }
    const Geometry::Vector2& GetShadowOffset() const { return m_shadowOffset; }
    const Geometry::Vector2& GetScale() const { return m_scale; }
    const std::string& GetText() const { return m_text; }
    int GetFontId() const { return m_fontId; }
    unsigned GetFormat() const { return m_format; }
    int GetTextGroupId() const { return m_groupId; }
    // The entries in the graphics text manager (null when not built).
    Gfx::TextEntry* GetTextEntry();
    Gfx::TextEntry* GetShadowEntry();

    void SetRunner(const std::shared_ptr<TextEffectSystemRunner>& runner) { m_runner = runner; }
    const std::shared_ptr<TextEffectSystemRunner>& GetRunner() const { return m_runner; }
    // Ends the running effect where it is and lets go of it.
    void StopEffects();

private:
    // The manager the entries live in, or null (then the entries are forgotten).
    Gfx::TextMan* Manager();
    void ReleaseTextGroup();

    std::string m_text;
    int m_fontId = -1;
    Gfx::TextEntry* m_entry = nullptr;
    int m_groupId = 0;
    unsigned m_format = Gfx::DT_NOCLIP;
    Gfx::TextEntry* m_shadow = nullptr;
    Geometry::Vector2 m_position;
    Geometry::Vector2 m_shadowOffset;
    Geometry::Vector2 m_offset;
    Gfx::Color4 m_colour{0.0f, 0.0f, 0.0f, 1.0f};
    Gfx::Color4 m_shadowColour{0.0f, 0.0f, 0.0f, 1.0f};
    float m_alphaMultiplier = 1.0f;
    Geometry::Vector2 m_scale{1.0f, 1.0f};
    Geometry::Vector2 m_boxSize;
    bool m_boxSet = false;
    float m_rotation = 0.0f;
    std::shared_ptr<TextEffectSystemRunner> m_runner;
    unsigned m_managerSerial = 0;  // which graphics text manager holds the group
};

}  // namespace GameLogicView
