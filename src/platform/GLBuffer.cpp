#include "platform/GLBuffer.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace Platform {

GpuBuffer::GpuBuffer(Kind kind, Usage usage, size_t capacity, const void* initial)
    : m_kind(kind), m_usage(usage), m_capacity(capacity) {
    if (capacity == 0) return;
    glGenBuffers(1, &m_id);
    if (!m_id) return;
    // Index buffers are bound through a vertex array object in a core
    // context; for creation and updates the copy target serves both kinds.
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_id);
    glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(capacity), initial,
                 usage == Usage::Static ? GL_STATIC_DRAW : GL_DYNAMIC_DRAW);
    if (glGetError() == GL_OUT_OF_MEMORY) {
        glDeleteBuffers(1, &m_id);
        m_id = 0;
    }
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

GpuBuffer::~GpuBuffer() {
    // After the context is gone its objects went with it.
    if (m_id && SDL_GL_GetCurrentContext()) glDeleteBuffers(1, &m_id);
}

unsigned GpuBuffer::Target() const { return m_kind == Kind::Vertex ? GL_ARRAY_BUFFER : GL_ELEMENT_ARRAY_BUFFER; }

bool GpuBuffer::Update(size_t offset, const void* data, size_t bytes) {
    if (!m_id || !data || offset > m_capacity || bytes > m_capacity - offset) return false;
    if (bytes == 0) return true;
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_id);
    glBufferSubData(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), data);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    return true;
}

void GpuBuffer::Discard() {
    if (!m_id) return;
    glBindBuffer(GL_COPY_WRITE_BUFFER, m_id);
    glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(m_capacity), nullptr, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    m_cursor = 0;
}

long GpuBuffer::Append(const void* data, size_t bytes, size_t alignment) {
    if (!m_id || m_usage != Usage::Dynamic || !data || bytes == 0 || bytes > m_capacity) return -1;
    if (alignment == 0) alignment = 1;
    size_t at = (m_cursor + alignment - 1) / alignment * alignment;
    if (at > m_capacity || bytes > m_capacity - at) {
        Discard();
        ++m_wraps;
        at = 0;
    }
    if (!Update(at, data, bytes)) return -1;
    m_cursor = at + bytes;
    return static_cast<long>(at);
}

void GpuBuffer::Bind() const { glBindBuffer(Target(), m_id); }

bool GpuBuffer::Read(size_t offset, size_t bytes, void* out) const {
    if (!m_id || !out || offset > m_capacity || bytes > m_capacity - offset) return false;
    glBindBuffer(GL_COPY_READ_BUFFER, m_id);
    glGetBufferSubData(GL_COPY_READ_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), out);
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return true;
}

}  // namespace Platform
