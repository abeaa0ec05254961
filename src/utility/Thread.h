// A short-lived worker thread: a body to run once, started on demand, at most
// one running per object, always joined (by Stop, by the next Start once it
// has finished, or on destruction).
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

class Thread {
public:
    Thread() = default;
    // Joins a running body. A derived class whose Run uses its own members must
    // call Stop() in its own destructor, before those members go away.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts Run on a new thread. Returns false, starting nothing, while an
    // earlier body is still running or when no thread can be created; a
    // finished earlier thread is joined first.
    bool Start();
    // Asks the body to finish and waits for it without time-out.
    void Stop();

    bool IsRunning() const { return m_running.load(); }
    bool StopRequested() const { return m_stop.load(); }

protected:
    virtual void Run() = 0;

private:
    std::mutex m_control;  // serialises Start and Stop
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
};
