// The socket's life under a running stream: a node switched live off and on
// again and again, beside a second node that streams too, never receives
// on a handle that was closed (and so never shows the other node's frames),
// and keeps receiving after every restart of its thread. A deleted node,
// kept for undo, gives its port up and takes it again when undo brings it
// back.
#include "nodeTestSupport.h"
#include "plugin/graphCallbacks.h"
#include "tests/support/melRun.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace nodetest {
namespace {

// A port that was free a moment ago, so that a node can bind it again after
// each close.
std::uint16_t freePort() {
    platform::socketStartup();
    const platform::SocketHandle probe = platform::openUdpSocket();
    platform::bindAnyAddress(probe, 0);
    const std::uint16_t port = platform::boundPort(probe);
    platform::closeSocket(probe);
    platform::socketCleanup();
    return port;
}

// Sends frames whose root stands at base + (n % 50) centimetres, n counting
// up, as fast as a few hundred a second, until destroyed.
class Streamer {
public:
    Streamer(std::uint16_t port, float base)
        : mThread([this, port, base] {
              LoopbackSender sender;
              for (int n = 1; !mStop.load(); ++n) {
                  sender.send(port,
                              frameData(n, n / 1000.0, base + static_cast<float>(n % 50), 0.0f));
                  std::this_thread::sleep_for(std::chrono::microseconds(300));
              }
          }) {}
    ~Streamer() {
        mStop = true;
        mThread.join();
    }

private:
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

class SocketLifecycle : public NodeTest {
protected:
    // A node live on `port`, bound to a definition whose root rests at `base`.
    DeviceNode streamingNode(std::uint16_t port, float base) {
        DeviceNode device = createDeviceNode();
        EXPECT_EQ(goLive(device, port), port);
        deliver(device, port, skeletonDefinition(base));
        device.node->setCharacterized(true);
        return device;
    }

    // Switches live and runs the evaluation that closes or opens the socket.
    void setLive(const DeviceNode& device, bool live) {
        mayahost::setBool(device.object, "live", live);
        mayahost::evaluate(device.object, "outputTranslations");
        EXPECT_EQ(device.node->socketHandle() != 0u, live);
    }

    float rootX(const DeviceNode& device) {
        return outputElement(device, "outputTranslations", 0)[0];
    }

    // Whether a frame whose root stands at x reaches the node's outputs
    // (sent until seen, the definition first in case the node awaits one).
    bool receives(const DeviceNode& device, std::uint16_t port, float x) {
        return waitUntil(
            [&] {
                const int frame = ++mFrame;
                mSender.send(port, skeletonDefinition(x));
                mSender.send(port, frameData(frame, frame / 50.0, x, 0.0f));
                std::this_thread::sleep_for(5ms);
                return popAll(device) && std::fabs(rootX(device) - x) < 0.01f;
            },
            10000ms);
    }

    int mFrame = 0;
};

// The graph callbacks the plug-in installs when it loads.
class DeletionUndo : public SocketLifecycle {
protected:
    void SetUp() override {
        SocketLifecycle::SetUp();
        ASSERT_EQ(addGraphCallbacks(), MS::kSuccess);
    }
    void TearDown() override {
        removeGraphCallbacks();
        SocketLifecycle::TearDown();
    }
};

TEST_F(SocketLifecycle, ToggledNodeNeverSeesTheOtherNodesFramesAndKeepsReceiving) {
    const std::uint16_t portA = freePort();
    const std::uint16_t portB = freePort();
    ASSERT_NE(portA, portB);
    const DeviceNode a = streamingNode(portA, 100.0f);
    const DeviceNode b = streamingNode(portB, 500.0f);
    const auto inRange = [](float x, float base) { return x >= base && x < base + 50.0f; };

    {
        const Streamer streamA(portA, 100.0f);
        const Streamer streamB(portB, 500.0f);
        for (int toggle = 0; toggle < 1000; ++toggle) {
            // Every other time the second node closes and opens too, in
            // between, so that each may be handed the other's old handle.
            const bool both = toggle % 2 == 1;
            setLive(a, false);
            if (both) setLive(b, false);
            setLive(a, true);
            if (both) setLive(b, true);
            mayahost::processIdleEvents();
            ASSERT_TRUE(inRange(rootX(a), 100.0f)) << "toggle " << toggle << ": " << rootX(a);
            ASSERT_TRUE(inRange(rootX(b), 500.0f)) << "toggle " << toggle << ": " << rootX(b);
        }
        if (mayahost::deviceThreadLifetime() == mayahost::DeviceThreadLifetime::kRestarting) {
            // A restart asked for while the previous one still waits on its
            // old thread merges with it on a loaded machine: at least one a
            // toggle, not two.
            EXPECT_GT(mayahost::threadStarts(a.object), 1000);
        } else {
            EXPECT_EQ(mayahost::threadStarts(a.object), 1) << "no restart on a live change";
        }
    }

    // After a thousand toggles the node still takes every frame.
    // (Sent until seen: the definition again first, in case a slow machine
    // let the silence rule make the node await one.)
    EXPECT_TRUE(waitUntil(
        [&] {
            mSender.send(portA, skeletonDefinition(100.0f));
            mSender.send(portA, frameData(9999, 99.0, 149.5f, 0.0f));
            std::this_thread::sleep_for(20ms);
            return popAll(a) && rootX(a) == 149.5f;
        },
        10000ms));
    EXPECT_EQ(mayahost::pendingDeletionCount(), 0u);
}

TEST_F(DeletionUndo, ADeletedNodeFreesItsPortAndTakesItUpAgainOnUndo) {
    const std::uint16_t port = freePort();
    const DeviceNode a = streamingNode(port, 100.0f);
    ASSERT_TRUE(receives(a, port, 101.0f));

    // Deleted, it waits in the undo queue without its socket: a new node
    // binds the same port and streams.
    zemoritest::mel("delete " + a.name);
    EXPECT_EQ(a.node->socketHandle(), 0u);
    EXPECT_EQ(mayahost::undoQueueNodeCount(), 1u);
    const DeviceNode b = streamingNode(port, 500.0f);
    ASSERT_TRUE(receives(b, port, 501.0f));

    // Undo brings the second back live on its port.
    zemoritest::mel("delete " + b.name);
    EXPECT_EQ(b.node->socketHandle(), 0u);
    zemoritest::mel("undo");
    ASSERT_NE(b.node->socketHandle(), 0u);
    EXPECT_EQ(platform::boundPort(b.node->socketHandle()), port);
    ASSERT_TRUE(receives(b, port, 502.0f));

    // The first comes back while the port is taken: it says so and goes
    // off live, and the other streams on.
    zemoritest::mel("undo");
    const std::string aNow = mayahost::nodeName(a.object);
    EXPECT_NE(aNow, b.name) << "its old name went to the second node meanwhile";
    EXPECT_EQ(a.node->socketHandle(), 0u);
    mayahost::processIdleEvents();
    EXPECT_FALSE(mayahost::getBool(a.object, "live"));
    ASSERT_TRUE(receives(b, port, 503.0f));

    // Flushed, the queue destroys it; nothing is left to undo.
    zemoritest::mel("delete " + aNow + "; flushUndo");
    EXPECT_EQ(mayahost::undoQueueNodeCount(), 0u);
    EXPECT_FALSE(mayahost::undoDeletion());
    EXPECT_TRUE(waitUntil([] {
        mayahost::processIdleEvents();
        return mayahost::pendingDeletionCount() == 0;
    }));
    ASSERT_TRUE(receives(b, port, 504.0f));
}

}  // namespace
}  // namespace nodetest
