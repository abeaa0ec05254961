// Reads random text as a graphics asset file and as a states file: no crash,
// no hang; entries reach the sink only with their fields complete, and every
// stop before the end is reported with the file's name.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "Quiet.h"
#include "gfx/AssetFiles.h"
#include "gfx/StateMan.h"
#include "utility/Diagnostics.h"

namespace {
struct NullSink : Gfx::IAssetSink {
    void Material(int, const Geometry::Vector3&, const Geometry::Vector3&, const Geometry::Vector3&, float) override {}
    bool Effect(int, const std::string& path) override { return Check(path); }
    void Technique(int, const std::string& name) override { Check(name); }
    bool Texture(int, const std::string& path) override { return Check(path); }
    bool MeshModel(int, const std::string& path) override { return Check(path); }
    bool SkinnedModel(int, const std::string& path, int) override { return Check(path); }
    bool ParticleBuffer(int, int) override { return true; }
    bool BoxModel(int, const Geometry::Vector3&, float) override { return true; }
    bool InstanceModel(int, int, int) override { return true; }
    void Camera(const Gfx::CameraAsset&) override {}
    void Font(const Gfx::FontAsset& f) override { Check(f.face); }
    static bool Check(const std::string& s) {
        // The prefix is a word, the bracketed part at most 1023 characters.
        if (s.find(']') != std::string::npos && s.size() > 1u << 20) std::abort();
        return true;
    }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fuzz::Quiet();
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::istringstream in(text);
        Gfx::AsciiFileInput input(in, "fuzz.ini");
        NullSink sink;
        Gfx::AssetProblems problems;
        if (!Gfx::GfxLevelLoader(input).Load(sink, &problems) && problems.empty()) std::abort();
        for (const std::string& p : problems)
            if (p.rfind("fuzz.ini", 0) != 0) std::abort();
    }
    {
        std::istringstream in(text);
        Gfx::AsciiFileInput input(in, "fuzz.ini");
        Gfx::StateMan states(nullptr);
        Gfx::GfxStateLoader(input).Load(states);
        for (const auto& s : states.States())
            if (s.second.model || s.second.effect || s.second.texture || s.second.material) std::abort();
    }
    return 0;
}
