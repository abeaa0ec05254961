// Reads random text as a particle-system file and as a particle-effect file:
// no crash, no hang; a refusal names a line and stores nothing; what is
// accepted holds bounded bursts and known kinds, and starting and running
// each accepted effect for a few frames stays within the pool's bounds.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "gfx/ParticleMan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<int, std::shared_ptr<Gfx::ParticleSystemData>> systems;
    Gfx::ParticleFileError err;
    std::istringstream sin(text);
    if (!Gfx::ParticleMan::ReadSystems(sin, "f", systems, &err)) {
        if (!systems.empty() || err.line < 1 || err.message.empty()) std::abort();
    }
    for (const auto& kv : systems) {
        const Gfx::ParticleSystemData& d = *kv.second;
        if (d.numParticles < 0 || d.numParticles > Gfx::ParticleMan::kMaxQuadsPerSystem) std::abort();
        if (d.kind < 0 || d.kind > 3 || d.fieldType < 0 || d.fieldType > 3) std::abort();
    }
    std::map<int, Gfx::ParticleMan::EffectDefinition> effects;
    std::istringstream ein(text);
    if (!Gfx::ParticleMan::ReadEffects(ein, "f", effects, &err) && !effects.empty()) std::abort();
    if (systems.empty() || effects.empty()) return 0;
    Gfx::ParticleMan man("");
    man.SetDefinitions(systems, effects);
    int n = 0;
    for (const auto& kv : effects) {
        if (++n > 4) break;
        man.AddParticleEffect(kv.first, Geometry::Vector3(), Geometry::Vector3(0, 1, 0), Geometry::Quaternion(), false);
    }
    for (int f = 0; f < 3; ++f) man.Update(0.05f);
    // Every particle a system holds came from the pool.
    if (man.ParticlesCreated() < man.PoolSize()) std::abort();
    return 0;
}
