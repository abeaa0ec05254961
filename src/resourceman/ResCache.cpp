#include "resourceman/ResCache.h"

#include <fstream>
#include <list>
#include <mutex>
#include <unordered_map>

namespace Utility {
namespace ResCache {

namespace {

struct Resource {
    std::string name;
    std::shared_ptr<const std::vector<uint8_t>> data;
};

struct Cache {
    std::mutex mutex;
    std::list<Resource> recency;  // most recently used at the front
    std::unordered_map<std::string, std::list<Resource>::iterator> byName;
    size_t used = 0;
    FileSource source = DiskFiles();
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

int64_t MeasureOnDisk(const std::string& name) {
    std::ifstream in(name, std::ios::binary | std::ios::ate);
    if (!in) return -1;
    const std::streamoff end = in.tellg();
    return end < 0 ? -1 : static_cast<int64_t>(end);
}

bool ReadFromDisk(const std::string& name, std::vector<uint8_t>& out) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<size_t>(in.gcount()) == out.size();
}

void FreeOne(Cache& c) {
    const Resource& r = c.recency.back();
    c.used -= r.data->size();
    c.byName.erase(r.name);
    c.recency.pop_back();
}

// Evicts least recently used files until n bytes fit.
bool MakeRoom(Cache& c, size_t n) {
    if (n > kCapacity) return false;
    while (kCapacity - c.used < n) {
        if (c.recency.empty()) return false;
        FreeOne(c);
    }
    return true;
}

}  // namespace

FileSource DiskFiles() { return FileSource{&MeasureOnDisk, &ReadFromDisk}; }

void SetFileSource(FileSource source) {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.source = (source.measure && source.read) ? std::move(source) : DiskFiles();
}

Data Get(const std::string& fileName) {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);

    const int64_t size = c.source.measure(fileName);
    if (size == 0) return Data();

    auto found = c.byName.find(fileName);
    if (found != c.byName.end()) {
        c.recency.splice(c.recency.begin(), c.recency, found->second);
        return Data(found->second->data);
    }

    if (size < 0 || static_cast<uint64_t>(size) > kCapacity) return Data();
    // Read before making room: a file that cannot be read in full is refused
    // without costing any cached file its place.
    auto block = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(size));
    if (!c.source.read(fileName, *block)) return Data();
    if (!MakeRoom(c, block->size())) return Data();

    c.recency.push_front(Resource{fileName, block});
    c.byName[fileName] = c.recency.begin();
    c.used += block->size();
    return Data(std::move(block));
}

void Shutdown() {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.recency.clear();
    c.byName.clear();
    c.used = 0;
}

size_t GetUsed() {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.used;
}

size_t GetCount() {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.recency.size();
}

bool IsCached(const std::string& fileName) {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.byName.count(fileName) != 0;
}

std::vector<std::string> RecencyOrder() {
    Cache& c = TheCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    std::vector<std::string> names;
    for (const Resource& r : c.recency) names.push_back(r.name);
    return names;
}

}  // namespace ResCache
}  // namespace Utility
