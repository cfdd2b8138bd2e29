#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr int kReceiveBufferBytes = 4096;
// Pause between checks while there is nothing to receive from.
constexpr std::chrono::milliseconds kIdleWait{1};

}  // namespace

MStatus ZemoriDeviceNode::openSocket(int port) {
    if (platform::socketStartup() != 0) {
        const MString text = lookupMessage(msg::kWsaStartError);
        printWideToConsole(text.asWChar());
        return MS::kFailure;
    }
    // The handle is published only once it is bound: the receiving thread
    // must never see an invalid or unbound handle.
    const platform::SocketHandle socket = platform::openUdpSocket();
    if (socket == platform::kInvalidSocket) {
        const unsigned code = platform::lastSocketError();
        const MString text = lookupMessage(msg::kSocketFunctionError);
        printWideToConsole(text.asWChar(), code);
        platform::socketCleanup();
        mSocket = 0;
        return MS::kFailure;
    }
    if (platform::bindAnyAddress(socket, static_cast<std::uint16_t>(port & 0xFFFF)) != 0) {
        const unsigned code = platform::lastSocketError();
        const MString text = lookupMessage(msg::kBindSocketError);
        printWideToConsole(text.asWChar(), code);
        platform::closeSocket(socket);
        platform::socketCleanup();
        mSocket = 0;
        return MS::kFailure;
    }
    mSocket = socket;
    return MS::kSuccess;
}

void ZemoriDeviceNode::threadHandler() {
    // A shutdown asked for before this run got going belongs to this run:
    // clearing done over it would leave the loop running for good.
    if (!mShutdownRequested.exchange(false)) {
        setDone(false);
        // A shutdown that came between the test and the clear would be lost.
        if (mShutdownRequested.exchange(false)) {
            setDone(true);
        }
    }
    // Reused for every datagram; cleared past each datagram so that no stale
    // bytes of an earlier one follow it into the library.
    char buffer[kReceiveBufferBytes] = {};

    while (!isDone()) {
        if (!isLive()) {
            std::this_thread::sleep_for(kIdleWait);
            continue;
        }
        // Read afresh each time: the compute opens and closes the socket.
        const platform::SocketHandle socket = mSocket.load();
        if (socket == 0) {
            std::this_thread::sleep_for(kIdleWait);
            continue;
        }
        const platform::ReceiveResult received =
            platform::receiveDatagram(socket, buffer, kReceiveBufferBytes);
        if (received.status == platform::ReceiveStatus::kFailed) {
            break;
        }
        if (received.status == platform::ReceiveStatus::kOversized || isDone()) {
            continue;
        }
        if (received.bytes <= 0) {
            continue;  // an empty datagram carries nothing; it is our own wake-up
        }
        std::memset(buffer + received.bytes, 0,
                    static_cast<std::size_t>(kReceiveBufferBytes - received.bytes));

        MCharBuffer storage;
        if (!acquireDataStorage(storage)) {
            continue;  // every pose buffer is taken: drop the datagram unlooked-at
        }
        if (storage.size() < static_cast<long>(kPoseBufferBytes)) {
            releaseDataStorage(storage);  // pools of another size: never write past them
            continue;
        }
        beginThreadLoop();
        const std::int64_t now = mClock();
        if (static_cast<double>(now - mLastDatagramTime) / 1000000.0 > mSilenceThresholdMs) {
            mAwaitingSkeletonDefinition = true;
        }
        mLastDatagramTime = mClock();
        // The whole buffer's size: the library reads the datagram's own
        // length from its header.
        const JointRecord* records = handlePacket(buffer, kReceiveBufferBytes);
        std::memcpy(storage.ptr(), records, kPoseBufferBytes);
        pushThreadData(storage);
        endThreadLoop();
    }
    mShutdownRequested = false;
    setDone(true);
}

void ZemoriDeviceNode::threadShutdownHandler() {
    mShutdownRequested = true;
    setDone(true);
    // A receive blocked on the socket would wait for a datagram that may
    // never come; an empty datagram to our own port ends it now.
    const platform::SocketHandle socket = mSocket.load();
    if (socket == 0) {
        return;
    }
    const std::uint16_t port = platform::boundPort(socket);
    if (port == 0 || platform::socketStartup() != 0) {
        return;
    }
    const platform::SocketHandle waker = platform::openUdpSocket();
    if (waker != platform::kInvalidSocket) {
        platform::sendToLoopback(waker, port, "", 0);
        platform::closeSocket(waker);
    }
    platform::socketCleanup();
}

const JointRecord* ZemoriDeviceNode::handlePacket(const char* bytes, std::int32_t length) {
    if (mStore.isFrameData(bytes, length)) {
        if (!mAwaitingSkeletonDefinition && isCharacterized()) {
            mStore.decodeFrameData(bytes, length);
        }
    } else if (mStore.isSkeletonDefinition(bytes, length) && mAwaitingSkeletonDefinition) {
        if (mStore.decodeSkeletonDefinition(bytes, length)) {
            setCharacterized(false);
            postEnableBindButton(*this, true);
            postDisplayMessage(*this, lookupMessage(msg::kSkelDefReceived));
        }
        // Also for an unchanged or undecodable definition: the stream is known.
        mAwaitingSkeletonDefinition = false;
    }
    return mStore.poseRecords();
}
