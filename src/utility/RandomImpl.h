// The engines behind Utility::Random (Boost.Random). Only Random.cpp and
// tests include this; everyone else uses Random.h.
#pragma once

#include <boost/random/lagged_fibonacci.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int.hpp>
#include <boost/random/uniform_real.hpp>

#include "utility/Random.h"

namespace Utility {
namespace Implementation {

template <class T>
class RandImpl;

template <>
class RandImpl<long> : public IRandImpl<long> {
public:
    explicit RandImpl(int seed) : m_engine(seed) {}
    void SetRange(long min, long max) override;
    void Seed(int seed) override { m_engine.seed(seed); }
    long Next() override { return m_distribution(m_engine); }

    boost::random::mt11213b& Engine() { return m_engine; }
    long Min() const { return m_min; }
    long Max() const { return m_max; }

private:
    boost::random::mt11213b m_engine;
    long m_min = 0;
    long m_max = 1;
    unsigned long m_span = 1;
    boost::uniform_int<long> m_distribution{0, 1};
};

template <>
class RandImpl<float> : public IRandImpl<float> {
public:
    explicit RandImpl(int seed) : m_engine(seed) {}
    // Starts from an engine as seeding left it (a copy draws what it would).
    explicit RandImpl(const boost::random::lagged_fibonacci607& seeded) : m_engine(seeded) {}
    void SetRange(float min, float max) override;
    void Seed(int seed) override { m_engine.seed(seed); }
    float Next() override;

    boost::random::lagged_fibonacci607& Engine() { return m_engine; }
    float Min() const { return m_min; }
    float Max() const { return m_max; }

private:
    boost::random::lagged_fibonacci607 m_engine;
    float m_min = 0.0f;
    float m_max = 1.0f;
    boost::uniform_real<float> m_distribution{0.0f, 1.0f};
};

}  // namespace Implementation
}  // namespace Utility
