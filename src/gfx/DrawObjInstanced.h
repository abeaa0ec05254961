// The render queue's instancing batch: objects flagged for instancing add
// their scale, position, orientation and colour to four arrays, and the
// batch draws up to 45 of them with one call per pass as copies of the
// instance model (tag 8).
#pragma once

#include <vector>

#include "gfx/DrawObj.h"

namespace Gfx {

class DrawObjInstanced : public IDrawObj {
public:
    static constexpr int kMaxInstances = 45;
    static constexpr int kInstanceModelTag = 8;

    DrawObjInstanced(const GfxState& state, Platform::GLDevice* device);
    // False and nothing changes when the batch already draws with this
    // texture, effect and technique; otherwise the batch is drawn when it
    // holds instances (true) and takes the new state.
    bool SetState(const GfxState& state);
    // True when this instance filled the batch and it was drawn.
    bool AddInstance(const Geometry::Vector3& scale, const Geometry::Vector3& position,
                     const Geometry::Quaternion& orientation, const Geometry::Vector3& colour, float alpha);
    // Draws the batch (nothing when empty) and empties it.
    void Draw(Platform::GLDevice* device) override;
    int Count() const { return m_count; }
    int BatchesDrawn() const { return m_batchesDrawn; }

private:
    Platform::GLDevice* m_device;
    int m_count = 0;
    int m_batchesDrawn = 0;
    bool m_hasState = false;
    std::vector<Geometry::Vector4> m_scales, m_positions, m_orientations, m_colours;
};

}  // namespace Gfx
