// The player's view as the shell runs it until the full human view draws the
// game: the stand-in view, plus the graphics engine brought up on the window
// with the player's display settings and one cleared frame per render.
#pragma once

#include "gameviews/HumanGameView.h"

class MainWindow;

namespace App {

class AppFrameView : public GameLogicView::HumanGameView {
public:
    // Creates and initialises the graphics engine; when the device cannot
    // draw, reports it and posts a failure quit.
    explicit AppFrameView(MainWindow& window);
    ~AppFrameView() override;
    void OnRender(int ms) override;

    bool IsDeviceReady() const { return m_ready; }

private:
    bool m_ready = false;
};

}  // namespace App
