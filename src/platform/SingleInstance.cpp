#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/Clock.h"

namespace Platform {

namespace {

constexpr const char* kRequest = "raise\n";
constexpr const char* kAnswer = "shown\n";
// A request that does not arrive whole within this time is dropped.
constexpr double kRequestPatience = 2.0;

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool WriteAll(int fd, const char* text) {
    size_t len = std::strlen(text);
    while (len > 0) {
        ssize_t n = send(fd, text, len, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

SingleInstance::SingleInstance(std::string name, std::string dir) : m_name(std::move(name)), m_dir(std::move(dir)) {}

SingleInstance::~SingleInstance() {
    for (auto& p : m_pending) close(p.fd);
    if (m_listenFd >= 0) {
        close(m_listenFd);
        unlink(m_socketPath.c_str());
    }
    // The lock goes with the descriptor; the file stays for the next start.
    if (m_lockFd >= 0) close(m_lockFd);
}

void SingleInstance::ChoosePaths() {
    std::string dir = m_dir;
    std::string prefix = m_name;
    if (dir.empty()) {
        const char* xdg = std::getenv("XDG_RUNTIME_DIR");
        struct stat st {};
        if (xdg && *xdg && stat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && access(xdg, W_OK) == 0) {
            dir = xdg;
        } else {
            // /tmp is shared by every user: the user id keeps instances of
            // different users apart.
            dir = "/tmp";
            prefix += "-" + std::to_string(static_cast<unsigned long>(getuid()));
        }
    }
    m_lockPath = dir + "/" + prefix + ".lock";
    m_socketPath = dir + "/" + prefix + ".sock";
}

bool SingleInstance::OpenLock(const std::string& path) {
    // Never through a link: in /tmp another user could have planted one.
    m_lockFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return m_lockFd >= 0;
}

SingleInstance::Outcome SingleInstance::Acquire(int answerTimeoutMs) {
    ChoosePaths();
    if (!OpenLock(m_lockPath)) {
        // Without a lock file there is no way to tell; run rather than refuse.
        return Outcome::First;
    }
    int r;
    do {
        r = flock(m_lockFd, LOCK_EX | LOCK_NB);
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
        Listen();
        return Outcome::First;
    }
    close(m_lockFd);
    m_lockFd = -1;
    if (errno != EWOULDBLOCK) return Outcome::First;
    return AskOther(answerTimeoutMs);
}

void SingleInstance::Listen() {
    sockaddr_un addr{};
    if (!FillAddress(m_socketPath, addr)) return;
    // We hold the lock, so a socket file left here belongs to a dead instance.
    unlink(m_socketPath.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || listen(fd, 4) < 0) {
        close(fd);
        return;
    }
    m_listenFd = fd;
}

SingleInstance::Outcome SingleInstance::AskOther(int answerTimeoutMs) {
    sockaddr_un addr{};
    if (!FillAddress(m_socketPath, addr)) return Outcome::OtherSilent;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Outcome::OtherSilent;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || !WriteAll(fd, kRequest)) {
        // No socket or nobody listening: the holder has no window to show.
        close(fd);
        return Outcome::OtherSilent;
    }
    // The first instance answers from its frame loop, that is once its
    // window exists; until the deadline we wait for it.
    std::string answer;
    const double deadline = MonotonicSeconds() + answerTimeoutMs / 1000.0;
    for (;;) {
        const double left = deadline - MonotonicSeconds();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        int pr = poll(&p, 1, static_cast<int>(left * 1000.0) + 1);
        if (pr < 0 && errno == EINTR) continue;
        if (pr <= 0) break;
        char buf[64];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(n));
        if (answer.find('\n') != std::string::npos) break;
    }
    close(fd);
    return answer == kAnswer ? Outcome::OtherRaised : Outcome::OtherSilent;
}

int SingleInstance::PollRequests() {
    if (m_listenFd < 0) return 0;
    const double now = MonotonicSeconds();
    for (;;) {
        int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            break;
        }
        m_pending.push_back(Pending{fd, std::string(), now});
    }
    int raised = 0;
    for (size_t i = 0; i < m_pending.size();) {
        Pending& p = m_pending[i];
        bool done = false;
        for (;;) {
            char buf[64];
            ssize_t n = recv(p.fd, buf, sizeof buf, 0);
            if (n > 0) {
                p.received.append(buf, static_cast<size_t>(n));
                if (p.received.size() > 64) {  // not one of ours
                    done = true;
                    break;
                }
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) done = true;
            break;
        }
        if (p.received.find('\n') != std::string::npos) {
            if (p.received == kRequest) {
                ++raised;
                WriteAll(p.fd, kAnswer);
            }
            done = true;
        }
        if (!done && now - p.since > kRequestPatience) done = true;
        if (done) {
            close(p.fd);
            m_pending.erase(m_pending.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
    return raised;
}

}  // namespace Platform
