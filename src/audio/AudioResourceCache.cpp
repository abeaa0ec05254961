#include "audio/AudioResourceCache.h"

#include "audio/AudioBuffer.h"
#include "audio/StreamingBuffer.h"
#include "ini/IniFile.h"
#include "utility/Console.h"
#include "utility/Diagnostics.h"

namespace Audio {

AudioResourceCache::~AudioResourceCache() {
    if (m_registered) Utility::Console::Unregister(this);
    m_buffers.clear();
}

void AudioResourceCache::SetConfigFile(const std::string& fileName) {
    m_configFile = fileName;
    if (!m_registered) {
        Utility::Console::RegisterVariable<std::string>("audio_resrc_config", &m_configFile, this);
        m_registered = true;
    }
}

const ResourceInfo& AudioResourceCache::GetResourceInfo(const std::string& name) {
    auto found = m_definitions.find(name);
    if (found != m_definitions.end()) return found->second;
    ResourceInfo info;
    const Utility::IniFile file(m_configFile);
    const Utility::Section section(name);
    file.GetTrimmedString(Utility::Key("filename"), section, info.fileName);
    std::string type;
    file.GetTrimmedString(Utility::Key("type"), section, type);
    if (type == "wav")
        info.type = ResourceInfo::kWav;
    else if (type == "ogg")
        info.type = ResourceInfo::kOgg;
    return m_definitions.emplace(name, info).first->second;
}

std::shared_ptr<IBuffer> AudioResourceCache::GetBuffer(const std::string& name) {
    auto found = m_buffers.find(name);
    if (found != m_buffers.end()) return found->second;
    const ResourceInfo& info = GetResourceInfo(name);
    std::shared_ptr<IBuffer> buffer;
    if (info.type == ResourceInfo::kWav)
        buffer = std::make_shared<Buffer>();
    else if (info.type == ResourceInfo::kOgg)
        buffer = std::make_shared<StreamingBuffer>();
    if (!buffer || !buffer->Load(info.fileName)) {
        if (m_warned.insert(name).second) {
            if (!buffer || info.fileName.empty())
                Utility::ReportWarning("audio: sound resource " + name + " is not defined in " + m_configFile);
            else if (!buffer->GetLoadError().empty())
                Utility::ReportWarning("audio: " + buffer->GetLoadError());
        }
        return nullptr;
    }
    m_buffers.emplace(name, buffer);
    return buffer;
}

void AudioResourceCache::UnloadAll() {
    for (auto& entry : m_buffers) entry.second->Unload();
}

void AudioResourceCache::ReleaseUnused() {
    m_definitions.clear();
    m_warned.clear();
    for (auto it = m_buffers.begin(); it != m_buffers.end();) {
        if (it->second->GetAttachCount() == 0) {
            it->second->Unload();
            it = m_buffers.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace Audio
