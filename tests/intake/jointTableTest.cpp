// A new store describes the default skeleton in its rest pose.
#include "intake/motionDataStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

int indexOf(const char* name) {
    for (int i = 0; i < kJointCount; ++i) {
        if (std::strcmp(kJointTable[i].name, name) == 0) {
            return i;
        }
    }
    return -1;
}

TEST(JointTable, IsATreeRootedAtRootWithUniqueNames) {
    ASSERT_EQ(kJointCount, 27);
    EXPECT_EQ(std::string(kJointTable[0].name), "root");
    EXPECT_EQ(kJointTable[0].parentIndex, -1);
    EXPECT_EQ(std::string(kJointTable[26].name), "r_toes");
    std::set<std::string> names;
    for (int i = 1; i < kJointCount; ++i) {
        EXPECT_GE(kJointTable[i].parentIndex, 0) << kJointTable[i].name;
        EXPECT_LT(kJointTable[i].parentIndex, i) << "parents come before their children";
        names.insert(kJointTable[i].name);
    }
    names.insert(kJointTable[0].name);
    EXPECT_EQ(names.size(), 27u);
}

TEST(JointTable, ParentsAndTranslationsOfTheLimbs) {
    struct Row {
        const char* name;
        const char* parent;
        Vector3d translation;
    };
    const Row rows[] = {
        {"torso_7", "torso_6", {0, 10, 0}},     {"head", "neck_2", {0, 4, 0}},
        {"l_shoulder", "torso_7", {1, -6, 7}},  {"r_shoulder", "torso_7", {-1, -6, 7}},
        {"l_up_arm", "l_shoulder", {12, 5, 0}}, {"r_up_arm", "r_shoulder", {-12, 5, 0}},
        {"r_hand", "r_low_arm", {0, -23, 0}},   {"l_up_leg", "root", {9, -4, 3}},
        {"r_up_leg", "root", {-9, -4, 3}},      {"l_foot", "l_low_leg", {0, -40, -2}},
        {"r_toes", "r_foot", {0, -10, 13}},
    };
    for (const Row& row : rows) {
        const int i = indexOf(row.name);
        ASSERT_GE(i, 0) << row.name;
        EXPECT_EQ(kJointTable[i].parentIndex, indexOf(row.parent)) << row.name;
        EXPECT_EQ(kJointTable[i].translation.x, row.translation.x) << row.name;
        EXPECT_EQ(kJointTable[i].translation.y, row.translation.y) << row.name;
        EXPECT_EQ(kJointTable[i].translation.z, row.translation.z) << row.name;
    }
}

TEST(NewStore, HoldsTheDefaultsInBothPoses) {
    MotionDataStore store;
    EXPECT_EQ(store.jointCount(), 27);
    EXPECT_EQ(store.detectedFrameRate(), 50);
    const JointRecord* r = store.poseRecords();
    EXPECT_EQ(reinterpret_cast<const char*>(r + kJointCount) - reinterpret_cast<const char*>(r),
              3456);

    EXPECT_EQ(r[0].parentIndex, -1);
    EXPECT_EQ(r[0].currentTranslation.y, 94.0);
    EXPECT_EQ(r[0].definitionTranslation.y, 94.0);

    for (int i = 0; i < kJointCount; ++i) {
        SCOPED_TRACE(kJointTable[i].name);
        EXPECT_EQ(r[i].name, kJointTable[i].name) << "names point into the table";
        EXPECT_EQ(r[i].parentIndex, kJointTable[i].parentIndex);
        EXPECT_EQ(r[i].reserved, 0);
        EXPECT_EQ(
            std::memcmp(&r[i].definitionTranslation, &kJointTable[i].translation, sizeof(Vector3d)),
            0);
        EXPECT_EQ(
            std::memcmp(&r[i].currentTranslation, &r[i].definitionTranslation, sizeof(Vector3d)),
            0);
        EXPECT_EQ(
            std::memcmp(&r[i].currentRotation, &r[i].definitionRotation, sizeof(Quaternion4d)), 0);
        const bool upperArm = i == indexOf("l_up_arm") || i == indexOf("r_up_arm");
        if (!upperArm) {
            EXPECT_EQ(r[i].currentRotation.x, 0.0);
            EXPECT_EQ(r[i].currentRotation.y, 0.0);
            EXPECT_EQ(r[i].currentRotation.z, 0.0);
            EXPECT_EQ(r[i].currentRotation.w, 1.0);
        }
    }
}

TEST(NewStore, UpperArmRotationsAreTheUnnormalisedConstant) {
    MotionDataStore store;
    const JointRecord& left = store.poseRecords()[indexOf("l_up_arm")];
    const JointRecord& right = store.poseRecords()[indexOf("r_up_arm")];
    for (const Quaternion4d& q : {left.definitionRotation, left.currentRotation}) {
        EXPECT_EQ(q.x, 0.0);
        EXPECT_EQ(q.y, 0.0);
        EXPECT_EQ(q.z, 0.707);
        EXPECT_EQ(q.w, 0.707);
    }
    for (const Quaternion4d& q : {right.definitionRotation, right.currentRotation}) {
        EXPECT_EQ(q.z, 0.707);
        EXPECT_EQ(q.w, -0.707);
    }
}

}  // namespace
