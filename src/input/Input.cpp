#include "input/Input.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "events/EventManager.h"
#include "events/types/InputEvents.h"
#include "ini/IniFile.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"

namespace Input {

namespace {

// The value's leading decimal integer: an optional sign and the digits after
// it; text that does not start with a number reads as 0. ok is false when
// there was no number at all.
long LeadingInteger(const std::string& text, bool* ok) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const long v = std::strtol(begin, &end, 10);
    *ok = end != begin;
    return *ok ? v : 0;
}

}  // namespace

void KeyBinding::Update(const Input& input) {
    bool down = false;
    if (device == kKeyboard)
        down = input.IsKeyDown(code);
    else if (device == kMouse)
        down = input.IsButtonDown(code);
    else
        return;
    switch (state) {
    case KeyState::Pressed:
    case KeyState::Held: state = down ? KeyState::Held : KeyState::Released; break;
    case KeyState::Released:
    case KeyState::Idle: state = down ? KeyState::Pressed : KeyState::Idle; break;
    }
}

Input::Input() : IProcess(0) {
    Utility::Console::RegisterCommand(
        "reloadinput", [this](const std::istringstream&) { LoadBindings(m_fileName); }, this);
}

Input::~Input() {
    Utility::Console::Unregister(this);
    if (m_mouseAcquired) Platform::InputDevices::Instance().SetRelativeMode(false);
}

int Input::Init() {
    AcquireMouse();
    LoadBindings(m_fileName);
    m_keys = Platform::KeyboardState{};
    m_mouse = Platform::MouseState{};
    return 0;
}

std::vector<KeyBinding> ParseBindings(const Utility::IniFile& file, const std::string& fileName) {
    std::vector<KeyBinding> keyboardBindings, mouseBindings;
    const auto& lines = file.GetLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        const Utility::IniFile::Line& line = lines[i];
        if (line.kind != Utility::IniFile::Line::Kind::KeyValue || line.key.empty()) continue;
        const bool keyboard = line.section == "DEV_KBD";
        if (!keyboard && line.section != "DEV_MOUSE") continue;
        bool ok = false;
        const long code = LeadingInteger(line.value, &ok);
        const std::string where = fileName + " line " + std::to_string(i + 1) + " (" + line.key + "): ";
        if (keyboard && (code < 1 || code > 255 || !Platform::IsKnownDik(static_cast<int>(code)))) {
            Utility::ReportWarning(where + "\"" + line.value + "\" is no key code the keyboard has; the line is ignored");
            continue;
        }
        if (!keyboard && (code < 0 || code > 3 || !ok)) {
            Utility::ReportWarning(where + "\"" + line.value + "\" is no mouse button (0..3); the line is ignored");
            continue;
        }
        KeyBinding b;
        b.action = line.key;
        b.device = keyboard ? KeyBinding::kKeyboard : KeyBinding::kMouse;
        b.code = static_cast<int>(code);
        (keyboard ? keyboardBindings : mouseBindings).push_back(b);
    }
    keyboardBindings.insert(keyboardBindings.end(), mouseBindings.begin(), mouseBindings.end());
    return keyboardBindings;
}

size_t Input::LoadBindings(const std::string& fileName) {
    m_fileName = fileName;
    m_bindings.clear();
    const Utility::IniFile file(fileName);
    if (!file.IsLoaded()) {
        Utility::ReportWarning(fileName + ": cannot be read; no keys or buttons are bound");
        return 0;
    }
    m_bindings = ParseBindings(file, fileName);
    return m_bindings.size();
}

void Input::AcquireMouse() {
    // A driver that cannot hold the pointer (offscreen, some remote
    // desktops) still reports motion: counted as held, as a device taken by
    // another foreground program was.
    Platform::InputDevices::Instance().SetRelativeMode(true);
    m_mouseAcquired = true;
}

void Input::ReleaseMouse() {
    Platform::InputDevices::Instance().SetRelativeMode(false);
    m_mouseAcquired = false;
}

int Input::GetFirstKeyDown() const {
    for (int k = 0; k < 256; ++k)
        if (m_keys.keys[k] & 0x80) return k;
    return -1;
}

void Input::OnUpdate(int) {
    Platform::InputDevices& devices = Platform::InputDevices::Instance();
    devices.ReadKeyboard(m_keys);
    devices.ReadMouse(m_mouse);

    Geometry::Vector3 direction(0.0f, 0.0f, 0.0f);
    for (KeyBinding& b : m_bindings) {
        b.Update(*this);
        switch (b.state) {
        case KeyState::Pressed: EventSystem::QueueEvent(new EventIsPressed(b.action)); break;
        case KeyState::Held:
            if (b.action == "UP")
                direction.z += 1.0f;
            else if (b.action == "BACK")
                direction.z -= 1.0f;
            else if (b.action == "LEFT")
                direction.x += 1.0f;
            else if (b.action == "RIGHT")
                direction.x -= 1.0f;
            EventSystem::QueueEvent(new EventIsHeld(b.action));
            break;
        case KeyState::Released: EventSystem::QueueEvent(new EventIsReleased(b.action)); break;
        case KeyState::Idle: break;
        }
    }
    const float len2 = direction.x * direction.x + direction.y * direction.y + direction.z * direction.z;
    if (len2 > 0.0f) {
        const float inv = 1.0f / std::sqrt(len2);
        direction = Geometry::Vector3(direction.x * inv, direction.y * inv, direction.z * inv);
    }
    EventSystem::QueueEvent(new EventMoveDir(direction.x, direction.y, direction.z));
    EventSystem::QueueEvent(new EventMouseMove(m_mouse.dx, m_mouse.dy, m_mouse.dz));

    const int k = GetFirstKeyDown();
    if (k < 0) return;
    EventSystem::QueueEvent(new EventAsciiKey(Platform::CharacterOfDik(k)));
}

}  // namespace Input
