#include "core/AppWindow.h"

#include <cstdio>
#include <cstdlib>

#include "events/EventManager.h"
#include "events/types/ViewEvents.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/SingleInstance.h"
#include "platform/Window.h"

namespace {
MainWindow* g_window = nullptr;
bool Tracing() { return std::getenv("MIRAV_TRACE") != nullptr; }
}  // namespace

MainWindow::MainWindow(std::string className)
    : m_className(std::move(className)), m_window(std::make_unique<Platform::Window>()) {}

MainWindow::~MainWindow() = default;

MainWindow* MainWindow::Create(const std::string& className) {
    if (!g_window) g_window = new MainWindow(className);
    return g_window;
}

MainWindow* MainWindow::Get() { return g_window; }

void MainWindow::Destroy() {
    delete g_window;
    g_window = nullptr;
}

bool MainWindow::Initialize(const char* title, std::string* error) {
    if (!Platform::InitVideo(error)) return false;
    // At the game's usual back-buffer size: under the offscreen driver the
    // first size stays the size drawn into, so a smaller first window cut
    // every frame down to its lower-left corner.
    if (!m_window->Create(title, 1024, 768, error)) return false;
    if (Tracing()) std::fprintf(stderr, "mirav: window open\n");
    return true;
}

int MainWindow::WndProc(const Platform::Message& message) {
    using Platform::MessageKind;
    switch (message.kind) {
    case MessageKind::Close:
        Platform::PostQuit(0);
        return 0;
    case MessageKind::SetCursor:
        m_window->HideCursor();
        return 1;
    case MessageKind::PowerSuspend: {
        EventTypes::EventPowerSuspend e;
        EventSystem::TriggerEvent(e);
        m_window->HideCursor();
        return 1;
    }
    case MessageKind::PowerResume: {
        EventTypes::EventPowerSuspendResume e(message.code != 0 ? 1 : 0);
        EventSystem::TriggerEvent(e);
        m_window->HideCursor();
        return 1;
    }
    case MessageKind::PowerStatusChange:
        EventSystem::QueueEvent(new EventTypes::EventPowerUpdate());
        m_window->HideCursor();
        return 1;
    case MessageKind::Raise:
        ++m_raised;
        if (Tracing()) std::fprintf(stderr, "mirav: another instance asked for the window\n");
        m_window->Raise();
        return 0;
    case MessageKind::Quit:
    case MessageKind::Other:
        break;
    }
    return 0;
}

void MainWindow::PollPlatform() {
    if (m_instance) {
        for (int n = m_instance->PollRequests(); n > 0; --n) Platform::PostMessage(Platform::MessageKind::Raise);
    }
    const double mono = Platform::MonotonicSeconds();
    const double boot = Platform::BootSeconds();
    if (!m_powerStarted) {
        m_power.Start(mono, boot);
        m_powerStarted = true;
        return;
    }
    const Platform::PowerMonitor::Result r = m_power.Poll(mono, boot);
    // We learn of a sleep only after waking, so the resume stands for both.
    if (r.resumed) Platform::PostMessage(Platform::MessageKind::PowerResume, 0);
    if (r.statusChanged) Platform::PostMessage(Platform::MessageKind::PowerStatusChange);
}
