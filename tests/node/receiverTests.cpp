#include "nodeTestSupport.h"
#include "plugin/messageTable.h"

#include <atomic>
#include <string>

namespace nodetest {
namespace {

// Whether a port on every address is free right now, checked by binding it.
bool portIsFree(std::uint16_t port) {
    platform::socketStartup();
    const platform::SocketHandle probe = platform::openUdpSocket();
    const bool free = platform::bindAnyAddress(probe, port) == 0;
    platform::closeSocket(probe);
    platform::socketCleanup();
    return free;
}

std::size_t indexOfCommand(const std::vector<std::string>& log, const std::string& start) {
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].rfind(start, 0) == 0) {
            return i;
        }
    }
    return log.size();
}

class ReceiverTest : public NodeTest {
protected:
    // A settable clock for the silence rule, in nanoseconds.
    void useTestClock(ZemoriDeviceNode& node) {
        node.setClockForTesting([this] { return mNow.load(); });
    }
    void setNowMs(double milliseconds) {
        mNow = static_cast<std::int64_t>(milliseconds * 1000000.0);
    }

    std::atomic<std::int64_t> mNow{0};
};

TEST_F(ReceiverTest, DefaultPortOpensAndShowsTheAwaitingMessage) {
    if (!portIsFree(12351)) {
        GTEST_SKIP() << "port 12351 is taken on this machine";
    }
    const DeviceNode device = createDeviceNode();
    mayahost::setBool(device.object, "live", true);
    testing::internal::CaptureStdout();
    // Nothing has been pushed yet: the evaluation opens the socket and fails.
    EXPECT_EQ(mayahost::evaluate(device.object, "outputTranslations"), MS::kFailure);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find("Initializing Socket 12351\n"), std::string::npos) << console;
    ASSERT_NE(device.node->socketHandle(), 0u);
    EXPECT_EQ(platform::boundPort(device.node->socketHandle()), 12351);

    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(0).status, "Awaiting Skeleton Definition");
    EXPECT_EQ(zemoritest::panelState(0).statusUpdates, 1);

    // Later live evaluations do not repeat it.
    mayahost::setDouble(device.object, "time", 1.0);
    mayahost::evaluate(device.object, "outputTranslations");
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(0).statusUpdates, 1);
}

TEST_F(ReceiverTest, PortInUseReportsTurnsLiveOffAndLeavesNoSocket) {
    platform::socketStartup();
    const platform::SocketHandle holder = platform::openUdpSocket();
    ASSERT_EQ(platform::bindAnyAddress(holder, 0), 0);
    const std::uint16_t taken = platform::boundPort(holder);
    const int startups = platform::socketStartupCount();

    const DeviceNode device = createDeviceNode();
    mayahost::setInt(device.object, "inputPort", taken);
    mayahost::setBool(device.object, "live", true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(mayahost::evaluate(device.object, "outputTranslations"), MS::kFailure);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find("Bind failed with error 10048\n"), std::string::npos) << console;
    EXPECT_EQ(device.node->socketHandle(), 0u);
    EXPECT_EQ(platform::socketStartupCount(), startups);

    // Nothing reaches the scripts or the graph during the evaluation; at idle
    // time the error, the panel text and then the check box, with live off.
    std::vector<std::string> log = mayahost::commandLog();
    EXPECT_EQ(indexOfCommand(log, "updateLiveCheckbox"), log.size());
    EXPECT_TRUE(mayahost::getBool(device.object, "live"));
    mayahost::processIdleEvents();
    EXPECT_FALSE(mayahost::getBool(device.object, "live"));
    log = mayahost::commandLog();
    const std::size_t error = indexOfCommand(log, "error");
    const std::size_t display = indexOfCommand(log, "displayMessage");
    const std::size_t checkbox = indexOfCommand(log, "updateLiveCheckbox");
    EXPECT_LT(error, display);
    EXPECT_LT(display, checkbox);
    EXPECT_LT(checkbox, log.size());
    const std::string portInUse =
        "Port in Use. Socket Initialization failed. Try using a different port.";
    EXPECT_EQ(zemoritest::panelState(0).status, portInUse);
    EXPECT_FALSE(zemoritest::panelState(0).liveChecked);
    const std::vector<std::string> errors = mayahost::errorLines();
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors.back().find(portInUse), std::string::npos);

    platform::closeSocket(holder);
    platform::socketCleanup();
}

TEST_F(ReceiverTest, PortAbove16BitsBindsItsLowBits) {
    if (!portIsFree(4464)) {
        GTEST_SKIP() << "port 4464 is taken on this machine";
    }
    const DeviceNode device = createDeviceNode();
    EXPECT_EQ(goLive(device, 70000), 4464);
}

TEST_F(ReceiverTest, FramesApplyOnlyAfterADefinitionAndBinding) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);

    // Before any definition: the table's default pose.
    deliver(device, port, frameData(1, 0.0, 3.0f, 30.0f));
    for (unsigned joint : {0u, 5u}) {
        const auto t = outputElement(device, "outputTranslations", joint);
        EXPECT_FLOAT_EQ(t[0], static_cast<float>(kJointTable[joint].translation.x));
        EXPECT_FLOAT_EQ(t[1], static_cast<float>(kJointTable[joint].translation.y));
    }

    // A changed definition: bind button, message, still not characterized.
    deliver(device, port, skeletonDefinition(0.0f));
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition());
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(0).status, "Data received. Press Bind to Character button");
    EXPECT_TRUE(zemoritest::panelState(0).bindButtonEnabled);

    // Frames before binding push the definition's rest pose.
    deliver(device, port, frameData(2, 0.02, 3.0f, 30.0f));
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 0.0f, 1e-4);
    EXPECT_NEAR(outputElement(device, "outputRotations", 0)[2], 0.0f, 1e-4);

    device.node->setCharacterized(true);
    deliver(device, port, frameData(3, 0.04, 3.0f, 30.0f));
    // The root from the frame, joint 5 from the definition; all rotations from the frame.
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 3.0f, 1e-4);
    const auto joint5 = outputElement(device, "outputTranslations", 5);
    EXPECT_NEAR(joint5[0], 5.0f, 1e-4);
    EXPECT_NEAR(joint5[1], 10.0f, 1e-4);
    EXPECT_NEAR(joint5[2], -5.0f, 1e-4);
    for (unsigned joint : {0u, 5u, 26u}) {
        const auto r = outputElement(device, "outputRotations", joint);
        EXPECT_NEAR(r[0], 0.0f, 1e-3);
        EXPECT_NEAR(r[1], 0.0f, 1e-3);
        EXPECT_NEAR(r[2], 30.0f, 1e-3);
    }
}

TEST_F(ReceiverTest, SilenceRuleAtTheThreshold) {
    const DeviceNode device = createDeviceNode();
    useTestClock(*device.node);
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    const Datagram neither(64, 'x');

    setNowMs(10000);
    deliver(device, port, skeletonDefinition(0.0f));
    ASSERT_FALSE(device.node->isAwaitingSkeletonDefinition());

    setNowMs(10999);
    deliver(device, port, neither);
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition()) << "999 ms";
    setNowMs(11999);
    deliver(device, port, neither);
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition()) << "exactly 1000 ms";
    setNowMs(13000);
    deliver(device, port, neither);
    EXPECT_TRUE(device.node->isAwaitingSkeletonDefinition()) << "1001 ms";
}

TEST_F(ReceiverTest, ChangedDefinitionRevokesBindingAndTheSameOneResumesFrames) {
    const DeviceNode device = createDeviceNode();
    useTestClock(*device.node);
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);

    setNowMs(5000);
    deliver(device, port, skeletonDefinition(0.0f));
    device.node->setCharacterized(true);
    mayahost::processIdleEvents();
    const int messages = zemoritest::panelState(0).statusUpdates;

    // After a silence, the same definition: no message, binding kept.
    setNowMs(7000);
    deliver(device, port, skeletonDefinition(0.0f));
    mayahost::processIdleEvents();
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition());
    EXPECT_TRUE(device.node->isCharacterized());
    EXPECT_EQ(zemoritest::panelState(0).statusUpdates, messages);
    deliver(device, port, frameData(1, 0.0, 2.0f, 0.0f));
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 2.0f, 1e-4);

    // A definition while none is awaited is ignored.
    deliver(device, port, skeletonDefinition(9.0f));
    mayahost::processIdleEvents();
    EXPECT_TRUE(device.node->isCharacterized());
    EXPECT_EQ(zemoritest::panelState(0).statusUpdates, messages);

    // After a silence, a changed definition revokes the binding.
    setNowMs(9000);
    deliver(device, port, skeletonDefinition(1.0f));
    mayahost::processIdleEvents();
    EXPECT_FALSE(device.node->isCharacterized());
    EXPECT_TRUE(zemoritest::panelState(0).bindButtonEnabled);
    EXPECT_EQ(zemoritest::panelState(0).statusUpdates, messages + 1);
    deliver(device, port, frameData(2, 0.02, 6.0f, 0.0f));
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 1.0f, 1e-4);
}

TEST_F(ReceiverTest, DatagramOfNeitherKindStillPushesAPose) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    const int computes = mayahost::computeCount(device.object);
    deliver(device, port, Datagram{'n', 'o', 'i', 's', 'e'});
    EXPECT_GT(mayahost::computeCount(device.object), computes);
    EXPECT_TRUE(device.node->isAwaitingSkeletonDefinition());
    EXPECT_EQ(mayahost::elementCount(device.object, "outputTranslations"),
              static_cast<unsigned>(kJointCount));
}

TEST_F(ReceiverTest, EmptyDatagramIsIgnored) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(mSender.send(port, Datagram{}));
    ASSERT_TRUE(mSender.send(port, Datagram{'a'}));
    // Both arrive in order; when the second has pushed, the first would have too.
    ASSERT_TRUE(waitUntil([&] { return device.node->threadDataCount() > 0; }));
    EXPECT_EQ(device.node->threadDataCount(), 1);
}

// The pose of a datagram that finds no free buffer is not shown, but the
// datagram is still handled: a frame in it reaches the journal.
TEST_F(ReceiverTest, NoFreePoseBufferSkipsThePoseButNotTheDatagram) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(mSender.send(port, Datagram(16, 'a')));
    }
    ASSERT_TRUE(waitUntil([&] { return device.node->threadDataCount() == 3; }));
    // All three buffers are queued: this definition finds none free.
    ASSERT_TRUE(mSender.send(port, skeletonDefinition(0.0f)));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(device.node->threadDataCount(), 3);

    EXPECT_TRUE(waitUntil([&] { return !device.node->isAwaitingSkeletonDefinition(); }));
    device.node->setCharacterized(true);
    ASSERT_TRUE(mSender.send(port, frameData(1, 0.0, 1.0f, 0.0f)));
    EXPECT_TRUE(waitUntil([&] { return device.node->journal().written() == 1; }));
    EXPECT_EQ(device.node->threadDataCount(), 3);

    ASSERT_TRUE(popAll(device));
    EXPECT_EQ(mayahost::getInt(device.object, "datagramsDroppedNoBuffer"), 2);
    EXPECT_EQ(zemoritest::panelState(0).bindButtonEnabled, true);
}

TEST_F(ReceiverTest, OversizedDatagramIsDroppedAndReceivingGoesOn) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(mSender.send(port, Datagram(5000, 'z')));
    deliver(device, port, skeletonDefinition(0.0f));
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition());
    EXPECT_TRUE(mayahost::threadRunning(device.object));
}

TEST_F(ReceiverTest, LiveWithoutASocketWaitsInsteadOfEnding) {
    const DeviceNode device = createDeviceNode();
    mayahost::setInt(device.object, "inputPort", 0);
    mayahost::setBool(device.object, "live", true);
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(mayahost::threadRunning(device.object));
    mayahost::evaluate(device.object, "outputTranslations");
    const std::uint16_t port = platform::boundPort(device.node->socketHandle());
    ASSERT_NE(port, 0);
    deliver(device, port, skeletonDefinition(0.0f));
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition());
}

TEST_F(ReceiverTest, ClosingTheSocketLeavesTheLoopWaitingForTheNext) {
    const DeviceNode device = createDeviceNode();
    ASSERT_NE(goLive(device), 0);
    std::this_thread::sleep_for(20ms);  // let the loop wait on the socket
    device.node->closeSocket();
    EXPECT_TRUE(mayahost::threadRunning(device.object));
    // Still live: the next evaluation opens a socket, which the same run uses.
    const int starts = mayahost::threadStarts(device.object);
    mayahost::evaluate(device.object, "outputTranslations");
    const std::uint16_t port = platform::boundPort(device.node->socketHandle());
    ASSERT_NE(port, 0);
    deliver(device, port, skeletonDefinition(0.0f));
    EXPECT_FALSE(device.node->isAwaitingSkeletonDefinition());
    EXPECT_EQ(mayahost::threadStarts(device.object), starts);
}

TEST_F(ReceiverTest, ShutdownWakesABlockedReceive) {
    const DeviceNode device = createDeviceNode();
    ASSERT_NE(goLive(device), 0);
    std::this_thread::sleep_for(20ms);
    const int starts = mayahost::threadStarts(device.object);
    // The host restarts the thread only once the old one has returned; a
    // receive nobody woke would defer that to idle processing.
    mayahost::setShutdownGracePeriod(1500ms);
    mayahost::setBool(device.object, "live", false);
    const bool restarting =
        mayahost::deviceThreadLifetime() == mayahost::DeviceThreadLifetime::kRestarting;
    EXPECT_EQ(mayahost::threadStarts(device.object), starts + (restarting ? 1 : 0));

    // Deleting a node blocked in a receive finishes at once too.
    mayahost::setBool(device.object, "live", true);
    mayahost::evaluate(device.object, "outputTranslations");
    ASSERT_NE(device.node->socketHandle(), 0u);
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(mayahost::deleteNode(device.object), MS::kSuccess);
    EXPECT_EQ(mayahost::pendingDeletionCount(), 0u);
}

// A stop is for one run only: a failed start, a stop from outside the host
// and a stop that comes before the started thread entered its handler each
// leave a node that receives again after the next live on.
TEST_F(ReceiverTest, NoStopOutlivesTheRunItWasAimedAt) {
    if (mayahost::deviceThreadLifetime() != mayahost::DeviceThreadLifetime::kRestarting) {
        GTEST_SKIP() << "a continuous thread is started once, with its node";
    }
    const auto receivesAfterLiveOn = [&](const DeviceNode& device) {
        mayahost::setBool(device.object, "live", false);
        // Time for the restarted run to enter, and to leave at once if a
        // stop meant for an earlier run were held for it.
        std::this_thread::sleep_for(20ms);
        mayahost::setBool(device.object, "live", true);
        mayahost::evaluate(device.object, "outputTranslations");
        const platform::SocketHandle socket = device.node->socketHandle();
        if (socket == 0) return false;
        const std::uint16_t port = platform::boundPort(socket);
        const std::int64_t before = device.node->statistics().snapshot(0).datagramsReceived;
        return waitUntil(
            [&] {
                mSender.send(port, skeletonDefinition(0.0f));
                std::this_thread::sleep_for(5ms);
                return device.node->statistics().snapshot(0).datagramsReceived > before;
            },
            3000ms);
    };

    // The thread of a new node fails to start.
    mayahost::failDeviceThreadStarts(1);
    const DeviceNode failed = createDeviceNode();
    EXPECT_FALSE(mayahost::threadRunning(failed.object));
    EXPECT_TRUE(receivesAfterLiveOn(failed));

    // A stop from outside the host ends the run in progress; the host
    // restarts a thread that has returned without stopping it again.
    const DeviceNode stray = createDeviceNode();
    ASSERT_NE(goLive(stray), 0);
    stray.node->threadShutdownHandler();
    ASSERT_TRUE(waitUntil([&] { return !mayahost::threadRunning(stray.object); }));
    for (int toggle = 0; toggle < 3; ++toggle) {
        EXPECT_TRUE(receivesAfterLiveOn(stray)) << "toggle " << toggle;
    }

    // Threads enter only once stopped: each restart's shutdown finds no run
    // in progress, and the run it was for still ends, so no restart waits.
    const DeviceNode early = createDeviceNode();
    ASSERT_NE(goLive(early), 0);
    const int starts = mayahost::threadStarts(early.object);
    mayahost::setThreadEntryAfterShutdown(true);
    for (int toggle = 0; toggle < 3; ++toggle) {
        mayahost::setBool(early.object, "live", toggle % 2 == 1);
    }
    EXPECT_EQ(mayahost::threadStarts(early.object), starts + 3) << "a restart was left waiting";
    mayahost::setThreadEntryAfterShutdown(false);
    EXPECT_TRUE(receivesAfterLiveOn(early));
}

}  // namespace
}  // namespace nodetest
