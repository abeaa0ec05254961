// A smooth 2-D curve through a list of points (natural cubic spline, one
// Bezier segment per pair of neighbours), sampled by distance along it and
// wrapping past its end; the HUD moves its pouch markers along one.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <utility>
#include <vector>

#include "utility/Geometry.h"

namespace Utility {

class Spline {
public:
    struct Segment {
        Geometry::Vector2 B0, B1, B2, B3;
        // (t, s): curve parameter and the arc length from t = 0 to t, both increasing.
        std::vector<std::pair<float, float>> table;
        float length = 0.0f;

        Geometry::Vector2 PointAt(float t) const;
        // The point at arc length d from the segment's start (clamped to it).
        Geometry::Vector2 PointAtLength(float d) const;
    };

    // The control points in curve order; the owner appends to them directly
    // and then calls Build.
    std::vector<Geometry::Vector2> points;
    float totalLength = 0.0f;
    std::vector<Segment> segments;

    void Clear();
    // Appends 2-D points read one after the other until a read fails, a
    // point is not finite, or maxPoints have been taken; returns how many.
    size_t ReadPoints(std::istream& in, size_t maxPoints);
    // Computes the segments and lengths from the points, replacing any earlier
    // ones. Fewer than two points give no segments and length 0. Returns false
    // (and leaves no segments) when the coefficient system cannot be solved.
    bool Build();
    // The point at distance d along the curve; distances past the end wrap
    // around, a distance at or below 0 gives the first point. A curve of
    // length 0 gives its first point (the zero vector when it has none).
    Geometry::Vector2 GetPointAtDistance(float d) const;

    // Longest chord an arc-length table interval may have, and the largest
    // allowed excess of the two half chords over the whole one.
    static constexpr float kMaxChord = 10.0f;
    static constexpr float kMaxBend = 0.01f;
    // Bisection depth limit: keeps huge or degenerate curves from splitting
    // without end (2^16 table intervals at most per segment).
    static constexpr int kMaxDepth = 16;

private:
    static void BuildTable(Segment& seg);
};

}  // namespace Utility
