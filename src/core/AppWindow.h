// The record of the game's one window and its window procedure: window
// close posts a normal quit, the cursor stays hidden, power messages become
// the power events, and another instance's request shows the window.
#pragma once

#include <memory>
#include <string>

#include "platform/PowerMonitor.h"

namespace Platform {
class Window;
class SingleInstance;
struct Message;
}  // namespace Platform

class MainWindow {
public:
    // Get-or-create: the one record, created with the class name on the first
    // call; later calls return it and ignore their argument.
    static MainWindow* Create(const std::string& className);
    static MainWindow* Get();
    // Closes the window and frees the record.
    static void Destroy();

    // Starts the video system and opens the window with its GL context; false
    // with the reason when either fails.
    bool Initialize(const char* title, std::string* error);

    // The window procedure. Returns what the message's handler returns (1 for
    // the cursor and power messages, 0 otherwise).
    int WndProc(const Platform::Message& message);

    // Once per pump, before the queue is emptied: answers later instances
    // and watches the power state, adding messages to the queue.
    void PollPlatform();

    // The instance that listens for later ones (owned by the shell).
    void SetSingleInstance(Platform::SingleInstance* instance) { m_instance = instance; }

    Platform::Window& GetWindow() { return *m_window; }
    const std::string& GetClassName() const { return m_className; }
    int RaiseCount() const { return m_raised; }

private:
    explicit MainWindow(std::string className);
    ~MainWindow();

    std::string m_className;
    std::unique_ptr<Platform::Window> m_window;
    Platform::SingleInstance* m_instance = nullptr;
    Platform::PowerMonitor m_power;
    bool m_powerStarted = false;
    int m_raised = 0;
};
