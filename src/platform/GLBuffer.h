// Vertex and index buffers in GPU memory. Static buffers are filled once
// (and may be updated in place); dynamic buffers take ring appends that never
// run past their capacity: when the rest of the ring is too small, the
// append starts again at 0 on fresh storage, so data the GPU may still be
// reading is never overwritten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Platform {

class GpuBuffer {
public:
    enum class Kind { Vertex, Index };
    enum class Usage { Static, Dynamic };

    // initial may be null (contents undefined until written).
    GpuBuffer(Kind kind, Usage usage, size_t capacity, const void* initial = nullptr);
    ~GpuBuffer();
    GpuBuffer(const GpuBuffer&) = delete;
    GpuBuffer& operator=(const GpuBuffer&) = delete;

    bool IsValid() const { return m_id != 0; }
    unsigned Id() const { return m_id; }
    Kind GetKind() const { return m_kind; }
    Usage GetUsage() const { return m_usage; }
    size_t Capacity() const { return m_capacity; }

    // Writes bytes at offset; false (nothing written) when they do not fit.
    bool Update(size_t offset, const void* data, size_t bytes);
    // Dynamic buffers only: writes the data at the ring's cursor (rounded up
    // to alignment) and returns where it went; -1 for an empty append, one
    // larger than the capacity, or a static buffer.
    long Append(const void* data, size_t bytes, size_t alignment = 1);
    // Starts the ring again at 0 on fresh storage.
    void Discard();
    size_t Cursor() const { return m_cursor; }
    int Wraps() const { return m_wraps; }

    void Bind() const;
    // Copies bytes back from GPU memory (tests, diagnostics).
    bool Read(size_t offset, size_t bytes, void* out) const;

private:
    unsigned Target() const;

    Kind m_kind;
    Usage m_usage;
    size_t m_capacity;
    unsigned m_id = 0;
    size_t m_cursor = 0;
    int m_wraps = 0;
};

}  // namespace Platform
