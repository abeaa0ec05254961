#include "utility/Spline.h"

#include <algorithm>
#include <cmath>
#include <istream>

#include "utility/MatrixN.h"

namespace Utility {

using Geometry::Vector2;

Vector2 Spline::Segment::PointAt(float t) const {
    const float it = 1.0f - t;
    return B0 * (it * it * it) + B1 * (3.0f * t * it * it) + B2 * (3.0f * t * t * it) + B3 * (t * t * t);
}

Vector2 Spline::Segment::PointAtLength(float d) const {
    if (table.empty()) return B0;
    size_t j = 0;
    while (j < table.size() && table[j].second < d) ++j;
    if (j == table.size()) return PointAt(table.back().first);
    const size_t k = j == 0 ? 0 : j - 1;
    const float sj = table[j].second, sk = table[k].second;
    const float tj = table[j].first, tk = table[k].first;
    if (sj == sk) return PointAt(tk);
    const float f = (d - sk) / (sj - sk);
    return PointAt(tk + f * (tj - tk));
}

void Spline::Clear() {
    points.clear();
    segments.clear();
    totalLength = 0.0f;
}

bool Spline::Build() {
    segments.clear();
    totalLength = 0.0f;
    const int n = static_cast<int>(points.size());
    if (n < 2) return true;

    // S(t) = a0 + a1 t + a2 t^2 + a3 t^3 + sum_k c_k (t - k)^3 [t > k], k = 1 .. n-2.
    const int m = n + 2;
    MatrixN A(m, m);
    std::vector<Vector2> rhs(m);
    auto pointRow = [&](int row, int j) {
        const double t = j;
        A(row, 0) = 1.0f;
        A(row, 1) = static_cast<float>(t);
        A(row, 2) = static_cast<float>(t * t);
        A(row, 3) = static_cast<float>(t * t * t);
        for (int k = 1; k <= n - 2; ++k) {
            const double dk = j - k;
            A(row, 3 + k) = j > k ? static_cast<float>(dk * dk * dk) : 0.0f;
        }
        rhs[row] = points[j];
    };
    pointRow(0, 0);
    pointRow(1, 1);
    A(2, 2) = 2.0f;  // S''(0) = 0
    for (int j = 2; j <= n - 1; ++j) pointRow(j + 1, j);
    const int last = n + 1;  // S''(n-1) = 0
    A(last, 2) = 2.0f;
    A(last, 3) = 6.0f * (n - 1);
    for (int k = 1; k <= n - 2; ++k) A(last, 3 + k) = (n - 1 > k) ? 6.0f * (n - 1 - k) : 0.0f;

    if (!A.Invert()) return false;
    std::vector<double> cx(m, 0.0), cy(m, 0.0);
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < m; ++c) {
            cx[r] += static_cast<double>(A(r, c)) * rhs[c].x;
            cy[r] += static_cast<double>(A(r, c)) * rhs[c].y;
        }

    segments.resize(n - 1);
    for (int s = 0; s < n - 1; ++s) {
        // The cubic of [s, s+1] in the local parameter u = t - s:
        // (u + m)^3 = u^3 + 3m u^2 + 3m^2 u + m^3 for each active term.
        double b[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}};
        const double* coef[2] = {cx.data(), cy.data()};
        for (int axis = 0; axis < 2; ++axis) {
            const double* c = coef[axis];
            double* o = b[axis];
            const double ms = s;
            o[0] += c[0] + c[1] * ms + c[2] * ms * ms + c[3] * ms * ms * ms;
            o[1] += c[1] + 2 * c[2] * ms + 3 * c[3] * ms * ms;
            o[2] += c[2] + 3 * c[3] * ms;
            o[3] += c[3];
            for (int k = 1; k <= s && k <= n - 2; ++k) {
                const double mk = s - k;
                const double ck = c[3 + k];
                o[0] += ck * mk * mk * mk;
                o[1] += ck * 3 * mk * mk;
                o[2] += ck * 3 * mk;
                o[3] += ck;
            }
        }
        auto V = [](double x, double y) { return Vector2(static_cast<float>(x), static_cast<float>(y)); };
        Segment& seg = segments[s];
        seg.B0 = V(b[0][0], b[1][0]);
        seg.B1 = V(b[0][0] + b[0][1] / 3, b[1][0] + b[1][1] / 3);
        seg.B2 = V(b[0][0] + 2 * b[0][1] / 3 + b[0][2] / 3, b[1][0] + 2 * b[1][1] / 3 + b[1][2] / 3);
        seg.B3 = V(b[0][0] + b[0][1] + b[0][2] + b[0][3], b[1][0] + b[1][1] + b[1][2] + b[1][3]);
        BuildTable(seg);
        totalLength += seg.length;
    }
    return true;
}

void Spline::BuildTable(Segment& seg) {
    struct Interval {
        float t0, t1;
        int depth;
    };
    seg.table.clear();
    seg.table.emplace_back(0.0f, 0.0f);
    // Depth first, left half first: a stack whose top is the front of the list.
    std::vector<Interval> work{{0.0f, 1.0f, 0}};
    while (!work.empty()) {
        const Interval iv = work.back();
        work.pop_back();
        const float tm = (iv.t0 + iv.t1) * 0.5f;
        const Vector2 p0 = seg.PointAt(iv.t0), pm = seg.PointAt(tm), p1 = seg.PointAt(iv.t1);
        const float a = (pm - p0).Length();
        const float b = (p1 - pm).Length();
        const float c = (p1 - p0).Length();
        if ((a + b - c > kMaxBend || c > kMaxChord) && iv.depth < kMaxDepth) {
            work.push_back({tm, iv.t1, iv.depth + 1});
            work.push_back({iv.t0, tm, iv.depth + 1});
        } else {
            const float L = seg.table.back().second;
            seg.table.emplace_back(tm, L + a);
            seg.table.emplace_back(iv.t1, L + a + b);
        }
    }
    seg.length = seg.table.back().second;
}

size_t Spline::ReadPoints(std::istream& in, size_t maxPoints) {
    size_t taken = 0;
    Vector2 p;
    while (taken < maxPoints && in >> p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) break;
        points.push_back(p);
        ++taken;
    }
    return taken;
}

Vector2 Spline::GetPointAtDistance(float d) const {
    if (segments.empty()) return points.empty() ? Vector2() : points.front();
    if (!(totalLength > 0.0f) || !std::isfinite(totalLength) || !std::isfinite(d)) return segments.front().B0;
    if (d > totalLength) {
        // Wrap in one step (repeated subtraction never ends for huge d).
        d = std::fmod(d, totalLength);
        if (d <= 0.0f) d = totalLength;
    }
    for (const Segment& seg : segments) {
        if (seg.length >= d) return seg.PointAtLength(d);
        d -= seg.length;
    }
    // Rounding left d just past the last segment: its end.
    return segments.back().PointAt(1.0f);
}

}  // namespace Utility
