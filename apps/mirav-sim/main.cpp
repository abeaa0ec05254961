// mirav-sim: whole matches without a window. Bots play both teams (the local
// player is handed to a bot at the start, so a victory ends the match as in a
// played one); frames are fixed 16 ms steps, and the same seed and settings
// give the same result. Prints one line per match and a summary:
//   match <i>: winner=<0|1|none> captures=<a>-<b> fallen=<n> game_ms=<n> wall_ms=<n> frames=<n>
//   summary: matches=<X> decided=<Y> fallen=<n> speed=<game_ms/wall_ms>x peak_rss_kb=<n>
// Run from data/ or with --data DIR; options in Options.h.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "Match.h"
#include "NetMatch.h"
#include "Options.h"
#include "ai/AIBotDirector.h"
#include "gamelogic/GlobalGameState.h"
#include "utility/Random.h"

int main(int argc, char** argv) {
    AI::InstallBotDirector();
    Sim::Options o;
    if (!Sim::ParseArgs(argc, argv, o)) {
        Sim::PrintUsage();
        return 2;
    }
    if (o.help) {
        Sim::PrintHelp();
        return 0;
    }
    if (!o.dataDir.empty() && chdir(o.dataDir.c_str()) != 0) {
        std::fprintf(stderr, "mirav-sim: cannot enter %s\n", o.dataDir.c_str());
        return 2;
    }
    if (access("Levels/levels.ini", R_OK) != 0) {
        std::fprintf(stderr, "mirav-sim: no Levels/levels.ini here; run from data/ or pass --data DIR\n");
        return 2;
    }
    Utility::SetRunSeed(o.seed);
    GameLogicView::GlobalGameState::Create();
    if (o.host || o.join) {
        const int code = o.host ? Sim::RunHost(o) : Sim::RunJoin(o);
        GameLogicView::GlobalGameState::Destroy();
        return code;
    }

    long long gameMs = 0, wallMs = 0;
    int decided = 0;
    int fallen = 0;
    for (int i = 1; i <= o.matches; ++i) {
        const Sim::MatchResult r = Sim::RunMatch(o);
        if (r.unplayable) {
            // An empty match would look like a result; the loader said why.
            std::fprintf(stderr, "mirav-sim: level %d cannot be played (%s); no match is run\n", o.level,
                         r.unplayable);
            GameLogicView::GlobalGameState::Destroy();
            return 3;
        }
        gameMs += r.gameMs;
        wallMs += r.wallMs;
        if (r.winner >= 0) ++decided;
        const std::string winner = r.winner >= 0 ? std::to_string(r.winner) : "none";
        std::printf("match %d: winner=%s captures=%d-%d fallen=%d stuck=%d game_ms=%lld wall_ms=%lld frames=%lld\n", i,
                    winner.c_str(), r.captures[0], r.captures[1], r.fallen, r.stuck, r.gameMs, r.wallMs, r.frames);
        fallen += r.fallen;
        std::fflush(stdout);
    }
    const double speed = static_cast<double>(gameMs) / static_cast<double>(std::max<long long>(1, wallMs));
    std::printf("summary: matches=%d decided=%d fallen=%d speed=%.1fx peak_rss_kb=%ld\n", o.matches, decided, fallen, speed,
                Sim::PeakRssKb());
    GameLogicView::GlobalGameState::Destroy();
    return 0;
}
