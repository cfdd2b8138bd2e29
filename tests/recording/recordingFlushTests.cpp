#include "recording/recordingTestSupport.h"

#include <maya/MAnimControl.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPxNode.h>
#include <maya/MQuaternion.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>
#include <mayahost/ui.h>

#include "plugin/zemoriDidCharacterizeCmd.h"
#include "recording/keyTimeline.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace nodetest {
namespace {

const char* const kSuffixes[] = {"_tx", "_ty", "_tz", "_rx", "_ry", "_rz"};

// A joint's six channels in the suffixes' order: translation in centimetres,
// then XYZ rotation in degrees.
using Channels = std::array<double, 6>;

// A frame in which no two channels of a joint are equal, with the channels
// each joint's curves should hold once it is recorded: rotations as sent,
// the root's translation as sent, the others' as the definition of offset 0
// (i, 2i, -i) has them.
struct DistinctPose {
    std::array<OsvJointPose, kJointCount> joints{};
    std::array<Channels, kJointCount> channels{};
};

DistinctPose distinctPose(double base) {
    DistinctPose pose;
    const double toRadians = 3.141592653589793 / 180.0;
    for (int i = 0; i < kJointCount; ++i) {
        const double rx = 10.0 + base + i;
        const double ry = -30.0 - i;
        const double rz = 60.0 + base + i;
        const MQuaternion q =
            MEulerRotation(rx * toRadians, ry * toRadians, rz * toRadians, MEulerRotation::kXYZ)
                .asQuaternion();
        pose.joints[i].rotation[0] = static_cast<float>(q.x);
        pose.joints[i].rotation[1] = static_cast<float>(q.y);
        pose.joints[i].rotation[2] = static_cast<float>(q.z);
        pose.joints[i].rotation[3] = static_cast<float>(q.w);
        const double t[3] = {3.0 + base, 5.0, -7.0};
        for (int c = 0; c < 3; ++c) {
            pose.joints[i].translation[c] = static_cast<float>(t[c] / 100.0);
        }
        pose.channels[i] = i == 0 ? Channels{t[0], t[1], t[2], rx, ry, rz}
                                  : Channels{1.0 * i, 2.0 * i, -1.0 * i, rx, ry, rz};
    }
    return pose;
}

// Each of the six curves of every joint, after the flush, has a key at `time`
// holding its own channel's value (rotations in radians inside).
void expectCurvesHoldPose(double time, const DistinctPose& pose) {
    for (int joint = 0; joint < kJointCount; ++joint) {
        for (int k = 0; k < 6; ++k) {
            const std::string name =
                std::string("zemoriCharacter0_Skeleton_") + kJointTable[joint].name + kSuffixes[k];
            bool exists = false;
            const mayahost::CurveInfo curve = mayahost::animCurve(name, &exists);
            ASSERT_TRUE(exists) << name;
            const auto key = std::find_if(curve.keys.begin(), curve.keys.end(), [&](const auto& k) {
                return k.time.as(MTime::uiUnit()) == time;
            });
            ASSERT_NE(key, curve.keys.end()) << name << " has no key at " << time;
            const double scale = k < 3 ? 1.0 : 3.141592653589793 / 180.0;
            EXPECT_NEAR(key->value, pose.channels[joint][k] * scale, 1e-5) << name;
        }
    }
}

TEST_F(RecordingTest, FlushTriggerTable) {
    struct Row {
        bool playing, recording, live, take, flush;
    };
    // A take goes on only while recording and playing, live or not.
    const Row rows[] = {
        {true, true, false, true, false},    {true, false, true, true, true},
        {false, false, false, true, true},   {false, false, true, true, true},
        {false, true, false, true, true},    {false, true, true, true, true},
        {false, false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "playing " << row.playing << " recording " << row.recording << " live "
                     << row.live << " take " << row.take);
        MAnimControl::stop();
        mayahost::newScene();  // no curves, and a fresh node with no take
        mDevice = createDeviceNode();
        handle(skeletonDefinition(0.0f));
        mDevice.node->setCharacterized(true);
        mayahost::setInt(mDevice.object, "inputPort", 0);
        if (row.take) {
            startTake(1.0);
            frameAt(1.0, 1.0f, 0.0f);
        }
        row.playing ? MAnimControl::playForward() : MAnimControl::stop();
        mayahost::setBool(mDevice.object, "recording", row.recording);
        mayahost::setBool(mDevice.object, "live", row.live);
        evaluateAt(50.0);
        mayahost::processIdleEvents();

        EXPECT_EQ(mayahost::animCurves().size(), row.flush ? 162u : 0u);
        EXPECT_EQ(mDevice.node->takeInProgress(), row.take && !row.flush);
        MAnimControl::stop();  // ends a take still going, written in this scene
        mayahost::processIdleEvents();
    }
}

TEST_F(RecordingTest, EachCurveHoldsItsOwnChannel) {
    const DistinctPose first = distinctPose(0.0);
    const DistinctPose second = distinctPose(20.0);
    startTake(4.0);
    captured(4.0, first.joints);
    captured(5.0, second.joints);
    endTake();
    expectCurvesHoldPose(4.0, first);
    expectCurvesHoldPose(5.0, second);
}

// Frames, not evaluations, make the take: three frames with one evaluation
// between them give three keys, and skipped whole frames are filled evenly
// in either keying.
TEST_F(RecordingTest, EveryFrameIsKeyedAndSkippedFramesFilledInBothKeyings) {
    for (const bool keyEveryFrame : {true, false}) {
        SCOPED_TRACE(keyEveryFrame ? "every captured frame" : "every scene frame");
        startTake(10.0, keyEveryFrame);
        frameAt(10, 10.0f, 0.0f);
        frameAt(11, 11.0f, 10.0f);
        evaluateAt(10.0);
        frameAt(14, 14.0f, 40.0f);
        endTake();

        const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
        EXPECT_EQ(keyTimes(tx), (std::vector<double>{10, 11, 12, 13, 14}));
        const std::vector<double> shifts = keyValues(tx);
        const std::vector<double> angles = keyValues(curve("zemoriCharacter0_Skeleton_root_rz"));
        ASSERT_EQ(shifts.size(), 5u);
        ASSERT_EQ(angles.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_NEAR(shifts[i], 10.0 + i, 1e-4);
            EXPECT_NEAR(angles[i], 10.0 * i * kRadiansPerDegree, 1e-5);
        }
        // Joint 5 keeps its definition translation on every key.
        for (double value : keyValues(curve("zemoriCharacter0_Skeleton_torso_5_tx"))) {
            EXPECT_NEAR(value, 5.0, 1e-4);
        }
    }
}

// A capture faster than the scene: every captured frame at its own sub-frame
// time, or every whole frame, where a frame falls exactly or is interpolated.
TEST_F(RecordingTest, FastCaptureKeysItsOwnTimesOrTheWholeFrames) {
    MTime::setUIUnit(MTime::k30FPS);
    startTake(10.0, true);
    for (int quarter = 0; quarter <= 8; ++quarter) {
        frameAt(10.0 + 0.25 * quarter, static_cast<float>(quarter), 0.0f);
    }
    endTake();
    auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    ASSERT_EQ(tx.keys.size(), 9u);
    EXPECT_DOUBLE_EQ(tx.keys[1].time.as(MTime::kSeconds), 10.25 / 30.0);
    EXPECT_NEAR(tx.keys[1].value, 1.0, 1e-5);

    startTake(10.0, false);
    frameAt(10.0, 0.0f, 0.0f);
    frameAt(10.75, 3.0f, 0.0f);
    frameAt(12.5, 10.0f, 0.0f);
    endTake();
    tx = curve("zemoriCharacter0_Skeleton_root_tx");
    EXPECT_EQ(keyTimes(tx), (std::vector<double>{10, 11, 12}));
    EXPECT_NEAR(tx.keys[1].value, 3.0 + 7.0 * (0.25 / 1.75), 1e-4);
    EXPECT_NEAR(tx.keys[2].value, 3.0 + 7.0 * (1.25 / 1.75), 1e-4);
}

TEST_F(RecordingTest, TwoTakesInARowAreBothKeptAndOtherNodesLeftAlone) {
    MObject transform = mayahost::createNode("transform");
    MFnDependencyNode(transform).setName("zemoriCharacter0_Skeleton_l_hand_ry", false);

    startTake(1.0);
    frameAt(1, 1.0f, 0.0f);
    frameAt(2, 2.0f, 0.0f);
    frameAt(3, 3.0f, 0.0f);
    endTake();
    startTake(7.0);
    frameAt(7, 7.0f, 0.0f);
    frameAt(8, 8.0f, 0.0f);
    endTake();

    EXPECT_EQ(mayahost::animCurves().size(), 324u);
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx")), (std::vector<double>{7, 8}));
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx_take1")),
              (std::vector<double>{1, 2, 3}));
    // The transform keeps its name and type; each take's curve went beside
    // it under the next free name, and the older one took its number.
    EXPECT_EQ(mayahost::nodeName(transform), "zemoriCharacter0_Skeleton_l_hand_ry");
    EXPECT_EQ(MFnDependencyNode(transform).typeName(), "transform");
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_l_hand_ry_take1")),
              (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_l_hand_ry1")), (std::vector<double>{7, 8}));
    int warned = 0;
    for (const std::string& line : mayahost::infoLines()) {
        warned += line.find("zemoriCharacter0_Skeleton_l_hand_ry is not a take curve") !=
                          std::string::npos
                      ? 1
                      : 0;
    }
    EXPECT_EQ(warned, 2);

    // Each take's report on the scene, by number.
    for (const int take : {1, 2}) {
        const MObject node =
            mayahost::findNode("zemoriCharacter0_Skeleton_take" + std::to_string(take));
        ASSERT_FALSE(node.isNull()) << take;
        EXPECT_EQ(mayahost::getInt(node, "takeNumber"), take);
        EXPECT_EQ(mayahost::getInt(node, "framesRecorded"), take == 1 ? 3 : 2);
        EXPECT_EQ(mayahost::getDouble(node, "startTime"), take == 1 ? 1.0 : 7.0);
    }

    // Another device id: curves under its own skeleton, numbered from 1.
    mayahost::setInt(mDevice.object, "deviceId", 4);
    startTake(20.0);
    frameAt(20, 20.0f, 0.0f);
    endTake();
    EXPECT_EQ(keyTimes(curve("zemoriCharacter4_Skeleton_root_tx")), (std::vector<double>{20}));
    EXPECT_FALSE(mayahost::findNode("zemoriCharacter4_Skeleton_take1").isNull());
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx")), (std::vector<double>{7, 8}));
}

// Should the host lose the queued run of the idle command, the node's next
// request still gets every waiting take written.
TEST_F(RecordingTest, ATakeWhoseIdleRunWasLostIsWrittenWithTheNext) {
    startTake(1.0);
    frameAt(1, 1.0f, 0.0f);
    frameAt(2, 2.0f, 0.0f);
    MAnimControl::stop();
    mayahost::setBool(mDevice.object, "recording", false);
    evaluateAt(-100.0);
    EXPECT_EQ(mayahost::dropQueuedIdleCommands("ZemoriRunIdleWork"), 1u);
    mayahost::processIdleEvents();
    EXPECT_TRUE(mayahost::animCurves().empty());

    startTake(7.0);
    frameAt(7, 7.0f, 0.0f);
    endTake();
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx_take1")),
              (std::vector<double>{1, 2}));
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx")), (std::vector<double>{7}));
}

TEST_F(RecordingTest, RotationKeysAreRadiansOnAngleCurves) {
    startTake(1.0);
    frameAt(1, 0.0f, 90.0f);
    endTake();
    const MObject rz = mayahost::findNode("zemoriCharacter0_Skeleton_head_rz");
    EXPECT_EQ(MFnDependencyNode(rz).typeName(), "animCurveTA");
    EXPECT_EQ(MFnDependencyNode(mayahost::findNode("zemoriCharacter0_Skeleton_head_tz")).typeName(),
              "animCurveTL");
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_head_rz").keys.at(0).value, 3.141592653589793 / 2,
                1e-6);
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_head_rx").keys.at(0).value, 0.0, 1e-6);
}

TEST_F(RecordingTest, FailedCurveCreationIsReportedAndItsKeysGoNowhere) {
    startTake(1.0);
    frameAt(1, 1.0f, 10.0f);
    frameAt(2, 2.0f, 20.0f);
    endTake();
    ASSERT_EQ(mayahost::animCurves().size(), 162u);

    startTake(5.0);
    frameAt(5, 5.0f, 50.0f);
    // The whole root and the first curve of the next joint fail.
    mayahost::failCurveCreations(7);
    endTake();

    int reported = 0;
    for (const std::string& line : mayahost::errorLines()) {
        reported += line.find("Error creating animation curves") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(reported, 2);  // once per joint with a failure
    for (const char* suffix : kSuffixes) {
        bool exists = true;
        mayahost::animCurve(std::string("zemoriCharacter0_Skeleton_root") + suffix, &exists);
        EXPECT_FALSE(exists) << suffix;
        // The first take keeps its curve under its number.
        EXPECT_EQ(
            curve(std::string("zemoriCharacter0_Skeleton_root") + suffix + "_take1").keys.size(),
            2u);
    }
    // Every curve of the new take holds only its own key.
    EXPECT_EQ(mayahost::animCurves().size(), 162u + 162u - 7u);
    for (const auto& made : mayahost::animCurves()) {
        if (made.name.find("_take1") != std::string::npos) continue;
        ASSERT_EQ(made.keys.size(), 1u) << made.name;
        EXPECT_EQ(made.keys[0].time.as(MTime::uiUnit()), 5.0) << made.name;
    }
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_torso_1_ty").keys[0].value, 2.0, 1e-4);
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_torso_1_rz").keys[0].value,
                50.0 * kRadiansPerDegree, 1e-5);
}

std::vector<std::string> warningLines() {
    std::vector<std::string> warnings;
    for (const std::string& line : mayahost::infoLines()) {
        if (line.rfind("Warning: ", 0) == 0) warnings.push_back(line);
    }
    return warnings;
}

TEST_F(RecordingTest, LongGapsAreKeyedAtTheirEndsWithOneWarningPerFlush) {
    startTake(10.0);
    frameAt(10, 10.0f, 0.0f);
    frameAt(11, 11.0f, 0.0f);
    frameAt(5000, 50.0f, 0.0f);
    frameAt(5002, 52.0f, 0.0f);
    frameAt(9000.5, 90.0f, 0.0f);
    endTake();

    for (const auto& made : mayahost::animCurves()) {
        ASSERT_EQ(keyTimes(made), (std::vector<double>{10, 11, 5000, 5001, 5002, 9000.5}))
            << made.name;
    }
    EXPECT_NEAR(keyValues(curve("zemoriCharacter0_Skeleton_root_tx"))[3], 51.0, 1e-4);
    // One line for all 162 curves, with the frames of one joint's timeline:
    // 4988 before 5000 and 3997 before 9000.5.
    EXPECT_EQ(warningLines(), (std::vector<std::string>{
                                  "Warning: Recording: 8985 skipped frames left unfilled; a gap "
                                  "of more than 600 frames is keyed at its ends only"}));
}

// A NaN stays on the outputs, but is never keyed: the joint gets no key at
// that frame, and the take node counts it.
TEST_F(RecordingTest, TranslationsBeyondFloatRangeAreClampedOnOutputsAndKeys) {
    std::array<OsvJointPose, kJointCount> joints = restPose(0.0f);
    joints[0].translation[0] = 3e38f;  // 3e40 centimetres
    joints[0].translation[1] = -std::numeric_limits<float>::infinity();
    startTake(1.0);
    handle(frameData(1, 0.0, joints));
    joints[0].translation[2] = std::numeric_limits<float>::quiet_NaN();
    handle(frameData(2, 1.0 / uiFramesPerSecond(), joints));
    evaluateAt(1.0);

    float root[3];
    ASSERT_EQ(mayahost::getFloat3Element(mDevice.object, "outputTranslations", 0, root),
              MS::kSuccess);
    EXPECT_EQ(root[0], FLT_MAX);
    EXPECT_EQ(root[1], -FLT_MAX);
    EXPECT_TRUE(std::isnan(root[2]));
    endTake();
    EXPECT_EQ(keyValues(curve("zemoriCharacter0_Skeleton_root_tx")),
              (std::vector<double>{FLT_MAX}));
    EXPECT_EQ(keyValues(curve("zemoriCharacter0_Skeleton_root_ty")),
              (std::vector<double>{-FLT_MAX}));
    EXPECT_EQ(keyValues(curve("zemoriCharacter0_Skeleton_root_tz")), (std::vector<double>{0.0}));
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_torso_1_rx")),
              (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(
        mayahost::getInt(mayahost::findNode("zemoriCharacter0_Skeleton_take1"), "valuesNotNumbers"),
        1);
}

// The take report: one info line with what the take holds, what it misses,
// and what the stream lost while the take was recorded (not before).
TEST_F(RecordingTest, TakeReportGivesFramesGapsAndTheStreamsLoss) {
    MTime::setUIUnit(MTime::k50FPS);
    handle(frameData(10, 0.2, 0.0f, 0.0f));
    handle(frameData(20, 0.4, 0.0f, 0.0f));  // 11..19 lost before the take
    startTake(21.0);
    // 22 and 25..27 lost during the take.
    for (int frame : {21, 23, 24, 28}) {
        handle(frameData(frame, frame / 50.0, 0.0f, 0.0f));
    }
    const std::size_t infoBefore = mayahost::infoLines().size();
    endTake();
    const std::vector<std::string> info = mayahost::infoLines();
    ASSERT_EQ(info.size(), infoBefore + 1);
    EXPECT_EQ(info.back(),
              "Take written: 4 frames recorded, 2 gaps filled (longest 3 frames), 0 gaps left "
              "unfilled, 4 frames lost in the stream");
    EXPECT_EQ(mayahost::getInt(mDevice.object, "framesLost"), 9 + 4);
    const MObject take = mayahost::findNode("zemoriCharacter0_Skeleton_take1");
    EXPECT_EQ(mayahost::getInt(take, "framesLost"), 4);
    EXPECT_EQ(mayahost::getInt(take, "gapsFilled"), 2);
    EXPECT_DOUBLE_EQ(mayahost::getDouble(take, "duration"), 7.0 / 50.0);
}

// Pre-roll: the frames of the second before recording began, and no others.
TEST_F(RecordingTest, PreRollKeepsTheSecondBeforeRecordingBegan) {
    MTime::setUIUnit(MTime::k30FPS);
    mayahost::setDouble(mDevice.object, "preRoll", 1.0);
    for (int frame = 0; frame < 300; ++frame) {
        handle(frameData(frame, frame / 120.0, static_cast<float>(frame), 0.0f));
    }
    startTake(100.0);
    for (int frame = 300; frame < 330; ++frame) {
        handle(frameData(frame, frame / 120.0, static_cast<float>(frame), 0.0f));
    }
    endTake();
    // Frames 180..329: 120 before recording, at a quarter frame each.
    const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    ASSERT_EQ(tx.keys.size(), 150u);
    EXPECT_EQ(tx.keys.front().time.as(MTime::k30FPS), 70.0);
    EXPECT_NEAR(tx.keys.front().value, 180.0, 1e-4);
    EXPECT_EQ(tx.keys.back().time.as(MTime::k30FPS), 100.0 + 29 * 0.25);
}

TEST_F(RecordingTest, KeepLastMakesATakeOfTheJournalsLastSeconds) {
    MTime::setUIUnit(MTime::k30FPS);
    MAnimControl::setCurrentTime(MTime(200.0, MTime::k30FPS));
    for (int frame = 0; frame < 120 * 8; ++frame) {
        handle(frameData(frame, frame / 120.0, static_cast<float>(frame), 0.0f));
    }
    const auto errorsOf = [](const std::string& command) {
        const std::size_t before = mayahost::errorLines().size();
        EXPECT_FALSE(mayahost::runMel(command)) << command;
        const std::vector<std::string> errors = mayahost::errorLines();
        return errors.size() > before ? errors.back() : std::string();
    };
    EXPECT_NE(errorsOf("ZemoriKeepLast time1 5").find("time1 is not a ZemoriDeviceNode"),
              std::string::npos);
    EXPECT_NE(errorsOf("ZemoriKeepLast nothingHere 5").find("is not a ZemoriDeviceNode"),
              std::string::npos);
    EXPECT_NE(errorsOf("ZemoriKeepLast " + mDevice.name + " 0").find("must be a number above 0"),
              std::string::npos);
    EXPECT_NE(errorsOf("ZemoriKeepLast " + mDevice.name + " -2").find("above 0"),
              std::string::npos);
    EXPECT_NE(errorsOf("ZemoriKeepLast " + mDevice.name + " 9")
                  .find("holds 8.00 s of capture, less than the 9.00 s asked for"),
              std::string::npos);
    EXPECT_TRUE(mayahost::animCurves().empty());

    ASSERT_TRUE(mayahost::runMel("ZemoriKeepLast " + mDevice.name + " 5"));
    // 600 frames ending on the current frame, the newest frame 959.
    const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    ASSERT_EQ(tx.keys.size(), 150u);  // every whole frame: 4 captured frames each
    EXPECT_EQ(tx.keys.back().time.as(MTime::k30FPS), 200.0);
    EXPECT_NEAR(tx.keys.back().value, 959.0, 1e-3);
    EXPECT_EQ(
        mayahost::getInt(mayahost::findNode("zemoriCharacter0_Skeleton_take1"), "framesRecorded"),
        600);

    // The sender restarts its clock: the journal holds the old session's
    // frames and the new one's, one after the other.
    for (int frame = 0; frame < 120 * 2; ++frame) {
        handle(frameData(frame, frame / 120.0, 2000.0f + static_cast<float>(frame), 0.0f));
    }
    ASSERT_TRUE(mayahost::runMel("ZemoriKeepLast " + mDevice.name + " 9"));
    // Across the restart the sessions are as far apart as their arrivals.
    EXPECT_NEAR(
        mayahost::getInt(mayahost::findNode("zemoriCharacter0_Skeleton_take2"), "framesRecorded"),
        9 * 120, 1);
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_root_tx").keys.back().value, 2239.0, 1e-3);
}

// The take's curves, connected to the bound skeleton in place of the node's
// outputs, pose it as the node did, in a centimetre-and-degree scene and in a
// metre-and-radian one: angle curves hold radians, distance curves
// centimetres, whatever the units shown, and neither needs a conversion.
TEST_F(RecordingTest, ATakeOnTheBoundSkeletonReproducesThePoseInAnyUnits) {
    const DistinctPose pose = distinctPose(5.0);
    startTake(3.0);
    captured(3.0, pose.joints);
    endTake();
    ASSERT_TRUE(MFnPlugin(mPlugin).registerCommand(kCharacterizeCommandName,
                                                   &ZemoriDidCharacterizeCmd::creator));
    ASSERT_TRUE(mayahost::runMel("zemoriBindSkeleton " + mDevice.name))
        << ::testing::PrintToString(mayahost::errorLines());
    const std::string skeleton = "zemoriCharacter0_Skeleton_";
    std::vector<std::array<double, 3>> live(kJointCount);
    for (int j = 0; j < kJointCount; ++j) {
        ASSERT_TRUE(mayahost::worldPosition(skeleton + kJointTable[j].name, live[j].data()));
    }

    const char* const kAttributes[] = {"translateX", "translateY", "translateZ",
                                       "rotateX",    "rotateY",    "rotateZ"};
    for (int j = 0; j < kJointCount; ++j) {
        const std::string joint = skeleton + kJointTable[j].name;
        for (int k = 0; k < 6; ++k) {
            ASSERT_TRUE(mayahost::runMel("connectAttr -force " + joint + kSuffixes[k] + ".output " +
                                         joint + "." + kAttributes[k]));
        }
    }
    std::string conversions;
    mayahost::runMel("size(`ls -type unitConversion`)", &conversions);
    for (const char* units :
         {"currentUnit -linear cm -angle deg", "currentUnit -linear m -angle rad"}) {
        SCOPED_TRACE(units);
        ASSERT_TRUE(mayahost::runMel(units));
        MAnimControl::setCurrentTime(MTime(3.0, MTime::uiUnit()));
        for (int j = 0; j < kJointCount; ++j) {
            double at[3];
            ASSERT_TRUE(mayahost::worldPosition(skeleton + kJointTable[j].name, at));
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(at[c], live[j][c], 1e-3) << kJointTable[j].name;
        }
        // The curves' own connections add no conversion nodes.
        std::string now;
        mayahost::runMel("size(`ls -type unitConversion`)", &now);
        EXPECT_EQ(now, conversions);
    }
    std::string shown;
    ASSERT_TRUE(mayahost::runMel("getAttr " + skeleton + "head.rotateZ", &shown));
    EXPECT_NEAR(std::stod(shown), (60.0 + 5.0 + 10.0) * kRadiansPerDegree, 1e-4);  // radians shown
}

// Idle work never reaches a node through a stale pointer, and the take
// never deletes a node that bears its curve's name: here the device node.
TEST_F(RecordingTest, ANodeRenamedToACurveNameWhileATakeWaitsIsLeftAlone) {
    startTake(1.0);
    frameAt(1, 1.0f, 0.0f);
    MAnimControl::stop();
    mayahost::setBool(mDevice.object, "recording", false);
    evaluateAt(2.0);  // the take now waits for idle time
    MFnDependencyNode(mDevice.object).setName("zemoriCharacter0_Skeleton_root_tx", false);
    ASSERT_EQ(mayahost::nodeName(mDevice.object), "zemoriCharacter0_Skeleton_root_tx");
    mayahost::processIdleEvents();

    EXPECT_EQ(mayahost::nodeName(mDevice.object), "zemoriCharacter0_Skeleton_root_tx");
    EXPECT_EQ(MFnDependencyNode(mDevice.object).userNode(), mDevice.node);
    EXPECT_EQ(curve("zemoriCharacter0_Skeleton_root_tx1").keys.size(), 1u);
    EXPECT_EQ(mayahost::animCurves().size(), 162u);
}

}  // namespace
}  // namespace nodetest
