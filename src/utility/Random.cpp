#include "utility/Random.h"

#include <cmath>
#include <utility>

#include "utility/RandomImpl.h"

namespace Utility {
namespace Implementation {

void RandImpl<long>::SetRange(long min, long max) {
    if (min > max) std::swap(min, max);
    if (min == m_min && max == m_max) return;
    m_min = min;
    m_max = max;
    m_span = static_cast<unsigned long>(max) - static_cast<unsigned long>(min);
    m_distribution = boost::uniform_int<long>(min, max);
}

void RandImpl<float>::SetRange(float min, float max) {
    if (!std::isfinite(min) || !std::isfinite(max)) {
        // Not a range anyone can draw from; Next() answers the lower
        // finite limit (or 0) without touching the engine.
        min = std::isfinite(min) ? min : (std::isfinite(max) ? max : 0.0f);
        max = min;
    }
    if (min > max) std::swap(min, max);
    if (min == m_min && max == m_max) return;
    m_min = min;
    m_max = max;
    // Boost's uniform_real retries until the result lies below max, which
    // never happens for an empty range; only proper ranges reach it.
    if (min < max && std::isfinite(max - min)) m_distribution = boost::uniform_real<float>(min, max);
}

float RandImpl<float>::Next() {
    if (!(m_min < m_max)) return m_min;
    if (!std::isfinite(m_max - m_min)) {
        // The span overflows a float: draw in double and bring it back below max.
        const double u = m_engine();
        const float v = static_cast<float>(static_cast<double>(m_min) +
                                           (static_cast<double>(m_max) - static_cast<double>(m_min)) * u);
        return v < m_max ? v : std::nextafter(m_max, m_min);
    }
    return m_distribution(m_engine);
}

std::shared_ptr<IRandImpl<long>> MakeIntegerImpl(int seed) { return std::make_shared<RandImpl<long>>(seed); }
std::shared_ptr<IRandImpl<float>> MakeFloatImpl(int seed) {
    // Seeding the engine works out its 607 numbers from the seed, and users
    // make generators of one seed over and over (a bot takes up a post):
    // the engine as the last seeding left it is kept, and a generator of
    // that seed starts from a copy, which is the same state.
    struct Seeded {
        int seed;
        boost::random::lagged_fibonacci607 engine;
    };
    thread_local std::unique_ptr<Seeded> last;
    if (!last || last->seed != seed) last.reset(new Seeded{seed, boost::random::lagged_fibonacci607(seed)});
    return std::make_shared<RandImpl<float>>(last->engine);
}

}  // namespace Implementation

namespace {

int g_runSeed = 0;

// The user's seed, moved by the run seed; never 0 (which counts as 1).
int Mixed(int seed) {
    if (seed == 0) seed = 1;
    if (g_runSeed == 0) return seed;
    const unsigned long long h = static_cast<unsigned long long>(static_cast<unsigned>(seed)) * 2654435761ULL +
                                 static_cast<unsigned long long>(static_cast<unsigned>(g_runSeed)) * 40503ULL;
    const int mixed = static_cast<int>(static_cast<unsigned>(h ^ (h >> 29)) & 0x7fffffffU);
    return mixed == 0 ? 1 : mixed;
}

}  // namespace

void SetRunSeed(int runSeed) { g_runSeed = runSeed; }
int GetRunSeed() { return g_runSeed; }

Random<long>::Random(int seed) : m_impl(Implementation::MakeIntegerImpl(Mixed(seed))) {}

long Random<long>::Get(long min, long max) {
    m_impl->SetRange(min, max);
    return m_impl->Next();
}

Random<float>::Random(int seed) : m_impl(Implementation::MakeFloatImpl(Mixed(seed))) {}

float Random<float>::Get(float min, float max) {
    m_impl->SetRange(min, max);
    return m_impl->Next();
}

}  // namespace Utility
