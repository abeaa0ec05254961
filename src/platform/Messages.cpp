#include "platform/Messages.h"

#include <SDL.h>

#include "platform/InputDevices.h"

namespace Platform {

namespace {

// Our messages travel as one registered SDL user event type, the kind in
// user.code and the message's own code in user.data1.
Uint32 OwnEventType() {
    static Uint32 type = SDL_RegisterEvents(1);
    return type;
}

}  // namespace

bool PostMessage(MessageKind kind, int code) {
    const Uint32 type = OwnEventType();
    if (type == static_cast<Uint32>(-1)) return false;
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.user.code = static_cast<Sint32>(kind);
    e.user.data1 = reinterpret_cast<void*>(static_cast<intptr_t>(code));
    return SDL_PushEvent(&e) == 1;
}

bool PostLeftButton(bool down) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    return SDL_PushEvent(&e) == 1;
}

bool SdlMessageSource::Take(Message& out) {
    SDL_Event e;
    if (SDL_PollEvent(&e) == 0) return false;
    out = Message{};
    // Keys, buttons, motion and focus also go to the input devices, read by
    // the game once per frame.
    InputDevices::Instance().Feed(e);
    if (e.type == OwnEventType()) {
        out.kind = static_cast<MessageKind>(e.user.code);
        out.code = static_cast<int>(reinterpret_cast<intptr_t>(e.user.data1));
        return true;
    }
    switch (e.type) {
    case SDL_QUIT:  // last window closed, or SIGINT / SIGTERM
        out.kind = MessageKind::Close;
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.kind = MessageKind::Close; break;
        case SDL_WINDOWEVENT_ENTER:
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED: out.kind = MessageKind::SetCursor; break;
        default: break;
        }
        break;
    default: break;
    }
    return true;
}

bool ListMessageSource::Take(Message& out) {
    if (m_queue.empty()) return false;
    out = m_queue.front();
    m_queue.pop_front();
    return true;
}

}  // namespace Platform
