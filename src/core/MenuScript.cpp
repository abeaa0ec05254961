#include "core/MenuScript.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "core/GameRunner.h"
#include "events/EventManager.h"
#include "events/types/CommandEvents.h"
#include "events/types/InputEvents.h"
#include "gamelogic/GlobalGameState.h"
#include "gameviews/HudPouch.h"
#include "gameviews/HudScreen.h"
#include "gameviews/HumanGameView.h"
#include "gameviews/ViewActor.h"
#include "gameviews/ViewPlayer.h"
#include "platform/Messages.h"
#include "screens/Button.h"
#include "screens/MenuScreens.h"
#include "screens/MouseCursor.h"

namespace App {

namespace {

// Frames left to the menus after a click, so that the screen it asks for is
// on top before the next step looks for its button.
constexpr int kSettleFrames = 5;
// The look-round of the pick-up step: mouse counts a frame, and frames.
constexpr int kPickUpTurn = 12;
constexpr int kPickUpFrames = 60;

std::shared_ptr<GameLogicView::Button> FindOnTop(GameLogicView::HumanGameView& view, const std::string& name) {
    const auto& screens = view.GetScreens();
    if (screens.empty()) return nullptr;
    auto* menu = dynamic_cast<GameLogicView::MenuScreen*>(screens.back().get());
    if (!menu) return nullptr;
    const size_t slash = name.find('/');
    if (slash == std::string::npos) return menu->GetButtons().FindButton(name);
    auto group = menu->GetButtons().FindGroup(name.substr(0, slash));
    if (!group) return nullptr;
    const std::string arrow = name.substr(slash + 1);
    return arrow == "ArrowLeft" ? group->arrowLeft : arrow == "ArrowRight" ? group->arrowRight : nullptr;
}

template <class... A>
void Report(const char* format, A... a) {
    std::fprintf(stderr, format, a...);
    std::fflush(stderr);
}

}  // namespace

MenuScript::MenuScript(const std::string& script) {
    std::stringstream in(script);
    std::string step;
    while (std::getline(in, step, ','))
        if (!step.empty()) m_steps.push_back(step);
}

std::unique_ptr<MenuScript> MenuScript::FromEnvironment() {
    const char* v = std::getenv("MIRAV_MENU_SCRIPT");
    if (!v || !*v) return nullptr;
    return std::make_unique<MenuScript>(v);
}

void MenuScript::Step(GameRunner& runner, int ms) {
    if (Done()) return;
    auto* view = dynamic_cast<GameLogicView::HumanGameView*>(runner.GetHumanView().get());
    if (!view) return;
    const std::string& step = m_steps[m_next];

    if (step == "quit") {
        Report("%s", "mirav: script: quit\n");
        Platform::PostQuit(0);
        ++m_next;
        return;
    }
    if (step == "pickup") {
        // What a player looking round with the pick-up key held asks for, a
        // frame at a time for a second of frames, so that a run can show
        // blocks taken into the pouch (and what the HUD does about it).
        if (!view->IsGameRunning()) return;
        EventSystem::QueueEvent(new Input::EventMouseMove(kPickUpTurn, 0, 0));
        EventSystem::QueueEvent(new EventTypes::EventCommandPickUpBlock(view->GetLocalActor()));
        if (++m_phase < kPickUpFrames) return;
        GameLogicView::HudScreen* hud = view->GetHud();
        Report("mirav: script: pick-up asked for actor %d, pouch %zu\n", static_cast<int>(view->GetLocalActor()),
               hud ? hud->Pouch().Icons().size() : size_t{0});
        m_phase = 0;
        ++m_next;
        return;
    }
    if (step.compare(0, 5, "play=") == 0) {
        const long long wanted = std::atoll(step.c_str() + 5);
        if (!view->IsGameRunning()) {
            if (m_played > 0) {
                Report("mirav: script: the match ended after %lld ms\n", m_played);
                m_played = 0;
                m_machines = -1;
                ++m_next;
            }
            return;
        }
        const GameLogicView::GlobalGameState* state = GameLogicView::GlobalGameState::Instance();
        if (m_played == 0) Report("mirav: script: playing, local actor %d\n", static_cast<int>(view->GetLocalActor()));
        // Machines joining and leaving a hosted game show in its count.
        const int machines = state->GetFlag(GameLogicView::GlobalGameState::kMachines);
        if (machines != m_machines) {
            Report("mirav: script: machines %d after %lld ms\n", machines, m_played);
            m_machines = machines;
        }
        m_played += ms;
        if (m_played < wanted) return;
        std::string players;
        if (auto* pm = view->GetPlayerMan())
            for (const auto& p : pm->Players()) players += (players.empty() ? "" : ";") + std::to_string(p.first);
        Report("mirav: script: played %lld ms on level %d: %zu actors, players %s, local actor %d, team %d, "
                     "machines %d\n",
                     m_played, state->GetFlag(GameLogicView::GlobalGameState::kLevel),
                     view->GetActorMan() ? view->GetActorMan()->Count() : 0, players.c_str(),
                     static_cast<int>(view->GetLocalActor()), state->GetFlag(GameLogicView::GlobalGameState::kTeam),
                     state->GetFlag(GameLogicView::GlobalGameState::kMachines));
        m_played = 0;
        m_machines = -1;
        ++m_next;
        return;
    }

    // A click, over a few frames: the cursor goes onto the button, the
    // button goes down, then up; then the menus are given time to answer.
    GameLogicView::MouseCursor* cursor = GameLogicView::GetMouseCursor();
    switch (m_phase) {
    case 0: {
        auto button = FindOnTop(*view, step);
        if (!button || !cursor || button->IsStatic() || button->GetState() == 0) return;
        cursor->SetPosition(button->GetX(), button->GetY());
        m_phase = 1;
        return;
    }
    case 1:
        Platform::PostLeftButton(true);
        m_phase = 2;
        return;
    case 2:
        Platform::PostLeftButton(false);
        Report("mirav: script: clicked %s\n", step.c_str());
        m_phase = 3;
        return;
    default:
        if (++m_phase < 3 + kSettleFrames) return;
        m_phase = 0;
        ++m_next;
        return;
    }
}

}  // namespace App
