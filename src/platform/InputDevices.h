// Keyboard and mouse as the game reads them: SDL's events kept as a key
// table in DirectInput numbering (so bindings keep their DIK codes), the
// mouse buttons, and the relative motion and wheel (notches x 120) gathered
// since the last read. Losing the window's focus lets go of everything.
#pragma once

#include <cstdint>

union SDL_Event;
struct SDL_Window;

namespace Platform {

// SDL scancode -> DirectInput key code (1..255); 0 for a key the table does
// not name.
int DikFromScancode(int sdlScancode);
// DirectInput key code -> SDL scancode; 0 (unknown) for a code not in the table.
int ScancodeFromDik(int dik);
// Whether the key code is one the keyboard can report.
inline bool IsKnownDik(int dik) { return dik > 0 && dik < 256 && ScancodeFromDik(dik) != 0; }
// The plain character a key types under the current layout, 0 when none.
uint8_t CharacterOfDik(int dik);

struct KeyboardState {
    uint8_t keys[256] = {};  // 0x80 while the key is down
};

struct MouseState {
    int32_t dx = 0, dy = 0, dz = 0;  // since the previous read; dz in wheel units of 120
    uint8_t buttons[4] = {};         // 0x80 while down: left, right, middle, fourth
};

class InputDevices {
public:
    static InputDevices& Instance();

    // Takes the input events among the window events (keys, buttons, motion,
    // wheel, focus); returns true when the event was one of them.
    bool Feed(const SDL_Event& event);

    // The keys down now.
    void ReadKeyboard(KeyboardState& out) const;
    // The buttons down now and the motion since the previous read (which
    // then starts again from zero).
    void ReadMouse(MouseState& out);

    // Relative mouse mode: the pointer is hidden and held in the window, and
    // motion keeps coming at the screen's edge. False when the video driver
    // cannot hold it (the motion still comes).
    bool SetRelativeMode(bool on);
    bool IsRelativeMode() const { return m_relative; }

    // Everything up, motion zero (focus lost; tests).
    void ReleaseAll();

private:
    InputDevices() = default;
    KeyboardState m_keyboard;
    MouseState m_mouse;
    bool m_relative = false;
};

}  // namespace Platform
