// The game's sounds and music, synthesised: short WAV effects for every sound
// the effects file names, and two looping Ogg Vorbis tracks. Everything is
// computed from fixed numbers (our own noise generator), so every run writes
// the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Generators.h"
#include "SoundWriters.h"

namespace GenData {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFxRate = 44100;
constexpr int kMusicRate = 44100;

// A deterministic noise source (the C library's rand differs between systems).
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed) {}
    float Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>((state >> 8) & 0xFFFF) / 32768.0f - 1.0f;
    }
};

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

enum class Wave { Sine, Triangle, Saw, Square };

// Smooths a waveform's jump over one sample either side (PolyBLEP), so saw
// and square waves do not fold harmonics above half the rate back down.
double Blep(double t, double dt) {
    if (dt <= 0.0) return 0.0;
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// One sample of a waveform; phase in cycles, dt the phase step per sample.
double Shape(Wave w, double phase, double dt = 0.0) {
    const double p = phase - std::floor(phase);
    switch (w) {
        case Wave::Sine: return std::sin(2.0 * kPi * p);
        case Wave::Triangle: return p < 0.5 ? 4.0 * p - 1.0 : 3.0 - 4.0 * p;
        case Wave::Saw: return 2.0 * p - 1.0 - Blep(p, dt);
        case Wave::Square: {
            const double q = p + 0.5 - std::floor(p + 0.5);
            return 0.8 * ((p < 0.5 ? 1.0 : -1.0) + Blep(p, dt) - Blep(q, dt));
        }
    }
    return 0.0;
}

// A mono sound under construction.
struct Sound {
    int rate;
    std::vector<float> s;
    Sound(int r, double seconds) : rate(r), s(static_cast<size_t>(seconds * r), 0.0f) {}
    size_t At(double t) const { return static_cast<size_t>(std::max(0.0, t) * rate); }

    // A tone gliding from f0 to f1 (exponentially) with attack and
    // exponential decay; vibrato depth in semitones.
    void Tone(double start, double dur, double f0, double f1, double amp, Wave w, double attack, double decay,
              double vibHz = 0.0, double vibDepth = 0.0) {
        double phase = 0.0;
        const size_t a = At(start), n = At(dur);
        for (size_t i = 0; i < n && a + i < s.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            double f = f0 * std::pow(f1 / f0, t / dur);
            if (vibDepth > 0.0) f *= std::pow(2.0, vibDepth * std::sin(2.0 * kPi * vibHz * t) / 12.0);
            phase += f / rate;
            const double env = std::min(1.0, t / std::max(attack, 1e-4)) * std::exp(-t / decay) *
                               std::min(1.0, (dur - t) / 0.005);
            s[a + i] += static_cast<float>(amp * env * Shape(w, phase, f / rate));
        }
    }
    // Low-passed noise whose cut-off glides from c0 to c1 Hz.
    void Hiss(double start, double dur, double c0, double c1, double amp, double attack, double decay, uint32_t seed) {
        Noise noise(seed);
        double lp = 0.0, lp2 = 0.0;
        const size_t a = At(start), n = At(dur);
        for (size_t i = 0; i < n && a + i < s.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            const double c = c0 * std::pow(c1 / c0, t / dur);
            const double k = 1.0 - std::exp(-2.0 * kPi * c / rate);
            lp += k * (noise.Next() - lp);
            lp2 += k * (lp - lp2);
            const double env = std::min(1.0, t / std::max(attack, 1e-4)) * std::exp(-t / decay) *
                               std::min(1.0, (dur - t) / 0.005);
            s[a + i] += static_cast<float>(amp * env * lp2 * 2.0);
        }
    }
    // A bell: a few inharmonic partials.
    void Bell(double start, double hz, double amp, double decay) {
        const double ratios[] = {1.0, 2.0, 3.01, 4.2};
        const double amps[] = {1.0, 0.45, 0.22, 0.1};
        for (int i = 0; i < 4; ++i)
            Tone(start, std::min(decay * 5.0, 3.0), hz * ratios[i], hz * ratios[i], amp * amps[i], Wave::Sine, 0.003,
                 decay / (1.0 + i * 0.6));
    }
    // A voice-like vowel: a buzzing source through two resonances.
    void Vowel(double start, double dur, double f0, double f1, double formant1, double formant2, double amp) {
        Sound src(rate, dur);
        src.Tone(0.0, dur, f0, f1, 1.0, Wave::Saw, 0.03, dur * 0.8, 5.5, 0.25);
        const double bands[2][2] = {{formant1, 1.0}, {formant2, 0.6}};
        for (const auto& b : bands) {
            // Two-pole resonator.
            const double r = 0.985, w = 2.0 * kPi * b[0] / rate;
            const double c1 = 2.0 * r * std::cos(w), c2 = -r * r;
            double y1 = 0.0, y2 = 0.0;
            for (size_t i = 0; i < src.s.size() && At(start) + i < s.size(); ++i) {
                const double y = (1.0 - r) * src.s[i] + c1 * y1 + c2 * y2;
                y2 = y1;
                y1 = y;
                s[At(start) + i] += static_cast<float>(amp * b[1] * y * 6.0);
            }
        }
    }
    void Normalise(double peak) {
        float most = 0.0f;
        for (float v : s) most = std::max(most, std::fabs(v));
        if (most > 0.0f)
            for (float& v : s) v = static_cast<float>(v * peak / most);
    }
};

// A small room: four feedback combs and two all-passes (Schroeder), mixed in.
std::vector<float> Room(const std::vector<float>& in, int rate, double mix, double size) {
    const int combs[] = {1116, 1188, 1277, 1356};
    std::vector<float> out(in.size(), 0.0f);
    for (int c : combs) {
        const size_t d = static_cast<size_t>(c * size * rate / 44100.0);
        std::vector<float> line(d, 0.0f);
        size_t pos = 0;
        float damp = 0.0f;
        for (size_t i = 0; i < in.size(); ++i) {
            const float y = line[pos];
            damp = 0.7f * y + 0.3f * damp;
            line[pos] = in[i] + 0.78f * damp;
            pos = (pos + 1) % d;
            out[i] += y * 0.25f;
        }
    }
    for (int a : {556, 441}) {
        const size_t d = static_cast<size_t>(a * rate / 44100.0);
        std::vector<float> line(d, 0.0f);
        size_t pos = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            const float b = line[pos];
            const float x = out[i];
            line[pos] = x + 0.5f * b;
            out[i] = b - 0.5f * x;
            pos = (pos + 1) % d;
        }
    }
    std::vector<float> mixed(in.size());
    for (size_t i = 0; i < in.size(); ++i) mixed[i] = static_cast<float>(in[i] * (1.0 - mix) + out[i] * mix);
    return mixed;
}

std::vector<float> Finish(Sound& snd, double peak, double room = 0.0) {
    if (room > 0.0) snd.s = Room(snd.s, snd.rate, room, 0.6);
    snd.Normalise(peak);
    // Short fades so no sound starts or ends with a click.
    const size_t edge = std::min(snd.s.size() / 4, static_cast<size_t>(snd.rate / 400));
    for (size_t i = 0; i < edge; ++i) {
        const float g = static_cast<float>(i) / static_cast<float>(edge);
        snd.s[i] *= g;
        snd.s[snd.s.size() - 1 - i] *= g;
    }
    return snd.s;
}

// Notes played one after another as bells or plucks.
std::vector<float> Jingle(const std::vector<int>& notes, double step, double decay, Wave w, double peak, double room,
                          double tail = 0.6) {
    Sound s(kFxRate, step * notes.size() + tail);
    for (size_t i = 0; i < notes.size(); ++i) {
        if (notes[i] < 0) continue;
        if (w == Wave::Sine)
            s.Bell(step * i, NoteHz(notes[i]), 0.5, decay);
        else
            s.Tone(step * i, decay * 4.0, NoteHz(notes[i]), NoteHz(notes[i]), 0.4, w, 0.005, decay);
    }
    return Finish(s, peak, room);
}

struct Effect {
    const char* name;
    std::function<std::vector<float>()> make;
};

std::vector<Effect> Effects() {
    return {
        // Jumps: a soft rising spring, three pitches.
        {"JumpSelf1", [] { Sound s(kFxRate, 0.22); s.Tone(0, 0.22, 260, 620, 0.6, Wave::Triangle, 0.005, 0.09); return Finish(s, 0.5); }},
        {"JumpSelf2", [] { Sound s(kFxRate, 0.22); s.Tone(0, 0.22, 300, 700, 0.6, Wave::Triangle, 0.005, 0.09); return Finish(s, 0.5); }},
        {"JumpSelf3", [] { Sound s(kFxRate, 0.22); s.Tone(0, 0.22, 230, 560, 0.6, Wave::Triangle, 0.005, 0.09); return Finish(s, 0.5); }},
        // Throws: a whoosh.
        {"ThrowBlock3D", [] { Sound s(kFxRate, 0.35); s.Hiss(0, 0.35, 600, 3500, 0.8, 0.08, 0.12, 11); return Finish(s, 0.6); }},
        // Blocks knocking together, harder and brighter with speed.
        {"CollisionSlow", [] { Sound s(kFxRate, 0.15); s.Tone(0, 0.15, 190, 170, 0.7, Wave::Sine, 0.001, 0.03); s.Hiss(0, 0.03, 2500, 900, 0.3, 0.0005, 0.008, 21); return Finish(s, 0.35); }},
        {"CollisionMed", [] { Sound s(kFxRate, 0.2); s.Tone(0, 0.2, 230, 200, 0.7, Wave::Sine, 0.001, 0.045); s.Hiss(0, 0.04, 3500, 900, 0.4, 0.0005, 0.01, 22); return Finish(s, 0.5); }},
        {"CollisionFast", [] { Sound s(kFxRate, 0.3); s.Tone(0, 0.3, 270, 220, 0.7, Wave::Sine, 0.001, 0.06); s.Tone(0, 0.3, 410, 380, 0.3, Wave::Sine, 0.001, 0.04); s.Hiss(0, 0.06, 5000, 1000, 0.5, 0.0005, 0.015, 23); return Finish(s, 0.7); }},
        {"CollisionPlayer", [] { Sound s(kFxRate, 0.25); s.Tone(0, 0.25, 110, 70, 0.9, Wave::Sine, 0.002, 0.07); s.Hiss(0, 0.08, 1200, 300, 0.4, 0.001, 0.03, 24); return Finish(s, 0.6); }},
        // Explosions and bombs.
        {"Explosion", [] { Sound s(kFxRate, 1.6); s.Hiss(0, 1.6, 4000, 120, 1.0, 0.003, 0.35, 31); s.Tone(0, 1.2, 70, 35, 0.8, Wave::Sine, 0.004, 0.3); return Finish(s, 0.85, 0.25); }},
        {"BombSpawn", [] { Sound s(kFxRate, 0.45); s.Tone(0, 0.12, 900, 500, 0.6, Wave::Sine, 0.001, 0.04); s.Hiss(0.05, 0.4, 6000, 3000, 0.25, 0.02, 0.12, 32); return Finish(s, 0.5); }},
        // Players appearing and falling.
        {"Spawn", [] { return Jingle({72, 76, 79, 84}, 0.06, 0.25, Wave::Sine, 0.55, 0.3); }},
        {"Death3D", [] { Sound s(kFxRate, 0.6); s.Tone(0, 0.6, 520, 90, 0.7, Wave::Square, 0.005, 0.25); s.Hiss(0, 0.3, 2000, 300, 0.2, 0.005, 0.1, 41); return Finish(s, 0.55); }},
        {"DeathSelf", [] { Sound s(kFxRate, 0.9); s.Tone(0, 0.9, 300, 60, 0.7, Wave::Triangle, 0.005, 0.4); s.Tone(0, 0.9, 450, 90, 0.3, Wave::Sine, 0.005, 0.3); return Finish(s, 0.6, 0.25); }},
        // The whistle that calls bots.
        {"Whistle", [] { Sound s(kFxRate, 0.7); s.Tone(0, 0.7, 2300, 2250, 0.6, Wave::Sine, 0.02, 2.0, 28, 0.4); s.Hiss(0, 0.7, 5000, 5000, 0.06, 0.02, 2.0, 51); return Finish(s, 0.55); }},
        // Flags.
        {"FlagCap3D", [] { return Jingle({60, 64, 67, 72, 76}, 0.07, 0.5, Wave::Sine, 0.7, 0.3); }},
        {"FlagRecover3D", [] { return Jingle({67, 72}, 0.12, 0.35, Wave::Sine, 0.55, 0.25); }},
        {"FlagAutoRecover3D", [] { return Jingle({64, 69}, 0.14, 0.3, Wave::Sine, 0.4, 0.25); }},
        {"FlagSpawn3D", [] { return Jingle({84, 88, 91}, 0.05, 0.3, Wave::Sine, 0.4, 0.3); }},
        {"AngelFlagTaken", [] { return Jingle({76, 79, 83}, 0.09, 0.12, Wave::Triangle, 0.6, 0.2); }},
        {"DemonFlagTaken", [] { return Jingle({57, 60, 63}, 0.09, 0.12, Wave::Saw, 0.5, 0.2); }},
        {"AngelScore", [] { return Jingle({72, 76, 79, 84}, 0.11, 0.18, Wave::Triangle, 0.65, 0.3); }},
        {"DemonScore", [] { return Jingle({57, 60, 64, 69}, 0.11, 0.18, Wave::Saw, 0.55, 0.3); }},
        {"AngelFlagDropped", [] { return Jingle({83, 79, 76}, 0.08, 0.12, Wave::Triangle, 0.5, 0.2); }},
        {"DemonFlagDropped", [] { return Jingle({63, 60, 57}, 0.08, 0.12, Wave::Saw, 0.42, 0.2); }},
        {"AngelFlagRecovered", [] { return Jingle({72, 79, 84}, 0.08, 0.15, Wave::Triangle, 0.55, 0.25); }},
        {"DemonFlagRecovered", [] { return Jingle({57, 64, 69}, 0.08, 0.15, Wave::Saw, 0.45, 0.25); }},
        {"AngelFlagReturned", [] { return Jingle({76, 72}, 0.12, 0.2, Wave::Sine, 0.45, 0.25); }},
        {"DemonFlagReturned", [] { return Jingle({60, 57}, 0.12, 0.2, Wave::Sine, 0.4, 0.25); }},
        {"FlagCapFriendly", [] { return Jingle({67, 72, 76, 79, 84}, 0.09, 0.3, Wave::Sine, 0.7, 0.3); }},
        {"FlagCapEnemy", [] { return Jingle({69, 65, 62, 57}, 0.12, 0.25, Wave::Triangle, 0.6, 0.3); }},
        // Interface.
        {"UIMouseClick", [] { Sound s(kFxRate, 0.05); s.Tone(0, 0.05, 1500, 1200, 0.6, Wave::Sine, 0.001, 0.012); return Finish(s, 0.4); }},
        {"UIMouseOver", [] { Sound s(kFxRate, 0.07); s.Tone(0, 0.07, 880, 990, 0.5, Wave::Sine, 0.004, 0.025); return Finish(s, 0.22); }},
        {"UIMouseOut", [] { Sound s(kFxRate, 0.07); s.Tone(0, 0.07, 760, 680, 0.5, Wave::Sine, 0.004, 0.025); return Finish(s, 0.15); }},
        {"SpawnCountdown", [] { Sound s(kFxRate, 0.12); s.Tone(0, 0.12, 1000, 1000, 0.6, Wave::Sine, 0.002, 0.04); return Finish(s, 0.45); }},
        {"AddBlockToPouchUI", [] { Sound s(kFxRate, 0.12); s.Tone(0, 0.12, 500, 1100, 0.6, Wave::Sine, 0.002, 0.04); return Finish(s, 0.4); }},
        {"AddBlockToFullPouch", [] { Sound s(kFxRate, 0.25); s.Tone(0, 0.25, 150, 140, 0.5, Wave::Square, 0.005, 0.1); s.Tone(0, 0.25, 155, 145, 0.4, Wave::Square, 0.005, 0.1); return Finish(s, 0.35); }},
        {"SpeechBubblePopup", [] { Sound s(kFxRate, 0.1); s.Tone(0, 0.1, 600, 1400, 0.6, Wave::Sine, 0.002, 0.03); return Finish(s, 0.35); }},
        {"SpeechBubblePopupTutorial", [] { Sound s(kFxRate, 0.25); s.Tone(0, 0.1, 700, 1300, 0.6, Wave::Sine, 0.002, 0.03); s.Tone(0.1, 0.12, 900, 1700, 0.6, Wave::Sine, 0.002, 0.035); return Finish(s, 0.4); }},
        // Voice-like calls: vowels with a pitch contour.
        {"DeathSelfVO", [] { Sound s(kFxRate, 0.8); s.Vowel(0, 0.7, 220, 140, 500, 900, 1.0); return Finish(s, 0.55, 0.15); }},
        {"DeathSelfVO2", [] { Sound s(kFxRate, 0.8); s.Vowel(0, 0.35, 240, 230, 700, 1200, 1.0); s.Vowel(0.35, 0.4, 210, 130, 450, 800, 1.0); return Finish(s, 0.55, 0.15); }},
        {"DeathSelfVO3", [] { Sound s(kFxRate, 0.8); s.Vowel(0, 0.7, 180, 110, 400, 800, 1.0); return Finish(s, 0.55, 0.15); }},
        {"DeathSelfVO4", [] { Sound s(kFxRate, 0.8); s.Vowel(0, 0.7, 260, 150, 650, 1100, 1.0); return Finish(s, 0.55, 0.15); }},
        {"KilledSomeoneVO", [] { Sound s(kFxRate, 0.6); s.Vowel(0, 0.5, 180, 300, 700, 1200, 1.0); return Finish(s, 0.55, 0.15); }},
        {"KilledSomeoneVO2", [] { Sound s(kFxRate, 0.6); s.Vowel(0, 0.2, 200, 220, 300, 2200, 1.0); s.Vowel(0.2, 0.35, 220, 320, 700, 1200, 1.0); return Finish(s, 0.55, 0.15); }},
        {"KilledSomeoneVO3", [] { Sound s(kFxRate, 0.6); s.Vowel(0, 0.5, 160, 260, 500, 1000, 1.0); return Finish(s, 0.55, 0.15); }},
        {"BoomVO", [] { Sound s(kFxRate, 0.7); s.Vowel(0, 0.6, 120, 90, 350, 700, 1.0); return Finish(s, 0.6, 0.2); }},
        {"BoomVO2", [] { Sound s(kFxRate, 0.7); s.Vowel(0, 0.6, 140, 85, 400, 750, 1.0); return Finish(s, 0.6, 0.2); }},
        {"CelebrateVO1", [] { Sound s(kFxRate, 0.8); s.Vowel(0, 0.25, 220, 260, 700, 1200, 1.0); s.Vowel(0.25, 0.45, 290, 340, 700, 1200, 1.0); return Finish(s, 0.55, 0.15); }},
        {"CelebrateVO2", [] { Sound s(kFxRate, 0.7); s.Vowel(0, 0.6, 200, 380, 300, 2200, 1.0); return Finish(s, 0.55, 0.15); }},
        {"CelebrateVO3", [] { Sound s(kFxRate, 0.8); s.Vowel(0, 0.2, 260, 260, 700, 1200, 1.0); s.Vowel(0.2, 0.2, 330, 330, 700, 1200, 1.0); s.Vowel(0.4, 0.35, 390, 400, 700, 1200, 1.0); return Finish(s, 0.55, 0.15); }},
        // The title and the credits.
        {"Mirav1", [] { return Jingle({64, 71, 69, 76}, 0.16, 0.5, Wave::Sine, 0.6, 0.35, 1.0); }},
        {"Mirav2", [] { return Jingle({69, 76, 74, 81}, 0.16, 0.5, Wave::Sine, 0.6, 0.35, 1.0); }},
        {"Credits", [] { return Jingle({60, 64, 67, 71, 72, 67, 64, 60}, 0.22, 0.6, Wave::Sine, 0.55, 0.35, 1.2); }},
    };
}

// ---- Music -----------------------------------------------------------------

// A stereo loop under construction. Notes that ring past the end wrap round
// to the start, so the loop has no seam.
struct Loop {
    size_t frames;
    std::vector<float> left, right;
    explicit Loop(double seconds)
        : frames(static_cast<size_t>(seconds * kMusicRate)), left(frames, 0.0f), right(frames, 0.0f) {}

    // cutoff: a gentle two-pole low-pass (Hz) to soften bright waves; 0 = none.
    void Note(double start, double dur, double hz, double amp, Wave w, double attack, double release, double pan,
              double detune = 0.0, double cutoff = 0.0) {
        const double k = cutoff > 0.0 ? 1.0 - std::exp(-2.0 * kPi * cutoff / kMusicRate) : 1.0;
        double lp1 = 0.0, lp2 = 0.0;
        const size_t a = static_cast<size_t>(start * kMusicRate);
        const size_t n = static_cast<size_t>((dur + release) * kMusicRate);
        double p1 = 0.0, p2 = 0.25;
        const double l = std::sqrt(0.5 * (1.0 - pan)), r = std::sqrt(0.5 * (1.0 + pan));
        for (size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            double env = std::min(1.0, t / attack);
            if (t > dur) env *= std::exp(-(t - dur) / (release * 0.3));
            p1 += hz / kMusicRate;
            p2 += hz * (1.0 + detune) / kMusicRate;
            const double d1 = hz / kMusicRate, d2 = d1 * (1.0 + detune);
            const double raw = detune != 0.0 ? 0.5 * (Shape(w, p1, d1) + Shape(w, p2, d2)) : Shape(w, p1, d1);
            lp1 += k * (raw - lp1);
            lp2 += k * (lp1 - lp2);
            const double v = amp * env * lp2;
            const size_t k = (a + i) % frames;
            left[k] += static_cast<float>(v * l);
            right[k] += static_cast<float>(v * r);
        }
    }
    void Pluck(double start, double hz, double amp, double decay, double pan) {
        const size_t a = static_cast<size_t>(start * kMusicRate);
        const size_t n = static_cast<size_t>(decay * 6.0 * kMusicRate);
        const double l = std::sqrt(0.5 * (1.0 - pan)), r = std::sqrt(0.5 * (1.0 + pan));
        double phase = 0.0;
        for (size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            phase += hz / kMusicRate;
            const double env = std::min(1.0, t / 0.003) * std::exp(-t / decay);
            const double v = amp * env * (Shape(Wave::Triangle, phase) * 0.7 + Shape(Wave::Sine, 2.0 * phase) * 0.3);
            const size_t k = (a + i) % frames;
            left[k] += static_cast<float>(v * l);
            right[k] += static_cast<float>(v * r);
        }
    }
    void Kick(double start, double amp) {
        const size_t a = static_cast<size_t>(start * kMusicRate);
        double phase = 0.0;
        for (size_t i = 0; i < static_cast<size_t>(0.3 * kMusicRate); ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            phase += (45.0 + 90.0 * std::exp(-t / 0.03)) / kMusicRate;
            const double v = amp * std::exp(-t / 0.09) * std::sin(2.0 * kPi * phase);
            const size_t k = (a + i) % frames;
            left[k] += static_cast<float>(v);
            right[k] += static_cast<float>(v);
        }
    }
    void Hat(double start, double amp, double decay, uint32_t seed, double pan) {
        Noise noise(seed);
        const size_t a = static_cast<size_t>(start * kMusicRate);
        double prev = 0.0;
        const double l = std::sqrt(0.5 * (1.0 - pan)), r = std::sqrt(0.5 * (1.0 + pan));
        for (size_t i = 0; i < static_cast<size_t>(decay * 6.0 * kMusicRate); ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            const double x = noise.Next();
            const double v = amp * std::exp(-t / decay) * (x - prev);  // high-passed
            prev = x;
            const size_t k = (a + i) % frames;
            left[k] += static_cast<float>(v * l);
            right[k] += static_cast<float>(v * r);
        }
    }
    std::vector<float> Mixed(double room, double peak) {
        // The room is run over the loop twice so its tail wraps into the start too.
        std::vector<float> twice(left);
        twice.insert(twice.end(), left.begin(), left.end());
        std::vector<float> wl = Room(twice, kMusicRate, room, 1.0);
        twice.assign(right.begin(), right.end());
        twice.insert(twice.end(), right.begin(), right.end());
        std::vector<float> wr = Room(twice, kMusicRate, room, 1.07);
        std::vector<float> out(frames * 2);
        float most = 0.0f;
        for (size_t i = 0; i < frames; ++i) {
            out[2 * i] = wl[frames + i];
            out[2 * i + 1] = wr[frames + i];
            most = std::max({most, std::fabs(out[2 * i]), std::fabs(out[2 * i + 1])});
        }
        if (most > 0.0f)
            for (float& v : out) v = static_cast<float>(v * peak / most);
        return out;
    }
};

// Chords as MIDI roots with minor/major thirds.
struct Chord { int root; bool minor; };

std::vector<float> MenuMusic() {
    // Calm: 76 beats a minute, Am F C G twice, soft pads, a slow arpeggio and bass.
    const double beat = 60.0 / 76.0;
    const Chord chords[] = {{57, true}, {53, false}, {60, false}, {55, false}, {57, true}, {53, false}, {62, true}, {64, false}};
    const int bars = 16;
    Loop loop(bars * 4 * beat);
    for (int bar = 0; bar < bars; ++bar) {
        const Chord c = chords[bar % 8];
        const double t = bar * 4 * beat;
        const int third = c.root + (c.minor ? 3 : 4), fifth = c.root + 7;
        for (int n : {c.root, third, fifth, c.root + 12})
            loop.Note(t, 4 * beat, NoteHz(n), 0.07, Wave::Saw, 0.8, 1.5, (n % 3 - 1) * 0.4, 0.004, 1500.0);
        loop.Note(t, 4 * beat * 0.95, NoteHz(c.root - 24), 0.22, Wave::Sine, 0.05, 0.4, 0.0);
        const int arp[] = {c.root + 12, third + 12, fifth + 12, c.root + 24, fifth + 12, third + 12, c.root + 12, fifth};
        for (int i = 0; i < 8; ++i)
            loop.Pluck(t + i * beat / 2, NoteHz(arp[i]), 0.12, 0.35, i % 2 ? 0.35 : -0.35);
        if (bar % 4 == 3) loop.Pluck(t + 3.5 * beat, NoteHz(fifth + 24), 0.06, 0.6, 0.5);
    }
    return loop.Mixed(0.35, 0.6);
}

std::vector<float> LevelMusic() {
    // Lively: 118 beats a minute, Dm Bb F C, drums, driving bass, bright arpeggio.
    const double beat = 60.0 / 118.0;
    const Chord chords[] = {{62, true}, {58, false}, {53, false}, {60, false}};
    const int bars = 16;
    Loop loop(bars * 4 * beat);
    for (int bar = 0; bar < bars; ++bar) {
        const Chord c = chords[bar % 4];
        const double t = bar * 4 * beat;
        const int third = c.root + (c.minor ? 3 : 4), fifth = c.root + 7;
        for (int n : {c.root, third, fifth})
            loop.Note(t, 4 * beat, NoteHz(n), 0.045, Wave::Saw, 0.3, 0.8, (n % 3 - 1) * 0.5, 0.005, 2500.0);
        for (int i = 0; i < 8; ++i) {
            const int bassNote = (i % 4 == 3) ? c.root - 12 + 7 : c.root - 12;
            loop.Note(t + i * beat / 2, beat / 2 * 0.8, NoteHz(bassNote - 12), 0.2, Wave::Triangle, 0.005, 0.08, 0.0);
        }
        const int arp[] = {c.root + 12, fifth + 12, third + 12, fifth + 12};
        for (int i = 0; i < 16; ++i)
            if (bar >= 4 || i % 2 == 0)
                loop.Pluck(t + i * beat / 4, NoteHz(arp[i % 4] + (i >= 8 && bar % 2 ? 12 : 0)), 0.07, 0.12,
                           i % 2 ? 0.4 : -0.4);
        for (int b = 0; b < 4; ++b) {
            loop.Kick(t + b * beat, 0.5);
            loop.Hat(t + b * beat + beat / 2, 0.12, 0.03, 100u + static_cast<uint32_t>(bar * 4 + b), 0.3);
            if (b % 2 == 1) loop.Hat(t + b * beat, 0.2, 0.09, 500u + static_cast<uint32_t>(bar * 4 + b), -0.1);
        }
    }
    return loop.Mixed(0.25, 0.6);
}

// True when the file's first few kilobytes (its Ogg headers) hold the text.
bool FileHeadContains(const std::string& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string head(8192, '\0');
    head.resize(std::fread(&head[0], 1, head.size(), f));
    std::fclose(f);
    return head.find(text) != std::string::npos;
}

// A fingerprint of the generator program itself: the sounds are a function
// of its code alone, so an unchanged program need not make them again.
std::string ProgramStamp() {
    std::FILE* f = std::fopen("/proc/self/exe", "rb");
    if (!f) return {};
    uint64_t hash = 1469598103934665603ull;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        for (size_t i = 0; i < n; ++i) hash = (hash ^ buf[i]) * 1099511628211ull;
    std::fclose(f);
    char text[32];
    std::snprintf(text, sizeof text, "%016llx\n", static_cast<unsigned long long>(hash));
    return text;
}

bool Exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

}  // namespace

bool GenerateSounds(const std::string& dataDir) {
    const std::string stampPath = dataDir + "/Sounds/generator.stamp";
    const std::string stamp = ProgramStamp();
    bool complete = !stamp.empty() && FileHeadContains(stampPath, stamp) && Exists(dataDir + "/Music/MenuMusic.ogg") &&
                    Exists(dataDir + "/Music/Level1Music.ogg");
    const std::vector<Effect> effects = Effects();
    for (const Effect& e : effects) complete = complete && Exists(dataDir + "/Sounds/" + e.name + ".wav");
    if (complete) return true;

    bool ok = true;
    for (const Effect& e : effects)
        ok = WriteIfChanged(dataDir + "/Sounds/" + e.name + ".wav", EncodeWav(e.make(), 1, kFxRate)) && ok;
    const struct { const char* file; std::vector<float> (*make)(); } tracks[] = {
        {"MenuMusic.ogg", &MenuMusic}, {"Level1Music.ogg", &LevelMusic}};
    for (const auto& t : tracks) {
        // Encoding is the slow part: a file whose comment names the same
        // samples is left as it is.
        const std::vector<float> pcm = t.make();
        uint64_t hash = 1469598103934665603ull;  // FNV-1a over the samples' bytes
        const auto* bytes = reinterpret_cast<const unsigned char*>(pcm.data());
        for (size_t i = 0; i < pcm.size() * sizeof(float); ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
        char tag[64];
        std::snprintf(tag, sizeof tag, "MIRAVPCM=%016llx", static_cast<unsigned long long>(hash));
        const std::string path = dataDir + "/Music/" + t.file;
        if (FileHeadContains(path, tag)) continue;
        const std::string ogg = EncodeOgg(pcm, 2, kMusicRate, 0.3f, tag);
        if (ogg.empty()) {
            std::fprintf(stderr, "mirav-gen-data: cannot encode %s\n", t.file);
            ok = false;
            continue;
        }
        ok = WriteIfChanged(path, ogg) && ok;
    }
    if (ok && !stamp.empty()) ok = WriteIfChanged(stampPath, stamp);
    return ok;
}

}  // namespace GenData
