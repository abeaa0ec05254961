// Two real games on two machines of a LAN: each `mirav` runs offscreen in a
// network namespace of its own, with its own runtime and options folders and
// the shipped network settings (announcements by broadcast, which stays
// inside the two namespaces). Their menus are clicked by script: one hosts a
// network game in the sandbox mode, the other finds it in the join menu and
// joins; the joined match runs for a game-minute and both quit normally.
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "NamespacePair.h"
#include "ProcessRunner.h"

#if defined(MIRAV_GAME_BINARY)

namespace {

std::map<std::string, std::string> GameEnv(const std::string& dir, const std::string& script) {
    return {{"SDL_VIDEODRIVER", "offscreen"}, {"ALSOFT_DRIVERS", "null"},  {"XDG_RUNTIME_DIR", dir},
            {"XDG_CONFIG_HOME", dir + "/config"}, {"MIRAV_TRACE", "1"}, {"MIRAV_MENU_SCRIPT", script}};
}

// The report of a played stretch: game milliseconds, actors, the player
// ids, the local actor and the number of machines.
struct Played {
    long long ms = -1;
    int actors = 0;
    std::set<int> players;
    int local = -1;
};

Played ReadPlayed(const std::string& err) {
    Played p;
    std::smatch m;
    const std::regex line("mirav: script: played (\\d+) ms on level \\d+: (\\d+) actors, players (\\S+), local actor "
                          "(-?\\d+)");
    if (!std::regex_search(err, m, line)) return p;
    p.ms = std::stoll(m[1]);
    p.actors = std::stoi(m[2]);
    std::stringstream ids(m[3].str());
    for (std::string id; std::getline(ids, id, ';');) p.players.insert(std::stoi(id));
    p.local = std::stoi(m[4]);
    return p;
}

}  // namespace

TEST(GameNetwork, TwoGamesOfALanFindEachOtherByBroadcastJoinAndPlayAMinute) {
    if (access("/usr/sbin/ip", X_OK) != 0) GTEST_SKIP() << "no ip tool: namespaces cannot be made here";
    TestApps::NamespacePair lan;
    if (!lan.Ok()) GTEST_SKIP() << "network namespaces cannot be made here (needs root or CAP_NET_ADMIN)";
    const std::string hostDir = TestApps::MakeTempDir(), joinDir = TestApps::MakeTempDir();
    // The host plays longer than the joined machine, which comes a few
    // announcements later and must not lose its host before its minute. The
    // sandbox has no victory that could end the match before then.
    TestApps::Child host(TestApps::GameBinary(), TestApps::DataDir(),
                         GameEnv(hostDir, "TextStart,network/ArrowRight,mode/ArrowRight,TextStart,play=80000,quit"),
                         lan.In(lan.A()));
    TestApps::Child join(TestApps::GameBinary(), TestApps::DataDir(),
                         GameEnv(joinDir, "TextJoin,JoinGame,play=60000,quit"), lan.In(lan.B()));
    ASSERT_TRUE(host.Started() && join.Started());
    EXPECT_EQ(join.Wait(600), 0) << join.Stderr();
    EXPECT_EQ(host.Wait(300), 0) << host.Stderr();
    const std::string h = host.Stderr(), j = join.Stderr();

    // Each walked its menus.
    EXPECT_NE(h.find("mirav: script: clicked network/ArrowRight"), std::string::npos) << h;
    EXPECT_NE(h.find("mirav: script: clicked mode/ArrowRight"), std::string::npos) << h;
    EXPECT_NE(j.find("mirav: script: clicked JoinGame"), std::string::npos) << j;
    // The host counted the joined machine.
    EXPECT_NE(h.find("mirav: script: machines 2 after"), std::string::npos) << h;

    // A game-minute of the joined match on the joining machine, with a
    // player of its own among the host's players.
    const Played hp = ReadPlayed(h), jp = ReadPlayed(j);
    ASSERT_GE(jp.ms, 60000) << j << "\n----\n" << h;
    ASSERT_GE(hp.ms, 80000) << h;
    EXPECT_GE(jp.local, 0) << j;
    EXPECT_NE(jp.local, hp.local);
    EXPECT_EQ(jp.players, hp.players) << j << "\n----\n" << h;
    EXPECT_EQ(hp.players.count(jp.local), 1u);
    EXPECT_GT(jp.actors, 50) << j;

    // Both quit normally, with exit code 0.
    EXPECT_NE(h.find("exit code 0"), std::string::npos);
    EXPECT_NE(j.find("exit code 0"), std::string::npos);
}

#endif
