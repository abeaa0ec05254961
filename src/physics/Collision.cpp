#include "physics/Collision.h"

#include <algorithm>
#include <cmath>

#include "physics/PhysBody.h"
#include "physics/PhysSimd.h"

namespace Physics {

using Geometry::Vector3;

namespace {

constexpr float kClipEps = 1e-6f;

inline Vector3 AxisOf(const BoxShape& s, int i) {
    return {s.rotationT.m[i * 3], s.rotationT.m[i * 3 + 1], s.rotationT.m[i * 3 + 2]};
}

inline void Project(const BoxShape& s, const Vector3& a, float& mn, float& mx) {
    const float c = s.position.Dot(a);
    const float r = s.halfExtents.x * std::fabs(AxisOf(s, 0).Dot(a)) +
                    s.halfExtents.y * std::fabs(AxisOf(s, 1).Dot(a)) +
                    s.halfExtents.z * std::fabs(AxisOf(s, 2).Dot(a));
    mn = c - r;
    mx = c + r;
}

// OverlapOf, inlined into the separating-axis loop.
inline __attribute__((always_inline)) bool Overlap(float minA, float maxA, float minB, float maxB, float tolerance,
                                                   float& overlap) {
    if (minA > maxB + tolerance + 1e-6f || minB > maxA + 1e-6f) return false;
    if (maxA > maxB && minB > minA)
        overlap = std::min(maxB - minA, maxA - minB);
    else if (maxB > maxA && minA > minB)
        overlap = std::min(maxA - minB, maxB - minA);
    else
        overlap = std::min(maxA, maxB) - std::max(minA, minB);
    return true;
}

inline float MinComponent(const Vector3& v) { return std::min(v.x, std::min(v.y, v.z)); }

constexpr int kEdges[12][2] = {{0, 1}, {0, 2}, {0, 4}, {2, 3}, {2, 6}, {4, 5},
                               {4, 6}, {1, 3}, {1, 5}, {3, 7}, {5, 7}, {6, 7}};

// Corner k of Q is the minimum corner plus the edges whose bits k has (4: x,
// 2: y, 1: z), so each edge joins two corners that differ in one bit. The
// edges fall into three groups of four by that bit, each edge a lane:
// bit 4: (k, k + 4); bit 2: (0, 2), (1, 3), (4, 6), (5, 7); bit 1: (0, 1),
// (2, 3), (4, 5), (6, 7). kEdgeBits[g][m] holds the bits (in kEdges order)
// of the edges of group g whose lanes are set in m.
constexpr int kGroupCorners[3][4][2] = {{{0, 4}, {1, 5}, {2, 6}, {3, 7}},
                                        {{0, 2}, {1, 3}, {4, 6}, {5, 7}},
                                        {{0, 1}, {2, 3}, {4, 5}, {6, 7}}};
struct EdgeBitTable {
    uint16_t bits[3][16] = {};
    constexpr EdgeBitTable() {
        for (int g = 0; g < 3; ++g)
            for (int m = 0; m < 16; ++m)
                for (int lane = 0; lane < 4; ++lane) {
                    if (((m >> lane) & 1) == 0) continue;
                    for (int e = 0; e < 12; ++e)
                        if (kEdges[e][0] == kGroupCorners[g][lane][0] && kEdges[e][1] == kGroupCorners[g][lane][1])
                            bits[g][m] = static_cast<uint16_t>(bits[g][m] | (1u << e));
                }
    }
};
constexpr EdgeBitTable kEdgeBits;
static_assert(kEdgeBits.bits[0][15] + kEdgeBits.bits[1][15] + kEdgeBits.bits[2][15] == 0xFFF,
              "every edge in exactly one group");

struct PointList {
    Vector3* pts;
    int count = 0;
    float merge2 = 0.0f;

    // True when the point became a new entry.
    bool Add(const Vector3& p) {
        for (int i = 0; i < count; ++i) {
            if ((pts[i] - p).LengthSquared() < merge2) {
                pts[i] = (pts[i] + p) * 0.5f;
                return false;
            }
        }
        if (count < 8) {
            pts[count++] = p;
            return true;
        }
        return false;
    }
};

// Clips the edge e0-e1 (in P's corner frame) against the box [0, size];
// every point found goes into the list (at most two per edge). Returns how
// many of them became new entries: merged repeats of a corner must not use up
// a phase's budget, or two aligned boxes of one size would get only three of
// their four shared corners and a stack of them would tip over.
int ClipEdge(const float* e0, const float* e1, const float* size, const Simd::M& rotation, Simd::V origin,
             PointList& list) {
    using Simd::V;
    // The planes the edge crosses or touches, all six at once: a plane is
    // looked at below only when one of its three conditions holds here for
    // the same end distances (bit axis of atSize for the plane at the size,
    // of atZero for the plane at 0).
    const V v0 = Simd::Load3(e0), v1 = Simd::Load3(e1), box = Simd::Load3(size);
    const unsigned atSize = Simd::PlaneCandidates(v0 - box, v1 - box);
    const unsigned atZero = Simd::PlaneCandidates(v0, v1);
    // The planes are walked axis 2 down to 0, at the size before at 0: bit
    // 2 (2 - axis) + side holds plane (axis, side), so the set bits come in
    // that order (a per-plane test of the masks mispredicted often).
    static const uint8_t kSpread[8] = {0, 16, 4, 20, 1, 17, 5, 21};  // bit axis to bit 2 (2 - axis)
    unsigned planes = kSpread[atSize] | (kSpread[atZero] << 1);
    if (planes == 0) return 0;
    int got = 0;
    int fresh = 0;
    const V d = v1 - v0;
    const V lowest = Simd::Splat(-kClipEps);
    const V highest = box + Simd::Splat(kClipEps);
    for (; planes != 0; planes &= planes - 1) {
        const int k = __builtin_ctz(planes);
        const int axis = 2 - (k >> 1);
        const float plane = (k & 1) == 0 ? size[axis] : 0.0f;
        const float a0 = e0[axis] - plane;
        const float a1 = e1[axis] - plane;
        float u;
        if (a0 * a1 < -1e-6f) {
            u = -a0 / (a1 - a0);
            if (u < 0.0f) continue;
        } else if (std::fabs(a0) < 1e-6f) {
            u = 0.0f;
        } else if (std::fabs(a1) < 1e-6f) {
            u = 1.0f;
        } else {
            continue;
        }
        // e0 + d u on every lane; the point must lie within the box (with
        // the margin) on the two other axes, tested together.
        const V q = v0 + d * u;
        const unsigned others = 7u & ~(1u << axis);
        if ((Simd::GreaterMask(q, lowest) & Simd::LessMask(q, highest) & others) != others) continue;
        // P's rotation times the point, plus P's minimum corner.
        Vector3 world;
        Simd::Store(world, Simd::Mul(rotation, q) + origin);
        if (list.Add(world)) ++fresh;
        if (++got == 2) return fresh;
    }
    return fresh;
}

// The edges of Q (bit e for kEdges[e]) that do not have both corners beyond
// the same face of P: at or below low, or at or above high, on one axis.
#if defined(__SSE2__)
unsigned LiveEdges(const Simd::V* corners, Simd::V low, Simd::V high) {
    // The corners by coordinate: c[0..2] x, y, z of corners 0-3, d[0..2] of 4-7.
    __m128 c0 = corners[0].r, c1 = corners[1].r, c2 = corners[2].r, c3 = corners[3].r;
    _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
    __m128 d0 = corners[4].r, d1 = corners[5].r, d2 = corners[6].r, d3 = corners[7].r;
    _MM_TRANSPOSE4_PS(d0, d1, d2, d3);
    const __m128 c[3] = {c0, c1, c2}, d[3] = {d0, d1, d2};
    const __m128 lo = _mm_shuffle_ps(low.r, low.r, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 hi[3] = {_mm_shuffle_ps(high.r, high.r, _MM_SHUFFLE(0, 0, 0, 0)),
                          _mm_shuffle_ps(high.r, high.r, _MM_SHUFFLE(1, 1, 1, 1)),
                          _mm_shuffle_ps(high.r, high.r, _MM_SHUFFLE(2, 2, 2, 2))};
    // Per group, the lanes of edges with both corners beyond one face.
    __m128 dead[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    for (int face = 0; face < 6; ++face) {
        const int axis = face % 3;
        const __m128 first = face < 3 ? _mm_cmple_ps(c[axis], lo) : _mm_cmpge_ps(c[axis], hi[axis]);
        const __m128 last = face < 3 ? _mm_cmple_ps(d[axis], lo) : _mm_cmpge_ps(d[axis], hi[axis]);
        dead[0] = _mm_or_ps(dead[0], _mm_and_ps(first, last));
        dead[1] = _mm_or_ps(dead[1], _mm_and_ps(_mm_shuffle_ps(first, last, _MM_SHUFFLE(1, 0, 1, 0)),
                                                _mm_shuffle_ps(first, last, _MM_SHUFFLE(3, 2, 3, 2))));
        dead[2] = _mm_or_ps(dead[2], _mm_and_ps(_mm_shuffle_ps(first, last, _MM_SHUFFLE(2, 0, 2, 0)),
                                                _mm_shuffle_ps(first, last, _MM_SHUFFLE(3, 1, 3, 1))));
    }
    const unsigned skipped = kEdgeBits.bits[0][_mm_movemask_ps(dead[0])] | kEdgeBits.bits[1][_mm_movemask_ps(dead[1])] |
                             kEdgeBits.bits[2][_mm_movemask_ps(dead[2])];
    return ~skipped & 0xFFFu;
}
#else
unsigned LiveEdges(const Simd::V* corners, Simd::V low, Simd::V high) {
    unsigned below[8], above[8];
    for (int k = 0; k < 8; ++k) {
        below[k] = Simd::LessEqualMask(corners[k], low);
        above[k] = Simd::GreaterEqualMask(corners[k], high);
    }
    unsigned live = 0;
    for (int e = 0; e < 12; ++e) {
        const int i = kEdges[e][0], j = kEdges[e][1];
        if (((below[i] & below[j]) | (above[i] & above[j])) == 0) live |= 1u << e;
    }
    return live;
}
#endif

// The support point of a face meets the other box anywhere on that face; a
// large face (the ground, a wall) would put it at the face's centre, far from
// where the boxes touch. Along each of the face box's two other axes, a point
// outside the range both boxes cover is moved to the middle of that range.
Vector3 KeepInOverlap(Vector3 p, const BoxShape& face, const BoxShape& other, int normalAxis) {
    for (int i = 0; i < 3; ++i) {
        if (i == normalAxis) continue;
        const Vector3 t = AxisOf(face, i);
        float loF, hiF, loO, hiO;
        Project(face, t, loF, hiF);
        Project(other, t, loO, hiO);
        const float lo = std::max(loF, loO);
        const float hi = std::min(hiF, hiO);
        const float at = p.Dot(t);
        if (lo <= hi && (at < lo || at > hi)) p += t * ((lo + hi) * 0.5f - at);
    }
    return p;
}

}  // namespace

Vector3 Support(const BoxShape& box, const Vector3& direction) {
    Vector3 c = box.position;
    for (int i = 0; i < 3; ++i) {
        const Vector3 a = AxisOf(box, i);
        const float d = a.Dot(direction);
        if (d > 0.001f)
            c += a * box.halfExtents[i];
        else if (d <= -0.001f)
            c -= a * box.halfExtents[i];
    }
    return c;
}

bool OverlapOnAxis(const Vector3& axis, const BoxShape& a, const BoxShape& b, float tolerance, float& overlap) {
    float minA, maxA, minB, maxB;
    Project(a, axis, minA, maxA);
    Project(b, axis, minB, maxB);
    return OverlapOf(minA, maxA, minB, maxB, tolerance, overlap);
}

bool OverlapOf(float minA, float maxA, float minB, float maxB, float tolerance, float& overlap) {
    return Overlap(minA, maxA, minB, maxB, tolerance, overlap);
}

int ContactBoxBox(const BoxShape& a, const BoxShape& b, float mergeDistance, Vector3 out[8]) {
    using Simd::V;
    PointList list;
    list.pts = out;
    list.merge2 = mergeDistance * mergeDistance;
    for (int phase = 0; phase < 2; ++phase) {
        const BoxShape& p = phase == 0 ? a : b;
        const BoxShape& q = phase == 0 ? b : a;
        // The products with P's rotation and its transpose, in three-lane
        // arithmetic: the columns of one are the rows of the other.
        const Simd::M rotation = Simd::TransposeOf(p.rotationT);
        const Simd::M rotationT = Simd::TransposeOf(p.rotation);
        const V hp = Simd::Load(p.halfExtents);
        const V size = hp * 2.0f;
        // World position of P's minimum corner.
        const V origin = Simd::Load(p.position) - Simd::Mul(rotation, hp);
        // Q in P's corner frame.
        const V c = Simd::Mul(rotationT, Simd::Load(q.position) - Simd::Load(p.position)) + hp;
        const V qa0 = Simd::Mul(rotationT, Simd::Load3(&q.rotationT.m[0]));
        const V qa1 = Simd::Mul(rotationT, Simd::Load3(&q.rotationT.m[3]));
        const V qa2 = Simd::Mul(rotationT, Simd::Load3(&q.rotationT.m[6]));
        const V ex = qa0 * (2.0f * q.halfExtents.x);
        const V ey = qa1 * (2.0f * q.halfExtents.y);
        const V ez = qa2 * (2.0f * q.halfExtents.z);
        const V mn = c - qa0 * q.halfExtents.x - qa1 * q.halfExtents.y - qa2 * q.halfExtents.z;
        float box[4];
        Simd::Store4(box, size);
        // Corners beyond the same face of P on both ends of an edge: no point
        // of that edge can lie on P, so the edge is skipped untested.
        const V low = Simd::Splat(-kClipEps);
        const V high = size + Simd::Splat(kClipEps);
        float corner[8][4];
        V corners[8];
        for (int k = 0; k < 8; ++k) {
            V v = mn;
            if (k & 4) v += ex;
            if (k & 2) v += ey;
            if (k & 1) v += ez;
            corners[k] = v;
            Simd::Store4(corner[k], v);
        }
        int produced = 0;
        for (unsigned live = LiveEdges(corners, low, high); live != 0 && produced < 6; live &= live - 1) {
            const int e = __builtin_ctz(live);
            produced += ClipEdge(corner[kEdges[e][0]], corner[kEdges[e][1]], box, rotation, origin, list);
        }
    }
    return list.count;
}

namespace {

// The normal and depth from the winning axis (TestBoxAxes' last part).
bool FinishAxes(const BoxShape& a, const BoxShape& b, float best, int bestIndex, bool full, AxisTest& out) {
    if (bestIndex < 0) return false;
    const Vector3 offset = b.position - a.position;
    Vector3 n = bestIndex < 3   ? AxisOf(a, bestIndex)
                : bestIndex < 6 ? AxisOf(b, bestIndex - 3)
                                : Geometry::Cross(AxisOf(a, (bestIndex - 6) / 3), AxisOf(b, (bestIndex - 6) % 3));
    n = n / n.Length();
    if (n.Dot(offset) > 0.0f) n = -n;
    out.normal = n;
    out.depth = best;
    out.axis = bestIndex;
    // An edge pair whose edges are nearly parallel in the contact plane has
    // no report point: no contact (decided here, so that a pair found by
    // this test is a contact whatever is asked of it later).
    if (full && bestIndex >= 6) {
        const Vector3 c = Geometry::Cross(n, AxisOf(b, (bestIndex - 6) % 3));
        if (std::fabs(AxisOf(a, (bestIndex - 6) / 3).Dot(c)) < 1e-6f) return false;
    }
    return true;
}

}  // namespace

bool TestBoxAxesScalar(const BoxShape& a, const BoxShape& b, float tolerance, bool full, AxisTest& out) {
    // Every projection of the fifteen axes follows from the dot products of
    // the two boxes' axes (r[i][j] = A_i . B_j) and from the offset of B's
    // centre along A's and B's axes; measured from A's centre, A covers
    // [-ra, ra] on an axis and B covers [d - rb, d + rb]. The loops are
    // unrolled, so that every index below is a constant.
    Vector3 ax[3], bx[3];
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        ax[i] = AxisOf(a, i);
        bx[i] = AxisOf(b, i);
    }
    float r[3][3], absR[3][3];
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i)
#pragma GCC unroll 3
        for (int j = 0; j < 3; ++j) {
            r[i][j] = ax[i].Dot(bx[j]);
            absR[i][j] = std::fabs(r[i][j]);
        }
    const Vector3 offset = b.position - a.position;
    float tA[3], tB[3];
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        tA[i] = offset.Dot(ax[i]);
        tB[i] = offset.Dot(bx[i]);
    }
    const float ha[3] = {a.halfExtents.x, a.halfExtents.y, a.halfExtents.z};
    const float hb[3] = {b.halfExtents.x, b.halfExtents.y, b.halfExtents.z};

    float best = 1e7f;
    int bestIndex = -1;
    auto consider = [&](int k, float d, float ra, float rb, float length) {
        float overlap;
        if (!Overlap(-ra, ra, d - rb, d + rb, tolerance, overlap)) return false;
        overlap /= length;
        if (overlap < best) {
            best = overlap;
            bestIndex = k;
        }
        return true;
    };
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        const float rb = hb[0] * absR[i][0] + hb[1] * absR[i][1] + hb[2] * absR[i][2];
        if (!consider(i, tA[i], ha[i], rb, 1.0f)) return false;
    }
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) {
        const float ra = ha[0] * absR[0][j] + ha[1] * absR[1][j] + ha[2] * absR[2][j];
        if (!consider(3 + j, tB[j], ra, hb[j], 1.0f)) return false;
    }
    // Crossed axes A_i x B_j; nearly parallel pairs give no axis. Such an
    // axis has no direction of its own, so it is turned to point from B
    // towards A (d <= 0): the tolerance widens only the side where A lies
    // beyond B, and a mere sign must not decide whether a gap counts.
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
#pragma GCC unroll 3
        for (int j = 0; j < 3; ++j) {
            const float len2 = 1.0f - r[i][j] * r[i][j];
            if (len2 < 1e-6f) continue;
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            const float ra = ha[i1] * absR[i2][j] + ha[i2] * absR[i1][j];
            const float rb = hb[j1] * absR[i][j2] + hb[j2] * absR[i][j1];
            const float d = -std::fabs(tA[i2] * r[i1][j] - tA[i1] * r[i2][j]);
            if (!consider(6 + i * 3 + j, d, ra, rb, std::sqrt(len2))) return false;
        }
    }
    return FinishAxes(a, b, best, bestIndex, full, out);
}

#if defined(__SSE2__)
namespace {

// Overlap (above) on each lane: the overlap, and in separated the lanes where
// the projections are apart. std::min (a, b) is (b < a ? b : a), which is
// _mm_min_ps (b, a); std::max (a, b) is (a < b ? b : a), _mm_max_ps (b, a).
inline __m128 OverlapLanes(__m128 minA, __m128 maxA, __m128 minB, __m128 maxB, __m128 tolerance,
                           __m128& separated) {
    const __m128 eps = _mm_set1_ps(1e-6f);
    separated = _mm_or_ps(_mm_cmpgt_ps(minA, _mm_add_ps(_mm_add_ps(maxB, tolerance), eps)),
                          _mm_cmpgt_ps(minB, _mm_add_ps(maxA, eps)));
    const __m128 bInA = _mm_and_ps(_mm_cmpgt_ps(maxA, maxB), _mm_cmpgt_ps(minB, minA));
    const __m128 aInB = _mm_and_ps(_mm_cmpgt_ps(maxB, maxA), _mm_cmpgt_ps(minA, minB));
    const __m128 v1 = _mm_min_ps(_mm_sub_ps(maxA, minB), _mm_sub_ps(maxB, minA));  // min (maxB - minA, maxA - minB)
    const __m128 v2 = _mm_min_ps(_mm_sub_ps(maxB, minA), _mm_sub_ps(maxA, minB));  // min (maxA - minB, maxB - minA)
    const __m128 other = _mm_sub_ps(_mm_min_ps(maxB, maxA), _mm_max_ps(minB, minA));
    const __m128 inner = _mm_or_ps(_mm_and_ps(bInA, v1), _mm_andnot_ps(bInA, v2));
    const __m128 nested = _mm_or_ps(bInA, aInB);
    return _mm_or_ps(_mm_and_ps(nested, inner), _mm_andnot_ps(nested, other));
}

inline __m128 Abs(__m128 v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
inline __m128 Splat(__m128 v, int lane) {
    switch (lane) {
        case 0: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
        case 1: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
        default: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
    }
}
inline __m128 RotYZX(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 0, 2, 1)); }
inline __m128 RotZXY(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 1, 0, 2)); }

}  // namespace

// The same test four lanes at a time: each axis's projections and overlap
// come out of the same operations as in TestBoxAxesScalar, and the first
// smallest overlap wins as there.
bool TestBoxAxes(const BoxShape& a, const BoxShape& b, float tolerance, bool full, AxisTest& out) {
    using Simd::V;
    // Rows of r (A_i . B_j over j) and its columns (over i): row i is B's
    // rotation (columns B_j) times A_i, column j A's rotation times B_j.
    const Simd::M bCols = Simd::TransposeOf(b.rotation);  // columns: x, y, z of B_0, B_1, B_2
    const Simd::M aCols = Simd::TransposeOf(a.rotation);
    const V ax0 = Simd::Load3(&a.rotationT.m[0]), ax1 = Simd::Load3(&a.rotationT.m[3]),
            ax2 = Simd::Load3(&a.rotationT.m[6]);
    const V bx0 = Simd::Load3(&b.rotationT.m[0]), bx1 = Simd::Load3(&b.rotationT.m[3]),
            bx2 = Simd::Load3(&b.rotationT.m[6]);
    const __m128 rRow[3] = {Simd::Mul(bCols, ax0).r, Simd::Mul(bCols, ax1).r, Simd::Mul(bCols, ax2).r};
    const __m128 rCol[3] = {Simd::Mul(aCols, bx0).r, Simd::Mul(aCols, bx1).r, Simd::Mul(aCols, bx2).r};
    const __m128 absRow[3] = {Abs(rRow[0]), Abs(rRow[1]), Abs(rRow[2])};
    const __m128 absCol[3] = {Abs(rCol[0]), Abs(rCol[1]), Abs(rCol[2])};
    const V offset = Simd::Load(b.position) - Simd::Load(a.position);
    const __m128 tA = Simd::Mul(aCols, offset).r;  // offset . A_i
    const __m128 tB = Simd::Mul(bCols, offset).r;  // offset . B_j
    const __m128 ha = Simd::Load(a.halfExtents).r;
    const __m128 hb = Simd::Load(b.halfExtents).r;
    const __m128 tol = _mm_set1_ps(tolerance);
    const __m128 sign = _mm_set1_ps(-0.0f);

    float best = 1e7f;
    int bestIndex = -1;
    alignas(16) float overlap[4];
    auto pick = [&](int first, unsigned lanes) {
        for (int k = 0; k < 3; ++k)
            if ((lanes >> k) & 1u) {
                if (overlap[k] < best) {
                    best = overlap[k];
                    bestIndex = first + k;
                }
            }
    };
    __m128 separated;
    // A's axes: A covers [-ha, ha], B [tA - rb, tA + rb], rb = hb . |r| row.
    {
        const __m128 rb = _mm_add_ps(_mm_add_ps(_mm_mul_ps(Splat(hb, 0), absCol[0]), _mm_mul_ps(Splat(hb, 1), absCol[1])),
                                     _mm_mul_ps(Splat(hb, 2), absCol[2]));
        _mm_store_ps(overlap, OverlapLanes(_mm_xor_ps(ha, sign), ha, _mm_sub_ps(tA, rb), _mm_add_ps(tA, rb), tol,
                                           separated));
        if (_mm_movemask_ps(separated) & 7) return false;
        pick(0, 7u);
    }
    // B's axes: A covers [-ra, ra], ra = ha . |r| column; B [tB - hb, tB + hb].
    {
        const __m128 ra = _mm_add_ps(_mm_add_ps(_mm_mul_ps(Splat(ha, 0), absRow[0]), _mm_mul_ps(Splat(ha, 1), absRow[1])),
                                     _mm_mul_ps(Splat(ha, 2), absRow[2]));
        _mm_store_ps(overlap, OverlapLanes(_mm_xor_ps(ra, sign), ra, _mm_sub_ps(tB, hb), _mm_add_ps(tB, hb), tol,
                                           separated));
        if (_mm_movemask_ps(separated) & 7) return false;
        pick(3, 7u);
    }
    // Crossed axes A_i x B_j, over j on the lanes (see TestBoxAxesScalar).
    const __m128 hb1 = RotYZX(hb), hb2 = RotZXY(hb);  // hb[j + 1], hb[j + 2]
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        const int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        const __m128 len2 = _mm_sub_ps(_mm_set1_ps(1.0f), _mm_mul_ps(rRow[i], rRow[i]));
        const unsigned lanes = ~static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(len2, _mm_set1_ps(1e-6f)))) & 7u;
        if (lanes == 0) continue;
        const __m128 ra = _mm_add_ps(_mm_mul_ps(Splat(ha, i1), absRow[i2]), _mm_mul_ps(Splat(ha, i2), absRow[i1]));
        const __m128 rb = _mm_add_ps(_mm_mul_ps(hb1, RotZXY(absRow[i])), _mm_mul_ps(hb2, RotYZX(absRow[i])));
        const __m128 d = _mm_xor_ps(
            Abs(_mm_sub_ps(_mm_mul_ps(Splat(tA, i2), rRow[i1]), _mm_mul_ps(Splat(tA, i1), rRow[i2]))), sign);
        const __m128 o = OverlapLanes(_mm_xor_ps(ra, sign), ra, _mm_sub_ps(d, rb), _mm_add_ps(d, rb), tol, separated);
        if (static_cast<unsigned>(_mm_movemask_ps(separated)) & lanes) return false;
        _mm_store_ps(overlap, _mm_div_ps(o, _mm_sqrt_ps(len2)));
        pick(6 + 3 * i, lanes);
    }
    return FinishAxes(a, b, best, bestIndex, full, out);
}
#else
bool TestBoxAxes(const BoxShape& a, const BoxShape& b, float tolerance, bool full, AxisTest& out) {
    return TestBoxAxesScalar(a, b, tolerance, full, out);
}
#endif

void ContactPointsOf(const BoxShape& a, const BoxShape& b, const AxisTest& axes, ContactManifold& out) {
    const Vector3 n = axes.normal;
    const int bestIndex = axes.axis;
    out.normal = n;
    const float d = axes.depth;
    Vector3 p0;
    if (bestIndex < 3) {
        p0 = KeepInOverlap(Support(b, n) - n * (d * 0.5f), a, b, bestIndex);
    } else if (bestIndex < 6) {
        p0 = KeepInOverlap(Support(a, -n) + n * (d * 0.5f), b, a, bestIndex - 3);
    } else {
        const int i = (bestIndex - 6) / 3;
        const int j = (bestIndex - 6) % 3;
        const Vector3 pA = Support(a, -n);
        const Vector3 pB = Support(b, n);
        const Vector3 eA = AxisOf(a, i);
        const Vector3 c = Geometry::Cross(n, AxisOf(b, j));
        const float denom = eA.Dot(c);  // not near 0: TestBoxAxes refused those
        const float s = (pB - pA).Dot(c) / denom;
        p0 = pA + eA * s + n * (d * 0.5f);
    }

    Vector3 clipped[8];
    int clippedCount = 0;
    if (d > -1e-6f) {
        const float t = 0.1f * std::min(MinComponent(a.halfExtents), MinComponent(b.halfExtents));
        clippedCount = ContactBoxBox(a, b, t, clipped);
    }

    // Depth at the start of the step: the prediction moved both boxes.
    float depth = d + n.Dot((a.position - a.startPosition) - (b.position - b.startPosition));
    out.SetPoint(0, p0 - a.position, p0 - b.position, depth);
    if (depth > 0.0f) depth *= 0.8f;
    for (int k = 0; k < clippedCount; ++k)
        out.SetPoint(1 + static_cast<uint32_t>(k), clipped[k] - a.position, clipped[k] - b.position, depth);
    out.count = 1 + static_cast<uint32_t>(clippedCount);
    out.reportPoint = p0;
}

bool TestBoxBox(const BoxShape& a, const BoxShape& b, ContactManifold& out, bool full, float tolerance) {
    AxisTest axes;
    if (!TestBoxAxes(a, b, tolerance, full, axes)) return false;
    out.normal = axes.normal;
    if (full) ContactPointsOf(a, b, axes, out);
    return true;
}

}  // namespace Physics
