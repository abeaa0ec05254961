// Seeded, reproducible random numbers over a range: integers from Boost's
// mt11213b through uniform_int (both ends included), floats from Boost's
// lagged_fibonacci607 through uniform_real (upper end excluded). Each user
// owns its generator; copies share one.
#pragma once

#include <memory>

namespace Utility {

namespace Implementation {

template <class T>
class IRandImpl {
public:
    virtual ~IRandImpl() = default;
    // Keeps the range unless it differs from the current one.
    virtual void SetRange(T min, T max) = 0;
    // Re-seeds the engine with the value itself.
    virtual void Seed(int seed) = 0;
    virtual T Next() = 0;
};

std::shared_ptr<IRandImpl<long>> MakeIntegerImpl(int seed);
std::shared_ptr<IRandImpl<float>> MakeFloatImpl(int seed);

}  // namespace Implementation

// A run-wide seed mixed into every generator created from now on, so a
// headless match can be replayed or varied as a whole. 0 (the default)
// leaves every seed as its user gives it.
void SetRunSeed(int runSeed);
int GetRunSeed();

template <class T>
class Random;

template <>
class Random<long> {
public:
    // Seed 0 counts as 1. The range starts as [0, 1].
    explicit Random(int seed);
    // A uniformly distributed integer with min <= value <= max (the two
    // limits are swapped when given the wrong way round).
    long Get(long min, long max);

private:
    std::shared_ptr<Implementation::IRandImpl<long>> m_impl;
};

template <>
class Random<float> {
public:
    // Seed 0 counts as 1. The range starts as [0, 1).
    explicit Random(int seed);
    // min + (max - min) * u with u uniform in [0, 1): never max itself. An
    // empty range (min == max) or a limit that is not finite gives min
    // without drawing; limits the wrong way round are swapped.
    float Get(float min, float max);

private:
    std::shared_ptr<Implementation::IRandImpl<float>> m_impl;
};

}  // namespace Utility
