// The player's view as the shell runs it until the full human view draws the
// game: the stand-in view, plus a cleared window presented every frame.
#pragma once

#include "gameviews/HumanGameView.h"

class MainWindow;

namespace App {

class AppFrameView : public GameLogicView::HumanGameView {
public:
    explicit AppFrameView(MainWindow& window) : m_window(window) {}
    void OnRender(int ms) override;

private:
    MainWindow& m_window;
};

}  // namespace App
