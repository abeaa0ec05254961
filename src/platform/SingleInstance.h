// One running game per user: the first instance holds an flock on a lock file
// and listens on a UNIX socket beside it; a later instance asks it over that
// socket to show its window. A lock held by an instance that does not answer
// (still starting, or hung) does not keep a new instance from starting.
#pragma once

#include <string>
#include <vector>

namespace Platform {

class SingleInstance {
public:
    enum class Outcome {
        First,        // we hold the lock and listen for later instances
        OtherRaised,  // another instance answered and showed its window
        OtherSilent,  // the lock is held but nobody answered: start anyway
    };

    // dir: the folder of the lock file and the socket; empty means
    // $XDG_RUNTIME_DIR, else /tmp (with the user id in the file names).
    explicit SingleInstance(std::string name = "mirav", std::string dir = std::string());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // answerTimeoutMs: how long a later instance waits for the first one's
    // answer before it starts on its own.
    Outcome Acquire(int answerTimeoutMs = 1000);

    // First instance, once per frame: serves waiting requests without
    // blocking. Returns how many asked for the window to be shown; each has
    // been answered.
    int PollRequests();

    bool IsListening() const { return m_listenFd >= 0; }
    const std::string& LockPath() const { return m_lockPath; }
    const std::string& SocketPath() const { return m_socketPath; }

private:
    struct Pending {
        int fd;
        std::string received;
        double since;
    };

    void ChoosePaths();
    bool OpenLock(const std::string& path);
    void Listen();
    Outcome AskOther(int answerTimeoutMs);

    std::string m_name;
    std::string m_dir;
    std::string m_lockPath;
    std::string m_socketPath;
    int m_lockFd = -1;
    int m_listenFd = -1;
    std::vector<Pending> m_pending;
};

}  // namespace Platform
