// The small value types every component computes with: vectors, quaternions,
// row-major matrices that multiply column vectors, boxes, planes, rays, spheres.
// All components are 32-bit floats; y is up; angles are radians.
#pragma once

#include <cmath>
#include <exception>
#include <iosfwd>

namespace Geometry {

using f32 = float;

// Thrown by the throwing normalisations (Vector2::Normalized,
// Quaternion::Normalized, Quaternion::ToMatrix3x3) for a zero length. Code that
// runs every frame uses the Safe* variants, which never throw.
class ZeroDivide : public std::exception {
public:
    const char* what() const noexcept override;
};

// Smallest float step above 1; the threshold of the "nearly zero" tests.
constexpr f32 kEpsilon = 1.1920929e-7f;

struct Vector2 {
    f32 x = 0.0f, y = 0.0f;

    constexpr Vector2() = default;
    constexpr Vector2(f32 x_, f32 y_) : x(x_), y(y_) {}

    constexpr Vector2 operator+(const Vector2& o) const { return {x + o.x, y + o.y}; }
    constexpr Vector2 operator-(const Vector2& o) const { return {x - o.x, y - o.y}; }
    constexpr Vector2 operator-() const { return {-x, -y}; }
    constexpr Vector2 operator*(f32 s) const { return {x * s, y * s}; }
    constexpr Vector2 operator/(f32 s) const { return {x / s, y / s}; }
    Vector2& operator+=(const Vector2& o) { x += o.x; y += o.y; return *this; }
    Vector2& operator-=(const Vector2& o) { x -= o.x; y -= o.y; return *this; }
    Vector2& operator*=(f32 s) { x *= s; y *= s; return *this; }
    constexpr bool operator==(const Vector2& o) const { return x == o.x && y == o.y; }
    constexpr bool operator!=(const Vector2& o) const { return !(*this == o); }

    constexpr f32 Dot(const Vector2& o) const { return x * o.x + y * o.y; }
    constexpr f32 LengthSquared() const { return x * x + y * y; }
    f32 Length() const;
    // Throws ZeroDivide when the length is <= 0.
    Vector2 Normalized() const;
    // The zero vector when the length is zero or not finite; never throws.
    Vector2 SafeNormalized() const noexcept;
};

constexpr Vector2 operator*(f32 s, const Vector2& v) { return v * s; }

struct Vector3 {
    f32 x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(f32 x_, f32 y_, f32 z_) : x(x_), y(y_), z(z_) {}

    constexpr Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vector3 operator-() const { return {-x, -y, -z}; }
    constexpr Vector3 operator*(f32 s) const { return {x * s, y * s, z * s}; }
    constexpr Vector3 operator/(f32 s) const { return {x / s, y / s, z / s}; }
    Vector3& operator+=(const Vector3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector3& operator-=(const Vector3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector3& operator*=(f32 s) { x *= s; y *= s; z *= s; return *this; }
    Vector3& operator/=(f32 s) { x /= s; y /= s; z /= s; return *this; }
    // Exact comparison.
    constexpr bool operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }
    constexpr bool operator!=(const Vector3& o) const { return !(*this == o); }
    f32& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    f32 operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Vector3 Negated() const { return {-x, -y, -z}; }
    constexpr f32 Dot(const Vector3& o) const { return x * o.x + y * o.y + z * o.z; }
    constexpr f32 LengthSquared() const { return x * x + y * y + z * z; }
    f32 Length() const;
    // Scale to length 1. A zero (or non-finite) vector becomes the zero vector
    // instead of NaN, so these never throw and never poison a caller.
    Vector3& Normalize() noexcept;
    Vector3 Normalized() const noexcept;
    bool IsFinite() const noexcept;
};

constexpr Vector3 operator*(f32 s, const Vector3& v) { return v * s; }
constexpr f32 Dot(const Vector3& a, const Vector3& b) { return a.Dot(b); }
constexpr Vector3 Cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Angle between two directions in [0, pi]; 0 when either length is 0.
f32 AngleBetween(const Vector3& a, const Vector3& b);
// Unit normal of the triangle (counter-clockwise by the right-hand rule);
// the zero vector for a degenerate triangle.
Vector3 TriangleNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2);

// The shared absent/zero vector.
inline constexpr Vector3 kZeroVector{0.0f, 0.0f, 0.0f};

struct Vector4 {
    f32 x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    constexpr Vector4() = default;
    constexpr Vector4(f32 x_, f32 y_, f32 z_, f32 w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Vector4(const Vector3& v, f32 w_) : x(v.x), y(v.y), z(v.z), w(w_) {}

    constexpr Vector4 operator+(const Vector4& o) const { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
    constexpr Vector4 operator-(const Vector4& o) const { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
    constexpr Vector4 Scale(f32 s) const { return {x * s, y * s, z * s, w * s}; }
    constexpr f32 Dot(const Vector4& o) const { return x * o.x + y * o.y + z * o.z + w * o.w; }
    constexpr bool operator==(const Vector4& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    constexpr bool operator!=(const Vector4& o) const { return !(*this == o); }
    constexpr Vector3 XYZ() const { return {x, y, z}; }
};

// Row-major 3 x 3: element (r, c) at m[r * 3 + c]; multiplies column vectors.
struct Matrix3x3 {
    f32 m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

    constexpr Matrix3x3() = default;
    constexpr Matrix3x3(f32 m00, f32 m01, f32 m02, f32 m10, f32 m11, f32 m12, f32 m20, f32 m21, f32 m22)
        : m{m00, m01, m02, m10, m11, m12, m20, m21, m22} {}
    static constexpr Matrix3x3 Identity() { return Matrix3x3{}; }

    f32& operator()(int r, int c) { return m[r * 3 + c]; }
    constexpr f32 operator()(int r, int c) const { return m[r * 3 + c]; }
    Vector3 Row(int r) const { return {m[r * 3], m[r * 3 + 1], m[r * 3 + 2]}; }
    Vector3 Column(int c) const { return {m[c], m[3 + c], m[6 + c]}; }

    Vector3 operator*(const Vector3& v) const;
    Matrix3x3 operator*(const Matrix3x3& n) const;
    Matrix3x3& operator*=(const Matrix3x3& n);  // M = M N
    Matrix3x3 Transpose() const;
    bool operator==(const Matrix3x3& o) const;
    bool operator!=(const Matrix3x3& o) const { return !(*this == o); }
};

// Row-major 4 x 4: element (r, c) at m[r * 4 + c]; multiplies column vectors,
// so a translation sits in the last column.
struct Matrix4x4 {
    f32 m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    constexpr Matrix4x4() = default;
    constexpr Matrix4x4(f32 m00, f32 m01, f32 m02, f32 m03, f32 m10, f32 m11, f32 m12, f32 m13, f32 m20,
                        f32 m21, f32 m22, f32 m23, f32 m30, f32 m31, f32 m32, f32 m33)
        : m{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}
    static constexpr Matrix4x4 Identity() { return Matrix4x4{}; }
    // Rotation in the upper-left block, zeros elsewhere but (3, 3) = 1.
    static Matrix4x4 FromRotation(const Matrix3x3& r);
    static Matrix4x4 Translation(const Vector3& t);

    f32& operator()(int r, int c) { return m[r * 4 + c]; }
    constexpr f32 operator()(int r, int c) const { return m[r * 4 + c]; }

    Vector4 operator*(const Vector4& v) const;
    Matrix4x4 operator*(const Matrix4x4& n) const;
    Matrix4x4& operator*=(const Matrix4x4& n);  // M = M N
    Matrix4x4 Transpose() const;
    Matrix3x3 UpperLeft() const;
    bool operator==(const Matrix4x4& o) const;
    bool operator!=(const Matrix4x4& o) const { return !(*this == o); }
};

// M (p, 1) divided by its w (no check of w).
Vector3 TransformCoord(const Vector3& p, const Matrix4x4& M);

// Stored {w, x, y, z}; rotates actively (q v q*).
struct Quaternion {
    f32 w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(f32 w_, f32 x_, f32 y_, f32 z_) : w(w_), x(x_), y(y_), z(z_) {}
    constexpr Quaternion(f32 w_, const Vector3& v) : w(w_), x(v.x), y(v.y), z(v.z) {}

    static constexpr Quaternion Identity() { return Quaternion{}; }
    // (cos(angle/2), axis sin(angle/2)); the axis is used as given.
    static Quaternion FromAxisAngle(const Vector3& axis, f32 angle);
    // Rz(az) * Ry(ay) * Rx(ax).
    static Quaternion FromEuler(f32 ax, f32 ay, f32 az);
    static Quaternion FromMatrix(const Matrix4x4& m);
    static Quaternion FromMatrix(const Matrix3x3& m);
    // Shortest rotation taking direction a onto direction b. Identity when
    // either is zero; a half turn about a perpendicular axis when they are
    // opposite.
    static Quaternion FromTo(const Vector3& a, const Vector3& b);

    // Hamilton product.
    Quaternion operator*(const Quaternion& b) const;
    Quaternion& operator*=(const Quaternion& b) { return *this = *this * b; }
    constexpr bool operator==(const Quaternion& o) const { return w == o.w && x == o.x && y == o.y && z == o.z; }
    constexpr bool operator!=(const Quaternion& o) const { return !(*this == o); }

    constexpr Vector3 Vec() const { return {x, y, z}; }
    constexpr Quaternion Conjugate() const { return {w, -x, -y, -z}; }
    constexpr f32 LengthSquared() const { return w * w + x * x + y * y + z * z; }
    f32 Length() const;
    // Throws ZeroDivide when the length is <= 0.
    Quaternion Normalized() const;
    // Identity when the length is zero or not finite; never throws.
    Quaternion SafeNormalized() const noexcept;
    // Rotation matrix of the normalised quaternion; throws ZeroDivide for a
    // zero quaternion.
    Matrix3x3 ToMatrix3x3() const;
    // The same, but a zero or non-finite quaternion gives the identity.
    Matrix3x3 SafeToMatrix3x3() const noexcept;
    // Vector part of q (0, v) q*; q is used as it is (not normalised).
    Vector3 Rotate(const Vector3& v) const;
    // Every component within 0.001 of (1, 0, 0, 0).
    bool IsIdentity() const;
    bool IsFinite() const noexcept;
};

inline constexpr Quaternion kIdentityQuaternion{1.0f, 0.0f, 0.0f, 0.0f};

struct AABB {
    Vector3 min, max;

    constexpr AABB() = default;
    constexpr AABB(const Vector3& mn, const Vector3& mx) : min(mn), max(mx) {}
    // Bounds included.
    bool Contains(const Vector3& p) const;
    constexpr Vector3 HalfExtents() const { return (max - min) * 0.5f; }
    constexpr Vector3 Center() const { return (max + min) * 0.5f; }
};

// Points p with normal . p + d = 0.
struct Plane {
    Vector3 normal;
    f32 d = 0.0f;

    constexpr Plane() = default;
    constexpr Plane(const Vector3& n, f32 d_) : normal(n), d(d_) {}
    static Plane FromPoints(const Vector3& a, const Vector3& b, const Vector3& c);
    constexpr f32 SignedDistance(const Vector3& p) const { return normal.Dot(p) + d; }
};

struct Ray {
    Vector3 origin, direction;
    constexpr Ray() = default;
    constexpr Ray(const Vector3& o, const Vector3& dir) : origin(o), direction(dir) {}
};

struct Sphere {
    Vector3 center;
    f32 radius = 0.0f;
    constexpr Sphere() = default;
    constexpr Sphere(const Vector3& c, f32 r) : center(c), radius(r) {}
};

// Number of intersections (0, 1 or 2) of the ray's line with the sphere.
int IntersectRaySphere(const Ray& ray, const Sphere& sphere);

// The small operations every physics step calls many times for each body,
// defined here so that the compiler can inline them (the same arithmetic
// either way).
inline f32 Vector2::Length() const { return std::sqrt(LengthSquared()); }
inline f32 Vector3::Length() const { return std::sqrt(LengthSquared()); }
inline bool Vector3::IsFinite() const noexcept { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

inline Vector3 Matrix3x3::operator*(const Vector3& v) const {
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
            m[6] * v.x + m[7] * v.y + m[8] * v.z};
}

inline Matrix3x3 Matrix3x3::Transpose() const {
    return {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
}

inline Quaternion Quaternion::operator*(const Quaternion& b) const {
    const Quaternion& a = *this;
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

inline f32 Quaternion::Length() const { return std::sqrt(LengthSquared()); }

inline Quaternion Quaternion::SafeNormalized() const noexcept {
    const f32 len = Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return kIdentityQuaternion;
    return {w / len, x / len, y / len, z / len};
}

// The rotation matrix of a unit quaternion.
inline Matrix3x3 RotationOfUnitQuaternion(const Quaternion& q) {
    const f32 w = q.w, x = q.x, y = q.y, z = q.z;
    return {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z,     2 * x * z + 2 * w * y,
            2 * x * y + 2 * w * z,     1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x,
            2 * x * z - 2 * w * y,     2 * y * z + 2 * w * x,     1 - 2 * x * x - 2 * y * y};
}

inline Matrix3x3 Quaternion::SafeToMatrix3x3() const noexcept { return RotationOfUnitQuaternion(SafeNormalized()); }

inline bool Quaternion::IsFinite() const noexcept {
    return std::isfinite(w) && std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// Text form: "(x,y,z)" written with the stream's own number formatting.
// Reading accepts (1,2,3), [1 2 3], <1,2,3>, {1,2,3}, 1,2,3 and 1 2 3; a
// missing closing bracket at the end of the input is accepted. On a failure
// the target is left unchanged and the fail state is set.
std::ostream& operator<<(std::ostream& os, const Vector2& v);
std::ostream& operator<<(std::ostream& os, const Vector3& v);
std::ostream& operator<<(std::ostream& os, const Vector4& v);
std::ostream& operator<<(std::ostream& os, const Quaternion& q);  // (w,x,y,z)
std::istream& operator>>(std::istream& is, Vector2& v);
std::istream& operator>>(std::istream& is, Vector3& v);
std::istream& operator>>(std::istream& is, Vector4& v);
std::istream& operator>>(std::istream& is, Quaternion& q);  // w, x, y, z

}  // namespace Geometry
