// Reads random text as an effect file: no crash, no hang; whatever it
// accepts names only blocks it defines and builds shader sources.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gfx/EffectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Gfx::EffectDesc desc;
    std::string error;
    if (!Gfx::ParseEffectText(text, desc, &error)) {
        if (error.empty() || !desc.techniques.empty()) std::abort();
        return 0;
    }
    for (const Gfx::EffectTechniqueDesc& t : desc.techniques) {
        if (t.passes.empty()) std::abort();
        for (const Gfx::EffectPassDesc& p : t.passes) {
            if (!desc.vertexShaders.count(p.vertex) || !desc.fragmentShaders.count(p.fragment)) std::abort();
            if (Gfx::BuildShaderSource(desc, true, p.vertex).compare(0, 17, "#version 330 core") != 0) std::abort();
            Gfx::BuildShaderSource(desc, false, p.fragment);
        }
    }
    for (const Gfx::EffectParamDesc& p : desc.params)
        if (!p.defaults.empty() && p.defaults.size() * 4 != p.Bytes()) std::abort();
    return 0;
}
