#include "audio/SourcePool.h"

#include "audio/AudioBuffer.h"
#include "audio/Emitter.h"

namespace Audio {

SourcePool::~SourcePool() { Destroy(); }

bool SourcePool::Create(unsigned count) {
    Destroy();
    if (count == 0) return false;
    std::vector<ALuint> names(count, 0);
    alGetError();
    unsigned n = count;
    while (n > 0) {
        alGenSources(static_cast<ALsizei>(n), names.data());
        if (alGetError() == AL_NO_ERROR) break;
        --n;
    }
    if (n == 0) return false;
    m_sources.assign(names.begin(), names.begin() + n);
    m_free.assign(m_sources.begin(), m_sources.end());
    m_inUse.assign(kClasses, {});
    return true;
}

bool SourcePool::AcquireSource(Emitter* requester, int priorityClass) {
    if (!requester || priorityClass < 0 || priorityClass >= kClasses || m_inUse.empty()) return false;
    if (!m_free.empty()) {
        const ALuint s = m_free.front();
        m_free.pop_front();
        m_inUse[priorityClass].push_back({s, priorityClass, requester});
        requester->m_source = s;
        return s != 0;
    }
    // Least important class first, the requester's own class last; oldest
    // holder first within a class.
    for (int k = kClasses - 1; k >= priorityClass; --k) {
        std::list<Record>& list = m_inUse[k];
        for (auto it = list.begin(); it != list.end(); ++it) {
            Emitter* h = it->holder;
            const bool streaming = h->GetBuffer() && h->GetBuffer()->IsStreaming();
            if (h->IsSounding() && (h->IsLooping() || streaming)) continue;
            const ALuint s = it->source;
            list.erase(it);
            alSourceStop(s);
            h->m_source = 0;
            m_inUse[priorityClass].push_back({s, priorityClass, requester});
            requester->m_source = s;
            return s != 0;
        }
    }
    return false;
}

void SourcePool::AddActive(const std::shared_ptr<Emitter>& emitter) {
    if (emitter) m_active.push_back(emitter);
}

bool SourcePool::UpdateStreams() {
    bool any = false;
    for (const std::shared_ptr<Emitter>& e : m_active) any = e->Update() || any;
    return any;
}

void SourcePool::ReturnSource(Emitter* holder) {
    if (!holder || holder->m_source == 0) return;
    const ALuint s = holder->m_source;
    for (std::list<Record>& list : m_inUse) {
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (it->holder == holder && it->source == s) {
                list.erase(it);
                m_free.push_back(s);
                holder->m_source = 0;
                return;
            }
        }
    }
    holder->m_source = 0;
}

void SourcePool::Unbind(Emitter& e) {
    if (e.m_source != 0) alSourceStop(e.m_source);
    if (e.m_buffer) e.m_buffer->Detach(&e);
    e.m_buffer = nullptr;
    if (e.m_source != 0) alSourcei(e.m_source, AL_BUFFER, 0);
}

void SourcePool::ReclaimStopped() {
    for (auto it = m_active.begin(); it != m_active.end();) {
        Emitter& x = **it;
        if (x.IsSounding()) {
            ++it;
            continue;
        }
        Unbind(x);
        ReturnSource(&x);
        it = m_active.erase(it);
    }
}

void SourcePool::Destroy() {
    for (const std::shared_ptr<Emitter>& e : m_active) Unbind(*e);
    // Every holder, active or not, forgets its source and this pool.
    for (std::list<Record>& list : m_inUse)
        for (Record& r : list) {
            if (r.holder->m_buffer) Unbind(*r.holder);
            r.holder->m_source = 0;
            r.holder->m_pool = nullptr;
        }
    for (const std::shared_ptr<Emitter>& e : m_active) {
        e->m_source = 0;
        e->m_pool = nullptr;
    }
    m_active.clear();
    m_free.clear();
    m_inUse.clear();
    if (!m_sources.empty()) alDeleteSources(static_cast<ALsizei>(m_sources.size()), m_sources.data());
    m_sources.clear();
}

size_t SourcePool::GetInUseCount() const {
    size_t n = 0;
    for (const std::list<Record>& list : m_inUse) n += list.size();
    return n;
}

const std::list<SourcePool::Record>* SourcePool::GetInUse(int priorityClass) const {
    if (priorityClass < 0 || priorityClass >= static_cast<int>(m_inUse.size())) return nullptr;
    return &m_inUse[priorityClass];
}

}  // namespace Audio
