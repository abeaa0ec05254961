// Anything the renderer can draw: a transform, a bounding box for culling
// and a stack of render states whose top is the state it is drawn with.
// Views push a temporary state to change the look and pop it again.
#pragma once

#include <deque>

#include "gfx/Model.h"
#include "gfx/GfxState.h"
#include "utility/Geometry.h"

namespace Platform {
class GLDevice;
}

namespace Gfx {

class IDrawObj {
public:
    IDrawObj(int id, const Geometry::Vector3& position, const Geometry::Quaternion& orientation,
             const Geometry::Vector3& scale, const GfxState& state);
    explicit IDrawObj(const GfxState& state);
    virtual ~IDrawObj() = default;
    IDrawObj(const IDrawObj&) = delete;
    IDrawObj& operator=(const IDrawObj&) = delete;

    virtual void Draw(Platform::GLDevice* device) = 0;
    // Advances an animated object's clock; nothing for the others.
    virtual void AdvanceTime(float /*seconds*/) {}

    // A state with a model gives the object that model's box (scaled); the
    // new state inherits what it leaves unset from the current top.
    void PushState(GfxState state);
    // Never removes the last state.
    void PopState();
    void SetScale(const Geometry::Vector3& scale);
    void SetPosition(const Geometry::Vector3& p) { m_position = p; m_dirty = true; }
    void SetOrientation(const Geometry::Quaternion& q) { m_orientation = q; m_dirty = true; }
    const Geometry::Matrix4x4& GetWorldMatrix();
    void MarkVisible(int frame) { m_lastVisibleFrame = frame; }

    int GetId() const { return m_id; }
    const GfxState& TopState() const { return m_states.back(); }
    GfxState& TopState() { return m_states.back(); }
    size_t StateCount() const { return m_states.size(); }
    const BoundingBox& GetBoundingBox() const { return m_box; }
    const Geometry::Vector3& GetPosition() const { return m_position; }
    const Geometry::Quaternion& GetOrientation() const { return m_orientation; }
    const Geometry::Vector3& GetScale() const { return m_scale; }
    int GetLastVisibleFrame() const { return m_lastVisibleFrame; }
    bool IsTransformDirty() const { return m_dirty; }

protected:
    int m_id;
    BoundingBox m_box;
    BoundingBox m_unscaledBox;  // the last pushed model's box, or the default box
    std::deque<GfxState> m_states;
    Geometry::Vector3 m_position;
    Geometry::Quaternion m_orientation;
    Geometry::Vector3 m_scale;
    Geometry::Matrix4x4 m_world;
    bool m_dirty = true;
    int m_lastVisibleFrame = -1;
};

}  // namespace Gfx
