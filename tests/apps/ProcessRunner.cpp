#include "ProcessRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace TestApps {

namespace {
std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

std::string MakeTempDir() {
    char tmpl[] = "/tmp/mirav-apps-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

std::string GameBinary() { return MIRAV_GAME_BINARY; }

std::string DataDir() { return std::string(MIRAV_SOURCE_DIR) + "/data"; }

Child::Child(const std::string& program, const std::string& workDir, const std::map<std::string, std::string>& env,
             const std::vector<std::string>& prefix) {
    const std::string dir = MakeTempDir();
    m_outPath = dir + "/stdout";
    m_errPath = dir + "/stderr";
    m_pid = fork();
    if (m_pid == 0) {
        int out = open(m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(out, 1);
        dup2(err, 2);
        dup2(in, 0);
        for (const auto& kv : env) {
            if (kv.second.empty()) unsetenv(kv.first.c_str());
            else setenv(kv.first.c_str(), kv.second.c_str(), 1);
        }
        if (chdir(workDir.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        for (const auto& a : prefix) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(const_cast<char*>(program.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
}

Child::~Child() {
    if (m_pid > 0 && !m_reaped) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
}

int Child::Wait(double seconds) {
    if (m_pid <= 0) return -1;
    const double deadline = Now() + seconds;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_reaped = true;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return -1000 - WTERMSIG(status);
            return -1;
        }
        if (Now() > deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_reaped = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Child::Signal(int sig) {
    if (m_pid > 0 && !m_reaped) kill(m_pid, sig);
}

bool Child::WaitForStderr(const std::string& text, double seconds) {
    const double deadline = Now() + seconds;
    while (Now() < deadline) {
        if (Stderr().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Stderr().find(text) != std::string::npos;
}

std::string Child::Stdout() const { return ReadFile(m_outPath); }
std::string Child::Stderr() const { return ReadFile(m_errPath); }

}  // namespace TestApps
