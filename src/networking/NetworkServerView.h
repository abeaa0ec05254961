// The host's network view. Until the networking is built this carries only
// what the game runner drives: attachment, the per-frame update and the
// ignore-next-join-confirmation flag.
#pragma once

#include "gamelogic/GameView.h"

namespace GameLogicView {

class BaseGameLogic;

class NetworkServerView : public IGameView {
public:
    explicit NetworkServerView(BaseGameLogic* logic) : m_logic(logic) {}
    void OnAttach() override {}
    void OnUpdate(int) override { ++m_updates; }
    void OnRender(int) override {}

    void SetIgnoreNextJoinConfirmation(bool ignore) { m_ignoreNextJoinConfirmation = ignore; }
    bool GetIgnoreNextJoinConfirmation() const { return m_ignoreNextJoinConfirmation; }
    int GetUpdateCount() const { return m_updates; }
    BaseGameLogic* GetLogic() const { return m_logic; }

private:
    BaseGameLogic* m_logic;
    bool m_ignoreNextJoinConfirmation = true;
    int m_updates = 0;
};

}  // namespace GameLogicView
