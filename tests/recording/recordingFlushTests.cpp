#include "node/nodeTestSupport.h"

#include <maya/MAnimControl.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPxNode.h>
#include <maya/MQuaternion.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>

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
// holding its own channel's value.
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
            EXPECT_NEAR(key->value, pose.channels[joint][k], 1e-3) << name;
        }
    }
}

class RecordingTest : public NodeTest {
protected:
    void SetUp() override {
        NodeTest::SetUp();
        mDevice = createDeviceNode();
        handle(skeletonDefinition(0.0f));
        mDevice.node->setCharacterized(true);
    }

    // The store's pose, as the receiving loop would hand a frame over.
    void handle(Datagram bytes) {
        bytes.resize(OSV_MAX_DATAGRAM_BYTES, 0);
        mDevice.node->handlePacket(bytes.data(), OSV_MAX_DATAGRAM_BYTES);
    }

    // One recorded evaluation at `time`: the root stands at X = shift and
    // every joint is turned about Z by `degrees`.
    void recordAt(double time, float shift, float degrees) {
        record(time, frameData(1, 0.0, shift, degrees));
    }

    void record(double time, Datagram frame) {
        handle(std::move(frame));
        mayahost::setDouble(mDevice.object, "time", time);
        mayahost::evaluate(mDevice.object, "outputTranslations");
    }

    void startTake() {
        mayahost::setBool(mDevice.object, "recording", true);
        MAnimControl::playForward();
    }

    // Stops playback and recording, then evaluates once: the flush is due,
    // and the curves are written at idle time.
    void endTake() {
        MAnimControl::stop();
        mayahost::setBool(mDevice.object, "recording", false);
        mayahost::setDouble(mDevice.object, "time", -100.0);
        mayahost::evaluate(mDevice.object, "outputTranslations");
        mayahost::processIdleEvents();
    }

    static std::vector<double> keyTimes(const mayahost::CurveInfo& curve) {
        std::vector<double> times;
        for (const auto& key : curve.keys) {
            times.push_back(key.time.as(MTime::uiUnit()));
        }
        return times;
    }

    static std::vector<double> keyValues(const mayahost::CurveInfo& curve) {
        std::vector<double> values;
        for (const auto& key : curve.keys) {
            values.push_back(key.value);
        }
        return values;
    }

    mayahost::CurveInfo curve(const std::string& name) {
        bool exists = false;
        mayahost::CurveInfo found = mayahost::animCurve(name, &exists);
        EXPECT_TRUE(exists) << name;
        return found;
    }

    DeviceNode mDevice;
};

TEST_F(RecordingTest, FlushTriggerTable) {
    struct Row {
        bool playing, recording, live, samples, flush;
    };
    const Row rows[] = {
        {true, true, false, true, false},    {true, false, true, true, false},
        {false, false, false, true, true},   {false, false, true, true, true},
        {false, true, false, true, true},    {false, true, true, true, false},
        {false, false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "playing " << row.playing << " recording " << row.recording << " live "
                     << row.live << " samples " << row.samples);
        MAnimControl::stop();
        mayahost::newScene();  // no curves, and a fresh node with empty buffers
        mDevice = createDeviceNode();
        handle(skeletonDefinition(0.0f));
        mayahost::setInt(mDevice.object, "inputPort", 0);
        if (row.samples) {
            startTake();
            recordAt(1.0, 1.0f, 0.0f);
            ASSERT_FALSE(mDevice.node->recordBuffer(0).empty());
        }
        row.playing ? MAnimControl::playForward() : MAnimControl::stop();
        mayahost::setBool(mDevice.object, "recording", row.recording);
        mayahost::setBool(mDevice.object, "live", row.live);
        mayahost::setDouble(mDevice.object, "time", 50.0);
        mayahost::evaluate(mDevice.object, "outputTranslations");
        MAnimControl::stop();
        mayahost::processIdleEvents();

        EXPECT_EQ(mayahost::animCurves().size(), row.flush ? 162u : 0u);
        if (row.flush) {
            EXPECT_TRUE(mDevice.node->recordBuffer(0).empty());
        }
    }
}

TEST_F(RecordingTest, EachCurveHoldsItsOwnChannel) {
    const DistinctPose first = distinctPose(0.0);
    const DistinctPose second = distinctPose(20.0);
    startTake();
    record(4.0, frameData(1, 0.0, first.joints));
    record(5.0, frameData(2, 0.0, second.joints));
    endTake();
    expectCurvesHoldPose(4.0, first);
    expectCurvesHoldPose(5.0, second);
}

TEST_F(RecordingTest, SkippedFramesAreKeyedBetweenTheSamples) {
    startTake();
    recordAt(10, 10.0f, 0.0f);
    recordAt(11, 11.0f, 10.0f);
    recordAt(14, 14.0f, 40.0f);
    endTake();

    EXPECT_EQ(mayahost::animCurves().size(), 162u);
    const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    EXPECT_EQ(keyTimes(tx), (std::vector<double>{10, 11, 12, 13, 14}));
    const std::vector<double> shifts = keyValues(tx);
    const std::vector<double> angles = keyValues(curve("zemoriCharacter0_Skeleton_root_rz"));
    ASSERT_EQ(shifts.size(), 5u);
    ASSERT_EQ(angles.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(shifts[i], 10.0 + i, 1e-4);
        EXPECT_NEAR(angles[i], 10.0 * i, 1e-3);
    }
    // Joint 5 keeps its definition translation on every key.
    for (double value : keyValues(curve("zemoriCharacter0_Skeleton_torso_5_tx"))) {
        EXPECT_NEAR(value, 5.0, 1e-4);
    }
    for (int joint = 0; joint < kJointCount; ++joint) {
        EXPECT_TRUE(mDevice.node->recordBuffer(joint).empty());
        EXPECT_GE(mDevice.node->recordBuffer(joint).capacity(), 1000u);
    }
}

TEST_F(RecordingTest, FractionalGapAndKeysInTheCurrentUiUnit) {
    MTime::setUIUnit(MTime::k30FPS);
    startTake();
    recordAt(10, 0.0f, 0.0f);
    recordAt(12.5, 5.0f, 0.0f);
    endTake();
    const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    ASSERT_EQ(tx.keys.size(), 3u);
    EXPECT_EQ(tx.keys[1].time.as(MTime::k30FPS), 11.0);
    EXPECT_DOUBLE_EQ(tx.keys[1].time.as(MTime::kSeconds), 11.0 / 30.0);
    EXPECT_NEAR(tx.keys[1].value, 2.0, 1e-4);  // 0.4 of the way to 5
    EXPECT_EQ(tx.keys[2].time.as(MTime::k30FPS), 12.5);
}

TEST_F(RecordingTest, EqualAndDecreasingTimesAddNoFill) {
    startTake();
    recordAt(5, 1.0f, 0.0f);
    recordAt(5, 2.0f, 0.0f);
    recordAt(3, 3.0f, 0.0f);
    endTake();
    const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    // A key at a time that holds one replaces its value.
    EXPECT_EQ(keyTimes(tx), (std::vector<double>{3, 5}));
    EXPECT_NEAR(keyValues(tx)[0], 3.0, 1e-4);
    EXPECT_NEAR(keyValues(tx)[1], 2.0, 1e-4);
}

TEST_F(RecordingTest, SamplesAtTimesThatAreNotFiniteGiveNoKeysAndCostNoOthers) {
    startTake();
    recordAt(2, 2.0f, 0.0f);
    recordAt(std::nan(""), 5.0f, 0.0f);
    recordAt(4, 4.0f, 0.0f);
    recordAt(HUGE_VAL, 6.0f, 0.0f);
    recordAt(1, 1.0f, 0.0f);
    endTake();
    const auto tx = curve("zemoriCharacter0_Skeleton_root_tx");
    EXPECT_EQ(keyTimes(tx), (std::vector<double>{1, 2, 4}));
    EXPECT_EQ(keyValues(tx).size(), 3u);
    EXPECT_NEAR(keyValues(tx).at(2), 4.0, 1e-4);
}

TEST_F(RecordingTest, SecondTakeReplacesTheFirstAndNewIdKeepsTheOld) {
    startTake();
    recordAt(1, 1.0f, 0.0f);
    recordAt(2, 2.0f, 0.0f);
    recordAt(3, 3.0f, 0.0f);
    endTake();
    startTake();
    recordAt(7, 7.0f, 0.0f);
    recordAt(8, 8.0f, 0.0f);
    endTake();
    EXPECT_EQ(mayahost::animCurves().size(), 162u);
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx")), (std::vector<double>{7, 8}));

    mayahost::setInt(mDevice.object, "deviceId", 4);
    startTake();
    recordAt(20, 20.0f, 0.0f);
    endTake();
    EXPECT_EQ(mayahost::animCurves().size(), 324u);
    EXPECT_EQ(keyTimes(curve("zemoriCharacter0_Skeleton_root_tx")), (std::vector<double>{7, 8}));
    EXPECT_EQ(keyTimes(curve("zemoriCharacter4_Skeleton_root_tx")), (std::vector<double>{20}));
}

TEST_F(RecordingTest, ANodeOfAnotherTypeBearingACurveNameIsReplaced) {
    std::string transformName;
    MObject transform = mayahost::createNode("transform", &transformName);
    MFnDependencyNode(transform).setName("zemoriCharacter0_Skeleton_l_hand_ry", false);
    ASSERT_FALSE(mayahost::findNode("zemoriCharacter0_Skeleton_l_hand_ry").isNull());

    startTake();
    recordAt(1, 1.0f, 0.0f);
    endTake();
    const MObject named = mayahost::findNode("zemoriCharacter0_Skeleton_l_hand_ry");
    ASSERT_FALSE(named.isNull());
    const MObject referenceCurve = mayahost::createNode("animCurveTL");
    EXPECT_TRUE(MFnDependencyNode(named).typeId() == MFnDependencyNode(referenceCurve).typeId());
    EXPECT_EQ(curve("zemoriCharacter0_Skeleton_l_hand_ry").keys.size(), 1u);
    for (const std::string& name : mayahost::nodeNames()) {
        EXPECT_EQ(name.rfind("transform", 0), std::string::npos) << name;
    }
}

TEST_F(RecordingTest, RotationKeysAreDegreesOnDistanceCurves) {
    startTake();
    recordAt(1, 0.0f, 90.0f);
    endTake();
    const MObject rz = mayahost::findNode("zemoriCharacter0_Skeleton_head_rz");
    const MObject referenceCurve = mayahost::createNode("animCurveTL");
    EXPECT_TRUE(MFnDependencyNode(rz).typeId() == MFnDependencyNode(referenceCurve).typeId());
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_head_rz").keys.at(0).value, 90.0, 1e-3);
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_head_rx").keys.at(0).value, 0.0, 1e-3);
}

TEST_F(RecordingTest, FailedCurveCreationIsReportedAndItsKeysGoNowhere) {
    startTake();
    recordAt(1, 1.0f, 10.0f);
    recordAt(2, 2.0f, 20.0f);
    endTake();
    // A clean first take, so that curves of these names exist already.
    ASSERT_EQ(mayahost::animCurves().size(), 162u);

    startTake();
    recordAt(5, 5.0f, 50.0f);
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
        EXPECT_FALSE(exists) << suffix;  // the old curve was deleted, no new one came
    }
    bool exists = true;
    mayahost::animCurve("zemoriCharacter0_Skeleton_torso_1_tx", &exists);
    EXPECT_FALSE(exists);
    // Every curve made holds only its own key of the new take.
    EXPECT_EQ(mayahost::animCurves().size(), 162u - 7u);
    for (const auto& made : mayahost::animCurves()) {
        ASSERT_EQ(made.keys.size(), 1u) << made.name;
        EXPECT_EQ(made.keys[0].time.as(MTime::uiUnit()), 5.0) << made.name;
    }
    const auto ty = curve("zemoriCharacter0_Skeleton_torso_1_ty");
    EXPECT_NEAR(ty.keys[0].value, 2.0, 1e-4);
    EXPECT_NEAR(curve("zemoriCharacter0_Skeleton_torso_1_rz").keys[0].value, 50.0, 1e-3);
}

// A node whose deletion makes the next curve creation fail: placed under a
// curve's name, it fails that one curve in the middle of a flush, after the
// function set of its row has been attached to the previous joint's curve.
class Tripwire : public MPxNode {
public:
    ~Tripwire() override { mayahost::failCurveCreations(1); }
    static void* creator() { return new Tripwire(); }
    static MStatus initialize() { return MS::kSuccess; }
};

TEST_F(RecordingTest, KeysOfAFailedCurveDoNotReachThePreviousJointsCurve) {
    MFnPlugin plugin(mPlugin);
    ASSERT_EQ(plugin.registerNode("zemoriTripwire", MTypeId(0x7F0E1), &Tripwire::creator,
                                  &Tripwire::initialize, MPxNode::kDependNode),
              MS::kSuccess);
    const MObject tripwire = mayahost::createNode("zemoriTripwire");
    MFnDependencyNode(tripwire).setName("zemoriCharacter0_Skeleton_torso_1_tx", false);

    startTake();
    recordAt(3, 7.0f, 0.0f);
    endTake();

    bool exists = true;
    mayahost::animCurve("zemoriCharacter0_Skeleton_torso_1_tx", &exists);
    EXPECT_FALSE(exists);
    const auto rootTx = curve("zemoriCharacter0_Skeleton_root_tx");
    ASSERT_EQ(rootTx.keys.size(), 1u);
    EXPECT_NEAR(rootTx.keys[0].value, 7.0, 1e-4);  // torso_1 would stand at 1
    EXPECT_EQ(mayahost::animCurves().size(), 161u);
    int reported = 0;
    for (const std::string& line : mayahost::errorLines()) {
        reported += line.find("Error creating animation curves") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(reported, 1);
}

std::vector<std::string> warningLines() {
    std::vector<std::string> warnings;
    for (const std::string& line : mayahost::infoLines()) {
        if (line.rfind("Warning: ", 0) == 0) warnings.push_back(line);
    }
    return warnings;
}

TEST_F(RecordingTest, LongGapsAreKeyedAtTheirEndsWithOneWarningPerFlush) {
    startTake();
    recordAt(10, 10.0f, 0.0f);
    recordAt(11, 11.0f, 0.0f);
    recordAt(5000, 50.0f, 0.0f);
    recordAt(5002, 52.0f, 0.0f);
    recordAt(9000.5, 90.0f, 0.0f);
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

    // A take whose gaps are all filled warns of nothing.
    startTake();
    recordAt(1, 1.0f, 0.0f);
    recordAt(1 + kMaxFilledGapFrames + 1, 2.0f, 0.0f);
    endTake();
    EXPECT_EQ(curve("zemoriCharacter0_Skeleton_root_tx").keys.size(),
              static_cast<std::size_t>(kMaxFilledGapFrames) + 2);
    EXPECT_EQ(warningLines().size(), 1u);
}

TEST_F(RecordingTest, TranslationsBeyondFloatRangeAreClampedOnOutputsAndKeys) {
    std::array<OsvJointPose, kJointCount> joints = restPose(0.0f);
    joints[0].translation[0] = 3e38f;  // 3e40 centimetres
    joints[0].translation[1] = -std::numeric_limits<float>::infinity();
    joints[0].translation[2] = std::numeric_limits<float>::quiet_NaN();
    startTake();
    handle(frameData(1, 0.0, joints));
    mayahost::setDouble(mDevice.object, "time", 1.0);
    ASSERT_EQ(mayahost::evaluate(mDevice.object, "outputTranslations"), MS::kSuccess);

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
    EXPECT_TRUE(std::isnan(keyValues(curve("zemoriCharacter0_Skeleton_root_tz")).at(0)));
}

// The take report: one info line with what the take holds, what it misses,
// and what the stream lost while the take was recorded (not before).
TEST_F(RecordingTest, TakeReportGivesFramesGapsAndTheStreamsLoss) {
    handle(frameData(10, 0.2, 0.0f, 0.0f));
    handle(frameData(20, 0.4, 0.0f, 0.0f));  // 11..19 lost before the take
    startTake();
    // 22 and 25..27 lost during the take.
    for (int frame : {21, 23, 24, 28}) {
        handle(frameData(frame, frame / 50.0, 0.0f, 0.0f));
        mayahost::setDouble(mDevice.object, "time", frame);
        mayahost::evaluate(mDevice.object, "outputTranslations");
    }
    const std::size_t infoBefore = mayahost::infoLines().size();
    endTake();
    const std::vector<std::string> info = mayahost::infoLines();
    ASSERT_EQ(info.size(), infoBefore + 1);
    EXPECT_EQ(info.back(),
              "Take written: 4 frames recorded, 2 gaps filled (longest 3 frames), 0 gaps left "
              "unfilled, 4 frames lost in the stream");
    EXPECT_EQ(mayahost::getInt(mDevice.object, "framesLost"), 9 + 4);

    // The next take counts only its own frames and loss.
    startTake();
    for (int frame : {29, 30}) {
        handle(frameData(frame, frame / 50.0, 0.0f, 0.0f));
        mayahost::setDouble(mDevice.object, "time", frame);
        mayahost::evaluate(mDevice.object, "outputTranslations");
    }
    endTake();
    EXPECT_EQ(mayahost::infoLines().back(),
              "Take written: 2 frames recorded, 0 gaps filled (longest 0 frames), 0 gaps left "
              "unfilled, 0 frames lost in the stream");
}

}  // namespace
}  // namespace nodetest
