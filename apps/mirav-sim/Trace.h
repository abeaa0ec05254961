// Looking into a match: snapshots of every bot and flag, and a log of the
// reports that tell how a match goes (pick-ups, throws, deaths, flags).
#pragma once

#include <memory>

namespace GameLogicView {
class MiravGameLogic;
}

namespace Sim {

// One line per bot (role, behaviour, top machine, place, walk, target) and
// per flag, at game time frame * frameMs.
void PrintSnapshot(long long frame, int frameMs, GameLogicView::MiravGameLogic& logic);

// Prints the reports as they are delivered while it lives; the time is read
// from the frame counter given.
class EventLog {
public:
    EventLog(const long long& frame, int frameMs);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

private:
    struct Listeners;
    std::unique_ptr<Listeners> m_listeners;
};

}  // namespace Sim
