// The real human view on a real logic and the shipped data, in an offscreen
// window, driven by SDL events pushed into the real queue and stepped the
// way the game runner steps them.
#pragma once

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "gamelogic/GlobalGameState.h"
#include "gamelogic/MiravGameLogic.h"
#include "gameviews/HumanGameView.h"
#include "platform/InputDevices.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "screens/Button.h"
#include "screens/MenuScreens.h"
#include "screens/MouseCursor.h"
#include "support/Harness.h"

namespace ViewTest {

inline void PushKey(bool down, SDL_Scancode key) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = key;
    SDL_PushEvent(&e);
}

inline void PushButton(bool down, Uint8 button) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    SDL_PushEvent(&e);
}

inline void PushMotion(int dx, int dy) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    SDL_PushEvent(&e);
}

inline void PushFocusLost() {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
}

class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        // OpenAL Soft's null back end, whatever the environment says: no
        // sound card is needed, and the music still plays.
        setenv("ALSOFT_DRIVERS", "null", 1);
        TestSupport::ResetSingletons();
        std::string error;
        ASSERT_TRUE(Platform::InitVideo(&error)) << error;
        ASSERT_TRUE(window.Create("view test", 1024, 768, &error)) << error;
        Pump();
        Platform::InputDevices::Instance().ReleaseAll();
        GameLogicView::GlobalGameState::Create();
        logic = std::make_shared<GameLogicView::MiravGameLogic>(nullptr);
        view = std::make_shared<GameLogicView::HumanGameView>(&window);
        logic->AddGameView(view);
    }
    void TearDown() override {
        logic.reset();
        view.reset();
        Pump();
        Platform::InputDevices::Instance().ReleaseAll();
        window.Destroy();
        TestSupport::ResetSingletons();
    }
    // The main loop's pump: window messages taken (a quit is remembered).
    void Pump() {
        Platform::SdlMessageSource source;
        Platform::Message m;
        while (source.Take(m))
            if (m.kind == Platform::MessageKind::Quit) quitCode = m.code;
    }
    // One frame as the game runner makes it.
    void Frame() {
        Pump();
        EventSystem::ProcessEventQueue();
        logic->OnUpdate(16);
        view->OnRender(16);
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    template <class F>
    bool Until(F done, int maxFrames) {
        for (int i = 0; i < maxFrames; ++i) {
            if (done()) return true;
            Frame();
        }
        return done();
    }
    void Tap(SDL_Scancode key) {
        PushKey(true, key);
        Frame();
        PushKey(false, key);
        Frame();
    }
    // The top screen's button of that name, empty when the top is no menu.
    std::shared_ptr<GameLogicView::Button> FindTopButton(const std::string& name) const {
        const auto& screens = view->GetScreens();
        if (screens.empty()) return nullptr;
        auto* menu = dynamic_cast<GameLogicView::MenuScreen*>(screens.back().get());
        return menu ? menu->GetButtons().FindButton(name) : nullptr;
    }
    // Puts the cursor on the top menu's button and clicks the left button.
    void ClickButton(const std::string& name) {
        Frame();  // a screen asked for by the last click comes now
        auto b = FindTopButton(name);
        ASSERT_TRUE(b) << name;
        ASSERT_TRUE(GameLogicView::GetMouseCursor());
        GameLogicView::GetMouseCursor()->SetPosition(b->GetX(), b->GetY());
        Frame();
        PushButton(true, SDL_BUTTON_LEFT);
        Frame();
        PushButton(false, SDL_BUTTON_LEFT);
        Frame();
    }
    // Main menu: Play, then the level choice's Start.
    void StartFromMainMenu() {
        ClickButton("TextStart");
        ClickButton("TextStart");
    }
    // From the menu backdrop into a played match with the local player known.
    void StartPlayedMatch() {
        ASSERT_TRUE(Until([&] { return view->IsInitialised() && view->IsMenuMode(); }, 20));
        Frames(3);
        StartFromMainMenu();
        ASSERT_TRUE(Until([&] { return view->IsGameRunning() && LocalActor() != nullptr; }, 40));
        Frames(2);
    }
    GameLogicView::ActorPtr LocalActor() const {
        const int16_t id = GameLogicView::HumanGameView::GetLocalActor();
        return id < 0 ? nullptr : logic->GetActor(static_cast<uint16_t>(id));
    }
    Geometry::Vector3 LocalPosition() const {
        auto a = LocalActor();
        return a && a->body ? a->body->GetPosition() : Geometry::Vector3();
    }

    Platform::Window window;
    std::shared_ptr<GameLogicView::MiravGameLogic> logic;
    std::shared_ptr<GameLogicView::HumanGameView> view;
    int quitCode = -1;
};

}  // namespace ViewTest
