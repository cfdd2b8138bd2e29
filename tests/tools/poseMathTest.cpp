#include "tools/lib/poseMath.h"

#include "tests/tools/toolsTestHelpers.h"

#include <gtest/gtest.h>

namespace ztools {
namespace {

using testing::near;
using testing::sameRotation;

TEST(PoseMath, AxisRotationsTurnVectorsTheRightWay) {
    EXPECT_TRUE(near(rotate(axisRotation('Z', 90), {1, 0, 0}), {0, 1, 0}, 1e-12));
    EXPECT_TRUE(near(rotate(axisRotation('X', 90), {0, 1, 0}), {0, 0, 1}, 1e-12));
    EXPECT_TRUE(near(rotate(axisRotation('Y', 90), {0, 0, 1}), {1, 0, 0}, 1e-12));
    // Composition applies the right-hand factor first.
    const Quat zx = axisRotation('Z', 90) * axisRotation('X', 90);
    EXPECT_TRUE(near(rotate(zx, {0, 1, 0}), rotate(axisRotation('Z', 90), {0, 0, 1}), 1e-12));
}

TEST(PoseMath, EulerConventionsAgreeAndRoundTrip) {
    // BVH "Zrotation Yrotation Xrotation" is the host's XYZ rotate order.
    const double zyx[3] = {30, -40, 75};
    EXPECT_TRUE(
        sameRotation(fromListedEuler("ZYX", zyx), fromEulerXYZDegrees({75, -40, 30}), 1e-12));
    // Other listed orders differ from it.
    const double zxy[3] = {30, 75, -40};
    EXPECT_GT(angleBetweenDegrees(fromListedEuler("ZXY", zxy), fromEulerXYZDegrees({75, -40, 30})),
              1.0);
    for (const Vec3& e :
         {Vec3{10, 20, 30}, Vec3{-170, 80, 5}, Vec3{0, 0, 0}, Vec3{45, -89.5, 120}}) {
        const Quat q = fromEulerXYZDegrees(e);
        EXPECT_TRUE(sameRotation(fromEulerXYZDegrees(toEulerXYZDegrees(q)), q, 1e-9));
    }
    // Gimbal lock still gives an equivalent rotation.
    const Quat locked = fromEulerXYZDegrees({20, 90, 40});
    EXPECT_TRUE(sameRotation(fromEulerXYZDegrees(toEulerXYZDegrees(locked)), locked, 1e-6));
}

TEST(PoseMath, SlerpFollowsTheShortArcAtConstantSpeed) {
    const Quat a = axisRotation('Y', 10);
    const Quat b = axisRotation('Y', 70);
    EXPECT_TRUE(sameRotation(slerp(a, b, 0.0), a, 1e-12));
    EXPECT_TRUE(sameRotation(slerp(a, b, 1.0), b, 1e-12));
    EXPECT_TRUE(sameRotation(slerp(a, b, 0.25), axisRotation('Y', 25), 1e-9));
    // -b is the same rotation: still the short way round.
    const Quat negB{-b.x, -b.y, -b.z, -b.w};
    EXPECT_TRUE(sameRotation(slerp(a, negB, 0.5), axisRotation('Y', 40), 1e-9));
    EXPECT_NEAR(angleBetweenDegrees(a, negB), 60.0, 1e-9);
    EXPECT_TRUE(near(lerp({0, 0, 0}, {2, 4, -6}, 0.5), {1, 2, -3}, 1e-12));
}

}  // namespace
}  // namespace ztools
