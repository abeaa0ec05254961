// The fixed set of OpenAL sources every sound borrows. When none is free, a
// new sound takes the source of a finished or one-shot sound of its own or a
// less important class, oldest first; looping sounds and streams that are
// still sounding are never taken.
#pragma once

#include <AL/al.h>

#include <list>
#include <memory>
#include <vector>

namespace Audio {

class Emitter;

class SourcePool {
public:
    static constexpr int kClasses = 6;

    struct Record {
        ALuint source;
        int priorityClass;
        Emitter* holder;  // not owning; removed before the holder goes
    };

    SourcePool() = default;
    ~SourcePool();
    SourcePool(const SourcePool&) = delete;
    SourcePool& operator=(const SourcePool&) = delete;

    // Generates up to `count` sources, fewer when OpenAL cannot give that
    // many. False when none at all could be made.
    bool Create(unsigned count);
    // Hands a free or taken source to the requester (stored in it). False
    // when none may be had.
    bool AcquireSource(Emitter* requester, int priorityClass);
    // Keeps the emitter alive until it is reclaimed.
    void AddActive(const std::shared_ptr<Emitter>& emitter);
    // Refills every active stream; true when any of them is still going.
    bool UpdateStreams();
    // Takes back the sources of finished emitters and lets the emitters go.
    void ReclaimStopped();
    // Stops and detaches every active emitter and deletes every source.
    void Destroy();
    // The emitter gives up its source (it stops, or it is destroyed): its
    // record goes and the source is free again.
    void ReturnSource(Emitter* holder);

    unsigned GetSourceCount() const { return static_cast<unsigned>(m_sources.size()); }
    const std::vector<ALuint>& GetSources() const { return m_sources; }
    size_t GetFreeCount() const { return m_free.size(); }
    size_t GetInUseCount() const;
    size_t GetActiveCount() const { return m_active.size(); }
    const std::list<Record>* GetInUse(int priorityClass) const;

private:
    void Unbind(Emitter& e);

    std::vector<ALuint> m_sources;
    std::list<ALuint> m_free;
    std::vector<std::list<Record>> m_inUse;
    std::list<std::shared_ptr<Emitter>> m_active;
};

}  // namespace Audio
