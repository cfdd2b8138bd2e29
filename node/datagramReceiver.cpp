#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"
#include "plugin/uiBridge.h"

#include "intake/ipv4Address.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kReceiveBufferBytes = 4096;
// Longest a wait for a datagram lasts before the loop looks for a stop
// again: it bounds how long a stop, or a close of the socket, waits.
constexpr int kReceiveWaitMs = 5;
// Datagrams one pass takes at most: about 0.2 ms of work.
constexpr int kDatagramsPerPass = 64;
// Without a socket the thread sleeps until woken (a stop, a socket opened);
// this only covers a live change that comes without either.
constexpr std::chrono::milliseconds kIdleRecheck{100};
// A live socket that hears nothing this long says what to check. On the
// steady clock, not the node's replaceable one: tests move that one freely.
constexpr std::int64_t kSilenceReportNs = 3000000000;

std::int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

MStatus ZemoriDeviceNode::openSocket(int port) {
    if (platform::socketStartup() != 0) {
        const MString text = threadText(msg::kWsaStartError);
        printWideToConsole(text.asWChar());
        return MS::kFailure;
    }
    // The handle is published only once it is bound: the receiving thread
    // must never see an invalid or unbound handle.
    const platform::SocketHandle socket = platform::openUdpSocket();
    if (socket == platform::kInvalidSocket) {
        const unsigned code = platform::lastSocketError();
        const MString text = threadText(msg::kSocketFunctionError);
        printWideToConsole(text.asWChar(), code);
        platform::socketCleanup();
        mSocket = 0;
        return MS::kFailure;
    }
    mBindRefusedForAddress = false;
    mJoinedGroup = 0;
    if (!bindPerSettings(socket, static_cast<std::uint16_t>(port & 0xFFFF))) {
        const unsigned code = platform::lastSocketError();
        if (!mBindRefusedForAddress) {
            const MString text = threadText(msg::kBindSocketError);
            printWideToConsole(text.asWChar(), code);
        }
        platform::closeSocket(socket);
        platform::socketCleanup();
        mSocket = 0;
        return MS::kFailure;
    }
    mBoundPort = platform::boundPort(socket);
    mSilenceText = silenceText(mBoundPort);
    mQuietSinceNs = steadyNowNs();
    mSilenceReported = false;
    mHeardSinceQuiet = false;
    mSocketFailed.store(false);
    {
        // Under the lock, so that a thread about to sleep cannot miss it.
        std::lock_guard<std::mutex> lock(mWakeMutex);
        mSocket = socket;
    }
    mWake.notify_all();
    return MS::kSuccess;
}

bool ZemoriDeviceNode::openLiveSocket(int port, double journalSeconds) {
    // No socket, so the receiving thread is not journalling now.
    mJournal.reserve(CaptureJournal::framesFor(journalSeconds));
    mDefinitionReceivedText = threadText(msg::kSkelDefReceived);
    mOtherSenderText = threadText(msg::kOtherSender);
    mRefusedSenderText = threadText(msg::kRefusedSender);
    const MString initText = threadText(msg::kInitSocket);
    printToConsole(initText.asChar(), port);
    if (openSocket(port) == MS::kFailure) {
        // A listen address or group that failed has said why already.
        if (!mBindRefusedForAddress) {
            const MString portInUse = threadText(msg::kPortInUseError);
            postError(portInUse);
            postDisplayMessage(*this, portInUse);
        }
        // Setting live is a graph edit: it waits for idle time, after the
        // two posts above, so the panel sees the same order.
        mLiveOffPending = true;
        requestIdleWork();
        return false;
    }
    if (mAwaitingSkeletonDefinition && !isCharacterized()) {
        postDisplayMessage(*this, threadText(msg::kAwaitingSkelDef));
    }
    return true;
}

void ZemoriDeviceNode::reportSilence() {
    const std::int64_t now = steadyNowNs();
    // The quiet began at the first empty receive after the last datagram:
    // the clock is read here, never once per datagram.
    if (mHeardSinceQuiet) {
        mHeardSinceQuiet = false;
        mQuietSinceNs = now;
        mSilenceReported = false;
        return;
    }
    if (mSilenceReported || now - mQuietSinceNs < kSilenceReportNs) return;
    mSilenceReported = true;
    mStatusWarned = true;
    postDisplayMessage(*this, mSilenceText);
}

void ZemoriDeviceNode::threadHandler() {
    const std::uint64_t run = mRunsEntered.fetch_add(1) + 1;
    setDone(false);

    while (!isDone() && !stopAskedFor(run)) {
        // Marked before the handle is read: see detachSocket.
        mReceiverHoldsSocket.store(true);
        const platform::SocketHandle socket = mSocket.load();
        if (socket == 0 || mSocketFailed.load() || !isLive()) {
            mReceiverHoldsSocket.store(false);
            waitForSocket(run);
            continue;
        }
        if (!receiveOnce(socket)) {
            // Silently, as a receive that fails ends receiving on that
            // socket; a new socket (live off and on again) starts afresh.
            mSocketFailed.store(true);
        }
        mReceiverHoldsSocket.store(false);
    }
    mRunsExited.fetch_add(1);
    setDone(true);
}

bool ZemoriDeviceNode::receiveOnce(platform::SocketHandle socket) {
    platform::ReceiveResult received =
        platform::receiveDatagramNow(socket, mReceiveBuffer, kReceiveBufferBytes);
    if (received.status == platform::ReceiveStatus::kWouldBlock) {
        reportSilence();
        // Bounded, so that the loop looks for a stop again soon.
        return platform::waitReadable(socket, kReceiveWaitMs) != platform::WaitStatus::kFailed;
    }
    // One pass takes this datagram and those already waiting behind it (up
    // to a bound, so that a stop is still seen soon), each pushed while pose
    // buffers last; the host's throttle then applies once to the pass. Were
    // it to apply to every datagram, a thread woken late by a loaded machine
    // would fall behind a sender just below the throttle's rate for good,
    // until the system dropped datagrams.
    beginThreadLoop();
    bool usable = true;
    for (int taken = 1;; ++taken) {
        if (received.status == platform::ReceiveStatus::kFailed) {
            usable = false;
            break;
        }
        takeDatagram(received);
        if (taken == kDatagramsPerPass) {
            break;
        }
        received = platform::receiveDatagramNow(socket, mReceiveBuffer, kReceiveBufferBytes);
        if (received.status == platform::ReceiveStatus::kWouldBlock) {
            break;
        }
    }
    endThreadLoop();
    return usable;
}

void ZemoriDeviceNode::takeDatagram(const platform::ReceiveResult& received) {
    char* const buffer = mReceiveBuffer;
    if (received.status == platform::ReceiveStatus::kOversized) {
        mStatistics.countDatagram(mClock());
        mStatistics.countRefused();                // longer than any datagram of the format
        mReceiveBufferUsed = kReceiveBufferBytes;  // the system filled the buffer
        return;                                    // and the datagram is dropped
    }
    if (received.bytes <= 0) {
        return;  // an empty datagram carries nothing
    }
    // No stale bytes of an earlier, longer datagram follow this one into the
    // library: what lies past it is cleared, and only what was written.
    if (mReceiveBufferUsed > received.bytes) {
        std::memset(buffer + received.bytes, 0,
                    static_cast<std::size_t>(mReceiveBufferUsed - received.bytes));
    }
    mReceiveBufferUsed = received.bytes;
    mHeardSinceQuiet = true;
    const std::int64_t now = mClock();
    mStatistics.countDatagram(now);

    bool announce = false;
    const SenderTable::Verdict verdict = mSenders.check(
        received.sourceAddress, received.sourcePort, buffer, received.bytes, now,
        static_cast<std::int64_t>(mSilenceThresholdMs * 1000000.0), mAllowList, announce);
    if (verdict == SenderTable::Verdict::kRefuse) {
        mStatistics.countRefused();
        if (announce) announceRefusedSender(received.sourceAddress);
        return;
    }
    if (verdict == SenderTable::Verdict::kIgnore) {
        if (announce) announceOtherSender(received.sourceAddress, buffer);
        return;
    }
    if (static_cast<double>(now - mLastDatagramTime) / 1000000.0 > mSilenceThresholdMs) {
        mAwaitingSkeletonDefinition = true;
    }
    mLastDatagramTime = mClock();
    // Decoded and journalled whether or not a pose buffer is free: the take
    // is made from the journal, so no frame of it waits on an evaluation.
    // The whole buffer's size: the library reads the datagram's own length
    // from its header.
    const JointRecord* records = handlePacket(buffer, kReceiveBufferBytes);

    MCharBuffer storage;
    if (!acquireDataStorage(storage)) {
        mStatistics.countNoBuffer();
        return;  // every pose buffer is taken: the outputs skip this pose
    }
    if (storage.size() < static_cast<long>(kPoseBufferBytes)) {
        releaseDataStorage(storage);  // pools of another size: never write past them
        return;
    }
    std::memcpy(storage.ptr(), records, kPoseBufferBytes);
    pushThreadData(storage);
}

void ZemoriDeviceNode::announceOtherSender(std::uint32_t address, const char* datagram) {
    // Once a sender: the text allocates, the datagrams that follow do not.
    std::uint64_t senderId = 0;
    for (int k = 7; k >= 0; --k) {
        senderId = (senderId << 8) | static_cast<unsigned char>(datagram[12 + k]);
    }
    const std::string dotted = formatIPv4Address(address);
    char line[512];
    std::snprintf(line, sizeof line, mOtherSenderText.asChar(), dotted.c_str(),
                  static_cast<unsigned long long>(senderId), static_cast<int>(mBoundPort));
    postDisplayMessage(*this, MString(line));
}

void ZemoriDeviceNode::announceRefusedSender(std::uint32_t address) {
    // Once a sender, as above: refused datagrams would otherwise look like
    // none at all.
    const std::string dotted = formatIPv4Address(address);
    char line[512];
    std::snprintf(line, sizeof line, mRefusedSenderText.asChar(), dotted.c_str(),
                  static_cast<int>(mBoundPort));
    postDisplayMessage(*this, MString(line));
    mStatusWarned = true;
}

void ZemoriDeviceNode::restoreStatus() {
    mStatusWarned = false;
    if (isCharacterized()) {
        postStreamingStatus(deviceId());
    } else {
        postDisplayMessage(*this, mDefinitionReceivedText);
    }
}

bool ZemoriDeviceNode::stopAskedFor(std::uint64_t run) {
    return mStopForRun.load() >= run;
}

void ZemoriDeviceNode::waitForSocket(std::uint64_t run) {
    std::unique_lock<std::mutex> lock(mWakeMutex);
    mWake.wait_for(lock, kIdleRecheck, [&] {
        return stopAskedFor(run) || isDone() ||
               (isLive() && mSocket.load() != 0 && !mSocketFailed.load());
    });
}

void ZemoriDeviceNode::threadShutdownHandler() {
    // A run in progress is the one to stop. The host calls this only for a
    // thread it runs, so with none in progress the thread has been started
    // but has not entered yet: the stop is for that run, and for no later
    // one. Exits are read first, so a run that ends meanwhile is still
    // counted as in progress.
    const std::uint64_t exited = mRunsExited.load();
    const std::uint64_t entered = mRunsEntered.load();
    const std::uint64_t run = entered > exited ? entered : entered + 1;
    std::uint64_t asked = mStopForRun.load();
    while (asked < run && !mStopForRun.compare_exchange_weak(asked, run)) {
    }
    setDone(true);
    { std::lock_guard<std::mutex> lock(mWakeMutex); }
    mWake.notify_all();
}

const JointRecord* ZemoriDeviceNode::handlePacket(const char* bytes, std::int32_t length) {
    if (mStore.isFrameData(bytes, length)) {
        if (!mAwaitingSkeletonDefinition && isCharacterized()) {
            if (mStore.decodeFrameData(bytes, length)) {
                const FrameHeader& frame = mStore.currentFrame();
                mJournal.append(mStore.poseRecords(), frame.frameNumber, frame.timestamp,
                                mLastDatagramTime, frame.timecode);
                mStatistics.countFrame(frame.frameNumber, frame.timestamp);
            } else {
                mStatistics.countRefused();
            }
        }
    } else if (!mStore.isSkeletonDefinition(bytes, length)) {
        mStatistics.countRefused();
    } else if (mAwaitingSkeletonDefinition) {
        if (mStore.decodeSkeletonDefinition(bytes, length)) {
            mJournal.noteDefinition(mStore.poseRecords());
            setCharacterized(false);
            postEnableBindButton(*this, true);
            postDisplayMessage(*this, mDefinitionReceivedText);
            mStatusWarned = false;
        } else if (mStatusWarned) {
            restoreStatus();  // the stream said silent or refused is back
        }
        // Also for an unchanged or undecodable definition: the stream is
        // known, and so is the sender the node follows from now on.
        mAwaitingSkeletonDefinition = false;
        mSenders.adoptLastChecked();
    }
    return mStore.poseRecords();
}
