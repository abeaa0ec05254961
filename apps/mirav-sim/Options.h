// mirav-sim's command line: which level, how many players, seed, length and
// number of matches, the menu backdrop, and what to print along the way.
#pragma once

#include <string>

namespace Sim {

struct Options {
    std::string dataDir;  // the game's data folder; the working directory when empty
    int level = 0;
    int teamSize = 0;  // players per team; 0 keeps the level's own
    int seed = 0;      // the run seed: 0 keeps every generator's own seed
    double minutes = 15.0;
    int matches = 1;
    bool backdrop = false;      // the bot match behind the menus (never won)
    double memoryEvery = 0.0;   // game minutes between memory lines; 0 none
    double traceEvery = 0.0;    // game seconds between snapshots of the bots; 0 none
    bool events = false;        // print the match's main reports as they come
    bool help = false;          // --help: print the help and run nothing

    // Network mode (real time; see NetMatch.h).
    bool host = false;
    bool join = false;
    std::string joinAddress;          // the host to join: an IPv4 address, or "any"
    int port = -1;                    // -1: Config/Networking.ini's
    std::string announcementAddress;  // empty: the file's
    std::string bindAddress;          // empty: the file's
    int team = 0;                     // the joining player's team
    double joinWaitSeconds = 30.0;    // a joining machine gives up after this
};

// False (with a message on stderr) for an unknown option or a bad value.
bool ParseArgs(int argc, char** argv, Options& out);
void PrintUsage();
// The help of --help, on standard output.
void PrintHelp();

}  // namespace Sim
