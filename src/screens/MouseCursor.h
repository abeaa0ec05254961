// The cursor the game draws itself (the system's stays hidden): its place in
// window fractions, which buttons and lists read, and whether it shows.
#pragma once

#include <memory>
#include <string>

namespace Gfx {
class IDrawObj;
}

namespace GameLogicView {

class MouseCursor {
public:
    // Reads "mouseDepth" of section "MISC" of the file; visible at (0.5, 0.5).
    explicit MouseCursor(const std::string& configFile);

    // Clamps x and y into 0..0.99 and places the quad by them.
    void UpdatePosition();
    void Show();
    void Hide();
    void SetVisible(bool visible) { visible ? Show() : Hide(); }
    void MoveX(float dx) {
        m_x += dx;
        UpdatePosition();
    }
    void MoveY(float dy) {
        m_y += dy;
        UpdatePosition();
    }
    // A direct write: no clamp, the quad stays until the next UpdatePosition.
    void SetPosition(float x, float y) {
        m_x = x;
        m_y = y;
    }
    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    bool IsVisible() const { return m_visible; }
    int GetDepth() const { return m_depth; }
    // Where the quad's centre was last placed (0.02 right of and below the
    // hot spot, at the cursor's depth).
    float GetQuadX() const { return m_quadX; }
    float GetQuadY() const { return m_quadY; }
    // How many transparent states a drawing of the quad has on top (0 shown,
    // 1 hidden): shows and hides stay paired.
    int GetHiddenStates() const { return m_hiddenStates; }
    // Makes the scene's cursor quad (state 17) once the scene and the
    // game's states exist; the constructor tries it too.
    void CreateQuad();
    // The scene's cursor quad; empty without a scene.
    const std::shared_ptr<Gfx::IDrawObj>& GetQuad() const { return m_quad; }

private:
    float m_x = 0.5f, m_y = 0.5f;
    bool m_visible = true;
    int m_depth = 0;
    float m_quadX = 0.5f, m_quadY = 0.5f;
    int m_hiddenStates = 0;
    std::shared_ptr<Gfx::IDrawObj> m_quad;
};

// The one cursor: created by the human view when none exists, removed with it.
void SetMouseCursorConfigFile(const std::string& file);
MouseCursor* CreateMouseCursor();
MouseCursor* GetMouseCursor();
void DestroyMouseCursor();

}  // namespace GameLogicView
