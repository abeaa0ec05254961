#include "gameviews/HumanGameView.h"

#include "events/EventManager.h"
#include "events/types/CommandEvents.h"

namespace GameLogicView {

HumanGameView::HumanGameView() {
    // The menu backdrop match starts behind the main menu.
    EventSystem::QueueEvent(new EventTypes::EventUpdateInitializeGameLogic(1));
}

}  // namespace GameLogicView
