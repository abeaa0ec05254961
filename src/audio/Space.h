// Where game space meets OpenAL space. The game's coordinates are
// left-handed (x right, y up, z forward); OpenAL's are right-handed (z points
// back towards the listener). Every position, velocity and direction handed
// to OpenAL goes through ToOpenAL, so the flip lives in this one place.
#pragma once

namespace Audio {

inline void ToOpenAL(const float in[3], float out[3]) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = -in[2];
}

}  // namespace Audio
