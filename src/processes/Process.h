// Timed work updated once per frame with elapsed milliseconds: processes end by
// being killed and may name a successor that starts when they end.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace ProcessSystem {

class IProcess {
public:
    enum Flags : uint8_t { kInitPending = 1, kDead = 2, kActive = 4, kAttached = 8 };

    explicit IProcess(int type) : m_type(type) {}
    virtual void OnUpdate(int ms) = 0;
    virtual void OnInitialize() {}
    virtual ~IProcess() = default;
    virtual void Kill() { m_flags |= kDead; }
    // Kills without a successor.
    virtual void Cancel() {
        Kill();
        m_next.reset();
    }
    virtual bool IsDead() const { return (m_flags & kDead) != 0; }

    bool IsActive() const { return (m_flags & kActive) != 0; }
    bool IsInitialized() const { return (m_flags & kInitPending) == 0; }
    bool IsAttached() const { return (m_flags & kAttached) != 0; }
    void SetAttached(bool attached) {
        if (attached)
            m_flags |= kAttached;
        else
            m_flags &= static_cast<uint8_t>(~kAttached);
    }
    const std::shared_ptr<IProcess>& GetNext() const { return m_next; }
    // Returns its argument, so chains read a->SetNext(b)->SetNext(c).
    const std::shared_ptr<IProcess>& SetNext(const std::shared_ptr<IProcess>& next) {
        m_next = next;
        return m_next;
    }
    int GetType() const { return m_type; }

private:
    friend class ProcessManager;
    int m_type;
    uint8_t m_flags = kInitPending | kActive;
    std::shared_ptr<IProcess> m_next;
};

class WaitProcess : public IProcess {
public:
    explicit WaitProcess(int ms) : IProcess(2), m_remaining(ms) {}
    void OnUpdate(int ms) override {
        m_remaining -= ms;
        if (m_remaining <= 0) Kill();
    }
    int GetRemaining() const { return m_remaining; }

private:
    int m_remaining;
};

// A process that runs for a fixed duration and knows its progress 0..1.
class ITimeProcess : public IProcess {
public:
    explicit ITimeProcess(int ms) : IProcess(2), m_duration(static_cast<float>(ms)) {}
    float GetProgress() const { return m_progress; }

protected:
    // Call first in OnUpdate.
    void Advance(int ms) {
        m_elapsed += ms;
        m_progress = (m_duration == 0.0f) ? 1.0f : static_cast<float>(m_elapsed) / m_duration;
        if (m_progress >= 1.0f) {
            m_progress = 1.0f;
            Kill();
        }
    }

private:
    float m_duration;
    int m_elapsed = 0;
    float m_progress = 0.0f;
};

// A process that fires once per period (the remainder is dropped, not carried).
class IRepeatProcess : public IProcess {
public:
    explicit IRepeatProcess(int ms) : IProcess(2), m_period(ms) {}

protected:
    void Advance(int ms) {
        m_accumulated += ms;
        if (m_accumulated >= m_period) {
            m_fired = true;
            m_accumulated = 0;
        }
    }
    bool TakeFired() {
        const bool f = m_fired;
        m_fired = false;
        return f;
    }

private:
    int m_period;
    int m_accumulated = 0;
    bool m_fired = false;
};

// Calls its callable once, then dies.
template <class F>
class FunctorProcess : public IProcess {
public:
    explicit FunctorProcess(F fn) : IProcess(1), m_fn(std::move(fn)) {}
    void OnUpdate(int) override {
        m_fn();
        Kill();
    }

private:
    F m_fn;
};

template <class F>
FunctorProcess<F>* CreateFunctorProcess(F fn) {
    return new FunctorProcess<F>(std::move(fn));
}

template <class F>
std::shared_ptr<IProcess> MakeFunctorProcess(F fn) {
    return std::make_shared<FunctorProcess<F>>(std::move(fn));
}

class ProcessManager {
public:
    ProcessManager() = default;
    ~ProcessManager();
    ProcessManager(const ProcessManager&) = delete;
    ProcessManager& operator=(const ProcessManager&) = delete;

    void Attach(const std::shared_ptr<IProcess>& process);
    void Detach(const std::shared_ptr<IProcess>& process);
    void UpdateProcesses(int ms);
    void DetachAll();
    bool HasProcesses() const;
    size_t Count() const;

private:
    void UpdateProcess(const std::shared_ptr<IProcess>& p, int ms);
    void Compact();

    struct Op {
        int kind;  // 0 attach, 1 detach
        std::shared_ptr<IProcess> process;
    };
    // Detached entries become null while a pass walks the list, so indices
    // stay valid; the pass compacts the list when it ends.
    std::vector<std::shared_ptr<IProcess>> m_processes;
    std::vector<Op> m_ops;
    int m_passDepth = 0;
};

}  // namespace ProcessSystem
