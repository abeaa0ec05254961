#include "platform/GLVertexLayout.h"

#include <epoxy/gl.h>

#include <utility>

#include "platform/GLBuffer.h"

namespace Platform {

namespace {
constexpr int kMaxLocation = 14;
}

int VertexLayout::Location(VertexUsage usage, int usageIndex) {
    if (usageIndex < 0) return -1;
    switch (usage) {
    case VertexUsage::Position: return usageIndex <= 1 ? usageIndex : -1;
    case VertexUsage::Normal: return usageIndex <= 1 ? 2 + usageIndex : -1;
    case VertexUsage::Color: return usageIndex <= 1 ? 4 + usageIndex : -1;
    case VertexUsage::TexCoord: return usageIndex <= 7 ? 6 + usageIndex : -1;
    }
    return -1;
}

VertexLayout* VertexLayout::Create(const std::vector<VertexElement>& elements, unsigned stride) {
    if (stride == 0 || elements.empty()) return nullptr;
    bool used[kMaxLocation] = {};
    for (const VertexElement& e : elements) {
        if (e.floats < 1 || e.floats > 4) return nullptr;
        if (e.offset + static_cast<unsigned>(e.floats) * 4u > stride) return nullptr;
        const int loc = Location(e.usage, e.usageIndex);
        if (loc < 0 || loc >= kMaxLocation || used[loc]) return nullptr;
        used[loc] = true;
    }
    return new VertexLayout(elements, stride);
}

void VertexLayout::Apply(const GpuBuffer& vertices, size_t byteOffset) const {
    glBindBuffer(GL_ARRAY_BUFFER, vertices.Id());
    bool used[kMaxLocation] = {};
    for (const VertexElement& e : m_elements) {
        const int loc = Location(e.usage, e.usageIndex);
        used[loc] = true;
        glEnableVertexAttribArray(static_cast<GLuint>(loc));
        glVertexAttribPointer(static_cast<GLuint>(loc), e.floats, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(m_stride),
                              reinterpret_cast<const void*>(byteOffset + e.offset));
    }
    for (int loc = 0; loc < kMaxLocation; ++loc)
        if (!used[loc]) glDisableVertexAttribArray(static_cast<GLuint>(loc));
}

}  // namespace Platform
