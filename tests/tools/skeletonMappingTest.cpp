#include "tools/lib/skeletonMapping.h"

#include "tools/lib/captureTake.h"
#include "tests/tools/toolsTestHelpers.h"

#include <gtest/gtest.h>

namespace ztools {
namespace {

using testing::near;
using testing::sameRotation;

int capture(const char* name) {
    for (int j = 0; j < kCaptureJoints; ++j)
        if (std::string(captureJointName(j)) == name) return j;
    return -1;
}

TEST(SkeletonMapping, MapsTheBundledTakeByItsOwnNames) {
    const BvhMotion& m = testing::bundledTake();
    SkeletonMapping map;
    std::string error;
    ASSERT_TRUE(buildMapping(m.skeleton, map, error)) << error;
    EXPECT_EQ(map.profile, "cmu-131");
    const std::pair<const char*, const char*> expected[] = {{"root", "Hips"},
                                                            {"torso_1", "lowerback"},
                                                            {"torso_4", "Chest"},
                                                            {"torso_7", "Chest2"},
                                                            {"neck_1", "lowerneck"},
                                                            {"neck_2", "Neck"},
                                                            {"head", "Head"},
                                                            {"l_shoulder", "LeftCollar"},
                                                            {"l_up_arm", "LeftShoulder"},
                                                            {"r_low_arm", "RightElbow"},
                                                            {"r_hand", "RightWrist"},
                                                            {"l_up_leg", "LeftHip"},
                                                            {"l_low_leg", "LeftKnee"},
                                                            {"r_foot", "RightAnkle"},
                                                            {"r_toes", "RightToe"}};
    for (const auto& [target, source] : expected)
        EXPECT_EQ(map.source[capture(target)], m.skeleton.find(source)) << target;
    for (const char* unmapped : {"torso_2", "torso_3", "torso_5", "torso_6"}) {
        const int t = capture(unmapped);
        EXPECT_EQ(map.source[t], -1);
        EXPECT_TRUE(map.path[t].empty());
        EXPECT_EQ(length(map.restTranslation[t]), 0.0);
    }
    // The hip joints between the hips and the thighs are folded in.
    const int leftHip = m.skeleton.find("LeftHip");
    EXPECT_TRUE(
        near(map.restTranslation[capture("l_up_leg")], m.skeleton.joints[leftHip].offset, 0));
    EXPECT_EQ(map.path[capture("l_up_leg")].size(), 2u);
}

TEST(SkeletonMapping, ForwardKinematicsReproducesTheSourceEveryFrame) {
    const BvhMotion& m = testing::bundledTake();
    CaptureTake take;
    std::string error;
    // At the source's own rate every take frame is a source frame.
    ASSERT_TRUE(takeFromBvh(m, 120, kCmuUnitCm, 0.0, take, error)) << error;
    ASSERT_EQ(take.frames.size(), std::size_t(m.frameCount));
    // The rest pose holds the arms along X; the frames keep the capture's
    // positions all the same.
    for (const char* child : {"l_low_arm", "l_hand", "r_low_arm", "r_hand"}) {
        const Vec3 offset = take.definition[capture(child)];
        EXPECT_NEAR(std::abs(offset.x), length(offset), 1e-9) << child;
        EXPECT_EQ(offset.x > 0.0, child[0] == 'l') << child;
    }
    const std::pair<const char*, const char*> checked[] = {
        {"root", "Hips"},        {"l_low_leg", "LeftKnee"}, {"r_low_leg", "RightKnee"},
        {"l_foot", "LeftAnkle"}, {"r_foot", "RightAnkle"},  {"head", "Head"},
        {"l_hand", "LeftWrist"}, {"r_hand", "RightWrist"},  {"l_toes", "LeftToe"}};
    const std::vector<int> parents = parentsOf(m.skeleton);
    double worst = 0.0;
    for (int f = 0; f < m.frameCount; ++f) {
        const std::vector<Vec3> source = jointPositions(parents, poseAtFrame(m, f));
        const std::vector<Vec3> mapped = captureJointPositions(take.definition, take.frames[f]);
        for (const auto& [target, joint] : checked) {
            const Vec3 expected = source[m.skeleton.find(joint)] * kCmuUnitCm;
            worst = std::max(worst, length(mapped[capture(target)] - expected));
        }
    }
    EXPECT_LT(worst, 1e-6) << "centimetres";
    // The unit: the hips stand about a metre high.
    EXPECT_NEAR(take.frames[0].translations[0].y, 95.4, 0.5);
}

// CMU database names, with an unmapped twist joint between Neck and Neck1.
const char* kTwistedNeck =
    "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
    " CHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation Xrotation\n"
    " JOINT LowerBack\n {\n  OFFSET 0 1 0\n  CHANNELS 3 Zrotation Yrotation Xrotation\n"
    "  JOINT Spine\n  {\n   OFFSET 0 2 0\n   CHANNELS 3 Zrotation Yrotation Xrotation\n"
    "   JOINT Spine1\n   {\n    OFFSET 0 2 0\n    CHANNELS 3 Zrotation Yrotation Xrotation\n"
    "    JOINT Neck\n    {\n     OFFSET 0 1 0.2\n     CHANNELS 3 Zrotation Yrotation Xrotation\n"
    "     JOINT NeckTwist\n     {\n      OFFSET 0 0.5 0\n      CHANNELS 3 Zrotation Yrotation "
    "Xrotation\n"
    "      JOINT Neck1\n      {\n       OFFSET 0 0 0\n       CHANNELS 3 Zrotation Yrotation "
    "Xrotation\n"
    "       JOINT Head\n       {\n        OFFSET 0 1 0.1\n        CHANNELS 3 Zrotation Yrotation "
    "Xrotation\n"
    "        End Site\n        {\n         OFFSET 0 1 0\n        }\n       }\n      }\n     }\n    "
    "}\n"
    "    JOINT LeftShoulder\n    {\n     OFFSET 1 0 0\n     CHANNELS 3 Zrotation Yrotation "
    "Xrotation\n"
    "     End Site\n     {\n      OFFSET 1 0 0\n     }\n    }\n   }\n  }\n }\n}\n"
    "MOTION\nFrames: 1\nFrame Time: 0.01\n"
    "3 17 2  10 20 30  5 6 7  -8 9 10  11 -12 13  14 15 -16  40 -35 25  17 18 19  -20 21 22  23 24 "
    "25\n";

TEST(SkeletonMapping, FoldsIntermediateRotationsIntoTheNextMappedJoint) {
    BvhMotion m;
    std::string error;
    ASSERT_TRUE(parseBvh(kTwistedNeck, m, error)) << error;
    SkeletonMapping map;
    ASSERT_TRUE(buildMapping(m.skeleton, map, error)) << error;
    EXPECT_EQ(map.profile, "cmu");
    EXPECT_EQ(map.source[capture("l_up_arm")], -1);  // LeftArm is missing
    const SkeletonPose source = poseAtFrame(m, 0);
    const CapturePose mapped = mapPose(map, source);
    const int twist = m.skeleton.find("NeckTwist");
    const int neck1 = m.skeleton.find("Neck1");
    EXPECT_TRUE(sameRotation(mapped.rotations[capture("neck_2")],
                             source.rotations[twist] * source.rotations[neck1], 1e-12));
    EXPECT_TRUE(near(map.restTranslation[capture("neck_2")], {0, 0.5, 0}, 1e-15));
    const std::vector<Vec3> s = jointPositions(parentsOf(m.skeleton), source);
    const std::vector<Vec3> t = captureJointPositions(map.restTranslation, mapped);
    for (const auto& [target, joint] : {std::pair{"root", "Hips"},
                                        {"torso_7", "Spine1"},
                                        {"neck_1", "Neck"},
                                        {"neck_2", "Neck1"},
                                        {"head", "Head"},
                                        {"l_shoulder", "LeftShoulder"}})
        EXPECT_TRUE(near(t[capture(target)], s[m.skeleton.find(joint)], 1e-12)) << target;
}

TEST(SkeletonMapping, RefusesSkeletonsItCannotMap) {
    BvhMotion m;
    std::string error;
    ASSERT_TRUE(parseBvh(testing::smallBvh(), m, error)) << error;
    m.skeleton.joints[0].name = "Pelvis";
    SkeletonMapping map;
    EXPECT_FALSE(buildMapping(m.skeleton, map, error));
    EXPECT_NE(error.find("Hips"), std::string::npos);

    // The head hung below the shoulder cannot become a child of the neck.
    std::string text = kTwistedNeck;
    text.replace(text.find("JOINT Head"), 10, "JOINT Hat");
    text.replace(text.find("End Site\n     {\n      OFFSET 1 0 0"), 8,
                 "JOINT Head\n     {\n      OFFSET 0 1 0\n      CHANNELS 0\n     }\n     End Site");
    ASSERT_TRUE(parseBvh(text, m, error)) << error;
    EXPECT_FALSE(buildMapping(m.skeleton, map, error));
    EXPECT_NE(error.find("Head"), std::string::npos) << error;
}

}  // namespace
}  // namespace ztools
