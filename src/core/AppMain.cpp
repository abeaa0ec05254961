#include "core/AppMain.h"

#include <cstdio>
#include <sstream>
#include <string>

#include "core/AppMainLoop.h"
#include "core/AppWindow.h"
#include "gamelogic/GlobalGameState.h"
#include "platform/Messages.h"
#include "platform/SingleInstance.h"
#include "platform/Window.h"
#include "ini/ConsoleSettings.h"
#include "utility/Console.h"

namespace App {

namespace {

// Held for the whole run: the lock and the socket later instances ask.
Platform::SingleInstance* g_instance = nullptr;

bool CheckSingleInstance() {
    if (!g_instance) g_instance = new Platform::SingleInstance("mirav");
    // The first instance answers from its frame loop, which starts once its
    // view has loaded the graphics, the sounds and the first level: a second
    // or more on a slow or busy machine.
    switch (g_instance->Acquire(5000)) {
    case Platform::SingleInstance::Outcome::OtherRaised:
        return false;
    case Platform::SingleInstance::Outcome::First:
    case Platform::SingleInstance::Outcome::OtherSilent:
        break;
    }
    return true;
}

void SendToWindow(Platform::MessageKind kind, int code) {
    if (MainWindow* w = MainWindow::Get()) w->WndProc(Platform::Message{kind, code});
}

}  // namespace

void RegisterPowerCommands() {
    Utility::Console::RegisterCommand("power_suspend", [](const std::istringstream&) {
        SendToWindow(Platform::MessageKind::PowerSuspend, 0);
    });
    Utility::Console::RegisterCommand("power_resume", [](const std::istringstream& args) {
        std::istringstream in(args.str());
        int critical = 0;
        in >> critical;
        SendToWindow(Platform::MessageKind::PowerResume, critical == 1 ? 1 : 0);
    });
    Utility::Console::RegisterCommand("power_update", [](const std::istringstream&) {
        SendToWindow(Platform::MessageKind::PowerStatusChange, 0);
    });
}

int Run() {
    if (!CheckSingleInstance()) {
        std::fprintf(stderr, "mirav: already running; its window was brought to the front\n");
        delete g_instance;
        g_instance = nullptr;
        return kExitAlreadyRunning;
    }
    Utility::CreateConsoleFromSettings();
    RegisterPowerCommands();
    GameLogicView::GlobalGameState::Create();

    int exitCode = kExitFatal;
    MainWindow* window = MainWindow::Create("mirav");
    window->SetSingleInstance(g_instance);
    std::string error;
    if (window->Initialize("Mirav", &error)) {
        exitCode = MainLoop(*window);
    } else {
        Platform::ShowFatalError("Mirav", error);
    }

    MainWindow::Destroy();
    Platform::ShutdownVideo();
    Utility::Console::Destroy();
    GameLogicView::GlobalGameState::Destroy();
    delete g_instance;
    g_instance = nullptr;
    return exitCode;
}

}  // namespace App
