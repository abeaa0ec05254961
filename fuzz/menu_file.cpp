// Feeds arbitrary text to the menu file reader, as a menu file, as the group
// files it names and as the level list: no crash, no hang, and every group
// stays within its options after arrow clicks.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "events/EventManager.h"
#include "events/types/InputEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "screens/Button.h"
#include "screens/MouseCursor.h"
#include "utility/Diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Utility::SetProblemSink([](Utility::Severity, const std::string&) {});
        char tmpl[] = "/tmp/mirav-fuzz-menu-XXXXXX";
        if (!mkdtemp(tmpl) || chdir(tmpl) != 0) std::abort();
        if (system("mkdir -p Config/menus Levels") != 0) std::abort();
        setenv("XDG_CONFIG_HOME", tmpl, 1);
        GameLogicView::GlobalGameState::Create();
        GameLogicView::CreateMouseCursor();
        return true;
    }();
    (void)ready;

    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* path : {"Config/menus/m.ini", "Config/menus/g.ini", "Levels/levels.ini"}) std::ofstream(path) << text;
    {
        GameLogicView::ButtonMan menu;
        menu.Load("Config/menus/m.ini");
        for (const auto& g : menu.GetGroups()) {
            g->OnClick(*g->arrowLeft);
            g->OnClick(*g->arrowRight);
            if (!g->Options().empty() && g->GetSelected() >= g->Options().size()) std::abort();
        }
        for (const auto& b : menu.GetButtons()) {
            GameLogicView::GetMouseCursor()->SetPosition(b->GetX(), b->GetY());
            menu.Update();
        }
        Input::EventIsReleased click("LEFTCLICK");
        menu.OnInput(click);
        menu.ApplyGroupSelections();
    }
    EventSystem::EventManager::Instance().Reset();
    return 0;
}
