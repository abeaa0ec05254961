// The platform pieces of the shell that work without a display: power
// watching, the single-instance handshake and the message queue.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/PowerMonitor.h"
#include "platform/SingleInstance.h"

using Platform::PowerMonitor;
using Platform::PowerStatus;

namespace {

struct ScriptedPower {
    PowerStatus status;
    int queries = 0;
    PowerMonitor::Query Fn() {
        return [this] {
            ++queries;
            return status;
        };
    }
};

PowerStatus Status(PowerStatus::Source s, int pct, int secs = -1) {
    PowerStatus p;
    p.source = s;
    p.percent = pct;
    p.seconds = secs;
    return p;
}

std::string TempDir() {
    char tmpl[] = "/tmp/mirav-platform-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

}  // namespace

TEST(PowerMonitor, ReportsAChangeOnceAndOnlyWhenPolled) {
    ScriptedPower power;
    power.status = Status(PowerStatus::Source::Charging, 50);
    PowerMonitor mon(power.Fn(), 3.0, 1.0);
    mon.Start(100.0, 200.0);
    EXPECT_EQ(power.queries, 1);

    // Before the interval no query is made, even though the state changed.
    power.status = Status(PowerStatus::Source::OnBattery, 50);
    auto r = mon.Poll(102.0, 202.0);
    EXPECT_FALSE(r.statusChanged);
    EXPECT_EQ(power.queries, 1);

    r = mon.Poll(103.0, 203.0);
    EXPECT_TRUE(r.statusChanged);
    EXPECT_FALSE(r.resumed);
    r = mon.Poll(106.5, 206.5);
    EXPECT_FALSE(r.statusChanged) << "the same state again is not a change";

    // The time left wobbles; that alone is no change. The charge is.
    power.status = Status(PowerStatus::Source::OnBattery, 50, 1234);
    EXPECT_FALSE(mon.Poll(110.0, 210.0).statusChanged);
    power.status = Status(PowerStatus::Source::OnBattery, 49, 1234);
    EXPECT_TRUE(mon.Poll(113.0, 213.0).statusChanged);
}

TEST(PowerMonitor, BootClockJumpIsAResumeAndRereadsThePowerAtOnce) {
    ScriptedPower power;
    power.status = Status(PowerStatus::Source::OnBattery, 80);
    PowerMonitor mon(power.Fn(), 3.0, 1.0);
    mon.Start(10.0, 10.0);

    // Small drifts between the clocks are no suspend.
    EXPECT_FALSE(mon.Poll(10.5, 10.6).resumed);
    // Slept for a minute: the boot clock ran on, the monotonic clock did not;
    // the charger was plugged in meanwhile.
    power.status = Status(PowerStatus::Source::Charging, 80);
    const int before = power.queries;
    auto r = mon.Poll(10.6, 70.7);
    EXPECT_TRUE(r.resumed);
    EXPECT_TRUE(r.statusChanged);
    EXPECT_EQ(power.queries, before + 1);
    // Reported once.
    EXPECT_FALSE(mon.Poll(10.7, 70.8).resumed);
}

TEST(Clock, BootClockNeverBehindMonotonic) {
    const double m = Platform::MonotonicSeconds();
    const double b = Platform::BootSeconds();
    EXPECT_GE(b + 1e-3, m);
    EXPECT_GE(Platform::MonotonicSeconds(), m);
}

TEST(ListMessageSource, TakesInOrder) {
    Platform::ListMessageSource q;
    q.Push({Platform::MessageKind::SetCursor, 0});
    q.Push({Platform::MessageKind::Quit, 3});
    Platform::Message m;
    ASSERT_TRUE(q.Take(m));
    EXPECT_EQ(m.kind, Platform::MessageKind::SetCursor);
    ASSERT_TRUE(q.Take(m));
    EXPECT_EQ(m.kind, Platform::MessageKind::Quit);
    EXPECT_EQ(m.code, 3);
    EXPECT_FALSE(q.Take(m));
}

TEST(SingleInstance, FirstListensSecondIsAnsweredWhileTheFirstServes) {
    const std::string dir = TempDir();
    Platform::SingleInstance first("mirav", dir);
    ASSERT_EQ(first.Acquire(), Platform::SingleInstance::Outcome::First);
    EXPECT_TRUE(first.IsListening());
    EXPECT_EQ(first.LockPath(), dir + "/mirav.lock");

    std::atomic<bool> stop{false};
    std::atomic<int> raised{0};
    std::thread server([&] {
        while (!stop) {
            raised += first.PollRequests();
            usleep(2000);
        }
    });
    Platform::SingleInstance second("mirav", dir);
    EXPECT_EQ(second.Acquire(2000), Platform::SingleInstance::Outcome::OtherRaised);
    stop = true;
    server.join();
    EXPECT_EQ(raised.load(), 1);
    EXPECT_FALSE(second.IsListening());
}

TEST(SingleInstance, HeldLockWithNobodyAnsweringLetsTheNewOneStart) {
    const std::string dir = TempDir();
    {
        // The holder is alive but never serves its socket (still starting up).
        Platform::SingleInstance first("mirav", dir);
        ASSERT_EQ(first.Acquire(), Platform::SingleInstance::Outcome::First);
        Platform::SingleInstance second("mirav", dir);
        const double t0 = Platform::MonotonicSeconds();
        EXPECT_EQ(second.Acquire(200), Platform::SingleInstance::Outcome::OtherSilent);
        EXPECT_LT(Platform::MonotonicSeconds() - t0, 2.0);
    }
    {
        // A lock held by something that never listened, and a stale socket
        // file: connecting is refused at once.
        const std::string lock = dir + "/mirav.lock";
        int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        Platform::SingleInstance other("mirav", dir);
        EXPECT_EQ(other.Acquire(5000), Platform::SingleInstance::Outcome::OtherSilent);
        close(fd);
    }
    // Once the holder is gone the next one is first again and replaces the
    // stale socket.
    Platform::SingleInstance again("mirav", dir);
    EXPECT_EQ(again.Acquire(), Platform::SingleInstance::Outcome::First);
    EXPECT_TRUE(again.IsListening());
}

TEST(SingleInstance, GarbageOnTheSocketIsNotARaise) {
    const std::string dir = TempDir();
    Platform::SingleInstance first("mirav", dir);
    ASSERT_EQ(first.Acquire(), Platform::SingleInstance::Outcome::First);
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", first.SocketPath().c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(write(fd, "hello\n", 6), 6);
    int total = 0;
    for (int i = 0; i < 20; ++i) total += first.PollRequests();
    EXPECT_EQ(total, 0);
    char buf[8];
    EXPECT_EQ(read(fd, buf, sizeof buf), 0) << "closed without an answer";
    close(fd);
}

TEST(SingleInstance, FallsBackToTmpWithoutRuntimeDir) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", "/nonexistent/mirav-test", 1);
    {
        Platform::SingleInstance inst("mirav-test-fallback");
        inst.Acquire(100);
        EXPECT_EQ(inst.LockPath().rfind("/tmp/mirav-test-fallback-", 0), 0u) << inst.LockPath();
    }
    if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
}
