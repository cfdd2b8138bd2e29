// Quaternion to XYZ Euler decomposition, checked against an independent
// rebuild of the rotation matrix from the angles.
#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}

// Rz(z) * Ry(y) * Rx(x): x applied first, column vectors.
Matrix fromEuler(double x, double y, double z) {
    Matrix rx{{{1, 0, 0}, {0, std::cos(x), -std::sin(x)}, {0, std::sin(x), std::cos(x)}}};
    Matrix ry{{{std::cos(y), 0, std::sin(y)}, {0, 1, 0}, {-std::sin(y), 0, std::cos(y)}}};
    Matrix rz{{{std::cos(z), -std::sin(z), 0}, {std::sin(z), std::cos(z), 0}, {0, 0, 1}}};
    return multiply(rz, multiply(ry, rx));
}

// Rotating the three unit axes by the quaternion with q v q*, without any
// matrix formula.
Matrix fromQuaternion(double x, double y, double z, double w) {
    double n = std::sqrt(x * x + y * y + z * z + w * w);
    x /= n;
    y /= n;
    z /= n;
    w /= n;
    Matrix m{};
    for (int axis = 0; axis < 3; ++axis) {
        double v[3] = {0, 0, 0};
        v[axis] = 1;
        // t = 2 * cross(q.xyz, v); v' = v + w t + cross(q.xyz, t)
        double t[3] = {2 * (y * v[2] - z * v[1]), 2 * (z * v[0] - x * v[2]),
                       2 * (x * v[1] - y * v[0])};
        double r[3] = {v[0] + w * t[0] + (y * t[2] - z * t[1]),
                       v[1] + w * t[1] + (z * t[0] - x * t[2]),
                       v[2] + w * t[2] + (x * t[1] - y * t[0])};
        for (int row = 0; row < 3; ++row) m[row][axis] = r[row];
    }
    return m;
}

void expectSameRotation(const Matrix& a, const Matrix& b, double tolerance) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(a[i][j], b[i][j], tolerance) << i << "," << j;
}

MQuaternion axisAngle(double ax, double ay, double az, double angle) {
    double s = std::sin(angle / 2);
    return MQuaternion(ax * s, ay * s, az * s, std::cos(angle / 2));
}

const double kPi = 3.141592653589793;

TEST(EulerDecomposition, SingleAxisRotationsGiveThatAngle) {
    MVector x = axisAngle(1, 0, 0, 0.5).asEulerRotation().asVector();
    EXPECT_NEAR(x.x, 0.5, 1e-12);
    EXPECT_NEAR(x.y, 0.0, 1e-12);
    EXPECT_NEAR(x.z, 0.0, 1e-12);
    MVector y = axisAngle(0, 1, 0, -0.75).asEulerRotation().asVector();
    EXPECT_NEAR(y.y, -0.75, 1e-12);
    MVector z = axisAngle(0, 0, 1, 2.5).asEulerRotation().asVector();
    EXPECT_NEAR(z.z, 2.5, 1e-12);
    MEulerRotation identity = MQuaternion().asEulerRotation();
    EXPECT_EQ(identity.order, MEulerRotation::kXYZ);
    EXPECT_EQ(identity.x, 0.0);
    EXPECT_EQ(identity.y, 0.0);
    EXPECT_EQ(identity.z, 0.0);
}

TEST(EulerDecomposition, AnglesRebuildTheQuaternionsRotation) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> component(-1.0, 1.0);
    for (int i = 0; i < 2000; ++i) {
        double x = component(random), y = component(random), z = component(random),
               w = component(random);
        if (x * x + y * y + z * z + w * w < 1e-3) continue;
        // Unnormalized input is normalized first.
        MEulerRotation e = MQuaternion(x, y, z, w).asEulerRotation();
        EXPECT_LE(std::fabs(e.y), kPi / 2 + 1e-12);
        EXPECT_LE(std::fabs(e.x), kPi + 1e-12);
        EXPECT_LE(std::fabs(e.z), kPi + 1e-12);
        expectSameRotation(fromEuler(e.x, e.y, e.z), fromQuaternion(x, y, z, w), 1e-9);
    }
}

TEST(EulerDecomposition, GimbalCasesStillRebuildTheRotation) {
    for (double sign : {1.0, -1.0}) {
        for (double x : {0.0, 0.3, -1.2, 3.0}) {
            for (double z : {0.0, 0.7, -2.0}) {
                // Y at exactly +-90 degrees, and a hair away from it.
                for (double offset : {0.0, 1e-10, -1e-7}) {
                    double y = sign * (kPi / 2 - offset);
                    MEulerRotation source(x, y, z);
                    MQuaternion q = source.asQuaternion();
                    MEulerRotation e = q.asEulerRotation();
                    EXPECT_NEAR(e.y, y, 1e-6);
                    expectSameRotation(fromEuler(e.x, e.y, e.z), fromQuaternion(q.x, q.y, q.z, q.w),
                                       1e-6);
                }
            }
        }
    }
}

TEST(EulerDecomposition, EulerToQuaternionRoundTrips) {
    MEulerRotation source(0.4, -0.9, 1.7);
    MQuaternion q = source.asQuaternion();
    expectSameRotation(fromQuaternion(q.x, q.y, q.z, q.w), fromEuler(0.4, -0.9, 1.7), 1e-12);
    MEulerRotation back = q.asEulerRotation();
    EXPECT_NEAR(back.x, 0.4, 1e-12);
    EXPECT_NEAR(back.y, -0.9, 1e-12);
    EXPECT_NEAR(back.z, 1.7, 1e-12);
}

TEST(EulerDecomposition, NaNPropagatesUncleaned) {
    MVector v = MQuaternion(std::nan(""), 0, 0, 1).asEulerRotation().asVector();
    EXPECT_TRUE(std::isnan(v.x));
    EXPECT_TRUE(std::isnan(v.y));
    EXPECT_TRUE(std::isnan(v.z));
    // A zero quaternion is left as it is by normal() and gives no rotation.
    MQuaternion zero(0, 0, 0, 0);
    EXPECT_EQ(zero.normal().w, 0.0);
    MVector none = zero.asEulerRotation().asVector();
    EXPECT_EQ(none.x, 0.0);
    EXPECT_EQ(none.y, 0.0);
    EXPECT_EQ(none.z, 0.0);
}

TEST(Vectors, IndexAndLength) {
    MVector v(3.0, 4.0);
    EXPECT_EQ(v[0], 3.0);
    EXPECT_EQ(v[1], 4.0);
    EXPECT_EQ(v[2], 0.0);
    v[2] = 12.0;
    EXPECT_DOUBLE_EQ(v.length(), 13.0);
}

}  // namespace
