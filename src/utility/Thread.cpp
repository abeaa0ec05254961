#include "utility/Thread.h"

#include <system_error>

Thread::~Thread() { Stop(); }

bool Thread::Start() {
    std::lock_guard<std::mutex> lock(m_control);
    if (m_running.load()) return false;
    if (m_thread.joinable()) m_thread.join();  // finished: release it
    m_stop = false;
    m_running = true;
    try {
        m_thread = std::thread([this] {
            Run();
            m_running = false;
        });
    } catch (const std::system_error&) {
        m_running = false;
        return false;
    }
    return true;
}

void Thread::Stop() {
    std::lock_guard<std::mutex> lock(m_control);
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}
