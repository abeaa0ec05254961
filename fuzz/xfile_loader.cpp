// Feeds arbitrary bytes to the .x model reader: no crash, no hang. What it
// accepts is consistent: indices, subsets, bones, weights and channels all
// point inside the scene.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/XFileLoader.h"

// The importer (Debian's 5.2.5) leaks parts of its half-built scene when it
// gives up on some malformed files; that is its fault and not ours to find
// here, so only crashes and bad output count for this target.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Input that does not start like a model file gets the text header, so
    // the search spends its time inside the format rather than on its magic.
    std::vector<uint8_t> bytes;
    static const char kHeader[] = "xof 0303txt 0032\n";
    if (size < 4 || std::memcmp(data, "xof ", 4) != 0) bytes.assign(kHeader, kHeader + sizeof kHeader - 1);
    bytes.insert(bytes.end(), data, data + size);
    Gfx::XScene scene;
    std::string error;
    if (!Gfx::LoadXFileFromMemory(bytes.data(), bytes.size(), scene, &error, "fuzz.x")) {
        if (error.find("fuzz.x") == std::string::npos || !scene.frames.empty() || !scene.meshes.empty()) std::abort();
        return 0;
    }
    const int frames = static_cast<int>(scene.frames.size());
    for (int i = 0; i < frames; ++i) {
        const int p = scene.frames[static_cast<size_t>(i)].parent;
        if ((i == 0) != (p < 0) || p >= i) std::abort();  // parents come first
    }
    for (const auto& m : scene.meshes) {
        if (m.frame < 0 || m.frame >= frames) std::abort();
        const size_t n = m.positions.size();
        if (m.normals.size() != n || m.uvs.size() != n || m.indices.size() % 3 != 0) std::abort();
        for (uint32_t i : m.indices) {
            if (i >= n) std::abort();
        }
        for (const auto& s : m.subsets) {
            if (s.material < 0 || static_cast<size_t>(s.material) >= scene.materials.size()) std::abort();
            if (static_cast<size_t>(s.firstIndex) + s.indexCount > m.indices.size()) std::abort();
        }
        if (m.IsSkinned()) {
            if (m.boneIndices.size() != n || m.boneWeights.size() != n) std::abort();
            for (const auto& b : m.bones) {
                if (b.frame < 0 || b.frame >= frames) std::abort();
            }
            for (size_t v = 0; v < n; ++v) {
                float sum = 0.0f;
                for (int k = 0; k < Gfx::kMaxVertexInfluences; ++k) {
                    if (m.boneIndices[v][k] >= m.bones.size()) std::abort();
                    sum += m.boneWeights[v][k];
                }
                if (!(std::fabs(sum - 1.0f) < 1e-3f)) std::abort();
            }
        }
    }
    for (const auto& a : scene.animations) {
        if (!(a.ticksPerSecond > 0.0)) std::abort();
        for (const auto& c : a.channels) {
            if (c.frame < 0 || c.frame >= frames) std::abort();
            if (c.positions.empty() || c.rotations.empty() || c.scales.empty()) std::abort();
        }
    }
    return 0;
}
