// Sound file encoders of the data generator (also used by the audio tests to
// make their fixtures): 16-bit PCM WAV and Ogg Vorbis through libvorbisenc.
// Both give the same bytes for the same samples every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace GenData {

// Interleaved samples in -1..1 (clipped) as a 16-bit PCM WAV file.
std::string EncodeWav(const std::vector<float>& interleaved, int channels, int rate);

// Interleaved samples in -1..1 as an Ogg Vorbis file of variable bit rate
// (quality -0.1..1). Empty on an encoder failure.
// `tag`, when given, is stored as a comment (so a later run can tell the
// file was made from the same samples).
std::string EncodeOgg(const std::vector<float>& interleaved, int channels, int rate, float quality,
                      const std::string& tag = std::string());

}  // namespace GenData
