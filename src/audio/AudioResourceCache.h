// Resource names of the resources file turned into loaded sound buffers, each
// loaded once and shared by every later use.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

namespace Audio {

class IBuffer;

struct ResourceInfo {
    enum Type : int { kNone = -1, kWav = 0, kOgg = 1 };
    std::string fileName;
    int type = kNone;
};

class AudioResourceCache {
public:
    AudioResourceCache() = default;
    ~AudioResourceCache();
    AudioResourceCache(const AudioResourceCache&) = delete;
    AudioResourceCache& operator=(const AudioResourceCache&) = delete;

    // Stores the resources file name, also the console variable "audio_resrc_config".
    void SetConfigFile(const std::string& fileName);
    const std::string& GetConfigFile() const { return m_configFile; }

    // From the definitions, else read from the resources file (also stored
    // when the section or its keys are missing).
    const ResourceInfo& GetResourceInfo(const std::string& name);
    // Cached, else created, loaded and cached; empty on failure (tried
    // again at the next request; the warning is given once per resource).
    std::shared_ptr<IBuffer> GetBuffer(const std::string& name);
    // Unload on every cached buffer; the entries stay.
    void UnloadAll();
    // Forgets every definition; unloads and forgets every buffer no emitter
    // is attached to.
    void ReleaseUnused();

    size_t GetCachedCount() const { return m_buffers.size(); }
    bool IsCached(const std::string& name) const { return m_buffers.count(name) != 0; }

private:
    std::string m_configFile;
    std::map<std::string, std::shared_ptr<IBuffer>> m_buffers;
    std::map<std::string, ResourceInfo> m_definitions;
    std::set<std::string> m_warned;
    bool m_registered = false;
};

}  // namespace Audio
