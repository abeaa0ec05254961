#include "Options.h"

#include <cstdio>
#include <cstdlib>

namespace Sim {

namespace {

bool ParseInt(const char* text, int& out, long lo, long hi) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || end == text || v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseDouble(const char* text, double& out, double lo, double hi) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (!end || *end != '\0' || end == text || !(v >= lo && v <= hi)) return false;
    out = v;
    return true;
}

}  // namespace

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: mirav-sim [--data DIR] [--level N] [--teamsize K] [--seed S] [--minutes M]\n"
                 "                 [--matches X] [--backdrop] [--memory-every M] [--trace SECONDS] [--events]\n"
                 "       network mode, in real time (one machine per process):\n"
                 "                 --host | --join ADDRESS|any  [--port P] [--announce ADDRESSES] [--bind ADDRESS]\n"
                 "                 [--team T] [--join-wait SECONDS]\n");
}

void PrintHelp() {
    std::printf(
        "mirav-sim: whole Mirav matches without a window, bots on both teams (the\n"
        "local player is handed to a bot), one summary line per match.\n"
        "\n"
        "  --data DIR          the game's data folder (default: the working directory)\n"
        "  --level N           level number from Levels/levels.ini (default 0)\n"
        "  --teamsize K        players per team, 1..16 (default: the level's own)\n"
        "  --seed S            run seed; 0 keeps every generator's own (default 0)\n"
        "  --minutes M         game minutes per match at most (default 15)\n"
        "  --matches X         matches to play one after another (default 1)\n"
        "  --backdrop          the menu's backdrop match (never won)\n"
        "  --memory-every M    a memory line every M game minutes\n"
        "  --trace SECONDS     a snapshot of the bots every SECONDS game seconds\n"
        "  --events            print the match's main reports as they come\n"
        "  --host | --join ADDRESS|any [--port P] [--announce ADDRESSES] [--bind ADDRESS]\n"
        "         [--team T] [--join-wait SECONDS]\n"
        "                      network mode, in real time (one machine per process)\n"
        "  --help              this text\n"
        "\n"
        "Exit status: 0 after the matches ran, 2 for a bad command line or data folder,\n"
        "3 when the level cannot be loaded (no match is played).\n");
}

bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            return true;
        }
        if (a == "--backdrop") {
            o.backdrop = true;
            continue;
        }
        if (a == "--events") {
            o.events = true;
            continue;
        }
        if (a == "--host") {
            o.host = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "mirav-sim: %s needs a value\n", a.c_str());
            return false;
        }
        const char* v = argv[++i];
        bool ok = true;
        if (a == "--data")
            o.dataDir = v;
        else if (a == "--level")
            ok = ParseInt(v, o.level, 0, 255);
        else if (a == "--teamsize")
            ok = ParseInt(v, o.teamSize, 1, 16);
        else if (a == "--seed")
            ok = ParseInt(v, o.seed, -2147483647L, 2147483647L);
        else if (a == "--minutes")
            ok = ParseDouble(v, o.minutes, 0.0, 1.0e6);
        else if (a == "--matches")
            ok = ParseInt(v, o.matches, 1, 1000000);
        else if (a == "--memory-every")
            ok = ParseDouble(v, o.memoryEvery, 0.0, 1.0e6);
        else if (a == "--trace")
            ok = ParseDouble(v, o.traceEvery, 0.0, 1.0e6);
        else if (a == "--join") {
            o.join = true;
            o.joinAddress = v;
        } else if (a == "--port")
            ok = ParseInt(v, o.port, 1, 65535);
        else if (a == "--announce")
            o.announcementAddress = v;
        else if (a == "--bind")
            o.bindAddress = v;
        else if (a == "--team")
            ok = ParseInt(v, o.team, 0, 1);
        else if (a == "--join-wait")
            ok = ParseDouble(v, o.joinWaitSeconds, 0.0, 1.0e6);
        else {
            std::fprintf(stderr, "mirav-sim: unknown option %s\n", a.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "mirav-sim: bad value for %s: %s\n", a.c_str(), v);
            return false;
        }
    }
    if (o.host && o.join) {
        std::fprintf(stderr, "mirav-sim: --host and --join exclude each other\n");
        return false;
    }
    return true;
}

}  // namespace Sim
