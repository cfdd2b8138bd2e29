#include "nodeTestSupport.h"
#include "plugin/zemoriDidCharacterizeCmd.h"

#include <maya/MGlobal.h>

#include <atomic>
#include <memory>
#include <thread>

namespace nodetest {
namespace {

// A capture application on 127.0.0.1: one skeleton definition, then frames
// at 60 per second with consecutive numbers, until stopped (at most 10 s).
class CaptureSender {
public:
    explicit CaptureSender(std::uint16_t port) : mPort(port), mThread([this] { run(); }) {}
    ~CaptureSender() {
        mStop = true;
        mThread.join();
    }
    int framesSent() const { return mFramesSent.load(); }

private:
    void run() {
        LoopbackSender sender;
        sender.send(mPort, skeletonDefinition(0.0f));
        const auto start = std::chrono::steady_clock::now();
        for (int frame = 1; frame <= 600 && !mStop; ++frame) {
            std::this_thread::sleep_until(start + frame * std::chrono::microseconds(16667));
            // Fractions of a second only, so that every pair measures 1/60 s.
            const double timestamp = (frame % 50) / 60.0;
            sender.send(mPort, frameData(frame, timestamp, 3.0f, 30.0f));
            ++mFramesSent;
        }
    }

    std::uint16_t mPort;
    std::atomic<bool> mStop{false};
    std::atomic<int> mFramesSent{0};
    std::thread mThread;
};

TEST_F(NodeTest, LiveStreamDrivesTheOutputsAndSettlesTheFrameRate) {
    const DeviceNode device = createDeviceNode();
    const std::uint16_t port = goLive(device);
    ASSERT_NE(port, 0);
    auto capture = std::make_unique<CaptureSender>(port);
    ASSERT_TRUE(waitUntil([&] {
        mayahost::processIdleEvents();
        return !device.node->isAwaitingSkeletonDefinition();
    }));
    // The UI scripts bind a character and name the node.
    ASSERT_EQ(MFnPlugin(mPlugin).registerCommand("ZemoriDidCharacterize",
                                                 &ZemoriDidCharacterizeCmd::creator),
              MS::kSuccess);
    ASSERT_EQ(MGlobal::executeCommand(("ZemoriDidCharacterize \"" + device.name + "\"").c_str()),
              MS::kSuccess);
    EXPECT_TRUE(device.node->isCharacterized());

    // Frames now decode: the rate is detected and the root follows the frames.
    ASSERT_TRUE(waitUntil([&] {
        mayahost::processIdleEvents();
        return mayahost::getDouble(device.object, "frameRate") == 90.0;
    }));
    EXPECT_EQ(device.node->appliedSenderRate(), 60);
    // Writing frameRate restarts the node's thread; it must happen only once.
    const int starts = mayahost::threadStarts(device.object);
    const int sentBefore = capture->framesSent();
    ASSERT_TRUE(waitUntil([&] {
        mayahost::processIdleEvents();
        return capture->framesSent() > sentBefore + 20;
    }));
    EXPECT_EQ(mayahost::threadStarts(device.object), starts);
    EXPECT_EQ(mayahost::getDouble(device.object, "frameRate"), 90.0);

    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 3.0f, 1e-4);
    EXPECT_NEAR(outputElement(device, "outputTranslations", 5)[0], 5.0f, 1e-4);
    EXPECT_NEAR(outputElement(device, "outputRotations", 5)[2], 30.0f, 1e-3);

    // Live off: outputs from the store, socket closed, IP list on every evaluation.
    capture.reset();
    const int startupsWhileLive = platform::socketStartupCount();
    mayahost::setBool(device.object, "live", false);
    mayahost::processIdleEvents();  // evaluations the stream had scheduled
    const int ipLists = zemoritest::panelState(0).ipListUpdates;
    for (int i = 1; i <= 3; ++i) {
        mayahost::setDouble(device.object, "time", i);
        EXPECT_EQ(mayahost::evaluate(device.object, "outputTranslations"), MS::kSuccess);
        EXPECT_EQ(device.node->socketHandle(), 0u);
    }
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(0).ipListUpdates, ipLists + 3);
    EXPECT_EQ(platform::socketStartupCount(), startupsWhileLive - 1);
    EXPECT_NEAR(outputElement(device, "outputTranslations", 0)[0], 3.0f, 1e-4);
    EXPECT_NEAR(outputElement(device, "outputRotations", 0)[2], 30.0f, 1e-3);
}

}  // namespace
}  // namespace nodetest
