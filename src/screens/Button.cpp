#include "screens/Button.h"

#include <algorithm>
#include <cstdio>

#include "events/EventManager.h"
#include "events/types/InputEvents.h"
#include "events/types/ViewEvents.h"
#include "gfx/DrawObj.h"
#include "gfx/DrawScreen.h"
#include "gfx/Font.h"
#include "gfx/GfxEngine.h"
#include "gfx/GfxState.h"
#include "gfx/Spatial.h"
#include "gfx/StateMan.h"
#include "gfx/TextMan.h"
#include "ini/IniFile.h"
#include "screens/MenuActions.h"
#include "screens/MouseCursor.h"
#include "screens/TextMan.h"
#include "screens/TextObj.h"

namespace GameLogicView {

namespace {

int g_nextUIObjectId = 0;

bool DragAllowed() {
    static const bool allowed = Utility::ReadIniOrDefault<int>(Utility::Key("AllowButtonDrag"),
                                                                Utility::Section("MISC"), "Config/Config.ini", 0) != 0;
    return allowed;
}

void QueueUIEffect(const char* name) {
    EventSystem::QueueEvent(new EventTypes::EventCreateEffect(name, Geometry::Vector3(0, 0, 0),
                                                              Geometry::Vector3(0, 1, 0), 0));
}

template <typename T>
T Read(const Utility::IniFile& ini, const std::string& section, const char* key, T fallback) {
    return ini.GetValueOr<T>(Utility::Key(key), Utility::Section(section), fallback);
}

std::string ReadTrimmed(const Utility::IniFile& ini, const std::string& section, const char* key) {
    std::string out;
    ini.GetTrimmedString(Utility::Key(key), Utility::Section(section), out);
    return out;
}

Gfx::Spatial* SceneStore() {
    Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance();
    return screen ? screen->GetSpatial() : nullptr;
}

std::shared_ptr<Gfx::IDrawObj> UIQuad(int id) {
    std::shared_ptr<Gfx::IDrawObj> obj;
    if (Gfx::Spatial* s = SceneStore()) s->GetUIObject(id, obj);
    return obj;
}

}  // namespace

int NextUIObjectId() { return g_nextUIObjectId++; }

void CaptionColour(unsigned index, float out[4]) {
    static const float kPalette[5][4] = {{0.51f, 0.85f, 0.42f, 1.0f},
                                         {0.75f, 0.24f, 0.24f, 1.0f},
                                         {0.839f, 0.325f, 0.325f, 1.0f},
                                         {0.345f, 0.624f, 0.796f, 1.0f},
                                         {1.0f, 0.68f, 0.0f, 1.0f}};
    const float* c = index <= 4 ? kPalette[index] : kPalette[3];
    std::copy(c, c + 4, out);
}

std::vector<std::string> LevelActions(const std::string& levelsFile) {
    std::vector<std::string> out;
    Utility::IniFile ini(levelsFile);
    for (const std::string& s : ini.GetSectionNames())
        if (s.compare(0, 5, "level") == 0) out.push_back(s);
    return out;
}

// ---- Button ---------------------------------------------------------------------

Button::Button(const std::string& name, const std::string& file, const Utility::IniFile& ini, bool persist, int depth,
               ButtonGroup* owner)
    : m_id(NextUIObjectId()), m_name(name), m_file(file), m_depth(depth), m_persist(persist), m_owner(owner) {
    m_caption = ini.GetValue(Utility::Key("caption"), Utility::Section(name));
    m_state = Read<int>(ini, name, "state", 0);
    if (m_state == 0) return;

    Gfx::GfxState state;
    if (Gfx::GfxEngine* e = Gfx::GfxEngine::Instance())
        if (e->GetStateMan()) e->GetStateMan()->RequestState(m_state, state);
    m_x = Read<float>(ini, name, "x", 0.5f);
    m_y = Read<float>(ini, name, "y", 0.5f);
    m_z = Read<float>(ini, name, "z", 0.0f);
    m_extX = Read<float>(ini, name, "extX", 0.0f);
    m_extY = Read<float>(ini, name, "extY", 0.0f);

    m_isStatic = Read<bool>(ini, name, "static", false);
    if (m_isStatic) {
        m_action = "none";
        m_up = m_over = m_current = Read<int>(ini, name, "image", -1);
    } else {
        m_action = ReadTrimmed(ini, name, "action");
        m_up = Read<int>(ini, name, "up", -1);
        m_over = Read<int>(ini, name, "over", -1);
        m_current = m_up;
    }
    // The quad starts with the picture it stands for, not the state's own.
    if (m_current >= 0) state.SetTextureTag(m_current);
    if (Gfx::DrawScreen* screen = Gfx::DrawScreen::Instance())
        screen->CreateUIObject(m_id, Geometry::Vector3(m_x, m_y, m_z + static_cast<float>(depth)),
                               Geometry::Vector3(2 * m_extX, 2 * m_extY, 1), state);

    if (name.compare(0, 4, "Text") == 0) {
        CaptionColour(Read<unsigned>(ini, name, "color", 3u), m_colour);
        m_hasText = true;
        m_font = static_cast<uint16_t>(Read<unsigned>(ini, name, "font", 0u));
        CreateText(false);
    }
    m_homeX = m_x;
    m_homeY = m_y;
    m_homeZ = m_z;
    Update();
}

Button::~Button() {
    if ((m_x != m_homeX || m_y != m_homeY) && m_persist && DragAllowed()) {
        Utility::IniFile ini(m_file);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.4f", m_x);
        ini.SetValue(Utility::Key("x"), buf, Utility::Section(m_name));
        std::snprintf(buf, sizeof buf, "%.4f", m_y);
        ini.SetValue(Utility::Key("y"), buf, Utility::Section(m_name));
        std::snprintf(buf, sizeof buf, "%.4f", m_z);
        ini.SetValue(Utility::Key("z"), buf, Utility::Section(m_name));
    }
    if (m_state != 0)
        if (Gfx::Spatial* s = SceneStore()) s->DestroyUIObject(m_id);
    m_text.reset();
}

bool Button::Update() {
    if (m_dragging && DragAllowed()) {
        if (MouseCursor* c = GetMouseCursor()) SetPosition(c->GetX(), c->GetY());
        m_text.reset();
        CreateText(true);
        return true;
    }
    MouseCursor* c = GetMouseCursor();
    // Without a cursor nothing is under it.
    return c ? UpdateHover(c->GetX(), c->GetY()) : UpdateHover(-10.0f, -10.0f);
}

bool Button::UpdateHover(float cx, float cy) {
    const bool inside = m_x - m_extX - 0.001f <= cx && cx <= m_x + m_extX + 0.001f && m_y - m_extY - 0.001f <= cy &&
                        cy <= m_y + m_extY + 0.001f;
    if (inside) {
        if (!m_hovered) {
            m_hovered = true;
            if (!m_isStatic) {
                ShowTexture(m_over);
                QueueUIEffect("UIMouseOver");
            }
        }
        return !m_isStatic;
    }
    if (m_hovered) {
        m_hovered = false;
        if (!m_isStatic) {
            ShowTexture(m_up);
            QueueUIEffect("UIMouseOut");
        }
    }
    return false;
}

void Button::ShowTexture(int tag) {
    if (m_state == 0 || tag < 0) return;
    if (auto q = UIQuad(m_id)) {
        // The picture goes on the base state, under any transparency pushed,
        // so it stays when the button is shown again.
        const bool pushed = !m_shown && q->StateCount() > 1;
        if (pushed) q->PopState();
        q->TopState().SetTextureTag(tag);
        if (pushed) {
            Gfx::GfxState see;
            see.alpha = m_alpha;
            q->PushState(see);
        }
    }
}

void Button::SetStatic(bool isStatic) {
    if (isStatic == m_isStatic) return;
    m_isStatic = isStatic;
    // The next hover test starts afresh, so a cursor already on the button
    // lights it up once it becomes clickable.
    m_hovered = false;
    ShowTexture(m_up);
}

void Button::OnClick() {
    if (m_isStatic) return;
    QueueUIEffect("UIMouseClick");
    DispatchMenuAction(m_action);
}

void Button::SetImage(int image, int over) {
    m_up = image;
    if (image >= 0) ShowTexture(image);
    m_over = over == -1 ? image : over;
    m_current = image;
}

void Button::SetCaption(const std::string& text) {
    const bool had = m_text && !m_caption.empty();
    m_caption = text;
    m_text.reset();
    if (m_hasText) CreateText(had);
}

void Button::SetTextObj(const std::shared_ptr<TextObj>& text) {
    const bool had = m_text && !m_caption.empty();
    m_text = text;
    if (!m_text) return;
    m_caption = m_text->GetText();
    PlayTextEffect(had);
}

void Button::CreateText(bool update) {
    if (!m_hasText) return;
    m_text = GameLogicView::CreateTextObj();
    m_text->SetColor(Gfx::Color4(m_colour[0], m_colour[1], m_colour[2], m_colour[3]));
    m_text->SetPosition(Geometry::Vector2(m_x, m_y));
    m_text->AddFormat(Gfx::DT_CENTER);
    m_text->SetShadowOffset(Geometry::Vector2(0.002f, 0.002f));
    m_text->SetShadowColor(Gfx::Color4(0, 0, 0, 1));
    m_text->SetFontId(m_font);
    m_text->SetText(m_caption);
    m_text->BuildText();
    PlayTextEffect(update);
}

void Button::PlayTextEffect(bool update) {
    if (!m_text || m_name == "TextLoading" || m_name == "TextCountdown") return;
    RunTextEffect(m_text, update ? "MenuEffectUpdate" : "MenuEffectNew");
}

void Button::ShowText() {
    if (!m_text) return;
    if (m_text->GetAlpha() != 1.0f) {
        m_text->SetAlpha(1.0f);
        RunTextEffect(m_text, "MenuEffectNew");
    }
}

void Button::HideText() {
    if (m_text) m_text->SetAlpha(0.0f);
}

void Button::SetAlpha(float alpha) {
    m_alpha = alpha;
    auto q = m_state != 0 ? UIQuad(m_id) : nullptr;
    if (!m_shown && q && q->StateCount() > 1) q->PopState();
    if (alpha >= 1.0f) {
        m_shown = true;
        return;
    }
    if (q) {
        Gfx::GfxState see;
        see.alpha = alpha;
        q->PushState(see);
    }
    m_shown = false;
}

void Button::MoveQuad() {
    if (m_state == 0) return;
    if (Gfx::Spatial* s = SceneStore())
        s->SetUIObjectTransform(m_id, Geometry::Vector3(m_x, m_y, m_z), Geometry::Vector3(2 * m_extX, 2 * m_extY, 1));
}

void Button::SetPosition(float x, float y) {
    m_x = x;
    m_y = y;
    MoveQuad();
}

void Button::SetZ(float z) {
    m_z = z;
    MoveQuad();
}

void Button::SetSize(float width, float height) {
    m_extX = width / 2;
    m_extY = height / 2;
    MoveQuad();
}

// ---- ButtonGroup ----------------------------------------------------------------

ButtonGroup::ButtonGroup(const std::string& groupFile, int depth) {
    Utility::IniFile ini(groupFile);
    text = std::make_shared<Button>("Text", groupFile, ini, true, depth, this);
    arrowLeft = std::make_shared<Button>("ArrowLeft", groupFile, ini, true, depth, this);
    arrowRight = std::make_shared<Button>("ArrowRight", groupFile, ini, true, depth, this);
    optionButton = std::make_shared<Button>("OptionButton", groupFile, ini, true, depth, this);
    for (const std::string& s : ini.GetSectionNames()) {
        if (s == "Text" || s == "ArrowLeft" || s == "ArrowRight" || s == "OptionButton") continue;
        LoadOption(ini, s, "");
        if (m_options.size() == 1 && m_options[0].action == "spin_levels") {
            m_options.clear();
            Utility::IniFile levels("Levels/levels.ini");
            for (const std::string& level : LevelActions()) LoadOption(levels, level, level);
        }
    }
    m_selected = 0;
}

void ButtonGroup::LoadOption(const Utility::IniFile& ini, const std::string& section, const std::string& presetAction) {
    Option o;
    o.action = presetAction.empty() ? ReadTrimmed(ini, section, "action") : presetAction;
    if (o.action.compare(0, 5, "level") == 0) {
        Utility::IniFile levels("Levels/levels.ini");
        const std::string file = ReadTrimmed(levels, o.action, "file");
        o.caption = ReadTrimmed(levels, o.action, "name");
        if (!file.empty()) o.image = Utility::ReadIniOrDefault<int>(Utility::Key("screenshot"), Utility::Section("level"), file, 0);
    } else {
        o.caption = ini.GetValue(Utility::Key("caption"), Utility::Section(section));
        o.image = Read<int>(ini, section, "image", 0);
    }
    m_options.push_back(o);
}

std::string ButtonGroup::GetName() const { return optionButton ? optionButton->GetCaption() : std::string(); }

void ButtonGroup::OnClick(Button& button) {
    if (m_options.empty()) return;
    const unsigned n = static_cast<unsigned>(m_options.size());
    if (button.GetName() == "ArrowLeft") {
        QueueUIEffect("UIMouseClick");
        m_selected = m_selected == 0 ? n - 1 : m_selected - 1;
    } else if (button.GetName() == "ArrowRight") {
        QueueUIEffect("UIMouseClick");
        m_selected = m_selected + 1 >= n ? 0 : m_selected + 1;
    }
    Refresh();
}

void ButtonGroup::Refresh() {
    if (m_options.empty()) return;
    if (m_selected >= m_options.size()) m_selected = 0;
    const Option& o = m_options[m_selected];
    optionButton->SetImage(o.image);
    text->SetCaption(o.caption);
}

// ---- ButtonMan ------------------------------------------------------------------

void ButtonMan::Load(const std::string& file) {
    Utility::IniFile ini(file);
    m_depth = Read<int>(ini, "CONFIG", "depth", 0);
    for (const std::string& s : ini.GetSectionNames()) {
        if (s == "CONFIG") continue;
        if (s.compare(0, 5, "GROUP") == 0) {
            auto g = std::make_shared<ButtonGroup>("Config/menus/" + ReadTrimmed(ini, s, "groupfile"), m_depth);
            m_groups.push_back(g);
            m_buttons.push_back(g->arrowLeft);
            m_buttons.push_back(g->arrowRight);
            m_buttons.push_back(g->optionButton);
            m_buttons.push_back(g->text);
            if (!g->Options().empty()) g->Refresh();
        } else {
            m_buttons.push_back(std::make_shared<Button>(s, file, ini, true, m_depth, nullptr));
        }
    }
}

void ButtonMan::Update() {
    if (m_hovered && !m_hovered->Update()) m_hovered.reset();
    if (!m_hovered) {
        for (const auto& b : m_buttons)
            if (b->Update()) {
                m_hovered = b;
                break;
            }
        if (!m_hovered) return;
    }
    MouseCursor* c = GetMouseCursor();
    const float cx = c ? c->GetX() : -10.0f, cy = c ? c->GetY() : -10.0f;
    for (const auto& b : m_buttons)
        if (b->UpdateHover(cx, cy) && b != m_hovered && b->GetZ() >= m_hovered->GetZ())
            m_hovered->SetZ(b->GetZ() + 0.001f);
}

bool ButtonMan::OnInput(const EventSystem::IEvent& event) {
    if (const auto* p = dynamic_cast<const Input::EventIsPressed*>(&event)) {
        if (p->GetPayload()->command == "RIGHTCLICK")
            for (const auto& b : m_buttons)
                if (b->IsHovered()) {
                    b->SetDragging(true);
                    break;
                }
    } else if (const auto* r = dynamic_cast<const Input::EventIsReleased*>(&event)) {
        const std::string& c = r->GetPayload()->command;
        if (c == "LEFTCLICK") {
            for (const auto& b : m_buttons) {
                if (!b->IsHovered() || b->IsStatic()) continue;
                // Keep the button alive through its action (an action may
                // end up destroying this screen later, never during the call).
                std::shared_ptr<Button> hold = b;
                if (hold->GetOwner()) {
                    hold->GetOwner()->OnClick(*hold);
                } else {
                    const std::string& a = hold->GetAction();
                    if (a == "StartGame" || a == "StartGameEndGameScreen" || a == "JoinGame") ApplyGroupSelections();
                    hold->OnClick();
                }
                break;
            }
        } else if (c == "RIGHTCLICK") {
            for (const auto& b : m_buttons)
                if (b->IsDragging()) {
                    b->SetDragging(false);
                    break;
                }
        }
    }
    return true;
}

void ButtonMan::ApplyGroupSelections() {
    for (const auto& g : m_groups)
        if (!g->Options().empty()) DispatchMenuAction(g->GetSelectedOption().action);
}

std::shared_ptr<Button> ButtonMan::FindButton(const std::string& name) const {
    for (const auto& b : m_buttons)
        if (b->GetName() == name) return b;
    return nullptr;
}

std::shared_ptr<ButtonGroup> ButtonMan::FindGroup(const std::string& name) const {
    for (const auto& g : m_groups)
        if (g->GetName() == name) return g;
    return nullptr;
}

std::string ButtonMan::GetGroupSelection(const std::string& name) const {
    auto g = FindGroup(name);
    if (!g || g->Options().empty()) return std::string();
    return g->GetSelectedOption().action;
}

void ButtonMan::SelectGroupOption(const std::string& name, const std::string& action) {
    auto g = FindGroup(name);
    if (!g) return;
    auto& opts = g->Options();
    for (size_t i = 0; i < opts.size(); ++i)
        if (opts[i].action == action) {
            g->SetSelected(static_cast<unsigned>(i));
            if (g->text) g->text->HideText();
            g->Refresh();
            return;
        }
}

void ButtonMan::ShowTexts() {
    for (const auto& b : m_buttons) b->ShowText();
}

void ButtonMan::HideTexts() {
    for (const auto& b : m_buttons) b->HideText();
}

ButtonMan::~ButtonMan() {
    std::vector<std::shared_ptr<Button>> sorted = m_buttons;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const std::shared_ptr<Button>& a, const std::shared_ptr<Button>& b) { return a->GetZ() < b->GetZ(); });
    for (size_t k = 0; k < sorted.size(); ++k) sorted[k]->SetZ(0.001f * static_cast<float>(k + 1));
    m_hovered.reset();
    m_groups.clear();
    m_buttons.clear();
}

}  // namespace GameLogicView
