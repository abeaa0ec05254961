// Feeds arbitrary text to the key-binding reader: it must neither crash nor
// hang, and every binding it keeps names a key the keyboard can report or a
// mouse button 0..3, keyboard bindings before mouse bindings.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Quiet.h"
#include "ini/IniFile.h"
#include "input/Input.h"
#include "platform/InputDevices.h"
#include "utility/Diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Quiet();
    Utility::IniFile ini;
    ini.Parse(std::string(reinterpret_cast<const char*>(data), size));
    bool mouseSeen = false;
    for (const Input::KeyBinding& b : Input::ParseBindings(ini, "fuzz.ini")) {
        if (b.action.empty() || b.state != Input::KeyState::Idle) std::abort();
        if (b.device == Input::KeyBinding::kKeyboard) {
            if (mouseSeen || !Platform::IsKnownDik(b.code)) std::abort();
        } else if (b.device == Input::KeyBinding::kMouse) {
            mouseSeen = true;
            if (b.code < 0 || b.code > 3) std::abort();
        } else {
            std::abort();
        }
    }
    return 0;
}
