#include "gfx/DrawObj.h"

#include "gfx/Transforms.h"

namespace Gfx {

IDrawObj::IDrawObj(int id, const Geometry::Vector3& position, const Geometry::Quaternion& orientation,
                   const Geometry::Vector3& scale, const GfxState& state)
    : m_id(id), m_position(position), m_orientation(orientation), m_scale(scale) {
    m_box.Scale(m_scale);
    PushState(state);
}

IDrawObj::IDrawObj(const GfxState& state)
    : IDrawObj(0, Geometry::Vector3(0, 0, 0), Geometry::Quaternion(), Geometry::Vector3(1, 1, 1), state) {}

void IDrawObj::PushState(GfxState state) {
    if (state.model) {
        m_unscaledBox = state.model->box;
        m_box = m_unscaledBox;
        m_box.Scale(m_scale);
    }
    if (!m_states.empty()) state.Inherit(m_states.back());
    m_states.push_back(std::move(state));
}

void IDrawObj::PopState() {
    if (m_states.size() > 1) m_states.pop_back();
}

void IDrawObj::SetScale(const Geometry::Vector3& scale) {
    m_scale = scale;
    m_dirty = true;
    // Always from the unscaled box, so setting the same scale twice does not
    // scale twice.
    m_box = m_unscaledBox;
    m_box.Scale(m_scale);
}

const Geometry::Matrix4x4& IDrawObj::GetWorldMatrix() {
    if (m_dirty) {
        m_world = MatrixWorld(m_position, m_scale, m_orientation);
        m_dirty = false;
    }
    return m_world;
}

}  // namespace Gfx
