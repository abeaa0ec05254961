#include "gfx/Animation.h"

#include <algorithm>
#include <cmath>

#include "gfx/XFileLoader.h"

namespace Gfx {

using Geometry::Matrix4x4;
using Geometry::Quaternion;
using Geometry::Vector3;

Matrix4x4 Srt::ToMatrix() const {
    const Geometry::Matrix3x3 r = rotation.SafeToMatrix3x3();
    Matrix4x4 m;
    for (int row = 0; row < 3; ++row) {
        m(row, 0) = r(row, 0) * scale.x;
        m(row, 1) = r(row, 1) * scale.y;
        m(row, 2) = r(row, 2) * scale.z;
        m(row, 3) = translation[row];
    }
    return m;
}

Quaternion Slerp(const Quaternion& a, const Quaternion& b0, float t) {
    Quaternion b = b0;
    float d = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    if (d < 0.0f) {  // the other way round is shorter
        b = {-b.w, -b.x, -b.y, -b.z};
        d = -d;
    }
    float wa, wb;
    if (d > 0.9995f) {
        wa = 1.0f - t;
        wb = t;
    } else {
        const float angle = std::acos(std::min(d, 1.0f));
        const float s = std::sin(angle);
        wa = std::sin((1.0f - t) * angle) / s;
        wb = std::sin(t * angle) / s;
    }
    return Quaternion(a.w * wa + b.w * wb, a.x * wa + b.x * wb, a.y * wa + b.y * wb, a.z * wa + b.z * wb)
        .SafeNormalized();
}

AnimationSet::AnimationSet(const XAnimationSet& source)
    : m_name(source.name), m_ticksPerSecond(source.ticksPerSecond > 0.0 ? source.ticksPerSecond : 4800.0),
      m_lastTicks(std::max(0.0, source.lastKeyTicks)) {
    m_period = m_lastTicks / m_ticksPerSecond;
    for (const XChannel& c : source.channels) {
        Channel ch;
        ch.frame = c.frame;
        for (const auto& k : c.positions) ch.positions.push_back({k.time, k.value});
        for (const auto& k : c.scales) ch.scales.push_back({k.time, k.value});
        for (const auto& k : c.rotations) ch.rotations.push_back({k.time, k.value});
        if (ch.positions.empty()) ch.positions.push_back({0.0, Vector3()});
        if (ch.scales.empty()) ch.scales.push_back({0.0, Vector3(1.0f, 1.0f, 1.0f)});
        if (ch.rotations.empty()) ch.rotations.push_back({0.0, Quaternion()});
        m_channels.push_back(std::move(ch));
    }
}

Vector3 AnimationSet::At(const std::vector<VKey>& keys, double ticks) {
    auto it = std::upper_bound(keys.begin(), keys.end(), ticks, [](double t, const VKey& k) { return t < k.t; });
    if (it == keys.begin()) return keys.front().v;
    if (it == keys.end()) return keys.back().v;
    const VKey& a = *(it - 1);
    const VKey& b = *it;
    const float f = static_cast<float>((ticks - a.t) / (b.t - a.t));
    return a.v + (b.v - a.v) * f;
}

Quaternion AnimationSet::At(const std::vector<QKey>& keys, double ticks) {
    auto it = std::upper_bound(keys.begin(), keys.end(), ticks, [](double t, const QKey& k) { return t < k.t; });
    if (it == keys.begin()) return keys.front().q;
    if (it == keys.end()) return keys.back().q;
    const QKey& a = *(it - 1);
    const QKey& b = *it;
    return Slerp(a.q, b.q, static_cast<float>((ticks - a.t) / (b.t - a.t)));
}

Srt AnimationSet::Sample(size_t channel, double seconds) const {
    double ticks = std::isfinite(seconds) ? seconds * m_ticksPerSecond : 0.0;
    if (m_lastTicks > 0.0) {
        ticks = std::fmod(ticks, m_lastTicks);
        if (ticks < 0.0) ticks += m_lastTicks;
    } else {
        ticks = 0.0;
    }
    const Channel& c = m_channels[channel];
    Srt s;
    s.translation = At(c.positions, ticks);
    s.scale = At(c.scales, ticks);
    s.rotation = At(c.rotations, ticks);
    return s;
}

// ---- mixer ----

AnimationMixer::AnimationMixer(std::shared_ptr<const AnimationSets> sets, int tracks)
    : m_sets(sets ? std::move(sets) : std::make_shared<const AnimationSets>()),
      m_tracks(static_cast<size_t>(std::max(tracks, 0))) {}

std::unique_ptr<AnimationMixer> AnimationMixer::Clone() const {
    return std::make_unique<AnimationMixer>(m_sets, NumTracks());
}

bool AnimationMixer::SetTrackAnimationSet(int track, int set) {
    if (!Valid(track) || set < 0 || set >= NumAnimationSets()) return false;
    m_tracks[static_cast<size_t>(track)].animationSet = set;
    return true;
}

// A direct change of a track overrides what was keyed for it earlier, so a
// quick second play is not undone by the first one's pending switch-off.
bool AnimationMixer::SetTrackEnable(int track, bool enable) {
    if (!Valid(track)) return false;
    m_keys.erase(std::remove_if(m_keys.begin(), m_keys.end(),
                                [&](const Key& k) { return k.track == track && k.kind == Key::Enable; }),
                 m_keys.end());
    m_tracks[static_cast<size_t>(track)].enable = enable;
    return true;
}

bool AnimationMixer::SetTrackWeight(int track, float weight) {
    if (!Valid(track) || !std::isfinite(weight)) return false;
    m_keys.erase(std::remove_if(m_keys.begin(), m_keys.end(),
                                [&](const Key& k) { return k.track == track && k.kind == Key::Weight; }),
                 m_keys.end());
    m_tracks[static_cast<size_t>(track)].weight = weight;
    return true;
}

bool AnimationMixer::SetTrackSpeed(int track, float speed) {
    if (!Valid(track) || !std::isfinite(speed)) return false;
    m_tracks[static_cast<size_t>(track)].speed = speed;
    return true;
}

bool AnimationMixer::SetTrackPosition(int track, double seconds) {
    if (!Valid(track) || !std::isfinite(seconds)) return false;
    m_tracks[static_cast<size_t>(track)].position = seconds;
    return true;
}

bool AnimationMixer::KeyTrackEnable(int track, bool enable, double time) {
    if (!Valid(track) || !std::isfinite(time)) return false;
    m_keys.erase(std::remove_if(m_keys.begin(), m_keys.end(),
                                [&](const Key& k) { return k.track == track && k.kind == Key::Enable; }),
                 m_keys.end());
    m_keys.push_back({Key::Enable, track, time, 0.0, enable ? 1.0f : 0.0f});
    return true;
}

bool AnimationMixer::KeyTrackWeight(int track, float weight, double start, double duration) {
    if (!Valid(track) || !std::isfinite(weight) || !std::isfinite(start) || !std::isfinite(duration)) return false;
    m_keys.erase(std::remove_if(m_keys.begin(), m_keys.end(),
                                [&](const Key& k) { return k.track == track && k.kind == Key::Weight; }),
                 m_keys.end());
    m_keys.push_back({Key::Weight, track, start, std::max(0.0, duration), weight});
    return true;
}

TrackDesc AnimationMixer::GetTrackDesc(int track) const {
    return Valid(track) ? m_tracks[static_cast<size_t>(track)] : TrackDesc{};
}

void AnimationMixer::AdvanceTime(double seconds) {
    if (!std::isfinite(seconds)) return;
    const double now = m_time + seconds;
    for (size_t i = 0; i < m_keys.size();) {
        Key& k = m_keys[i];
        TrackDesc& t = m_tracks[static_cast<size_t>(k.track)];
        bool done = false;
        if (k.start <= now) {
            if (k.kind == Key::Enable) {
                t.enable = k.value != 0.0f;
                done = true;
            } else {
                if (!k.begun) {
                    k.from = t.weight;
                    k.begun = true;
                }
                const double f = k.duration > 0.0 ? (now - k.start) / k.duration : 1.0;
                if (f >= 1.0) {
                    t.weight = k.value;
                    done = true;
                } else {
                    t.weight = k.from + (k.value - k.from) * static_cast<float>(f);
                }
            }
        }
        if (done) {
            m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    for (TrackDesc& t : m_tracks) {
        if (t.enable) t.position += seconds * static_cast<double>(t.speed);
    }
    m_time = now;
}

void AnimationMixer::Apply(const std::vector<Matrix4x4>& rest, std::vector<Matrix4x4>& out) const {
    out = rest;
    const size_t frames = rest.size();
    struct Acc {
        float w = 0.0f;
        Vector3 t, s;
        Quaternion q{0.0f, 0.0f, 0.0f, 0.0f};
        bool any = false;
    };
    std::vector<Acc> acc(frames);
    for (const TrackDesc& track : m_tracks) {
        if (!track.enable || track.animationSet < 0 || !(track.weight > 0.0f)) continue;
        const AnimationSet& set = (*m_sets)[static_cast<size_t>(track.animationSet)];
        for (size_t c = 0; c < set.ChannelCount(); ++c) {
            const int f = set.ChannelFrame(c);
            if (f < 0 || static_cast<size_t>(f) >= frames) continue;
            const Srt s = set.Sample(c, track.position);
            Acc& a = acc[static_cast<size_t>(f)];
            const float w = track.weight;
            Quaternion q = s.rotation;
            if (a.any && a.q.w * q.w + a.q.x * q.x + a.q.y * q.y + a.q.z * q.z < 0.0f) q = {-q.w, -q.x, -q.y, -q.z};
            a.w += w;
            a.t += s.translation * w;
            a.s += s.scale * w;
            a.q = {a.q.w + q.w * w, a.q.x + q.x * w, a.q.y + q.y * w, a.q.z + q.z * w};
            a.any = true;
        }
    }
    for (size_t f = 0; f < frames; ++f) {
        const Acc& a = acc[f];
        if (!a.any || !(a.w > 0.0f)) continue;
        Srt s;
        s.translation = a.t / a.w;
        s.scale = a.s / a.w;
        s.rotation = a.q.SafeNormalized();
        out[f] = s.ToMatrix();
    }
}

// ---- controller ----

AnimationController::AnimationController(std::shared_ptr<const AnimationSets> sets, int trackCount)
    : m_trackCount(std::max(trackCount, 0)) {
    auto source = std::make_unique<AnimationMixer>(std::move(sets), 2 * m_trackCount);
    m_numAnimationSets = source->NumAnimationSets();
    m_controllers.push_back(std::move(source));
    m_state.push_back({AnimationRequest{}, std::vector<int>(static_cast<size_t>(m_trackCount), 0)});
}

bool AnimationController::Clone(int& index) {
    m_controllers.push_back(m_controllers.front()->Clone());
    m_state.push_back({AnimationRequest{}, std::vector<int>(static_cast<size_t>(m_trackCount), 0)});
    index = ControllerCount() - 1;
    return true;
}

int AnimationController::TrackToggle(int index, int slot) const {
    if (!Owns(index) || slot < 0 || slot >= m_trackCount) return 0;
    return m_state[static_cast<size_t>(index)].toggles[static_cast<size_t>(slot)];
}

bool AnimationController::SetRequest(int index, const AnimationRequest& request) {
    if (!Owns(index)) return false;
    m_state[static_cast<size_t>(index)].request = request;
    return true;
}

const AnimationRequest* AnimationController::GetRequest(int index) const {
    return Owns(index) ? &m_state[static_cast<size_t>(index)].request : nullptr;
}

bool AnimationController::PlayAnimation(int index, int slot, int animation, float speed, float weight, bool loop,
                                        bool immediate) {
    if (!Owns(index) || animation < 0 || animation >= m_numAnimationSets || slot < 0 || slot >= m_trackCount) {
        return false;
    }
    AnimationMixer& c = *m_controllers[static_cast<size_t>(index)];
    int& toggle = m_state[static_cast<size_t>(index)].toggles[static_cast<size_t>(slot)];
    const int oldTrack = 2 * slot + toggle;
    const int newTrack = 2 * slot + (1 - toggle);
    toggle = 1 - toggle;
    c.SetTrackAnimationSet(newTrack, animation);
    const double t = c.GetTime();
    if (loop && immediate) {
        c.SetTrackEnable(newTrack, true);
        c.SetTrackWeight(newTrack, weight);
        c.SetTrackSpeed(newTrack, speed);
        c.SetTrackPosition(newTrack, 0.0);
        return true;
    }
    c.KeyTrackEnable(oldTrack, false, t + kFadeSeconds);
    c.KeyTrackWeight(oldTrack, kFadeOutWeight, t, kFadeSeconds);
    c.SetTrackEnable(newTrack, true);
    c.SetTrackSpeed(newTrack, speed);
    c.KeyTrackWeight(newTrack, weight, t, kFadeSeconds);
    if (!loop) {
        c.SetTrackPosition(newTrack, 0.0);
        // At speed 0 the one-shot never ends; no switch-off is keyed.
        if (speed > 0.0f) c.KeyTrackEnable(newTrack, false, t + c.GetAnimationSet(animation).Period() / speed);
    }
    return true;
}

bool AnimationController::IsFinished(int index) const {
    if (!Owns(index)) return false;
    const AnimationMixer& c = *m_controllers[static_cast<size_t>(index)];
    float sum = 0.0f;
    for (int t = 0; t < m_trackCount; ++t) {
        const TrackDesc d = c.GetTrackDesc(t);
        if (d.enable) return false;
        sum += d.weight;
    }
    return sum > kFadeOutWeight;
}

void AnimationController::AdvanceTime(int index, double seconds) {
    if (!Owns(index)) return;
    m_controllers[static_cast<size_t>(index)]->AdvanceTime(seconds);
    if (IsFinished(index)) {
        const AnimationRequest r = m_state[static_cast<size_t>(index)].request;
        PlayAnimation(index, r.slot, r.animation, r.speed, r.weight, true, true);
        m_controllers[static_cast<size_t>(index)]->AdvanceTime(seconds);
    }
    if (m_rest && m_locals) m_controllers[static_cast<size_t>(index)]->Apply(*m_rest, *m_locals);
}

}  // namespace Gfx
