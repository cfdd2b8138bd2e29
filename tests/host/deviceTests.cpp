// Threaded device nodes: the handler thread's restarts, the data pools and
// queue, the refresh of outputs at idle time, and deletion of nodes whose
// thread is blocked in a receive.
#include "hostFixture.h"

#include <platform/sockets.h>

#include <maya/MFnDependencyNode.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MSceneMessage.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Waits for a condition that another thread makes true; false after 10 s.
template <class Condition>
bool eventually(Condition condition) {
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Pushes a counter value per pass while live; compute pops and sums them.
class CounterNode : public MPxThreadedDeviceNode {
public:
    static MObject aRefresh, aSum;
    static std::atomic<int> running, maxRunning, passes;

    static void* creator() { return new CounterNode; }
    static MStatus initialize() {
        MFnNumericAttribute fn;
        aRefresh = fn.create("refresh", "rf", MFnNumericData::k3Float);
        aSum = fn.create("sum", "sm", MFnNumericData::kDouble);
        addAttribute(aRefresh);
        addAttribute(aSum);
        attributeAffects(aRefresh, aSum);
        return attributeAffects(live, aRefresh);
    }
    void postConstructor() override {
        MObjectArray refresh;
        refresh.append(aRefresh);
        setRefreshOutputAttributes(refresh);
        createMemoryPools(3, 27, 128);
    }
    ~CounterNode() override { destroyMemoryPools(); }

    // The host leaves done as the last run left it; a stop that comes before
    // the run begins is kept in mStop so that clearing done cannot lose it.
    void threadHandler() override {
        setDone(false);
        int now = ++running;
        int seen = maxRunning.load();
        while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {
        }
        while (!isDone() && !mStop.load()) {
            beginThreadLoop();
            if (isLive()) {
                MCharBuffer buffer;
                if (acquireDataStorage(buffer)) {
                    int value = ++mNext;
                    std::memcpy(buffer.ptr(), &value, sizeof value);
                    pushThreadData(buffer);
                }
            }
            ++passes;
            endThreadLoop();
        }
        mStop = false;
        --running;
    }
    void threadShutdownHandler() override {
        mStop = true;
        setDone(true);
    }

    MStatus compute(const MPlug& plug, MDataBlock& block) override {
        if (plug != aRefresh && plug.parent() != aRefresh && plug != aSum) {
            return MS::kUnknownParameter;
        }
        MCharBuffer buffer;
        while (popThreadData(buffer)) {
            int value = 0;
            std::memcpy(&value, buffer.ptr(), sizeof value);
            mSum += value;
            releaseDataStorage(buffer);
        }
        block.outputValue(aSum).set(mSum);
        block.setClean(aRefresh);
        block.setClean(aSum);
        return MS::kSuccess;
    }

private:
    std::atomic<bool> mStop{false};
    int mNext = 0;
    double mSum = 0.0;
};
MObject CounterNode::aRefresh, CounterNode::aSum;
std::atomic<int> CounterNode::running{0}, CounterNode::maxRunning{0}, CounterNode::passes{0};

// Blocks in a UDP receive; its shutdown handler may wake it with a datagram.
class UdpNode : public MPxThreadedDeviceNode {
public:
    static std::atomic<int> destroyed;
    static std::atomic<bool> wakeOnShutdown;
    static std::atomic<std::uint16_t> lastPort;
    // Set once the thread has passed its done check and goes to receive.
    static std::atomic<bool> receiving;

    UdpNode() {
        platform::socketStartup();
        mSocket = platform::openUdpSocket();
        platform::bindAnyAddress(mSocket, 0);
        mPort = platform::boundPort(mSocket);
        lastPort = mPort;
    }
    ~UdpNode() override {
        platform::closeSocket(mSocket);
        platform::socketCleanup();
        ++destroyed;
    }
    static void* creator() { return new UdpNode; }
    static MStatus initialize() { return MS::kSuccess; }

    void threadHandler() override {
        setDone(false);
        char bytes[64];
        while (!isDone() && !mStop.load()) {
            receiving = true;
            platform::ReceiveResult result =
                platform::receiveDatagram(mSocket, bytes, sizeof bytes);
            if (result.status == platform::ReceiveStatus::kFailed) break;
        }
    }
    void threadShutdownHandler() override {
        mStop = true;
        setDone(true);
        if (wakeOnShutdown) send(mPort);
    }
    static void send(std::uint16_t port) {
        platform::SocketHandle sender = platform::openUdpSocket();
        platform::sendToLoopback(sender, port, "x", 1);
        platform::closeSocket(sender);
    }

private:
    std::atomic<bool> mStop{false};
    platform::SocketHandle mSocket;
    std::uint16_t mPort;
};
std::atomic<int> UdpNode::destroyed{0};
std::atomic<bool> UdpNode::wakeOnShutdown{true};
std::atomic<std::uint16_t> UdpNode::lastPort{0};
std::atomic<bool> UdpNode::receiving{false};

class DeviceTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        platform::socketStartup();
        CounterNode::running = 0;
        CounterNode::maxRunning = 0;
        CounterNode::passes = 0;
        UdpNode::destroyed = 0;
        UdpNode::wakeOnShutdown = true;
        UdpNode::receiving = false;
        MObject plugin = testPlugin();
        MFnPlugin fn(plugin);
        ASSERT_TRUE(fn.registerNode("counterNode", MTypeId(0x7F020), CounterNode::creator,
                                    CounterNode::initialize, MPxNode::kThreadedDeviceNode));
        ASSERT_TRUE(fn.registerNode("udpNode", MTypeId(0x7F021), UdpNode::creator,
                                    UdpNode::initialize, MPxNode::kThreadedDeviceNode));
    }
    void TearDown() override {
        HostTest::TearDown();
        platform::socketCleanup();
    }

    static CounterNode* counter(const MObject& node) {
        MFnDependencyNode fn(node);
        return dynamic_cast<CounterNode*>(fn.userNode());
    }
};

TEST_F(DeviceTest, InheritedAttributesAndTheirDefaults) {
    MObject node = mayahost::createNode("counterNode");
    EXPECT_FALSE(mayahost::getBool(node, "live"));
    EXPECT_EQ(mayahost::getDouble(node, "frameRate"), 15.0);
    // live is not saved with a scene; frameRate is.
    EXPECT_FALSE(MFnNumericAttribute(MPxThreadedDeviceNode::live).isStorable());
    EXPECT_TRUE(MFnNumericAttribute(MPxThreadedDeviceNode::frameRate).isStorable());
    MStatus status;
    mayahost::findPlug(node, "output", &status);
    EXPECT_TRUE(status);
    EXPECT_EQ(counter(node)->type(), MPxNode::kThreadedDeviceNode);
    // The inherited attributes cannot be added again by a type.
    EXPECT_EQ(MPxNode::addAttribute(MPxThreadedDeviceNode::live), MS::kFailure);
}

// For one test: the device-thread lifetime, set back afterwards.
class LifetimeScope {
public:
    explicit LifetimeScope(mayahost::DeviceThreadLifetime lifetime)
        : mPrevious(mayahost::deviceThreadLifetime()) {
        mayahost::setDeviceThreadLifetime(lifetime);
    }
    ~LifetimeScope() { mayahost::setDeviceThreadLifetime(mPrevious); }
    LifetimeScope(const LifetimeScope&) = delete;
    LifetimeScope& operator=(const LifetimeScope&) = delete;

private:
    mayahost::DeviceThreadLifetime mPrevious;
};

// Restarting: each change of live or frameRate restarts the thread.
// Continuous: the one thread sees the changes itself.
TEST_F(DeviceTest, ThreadRestartsOnLiveOrFrameRateChangesOnlyWhenRestarting) {
    for (const bool restarting : {true, false}) {
        const LifetimeScope lifetime(restarting ? mayahost::DeviceThreadLifetime::kRestarting
                                                : mayahost::DeviceThreadLifetime::kContinuous);
        const int each = restarting ? 1 : 0;
        MObject node = mayahost::createNode("counterNode");
        ASSERT_TRUE(eventually([] { return CounterNode::running.load() == 1; }));
        EXPECT_EQ(mayahost::threadStarts(node), 1);
        EXPECT_FALSE(counter(node)->isLive());

        ASSERT_TRUE(mayahost::setBool(node, "live", true));
        EXPECT_EQ(mayahost::threadStarts(node), 1 + each);
        EXPECT_TRUE(counter(node)->isLive());
        ASSERT_TRUE(mayahost::setDouble(node, "frameRate", 90.0));
        EXPECT_EQ(mayahost::threadStarts(node), 1 + 2 * each);
        ASSERT_TRUE(mayahost::setBool(node, "live", false));
        EXPECT_EQ(mayahost::threadStarts(node), 1 + 3 * each);
        EXPECT_FALSE(counter(node)->isLive());
        // Other attributes leave the thread alone.
        ASSERT_TRUE(mayahost::setDouble(node, "sum", 1.0));
        EXPECT_EQ(mayahost::threadStarts(node), 1 + 3 * each);
        EXPECT_TRUE(mayahost::threadRunning(node));
        EXPECT_EQ(CounterNode::maxRunning.load(), 1);
        ASSERT_TRUE(mayahost::deleteNode(node));
        ASSERT_TRUE(eventually([] { return CounterNode::running.load() == 0; }));
    }
}

TEST_F(DeviceTest, AShutdownRightAfterCreationIsNotLost) {
    // The host clears done before a run starts, never after: a shutdown that
    // comes before the handler's first statement still ends the run.
    for (int round = 0; round < 50; ++round) {
        MObject node = mayahost::createNode("counterNode");
        ASSERT_TRUE(mayahost::deleteNode(node));
        ASSERT_EQ(mayahost::pendingDeletionCount(), 0u) << "round " << round;
        MObject restarted = mayahost::createNode("counterNode");
        ASSERT_TRUE(mayahost::setBool(restarted, "live", true));
        ASSERT_TRUE(mayahost::deleteNode(restarted));
        ASSERT_EQ(mayahost::pendingDeletionCount(), 0u) << "round " << round;
    }
    EXPECT_EQ(CounterNode::running.load(), 0);
}

TEST_F(DeviceTest, PoolsHandOutAtMostTheirBuffers) {
    MObject node = mayahost::createNode("counterNode");
    CounterNode* device = counter(node);
    MCharBuffer a, b, c, d;
    ASSERT_TRUE(device->acquireDataStorage(a));
    ASSERT_TRUE(device->acquireDataStorage(b));
    ASSERT_TRUE(device->acquireDataStorage(c));
    EXPECT_EQ(device->acquireDataStorage(d), MS::kFailure);
    EXPECT_EQ(d.ptr(), nullptr);
    EXPECT_EQ(a.size(), 27 * 128);
    EXPECT_NE(a.ptr(), b.ptr());
    EXPECT_NE(b.ptr(), c.ptr());
    std::memset(a.ptr(), 0x5A, static_cast<std::size_t>(a.size()));
    ASSERT_TRUE(device->releaseDataStorage(b));
    EXPECT_EQ(device->releaseDataStorage(b), MS::kInvalidParameter);
    ASSERT_TRUE(device->acquireDataStorage(d));
    EXPECT_EQ(d.ptr(), b.ptr());
    EXPECT_EQ(device->createMemoryPools(3, 27, 128), MS::kFailure);
    EXPECT_EQ(device->createMemoryPools(0, 27, 128), MS::kInvalidParameter);
}

TEST_F(DeviceTest, QueuePopsOldestFirst) {
    MObject node = mayahost::createNode("counterNode");
    CounterNode* device = counter(node);
    for (char tag : {'1', '2', '3'}) {
        MCharBuffer buffer;
        ASSERT_TRUE(device->acquireDataStorage(buffer));
        buffer.ptr()[0] = tag;
        ASSERT_TRUE(device->pushThreadData(buffer));
    }
    EXPECT_EQ(device->threadDataCount(), 3);
    MCharBuffer foreign;
    EXPECT_EQ(device->pushThreadData(foreign), MS::kInvalidParameter);
    for (char tag : {'1', '2', '3'}) {
        MCharBuffer buffer;
        ASSERT_TRUE(device->popThreadData(buffer));
        EXPECT_EQ(buffer.ptr()[0], tag);
        ASSERT_TRUE(device->releaseDataStorage(buffer));
    }
    MCharBuffer empty;
    EXPECT_EQ(device->popThreadData(empty), MS::kFailure);
    EXPECT_EQ(device->threadDataCount(), 0);
    ASSERT_TRUE(device->destroyMemoryPools());
    EXPECT_EQ(device->acquireDataStorage(empty), MS::kFailure);
}

TEST_F(DeviceTest, PushedDataRefreshesOutputsAtIdleTime) {
    MObject node = mayahost::createNode("counterNode");
    EXPECT_DOUBLE_EQ(mayahost::getDouble(node, "sum"), 0.0);
    ASSERT_TRUE(mayahost::setBool(node, "live", true));
    ASSERT_TRUE(eventually([&] { return counter(node)->threadDataCount() > 0; }));
    EXPECT_TRUE(mayahost::isDirty(node, "refresh"));
    EXPECT_TRUE(mayahost::isDirty(node, "sum"));
    ASSERT_TRUE(mayahost::setBool(node, "live", false));
    int computes = mayahost::computeCount(node);
    mayahost::processIdleEvents();
    EXPECT_GT(mayahost::computeCount(node), computes);
    EXPECT_FALSE(mayahost::isDirty(node, "refresh"));
    // Pushed values were 1, 2, 3 ... and every one was consumed once.
    double sum = mayahost::getDouble(node, "sum");
    EXPECT_GT(sum, 0.0);
    double n = (std::sqrt(8.0 * sum + 1.0) - 1.0) / 2.0;
    EXPECT_DOUBLE_EQ(n, std::floor(n));
}

TEST_F(DeviceTest, EndThreadLoopThrottlesToTheFrameRate) {
    MObject node = mayahost::createNode("counterNode");
    ASSERT_TRUE(mayahost::setDouble(node, "frameRate", 200.0));
    int before = CounterNode::passes.load();
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int passes = CounterNode::passes.load() - before;
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(passes, 0);
    // Each pass takes at least 1/200 s.
    EXPECT_LE(passes, static_cast<int>(seconds * 200.0) + 2);
}

TEST_F(DeviceTest, DeletingANodeBlockedInAReceiveReturnsPromptly) {
    MObject node = mayahost::createNode("udpNode");
    ASSERT_TRUE(eventually([] { return UdpNode::receiving.load(); }));
    ASSERT_TRUE(mayahost::deleteNode(node));
    // The shutdown handler woke the receive: the node is gone already.
    EXPECT_EQ(mayahost::pendingDeletionCount(), 0u);
    EXPECT_EQ(UdpNode::destroyed.load(), 1);
    EXPECT_TRUE(node.isNull());
}

TEST_F(DeviceTest, DeletingANodeNothingWakesDefersItsDestruction) {
    UdpNode::wakeOnShutdown = false;
    mayahost::setShutdownGracePeriod(std::chrono::milliseconds(100));
    MObject node = mayahost::createNode("udpNode");
    std::uint16_t port = UdpNode::lastPort;
    ASSERT_TRUE(eventually([] { return UdpNode::receiving.load(); }));
    ASSERT_TRUE(mayahost::deleteNode(node));
    EXPECT_TRUE(node.isNull());
    EXPECT_TRUE(mayahost::findNode("udpNode1").isNull());
    EXPECT_EQ(mayahost::pendingDeletionCount(), 1u);
    EXPECT_EQ(UdpNode::destroyed.load(), 0);
    EXPECT_TRUE(mayahost::threadRunning(node));
    mayahost::processIdleEvents();
    EXPECT_EQ(UdpNode::destroyed.load(), 0);
    // The type cannot go while one of its nodes still runs.
    MObject plugin = testPlugin();
    MFnPlugin fn(plugin);
    EXPECT_EQ(fn.deregisterNode(MTypeId(0x7F021)), MS::kFailure);

    UdpNode::send(port);
    ASSERT_TRUE(eventually([&] { return !mayahost::threadRunning(node); }));
    mayahost::processIdleEvents();
    EXPECT_EQ(mayahost::pendingDeletionCount(), 0u);
    EXPECT_EQ(UdpNode::destroyed.load(), 1);
    EXPECT_TRUE(fn.deregisterNode(MTypeId(0x7F021)));
}

TEST_F(DeviceTest, RestartWaitsForAStuckThreadInsteadOfStartingASecond) {
    const LifetimeScope lifetime(mayahost::DeviceThreadLifetime::kRestarting);
    UdpNode::wakeOnShutdown = false;
    mayahost::setShutdownGracePeriod(std::chrono::milliseconds(50));
    MObject node = mayahost::createNode("udpNode");
    std::uint16_t port = UdpNode::lastPort;
    ASSERT_TRUE(eventually([] { return UdpNode::receiving.load(); }));
    ASSERT_TRUE(mayahost::setBool(node, "live", true));
    EXPECT_EQ(mayahost::threadStarts(node), 1);
    // A second change while the restart waits starts nothing either.
    ASSERT_TRUE(mayahost::setDouble(node, "frameRate", 30.0));
    mayahost::processIdleEvents();
    EXPECT_EQ(mayahost::threadStarts(node), 1);
    UdpNode::send(port);
    ASSERT_TRUE(eventually([&] {
        mayahost::processIdleEvents();
        return mayahost::threadStarts(node) == 2;
    }));
    MFnDependencyNode fn(node);
    auto* device = dynamic_cast<MPxThreadedDeviceNode*>(fn.userNode());
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(device->isLive());
    UdpNode::wakeOnShutdown = true;
}

TEST_F(DeviceTest, NewSceneStopsEveryThreadAndFiresBeforeNew) {
    static int beforeNewCalls;
    static int nodesAtCallback;
    beforeNewCalls = 0;
    MStatus status;
    MCallbackId id = MSceneMessage::addCallback(
        MSceneMessage::kBeforeNew,
        [](void* data) {
            ++beforeNewCalls;
            nodesAtCallback = static_cast<int>(mayahost::nodeNames().size());
            *static_cast<int*>(data) += 1;
        },
        &beforeNewCalls, &status);
    ASSERT_TRUE(status);
    mayahost::createNode("counterNode");
    mayahost::createNode("udpNode");
    mayahost::newScene();
    EXPECT_EQ(beforeNewCalls, 2);  // the callback and its client data
    EXPECT_EQ(nodesAtCallback, 2);
    EXPECT_TRUE(mayahost::nodeNames().empty());
    EXPECT_EQ(UdpNode::destroyed.load(), 1);
    EXPECT_EQ(CounterNode::running.load(), 0);
    ASSERT_TRUE(MMessage::removeCallback(id));
    EXPECT_EQ(MMessage::removeCallback(id), MS::kInvalidParameter);
    mayahost::newScene();
    EXPECT_EQ(beforeNewCalls, 2);
}

TEST_F(DeviceTest, ResetLeavesANodeWhoseThreadNeverEndsAllocated) {
    UdpNode::wakeOnShutdown = false;
    mayahost::setShutdownGracePeriod(std::chrono::milliseconds(50));
    mayahost::createNode("udpNode");
    std::uint16_t port = UdpNode::lastPort;
    ASSERT_TRUE(eventually([] { return UdpNode::receiving.load(); }));
    ::testing::internal::CaptureStderr();
    mayahost::reset();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("udpNode1"), std::string::npos);
    EXPECT_EQ(UdpNode::destroyed.load(), 0);
    // Once it ends, it is still not freed (and the leak stays reachable).
    UdpNode::send(port);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    mayahost::processIdleEvents();
    EXPECT_EQ(UdpNode::destroyed.load(), 0);
}

}  // namespace
