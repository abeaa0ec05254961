#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "utility/Geometry.h"

using namespace Geometry;

namespace {

constexpr f32 kPi = 3.14159265358979f;
constexpr f32 kTol = 1e-5f;

::testing::AssertionResult Near(const Vector3& a, const Vector3& b, f32 tol = kTol) {
    if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol)
        return ::testing::AssertionSuccess();
    std::ostringstream s;
    s << a << " != " << b;
    return ::testing::AssertionFailure() << s.str();
}

::testing::AssertionResult Near(const Quaternion& a, const Quaternion& b, f32 tol = kTol) {
    if (std::fabs(a.w - b.w) <= tol && std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol &&
        std::fabs(a.z - b.z) <= tol)
        return ::testing::AssertionSuccess();
    std::ostringstream s;
    s << a << " != " << b;
    return ::testing::AssertionFailure() << s.str();
}

::testing::AssertionResult Near(const Matrix3x3& a, const Matrix3x3& b, f32 tol = kTol) {
    for (int i = 0; i < 9; ++i)
        if (std::fabs(a.m[i] - b.m[i]) > tol) return ::testing::AssertionFailure() << "element " << i << " differs";
    return ::testing::AssertionSuccess();
}

bool AllFinite(const Quaternion& q) { return q.IsFinite(); }

}  // namespace

// ---------------------------------------------------------------- Vector2

TEST(GeometryVector2, WorkedExamples) {
    struct Case {
        const char* what;
        Vector2 got, want;
    };
    const std::vector<Case> cases = {
        {"sum", Vector2(1, 2) + Vector2(3, -5), Vector2(4, -3)},
        {"difference", Vector2(1, 2) - Vector2(3, -5), Vector2(-2, 7)},
        {"normalized 3-4-5", Vector2(3, 4).Normalized(), Vector2(0.6f, 0.8f)},
        {"normalized axis", Vector2(0, -7).Normalized(), Vector2(0, -1)},
        {"safe normalized zero", Vector2(0, 0).SafeNormalized(), Vector2(0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(c.got.x, c.want.x, kTol);
        EXPECT_NEAR(c.got.y, c.want.y, kTol);
    }
    EXPECT_FLOAT_EQ(Vector2(1, 2).Dot(Vector2(3, 4)), 11.0f);
}

TEST(GeometryVector2, NormalizingZeroThrowsOnlyInTheThrowingVariant) {
    EXPECT_THROW(Vector2(0, 0).Normalized(), ZeroDivide);
    EXPECT_NO_THROW(Vector2(0, 0).SafeNormalized());
    const Vector2 inf(std::numeric_limits<f32>::infinity(), 1.0f);
    EXPECT_EQ(inf.SafeNormalized(), Vector2(0, 0));
}

// ---------------------------------------------------------------- Vector3

TEST(GeometryVector3, WorkedExamples) {
    struct Case {
        const char* what;
        Vector3 got, want;
    };
    const std::vector<Case> cases = {
        {"sum", Vector3(1, 2, 3) + Vector3(4, -5, 6), Vector3(5, -3, 9)},
        {"difference", Vector3(1, 2, 3) - Vector3(4, -5, 6), Vector3(-3, 7, -3)},
        {"negated", Vector3(1, -2, 3).Negated(), Vector3(-1, 2, -3)},
        {"normalized", Vector3(0, 3, 4).Normalized(), Vector3(0, 0.6f, 0.8f)},
        {"cross x y", Cross(Vector3(1, 0, 0), Vector3(0, 1, 0)), Vector3(0, 0, 1)},
        {"cross y x", Cross(Vector3(0, 1, 0), Vector3(1, 0, 0)), Vector3(0, 0, -1)},
        {"cross general", Cross(Vector3(1, 2, 3), Vector3(4, 5, 6)), Vector3(-3, 6, -3)},
        {"triangle normal ccw in xy", TriangleNormal(Vector3(0, 0, 0), Vector3(2, 0, 0), Vector3(0, 2, 0)),
         Vector3(0, 0, 1)},
        {"triangle normal degenerate", TriangleNormal(Vector3(1, 1, 1), Vector3(2, 2, 2), Vector3(3, 3, 3)),
         kZeroVector},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(Near(c.got, c.want));
    }

    struct Scalar {
        const char* what;
        f32 got, want;
    };
    const std::vector<Scalar> scalars = {
        {"length", Vector3(2, 3, 6).Length(), 7.0f},
        {"length squared", Vector3(2, 3, 6).LengthSquared(), 49.0f},
        {"dot", Vector3(1, 2, 3).Dot(Vector3(4, -5, 6)), 12.0f},
        {"angle right", AngleBetween(Vector3(1, 0, 0), Vector3(0, 0, 5)), kPi / 2},
        {"angle opposite", AngleBetween(Vector3(1, 0, 0), Vector3(-3, 0, 0)), kPi},
        {"angle with zero", AngleBetween(Vector3(0, 0, 0), Vector3(1, 0, 0)), 0.0f},
    };
    for (const auto& c : scalars) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(c.got, c.want, kTol);
    }

    EXPECT_TRUE(Vector3(1, 2, 3) != Vector3(1, 2, 3.0001f));
    EXPECT_FALSE(Vector3(1, 2, 3) != Vector3(1, 2, 3));
}

TEST(GeometryVector3, NormalizingZeroGivesZeroNotNaN) {
    Vector3 v = kZeroVector;
    EXPECT_NO_THROW(v.Normalize());
    EXPECT_EQ(v, kZeroVector);
    EXPECT_EQ(kZeroVector.Normalized(), kZeroVector);
    const Vector3 nan(std::nanf(""), 0, 0);
    EXPECT_TRUE(nan.Normalized().IsFinite());
}

TEST(GeometryVector3, AngleOfParallelVectorsIsNotNaN) {
    // The cosine of nearly equal vectors can round to just above 1.
    const Vector3 a(0.1f, 0.2f, 0.3f);
    EXPECT_FALSE(std::isnan(AngleBetween(a, a * 3.0f)));
    EXPECT_NEAR(AngleBetween(a, a * 3.0f), 0.0f, 1e-3f);
}

// ---------------------------------------------------------------- Vector4

TEST(GeometryVector4, WorkedExamples) {
    EXPECT_EQ(Vector4(1, -2, 3, 0.5f).Scale(2), Vector4(2, -4, 6, 1));
    EXPECT_EQ(Vector4(1, 2, 3, 4) - Vector4(4, 3, 2, 1), Vector4(-3, -1, 1, 3));
}

// ---------------------------------------------------------------- Quaternion

TEST(GeometryQuaternion, WorkedExamples) {
    const Quaternion qx90 = Quaternion::FromAxisAngle(Vector3(1, 0, 0), kPi / 2);
    const Quaternion qz90 = Quaternion::FromAxisAngle(Vector3(0, 0, 1), kPi / 2);
    const f32 h = std::sqrt(0.5f);
    struct Case {
        const char* what;
        Quaternion got, want;
    };
    const std::vector<Case> cases = {
        {"hamilton i*j = k", Quaternion(0, 1, 0, 0) * Quaternion(0, 0, 1, 0), Quaternion(0, 0, 0, 1)},
        {"hamilton j*i = -k", Quaternion(0, 0, 1, 0) * Quaternion(0, 1, 0, 0), Quaternion(0, 0, 0, -1)},
        {"hamilton general", Quaternion(1, 2, 3, 4) * Quaternion(5, 6, 7, 8), Quaternion(-60, 12, 30, 24)},
        {"axis angle x 90", qx90, Quaternion(h, h, 0, 0)},
        {"axis not normalised", Quaternion::FromAxisAngle(Vector3(0, 2, 0), kPi), Quaternion(0, 0, 2, 0)},
        {"euler is z*y*x", Quaternion::FromEuler(0.3f, -0.7f, 1.1f),
         Quaternion::FromAxisAngle(Vector3(0, 0, 1), 1.1f) * Quaternion::FromAxisAngle(Vector3(0, 1, 0), -0.7f) *
             Quaternion::FromAxisAngle(Vector3(1, 0, 0), 0.3f)},
        {"normalized", Quaternion(2, 0, 0, 0).Normalized(), kIdentityQuaternion},
        {"normalized general", Quaternion(1, 1, 1, 1).Normalized(), Quaternion(0.5f, 0.5f, 0.5f, 0.5f)},
        {"from matrix of x 90", Quaternion::FromMatrix(Matrix4x4::FromRotation(qx90.ToMatrix3x3())), qx90},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(Near(c.got, c.want));
    }

    struct Rot {
        const char* what;
        Quaternion q;
        Vector3 in, want;
    };
    const std::vector<Rot> rotations = {
        {"z 90 turns x into y", qz90, Vector3(1, 0, 0), Vector3(0, 1, 0)},
        {"x 90 turns y into z", qx90, Vector3(0, 1, 0), Vector3(0, 0, 1)},
        {"euler yaw 90 turns x into -z", Quaternion::FromEuler(0, kPi / 2, 0), Vector3(1, 0, 0), Vector3(0, 0, -1)},
        {"from-to x onto y", Quaternion::FromTo(Vector3(1, 0, 0), Vector3(0, 1, 0)), Vector3(1, 0, 0),
         Vector3(0, 1, 0)},
        {"from-to scaled inputs", Quaternion::FromTo(Vector3(0, 0, 3), Vector3(2, 0, 2)), Vector3(0, 0, 1),
         Vector3(h, 0, h)},
        {"rotate with unnormalised q scales by |q|^2", Quaternion(2, 0, 0, 0), Vector3(1, 2, 3), Vector3(4, 8, 12)},
    };
    for (const auto& c : rotations) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(Near(c.q.Rotate(c.in), c.want));
    }

    EXPECT_TRUE(Quaternion(1.0005f, 0.0009f, -0.0009f, 0).IsIdentity());
    EXPECT_FALSE(Quaternion(1, 0.002f, 0, 0).IsIdentity());
}

TEST(GeometryQuaternion, MatrixColumnsAreImagesOfAxes) {
    const Quaternion q = Quaternion::FromEuler(0.4f, 1.2f, -0.9f);
    const Matrix3x3 m = q.ToMatrix3x3();
    EXPECT_TRUE(Near(m.Column(0), q.Rotate(Vector3(1, 0, 0))));
    EXPECT_TRUE(Near(m.Column(1), q.Rotate(Vector3(0, 1, 0))));
    EXPECT_TRUE(Near(m.Column(2), q.Rotate(Vector3(0, 0, 1))));
    // Not normalised first: the matrix is still a rotation.
    EXPECT_TRUE(Near((Quaternion(3, 0, 0, 0) * q).ToMatrix3x3(), m));
}

TEST(GeometryQuaternion, FromMatrixRoundTripsEveryBranch) {
    // Angles chosen so the trace branch and each diagonal branch are taken.
    const std::vector<Quaternion> qs = {
        Quaternion::FromEuler(0.3f, 0.2f, 0.1f),
        Quaternion::FromAxisAngle(Vector3(1, 0, 0), kPi),
        Quaternion::FromAxisAngle(Vector3(0, 1, 0), kPi),
        Quaternion::FromAxisAngle(Vector3(0, 0, 1), kPi),
        Quaternion::FromAxisAngle(Vector3(0.6f, 0, 0.8f), 3.0f),
    };
    for (const auto& q : qs) {
        const Matrix3x3 m = q.ToMatrix3x3();
        const Quaternion back = Quaternion::FromMatrix(Matrix4x4::FromRotation(m));
        EXPECT_TRUE(Near(back.ToMatrix3x3(), m, 1e-4f)) << q;
    }
}

TEST(GeometryQuaternion, FromToOppositeIsHalfTurnAboutPerpendicularAxis) {
    const std::vector<Vector3> dirs = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, -2),
                                       Vector3(0.3f, -0.4f, 0.5f), Vector3(-1, 1e-4f, 0)};
    for (const auto& a : dirs) {
        SCOPED_TRACE(::testing::Message() << a);
        const Quaternion q = Quaternion::FromTo(a, a.Negated());
        EXPECT_FALSE(q.IsIdentity());
        EXPECT_TRUE(AllFinite(q));
        EXPECT_NEAR(q.Length(), 1.0f, kTol);
        EXPECT_NEAR(q.w, 0.0f, kTol);                      // half turn
        EXPECT_NEAR(q.Vec().Dot(a.Normalized()), 0.0f, kTol);  // axis perpendicular to a
        EXPECT_TRUE(Near(q.Rotate(a.Normalized()), a.Negated().Normalized(), 1e-4f));
    }
}

TEST(GeometryQuaternion, FromToWithZeroIsIdentity) {
    EXPECT_EQ(Quaternion::FromTo(kZeroVector, Vector3(1, 0, 0)), kIdentityQuaternion);
    EXPECT_EQ(Quaternion::FromTo(Vector3(1, 0, 0), kZeroVector), kIdentityQuaternion);
    EXPECT_TRUE(Quaternion::FromTo(Vector3(0, 0, 1), Vector3(0, 0, 5)).IsIdentity());
}

TEST(GeometryQuaternion, ZeroQuaternion) {
    const Quaternion zero(0, 0, 0, 0);
    EXPECT_THROW(zero.Normalized(), ZeroDivide);
    EXPECT_THROW(zero.ToMatrix3x3(), ZeroDivide);
    EXPECT_EQ(zero.SafeNormalized(), kIdentityQuaternion);
    EXPECT_EQ(zero.SafeToMatrix3x3(), Matrix3x3::Identity());
    const Quaternion nan(std::nanf(""), 0, 0, 0);
    EXPECT_EQ(nan.SafeNormalized(), kIdentityQuaternion);
}

// ---------------------------------------------------------------- matrices

TEST(GeometryMatrix, WorkedExamples) {
    const Matrix3x3 a(1, 2, 3, 4, 5, 6, 7, 8, 9);
    EXPECT_TRUE(Near(a * Vector3(1, 0, -1), Vector3(-2, -2, -2)));
    EXPECT_EQ(a.Transpose(), Matrix3x3(1, 4, 7, 2, 5, 8, 3, 6, 9));
    EXPECT_EQ(a(1, 2), 6.0f);  // row-major storage

    // M *= N is M = M N: applying the product applies N first.
    const Matrix3x3 rz = Quaternion::FromAxisAngle(Vector3(0, 0, 1), kPi / 2).ToMatrix3x3();
    const Matrix3x3 rx = Quaternion::FromAxisAngle(Vector3(1, 0, 0), kPi / 2).ToMatrix3x3();
    Matrix3x3 m = rz;
    m *= rx;
    EXPECT_TRUE(Near(m * Vector3(0, 1, 0), rz * (rx * Vector3(0, 1, 0))));
    EXPECT_TRUE(Near(m * Vector3(0, 1, 0), Vector3(0, 0, 1)));

    const Matrix4x4 t = Matrix4x4::Translation(Vector3(10, 20, 30));
    EXPECT_EQ(t * Vector4(1, 2, 3, 1), Vector4(11, 22, 33, 1));
    EXPECT_EQ(t * Vector4(1, 2, 3, 0), Vector4(1, 2, 3, 0));
    EXPECT_EQ(t.Transpose()(3, 0), 10.0f);
    Matrix4x4 tm = t;
    tm *= Matrix4x4::FromRotation(rz);
    EXPECT_TRUE(Near(TransformCoord(Vector3(1, 0, 0), tm), Vector3(10, 21, 30)));
    EXPECT_EQ(Matrix4x4::Identity() * t, t);

    // Projective divide by w.
    const Matrix4x4 half(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2);
    EXPECT_TRUE(Near(TransformCoord(Vector3(2, 4, 6), half), Vector3(1, 2, 3)));
}

// ---------------------------------------------------------------- boxes, planes, rays

TEST(GeometryShapes, WorkedExamples) {
    const AABB box(Vector3(-1, 0, -2), Vector3(1, 4, 2));
    struct Inside {
        Vector3 p;
        bool want;
    };
    for (const auto& c : std::vector<Inside>{{Vector3(1, 4, 2), true},
                                             {Vector3(-1, 0, -2), true},
                                             {Vector3(0, 2, 0), true},
                                             {Vector3(1.0001f, 2, 0), false},
                                             {Vector3(0, -0.001f, 0), false}}) {
        EXPECT_EQ(box.Contains(c.p), c.want) << c.p;
    }
    EXPECT_EQ(box.HalfExtents(), Vector3(1, 2, 2));

    const Plane p = Plane::FromPoints(Vector3(0, 5, 0), Vector3(1, 5, 0), Vector3(0, 5, -1));
    EXPECT_TRUE(Near(p.normal, Vector3(0, 1, 0)));
    EXPECT_FLOAT_EQ(p.d, -5.0f);
    EXPECT_FLOAT_EQ(p.SignedDistance(Vector3(3, 7, 3)), 2.0f);

    const Sphere s(Vector3(0, 0, 0), 1.0f);
    struct Hit {
        const char* what;
        Ray ray;
        int want;
    };
    for (const auto& c : std::vector<Hit>{
             {"miss", Ray(Vector3(-5, 2, 0), Vector3(1, 0, 0)), 0},
             {"tangent", Ray(Vector3(-5, 1, 0), Vector3(1, 0, 0)), 1},
             {"through", Ray(Vector3(-5, 0, 0), Vector3(1, 0, 0)), 2},
             {"line behind origin still counts", Ray(Vector3(5, 0, 0), Vector3(1, 0, 0)), 2},
         }) {
        EXPECT_EQ(IntersectRaySphere(c.ray, s), c.want) << c.what;
    }
}

// ---------------------------------------------------------------- text form

TEST(GeometryText, WritesWithTheStreamsFormatting) {
    std::ostringstream a;
    a << Vector3(1, 2.5f, -3);
    EXPECT_EQ(a.str(), "(1,2.5,-3)");

    std::ostringstream b;
    b.setf(std::ios::fixed);
    b.precision(1);
    b << Vector3(1, 2.25f, -3);
    EXPECT_EQ(b.str(), "(1.0,2.2,-3.0)");

    std::ostringstream c;  // a field width covers the whole text
    c.width(12);
    c << Vector2(1, 2);
    EXPECT_EQ(c.str(), "       (1,2)");

    std::ostringstream d;
    d << kIdentityQuaternion << Vector4(1, 2, 3, 4);
    EXPECT_EQ(d.str(), "(1,0,0,0)(1,2,3,4)");
}

TEST(GeometryText, ReadsEveryAcceptedForm) {
    struct Case {
        std::string text;
        Vector3 want;
    };
    for (const auto& c : std::vector<Case>{{"(1,2,3)", Vector3(1, 2, 3)},
                                           {"[1 2 3]", Vector3(1, 2, 3)},
                                           {"{1, 2, 3}", Vector3(1, 2, 3)},
                                           {"<-1.5,2e2,3>", Vector3(-1.5f, 200, 3)},
                                           {"1,2,3", Vector3(1, 2, 3)},
                                           {"1 2 3", Vector3(1, 2, 3)},
                                           {"  -4 5 6", Vector3(-4, 5, 6)},
                                           {"(1,2,3", Vector3(1, 2, 3)}}) {
        std::istringstream in(c.text);
        Vector3 v(9, 9, 9);
        in >> v;
        EXPECT_FALSE(in.fail()) << c.text;
        EXPECT_EQ(v, c.want) << c.text;
    }

    std::istringstream two("<4,5>");
    Vector2 v2;
    EXPECT_TRUE(two >> v2);
    EXPECT_EQ(v2, Vector2(4, 5));

    // Several values in one stream, each consuming only its own text.
    std::istringstream seq("(1,2,3) [4,5,6] 7 8 9");
    Vector3 a, b, c;
    seq >> a >> b >> c;
    EXPECT_FALSE(seq.fail());
    EXPECT_EQ(a, Vector3(1, 2, 3));
    EXPECT_EQ(b, Vector3(4, 5, 6));
    EXPECT_EQ(c, Vector3(7, 8, 9));
}

TEST(GeometryText, BadTextLeavesTargetUnchanged) {
    for (const std::string text : {"(1,x,3)", "(1,2", "1 2", "", "()", "abc"}) {
        std::istringstream in(text);
        Vector3 v(9, 8, 7);
        in >> v;
        EXPECT_TRUE(in.fail()) << '"' << text << '"';
        EXPECT_EQ(v, Vector3(9, 8, 7)) << '"' << text << '"';
    }
}

TEST(GeometryText, WrittenTextParsesBackToTheSameValue) {
    const std::vector<Vector3> values = {Vector3(1, 2.5f, -3), Vector3(0.1f, -1e-7f, 12345.678f),
                                         Vector3(-0.0f, 3.4e38f, 1.17549435e-38f)};
    for (const auto& v : values) {
        std::ostringstream out;
        out.precision(std::numeric_limits<f32>::max_digits10);
        out << v;
        std::istringstream in(out.str());
        Vector3 back;
        ASSERT_TRUE(in >> back) << out.str();
        EXPECT_EQ(back, v) << out.str();
    }
    // With default formatting the value comes back to six significant digits.
    std::stringstream s;
    s << Vector3(0.1f, 2.5f, -3) << ' ' << Vector2(7, 8) << ' ' << Vector4(1, 2, 3, 4) << ' '
      << Quaternion(0.5f, -0.5f, 0.5f, -0.5f);
    Vector3 v3;
    Vector2 v2;
    Vector4 v4;
    Quaternion q(0, 0, 0, 0);
    ASSERT_TRUE(s >> v3 >> v2 >> v4 >> q);
    EXPECT_TRUE(Near(v3, Vector3(0.1f, 2.5f, -3)));
    EXPECT_EQ(v2, Vector2(7, 8));
    EXPECT_EQ(v4, Vector4(1, 2, 3, 4));
    EXPECT_EQ(q, Quaternion(0.5f, -0.5f, 0.5f, -0.5f));
}
