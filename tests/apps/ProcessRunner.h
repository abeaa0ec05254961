// Starts the game as a real child process with a changed environment,
// collects its output in files and waits for it with a time limit.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace TestApps {

class Child {
public:
    // env: variables to set ("" value = unset) on top of ours; prefix: a
    // command the program is run by (ip netns exec ...), or empty.
    Child(const std::string& program, const std::string& workDir, const std::map<std::string, std::string>& env,
          const std::vector<std::string>& prefix = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }
    // Exit status, or -1000 - signal when killed by a signal, or -1 on time-out
    // (the child is then killed).
    int Wait(double seconds);
    void Signal(int sig);
    // Waits until the child's standard error contains the text.
    bool WaitForStderr(const std::string& text, double seconds);
    std::string Stdout() const;
    std::string Stderr() const;

private:
    pid_t m_pid = -1;
    std::string m_outPath;
    std::string m_errPath;
    bool m_reaped = false;
};

// A fresh empty folder under /tmp.
std::string MakeTempDir();
// Where the built game is.
std::string GameBinary();
// The game's data folder in the source tree.
std::string DataDir();

}  // namespace TestApps
