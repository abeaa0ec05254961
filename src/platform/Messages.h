// The window messages the shell handles, taken from SDL's event queue: our
// own quit message carrying an exit code, window close, cursor refresh, the
// power messages and a request from another instance to show the window.
#pragma once

#include <cstddef>
#include <deque>

namespace Platform {

enum class MessageKind {
    Quit,               // code: the exit code; ends the main loop
    Close,              // the window was closed (or the process asked to end)
    SetCursor,          // the pointer entered the window or focus came back
    PowerSuspend,       // the machine is going to sleep
    PowerResume,        // code: 1 after a critical suspend, 0 after a normal one
    PowerStatusChange,  // the power source or the charge changed
    Raise,              // another instance asked for the window
    Other,              // anything else; nothing to do
};

struct Message {
    MessageKind kind = MessageKind::Other;
    int code = 0;
};

class IMessageSource {
public:
    virtual ~IMessageSource() = default;
    // Takes the next message off the queue; false when the queue is empty.
    virtual bool Take(Message& out) = 0;
};

// SDL's event queue, each event turned into one message.
class SdlMessageSource : public IMessageSource {
public:
    bool Take(Message& out) override;
};

// A queue filled by hand (tests, console commands).
class ListMessageSource : public IMessageSource {
public:
    void Push(Message m) { m_queue.push_back(m); }
    bool Take(Message& out) override;
    size_t Size() const { return m_queue.size(); }

private:
    std::deque<Message> m_queue;
};

// Adds a message of ours to SDL's queue; safe from any thread. The video
// (or events) subsystem must be running.
bool PostMessage(MessageKind kind, int code = 0);
// Posts the quit message: 0 for a normal end, non-zero after a failure.
inline bool PostQuit(int exitCode) { return PostMessage(MessageKind::Quit, exitCode); }
// Puts a press or release of the left mouse button on SDL's queue, as the
// mouse would (scripted runs of the game).
bool PostLeftButton(bool down);

}  // namespace Platform
