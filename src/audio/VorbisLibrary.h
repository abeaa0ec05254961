// libvorbisfile bound at run time, so the game runs (without Ogg Vorbis
// sounds) where the library is missing. One process-wide table of the entry
// points; tests may replace single entries.
#pragma once

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>  // types only: nothing links against the library

namespace Audio {

constexpr const char* kVorbisLibraryName = "libvorbisfile.so.3";

struct VorbisFunctions {
    int (*ov_clear)(OggVorbis_File*) = nullptr;
    long (*ov_read)(OggVorbis_File*, char*, int, int, int, int, int*) = nullptr;
    ogg_int64_t (*ov_pcm_total)(OggVorbis_File*, int) = nullptr;
    vorbis_info* (*ov_info)(OggVorbis_File*, int) = nullptr;
    vorbis_comment* (*ov_comment)(OggVorbis_File*, int) = nullptr;
    int (*ov_open_callbacks)(void*, OggVorbis_File*, const char*, long, ov_callbacks) = nullptr;
    int (*ov_raw_seek)(OggVorbis_File*, ogg_int64_t) = nullptr;
    int (*ov_time_seek)(OggVorbis_File*, double) = nullptr;
    int (*ov_time_seek_lap)(OggVorbis_File*, double) = nullptr;
    bool available = false;
};

VorbisFunctions& Vorbis();

// Loads the library and its nine entry points unless they are already
// available. False, after one line saying why, when the library or one of
// the entry points is missing; Ogg Vorbis sounds then fail to load.
bool LoadVorbisLibrary(const char* libraryName = kVorbisLibraryName);
// Frees the library and clears the table; while decoders are still open
// (streams that outlive their manager) the library stays until the last one
// is closed, so their decoders are freed by the library that made them.
void UnloadVorbisLibrary();
// Kept by the streams: one more or one fewer open decoder.
void NoteDecoderOpened();
void NoteDecoderClosed();

}  // namespace Audio
