// Matches set up and torn down again and again (played, then the backdrop
// behind the main menu) leave the view's listeners, processes, screens and
// the heap where they were.
#include <malloc.h>

#include "ViewFixture.h"
#include "events/types/FlagEvents.h"

using namespace ViewTest;
using namespace GameLogicView;

namespace {

struct Snapshot {
    size_t listeners;
    size_t screens;
    size_t processes;
    size_t heap;
};

class MatchCycleTest : public ViewFixture {
protected:
    // One played match and one backdrop match, each set up and torn down;
    // ends with the played match running.
    void Cycle() {
        EventSystem::QueueEvent(new EventTypes::EventUpdateGameOver(255, 0));
        ASSERT_TRUE(Until([&] { return view->IsMenuMode() && view->GetScreens().size() == 2; }, 40));
        StartFromMainMenu();
        ASSERT_TRUE(Until([&] { return view->IsGameRunning() && HumanGameView::GetLocalActor() >= 0; }, 40));
    }
    Snapshot Take() const {
        return {EventSystem::EventManager::Instance().ListenerCount(), view->GetScreens().size(),
                view->GetProcessManager().Count(), mallinfo2().uordblks};
    }
};

}  // namespace

TEST_F(MatchCycleTest, FiftySetUpsAndTearDownsStayFlat) {
    StartPlayedMatch();
    for (int i = 0; i < 3; ++i) Cycle();  // warm-up: caches and pools reach their size
    const Snapshot first = Take();
    const size_t actors = view->GetActorsReported();
    ASSERT_GT(actors, 50u);
    for (int i = 0; i < 50; ++i) {
        Cycle();
        if (HasFatalFailure()) return;
        const Snapshot now = Take();
        ASSERT_EQ(now.listeners, first.listeners) << "cycle " << i;
        ASSERT_EQ(now.screens, first.screens) << "cycle " << i;
        ASSERT_EQ(now.processes, first.processes) << "cycle " << i;
        ASSERT_EQ(view->GetMatchListenerCount(), 9u);
        ASSERT_EQ(view->GetActorsReported(), actors) << "cycle " << i;
    }
    const Snapshot last = Take();
    EXPECT_LT(last.heap, first.heap + 2 * 1024 * 1024) << first.heap << " -> " << last.heap;
}
