// The game as a real process under SDL's offscreen driver: it starts, runs
// frames and quits with 0; a second instance hands over to the first; a
// missing display or GL 3.3 ends it with a message and a failure code.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "ProcessRunner.h"

using TestApps::Child;

namespace {

// Each test gets its own runtime folder, so the lock and the socket are not
// shared with a game the developer is running or with other tests.
std::map<std::string, std::string> GameEnv(const std::string& runtimeDir) {
    return {{"SDL_VIDEODRIVER", "offscreen"}, {"XDG_RUNTIME_DIR", runtimeDir}, {"MIRAV_TRACE", "1"},
            {"ALSOFT_DRIVERS", "null"}, {"XDG_CONFIG_HOME", runtimeDir + "/config"}};
}

}  // namespace

TEST(MiravProcess, RunsFramesFromDataAndQuitsWithZero) {
    auto env = GameEnv(TestApps::MakeTempDir());
    env["MIRAV_QUIT_AFTER_FRAMES"] = "25";
    Child game(TestApps::GameBinary(), TestApps::DataDir(), env);
    ASSERT_TRUE(game.Started());
    EXPECT_EQ(game.Wait(60), 0) << game.Stderr();
    EXPECT_NE(game.Stderr().find("mirav: window open"), std::string::npos) << game.Stderr();
    // The quit is posted after frame 25 and seen by the next frame's pump,
    // which still steps the game.
    EXPECT_NE(game.Stderr().find("main loop ended after 26 frames, exit code 0"), std::string::npos) << game.Stderr();
}

TEST(MiravProcess, TerminationRequestIsANormalQuit) {
    auto env = GameEnv(TestApps::MakeTempDir());
    Child game(TestApps::GameBinary(), TestApps::DataDir(), env);
    ASSERT_TRUE(game.WaitForStderr("mirav: window open", 30)) << game.Stderr();
    game.Signal(SIGTERM);
    EXPECT_EQ(game.Wait(30), 0) << game.Stderr();
}

TEST(MiravProcess, SecondInstanceRaisesTheFirstAndLeaves) {
    const std::string runtime = TestApps::MakeTempDir();
    // The first game answers from its frame loop, which starts after the
    // level and the art are loaded; on a busy machine that can take longer
    // than the second game waits for an answer. Its second frame's picture
    // says the loop runs.
    auto firstEnv = GameEnv(runtime);
    const std::string framePicture = runtime + "/frame2.png";
    firstEnv["MIRAV_SCREENSHOT"] = "2:" + framePicture;
    Child first(TestApps::GameBinary(), TestApps::DataDir(), firstEnv);
    ASSERT_TRUE(first.WaitForStderr("mirav: window open", 30)) << first.Stderr();
    struct stat st {};
    for (int i = 0; i < 1200 && stat(framePicture.c_str(), &st) != 0; ++i) usleep(50 * 1000);
    ASSERT_EQ(stat(framePicture.c_str(), &st), 0) << "the first game drew no second frame\n" << first.Stderr();

    Child second(TestApps::GameBinary(), TestApps::DataDir(), GameEnv(runtime));
    const int secondExit = second.Wait(30);
    EXPECT_NE(secondExit, 0);
    EXPECT_EQ(secondExit, 255);
    EXPECT_NE(second.Stderr().find("already running"), std::string::npos) << second.Stderr();
    // It opened neither a window nor a console, and ran no frame.
    EXPECT_EQ(second.Stderr().find("window open"), std::string::npos) << second.Stderr();
    EXPECT_EQ(second.Stderr().find("main loop ended"), std::string::npos);
    EXPECT_EQ(second.Stdout(), "");

    EXPECT_TRUE(first.WaitForStderr("another instance asked for the window", 10)) << first.Stderr();
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(30), 0) << first.Stderr();
}

TEST(MiravProcess, HeldLockWithNobodyAnsweringStartsNormally) {
    const std::string runtime = TestApps::MakeTempDir();
    // Something holds the lock but never answers (a stale or hung instance),
    // and a socket file of a dead instance lies beside it.
    int fd = open((runtime + "/mirav.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    std::ofstream(runtime + "/mirav.sock") << "stale";

    auto env = GameEnv(runtime);
    env["MIRAV_QUIT_AFTER_FRAMES"] = "5";
    Child game(TestApps::GameBinary(), TestApps::DataDir(), env);
    EXPECT_EQ(game.Wait(60), 0) << game.Stderr();
    EXPECT_NE(game.Stderr().find("window open"), std::string::npos) << game.Stderr();
    close(fd);
}

TEST(MiravProcess, NoDisplayOrNoGl33IsAFatalFailure) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> extra;
        const char* message;
    };
    const Case cases[] = {
        {"no video driver", {{"SDL_VIDEODRIVER", "no-such-driver"}}, "cannot start the video system"},
        {"GL below 3.3", {{"MESA_GL_VERSION_OVERRIDE", "3.1"}}, "cannot create an OpenGL 3.3 core context"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto env = GameEnv(TestApps::MakeTempDir());
        env["MIRAV_QUIT_AFTER_FRAMES"] = "5";
        for (const auto& kv : c.extra) env[kv.first] = kv.second;
        Child game(TestApps::GameBinary(), TestApps::DataDir(), env);
        const int code = game.Wait(60);
        EXPECT_NE(code, 0);
        EXPECT_GT(code, 0) << "ended by a signal or timed out";
        EXPECT_NE(game.Stderr().find(c.message), std::string::npos) << game.Stderr();
        EXPECT_EQ(game.Stderr().find("main loop ended"), std::string::npos);
    }
}

TEST(MiravProcess, ShowPerfMonOneReportsEveryFrameOtherValuesDoNot) {
    // The report of a frame without measured sections is empty: one line
    // feed per frame on the console (the terminal).
    auto linesWith = [](const char* value) {
        const std::string dir = TestApps::MakeTempDir();
        mkdir((dir + "/Config").c_str(), 0700);
        std::ofstream(dir + "/Config/Config.ini")
            << "[CONSOLE]\nEnableConsole = 1\n" << (value ? std::string("ShowPerfMon = ") + value + "\n" : "")
            << "[Engine]\nwindowed = 1\nwidth = 640\nheight = 480\n";
        auto env = GameEnv(TestApps::MakeTempDir());
        env["MIRAV_QUIT_AFTER_FRAMES"] = "40";
        Child game(TestApps::GameBinary(), dir, env);
        EXPECT_EQ(game.Wait(60), 0) << game.Stderr();
        const std::string out = game.Stdout();
        return static_cast<int>(std::count(out.begin(), out.end(), '\n'));
    };
    const int off = linesWith(nullptr);
    EXPECT_LT(off, 20);
    EXPECT_GE(linesWith("1"), off + 41);
    EXPECT_EQ(linesWith("2"), off);
    EXPECT_EQ(linesWith("0"), off);
}

TEST(MiravProcess, FirstMatchBehindTheMenuLoadsTheLevelAndCreatesActors) {
    auto env = GameEnv(TestApps::MakeTempDir());
    env["MIRAV_QUIT_AFTER_FRAMES"] = "30";
    Child game(TestApps::GameBinary(), TestApps::DataDir(), env);
    ASSERT_TRUE(game.Started());
    EXPECT_EQ(game.Wait(60), 0) << game.Stderr();
    const std::string err = game.Stderr();
    const std::string line = "mirav: menu backdrop match started on level 0: ";
    const size_t at = err.find(line);
    ASSERT_NE(at, std::string::npos) << err;
    // The shipped level makes far more than the ground and a few players.
    const int actors = std::atoi(err.c_str() + at + line.size());
    EXPECT_GT(actors, 50) << err;
    EXPECT_NE(err.find("2 capture points"), std::string::npos) << err;
}

TEST(MiravProcess, ScreenshotHookWritesThatFrameAsPng) {
    const std::string dir = TestApps::MakeTempDir();
    auto env = GameEnv(dir);
    env["MIRAV_QUIT_AFTER_FRAMES"] = "6";
    env["MIRAV_SCREENSHOT"] = "4:" + dir + "/shot.png";
    Child game(TestApps::GameBinary(), TestApps::DataDir(), env);
    ASSERT_TRUE(game.Started());
    EXPECT_EQ(game.Wait(60), 0) << game.Stderr();
    std::ifstream in(dir + "/shot.png", std::ios::binary);
    ASSERT_TRUE(in.good()) << "no screenshot written";
    unsigned char head[24] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(std::equal(sig, sig + 8, head));
    // IHDR: width and height, big-endian, a frame's size.
    const unsigned w = (head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19];
    const unsigned h = (head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23];
    EXPECT_GE(w, 640u);
    EXPECT_GE(h, 480u);

    // A frame the run never reaches writes nothing.
    auto late = GameEnv(TestApps::MakeTempDir());
    late["MIRAV_QUIT_AFTER_FRAMES"] = "2";
    late["MIRAV_SCREENSHOT"] = "50:" + dir + "/late.png";
    Child game2(TestApps::GameBinary(), TestApps::DataDir(), late);
    ASSERT_TRUE(game2.Started());
    EXPECT_EQ(game2.Wait(60), 0) << game2.Stderr();
    EXPECT_FALSE(std::ifstream(dir + "/late.png").good());
}
