#include "gfx/Resources.h"

#include "gfx/D3D9Core.h"
#include "platform/GLBuffer.h"
#include "utility/HtmlLogger.h"

namespace Gfx {

int VertexBuffer::Append(const void* vertices, int primitiveCount) {
    if (!buffer || !vertices || primitiveCount <= 0 || primitiveCount * 2 > capacity || stride <= 0) return -1;
    int start = 0;
    if (dynamic) {
        start = writePosition;
        if ((writePosition + primitiveCount) * 2 >= capacity) start = writePosition = 0;
        // Starting over: fresh storage, so vertices a draw may still read stay intact.
        if (writePosition == 0) buffer->Discard();
        writePosition += primitiveCount;
    }
    const size_t bytes = static_cast<size_t>(primitiveCount) * 2u * static_cast<size_t>(stride);
    if (!buffer->Update(static_cast<size_t>(start) * 2u * static_cast<size_t>(stride), vertices, bytes)) return -1;
    vertexCount = primitiveCount * 2;
    this->primitiveCount = primitiveCount;
    return start;
}

bool VertexBuffer::Fill(const void* vertices, int count) {
    if (!buffer || !vertices || count <= 0 || count > capacity || stride <= 0) return false;
    if (!buffer->Update(0, vertices, static_cast<size_t>(count) * static_cast<size_t>(stride))) return false;
    vertexCount = count;
    return true;
}

int IndexBuffer::Append(const std::vector<uint16_t>& indices, int triangleCount) {
    if (!buffer || triangleCount <= 0 || static_cast<size_t>(triangleCount) * 3u > indices.size() ||
        triangleCount * 3 > capacity)
        return -1;
    int start = 0;
    if (dynamic) {
        start = writePosition;
        // A batch that would reach the end starts again at the beginning.
        if ((writePosition + triangleCount) * 3 >= capacity) start = writePosition = 0;
        if (writePosition == 0) buffer->Discard();
        writePosition += triangleCount;
    }
    if (!buffer->Update(static_cast<size_t>(start) * 6u, indices.data(), static_cast<size_t>(triangleCount) * 6u))
        return -1;
    indexCount = triangleCount * 3;
    if (vertices) vertices->primitiveCount = triangleCount;
    return start;
}

std::shared_ptr<VertexBuffer> CreateVertexBuffer(D3D9Core& core, int count, const VertexDecl& decl, int stride,
                                                 bool dynamic) {
    std::shared_ptr<Platform::GpuBuffer> gpu;
    if (count > 0 && stride > 0)
        gpu = core.CreateVertexBuffer(static_cast<size_t>(count) * static_cast<size_t>(stride), dynamic);
    if (!gpu) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateVertexBuffer: Vertex Buffer could not be created??");
        GfxLog.Log(HtmlLogger::LOG_WARNING, dynamic ? "D3D9Core::CreateVertexBuffer: DEFAULT POOL"
                                                    : "D3D9Core::CreateVertexBuffer: MANAGED POOL");
        return nullptr;
    }
    auto vb = std::make_shared<VertexBuffer>();
    vb->dynamic = dynamic;
    vb->managed = !dynamic;
    vb->buffer = gpu;
    vb->declaration = decl;
    vb->stride = stride;
    vb->capacity = count;
    return vb;
}

std::shared_ptr<IndexBuffer> CreateIndexBuffer(D3D9Core& core, int count, bool dynamic,
                                               const std::shared_ptr<VertexBuffer>& vertices) {
    std::shared_ptr<Platform::GpuBuffer> gpu;
    if (count > 0) gpu = core.CreateIndexBuffer(static_cast<size_t>(count) * 2u, dynamic);
    if (!gpu) {
        GfxLog.Log(HtmlLogger::LOG_WARNING, "D3D9Core::CreateIndexBuffer: Index Buffer could not be created??");
        return nullptr;
    }
    auto ib = std::make_shared<IndexBuffer>();
    ib->dynamic = dynamic;
    ib->managed = !dynamic;
    ib->buffer = gpu;
    ib->vertices = vertices;
    ib->capacity = count;
    return ib;
}

}  // namespace Gfx
