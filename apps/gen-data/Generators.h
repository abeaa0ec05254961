// The steps of the data generator. Each makes one kind of generated asset in
// the data folder from descriptions or code in the repository, writes a file
// only when its bytes change (so a second run touches nothing), and returns
// false after printing what went wrong.
#pragma once

#include <string>

namespace GenData {

// Writes bytes to path (creating folders) unless the file already holds them.
// False after printing the reason.
bool WriteIfChanged(const std::string& path, const std::string& bytes);

// Level bitmaps from the descriptions in <data>/Levels/src/*.txt.
bool GenerateLevels(const std::string& dataDir);

// Static models as text .x files in <data>/Models/.
bool GenerateMeshes(const std::string& dataDir);
// PNG textures in <data>/Textures/: blocks, ground, sky, team, interface and
// particle pictures.
bool GenerateTextures(const std::string& dataDir);
// The two teams' skinned, animated characters (Models/) and their texture atlases.
bool GenerateCharacters(const std::string& dataDir);
// A picture of each level from above (Textures/Preview_<bitmap name>.png).
bool GenerateLevelPreviews(const std::string& dataDir);
// Sound effects (WAV) and music (Ogg Vorbis), synthesised.
bool GenerateSounds(const std::string& dataDir);

}  // namespace GenData
