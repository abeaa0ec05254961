// Three-component float vectors in one SSE register for the physics' inner
// loops. Every lane performs exactly the operation the scalar Vector3 code
// performs, in the same order (sums of products are added left to right), so
// the results are the same bits as with Geometry::Vector3. The fourth lane is
// ignored. Without SSE2 a plain struct stands in.
#pragma once

#include <cmath>

#include "utility/Geometry.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Physics {
namespace Simd {

#if defined(__SSE2__)

struct V {
    __m128 r;
};

inline V Load(const Geometry::Vector3& v) {
    // x and y as one 64-bit load, z into the third lane; reads nothing past z.
    const __m128 xy = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&v.x));
    const __m128 z = _mm_load_ss(&v.z);
    return {_mm_movelh_ps(xy, z)};
}
// Load for a vector that the same object follows with at least four more
// bytes (one 16-byte load; the fourth lane is cleared).
inline V LoadPadded(const Geometry::Vector3& v) {
    const __m128 mask = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
    return {_mm_and_ps(_mm_loadu_ps(&v.x), mask)};
}
inline void Store(Geometry::Vector3& out, V v) {
    _mm_storel_pi(reinterpret_cast<__m64*>(&out.x), v.r);
    _mm_store_ss(&out.z, _mm_movehl_ps(v.r, v.r));
}
inline V Splat(float s) { return {_mm_set1_ps(s)}; }
inline V Zero() { return {_mm_setzero_ps()}; }
inline V operator+(V a, V b) { return {_mm_add_ps(a.r, b.r)}; }
inline V operator-(V a, V b) { return {_mm_sub_ps(a.r, b.r)}; }
inline V operator*(V a, float s) { return {_mm_mul_ps(a.r, _mm_set1_ps(s))}; }
inline V operator/(V a, float s) { return {_mm_div_ps(a.r, _mm_set1_ps(s))}; }
inline V operator-(V a) { return {_mm_xor_ps(a.r, _mm_set1_ps(-0.0f))}; }
inline V& operator+=(V& a, V b) { return a = a + b; }

// x*x' + y*y' + z*z', added left to right.
inline float Dot(V a, V b) {
    const __m128 m = _mm_mul_ps(a.r, b.r);
    const __m128 y = _mm_shuffle_ps(m, m, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 z = _mm_movehl_ps(m, m);
    return _mm_cvtss_f32(_mm_add_ss(_mm_add_ss(m, y), z));
}

// (a.y b.z - a.z b.y, a.z b.x - a.x b.z, a.x b.y - a.y b.x): lane by lane,
// a * b.yzx - a.yzx * b is (a.x b.y - a.y b.x, a.y b.z - a.z b.y,
// a.z b.x - a.x b.z), the same products and differences, rotated once more.
inline V Cross(V a, V b) {
    const __m128 ay = _mm_shuffle_ps(a.r, a.r, _MM_SHUFFLE(3, 0, 2, 1));  // y z x
    const __m128 by = _mm_shuffle_ps(b.r, b.r, _MM_SHUFFLE(3, 0, 2, 1));  // y z x
    const __m128 t = _mm_sub_ps(_mm_mul_ps(a.r, by), _mm_mul_ps(ay, b.r));
    return {_mm_shuffle_ps(t, t, _MM_SHUFFLE(3, 0, 2, 1))};
}

inline bool IsZero(V a) {
    return (_mm_movemask_ps(_mm_cmpeq_ps(a.r, _mm_setzero_ps())) & 7) == 7;
}

// Three floats from memory (reads nothing past the third).
inline V Load3(const float* f) {
    const __m128 xy = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(f));
    return {_mm_movelh_ps(xy, _mm_load_ss(f + 2))};
}
// The floats at x, y and z as one vector.
inline V Gather3(const float* x, const float* y, const float* z) {
    return {_mm_movelh_ps(_mm_unpacklo_ps(_mm_load_ss(x), _mm_load_ss(y)), _mm_load_ss(z))};
}
// All four lanes to memory (the fourth is whatever it holds).
inline void Store4(float* out, V v) { _mm_storeu_ps(out, v.r); }
// Bit i set where lane i of a <= b (i = 0, 1, 2).
inline unsigned LessEqualMask(V a, V b) { return static_cast<unsigned>(_mm_movemask_ps(_mm_cmple_ps(a.r, b.r))) & 7u; }
// Bit i set where lane i of a >= b (i = 0, 1, 2).
inline unsigned GreaterEqualMask(V a, V b) {
    return static_cast<unsigned>(_mm_movemask_ps(_mm_cmpge_ps(a.r, b.r))) & 7u;
}

// Bit i set where lane i of a > b, of a < b (i = 0, 1, 2).
inline unsigned GreaterMask(V a, V b) { return static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(a.r, b.r))) & 7u; }
inline unsigned LessMask(V a, V b) { return static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(a.r, b.r))) & 7u; }

// Bit i set where lane i of the end distances a0, a1 to a plane passes one
// of the clipping's tests: a0 a1 < -1e-6, |a0| < 1e-6 or |a1| < 1e-6.
inline unsigned PlaneCandidates(V a0, V a1) {
    const __m128 eps = _mm_set1_ps(1e-6f);
    const __m128 abs = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 hit = _mm_or_ps(_mm_cmplt_ps(_mm_mul_ps(a0.r, a1.r), _mm_set1_ps(-1e-6f)),
                                 _mm_or_ps(_mm_cmplt_ps(_mm_and_ps(a0.r, abs), eps), _mm_cmplt_ps(_mm_and_ps(a1.r, abs), eps)));
    return static_cast<unsigned>(_mm_movemask_ps(hit)) & 7u;
}

// A 3 x 3 matrix by its columns (for a symmetric one, its rows).
struct M {
    __m128 c0, c1, c2;
};

// The matrix whose columns are the rows of m, that is, m transposed.
inline M TransposeOf(const Geometry::Matrix3x3& m) { return {Load3(&m.m[0]).r, Load3(&m.m[3]).r, Load3(&m.m[6]).r}; }

inline M LoadSymmetric(const Geometry::Matrix3x3& m) {
    return {_mm_setr_ps(m.m[0], m.m[1], m.m[2], 0.0f), _mm_setr_ps(m.m[3], m.m[4], m.m[5], 0.0f),
            _mm_setr_ps(m.m[6], m.m[7], m.m[8], 0.0f)};
}
// The same for a matrix that the same object follows with at least four more
// bytes: three 16-byte loads (the fourth lanes are never used).
inline M LoadSymmetricPadded(const Geometry::Matrix3x3& m) {
    return {_mm_loadu_ps(&m.m[0]), _mm_loadu_ps(&m.m[3]), _mm_loadu_ps(&m.m[6])};
}

// Row i of the product is m[i][0] x + m[i][1] y + m[i][2] z, added left to
// right, with m[i][j] lane i of column j (of row j for a symmetric m).
inline V Mul(const M& m, V v) {
    const __m128 x = _mm_shuffle_ps(v.r, v.r, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 y = _mm_shuffle_ps(v.r, v.r, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 z = _mm_shuffle_ps(v.r, v.r, _MM_SHUFFLE(2, 2, 2, 2));
    return {_mm_add_ps(_mm_add_ps(_mm_mul_ps(m.c0, x), _mm_mul_ps(m.c1, y)), _mm_mul_ps(m.c2, z))};
}

#else  // no SSE2: the same operations on a plain struct

struct V {
    float x, y, z;
};

inline V Load(const Geometry::Vector3& v) { return {v.x, v.y, v.z}; }
inline V LoadPadded(const Geometry::Vector3& v) { return Load(v); }
inline void Store(Geometry::Vector3& out, V v) { out = Geometry::Vector3(v.x, v.y, v.z); }
inline V Splat(float s) { return {s, s, s}; }
inline V Zero() { return {0.0f, 0.0f, 0.0f}; }
inline V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V operator*(V a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V operator/(V a, float s) { return {a.x / s, a.y / s, a.z / s}; }
inline V operator-(V a) { return {-a.x, -a.y, -a.z}; }
inline V& operator+=(V& a, V b) { return a = a + b; }
inline float Dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V Cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline bool IsZero(V a) { return a.x == 0.0f && a.y == 0.0f && a.z == 0.0f; }

inline V Load3(const float* f) { return {f[0], f[1], f[2]}; }
inline V Gather3(const float* x, const float* y, const float* z) { return {*x, *y, *z}; }
inline void Store4(float* out, V v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}
inline unsigned LessEqualMask(V a, V b) {
    return (a.x <= b.x ? 1u : 0u) | (a.y <= b.y ? 2u : 0u) | (a.z <= b.z ? 4u : 0u);
}
inline unsigned GreaterEqualMask(V a, V b) {
    return (a.x >= b.x ? 1u : 0u) | (a.y >= b.y ? 2u : 0u) | (a.z >= b.z ? 4u : 0u);
}

inline unsigned GreaterMask(V a, V b) {
    return (a.x > b.x ? 1u : 0u) | (a.y > b.y ? 2u : 0u) | (a.z > b.z ? 4u : 0u);
}
inline unsigned LessMask(V a, V b) { return (a.x < b.x ? 1u : 0u) | (a.y < b.y ? 2u : 0u) | (a.z < b.z ? 4u : 0u); }

inline unsigned PlaneCandidates(V a0, V a1) {
    auto one = [](float x0, float x1) { return x0 * x1 < -1e-6f || std::fabs(x0) < 1e-6f || std::fabs(x1) < 1e-6f; };
    return (one(a0.x, a1.x) ? 1u : 0u) | (one(a0.y, a1.y) ? 2u : 0u) | (one(a0.z, a1.z) ? 4u : 0u);
}

struct M {
    Geometry::Matrix3x3 m;
};
inline M TransposeOf(const Geometry::Matrix3x3& m) { return {m.Transpose()}; }
inline M LoadSymmetric(const Geometry::Matrix3x3& m) { return {m}; }
inline M LoadSymmetricPadded(const Geometry::Matrix3x3& m) { return {m}; }
inline V Mul(const M& m, V v) {
    const float* e = m.m.m;
    return {e[0] * v.x + e[1] * v.y + e[2] * v.z, e[3] * v.x + e[4] * v.y + e[5] * v.z,
            e[6] * v.x + e[7] * v.y + e[8] * v.z};
}

#endif

}  // namespace Simd
}  // namespace Physics
