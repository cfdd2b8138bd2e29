// The node on a studio network: one sender per node, the allow-list, the
// listen address and the multicast group. Every datagram stays on this
// machine: unicast to 127.0.0.0/8, multicast out of 127.0.0.1 with TTL 0.
#include "tests/node/nodeTestSupport.h"
#include "tests/support/loopbackAddresses.h"

#include <maya/MPlug.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace nodetest {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;   // 127.0.0.1
constexpr std::uint32_t kLoopback2 = 0x7F000002;  // 127.0.0.2
constexpr std::uint32_t kGroup = 0xEFFF4D4D;      // 239.255.77.77

Datagram definitionFrom(std::uint64_t senderId, float offset) {
    const auto joints = restPose(offset);
    OsvSkeletonDefinition definition{};
    definition.senderId = senderId;
    definition.skeletonId = 42;
    definition.jointCount = kJointCount;
    definition.joints = joints.data();
    Datagram bytes(OSV_MAX_DATAGRAM_BYTES);
    bytes.resize(static_cast<std::size_t>(std::max<int32_t>(
        0, OsvEncodeSkeletonDefinition(&definition, bytes.data(), OSV_MAX_DATAGRAM_BYTES))));
    return bytes;
}

Datagram frameFrom(std::uint64_t senderId, int frameNumber, float shift) {
    const auto joints = restPose(shift);
    OsvFrameData frame{};
    frame.senderId = senderId;
    frame.frameNumber = frameNumber;
    frame.timestamp = frameNumber / 50.0;
    frame.jointCount = kJointCount;
    frame.joints = joints.data();
    Datagram bytes(OSV_MAX_DATAGRAM_BYTES);
    bytes.resize(static_cast<std::size_t>(
        std::max<int32_t>(0, OsvEncodeFrameData(&frame, bytes.data(), OSV_MAX_DATAGRAM_BYTES))));
    return bytes;
}

// A socket of the test's own bound to one loopback address (or multicasting
// out of 127.0.0.1 with TTL 0: the datagrams never leave the machine).
class BoundSender {
public:
    explicit BoundSender(std::uint32_t from, bool multicast = false) {
        platform::socketStartup();
        mSocket = platform::openUdpSocket();
        mOk = platform::bindAddress(mSocket, from, 0) == 0 &&
              (!multicast || platform::setMulticastSending(mSocket, kLoopback, 0) == 0);
    }
    ~BoundSender() {
        platform::closeSocket(mSocket);
        platform::socketCleanup();
    }
    bool ok() const { return mOk; }
    bool send(std::uint32_t to, std::uint16_t port, const Datagram& bytes) {
        return platform::sendToAddress(mSocket, to, port, bytes.data(),
                                       static_cast<int>(bytes.size())) ==
               static_cast<int>(bytes.size());
    }

private:
    platform::SocketHandle mSocket = 0;
    bool mOk = false;
};

SenderSnapshot senderAt(const ZemoriDeviceNode& node, std::uint32_t address, std::uint64_t id) {
    for (const SenderSnapshot& s : node.senders()) {
        if (s.address == address && s.senderId == id) return s;
    }
    return {};
}

int statusLinesContaining(const std::string& text) {
    int count = 0;
    for (const std::string& command : mayahost::commandLog()) {
        if (command.rfind("displayMessage ", 0) == 0 && command.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

bool setText(const DeviceNode& device, const std::string& attribute, const std::string& text) {
    return mayahost::runMel("setAttr -type \"string\" " + device.name + "." + attribute + " \"" +
                            text + "\"");
}

std::string getText(const DeviceNode& device, const std::string& attribute) {
    return MPlug(device.object, attribute == "allowedSenders"  ? ZemoriDeviceNode::mAllowedSenders
                                : attribute == "listenAddress" ? ZemoriDeviceNode::mListenAddress
                                                               : ZemoriDeviceNode::mMulticastGroup)
        .asString()
        .asChar();
}

class StudioNetworkTest : public NodeTest {};

// Two capture applications on one port: the node follows the one whose
// definition it took, counts the other's datagrams as ignored and says so
// once; after its sender has been silent past the gap, the other's
// definition moves it.
TEST_F(StudioNetworkTest, SecondSenderOnThePortIsIgnoredUntilTheFirstFallsSilent) {
    std::atomic<std::int64_t> now{1000000000};
    DeviceNode device = createDeviceNode();
    device.node->setClockForTesting([&] { return now.load(); });
    const std::uint16_t port = goLive(device);
    BoundSender first(kLoopback);
    BoundSender second(kLoopback);
    ASSERT_TRUE(first.ok() && second.ok());

    ASSERT_TRUE(first.send(kLoopback, port, definitionFrom(7, 0.0f)));
    ASSERT_TRUE(waitUntil([&] { return !device.node->isAwaitingSkeletonDefinition(); }));
    ASSERT_TRUE(second.send(kLoopback, port, definitionFrom(0xB0B, 50.0f)));
    for (int n = 1; n <= 5; ++n) ASSERT_TRUE(second.send(kLoopback, port, frameFrom(0xB0B, n, 30)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback, 0xB0B).ignored == 6; }));

    // The store holds the first sender's definition: joint 1 rests at 1 cm.
    EXPECT_NEAR(device.node->store().poseRecords()[1].definitionTranslation.x, 1.0, 1e-4);
    const SenderSnapshot followed = device.node->senders().front();
    EXPECT_TRUE(followed.followed);
    EXPECT_EQ(followed.senderId, 7u);
    EXPECT_EQ(followed.ignored, 0);
    const SenderSnapshot other = senderAt(*device.node, kLoopback, 0xB0B);
    EXPECT_FALSE(other.followed);
    EXPECT_EQ(other.accepted, 0);
    const std::string said = "Another sender (127.0.0.1, id b0b) is sending to port " +
                             std::to_string(port) + "; its datagrams are ignored";
    mayahost::processIdleEvents();
    EXPECT_EQ(statusLinesContaining(said), 1);

    // A restarted first sender (same id and address, new source port) is the same sender.
    BoundSender restarted(kLoopback);
    ASSERT_TRUE(restarted.send(kLoopback, port, frameFrom(7, 1, 2.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback, 7).accepted == 2; }));

    // Within the gap a definition of the other changes nothing.
    ASSERT_TRUE(second.send(kLoopback, port, definitionFrom(0xB0B, 50.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback, 0xB0B).ignored == 7; }));
    mayahost::processIdleEvents();
    EXPECT_EQ(statusLinesContaining(said), 1) << "said once, not per datagram";

    // Past the gap of silence it takes over.
    now += 1500000000;
    ASSERT_TRUE(second.send(kLoopback, port, definitionFrom(0xB0B, 50.0f)));
    ASSERT_TRUE(waitUntil([&] { return device.node->senders().front().senderId == 0xB0Bu; }));
    EXPECT_NEAR(device.node->store().poseRecords()[1].definitionTranslation.x, 51.0, 1e-4);
}

// The allow-list as set, refused whole when an entry is bad; the listen
// address, refused when malformed and leaving no socket when the machine
// lacks it.
TEST_F(StudioNetworkTest, AllowListAndListenAddressAcceptWhomAndWhereTheySay) {
    const std::string notApart = zemoritest::loopbackAddressesNotToldApart();
    if (!notApart.empty()) GTEST_SKIP() << notApart;
    DeviceNode device = createDeviceNode();
    ASSERT_TRUE(setText(device, "allowedSenders", "127.0.0.2"));
    ASSERT_TRUE(setText(device, "listenAddress", "127.0.0.1"));
    EXPECT_EQ(device.node->listenAddress(), kLoopback);
    const std::uint16_t port = goLive(device);
    BoundSender allowed(kLoopback2);
    BoundSender other(kLoopback);
    ASSERT_TRUE(allowed.ok() && other.ok());

    ASSERT_TRUE(other.send(kLoopback, port, definitionFrom(1, 9.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback, 1).refused == 1; }));
    EXPECT_TRUE(device.node->isAwaitingSkeletonDefinition());
    ASSERT_TRUE(allowed.send(kLoopback, port, definitionFrom(2, 0.0f)));
    ASSERT_TRUE(waitUntil([&] { return !device.node->isAwaitingSkeletonDefinition(); }));
    EXPECT_EQ(senderAt(*device.node, kLoopback2, 2).accepted, 1);

    // A bad entry: the whole list is refused, naming it; the one in force stays.
    EXPECT_TRUE(setText(device, "allowedSenders", "127.0.0.1, 10.0.0.300"));
    mayahost::processIdleEvents();
    EXPECT_GE(statusLinesContaining("'10.0.0.300' is not an IPv4 address or range"), 1);
    EXPECT_EQ(getText(device, "allowedSenders"), "127.0.0.2");
    ASSERT_TRUE(other.send(kLoopback, port, frameFrom(1, 1, 9.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback, 1).refused == 2; }));
    // Refused datagrams are not silence: the status line says why, once.
    mayahost::processIdleEvents();
    EXPECT_EQ(statusLinesContaining("Datagrams from 127.0.0.1 to port " + std::to_string(port) +
                                    " are refused: that address is not in allowedSenders"),
              1);
    // The followed sender refused in turn by a new list, and said once; let
    // back in after a gap, and its stream known again, the line no longer
    // says that datagrams are refused.
    EXPECT_TRUE(setText(device, "allowedSenders", "127.0.0.1"));
    ASSERT_TRUE(allowed.send(kLoopback, port, frameFrom(2, 1, 0.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback2, 2).refused == 1; }));
    // Counted before the line is queued: waited for, not read at once.
    EXPECT_TRUE(waitUntil([&] {
        mayahost::processIdleEvents();
        return statusLinesContaining("Datagrams from 127.0.0.2") == 1;
    }));
    const int known = statusLinesContaining("Data received");
    EXPECT_TRUE(setText(device, "allowedSenders", "127.0.0.2"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(allowed.send(kLoopback, port, definitionFrom(2, 0.0f)));
    EXPECT_TRUE(waitUntil([&] {
        mayahost::processIdleEvents();
        return statusLinesContaining("Data received") == known + 1;
    }));
    // A range takes both.
    EXPECT_TRUE(setText(device, "allowedSenders", "127.0.0.0/30"));
    ASSERT_TRUE(other.send(kLoopback, port, frameFrom(1, 2, 9.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*device.node, kLoopback, 1).ignored == 1; }));

    // Malformed: refused, the address in force stays and so does the socket.
    EXPECT_TRUE(setText(device, "listenAddress", "127.0.0"));
    mayahost::processIdleEvents();
    EXPECT_EQ(getText(device, "listenAddress"), "127.0.0.1");
    EXPECT_NE(device.node->socketHandle(), 0u);
    // An address no machine has (TEST-NET-1): no socket, live off, and why.
    EXPECT_TRUE(setText(device, "listenAddress", "192.0.2.1"));
    EXPECT_EQ(device.node->socketHandle(), 0u);
    ASSERT_TRUE(waitUntil([&] {
        mayahost::processIdleEvents();
        return !mayahost::getBool(device.object, "live");
    }));
    EXPECT_GE(statusLinesContaining("this workstation has no address 192.0.2.1"), 1);
}

// A live node that hears nothing for 3 s names what to check.
TEST_F(StudioNetworkTest, ASilentLiveNodeSaysWhatToCheck) {
    DeviceNode device = createDeviceNode();
    ASSERT_TRUE(setText(device, "listenAddress", "127.0.0.1"));
    const std::uint16_t port = goLive(device);
    const std::string said = "Nothing has arrived on port " + std::to_string(port) +
                             " for 3 s. Check: this workstation's addresses on the chosen "
                             "interface (127.0.0.1) and the port; that the capture application "
                             "sends there; that the firewall lets UDP port " +
                             std::to_string(port) + " in";
    EXPECT_TRUE(waitUntil(
        [&] {
            mayahost::processIdleEvents();
            return statusLinesContaining(said) == 1;
        },
        15000ms));
}

// Two nodes of one session join one group on one port; one datagram to the
// group reaches both. Groups outside 224.0.0.0/4, or in 224.0.0.0/24, are refused.
TEST_F(StudioNetworkTest, TwoNodesJoinedToOneGroupBothReceiveIt) {
    DeviceNode a = createDeviceNode();
    DeviceNode b = createDeviceNode();
    for (const char* bad : {"10.0.0.1", "224.0.0.251", "239.255.1", "240.0.0.1"}) {
        EXPECT_TRUE(setText(a, "multicastGroup", bad));
        mayahost::processIdleEvents();
        EXPECT_EQ(getText(a, "multicastGroup"), "") << bad;
        EXPECT_EQ(a.node->multicastGroup(), 0u) << bad;
    }
    for (const DeviceNode* device : {&a, &b}) {
        ASSERT_TRUE(setText(*device, "listenAddress", "127.0.0.1"));
        ASSERT_TRUE(setText(*device, "multicastGroup", "239.255.77.77"));
    }
    const std::uint16_t port = goLive(a);
    ASSERT_NE(port, 0);
    ASSERT_EQ(goLive(b, port), port) << "the group's port is shared";
    BoundSender sender(kLoopback, true);
    ASSERT_TRUE(sender.ok());
    ASSERT_TRUE(sender.send(kGroup, port, definitionFrom(5, 0.0f)));
    for (const DeviceNode* device : {&a, &b}) {
        ASSERT_TRUE(waitUntil([&] { return !device->node->isAwaitingSkeletonDefinition(); }))
            << device->name;
    }
    // Leaving the group on close: a node no longer live receives nothing.
    mayahost::setBool(b.object, "live", false);
    mayahost::evaluate(b.object, "outputTranslations");
    ASSERT_EQ(b.node->socketHandle(), 0u);
    ASSERT_TRUE(sender.send(kGroup, port, frameFrom(5, 1, 1.0f)));
    ASSERT_TRUE(waitUntil([&] { return senderAt(*a.node, kLoopback, 5).accepted == 2; }));
    EXPECT_EQ(senderAt(*b.node, kLoopback, 5).accepted, 1);
}

}  // namespace
}  // namespace nodetest
