#include "tools/lib/mayaAsciiWriter.h"
#include "tools/lib/recordedTake.h"
#include "tools/lib/captureTake.h"

#include "tests/tools/mayaAsciiReader.h"
#include "tests/tools/toolsTestHelpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ztools {
namespace {

using testing::near;
using testing::sameRotation;

// A take whose joint j has, at frame f, rotation (f + j, 2f, -j) degrees and
// the root moves along x; key times 10 .. 10 + frames - 1.
RecordedTake sampleTake(int frames, int fps) {
    RecordedTake take;
    take.fps = fps;
    take.skeletonName = "zemoriCharacter0_Skeleton";
    for (int j = 0; j < kCaptureJoints; ++j) {
        take.definition[j] = {double(j), 5.0 + j, -0.5 * j};
        const std::string base = take.skeletonName + "_" + captureJointName(j);
        for (const char* suffix : {"_tx", "_ty", "_tz", "_rx", "_ry", "_rz"}) {
            TakeCurve c;
            c.name = base + suffix;
            take.curves.push_back(c);
        }
        for (int f = 0; f < frames; ++f) {
            const double t = 10.0 + f;
            const Vec3 translation = j == 0 ? Vec3{1.25 * f, 94.0, 0.1} : take.definition[j];
            const double values[6] = {translation.x, translation.y, translation.z,
                                      double(f + j), 2.0 * f,       -double(j)};
            for (int c = 0; c < 6; ++c) take.curves[j * 6 + c].keys.emplace_back(t, values[c]);
        }
    }
    return take;
}

TEST(MayaAsciiWriter, WritesCurvesAsTheHostDoes) {
    const RecordedTake take = sampleTake(9, 30);
    std::vector<TakeCurve> curves = take.curves;
    curves[7].keys.clear();                   // a joint curve without keys
    curves[3].keys[2].second = -0.1 + 1e-17;  // needs every digit
    const std::string text = writeMayaAscii(curves, 30, "take.ma");
    const testing::MaScene scene = testing::readMayaAscii(text);
    ASSERT_EQ(scene.error, "");
    EXPECT_EQ(scene.firstLine, "//Maya ASCII 2023 scene");
    EXPECT_EQ(scene.requires, "2023");
    EXPECT_EQ(scene.timeUnit, "ntsc");
    EXPECT_EQ(scene.linearUnit, "centimeter");
    EXPECT_EQ(scene.angularUnit, "degree");
    ASSERT_EQ(scene.curves.size(), 162u);
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const testing::MaCurve& c = scene.curves[i];
        // Rotations on angle curves, as the plug-in makes them.
        EXPECT_EQ(c.type, i % 6 < 3 ? "animCurveTL" : "animCurveTA") << c.name;
        EXPECT_EQ(c.name, curves[i].name);
        EXPECT_EQ(c.attributes.at(".tan"), "18");
        EXPECT_EQ(c.attributes.at(".wgt"), "no");
        if (curves[i].keys.empty()) {
            EXPECT_EQ(c.declaredKeys, -1);
            continue;
        }
        EXPECT_EQ(c.declaredKeys, int(curves[i].keys.size()));
        ASSERT_EQ(c.keys.size(), curves[i].keys.size());
        for (std::size_t k = 0; k < c.keys.size(); ++k) {
            EXPECT_EQ(c.keys[k].first, curves[i].keys[k].first);
            EXPECT_EQ(c.keys[k].second, curves[i].keys[k].second);  // exact round trip
        }
    }
    EXPECT_EQ(scene.curves[0].name, "zemoriCharacter0_Skeleton_root_tx");
    EXPECT_EQ(scene.curves[161].name, "zemoriCharacter0_Skeleton_r_toes_rz");
}

TEST(MayaAsciiWriter, NamesTheTimeUnitOfEachRate) {
    EXPECT_EQ(mayaTimeUnit(30), "ntsc");
    EXPECT_EQ(mayaTimeUnit(50), "palf");
    EXPECT_EQ(mayaTimeUnit(60), "ntscf");
    EXPECT_EQ(mayaTimeUnit(24), "film");
    EXPECT_EQ(mayaTimeUnit(120), "120fps");
    EXPECT_EQ(testing::readMayaAscii(writeMayaAscii({}, 60, "x.ma")).timeUnit, "ntscf");
}

TEST(MayaAsciiWriter, WritesFilesAndReportsUnwritablePaths) {
    const std::string path = ::testing::TempDir() + "zemori_writer_test.ma";
    std::string error;
    ASSERT_TRUE(writeMayaAsciiFile(path, sampleTake(3, 50).curves, 50, error)) << error;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const testing::MaScene scene = testing::readMayaAscii(text.str());
    EXPECT_EQ(scene.error, "");
    EXPECT_EQ(scene.curves.size(), 162u);
    EXPECT_NE(text.str().find("//Name: zemori_writer_test.ma"), std::string::npos);
    std::remove(path.c_str());
    EXPECT_FALSE(writeMayaAsciiFile("/nonexistent/dir/take.ma", {}, 30, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST(RecordedTake, CurvesEvaluateAtAndBetweenKeys) {
    TakeCurve c{"c", {{1, 10}, {3, 30}, {4, -2}}};
    EXPECT_EQ(evaluateCurve(c, 1), 10);
    EXPECT_EQ(evaluateCurve(c, 2), 20);
    EXPECT_EQ(evaluateCurve(c, 3.5), 14);
    EXPECT_EQ(evaluateCurve(c, 0), 10);
    EXPECT_EQ(evaluateCurve(c, 9), -2);
    EXPECT_EQ(evaluateCurve(TakeCurve{}, 1), 0);
}

TEST(RecordedTake, ExportsAsABvhThatReadsBackToTheSamePoses) {
    const RecordedTake take = sampleTake(6, 60);
    BvhMotion bvh;
    std::string error;
    ASSERT_TRUE(takeToBvh(take, bvh, error)) << error;
    BvhMotion back;
    ASSERT_TRUE(parseBvh(writeBvh(bvh), back, error)) << error;
    ASSERT_EQ(back.skeleton.joints.size(), 27u);
    EXPECT_EQ(back.frameCount, 6);
    EXPECT_NEAR(back.frameTime, 1.0 / 60, 1e-15);
    EXPECT_EQ(back.skeleton.joints[12].name, "l_up_arm");
    EXPECT_EQ(back.skeleton.joints[12].parent, 11);
    EXPECT_TRUE(back.skeleton.joints[10].hasEndSite);  // head
    EXPECT_FALSE(back.skeleton.joints[7].hasEndSite);  // torso_7
    const std::vector<int> parents = captureParents();
    for (int f = 0; f < 6; ++f) {
        const SkeletonPose pose = poseAtFrame(back, f);
        const CapturePose expected = takePose(take, 10.0 + f);
        EXPECT_TRUE(near(pose.translations[0], expected.translations[0], 1e-12));
        for (int j = 0; j < kCaptureJoints; ++j) {
            EXPECT_TRUE(sameRotation(pose.rotations[j], expected.rotations[j], 1e-9)) << j;
            if (j) {
                EXPECT_TRUE(near(pose.translations[j], take.definition[j], 0));
            }
        }
        // Joint positions as another tool computes them from the file.
        const std::vector<Vec3> a = jointPositions(parents, pose);
        const std::vector<Vec3> b = captureJointPositions(take.definition, expected);
        for (int j = 0; j < kCaptureJoints; ++j) EXPECT_TRUE(near(a[j], b[j], 1e-9));
    }
    RecordedTake empty = take;
    for (TakeCurve& c : empty.curves) c.keys.clear();
    EXPECT_FALSE(takeToBvh(empty, bvh, error));
    empty.curves.pop_back();
    EXPECT_FALSE(takeToBvh(empty, bvh, error));
    EXPECT_NE(error.find("162"), std::string::npos);
}

}  // namespace
}  // namespace ztools
