// Network play between separate processes on loopback: a mirav-sim host and
// three joining mirav-sim machines, each on its own loopback address and the
// same port, the host announcing to their addresses. The machines find the
// host, join, end the match seeing the same actors, a joined machine's
// scripted walk moves its actor on every machine, and a machine killed
// mid-match is handed to a bot after the silence limit while the match goes on.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "NamespacePair.h"
#include "ProcessRunner.h"

#ifdef MIRAV_SIM_BINARY

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// One mirav-sim with arguments; standard output into a file.
class Sim {
public:
    // prefix: a command that runs mirav-sim (ip netns exec ...), or empty.
    Sim(const std::vector<std::string>& args, const std::string& out, const std::vector<std::string>& prefix = {})
        : m_out(out) {
        m_pid = fork();
        if (m_pid == 0) {
            const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, 1);
            dup2(fd, 2);
            if (chdir(TestApps::DataDir().c_str()) != 0) _exit(126);
            std::vector<char*> argv;
            for (const auto& a : prefix) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(const_cast<char*>(MIRAV_SIM_BINARY));
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Sim() {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    std::string Output() const { return ReadAll(m_out); }
    bool WaitForOutput(const std::string& text, double seconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (Output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Exit code, -1 on time-out.
    int Wait(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_reaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
    void Kill() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_reaped = true;
    }

private:
    pid_t m_pid = -1;
    std::string m_out;
    bool m_reaped = false;
};

long long UnixMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A UDP port free on every address the machines use.
uint16_t FreePort() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int s = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000001);
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        socklen_t len = sizeof(a);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        const uint16_t port = ntohs(a.sin_port);
        close(s);
        bool free = true;
        for (uint32_t host = 2; host <= 4 && free; ++host) {
            int t = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in b{};
            b.sin_family = AF_INET;
            b.sin_port = htons(port);
            b.sin_addr.s_addr = htonl(0x7F000000 + host);
            free = bind(t, reinterpret_cast<sockaddr*>(&b), sizeof(b)) == 0;
            close(t);
        }
        if (free) return port;
    }
    return 0;
}

std::string Capture(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : "";
}

struct Sample {
    long long ms;
    float x, z;
};
// The sampled places of one actor as one machine saw them.
std::vector<Sample> Track(const std::string& out, const std::string& actor) {
    std::vector<Sample> track;
    const std::regex line("pos: \\w+ actor=" + actor + " team=\\d+ unix_ms=(\\d+) x=(\\S+) y=\\S+ z=(\\S+)");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator(); ++it)
        track.push_back({std::stoll((*it)[1]), std::stof((*it)[2]), std::stof((*it)[3])});
    return track;
}
// The sample nearest to the time (they come every quarter second).
const Sample* At(const std::vector<Sample>& track, long long ms) {
    const Sample* found = nullptr;
    for (const Sample& s : track)
        if (!found || std::llabs(s.ms - ms) < std::llabs(found->ms - ms)) found = &s;
    return found;
}

}  // namespace

TEST(SimNetwork, MachinesJoinSeeTheSameActorsAndASilentOneGoesToABot) {
    const uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    const std::string p = std::to_string(port);
    const std::string dir = TestApps::MakeTempDir();
    Sim host({"--host", "--port", p, "--bind", "127.0.0.1", "--announce", "127.0.0.2 127.0.0.3 127.0.0.4",
              "--level", "0", "--teamsize", "3", "--minutes", "0.75"},
             dir + "/host");
    Sim a({"--join", "any", "--port", p, "--bind", "127.0.0.2", "--seed", "1"}, dir + "/a");
    Sim b({"--join", "127.0.0.1", "--port", p, "--bind", "127.0.0.3", "--seed", "2", "--team", "1"}, dir + "/b");
    Sim c({"--join", "any", "--port", p, "--bind", "127.0.0.4", "--seed", "3"}, dir + "/c");

    ASSERT_TRUE(c.WaitForOutput("join: joined actor=", 20)) << c.Output();
    ASSERT_TRUE(a.WaitForOutput("script: ", 20)) << a.Output();
    ASSERT_TRUE(a.WaitForOutput("done", 15)) << a.Output();
    const std::string cActor = Capture(c.Output(), "join: joined actor=(\\d+)");
    c.Kill();
    const long long killedAt = UnixMs();

    EXPECT_EQ(host.Wait(90), 0);
    EXPECT_EQ(a.Wait(10), 0);
    EXPECT_EQ(b.Wait(10), 0);
    const std::string h = host.Output(), ao = a.Output(), bo = b.Output();

    // Found by announcement, joined in slots of their own.
    EXPECT_NE(ao.find("join: heard 127.0.0.1:" + p + " name=Mirav"), std::string::npos) << ao;
    const std::string aActor = Capture(ao, "join: joined actor=(\\d+)");
    const std::string bActor = Capture(bo, "join: joined actor=(\\d+) team=1");
    ASSERT_FALSE(aActor.empty()) << ao;
    ASSERT_FALSE(bActor.empty()) << bo;
    EXPECT_NE(aActor, bActor);
    EXPECT_NE(h.find("host: joined actor=" + aActor), std::string::npos);
    EXPECT_NE(h.find("host: joined actor=" + bActor + " team=1"), std::string::npos);

    // The same actors when the match ended.
    const std::string hostList = Capture(h, "actors: host (count=\\d+ ids=\\S+)");
    ASSERT_FALSE(hostList.empty()) << h.substr(0, 2000);
    EXPECT_EQ(Capture(ao, "actors: join (count=\\d+ ids=\\S+)"), hostList);
    EXPECT_EQ(Capture(bo, "actors: join (count=\\d+ ids=\\S+)"), hostList);
    const std::string hostPlayers = Capture(h, "players: host (\\S+)");
    EXPECT_EQ(Capture(ao, "players: join (\\S+)"), hostPlayers);
    EXPECT_EQ(Capture(bo, "players: join (\\S+)"), hostPlayers);
    // The joined machines know the host's capture points, teams and places.
    const std::string hostPoints = Capture(h, "capture points: host (count=\\d+ at=\\S+)");
    ASSERT_FALSE(hostPoints.empty()) << h.substr(0, 2000);
    EXPECT_EQ(hostPoints.find("count=0 "), std::string::npos) << hostPoints;
    EXPECT_EQ(Capture(ao, "capture points: join (count=\\d+ at=\\S+)"), hostPoints);
    EXPECT_EQ(Capture(bo, "capture points: join (count=\\d+ at=\\S+)"), hostPoints);

    // A's first walk moves its actor along the scripted direction on every
    // machine, and it ends in the same place everywhere.
    const long long walkFrom = std::stoll(Capture(ao, "script: t=\\d+ unix_ms=(\\d+) walk"));
    const long long walkTo = std::stoll(Capture(ao, "script: t=\\d+ unix_ms=(\\d+) stop turn"));
    const float dx = std::stof(Capture(ao, "walk dir=(\\S+),")), dz = std::stof(Capture(ao, "walk dir=\\S+,(\\S+)"));
    std::vector<Sample> ends;
    for (const std::string* out : {&h, &ao, &bo}) {
        const auto track = Track(*out, aActor);
        const Sample* from = At(track, walkFrom + 100);
        ASSERT_TRUE(from && !track.empty());
        // The farthest it got along the direction while walking, seen with
        // the delay of each machine: a loaded machine may show the walk up
        // to a second and a half late.
        float along = 0.0f;
        for (const Sample& s : track)
            if (s.ms >= from->ms && s.ms <= walkTo + 1500)
                along = std::max(along, (s.x - from->x) * dx + (s.z - from->z) * dz);
        EXPECT_GT(along, 3.0f) << "walked " << along << " along the script's direction";
        ends.push_back(track.back());
    }
    for (const Sample& e : ends) {
        EXPECT_NEAR(e.x, ends[0].x, 0.5f);
        EXPECT_NEAR(e.z, ends[0].z, 0.5f);
    }

    // The killed machine's player went to a bot after more than ten seconds
    // of silence (and not much later), and the match went on to its end.
    const std::string takeover = Capture(h, "host: bot takes over actor=" + cActor + " team=\\d+ unix_ms=(\\d+)");
    ASSERT_FALSE(takeover.empty()) << h.substr(0, 3000);
    const long long after = std::stoll(takeover) - killedAt;
    // Keep-alives go once a second: the last one left up to a second before the kill.
    EXPECT_GE(after, 8900);
    EXPECT_LE(after, 13000);  // room for a loaded machine running late
    const long long overAt = std::stoll(Capture(h, "host: game over unix_ms=(\\d+)"));
    EXPECT_GT(overAt, std::stoll(takeover));
    EXPECT_NE(h.find("host: done connected=2 "), std::string::npos);
}

// Two machines of a LAN, each in a namespace of its own, with the shipped
// network settings: the port of Config/Networking.ini and announcements by
// broadcast to 255.255.255.255, which stays inside the two namespaces.
TEST(SimNetwork, TwoMachinesOfALanFindEachOtherByBroadcastAndPlay) {
    using TestApps::NamespacePair;
    if (access("/usr/sbin/ip", X_OK) != 0) GTEST_SKIP() << "no ip tool: namespaces cannot be made here";
    NamespacePair lan;
    if (!lan.Ok()) GTEST_SKIP() << "network namespaces cannot be made here (needs root or CAP_NET_ADMIN)";
    const std::string dir = TestApps::MakeTempDir();
    Sim host({"--host", "--level", "1", "--teamsize", "2", "--minutes", "0.25"}, dir + "/host", lan.In(lan.A()));
    Sim join({"--join", "any", "--seed", "4"}, dir + "/join", lan.In(lan.B()));
    EXPECT_EQ(host.Wait(60), 0);
    EXPECT_EQ(join.Wait(10), 0);
    const std::string h = host.Output(), j = join.Output();
    EXPECT_NE(h.find("announce=255.255.255.255"), std::string::npos) << h.substr(0, 500);
    EXPECT_NE(j.find("join: heard 10.77.0.1:8003 name=Mirav"), std::string::npos) << j.substr(0, 1500);
    const std::string actor = Capture(j, "join: joined actor=(\\d+)");
    ASSERT_FALSE(actor.empty()) << j.substr(0, 1500);
    EXPECT_NE(h.find("host: joined actor=" + actor), std::string::npos);
    const std::string hostList = Capture(h, "actors: host (count=\\d+ ids=\\S+)");
    ASSERT_FALSE(hostList.empty());
    EXPECT_EQ(Capture(j, "actors: join (count=\\d+ ids=\\S+)"), hostList);
    EXPECT_NE(j.find("script: "), std::string::npos);
}

#endif
