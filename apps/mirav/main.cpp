// Mirav: the game. For now the main loop runs the game runner without a
// window; the application shell replaces this.
#include <cstdlib>
#include <ctime>

#include "core/GameRunner.h"
#include "core/GlobalGameState.h"

int main() {
    GameLogicView::GlobalGameState::Create();
    int quitAfter = -1;
    if (const char* q = std::getenv("MIRAV_QUIT_AFTER_FRAMES")) quitAfter = std::atoi(q);
    {
        GameRunner runner;
        runner.CreateLogicAndView();
        timespec prev{};
        clock_gettime(CLOCK_MONOTONIC, &prev);
        for (int frame = 0; quitAfter < 0 || frame < quitAfter; ++frame) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            double dt = (now.tv_sec - prev.tv_sec) + (now.tv_nsec - prev.tv_nsec) / 1e9;
            prev = now;
            int ms = frame == 0 ? 1 : static_cast<int>(dt * 1000.0);
            if (ms < 1) ms = 1;
            if (ms > 100) ms = 100;
            runner.Update(ms);
        }
    }
    GameLogicView::GlobalGameState::Destroy();
    return 0;
}
