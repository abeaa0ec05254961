// All screen text: the fonts by id, and text entries in numbered groups that
// a screen or a text object creates and drops together. Once a frame the
// render queue calls Render, which draws every visible group in one sprite
// batch; positions and sizes are fractions of the back buffer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "gfx/D3D9Core.h"
#include "gfx/Font.h"
#include "utility/Geometry.h"

namespace Gfx {

struct Color4 {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
    constexpr Color4() = default;
    constexpr Color4(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}
    bool operator==(const Color4& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// Each channel times 255, truncated (0.5 gives 127), clamped to 0..255; alpha on top.
uint32_t PackColor(const Color4& c);

class TextEntry {
public:
    unsigned format = 0;
    Color4 colour{0.0f, 0.0f, 0.0f, 1.0f};
    std::shared_ptr<Font> font;
    bool layoutDirty = true;
    bool fixedSize = false;
    Geometry::Vector2 size;  // fractions of the back buffer (fixedSize only)
    Rect rect;               // relative to the entry's position, in pixels
    bool transformDirty = true;
    SpriteTransform transform;
    std::string text;
    Geometry::Vector2 position;  // fractions of the back buffer, y down
    float rotation = 0.0f;
    Geometry::Vector2 scale{1.0f, 1.0f};

    void SetPosition(float x, float y);
    void SetScale(float x, float y);
    void SetRotation(float radians);
    // A fixed box centred on the position: the text wraps and centres vertically in it.
    void SetSize(float width, float height);
    void Reset();

    // Measures when the layout is dirty, recomputes the transform, queues the text.
    void Draw(Sprite* sprite, int width, int height);
    void Layout(Sprite* sprite, int width, int height);
    void Transform(int width, int height);
};

class TextMan : public IDeviceListener {
public:
    // core gives the back-buffer size and tells of device loss; it may be
    // null (no drawing: the groups and entries still work).
    explicit TextMan(D3D9Core* core);
    ~TextMan() override;
    TextMan(const TextMan&) = delete;
    TextMan& operator=(const TextMan&) = delete;

    // The text manager in use (the last one made that still exists), or
    // null; text objects reach it through here, so they outlive it safely.
    static TextMan* Current();
    // Each manager has a number of its own (never 0, never reused); Find
    // gives the live manager of that number or null, so holders of groups
    // can tell whether their manager still exists.
    unsigned Serial() const { return m_serial; }
    static TextMan* Find(unsigned serial);

    void Initialize();
    // Replaces a font of the same id; an empty one when the file cannot be read.
    void LoadFont(int id, const std::string& filePath, const std::string& face, int size, int style);
    bool RequestFont(int id, std::shared_ptr<Font>& out) const;

    int CreateTextGroup();
    bool RemoveTextGroup(int id);
    int CreateText(int fontId, const std::string& text, const Geometry::Vector2& position, const Color4& colour,
                   unsigned format, int groupId);
    // A shadow copy (lower id, drawn first) at position + offset, then the text.
    void CreateShadowedText(int fontId, const std::string& text, const Geometry::Vector2& position,
                            const Color4& colour, int groupId,
                            const Geometry::Vector2& offset = Geometry::Vector2(0.002f, 0.002f),
                            const Color4& shadowColour = Color4(1.0f, 1.0f, 1.0f, 1.0f));
    int AddText(int groupId, const TextEntry& entry);
    // The pointer stays valid until the entry's group is removed.
    bool GetText(int groupId, int textId, TextEntry*& out);

    void Render();

    void OnLostDevice() override;
    void OnResetDevice() override;

    // Inspection.
    bool HasGroup(int id) const { return m_groups.count(id) != 0; }
    bool IsGroupVisible(int id) const;
    size_t GroupSize(int id) const;
    const std::shared_ptr<Sprite>& GetSprite() const { return m_sprite; }
    int LastTextId() const { return m_textCounter; }

private:
    struct TextGroup {
        std::map<int, TextEntry> entries;
        bool visible = false;
    };

    D3D9Core* m_core;
    unsigned m_serial;
    std::shared_ptr<Sprite> m_sprite;
    std::map<int, std::shared_ptr<Font>> m_fonts;
    std::map<int, TextGroup> m_groups;
    int m_groupCounter = 0;
    int m_textCounter = 0;
};

}  // namespace Gfx
