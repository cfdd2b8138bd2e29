#include "nodeTestSupport.h"

#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MPlug.h>

#include <atomic>
#include <thread>

namespace nodetest {
namespace {

TEST_F(NodeTest, FreshNodeStateAndAttributeDefaults) {
    const DeviceNode device = createDeviceNode();
    ZemoriDeviceNode& node = *device.node;
    EXPECT_TRUE(node.isAwaitingSkeletonDefinition());
    EXPECT_FALSE(node.isCharacterized());
    EXPECT_EQ(node.socketHandle(), 0u);
    EXPECT_EQ(node.appliedSenderRate(), 50);
    // Two minutes at 120 frames a second, allocated before any datagram.
    EXPECT_EQ(node.journal().capacity(), 120u * 120u);
    EXPECT_FALSE(node.takeInProgress());
    EXPECT_EQ(mayahost::getDouble(device.object, "journalSeconds"), 120.0);
    EXPECT_EQ(mayahost::getDouble(device.object, "preRoll"), 0.0);
    EXPECT_FALSE(mayahost::getBool(device.object, "keyEveryFrame"));
    // postConstructor has applied the rate 50.
    EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), 80.0);
    EXPECT_EQ(mayahost::getInt(device.object, "inputPort"), 12351);
    EXPECT_FALSE(mayahost::getBool(device.object, "recording"));
    EXPECT_EQ(mayahost::getInt(device.object, "deviceId"), 0);
    EXPECT_EQ(mayahost::getDouble(device.object, "time"), 0.0);

    node.setCharacterized(true);
    EXPECT_TRUE(node.isCharacterized());
    node.setCharacterized(false);
    EXPECT_FALSE(node.isCharacterized());
}

TEST_F(NodeTest, AttributesAnswerToLongAndShortNames) {
    const DeviceNode device = createDeviceNode();
    const struct {
        const char* longName;
        const char* shortName;
        const MObject& attribute;
    } rows[] = {
        {"inputPort", "prt", ZemoriDeviceNode::mInputPort},
        {"time", "tm", ZemoriDeviceNode::mTime},
        {"recording", "rcd", ZemoriDeviceNode::mRecording},
        {"deviceId", "did", ZemoriDeviceNode::mDeviceIdAttr},
        {"outputTranslate", "ot", ZemoriDeviceNode::mOutputTranslate},
        {"outputTranslations", "ots", ZemoriDeviceNode::mOutputTranslations},
        {"outputRotations", "ors", ZemoriDeviceNode::mOutputRotations},
        {"datagramsReceived", "dgr", ZemoriDeviceNode::mDatagramsReceived},
        {"framesDecoded", "fdc", ZemoriDeviceNode::mFramesDecoded},
        {"framesLost", "fls", ZemoriDeviceNode::mFramesLost},
        {"framesOutOfOrder", "foo", ZemoriDeviceNode::mFramesOutOfOrder},
        {"datagramsRefused", "dgf", ZemoriDeviceNode::mDatagramsRefused},
        {"lastFrameNumber", "lfn", ZemoriDeviceNode::mLastFrameNumber},
        {"senderTimestamp", "sts", ZemoriDeviceNode::mSenderTimestamp},
        {"arrivalJitter", "ajt", ZemoriDeviceNode::mArrivalJitter},
        {"arrivalRate", "arr", ZemoriDeviceNode::mArrivalRate},
        {"datagramsDroppedNoBuffer", "dnb", ZemoriDeviceNode::mDatagramsDroppedNoBuffer},
        {"datagramsDroppedBySystem", "dds", ZemoriDeviceNode::mDatagramsDroppedBySystem},
    };
    for (const auto& row : rows) {
        MStatus byLong, byShort;
        const MPlug longPlug = mayahost::findPlug(device.object, row.longName, &byLong);
        const MPlug shortPlug = mayahost::findPlug(device.object, row.shortName, &byShort);
        EXPECT_EQ(byLong, MS::kSuccess) << row.longName;
        EXPECT_EQ(byShort, MS::kSuccess) << row.shortName;
        EXPECT_TRUE(longPlug == row.attribute) << row.longName;
        EXPECT_TRUE(shortPlug == row.attribute) << row.shortName;
    }
}

// Setup in a type that already has an attribute named "recording".
MStatus initializeWithRecordingTaken() {
    MFnNumericAttribute taken;
    MPxNode::addAttribute(taken.create("recording", "rcdTaken", MFnNumericData::kInt, 0));
    return ZemoriDeviceNode::initialize();
}

TEST_F(NodeTest, AttributeSetupStopsAtTheFirstFailure) {
    ZemoriDeviceNode::mDeviceIdAttr = MObject();
    ZemoriDeviceNode::mOutputRotations = MObject();
    MFnPlugin plugin(mPlugin);
    testing::internal::CaptureStderr();
    EXPECT_NE(
        plugin.registerNode("ZemoriRecordingTaken", MTypeId(0x7F0E2), &ZemoriDeviceNode::creator,
                            &initializeWithRecordingTaken, MPxNode::kThreadedDeviceNode),
        MS::kSuccess);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "addAttribute: ATTR\n");
    EXPECT_TRUE(ZemoriDeviceNode::mDeviceIdAttr.isNull());
    EXPECT_TRUE(ZemoriDeviceNode::mOutputRotations.isNull());

    // A type without the inherited live attribute fails at the first dependency.
    testing::internal::CaptureStderr();
    EXPECT_NE(plugin.registerNode("ZemoriNotThreaded", MTypeId(0x7F0E3), &ZemoriDeviceNode::creator,
                                  &ZemoriDeviceNode::initialize, MPxNode::kDependNode),
              MS::kSuccess);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "attributeAffects:live->mOutputTranslate\n");
}

TEST_F(NodeTest, TimeAndLiveDirtyTheOutputsButInputPortDoesNot) {
    const DeviceNode device = createDeviceNode();
    mayahost::evaluate(device.object, "outputTranslations");
    mayahost::evaluate(device.object, "outputRotations");
    mayahost::evaluate(device.object, "outputTranslate");
    ASSERT_FALSE(mayahost::isDirty(device.object, "outputTranslations"));

    mayahost::setInt(device.object, "inputPort", 4000);
    mayahost::setBool(device.object, "recording", true);
    mayahost::setInt(device.object, "deviceId", 3);
    EXPECT_FALSE(mayahost::isDirty(device.object, "outputTranslations"));
    EXPECT_FALSE(mayahost::isDirty(device.object, "outputRotations"));

    mayahost::setDouble(device.object, "time", 5.0);
    EXPECT_TRUE(mayahost::isDirty(device.object, "outputTranslations"));
    EXPECT_TRUE(mayahost::isDirty(device.object, "outputRotations"));
    EXPECT_TRUE(mayahost::isDirty(device.object, "outputTranslate"));
}

TEST_F(NodeTest, SkeletonNameUsesTheDeviceIdAsUnsigned) {
    const DeviceNode device = createDeviceNode();
    EXPECT_STREQ(device.node->skeletonName().asChar(), "zemoriCharacter0_Skeleton");
    mayahost::setInt(device.object, "deviceId", 12);
    EXPECT_STREQ(device.node->skeletonName().asChar(), "zemoriCharacter12_Skeleton");
    mayahost::setInt(device.object, "deviceId", -1);
    EXPECT_STREQ(device.node->skeletonName().asChar(), "zemoriCharacter4294967295_Skeleton");
}

TEST_F(NodeTest, SenderRateTableWritesFrameRate) {
    const DeviceNode device = createDeviceNode();
    const std::pair<int, double> table[] = {{30, 60.0}, {60, 90.0}, {120, 150.0}, {50, 80.0}};
    for (const auto& row : table) {
        device.node->applySenderRate(row.first);
        EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), row.second) << row.first;
    }
    // Exact keys only: an unknown rate writes nothing.
    device.node->applySenderRate(30);
    device.node->applySenderRate(45);
    device.node->applySenderRate(59);
    device.node->applySenderRate(100);
    EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), 60.0);
}

TEST_F(NodeTest, DestroyingANeverLiveNodeLeavesOtherSocketsOpen) {
    const DeviceNode live = createDeviceNode();
    const DeviceNode idle = createDeviceNode();
    const std::uint16_t port = goLive(live);
    ASSERT_NE(port, 0);
    const int startups = platform::socketStartupCount();

    ASSERT_EQ(mayahost::deleteNode(idle.object), MS::kSuccess);
    EXPECT_EQ(platform::socketStartupCount(), startups);
    EXPECT_NE(live.node->socketHandle(), 0u);

    // The live node still receives.
    deliver(live, port, skeletonDefinition(0.0f));
    EXPECT_FALSE(live.node->isAwaitingSkeletonDefinition());

    ASSERT_EQ(mayahost::deleteNode(live.object), MS::kSuccess);
    EXPECT_EQ(platform::socketStartupCount(), startups - 1);
}

// Holds the first platform close of one handle until a second close of it
// has come in, or the second closer has returned without one: two node
// closes then overlap for certain, not only when the scheduler allows.
class CloseRendezvous {
public:
    explicit CloseRendezvous(platform::SocketHandle watched) {
        sWatched = watched;
        sCloses = 0;
        sSecondReturned = false;
        platform::setCloseHook(&hold);
    }
    ~CloseRendezvous() { platform::setCloseHook(nullptr); }
    CloseRendezvous(const CloseRendezvous&) = delete;
    CloseRendezvous& operator=(const CloseRendezvous&) = delete;

    static int closes() { return sCloses.load(); }
    static void secondReturned() { sSecondReturned = true; }

private:
    static void hold(platform::SocketHandle socket) {
        if (socket != sWatched.load() || sCloses.fetch_add(1) > 0) {
            return;
        }
        waitUntil([] { return sCloses.load() > 1 || sSecondReturned.load(); }, 2000ms);
    }

    static inline std::atomic<platform::SocketHandle> sWatched{0};
    static inline std::atomic<int> sCloses{0};
    static inline std::atomic<bool> sSecondReturned{false};
};

TEST_F(NodeTest, OverlappingClosesReleaseTheSocketAndCleanUpOnce) {
    const DeviceNode device = createDeviceNode();
    ASSERT_NE(goLive(device), 0);
    // A startup of the test's own keeps the count above zero, where a second
    // cleanup would still show.
    ASSERT_EQ(platform::socketStartup(), 0);
    const int startups = platform::socketStartupCount();
    {
        CloseRendezvous rendezvous(device.node->socketHandle());
        std::thread first([&] { device.node->closeSocket(); });
        const bool firstHeld = waitUntil([] { return CloseRendezvous::closes() > 0; });
        device.node->closeSocket();
        CloseRendezvous::secondReturned();
        first.join();
        ASSERT_TRUE(firstHeld) << "the first close never reached the system close";
        EXPECT_EQ(CloseRendezvous::closes(), 1) << "the socket was released more than once";
    }
    device.node->closeSocket();
    EXPECT_EQ(device.node->socketHandle(), 0u);
    EXPECT_EQ(platform::socketStartupCount(), startups - 1);
    platform::socketCleanup();
}

TEST_F(NodeTest, DeletingANodeRightAfterCreationEndsItsThread) {
    // The shutdown may come before the receiving loop has begun; the loop
    // must still see it.
    mayahost::setShutdownGracePeriod(300ms);
    for (int i = 0; i < 20; ++i) {
        const DeviceNode device = createDeviceNode();
        ASSERT_EQ(mayahost::deleteNode(device.object), MS::kSuccess);
        ASSERT_EQ(mayahost::pendingDeletionCount(), 0u) << "round " << i;
    }
}

}  // namespace
}  // namespace nodetest
