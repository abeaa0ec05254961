// Skeletal animation on the CPU: keyed animation sets sampled with our own
// interpolation, a track mixer (tracks with set, enable, weight, speed and
// position, plus changes keyed at a time with linear weight transitions), and
// the animation controller that plays a model's animations per draw object
// with slots, toggled tracks, cross-fades, one-shots and pending requests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "utility/Geometry.h"

namespace Gfx {

struct XAnimationSet;

// A local transform: scale, then rotation, then translation.
struct Srt {
    Geometry::Vector3 scale{1.0f, 1.0f, 1.0f};
    Geometry::Quaternion rotation;
    Geometry::Vector3 translation;

    Geometry::Matrix4x4 ToMatrix() const;
};

// Shortest-path spherical interpolation; t in 0..1.
Geometry::Quaternion Slerp(const Geometry::Quaternion& a, const Geometry::Quaternion& b, float t);

class AnimationSet {
public:
    // The frame indices of the channels come from the loaded file.
    explicit AnimationSet(const XAnimationSet& source);

    const std::string& Name() const { return m_name; }
    // Seconds from the start to the last key; 0 for a single pose.
    double Period() const { return m_period; }
    size_t ChannelCount() const { return m_channels.size(); }
    int ChannelFrame(size_t channel) const { return m_channels[channel].frame; }
    // The channel's transform at a time in seconds; the set repeats after its period.
    Srt Sample(size_t channel, double seconds) const;

private:
    struct VKey {
        double t;
        Geometry::Vector3 v;
    };
    struct QKey {
        double t;
        Geometry::Quaternion q;
    };
    struct Channel {
        int frame = -1;
        std::vector<VKey> positions, scales;
        std::vector<QKey> rotations;
    };
    static Geometry::Vector3 At(const std::vector<VKey>& keys, double ticks);
    static Geometry::Quaternion At(const std::vector<QKey>& keys, double ticks);

    std::string m_name;
    double m_ticksPerSecond = 4800.0;
    double m_lastTicks = 0.0;
    double m_period = 0.0;
    std::vector<Channel> m_channels;
};

using AnimationSets = std::vector<AnimationSet>;

struct TrackDesc {
    int animationSet = -1;  // none
    bool enable = false;
    float weight = 1.0f;
    float speed = 1.0f;
    double position = 0.0;  // seconds into the set
};

// Our stand-in for a keyframed animation controller: a clock, tracks, and
// changes keyed on the clock. AdvanceTime first applies the keyed changes
// due by the new time, then moves every enabled track by dt x speed.
class AnimationMixer {
public:
    AnimationMixer(std::shared_ptr<const AnimationSets> sets, int tracks);

    // A fresh mixer over the same sets: own clock, tracks at their defaults, no keys.
    std::unique_ptr<AnimationMixer> Clone() const;

    int NumTracks() const { return static_cast<int>(m_tracks.size()); }
    int NumAnimationSets() const { return static_cast<int>(m_sets->size()); }
    const AnimationSet& GetAnimationSet(int index) const { return (*m_sets)[static_cast<size_t>(index)]; }
    double GetTime() const { return m_time; }

    // Out-of-range tracks or sets are ignored (false).
    bool SetTrackAnimationSet(int track, int set);
    bool SetTrackEnable(int track, bool enable);
    bool SetTrackWeight(int track, float weight);
    bool SetTrackSpeed(int track, float speed);
    bool SetTrackPosition(int track, double seconds);
    // The track is switched at the given clock time.
    bool KeyTrackEnable(int track, bool enable, double time);
    // The weight moves linearly from its value at start to the target over duration.
    bool KeyTrackWeight(int track, float weight, double start, double duration);
    TrackDesc GetTrackDesc(int track) const;

    void AdvanceTime(double seconds);

    // Local frame transforms: rest for frames no contributing track animates,
    // otherwise the weighted blend of the enabled tracks' sets.
    void Apply(const std::vector<Geometry::Matrix4x4>& rest, std::vector<Geometry::Matrix4x4>& out) const;

private:
    struct Key {
        enum Kind { Enable, Weight } kind;
        int track;
        double start;
        double duration;  // weight only
        float value;      // weight target, or 1/0 for enable
        float from = 0.0f;
        bool begun = false;
    };
    bool Valid(int track) const { return track >= 0 && track < NumTracks(); }

    std::shared_ptr<const AnimationSets> m_sets;
    std::vector<TrackDesc> m_tracks;
    std::vector<Key> m_keys;
    double m_time = 0.0;
};

struct AnimationRequest {
    int slot = 0;
    int animation = 0;
    float weight = 0.0f;
    float speed = 0.0f;
};

// A model's animations for all its draw objects: controller 0 is the model's
// own, each draw object clones one and keeps its index. A slot owns two
// tracks (2 x slot and 2 x slot + 1) that take turns, so a new animation
// fades in on one while the old one fades out on the other.
class AnimationController {
public:
    static constexpr double kFadeSeconds = 0.05;
    static constexpr float kFadeOutWeight = 0.1f;

    // trackCount: slots are below it, and the finish test looks at tracks
    // 0 .. trackCount - 1. The mixer gets two tracks per slot.
    AnimationController(std::shared_ptr<const AnimationSets> sets, int trackCount);

    // Where AdvanceTime writes the frames' local matrices (rest: the frames
    // no playing set animates).
    void BindOutput(const std::vector<Geometry::Matrix4x4>* rest, std::vector<Geometry::Matrix4x4>* locals) {
        m_rest = rest;
        m_locals = locals;
    }

    // A new controller for one draw object; its index (the first clone gets 1).
    bool Clone(int& index);
    void AdvanceTime(int index, double seconds);
    bool IsFinished(int index) const;
    bool PlayAnimation(int index, int slot, int animation, float speed, float weight, bool loop, bool immediate);

    // The request played when the controller's current animation has ended.
    bool SetRequest(int index, const AnimationRequest& request);
    const AnimationRequest* GetRequest(int index) const;

    int NumAnimationSets() const { return m_numAnimationSets; }
    int TrackCount() const { return m_trackCount; }
    int ControllerCount() const { return static_cast<int>(m_controllers.size()); }
    bool Owns(int index) const { return index >= 0 && index < ControllerCount(); }
    const AnimationMixer* Mixer(int index) const { return Owns(index) ? m_controllers[static_cast<size_t>(index)].get() : nullptr; }
    AnimationMixer* Mixer(int index) { return Owns(index) ? m_controllers[static_cast<size_t>(index)].get() : nullptr; }
    // Which of the slot's two tracks is current on that controller.
    int TrackToggle(int index, int slot) const;

private:
    struct PerController {
        AnimationRequest request;
        std::vector<int> toggles;  // one per slot
    };

    std::vector<PerController> m_state;
    int m_numAnimationSets = 0;
    int m_trackCount = 0;
    std::vector<std::unique_ptr<AnimationMixer>> m_controllers;
    const std::vector<Geometry::Matrix4x4>* m_rest = nullptr;
    std::vector<Geometry::Matrix4x4>* m_locals = nullptr;
};

}  // namespace Gfx
