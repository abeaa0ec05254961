// The buttons of a menu file: textured screen quads with optional captions,
// spin groups that cycle through options with two arrows, and the set of
// them one screen owns (hover tracking, clicks, drags written back).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace EventSystem {
class IEvent;
}
namespace Utility {
class IniFile;
}

namespace GameLogicView {

class TextObj;
class ButtonGroup;

// The next id of a screen-space quad; shared by buttons, backgrounds and the cursor.
int NextUIObjectId();

class Button {
public:
    Button(const std::string& name, const std::string& file, const Utility::IniFile& ini, bool persist, int depth,
           ButtonGroup* owner);
    ~Button();
    Button(const Button&) = delete;
    Button& operator=(const Button&) = delete;

    // Drags (when allowed) or runs the hover test at the cursor.
    bool Update();
    bool UpdateHover(float cx, float cy);
    void OnClick();

    void SetImage(int image, int over = -1);
    void SetCaption(const std::string& text);
    void SetTextObj(const std::shared_ptr<TextObj>& text);
    void CreateText(bool update);
    void PlayTextEffect(bool update);
    void ShowText();
    void HideText();
    void SetAlpha(float alpha);
    void SetVisible(bool visible) { SetAlpha(visible ? 1.0f : 0.0f); }
    // The alpha last given to SetAlpha (1 at construction).
    float GetAlpha() const { return m_alpha; }
    void SetPosition(float x, float y);
    void SetZ(float z);
    void SetSize(float width, float height);
    void SetAction(const std::string& action) { m_action = action; }
    void SetHovered(bool hovered) { m_hovered = hovered; }
    // A static button shows its up picture and neither lights up nor clicks;
    // its action stays for when it is made clickable again.
    void SetStatic(bool isStatic);

    int GetId() const { return m_id; }
    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    float GetZ() const { return m_z; }
    float GetExtX() const { return m_extX; }
    float GetExtY() const { return m_extY; }
    const std::string& GetName() const { return m_name; }
    const std::string& GetAction() const { return m_action; }
    const std::string& GetCaption() const { return m_caption; }
    int GetState() const { return m_state; }
    int GetUp() const { return m_up; }
    int GetOver() const { return m_over; }
    int GetCurrent() const { return m_current; }
    bool IsHovered() const { return m_hovered; }
    bool IsDragging() const { return m_dragging; }
    void SetDragging(bool d) { m_dragging = d; }
    bool IsStatic() const { return m_isStatic; }
    bool IsShown() const { return m_shown; }
    ButtonGroup* GetOwner() const { return m_owner; }
    const std::shared_ptr<TextObj>& GetText() const { return m_text; }

private:
    void MoveQuad();
    void ShowTexture(int tag);

    int m_id;
    float m_x = 0, m_y = 0, m_z = 0;
    float m_homeX = 0, m_homeY = 0, m_homeZ = 0;
    float m_extX = 0, m_extY = 0;
    std::string m_name;
    std::string m_file;
    int m_state = 0;
    int m_up = -1, m_over = -1, m_current = -1;
    std::string m_action;
    bool m_hovered = false;
    bool m_dragging = false;
    int m_depth = 0;
    bool m_isStatic = false;
    bool m_persist = false;
    bool m_shown = true;
    float m_alpha = 1.0f;
    ButtonGroup* m_owner = nullptr;
    std::string m_caption;
    uint16_t m_font = 0;
    bool m_hasText = false;
    float m_colour[4] = {0.345f, 0.624f, 0.796f, 1.0f};
    std::shared_ptr<TextObj> m_text;
};

class ButtonGroup {
public:
    struct Option {
        std::string action;
        std::string caption;
        int image = 0;
    };

    ButtonGroup(const std::string& groupFile, int depth);
    virtual ~ButtonGroup() = default;

    void OnClick(Button& button);
    void Refresh();
    const Option& GetSelectedOption() const { return m_options.at(m_selected); }
    void LoadOption(const Utility::IniFile& ini, const std::string& section, const std::string& presetAction);

    // The caption of the option button: the name screens find the group by.
    std::string GetName() const;
    std::vector<Option>& Options() { return m_options; }
    unsigned GetSelected() const { return m_selected; }
    void SetSelected(unsigned index) { m_selected = index; }

    std::shared_ptr<Button> text, optionButton, arrowLeft, arrowRight;

private:
    std::vector<Option> m_options;
    unsigned m_selected = 0;
};

class ButtonMan {
public:
    ButtonMan() = default;
    virtual ~ButtonMan();
    ButtonMan(const ButtonMan&) = delete;
    ButtonMan& operator=(const ButtonMan&) = delete;

    void Load(const std::string& file);
    void Update();
    // Always true: a screen of buttons takes every input event.
    bool OnInput(const EventSystem::IEvent& event);
    void ApplyGroupSelections();
    std::shared_ptr<Button> FindButton(const std::string& name) const;
    std::shared_ptr<ButtonGroup> FindGroup(const std::string& name) const;
    std::string GetGroupSelection(const std::string& name) const;
    void SelectGroupOption(const std::string& name, const std::string& action);
    void ShowTexts();
    void HideTexts();
    void AddButton(const std::shared_ptr<Button>& button) { m_buttons.push_back(button); }

    const std::vector<std::shared_ptr<Button>>& GetButtons() const { return m_buttons; }
    const std::vector<std::shared_ptr<ButtonGroup>>& GetGroups() const { return m_groups; }
    const std::shared_ptr<Button>& GetHovered() const { return m_hovered; }
    int GetDepth() const { return m_depth; }

private:
    std::vector<std::shared_ptr<Button>> m_buttons;
    std::vector<std::shared_ptr<ButtonGroup>> m_groups;
    std::shared_ptr<Button> m_hovered;
    int m_depth = 0;
};

// The caption colour of a palette index.
void CaptionColour(unsigned index, float out[4]);
// The options of the level list: one per "level<n>" section, in file order.
std::vector<std::string> LevelActions(const std::string& levelsFile = "Levels/levels.ini");

}  // namespace GameLogicView
