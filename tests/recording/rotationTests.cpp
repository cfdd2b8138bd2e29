#include "recording/rotation.h"

#include <gtest/gtest.h>

#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;

constexpr double kPi = 3.141592653589793;

// Rotation matrix of a unit quaternion (column vectors).
Matrix3 matrixFromQuaternion(double x, double y, double z, double w) {
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
}

Matrix3 multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 r{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) {
                r[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return r;
}

// XYZ order: x applied first, so R = Rz * Ry * Rx for column vectors.
Matrix3 matrixFromEulerDegrees(const EulerDegrees& e) {
    const double x = e.x * kPi / 180.0, y = e.y * kPi / 180.0, z = e.z * kPi / 180.0;
    const Matrix3 rx{{{1, 0, 0}, {0, std::cos(x), -std::sin(x)}, {0, std::sin(x), std::cos(x)}}};
    const Matrix3 ry{{{std::cos(y), 0, std::sin(y)}, {0, 1, 0}, {-std::sin(y), 0, std::cos(y)}}};
    const Matrix3 rz{{{std::cos(z), -std::sin(z), 0}, {std::sin(z), std::cos(z), 0}, {0, 0, 1}}};
    return multiply(rz, multiply(ry, rx));
}

void expectSameRotation(const Quaternion4d& q) {
    const EulerDegrees angles = quaternionToEulerDegrees(q.x, q.y, q.z, q.w);
    const Matrix3 expected = matrixFromQuaternion(q.x, q.y, q.z, q.w);
    const Matrix3 rebuilt = matrixFromEulerDegrees(angles);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(rebuilt[i][j], expected[i][j], 1e-9)
                << "q = (" << q.x << ", " << q.y << ", " << q.z << ", " << q.w << ") at " << i
                << "," << j;
        }
    }
}

Quaternion4d axisAngle(double ax, double ay, double az, double degrees) {
    const double half = degrees * kPi / 360.0;
    const double n = std::sqrt(ax * ax + ay * ay + az * az);
    const double s = std::sin(half) / n;
    return {ax * s, ay * s, az * s, std::cos(half)};
}

Quaternion4d multiply(const Quaternion4d& a, const Quaternion4d& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

TEST(QuaternionToEulerDegrees, SpecialRotationsRebuildTheSameMatrix) {
    EulerDegrees identity = quaternionToEulerDegrees(0, 0, 0, 1);
    EXPECT_EQ(identity.x, 0.0);
    EXPECT_EQ(identity.y, 0.0);
    EXPECT_EQ(identity.z, 0.0);

    const EulerDegrees aboutZ =
        quaternionToEulerDegrees(0, 0, std::sin(kPi / 4), std::cos(kPi / 4));
    EXPECT_NEAR(aboutZ.x, 0.0, 1e-9);
    EXPECT_NEAR(aboutZ.y, 0.0, 1e-9);
    EXPECT_NEAR(aboutZ.z, 90.0, 1e-9);
    const EulerDegrees aboutX =
        quaternionToEulerDegrees(std::sin(kPi / 4), 0, 0, std::cos(kPi / 4));
    EXPECT_NEAR(aboutX.x, 90.0, 1e-9);
    const EulerDegrees aboutY =
        quaternionToEulerDegrees(0, std::sin(kPi / 4), 0, std::cos(kPi / 4));
    EXPECT_NEAR(aboutY.y, 90.0, 1e-9);

    const std::vector<Quaternion4d> special = {
        {0, 0, 0, 1},
        {1, 0, 0, 0},
        {0, 1, 0, 0},
        {0, 0, 1, 0},
        axisAngle(1, 0, 0, 90),
        axisAngle(0, 1, 0, 90),
        axisAngle(0, 0, 1, 90),
        axisAngle(1, 0, 0, -90),
        axisAngle(0, 0, 1, 180),
        // Gimbal: Y at +-90 degrees, combined with X and Z turns.
        multiply(axisAngle(0, 0, 1, 30), multiply(axisAngle(0, 1, 0, 90), axisAngle(1, 0, 0, 20))),
        multiply(axisAngle(0, 0, 1, -45),
                 multiply(axisAngle(0, 1, 0, -90), axisAngle(1, 0, 0, 70))),
        axisAngle(0, 1, 0, 90),
        axisAngle(0, 1, 0, -90),
    };
    for (const Quaternion4d& q : special) {
        expectSameRotation(q);
    }
}

TEST(QuaternionToEulerDegrees, RandomUnitQuaternionsRebuildTheSameMatrix) {
    std::mt19937_64 random(20260307);
    std::normal_distribution<double> normal(0.0, 1.0);
    for (int i = 0; i < 5000; ++i) {
        double x = normal(random), y = normal(random), z = normal(random), w = normal(random);
        const double n = std::sqrt(x * x + y * y + z * z + w * w);
        expectSameRotation({x / n, y / n, z / n, w / n});
    }
}

TEST(QuaternionToEulerDegrees, NanAnglesBecomeZeroAndOthersAreConverted) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Quaternion4d inputs[] = {
        {nan, 0, 0, 1}, {0, nan, 0, 1}, {0, 0, 0, nan}, {nan, nan, nan, nan}};
    for (const Quaternion4d& q : inputs) {
        const EulerDegrees degrees = quaternionToEulerDegrees(q.x, q.y, q.z, q.w);
        const MVector raw = MQuaternion(q.x, q.y, q.z, q.w).asEulerRotation().asVector();
        const double got[3] = {degrees.x, degrees.y, degrees.z};
        for (int k = 0; k < 3; ++k) {
            EXPECT_FALSE(std::isnan(got[k]));
            if (std::isnan(raw[k])) {
                EXPECT_EQ(got[k], 0.0);
            } else {
                EXPECT_EQ(got[k], raw[k] * 180.0 / 3.141592653589793);
            }
        }
    }
}

TEST(QuaternionToEulerDegrees, DegreesAreMultipliedThenDivided) {
    // A precomputed 180/pi rounds differently for some angles.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> angle(-170.0, 170.0);
    int precomputedDiffers = 0;
    for (int i = 0; i < 2000; ++i) {
        const Quaternion4d q = axisAngle(0, 0, 1, angle(random));
        const EulerDegrees degrees = quaternionToEulerDegrees(q.x, q.y, q.z, q.w);
        const MVector raw = MQuaternion(q.x, q.y, q.z, q.w).asEulerRotation().asVector();
        ASSERT_EQ(degrees.z, raw.z * 180.0 / 3.141592653589793);
        if (degrees.z != raw.z * (180.0 / 3.141592653589793)) {
            ++precomputedDiffers;
        }
    }
    EXPECT_GT(precomputedDiffers, 0);
}

void expectQuaternionNear(const Quaternion4d& got, const Quaternion4d& want, double tolerance) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
    EXPECT_NEAR(got.w, want.w, tolerance);
}

void expectQuaternionEq(const Quaternion4d& got, const Quaternion4d& want) {
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.z, want.z);
    EXPECT_EQ(got.w, want.w);
}

TEST(SlerpQuaternion, EndpointsEqualAndOppositeInputs) {
    const Quaternion4d a = axisAngle(1, 2, 3, 40);
    const Quaternion4d b = axisAngle(-1, 0.5, 2, 110);
    expectQuaternionNear(slerpQuaternion(a, b, 0.0), a, 1e-12);
    expectQuaternionNear(slerpQuaternion(a, b, 1.0), b, 1e-12);
    // Equal inputs give the first one, whichever branch the rounding takes.
    expectQuaternionNear(slerpQuaternion(a, a, 0.3), a, 1e-12);
    // q and -q: the cosine is -1, so the result is q, not the zero midpoint.
    const Quaternion4d minusA{-a.x, -a.y, -a.z, -a.w};
    const Quaternion4d opposite = slerpQuaternion(a, minusA, 0.5);
    expectQuaternionNear(opposite, a, 1e-15);
    // Exactly parallel: the blend is a itself.
    expectQuaternionEq(slerpQuaternion({0, 0, 0, 1}, {0, 0, 0, 1}, 0.7), {0, 0, 0, 1});
    // A cosine that rounds to 1 (two close frames in single precision)
    // still moves by the fraction: a resampled key between them is not the
    // first frame.
    const Quaternion4d closeBy{1e-9, 0, 0, 1};
    EXPECT_DOUBLE_EQ(slerpQuaternion({0, 0, 0, 1}, closeBy, 0.75).x, 0.75e-9);
}

TEST(SlerpQuaternion, MidpointOnTheGreatArc) {
    const Quaternion4d a = axisAngle(0, 0, 1, 20);
    const Quaternion4d b = axisAngle(0, 0, 1, 80);
    expectQuaternionNear(slerpQuaternion(a, b, 0.5), axisAngle(0, 0, 1, 50), 1e-12);
    expectQuaternionNear(slerpQuaternion(a, b, 0.25), axisAngle(0, 0, 1, 35), 1e-12);
}

TEST(SlerpQuaternion, NegativeCosineTakesTheLongerArc) {
    const Quaternion4d got = slerpQuaternion({0, 0, 0, 1}, {0, 0, 0.6, -0.8}, 0.5);
    EXPECT_NEAR(got.x, 0.0, 1e-12);
    EXPECT_NEAR(got.y, 0.0, 1e-12);
    EXPECT_NEAR(got.z, 0.9487, 1e-4);
    EXPECT_NEAR(got.w, 0.3162, 1e-4);
    const EulerDegrees angles = quaternionToEulerDegrees(got.x, got.y, got.z, got.w);
    EXPECT_NEAR(angles.z, 143.13, 0.01);
}

TEST(SlerpQuaternion, NearlyParallelIsBlendedLinearlyAtTheFraction) {
    const double phi = 0.0005;  // sigma = sin(phi) < 0.001, |d| just below 1
    const Quaternion4d a{0, 0, 0, 1};
    const Quaternion4d nearSame{std::sin(phi), 0, 0, std::cos(phi)};
    for (double t : {0.1, 0.5, 0.9}) {
        const Quaternion4d got = slerpQuaternion(a, nearSame, t);
        expectQuaternionEq(got, {t * nearSame.x, 0, 0, (1.0 - t) + t * nearSame.w});
        // Off the true arc at that fraction by the chord's sag only, about
        // phi squared: a few nanoradians.
        expectQuaternionNear(got, {std::sin(t * phi), 0, 0, std::cos(t * phi)}, 1e-7);
    }
    // Just above the bound the true interpolation runs.
    const double wider = 0.0011;
    const Quaternion4d b{std::sin(wider), 0, 0, std::cos(wider)};
    expectQuaternionNear(slerpQuaternion(a, b, 0.1),
                         {std::sin(0.1 * wider), 0, 0, std::cos(0.1 * wider)}, 1e-9);
}

TEST(SlerpQuaternion, CosineIsSummedXThenWThenYThenZ) {
    // x*x and w*w cancel first; summed x, y, z, w the 0.5 would be lost.
    const Quaternion4d a{1e8, 1, 0, 1e8};
    const Quaternion4d b{1e8, 0.5, 0, -1e8};
    const Quaternion4d got = slerpQuaternion(a, b, 0.5);
    const double weight = std::sin(std::acos(0.5) * 0.5) / std::sqrt(0.75);
    EXPECT_NEAR(got.y, 1.0 * weight + 0.5 * weight, 1e-12);
}

TEST(SlerpQuaternion, NanCosinePropagates) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Quaternion4d got = slerpQuaternion({nan, 0, 0, 1}, {0, 0, 0, 1}, 0.5);
    EXPECT_TRUE(std::isnan(got.w));
}

TEST(Lerp, ExactEndpointsMidpointsAndMonotonic) {
    EXPECT_EQ(lerp(-2, 2, 0.5), 0.0);
    EXPECT_EQ(lerp(1, 3, 0.5), 2.0);
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> exponent(-20, 20);
    std::uniform_real_distribution<double> mantissa(-1, 1);
    int naiveWouldMiss = 0;
    for (int i = 0; i < 20000; ++i) {
        const double a = mantissa(random) * std::pow(10.0, exponent(random));
        const double b = mantissa(random) * std::pow(10.0, exponent(random));
        ASSERT_EQ(lerp(a, b, 0.0), a);
        ASSERT_EQ(lerp(a, b, 1.0), b);
        if (a + 1.0 * (b - a) != b) {
            ++naiveWouldMiss;
        }
    }
    EXPECT_GT(naiveWouldMiss, 0) << "the sample should include pairs the naive formula misses";

    for (const auto& pair :
         {std::pair<double, double>{0.1, 0.7}, {3.0, -5.0}, {1e-3, 1e3}, {-7, -7}}) {
        double previous = lerp(pair.first, pair.second, 0.0);
        for (int step = 1; step <= 1000; ++step) {
            const double value = lerp(pair.first, pair.second, step / 1000.0);
            if (pair.second >= pair.first) {
                ASSERT_GE(value, previous);
            } else {
                ASSERT_LE(value, previous);
            }
            previous = value;
        }
    }
}

TEST(InterpolateSample, TranslationLinearRotationFromTheSlerpedQuaternion) {
    const Quaternion4d qa = axisAngle(0, 1, 0, 10);
    const Quaternion4d qb = axisAngle(0, 1, 0, 70);
    const RecordedSample p{1, 2, 3, 99, 99, 99, 10, qa.w, qa.x, qa.y, qa.z};
    const RecordedSample s{4, -2, 13, -99, -99, -99, 14, qb.w, qb.x, qb.y, qb.z};

    const RecordedSample whole = interpolateSample(p, s, 1.0);
    EXPECT_EQ(whole.translateX, s.translateX);
    EXPECT_EQ(whole.translateY, s.translateY);
    EXPECT_EQ(whole.translateZ, s.translateZ);

    const RecordedSample quarter = interpolateSample(p, s, 0.25);
    EXPECT_DOUBLE_EQ(quarter.translateX, 1.75);
    EXPECT_DOUBLE_EQ(quarter.translateY, 1.0);
    EXPECT_DOUBLE_EQ(quarter.translateZ, 5.5);
    const Quaternion4d q = slerpQuaternion(qa, qb, 0.25);
    EXPECT_EQ(quarter.quatW, q.w);
    EXPECT_EQ(quarter.quatX, q.x);
    EXPECT_EQ(quarter.quatY, q.y);
    EXPECT_EQ(quarter.quatZ, q.z);
    // The rotate fields come from the quaternion, not from p and s.
    EXPECT_NEAR(quarter.rotateX, 0.0, 1e-9);
    EXPECT_NEAR(quarter.rotateY, 25.0, 1e-9);
    EXPECT_NEAR(quarter.rotateZ, 0.0, 1e-9);
    EXPECT_EQ(quarter.time, 0.0);
}

// A sample whose quaternion comes with the opposite sign is the same rotation:
// the synthesized sample lies between the two rotations, not the long way round.
TEST(InterpolateSample, FollowsTheShortArcWhateverTheQuaternionSigns) {
    const Quaternion4d qa = axisAngle(0, 0, 1, 20);
    const Quaternion4d qb = axisAngle(0, 0, 1, 60);
    const RecordedSample p{0, 0, 0, 0, 0, 20, 10, qa.w, qa.x, qa.y, qa.z};
    const RecordedSample flipped{0, 0, 0, 0, 0, 60, 12, -qb.w, -qb.x, -qb.y, -qb.z};

    const RecordedSample half = interpolateSample(p, flipped, 0.5);
    EXPECT_NEAR(half.rotateX, 0.0, 1e-9);
    EXPECT_NEAR(half.rotateY, 0.0, 1e-9);
    EXPECT_NEAR(half.rotateZ, 40.0, 1e-9);
    const RecordedSample end = interpolateSample(p, flipped, 1.0);
    EXPECT_NEAR(end.rotateZ, 60.0, 1e-9);
}

}  // namespace
