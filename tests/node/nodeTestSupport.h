// Test support for the device node: a host with the node type registered and
// the motion-format library bound, datagrams built with its encoder, a UDP
// sender on 127.0.0.1 and polling helpers.
#pragma once

#include "intake/linkedFormatLibrary.h"
#include "node/zemoriDeviceNode.h"
#include "ostrevo/ostrevo.h"
#include "platform/sockets.h"
#include "plugin/idleWorkCmd.h"
#include "plugin/headsUpTextCmd.h"
#include "plugin/keepLastCmd.h"
#include "recording/pendingTake.h"
#include "recording/takeNode.h"
#include "tests/support/zemoriPanel.h"

#include <gtest/gtest.h>

#define MNoVersionString
#define MNoPluginEntry
#include <maya/MFnDependencyNode.h>
#include <maya/MFnPlugin.h>
#include <mayahost/host.h>

#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace nodetest {

using namespace std::chrono_literals;

// Polls until the condition holds or the bound passes; the bound only keeps a
// broken build from hanging.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds bound = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

inline void bindFormatLibrary() {
    gFormatLibrary = linkedFormatLibrary();
}

using Datagram = std::vector<char>;

// Joint i of a definition rests at (i + offset, 2i, -i) centimetres; the
// rotation turns about Z by `degrees`.
inline std::array<OsvJointPose, kJointCount> restPose(float offset, float degrees = 0.0f) {
    std::array<OsvJointPose, kJointCount> joints{};
    const float half = degrees * 3.14159265f / 360.0f;
    for (int i = 0; i < kJointCount; ++i) {
        joints[i].rotation[0] = 0.0f;
        joints[i].rotation[1] = 0.0f;
        joints[i].rotation[2] = std::sin(half);
        joints[i].rotation[3] = std::cos(half);
        joints[i].translation[0] = (static_cast<float>(i) + offset) / 100.0f;
        joints[i].translation[1] = 2.0f * static_cast<float>(i) / 100.0f;
        joints[i].translation[2] = -static_cast<float>(i) / 100.0f;
    }
    return joints;
}

inline Datagram skeletonDefinition(float offset) {
    const auto joints = restPose(offset);
    OsvSkeletonDefinition definition{};
    definition.senderId = 7;
    definition.sequence = 1;
    definition.skeletonId = 42;
    definition.jointCount = kJointCount;
    definition.joints = joints.data();
    Datagram bytes(OSV_MAX_DATAGRAM_BYTES);
    const int32_t length =
        OsvEncodeSkeletonDefinition(&definition, bytes.data(), static_cast<int32_t>(bytes.size()));
    bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return bytes;
}

// A frame of the given joint poses.
inline Datagram frameData(int frameNumber, double timestamp,
                          const std::array<OsvJointPose, kJointCount>& joints) {
    OsvFrameData frame{};
    frame.senderId = 7;
    frame.sequence = static_cast<uint32_t>(frameNumber);
    frame.frameNumber = frameNumber;
    frame.timestamp = timestamp;
    frame.jointCount = kJointCount;
    frame.joints = joints.data();
    Datagram bytes(OSV_MAX_DATAGRAM_BYTES);
    const int32_t length =
        OsvEncodeFrameData(&frame, bytes.data(), static_cast<int32_t>(bytes.size()));
    bytes.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return bytes;
}

// A frame whose every joint is moved by `shift` centimetres along X from the
// rest pose of offset 0 and turned about Z by `degrees`.
inline Datagram frameData(int frameNumber, double timestamp, float shift, float degrees) {
    return frameData(frameNumber, timestamp, restPose(shift, degrees));
}

// A UDP socket of the test's own that sends to ports on 127.0.0.1.
class LoopbackSender {
public:
    LoopbackSender() {
        platform::socketStartup();
        mSocket = platform::openUdpSocket();
    }
    ~LoopbackSender() {
        platform::closeSocket(mSocket);
        platform::socketCleanup();
    }
    LoopbackSender(const LoopbackSender&) = delete;
    LoopbackSender& operator=(const LoopbackSender&) = delete;

    bool send(std::uint16_t port, const Datagram& bytes) {
        return platform::sendToLoopback(mSocket, port, bytes.data(),
                                        static_cast<int>(bytes.size())) ==
               static_cast<int>(bytes.size());
    }

private:
    platform::SocketHandle mSocket = 0;
};

struct DeviceNode {
    MObject object;
    std::string name;
    ZemoriDeviceNode* node = nullptr;
};

// Each test starts from a fresh host with the node type registered.
class NodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        mayahost::reset();
        bindFormatLibrary();
        mPlugin = mayahost::createPluginObject("ZemoriNodeTests", ".");
        MFnPlugin plugin(mPlugin);
        ASSERT_EQ(plugin.registerNode("ZemoriDeviceNode", ZemoriDeviceNode::id,
                                      &ZemoriDeviceNode::creator, &ZemoriDeviceNode::initialize,
                                      MPxNode::kThreadedDeviceNode),
                  MS::kSuccess);
        ASSERT_EQ(plugin.registerCommand(kIdleWorkCommandName, &ZemoriIdleWorkCmd::creator),
                  MS::kSuccess);
        ASSERT_EQ(plugin.registerCommand(kKeepLastCommandName, &ZemoriKeepLastCmd::creator),
                  MS::kSuccess);
        ASSERT_EQ(plugin.registerCommand(kHeadsUpTextCommandName, &ZemoriHeadsUpTextCmd::creator),
                  MS::kSuccess);
        ASSERT_EQ(plugin.registerNode(kTakeNodeTypeName, ZemoriTakeNode::id,
                                      &ZemoriTakeNode::creator, &ZemoriTakeNode::initialize),
                  MS::kSuccess);
        zemoritest::loadUiScripts(true);
    }

    void TearDown() override {
        mayahost::reset();
        discardPendingTakes();  // a take the case left running ended with its node
        gFormatLibrary = FormatLibraryEntryPoints{};
    }

    DeviceNode createDeviceNode() {
        DeviceNode created;
        MStatus status;
        created.object = mayahost::createNode("ZemoriDeviceNode", &created.name, &status);
        EXPECT_EQ(status, MS::kSuccess);
        created.node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(created.object).userNode());
        EXPECT_NE(created.node, nullptr);
        zemoritest::openPanel(created.name);
        return created;
    }

    // Switches live on and runs the evaluation that opens the socket on the
    // node's inputPort (0 by default here: a port the system picks).
    std::uint16_t goLive(const DeviceNode& device, int port = 0) {
        mayahost::setInt(device.object, "inputPort", port);
        mayahost::setBool(device.object, "live", true);
        mayahost::evaluate(device.object, "outputTranslations");
        const platform::SocketHandle socket = device.node->socketHandle();
        EXPECT_NE(socket, 0u);
        return socket == 0 ? 0 : platform::boundPort(socket);
    }

    // Sends one datagram and waits until the node has pushed its pose buffer;
    // then idle processing pops it into the outputs.
    void deliver(const DeviceNode& device, std::uint16_t port, const Datagram& bytes) {
        ASSERT_TRUE(mSender.send(port, bytes));
        ASSERT_TRUE(waitUntil([&] { return device.node->threadDataCount() > 0; }));
        ASSERT_TRUE(waitUntil([&] {
            mayahost::processIdleEvents();
            return device.node->threadDataCount() == 0;
        }));
    }

    // Evaluates until every queued pose buffer has been popped: the host
    // evaluates a dirty refresh output once, however many buffers wait.
    bool popAll(const DeviceNode& device) {
        return waitUntil([&] {
            mayahost::processIdleEvents();
            if (device.node->threadDataCount() == 0) {
                return true;
            }
            mayahost::setDouble(device.object, "time", ++mDirtyingTime);
            mayahost::evaluate(device.object, "outputTranslate");
            return device.node->threadDataCount() == 0;
        });
    }

    std::array<float, 3> outputElement(const DeviceNode& device, const char* attribute,
                                       unsigned index) {
        float value[3] = {0, 0, 0};
        EXPECT_EQ(mayahost::getFloat3Element(device.object, attribute, index, value), MS::kSuccess);
        return {value[0], value[1], value[2]};
    }

    MObject mPlugin;
    LoopbackSender mSender;
    double mDirtyingTime = 1000.0;
};

}  // namespace nodetest
