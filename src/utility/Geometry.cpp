#include "utility/Geometry.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <ostream>
#include <sstream>

namespace Geometry {

const char* ZeroDivide::what() const noexcept { return "Geometry::ZeroDivide: normalising a zero length"; }

// ---------------------------------------------------------------- vectors


Vector2 Vector2::Normalized() const {
    const f32 len = Length();
    if (!(len > 0.0f)) throw ZeroDivide();
    return {x / len, y / len};
}

Vector2 Vector2::SafeNormalized() const noexcept {
    const f32 len = Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return {};
    return {x / len, y / len};
}


Vector3& Vector3::Normalize() noexcept {
    const f32 len = Length();
    if (!(len > 0.0f) || !std::isfinite(len)) {
        x = y = z = 0.0f;
        return *this;
    }
    const f32 inv = 1.0f / len;
    x *= inv;
    y *= inv;
    z *= inv;
    return *this;
}

Vector3 Vector3::Normalized() const noexcept {
    Vector3 v = *this;
    return v.Normalize();
}


f32 AngleBetween(const Vector3& a, const Vector3& b) {
    const f32 la = a.Length();
    const f32 lb = b.Length();
    if (la == 0.0f || lb == 0.0f) return 0.0f;
    // Rounding can push the cosine just past +-1, where acos is NaN.
    const f32 c = std::clamp(a.Dot(b) / (la * lb), -1.0f, 1.0f);
    return std::acos(c);
}

Vector3 TriangleNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
    const Vector3 n = Cross(p1 - p0, p2 - p0);
    if (n == kZeroVector) return kZeroVector;
    return n.Normalized();
}

// ---------------------------------------------------------------- matrices


Matrix3x3 Matrix3x3::operator*(const Matrix3x3& n) const {
    Matrix3x3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            f32 s = 0.0f;
            for (int k = 0; k < 3; ++k) s += m[i * 3 + k] * n.m[k * 3 + j];
            r.m[i * 3 + j] = s;
        }
    return r;
}

Matrix3x3& Matrix3x3::operator*=(const Matrix3x3& n) { return *this = *this * n; }


bool Matrix3x3::operator==(const Matrix3x3& o) const { return std::equal(m, m + 9, o.m); }

Matrix4x4 Matrix4x4::FromRotation(const Matrix3x3& r) {
    return {r.m[0], r.m[1], r.m[2], 0, r.m[3], r.m[4], r.m[5], 0, r.m[6], r.m[7], r.m[8], 0, 0, 0, 0, 1};
}

Matrix4x4 Matrix4x4::Translation(const Vector3& t) {
    Matrix4x4 r;
    r.m[3] = t.x;
    r.m[7] = t.y;
    r.m[11] = t.z;
    return r;
}

Vector4 Matrix4x4::operator*(const Vector4& v) const {
    const f32 in[4] = {v.x, v.y, v.z, v.w};
    f32 out[4];
    for (int i = 0; i < 4; ++i)
        out[i] = m[i * 4] * in[0] + m[i * 4 + 1] * in[1] + m[i * 4 + 2] * in[2] + m[i * 4 + 3] * in[3];
    return {out[0], out[1], out[2], out[3]};
}

Matrix4x4 Matrix4x4::operator*(const Matrix4x4& n) const {
    Matrix4x4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            f32 s = 0.0f;
            for (int k = 0; k < 4; ++k) s += m[i * 4 + k] * n.m[k * 4 + j];
            r.m[i * 4 + j] = s;
        }
    return r;
}

Matrix4x4& Matrix4x4::operator*=(const Matrix4x4& n) { return *this = *this * n; }

Matrix4x4 Matrix4x4::Transpose() const {
    Matrix4x4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[j * 4 + i] = m[i * 4 + j];
    return r;
}

Matrix3x3 Matrix4x4::UpperLeft() const {
    return {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]};
}

bool Matrix4x4::operator==(const Matrix4x4& o) const { return std::equal(m, m + 16, o.m); }

Vector3 TransformCoord(const Vector3& p, const Matrix4x4& M) {
    const Vector4 r = M * Vector4(p, 1.0f);
    return {r.x / r.w, r.y / r.w, r.z / r.w};
}

// ---------------------------------------------------------------- quaternions

Quaternion Quaternion::FromAxisAngle(const Vector3& axis, f32 angle) {
    const f32 s = std::sin(angle * 0.5f);
    return {std::cos(angle * 0.5f), axis.x * s, axis.y * s, axis.z * s};
}

Quaternion Quaternion::FromEuler(f32 ax, f32 ay, f32 az) {
    const f32 cx = std::cos(ax * 0.5f), sx = std::sin(ax * 0.5f);
    const f32 cy = std::cos(ay * 0.5f), sy = std::sin(ay * 0.5f);
    const f32 cz = std::cos(az * 0.5f), sz = std::sin(az * 0.5f);
    return {cx * cy * cz + sx * sy * sz, sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz,
            cx * cy * sz - sx * sy * cz};
}

Quaternion Quaternion::FromMatrix(const Matrix3x3& mat) {
    auto e = [&](int r, int c) { return mat(r, c); };
    Quaternion q;
    const f32 t = e(0, 0) + e(1, 1) + e(2, 2) + 1.0f;
    if (t > kEpsilon) {
        const f32 h = 0.5f / std::sqrt(t);
        q.w = 0.25f / h;
        q.x = (e(2, 1) - e(1, 2)) * h;
        q.y = (e(0, 2) - e(2, 0)) * h;
        q.z = (e(1, 0) - e(0, 1)) * h;
    } else if (e(0, 0) > e(1, 1) && e(0, 0) > e(2, 2)) {
        const f32 s = 2.0f * std::sqrt(1.0f + e(0, 0) - e(1, 1) - e(2, 2));
        q.x = s / 4.0f;
        q.y = (e(0, 1) + e(1, 0)) / s;
        q.z = (e(0, 2) + e(2, 0)) / s;
        q.w = (e(2, 1) - e(1, 2)) / s;
    } else if (e(1, 1) > e(2, 2)) {
        const f32 s = 2.0f * std::sqrt(1.0f + e(1, 1) - e(0, 0) - e(2, 2));
        q.x = (e(0, 1) + e(1, 0)) / s;
        q.y = s / 4.0f;
        q.z = (e(1, 2) + e(2, 1)) / s;
        q.w = (e(0, 2) - e(2, 0)) / s;
    } else {
        const f32 s = 2.0f * std::sqrt(1.0f + e(2, 2) - e(0, 0) - e(1, 1));
        q.x = (e(0, 2) + e(2, 0)) / s;
        q.y = (e(1, 2) + e(2, 1)) / s;
        q.z = s / 4.0f;
        q.w = (e(1, 0) - e(0, 1)) / s;
    }
    return q;
}

Quaternion Quaternion::FromMatrix(const Matrix4x4& m) { return FromMatrix(m.UpperLeft()); }

Quaternion Quaternion::FromTo(const Vector3& a, const Vector3& b) {
    if (a == kZeroVector || b == kZeroVector) return kIdentityQuaternion;
    const Vector3 na = a.Normalized();
    const Vector3 nb = b.Normalized();
    Vector3 h = na + nb;
    // For opposite directions the halfway vector vanishes (or is pure rounding
    // noise): any axis perpendicular to a gives the half turn.
    if (h.LengthSquared() <= 1e-12f) {
        Vector3 axis = Cross(na, Vector3(1.0f, 0.0f, 0.0f));
        if (axis.LengthSquared() < 1e-6f) axis = Cross(na, Vector3(0.0f, 1.0f, 0.0f));
        axis.Normalize();
        return {0.0f, axis};
    }
    h.Normalize();
    const f32 w = std::fabs(na.Dot(h));
    return {w, Cross(na, h)};
}



Quaternion Quaternion::Normalized() const {
    const f32 len = Length();
    if (!(len > 0.0f)) throw ZeroDivide();
    return {w / len, x / len, y / len, z / len};
}



Matrix3x3 Quaternion::ToMatrix3x3() const { return RotationOfUnitQuaternion(Normalized()); }


Vector3 Quaternion::Rotate(const Vector3& v) const {
    const Quaternion r = *this * Quaternion(0.0f, v) * Conjugate();
    return r.Vec();
}

bool Quaternion::IsIdentity() const {
    return std::fabs(w - 1.0f) <= 0.001f && std::fabs(x) <= 0.001f && std::fabs(y) <= 0.001f &&
           std::fabs(z) <= 0.001f;
}


// ---------------------------------------------------------------- boxes, planes, rays

bool AABB::Contains(const Vector3& p) const {
    return p.x >= min.x && p.x <= max.x && p.y >= min.y && p.y <= max.y && p.z >= min.z && p.z <= max.z;
}

Plane Plane::FromPoints(const Vector3& a, const Vector3& b, const Vector3& c) {
    const Vector3 n = TriangleNormal(a, b, c);
    return {n, -n.Dot(b)};
}

int IntersectRaySphere(const Ray& ray, const Sphere& sphere) {
    const Vector3 oc = ray.origin - sphere.center;
    const f32 A = ray.direction.Dot(ray.direction);
    const f32 B = 2.0f * ray.direction.Dot(oc);
    const f32 C = oc.LengthSquared() - sphere.radius * sphere.radius;
    const f32 D = B * B - 4.0f * A * C;
    if (D < 0.0f) return 0;
    if (D <= kEpsilon) return 1;
    return 2;
}

// ---------------------------------------------------------------- text form

namespace {

// Formats with the target stream's flags, precision and locale, then writes
// the whole text in one go so a field width applies to it as a unit.
std::ostream& WriteComponents(std::ostream& os, const f32* c, int n) {
    std::ostringstream s;
    s.flags(os.flags());
    s.precision(os.precision());
    s.imbue(os.getloc());
    s << '(';
    for (int i = 0; i < n; ++i) {
        if (i) s << ',';
        s << c[i];
    }
    s << ')';
    return os << s.str();
}

bool IsOpen(char c) { return c == '(' || c == '<' || c == '[' || c == '{'; }
bool IsCloseOrSeparator(char c) { return c == ')' || c == ',' || c == '>' || c == ']' || c == '}'; }

std::istream& ReadComponents(std::istream& is, f32* target, int n) {
    f32 tmp[4] = {0, 0, 0, 0};
    int got = 0;
    char c = 0;
    if (is >> c) {
        const bool bracketed = IsOpen(c);
        if (!bracketed) is.putback(c);
        for (int i = 0; i < n; ++i) {
            if (!(is >> tmp[i])) break;
            ++got;
            if (!bracketed && i == n - 1) break;
            char d = 0;
            if (is >> d) {
                if (!IsCloseOrSeparator(d)) is.putback(d);
            } else {
                break;  // end of input after a component: a missing bracket is fine
            }
        }
    }
    const bool streamOk = is.good() || (is.eof() && !is.bad());
    if (got == n && streamOk) {
        std::copy(tmp, tmp + n, target);
        // Running into the end while looking for the closing bracket is not a
        // failure of the vector itself.
        if (is.eof()) is.clear(std::ios::eofbit);
    } else {
        // All components are needed; a vector cut short is rejected whole.
        is.setstate(is.rdbuf() ? std::ios::failbit : (std::ios::failbit | std::ios::badbit));
    }
    return is;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const Vector2& v) {
    const f32 c[2] = {v.x, v.y};
    return WriteComponents(os, c, 2);
}
std::ostream& operator<<(std::ostream& os, const Vector3& v) {
    const f32 c[3] = {v.x, v.y, v.z};
    return WriteComponents(os, c, 3);
}
std::ostream& operator<<(std::ostream& os, const Vector4& v) {
    const f32 c[4] = {v.x, v.y, v.z, v.w};
    return WriteComponents(os, c, 4);
}
std::ostream& operator<<(std::ostream& os, const Quaternion& q) {
    const f32 c[4] = {q.w, q.x, q.y, q.z};
    return WriteComponents(os, c, 4);
}

std::istream& operator>>(std::istream& is, Vector2& v) {
    f32 c[2] = {v.x, v.y};
    ReadComponents(is, c, 2);
    v = {c[0], c[1]};
    return is;
}
std::istream& operator>>(std::istream& is, Vector3& v) {
    f32 c[3] = {v.x, v.y, v.z};
    ReadComponents(is, c, 3);
    v = {c[0], c[1], c[2]};
    return is;
}
std::istream& operator>>(std::istream& is, Vector4& v) {
    f32 c[4] = {v.x, v.y, v.z, v.w};
    ReadComponents(is, c, 4);
    v = {c[0], c[1], c[2], c[3]};
    return is;
}
std::istream& operator>>(std::istream& is, Quaternion& q) {
    f32 c[4] = {q.w, q.x, q.y, q.z};
    ReadComponents(is, c, 4);
    q = {c[0], c[1], c[2], c[3]};
    return is;
}

}  // namespace Geometry
