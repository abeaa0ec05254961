// Keyboard and mouse turned into events once per frame: each binding of
// Config/Input.ini (an action name on a key or a mouse button) raises its
// press, hold and release; then the movement direction of the four
// direction actions, the mouse motion and the character of the first key down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/InputDevices.h"
#include "processes/Process.h"

namespace Utility {
class IniFile;
}

namespace Input {

enum class KeyState : int { Pressed = 0, Held = 1, Released = 2, Idle = 3 };

class Input;

struct KeyBinding {
    enum Device : int { kKeyboard = 0, kMouse = 1 };

    std::string action;
    int device = kKeyboard;
    int code = 0;  // keyboard: DirectInput key code; mouse: button 0..3
    KeyState state = KeyState::Idle;

    // One step of the four-state machine from the binding's key or button.
    void Update(const Input& input);
    bool IsPressed() const { return state == KeyState::Pressed; }
    bool IsHeld() const { return state == KeyState::Held; }
    bool IsReleased() const { return state == KeyState::Released; }
};

// The bindings of an INI text: keyboard lines first, then the mouse's, each
// in file order; a line whose code no device reports is left out with a
// warning naming the file and the line.
std::vector<KeyBinding> ParseBindings(const Utility::IniFile& file, const std::string& fileName);

class Input : public ProcessSystem::IProcess {
public:
    static constexpr const char* kBindingsFile = "Config/Input.ini";

    Input();
    ~Input() override;

    // Loads the bindings and holds the mouse for looking; 0 on success.
    int Init();
    void OnUpdate(int ms) override;
    // (Re)reads the bindings file; every binding starts Idle. A code the
    // devices cannot report is refused with the file's line named. Returns
    // the number of bindings.
    size_t LoadBindings(const std::string& fileName = kBindingsFile);

    // Relative mouse mode on (looking) or off (a free pointer, on suspend).
    void AcquireMouse();
    void ReleaseMouse();
    bool IsMouseAcquired() const { return m_mouseAcquired; }

    // The lowest key code down, -1 when none.
    int GetFirstKeyDown() const;
    bool IsKeyDown(int dik) const { return dik >= 0 && dik < 256 && (m_keys.keys[dik] & 0x80) != 0; }
    bool IsButtonDown(int button) const {
        return button >= 0 && button < 4 && (m_mouse.buttons[button] & 0x80) != 0;
    }
    const std::vector<KeyBinding>& GetBindings() const { return m_bindings; }

private:
    Platform::KeyboardState m_keys;
    Platform::MouseState m_mouse;
    bool m_mouseAcquired = false;
    std::vector<KeyBinding> m_bindings;
    std::string m_fileName = kBindingsFile;
};

}  // namespace Input
