#include "gfx/TextMan.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "utility/Diagnostics.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

namespace {

// Live text managers in the order made; the last is the one in use. Never
// destroyed: text objects held by other singletons ask it during exit.
std::vector<TextMan*>& Live() {
    static auto* live = new std::vector<TextMan*>;
    return *live;
}

}  // namespace

uint32_t PackColor(const Color4& c) {
    auto byte = [](float f) -> uint32_t {
        if (!(f > 0.0f)) return 0;  // also NaN
        if (f >= 1.0f) return 255;
        return static_cast<uint32_t>(f * 255.0f);
    };
    return (byte(c.a) << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

// ---- TextEntry ----

void TextEntry::SetPosition(float x, float y) {
    position = Geometry::Vector2(x, y);
    transformDirty = true;
}

void TextEntry::SetScale(float x, float y) {
    scale = Geometry::Vector2(x, y);
    transformDirty = true;
}

void TextEntry::SetRotation(float radians) {
    rotation = radians;
    transformDirty = true;
}

void TextEntry::SetSize(float width, float height) {
    size = Geometry::Vector2(width, height);
    format |= DT_VCENTER | DT_WORDBREAK;
    fixedSize = true;
    layoutDirty = true;
}

void TextEntry::Reset() {
    layoutDirty = true;
    transformDirty = true;
    fixedSize = false;
    scale = Geometry::Vector2(1.0f, 1.0f);
    rotation = 0.0f;
}

void TextEntry::Layout(Sprite* sprite, int width, int height) {
    if (fixedSize) {
        const int halfW = static_cast<int>(static_cast<float>(width) * size.x) / 2;
        const int halfH = static_cast<int>(static_cast<float>(height) * size.y) / 2;
        rect = Rect{-halfW, -halfH, halfW, halfH};
        return;
    }
    rect = Rect{};
    if (font) font->DrawText(sprite, text, -1, &rect, format | DT_CALCRECT, 0);
    // Starts at the position horizontally, centred on it vertically.
    const int half = rect.bottom / 2;
    rect.top -= half;
    rect.bottom -= half;
}

void TextEntry::Transform(int width, int height) {
    const float c = std::cos(rotation), s = std::sin(rotation);
    transform.a = c * scale.x;
    transform.b = s * scale.y;
    transform.c = -s * scale.x;
    transform.d = c * scale.y;
    transform.tx = position.x * static_cast<float>(width);
    transform.ty = position.y * static_cast<float>(height);
    transformDirty = false;
}

void TextEntry::Draw(Sprite* sprite, int width, int height) {
    if (colour.a == 0.0f) return;
    // An entry made with a font id that did not exist has nothing to draw with.
    if (!font) return;
    if (layoutDirty) {
        Layout(sprite, width, height);
        layoutDirty = false;
    }
    Transform(width, height);
    if (!sprite) return;
    sprite->SetTransform(transform);
    font->DrawText(sprite, text, -1, &rect, format, PackColor(colour));
}

// ---- TextMan ----

TextMan::TextMan(D3D9Core* core) : m_core(core) {
    static unsigned serials = 0;
    m_serial = ++serials;
    Live().push_back(this);
    if (m_core) m_core->AddDeviceListener(this);
    Initialize();
}

TextMan::~TextMan() {
    if (m_core) m_core->RemoveDeviceListener(this);
    auto& live = Live();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    m_groups.clear();
    m_fonts.clear();
    m_sprite.reset();
}

TextMan* TextMan::Current() { return Live().empty() ? nullptr : Live().back(); }

TextMan* TextMan::Find(unsigned serial) {
    for (TextMan* t : Live())
        if (t->m_serial == serial) return t;
    return nullptr;
}

void TextMan::Initialize() {
    m_sprite = Sprite::Create(0);
    if (!m_sprite) GfxLog.Log(HtmlLogger::LOG_WARNING, "TextMan::Initialize: Sprite could not be created??");
}

void TextMan::LoadFont(int id, const std::string& filePath, const std::string& face, int size, int style) {
    std::string why;
    std::shared_ptr<Font> font = Font::Create(id, filePath, face, size, style, &why);
    if (!font) {
        // Without its font a text shows nothing at all: say so where it is seen.
        GfxLog.Log(HtmlLogger::LOG_WARNING, "TextMan::LoadFont: %s", why.c_str());
        Utility::ReportWarning("font " + std::to_string(id) + ": " + why);
    }
    m_fonts[id] = font;
    GfxLog.Log(HtmlLogger::LOG_INFO, "TextMan::LoadFont: Font %i loaded", id);
}

bool TextMan::RequestFont(int id, std::shared_ptr<Font>& out) const {
    auto it = m_fonts.find(id);
    if (it == m_fonts.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "TextMan::RequestFont: Font with id %i cannot be found", id);
        return false;
    }
    out = it->second;
    return true;
}

int TextMan::CreateTextGroup() {
    const int id = ++m_groupCounter;
    TextGroup& g = m_groups[id];
    g.entries.clear();
    g.visible = true;
    return id;
}

bool TextMan::RemoveTextGroup(int id) {
    auto it = m_groups.find(id);
    if (it == m_groups.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "TextMan::RemoveTextGroup: Could not find group with id: %i", id);
        return false;
    }
    m_groups.erase(it);
    return true;
}

int TextMan::CreateText(int fontId, const std::string& text, const Geometry::Vector2& position,
                        const Color4& colour, unsigned format, int groupId) {
    TextEntry e;
    RequestFont(fontId, e.font);
    e.text = text;
    e.position = position;
    e.colour = colour;
    e.format = format;
    return AddText(groupId, e);
}

void TextMan::CreateShadowedText(int fontId, const std::string& text, const Geometry::Vector2& position,
                                 const Color4& colour, int groupId, const Geometry::Vector2& offset,
                                 const Color4& shadowColour) {
    CreateText(fontId, text, position + offset, shadowColour, DT_NOCLIP | DT_VCENTER, groupId);
    CreateText(fontId, text, position, colour, DT_NOCLIP | DT_VCENTER, groupId);
}

int TextMan::AddText(int groupId, const TextEntry& entry) {
    const int id = ++m_textCounter;
    // A group that comes into being here is not drawn until made visible;
    // except the one-frame group 0, which is always drawn.
    auto [it, made] = m_groups.try_emplace(groupId);
    if (made && groupId == 0) it->second.visible = true;
    it->second.entries[id] = entry;
    return id;
}

bool TextMan::GetText(int groupId, int textId, TextEntry*& out) {
    auto g = m_groups.find(groupId);
    if (g == m_groups.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "TextMan::GetText: Group with id %i does not exit", groupId);
        return false;
    }
    auto e = g->second.entries.find(textId);
    if (e == g->second.entries.end()) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "TextMan::GetText: Text with id %i does not exit in group %i", textId,
                   groupId);
        return false;
    }
    out = &e->second;
    return true;
}

bool TextMan::IsGroupVisible(int id) const {
    auto it = m_groups.find(id);
    return it != m_groups.end() && it->second.visible;
}

size_t TextMan::GroupSize(int id) const {
    auto it = m_groups.find(id);
    return it == m_groups.end() ? 0 : it->second.entries.size();
}

void TextMan::Render() {
    if (m_groups.empty()) return;
    const int w = m_core ? m_core->GetPresentParams().backBufferWidth : 0;
    const int h = m_core ? m_core->GetPresentParams().backBufferHeight : 0;
    Sprite* sprite = (m_sprite && m_core && !m_core->IsDeviceLost() && w > 0 && h > 0) ? m_sprite.get() : nullptr;
    if (sprite) {
        sprite->Begin(Sprite::kAlphaBlend | Sprite::kSortTexture, w, h);
        for (auto& [gid, group] : m_groups) {
            if (!group.visible) continue;
            for (auto& [tid, entry] : group.entries) entry.Draw(sprite, w, h);
        }
        sprite->End();
    }
    // Texts of group 0 last one frame.
    TextGroup fresh;
    fresh.visible = true;
    m_groups[0] = std::move(fresh);
}

void TextMan::OnLostDevice() {
    if (m_sprite) m_sprite->OnLostDevice();
    for (auto& [id, font] : m_fonts)
        if (font) font->OnLostDevice();
}

void TextMan::OnResetDevice() {
    if (m_sprite) m_sprite->OnResetDevice();
    for (auto& [id, font] : m_fonts)
        if (font) font->OnResetDevice();
}

}  // namespace Gfx
