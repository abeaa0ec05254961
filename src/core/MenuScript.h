// A test tool for whole runs of the game: walks the menus by a script, the
// way a player's mouse would (the cursor is put on a button, the left button
// goes down and up through the window's event queue), plays a match for a
// time and quits. Read from MIRAV_MENU_SCRIPT: steps separated by commas,
//   <button>          click the top menu's button of that name once it is
//                     there and clickable (a join button waits for a host);
//   <group>/<button>  the same for a spin group's arrow ("network/ArrowRight");
//   play=<ms>         wait for a played match, then let it run that many
//                     milliseconds of game time and report what the view has
//                     (and each change of the number of machines in the game);
//   pickup            once a match is played, turn the local player round
//                     for 60 frames asking for a pick-up in each (as a
//                     mouse look with the pick-up key would);
//   quit              post the quit message (exit code 0).
// Each step is reported on standard error as "mirav: script: ...".
#pragma once

#include <memory>
#include <string>
#include <vector>

class GameRunner;

namespace App {

class MenuScript {
public:
    explicit MenuScript(const std::string& script);
    // Null when the variable is not set or empty.
    static std::unique_ptr<MenuScript> FromEnvironment();

    // Once a frame, after the runner's step of ms milliseconds.
    void Step(GameRunner& runner, int ms);
    bool Done() const { return m_next >= m_steps.size(); }

private:
    std::vector<std::string> m_steps;
    size_t m_next = 0;
    int m_phase = 0;  // of a click: 0 find, 1 press, 2 release
    long long m_played = 0;
    int m_machines = -1;
};

}  // namespace App
