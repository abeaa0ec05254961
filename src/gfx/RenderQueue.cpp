#include "gfx/RenderQueue.h"

#include <epoxy/gl.h>

#include <algorithm>

#include "gfx/DrawObj.h"
#include "gfx/DrawObjInstanced.h"
#include "gfx/Effect.h"
#include "gfx/GfxEngine.h"
#include "gfx/Model.h"
#include "gfx/Resources.h"
#include "gfx/StateMan.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

RenderQueue::RenderQueue() = default;

RenderQueue::~RenderQueue() {
    GfxLog.Log(HtmlLogger::LOG_WARNING, "Max draw calls was: %i", m_maxDrawCalls);
    GfxLog.Log(HtmlLogger::LOG_WARNING, "Max draw calls without instancing was: %i", m_maxDrawsWithoutInstancing);
}

void RenderQueue::Submit(int bucket, const std::shared_ptr<IDrawObj>& object) {
    if (!object) return;
    const GfxState& top = object->TopState();
    Submit(bucket, object, top.effect ? top.effect->Tag() : -1, top.model ? top.model->tag : -1,
           top.texture ? top.texture->tag : -1);
}

void RenderQueue::Submit(int bucket, const std::shared_ptr<IDrawObj>& object, int effectTag, int modelTag,
                         int textureTag) {
    if (!object || bucket < 0 || bucket >= kBucketCount) return;
    RenderEntry e;
    e.effectTag = effectTag;
    e.modelTag = modelTag;
    e.textureTag = textureTag;
    e.object = object.get();
    e.holder = object;
    m_buckets[bucket].push_back(std::move(e));
}

void RenderQueue::SetViewPoint(const Geometry::Vector3& eye, const Geometry::Vector3& direction) {
    m_eye = eye;
    m_viewDir = direction.Normalized();
}

void RenderQueue::SortByDepth(std::vector<RenderEntry>& list) {
    // Farthest first along the view direction; equal depths keep their
    // order. Each depth is worked out once, not once per comparison.
    if (list.size() < 2) return;
    m_sortKeys.clear();
    for (size_t i = 0; i < list.size(); ++i)
        m_sortKeys.emplace_back(m_viewDir.Dot(list[i].object->GetPosition() - m_eye), i);
    std::stable_sort(m_sortKeys.begin(), m_sortKeys.end(),
                     [](const std::pair<float, size_t>& a, const std::pair<float, size_t>& b) { return a.first > b.first; });
    m_sorted.clear();
    for (const auto& k : m_sortKeys) m_sorted.push_back(std::move(list[k.second]));
    list.swap(m_sorted);
}

void RenderQueue::Sort() {
    std::stable_sort(m_buckets[kOpaque].begin(), m_buckets[kOpaque].end(),
                     [](const RenderEntry& a, const RenderEntry& b) {
                         if (a.effectTag != b.effectTag) return a.effectTag > b.effectTag;
                         if (a.modelTag != b.modelTag) return a.modelTag > b.modelTag;
                         return a.textureTag > b.textureTag;
                     });
    SortByDepth(m_buckets[kSeeThrough]);
    SortByDepth(m_buckets[kTranslucent]);
    std::stable_sort(m_buckets[kUI].begin(), m_buckets[kUI].end(), [](const RenderEntry& a, const RenderEntry& b) {
        return a.object->GetPosition().z > b.object->GetPosition().z;
    });
}

namespace {
StateMan* States() {
    GfxEngine* e = GfxEngine::Instance();
    return e ? e->GetStateMan() : nullptr;
}

void BlendOn() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}
}  // namespace

void RenderQueue::SetUpBucket(int bucket, Platform::GLDevice* device) {
    // Without a device (the queue's own tests) only the order is exercised.
    if (device) {
        switch (bucket) {
        case kSky:
            if (StateMan* sm = States()) sm->EndState();
            glDisable(GL_BLEND);
            break;
        case kBlended:
            BlendOn();
            break;
        case kUI:
            if (StateMan* sm = States()) sm->EndState();
            glDisable(GL_STENCIL_TEST);
            BlendOn();
            break;
        default:
            break;
        }
    }
    // The particle manager appends to buckets 3 and 6 here, and the text
    // manager draws in bucket 7.
    if (m_hook) m_hook(bucket);
}

size_t RenderQueue::EntryCount() const {
    size_t n = 0;
    for (const auto& b : m_buckets) n += b.size();
    return n;
}

void RenderQueue::Clear() {
    for (auto& b : m_buckets) b.clear();
}

void RenderQueue::Render(Platform::GLDevice* device) {
    m_maxDrawCalls = std::max(m_maxDrawCalls, m_drawCalls);
    m_maxDrawsWithoutInstancing = std::max(m_maxDrawsWithoutInstancing, m_drawsWithoutInstancing);
    m_drawCalls = 0;
    m_drawsWithoutInstancing = 0;
    Sort();
    DrawObjInstanced batch(GfxState(), device);
    for (int b = 0; b < kBucketCount; ++b) {
        SetUpBucket(b, device);
        std::vector<RenderEntry>& list = m_buckets[b];
        // Indexed: the set-up may have appended to this bucket.
        for (size_t i = 0; i < list.size(); ++i) {
            IDrawObj* obj = list[i].object;
            const GfxState& top = obj->TopState();
            if (top.flags & kStateInstanced) {
                if (batch.SetState(top)) ++m_drawCalls;
                const Geometry::Vector3 colour = top.material ? top.material->diffuse : Geometry::Vector3(1, 1, 1);
                if (batch.AddInstance(obj->GetScale(), obj->GetPosition(), obj->GetOrientation().SafeNormalized(),
                                      colour, top.alpha))
                    ++m_drawCalls;
                ++m_drawsWithoutInstancing;
            } else {
                ++m_drawCalls;
                ++m_drawsWithoutInstancing;
                obj->Draw(device);
            }
            if (b == kSeeThrough && obj->StateCount() > 1) obj->PopState();
        }
        ++m_drawCalls;
        ++m_drawsWithoutInstancing;
        batch.Draw(device);
        list.clear();
    }
}

}  // namespace Gfx
