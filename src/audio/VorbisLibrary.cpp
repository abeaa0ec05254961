#include "audio/VorbisLibrary.h"

#include <dlfcn.h>

#include <string>

#include "utility/Diagnostics.h"

namespace Audio {
namespace {

void* g_handle = nullptr;
int g_openDecoders = 0;
bool g_unloadPending = false;

template <class F>
bool Bind(F& slot, const char* name) {
    slot = reinterpret_cast<F>(dlsym(g_handle, name));
    return slot != nullptr;
}

}  // namespace

VorbisFunctions& Vorbis() {
    static VorbisFunctions table;
    return table;
}

bool LoadVorbisLibrary(const char* libraryName) {
    VorbisFunctions& t = Vorbis();
    g_unloadPending = false;
    if (t.available) return true;
    if (!g_handle) g_handle = dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (!g_handle) {
        Utility::ReportWarning(std::string("audio: ") + libraryName + " cannot be loaded; Ogg Vorbis music stays silent");
        return false;
    }
    bool all = true;
    all = Bind(t.ov_clear, "ov_clear") && all;
    all = Bind(t.ov_read, "ov_read") && all;
    all = Bind(t.ov_pcm_total, "ov_pcm_total") && all;
    all = Bind(t.ov_info, "ov_info") && all;
    all = Bind(t.ov_comment, "ov_comment") && all;
    all = Bind(t.ov_open_callbacks, "ov_open_callbacks") && all;
    all = Bind(t.ov_raw_seek, "ov_raw_seek") && all;
    all = Bind(t.ov_time_seek, "ov_time_seek") && all;
    all = Bind(t.ov_time_seek_lap, "ov_time_seek_lap") && all;
    t.available = all;
    if (!all)
        Utility::ReportWarning(std::string("audio: ") + libraryName +
                               " lacks an Ogg Vorbis entry point; Ogg Vorbis music stays silent");
    return all;
}

void UnloadVorbisLibrary() {
    if (g_openDecoders > 0) {
        g_unloadPending = true;
        return;
    }
    g_unloadPending = false;
    Vorbis() = VorbisFunctions();
    if (g_handle) dlclose(g_handle);
    g_handle = nullptr;
}

void NoteDecoderOpened() { ++g_openDecoders; }

void NoteDecoderClosed() {
    if (g_openDecoders > 0) --g_openDecoders;
    if (g_openDecoders == 0 && g_unloadPending) UnloadVorbisLibrary();
}

}  // namespace Audio
