// Shared helpers of the tools' tests: the bundled take, tolerance checks
// for vectors and rotations, and a small BVH text builder.
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/poseMath.h"

#include <gtest/gtest.h>

#include <string>

namespace ztools::testing {

// The bundled 120 fps take (ZEMORI_DATA_DIR is set by the build).
inline const BvhMotion& bundledTake() {
    static const BvhMotion motion = [] {
        BvhMotion m;
        std::string error;
        const bool ok = readBvhFile(std::string(ZEMORI_DATA_DIR) + "/131_01.bvh", m, error);
        EXPECT_TRUE(ok) << error;
        return m;
    }();
    return motion;
}

inline ::testing::AssertionResult near(const Vec3& a, const Vec3& b, double tolerance) {
    const double d = length(a - b);
    if (d <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y << ", "
           << b.z << "): distance " << d << " > " << tolerance;
}

inline ::testing::AssertionResult sameRotation(const Quat& a, const Quat& b, double degrees) {
    const double d = angleBetweenDegrees(a, b);
    if (d <= degrees) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "rotations differ by " << d << " degrees";
}

// A three-joint chain (root with six channels, two children with the
// given rotation channel order) and two frames.
inline std::string smallBvh(const std::string& childOrder = "Zrotation Yrotation Xrotation") {
    return "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
           " CHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation Xrotation\n"
           " JOINT Spine\n {\n  OFFSET 0 2 0\n  CHANNELS 3 " +
           childOrder + "\n  JOINT Head\n  {\n   OFFSET 0 1.5 0.25\n   CHANNELS 3 " + childOrder +
           "\n   End Site\n   {\n    OFFSET 0 1 0\n   }\n  }\n }\n}\n"
           "MOTION\nFrames: 2\nFrame Time: 0.0083333\n"
           "1 17 -3 10 20 30 5 -5 15 0 0 90\n"
           "1.5 17.25 -2 -10 0 45 0 0 0 30 60 -90\n";
}

}  // namespace ztools::testing
