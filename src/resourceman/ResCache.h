// Whole files kept in memory by name within a 10 MB budget; the least
// recently requested files are evicted first when a new one does not fit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Utility {
namespace ResCache {

constexpr size_t kCapacity = 0xA00000;  // 10 MB

// A file's bytes. Shared: the bytes stay valid for the holder even if the
// cache evicts the file meanwhile (they then no longer count against the
// budget, so callers use them at once and let go).
class Data {
public:
    Data() = default;
    explicit Data(std::shared_ptr<const std::vector<uint8_t>> block) : m_block(std::move(block)) {}
    const uint8_t* data() const { return m_block ? m_block->data() : nullptr; }
    size_t size() const { return m_block ? m_block->size() : 0; }
    explicit operator bool() const { return m_block != nullptr; }

private:
    std::shared_ptr<const std::vector<uint8_t>> m_block;
};

// The whole file, or nothing (null Data) when it is missing, empty, larger
// than the budget, or cannot be read in full. A cached file is served from
// memory (and becomes the most recently used) without being read again.
Data Get(const std::string& fileName);

// Empties the cache (the state of a fresh start).
void Shutdown();

// Introspection.
size_t GetUsed();
size_t GetCount();
bool IsCached(const std::string& fileName);
// Cached names, most recently used first.
std::vector<std::string> RecencyOrder();

// How files are measured and read. measure: the size in bytes, -1 when the
// file cannot be opened. read: fills the buffer (already sized) with the
// file's first buffer.size() bytes, false when it cannot deliver them all.
struct FileSource {
    std::function<int64_t(const std::string&)> measure;
    std::function<bool(const std::string&, std::vector<uint8_t>&)> read;
};
// The disk, through standard file streams.
FileSource DiskFiles();
// Replaces the file source (tests); an incomplete source restores the disk.
void SetFileSource(FileSource source);

}  // namespace ResCache
}  // namespace Utility
