// The local player's view. Until the human view is built this is the part the
// game runner needs: it asks the logic to start the menu backdrop (or a game)
// and is updated and rendered each frame.
#pragma once

#include "gamelogic/GameView.h"

namespace GameLogicView {

class HumanGameView : public IGameView {
public:
    HumanGameView();
    void OnAttach() override {}
    void OnUpdate(int) override { ++m_updates; }
    void OnRender(int) override { ++m_renders; }

    int GetUpdateCount() const { return m_updates; }
    int GetRenderCount() const { return m_renders; }

private:
    int m_updates = 0;
    int m_renders = 0;
};

}  // namespace GameLogicView
