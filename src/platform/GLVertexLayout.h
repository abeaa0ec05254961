// A vertex layout: which float attributes sit at which offsets of one
// vertex, each with its usage (position, normal, colour, texture coordinate)
// and usage index. Shaders find an attribute at a fixed location per usage.
#pragma once

#include <cstddef>
#include <vector>

namespace Platform {

class GpuBuffer;

enum class VertexUsage { Position, Normal, Color, TexCoord };

struct VertexElement {
    unsigned offset = 0;
    int floats = 0;  // 1..4 floats
    VertexUsage usage = VertexUsage::Position;
    int usageIndex = 0;
};

class VertexLayout {
public:
    // Null when an element is malformed (1..4 floats, inside the stride, no
    // two elements with one usage and index) or the stride is 0.
    static VertexLayout* Create(const std::vector<VertexElement>& elements, unsigned stride);

    // Attribute locations: position n -> n, normal n -> 2 + n, colour n -> 4 + n,
    // texture coordinate n -> 6 + n (n up to 1, 1, 1 and 7).
    static int Location(VertexUsage usage, int usageIndex);

    const std::vector<VertexElement>& Elements() const { return m_elements; }
    unsigned Stride() const { return m_stride; }

    // Points the bound vertex array's attributes at the buffer, starting at
    // byteOffset; the attributes it does not use are switched off.
    void Apply(const GpuBuffer& vertices, size_t byteOffset) const;

private:
    VertexLayout(std::vector<VertexElement> elements, unsigned stride)
        : m_elements(std::move(elements)), m_stride(stride) {}
    std::vector<VertexElement> m_elements;
    unsigned m_stride;
};

}  // namespace Platform
