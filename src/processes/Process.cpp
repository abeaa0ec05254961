#include "processes/Process.h"

#include <algorithm>

namespace ProcessSystem {

ProcessManager::~ProcessManager() { DetachAll(); }

void ProcessManager::Attach(const std::shared_ptr<IProcess>& process) {
    if (!process) return;
    m_processes.push_back(process);
    process->SetAttached(true);
}

void ProcessManager::Detach(const std::shared_ptr<IProcess>& process) {
    if (!process) return;
    bool found = false;
    for (auto& p : m_processes) {
        if (p == process) {
            p.reset();
            found = true;
        }
    }
    if (found) process->SetAttached(false);
    if (m_passDepth == 0) Compact();
}

void ProcessManager::DetachAll() {
    for (auto& p : m_processes) {
        if (p) p->SetAttached(false);
        p.reset();
    }
    if (m_passDepth == 0) m_processes.clear();
}

bool ProcessManager::HasProcesses() const {
    return std::any_of(m_processes.begin(), m_processes.end(), [](const auto& p) { return p != nullptr; });
}

size_t ProcessManager::Count() const {
    return static_cast<size_t>(std::count_if(m_processes.begin(), m_processes.end(), [](const auto& p) { return p != nullptr; }));
}

void ProcessManager::Compact() {
    m_processes.erase(std::remove(m_processes.begin(), m_processes.end(), nullptr), m_processes.end());
}

void ProcessManager::UpdateProcess(const std::shared_ptr<IProcess>& p, int ms) {
    if (!p->IsDead() && p->IsActive()) {
        if (!p->IsInitialized()) {
            p->m_flags &= static_cast<uint8_t>(~IProcess::kInitPending);
            p->OnInitialize();
        }
        p->OnUpdate(ms);
    }
    if (p->IsDead()) {
        m_ops.push_back({1, p});
        if (p->GetNext()) m_ops.push_back({0, p->GetNext()});
    }
}

void ProcessManager::UpdateProcesses(int ms) {
    ++m_passDepth;
    // Processes attached during the pass are appended and updated in it too.
    for (size_t i = 0; i < m_processes.size(); ++i) {
        std::shared_ptr<IProcess> p = m_processes[i];  // keep alive during its update
        if (p) UpdateProcess(p, ms);
    }
    --m_passDepth;
    std::vector<Op> ops;
    ops.swap(m_ops);
    if (m_passDepth == 0) Compact();
    for (auto& op : ops) {
        if (op.kind == 0)
            Attach(op.process);
        else
            Detach(op.process);
    }
}

}  // namespace ProcessSystem
