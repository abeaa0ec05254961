// The frame's nine render buckets: filled by the cull, sorted (state
// buckets by effect, model and texture; translucent ones back to front; UI
// by z) and drawn in a fixed order with a fixed set-up per bucket, with
// instanced objects batched up to 45 per draw call.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "utility/Geometry.h"

namespace Platform {
class GLDevice;
}

namespace Gfx {

class IDrawObj;

struct RenderEntry {
    int effectTag = 0;
    int modelTag = 0;
    int textureTag = -1;
    IDrawObj* object = nullptr;
    std::shared_ptr<IDrawObj> holder;  // keeps the object alive until the bucket is cleared
};

class RenderQueue {
public:
    enum Bucket {
        kSky = 0,
        kOpaque = 1,
        kBlended = 2,       // translucent, drawn with the blended effect (tag 12), unsorted
        kTranslucent = 3,   // other translucent objects, farthest first, then world particles
        kSeeThrough = 4,    // faded for one frame by the follow camera's occluder test
        kUI = 5,
        kOverlay = 6,       // overlay (HUD) particle systems
        kText = 7,
        kCursor = 8,
        kBucketCount = 9
    };
    // What each bucket's set-up calls besides the render states (the particle
    // manager's submission before bucket 3, the text manager in bucket 7).
    using BucketHook = std::function<void(int bucket)>;

    RenderQueue();
    ~RenderQueue();
    RenderQueue(const RenderQueue&) = delete;
    RenderQueue& operator=(const RenderQueue&) = delete;

    // The entry's tags come from the object's top state, which must name an
    // effect and a model.
    void Submit(int bucket, const std::shared_ptr<IDrawObj>& object);
    // The same with tags given (objects whose resources have no tags).
    void Submit(int bucket, const std::shared_ptr<IDrawObj>& object, int effectTag, int modelTag, int textureTag);
    // The eye and viewing direction the translucent buckets are sorted along.
    void SetViewPoint(const Geometry::Vector3& eye, const Geometry::Vector3& direction);
    void Sort();
    // Draws and empties every bucket.
    void Render(Platform::GLDevice* device);
    void SetBucketHook(BucketHook hook) { m_hook = std::move(hook); }

    const std::vector<RenderEntry>& GetBucket(int b) const { return m_buckets[b]; }
    int DrawCalls() const { return m_drawCalls; }
    int DrawsWithoutInstancing() const { return m_drawsWithoutInstancing; }
    int MaxDrawCalls() const { return m_maxDrawCalls; }
    int MaxDrawsWithoutInstancing() const { return m_maxDrawsWithoutInstancing; }
    size_t EntryCount() const;
    // Empties the buckets without drawing (a match ends).
    void Clear();

private:
    void SetUpBucket(int bucket, Platform::GLDevice* device);
    void SortByDepth(std::vector<RenderEntry>& list);

    std::vector<RenderEntry> m_buckets[kBucketCount];
    Geometry::Vector3 m_eye, m_viewDir{0.0f, 0.0f, -1.0f};
    int m_drawCalls = 0;
    int m_drawsWithoutInstancing = 0;
    int m_maxDrawCalls = 0;
    int m_maxDrawsWithoutInstancing = 0;
    BucketHook m_hook;
    std::vector<std::pair<float, size_t>> m_sortKeys;  // reused by the depth sorts
    std::vector<RenderEntry> m_sorted;
};

}  // namespace Gfx
