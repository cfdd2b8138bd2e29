#include "nodeTestSupport.h"

#include <maya/MAnimControl.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>

namespace nodetest {
namespace {

class ComputeTest : public NodeTest {
protected:
    // Gives the store a definition and binds it, without a socket: the
    // receiving thread does not touch the store while the node is not live.
    void bindPose(const DeviceNode& device, float shift, float degrees) {
        handle(device, skeletonDefinition(0.0f));
        device.node->setCharacterized(true);
        handle(device, frameData(1, 0.0, shift, degrees));
    }

    // Live on a free port, with a definition received and bound; the port.
    std::uint16_t liveAndBound(const DeviceNode& device) {
        const std::uint16_t port = goLive(device);
        EXPECT_NE(port, 0);
        if (port != 0) {
            deliver(device, port, skeletonDefinition(0.0f));
            device.node->setCharacterized(true);
        }
        return port;
    }

    // As the receiving loop hands it over: in the whole receive buffer.
    static void handle(const DeviceNode& device, Datagram bytes) {
        bytes.resize(OSV_MAX_DATAGRAM_BYTES, 0);
        device.node->handlePacket(bytes.data(), OSV_MAX_DATAGRAM_BYTES);
    }

    void evaluateAt(const DeviceNode& device, double time) {
        mayahost::setDouble(device.object, "time", time);
        mayahost::evaluate(device.object, "outputTranslations");
    }
};

TEST_F(ComputeTest, NotLiveFillsOutputsFromTheStoreAndPostsAddresses) {
    const DeviceNode device = createDeviceNode();
    bindPose(device, 4.0f, 45.0f);
    EXPECT_EQ(mayahost::evaluate(device.object, "outputTranslations"), MS::kSuccess);
    EXPECT_FALSE(mayahost::isDirty(device.object, "outputTranslations"));
    EXPECT_EQ(mayahost::elementCount(device.object, "outputTranslations"), 27u);
    EXPECT_EQ(mayahost::elementCount(device.object, "outputRotations"), 27u);
    const JointRecord* records = device.node->store().poseRecords();
    for (unsigned joint = 0; joint < 27; ++joint) {
        const Vector3d& t =
            joint == 0 ? records[joint].currentTranslation : records[joint].definitionTranslation;
        const auto out = outputElement(device, "outputTranslations", joint);
        EXPECT_EQ(out[0], static_cast<float>(t.x));
        EXPECT_EQ(out[1], static_cast<float>(t.y));
        EXPECT_EQ(out[2], static_cast<float>(t.z));
        EXPECT_NEAR(outputElement(device, "outputRotations", joint)[2], 45.0f, 1e-3);
    }
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 4.0f, 1e-4);
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(0).ipListUpdates, 1);
}

// A take begins only when recording is on and the scene playing, and then
// takes every frame the journal gets, however many evaluations there are;
// stopping playback ends it with what the journal had then.
TEST_F(ComputeTest, ATakeBeginsWhileRecordingAndPlayingAndTakesEveryFrame) {
    const DeviceNode device = createDeviceNode();
    bindPose(device, 2.0f, 90.0f);

    mayahost::setBool(device.object, "recording", true);
    evaluateAt(device, 1.0);  // stopped: nothing
    EXPECT_FALSE(device.node->takeInProgress());
    MAnimControl::playForward();
    mayahost::setBool(device.object, "recording", false);
    evaluateAt(device, 2.0);  // not recording: nothing
    EXPECT_FALSE(device.node->takeInProgress());

    mayahost::setBool(device.object, "recording", true);
    evaluateAt(device, 3.0);
    ASSERT_TRUE(device.node->takeInProgress());
    EXPECT_EQ(device.node->takeFrameCount(), 0u);  // the frame before is not the take's
    for (int frame = 2; frame < 6; ++frame) {
        handle(device, frameData(frame, frame / 60.0, 2.0f, 90.0f));
    }
    evaluateAt(device, 4.0);
    EXPECT_EQ(device.node->takeFrameCount(), 4u);
    handle(device, frameData(6, 6 / 60.0, 2.0f, 90.0f));
    // Stopped, with no evaluation since that frame: the take ends with it.
    MAnimControl::stop();
    EXPECT_FALSE(device.node->takeInProgress());
    handle(device, frameData(7, 7 / 60.0, 2.0f, 90.0f));  // after the take
    evaluateAt(device, 5.0);
    mayahost::processIdleEvents();
    // By default a key on each whole scene frame: 3 and 4 of 3.0 .. 4.6.
    EXPECT_EQ(mayahost::animCurve("zemoriCharacter0_Skeleton_root_tx").keys.size(), 2u);
    EXPECT_EQ(device.node->journal().written(), 7u);
}

TEST_F(ComputeTest, PopFailureLeavesOutputsAndPlugUntouched) {
    const DeviceNode device = createDeviceNode();
    bindPose(device, 4.0f, 0.0f);
    mayahost::evaluate(device.object, "outputTranslations");
    const auto before = outputElement(device, "outputTranslations", 0);

    ASSERT_NE(goLive(device), 0);  // that evaluation found no pose
    EXPECT_TRUE(mayahost::isDirty(device.object, "outputTranslations"));
    mayahost::setDouble(device.object, "time", 2.0);
    EXPECT_EQ(mayahost::evaluate(device.object, "outputTranslations"), MS::kFailure);
    EXPECT_TRUE(mayahost::isDirty(device.object, "outputTranslations"));
    EXPECT_EQ(outputElement(device, "outputTranslations", 0), before);
}

TEST_F(ComputeTest, AppliesAChangedSenderRateOnlyWithAPoppedPose) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = liveAndBound(device);
    ASSERT_NE(port, 0);
    // Two consecutive frames 1/30 s apart: the store detects 30.
    deliver(device, port, frameData(10, 0.100, 1.0f, 0.0f));
    EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), 80.0);
    deliver(device, port, frameData(11, 0.1335, 1.0f, 0.0f));
    EXPECT_EQ(device.node->appliedSenderRate(), 30);
    EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), 60.0);
    // 50 again: back to 80.
    deliver(device, port, frameData(12, 0.1535, 1.0f, 0.0f));
    EXPECT_EQ(device.node->appliedSenderRate(), 50);
    EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), 80.0);
}

// Each frameRate change restarts a thread, and the host waits for it: of two
// nodes whose rates changed in the same evaluations, an idle run restarts one;
// the other follows once its next pose has been evaluated.
TEST_F(ComputeTest, RateChangesOfSeveralNodesRestartOneThreadPerIdleRun) {
    const DeviceNode devices[] = {createDeviceNode(), createDeviceNode()};
    std::uint16_t ports[2] = {};
    const auto evaluateNext = [&](int i, const Datagram& bytes) {
        ASSERT_TRUE(mSender.send(ports[i], bytes));
        ASSERT_TRUE(waitUntil([&] { return devices[i].node->threadDataCount() > 0; }));
        mayahost::evaluate(devices[i].object, "outputTranslations");
    };
    for (int i = 0; i < 2; ++i) {
        ports[i] = goLive(devices[i]);
        ASSERT_NE(ports[i], 0);
        deliver(devices[i], ports[i], skeletonDefinition(0.0f));
        devices[i].node->setCharacterized(true);
    }
    for (int i = 0; i < 2; ++i) {
        evaluateNext(i, frameData(10, 0.100, 1.0f, 0.0f));
        evaluateNext(i, frameData(11, 0.1335, 1.0f, 0.0f));  // 30 detected
    }
    mayahost::processIdleEvents();
    EXPECT_EQ(mayahost::getDouble(devices[0].object, "frameRate"), 60.0);
    EXPECT_EQ(mayahost::getDouble(devices[1].object, "frameRate"), 80.0);

    evaluateNext(1, frameData(12, 0.1668, 1.0f, 0.0f));
    mayahost::processIdleEvents();
    EXPECT_EQ(mayahost::getDouble(devices[1].object, "frameRate"), 60.0);
}

// Refreshes coalesce: two poses pushed before one evaluation. The outputs and
// the recording take the newer; the older goes back to the pool, counted.
TEST_F(ComputeTest, OneEvaluationTakesTheNewestQueuedPose) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = liveAndBound(device);
    ASSERT_NE(port, 0);
    mayahost::setBool(device.object, "recording", true);
    MAnimControl::playForward();
    mayahost::setDouble(device.object, "time", 1.0);
    mayahost::evaluate(device.object, "outputTranslations");  // the take begins
    const int computes = mayahost::computeCount(device.object);

    ASSERT_TRUE(mSender.send(port, frameData(1, 0.00, 3.0f, 0.0f)));
    ASSERT_TRUE(mSender.send(port, frameData(2, 0.02, 7.0f, 0.0f)));
    ASSERT_TRUE(waitUntil([&] { return device.node->threadDataCount() == 2; }));
    mayahost::processIdleEvents();
    // One evaluation showed the newest pose; the take has both frames.
    EXPECT_EQ(device.node->takeFrameCount(), 2u);
    MAnimControl::stop();

    EXPECT_EQ(mayahost::computeCount(device.object), computes + 1);
    EXPECT_EQ(device.node->threadDataCount(), 0);
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 7.0f, 1e-4);
    mayahost::setDouble(device.object, "time", 2.0);
    EXPECT_EQ(mayahost::getInt(device.object, "posesPassedOver"), 1);
    // Both buffers went back: three datagrams find three free.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(mSender.send(port, frameData(3 + i, 0.04 + 0.02 * i, 1.0f, 0.0f)));
    }
    EXPECT_TRUE(waitUntil([&] { return device.node->threadDataCount() == 3; }));
}

// The skeleton pulls every element of both output arrays, 54 plugs: one
// evaluation writes and cleans them all, so one pose is popped once.
TEST_F(ComputeTest, PullingEveryElementAfterOnePushComputesOnce) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = liveAndBound(device);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(mSender.send(port, frameData(1, 0.00, 5.0f, 0.0f)));
    ASSERT_TRUE(waitUntil([&] { return device.node->threadDataCount() == 1; }));
    const int computes = mayahost::computeCount(device.object);

    for (const MObject* array :
         {&ZemoriDeviceNode::mOutputTranslations, &ZemoriDeviceNode::mOutputRotations}) {
        for (unsigned joint = 0; joint < unsigned(kJointCount); ++joint) {
            const MPlug element = MPlug(device.object, *array).elementByLogicalIndex(joint);
            MStatus status;
            element.child(0).asFloat(&status);
            EXPECT_TRUE(status) << joint;
        }
    }
    EXPECT_EQ(mayahost::computeCount(device.object), computes + 1);
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 5.0f, 1e-4);
}

// The node's setup, with `outputRotations` then pointing at an attribute
// the node does not have: every population fails.
MStatus initializeWithUnreadableRotations() {
    const MStatus status = ZemoriDeviceNode::initialize();
    MFnNumericAttribute ghost;
    ZemoriDeviceNode::mOutputRotations =
        ghost.create("ghostRotations", "gro", MFnNumericData::k3Float, 0);
    return status;
}

TEST_F(ComputeTest, FailedPopulatingHandsThePoseBufferBack) {
    MFnPlugin plugin(mPlugin);
    ASSERT_EQ(plugin.registerNode("ZemoriUnreadableRotations", MTypeId(0x7F0E4),
                                  &ZemoriDeviceNode::creator, &initializeWithUnreadableRotations,
                                  MPxNode::kThreadedDeviceNode),
              MS::kSuccess);
    DeviceNode device;
    device.object = mayahost::createNode("ZemoriUnreadableRotations", &device.name);
    device.node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(device.object).userNode());
    ASSERT_NE(device.node, nullptr);
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    mayahost::setBool(device.object, "recording", true);
    MAnimControl::playForward();

    // Three pose buffers: were failed evaluations to keep theirs, the fourth
    // datagram would find none and never arrive.
    for (int i = 0; i < 6; ++i) {
        testing::internal::CaptureStderr();
        deliver(device, port, Datagram(8, 'p'));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Error in block.outputArrayValue for outputRotations\n"
                  "Failed in populating block\n\n")
            << "datagram " << i;
    }
    MAnimControl::stop();
}

MObject gExtraOutput;

// The node's setup plus one more output that `time` drives.
MStatus initializeWithExtraOutput() {
    const MStatus status = ZemoriDeviceNode::initialize();
    MFnNumericAttribute extra;
    gExtraOutput = extra.create("extraOutput", "xo", MFnNumericData::kDouble, 0);
    MPxNode::addAttribute(gExtraOutput);
    MPxNode::attributeAffects(ZemoriDeviceNode::mTime, gExtraOutput);
    return status;
}

TEST_F(ComputeTest, PlugsThatAreNotOutputsAreLeftAlone) {
    MFnPlugin plugin(mPlugin);
    ASSERT_EQ(plugin.registerNode("ZemoriExtraOutput", MTypeId(0x7F0E6), &ZemoriDeviceNode::creator,
                                  &initializeWithExtraOutput, MPxNode::kThreadedDeviceNode),
              MS::kSuccess);
    DeviceNode device;
    device.object = mayahost::createNode("ZemoriExtraOutput", &device.name);
    device.node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(device.object).userNode());
    ASSERT_NE(device.node, nullptr);
    bindPose(device, 1.0f, 0.0f);
    mayahost::setBool(device.object, "recording", true);
    MAnimControl::playForward();
    evaluateAt(device, 1.0);  // a take begins
    mayahost::setInt(device.object, "inputPort", 0);
    mayahost::setBool(device.object, "live", true);
    mayahost::setDouble(device.object, "time", 2.0);
    mayahost::processIdleEvents();
    const int ipLists = zemoritest::panelState(0).ipListUpdates;

    EXPECT_EQ(mayahost::evaluate(device.object, "extraOutput"), MS::kUnknownParameter);
    // No flush, no socket, no IP list.
    EXPECT_TRUE(device.node->takeInProgress());
    EXPECT_TRUE(mayahost::animCurves().empty());
    EXPECT_EQ(device.node->socketHandle(), 0u);
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(0).ipListUpdates, ipLists);
    EXPECT_TRUE(mayahost::isDirty(device.object, "outputTranslations"));
}

MStatus initializeWithUnreadableRecording() {
    const MStatus status = ZemoriDeviceNode::initialize();
    MFnNumericAttribute ghost;
    ZemoriDeviceNode::mRecording =
        ghost.create("ghostRecording", "grc", MFnNumericData::kBoolean, 0);
    return status;
}

int countLines(const std::string& text, const std::string& line) {
    int count = 0;
    for (std::size_t at = text.find(line); at != std::string::npos;
         at = text.find(line, at + line.size())) {
        ++count;
    }
    return count;
}

TEST_F(ComputeTest, UnreadableRecordingCountsAsOn) {
    MFnPlugin plugin(mPlugin);
    ASSERT_EQ(plugin.registerNode("ZemoriUnreadableRecording", MTypeId(0x7F0E5),
                                  &ZemoriDeviceNode::creator, &initializeWithUnreadableRecording,
                                  MPxNode::kThreadedDeviceNode),
              MS::kSuccess);
    DeviceNode device;
    device.object = mayahost::createNode("ZemoriUnreadableRecording", &device.name);
    device.node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(device.object).userNode());
    ASSERT_NE(device.node, nullptr);
    bindPose(device, 1.0f, 0.0f);

    MAnimControl::playForward();
    testing::internal::CaptureStderr();
    evaluateAt(device, 1.0);
    std::string diagnostics = testing::internal::GetCapturedStderr();
    // Asked once per evaluation, and taken as on: a take begins.
    EXPECT_EQ(countLines(diagnostics, "Error getting Recording value\n"), 1);
    EXPECT_TRUE(device.node->takeInProgress());
    handle(device, frameData(2, 0.1, 1.0f, 0.0f));

    // Stopped and not live: the flush runs although recording reads as on.
    MAnimControl::stop();
    testing::internal::CaptureStderr();
    evaluateAt(device, 2.0);
    diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(countLines(diagnostics, "Error getting Recording value\n"), 1);
    mayahost::processIdleEvents();  // the curves are written at idle time
    EXPECT_EQ(mayahost::animCurves().size(), 162u);
    EXPECT_FALSE(device.node->takeInProgress());
}

}  // namespace
}  // namespace nodetest
