// The plug-in's threaded device node: one incoming capture stream on one UDP
// port. It owns the motion data store, the socket, the awaiting/characterized
// flags, the sender-rate table and the 27 per-joint recording buffers.
#pragma once

#include "intake/motionDataStore.h"
#include "node/streamStatistics.h"
#include "platform/sockets.h"
#include "recording/recordedSample.h"

#include <maya/MDataBlock.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ZemoriDeviceNode : public MPxThreadedDeviceNode {
public:
    ZemoriDeviceNode();
    ~ZemoriDeviceNode() override;

    // Refresh through outputTranslate, frameRate for a 50 fps sender, and
    // three pose-buffer pools.
    void postConstructor() override;
    // Keeps the socket in step with live, fills the two output arrays from
    // the newest queued pose (older ones are handed back, counted) and
    // records while recording and playing. kUnknownParameter for a plug that
    // is not an output; kFailure when the port cannot be bound, no pose is
    // queued, or filling the outputs fails (the pose is handed back anyway).
    MStatus compute(const MPlug& plug, MDataBlock& block) override;
    // The receiving loop on the node's own thread; ends only when a stop is
    // asked for this run. A socket whose receive fails is not used again.
    void threadHandler() override;
    // Asks the current run (or the one the host is starting) to stop; the
    // loop sees it within one receive wait.
    void threadShutdownHandler() override;

    static void* creator();
    // Adds the seven attributes and their dependencies; the first failure is
    // written to std::cerr and ends setup with kFailure.
    static MStatus initialize();

    static MTypeId id;
    static MObject mInputPort;
    static MObject mTime;
    static MObject mRecording;
    static MObject mDeviceIdAttr;
    static MObject mOutputTranslate;
    static MObject mOutputTranslations;
    static MObject mOutputRotations;
    // Stream statistics, read-only outputs after the seven (statisticsAttributes.cpp).
    static MObject mDatagramsReceived;
    static MObject mFramesDecoded;
    static MObject mFramesLost;
    static MObject mFramesOutOfOrder;
    static MObject mDatagramsRefused;
    static MObject mPosesPassedOver;
    static MObject mLastFrameNumber;
    static MObject mSenderTimestamp;
    static MObject mArrivalJitter;
    static MObject mArrivalRate;
    static MObject mDatagramsDroppedNoBuffer;
    static MObject mDatagramsDroppedBySystem;
    // Adds them, affected by what dirties the outputs; called by initialize.
    static MStatus addStatisticsAttributes();
    static bool isStatisticsPlug(const MPlug& plug);
    // Writes a snapshot of the counts into every statistics attribute.
    MStatus publishStatistics(MDataBlock& block);

    // Whether a character is bound to the current skeleton definition; any thread.
    bool isCharacterized();
    void setCharacterized(bool characterized);
    // Closes the socket and balances its startup; nothing when none is open.
    // Waits until the receiving thread is out of any call on the socket, so
    // that a closed handle is never received on. Safe against a concurrent close.
    void closeSocket();

    // Receiving side.
    // Binds a UDP socket on every address and the low 16 bits of the port;
    // kFailure (with a console line, no socket kept) when that fails.
    MStatus openSocket(int port);
    // One pass of the receiving loop (the node's thread; public for
    // benchmarks): takes the waiting datagram, or waits up to a few
    // milliseconds for one, and hands it on. False when the socket failed
    // and must not be used again.
    bool receiveOnce(platform::SocketHandle socket);
    // Classifies one datagram (in a buffer of `length` bytes) and decodes it
    // when it is awaited; returns the store's 27 records.
    const JointRecord* handlePacket(const char* bytes, std::int32_t length);

    // Compute side.
    // Writes the 27 translations and rotations and appends samples while
    // recording and playing; kFailure (with a diagnostic) when the host refuses.
    MStatus populateOutputs(MDataBlock& block, const JointRecord* records);
    // The recording attribute; true when it cannot be read.
    bool isRecording();

    // Naming and frame rate.
    // "zemoriCharacter<deviceId>_Skeleton", the id written as unsigned.
    MString skeletonName();
    // Writes the node frame rate for a sender rate of 30, 50, 60 or 120; any
    // other rate writes nothing.
    void applySenderRate(int senderRate);

    // Recording flush. Compute may not edit the graph, so it only hands the
    // buffered take over (flushRecording); the curves are written at idle
    // time by runIdleWork, on the main thread outside any evaluation.
    // Empties the buffers into a pending take of this skeleton; a take
    // recorded afterwards is never mixed into it.
    void flushRecording();
    // Replaces the 162 curves of the take's skeleton by its samples.
    void writeTake(const MString& skeleton, std::vector<RecordedSample> (&samples)[kJointCount]);

    // Main thread, outside evaluation: writes what compute left pending
    // (takes, the node frame rate, live off after a failed bind). A changed
    // frame rate, which makes the host restart the node's thread, is written
    // only when `mayRestart` (else the next compute with a pose asks again);
    // returns whether it was written.
    bool runIdleWork(bool mayRestart = true);
    // The device id as last read on the main thread; any thread.
    int deviceId() const { return mDeviceId.load(); }
    // Rereads the deviceId attribute (main thread).
    void refreshDeviceId();

    // Read-only views for tests and tools.
    const MotionDataStore& store() const { return mStore; }
    const StreamStatistics& statistics() const { return mStatistics; }
    const std::vector<RecordedSample>& recordBuffer(int joint) const {
        return mRecordBuffers[joint];
    }
    bool isAwaitingSkeletonDefinition() const { return mAwaitingSkeletonDefinition.load(); }
    platform::SocketHandle socketHandle() const { return mSocket.load(); }
    int appliedSenderRate() const { return mAppliedSenderRate; }

    // The monotonic clock of the silence rule, in nanoseconds; replaceable in tests.
    using Clock = std::function<std::int64_t()>;
    void setClockForTesting(Clock clock) { mClock = std::move(clock); }

private:
    // Playback stopped, recording off or not live, and some sample buffered.
    bool flushIsDue();
    // While live: queues the panel's summary line unless one went out less
    // than a second of the node's clock ago.
    void postStreamSummaryWhenDue();
    // Queues runIdleWork for the host's next idle time, once.
    void requestIdleWork();
    // Takes the socket out of mSocket and waits until the receiving thread
    // holds it no more; 0 when none was open.
    platform::SocketHandle detachSocket();
    // Main thread: the datagrams the system dropped for this node's sockets,
    // closed ones included; -1 while the system has given no count.
    std::int64_t readSystemDrops();
    // Closes a detached socket and balances its startup, keeping its drop count.
    void releaseSocket(platform::SocketHandle socket);
    // Whether a stop was asked for run `run` (counted from 1).
    bool stopAskedFor(std::uint64_t run);
    // Waits, without spinning, until a stop, a live socket or a timeout.
    void waitForSocket(std::uint64_t run);

    struct PendingTake {
        MString skeleton;
        std::vector<RecordedSample> samples[kJointCount];
        std::int64_t framesLost = 0;  // in the stream while it was recorded
    };

    MotionDataStore mStore;
    StreamStatistics mStatistics;
    std::vector<RecordedSample> mRecordBuffers[kJointCount];
    std::atomic<bool> mAwaitingSkeletonDefinition;
    std::mutex mStateMutex;
    bool mCharacterized;
    std::string mSkeletonNameTemplate;
    std::atomic<platform::SocketHandle> mSocket;
    int mAppliedSenderRate;
    std::map<int, int> mFrameRateBySenderRate;
    std::int64_t mLastDatagramTime;
    // The receiving thread's buffer, reused for every datagram; bytes past
    // mReceiveBufferUsed are zero.
    char mReceiveBuffer[4096] = {};
    int mReceiveBufferUsed = 0;
    double mSilenceThresholdMs;
    Clock mClock;

    // Receiving-thread runs and stops: a stop names the run it is for.
    std::atomic<std::uint64_t> mRunsEntered{0};
    std::atomic<std::uint64_t> mRunsExited{0};
    std::atomic<std::uint64_t> mStopForRun{0};
    // True while the receiving thread may be inside a call on mSocket.
    std::atomic<bool> mReceiverHoldsSocket{false};
    // Set by the thread when a receive on the current socket failed.
    std::atomic<bool> mSocketFailed{false};
    std::mutex mWakeMutex;
    std::condition_variable mWake;

    std::atomic<int> mDeviceId{0};
    MCallbackId mAttributeCallback = 0;

    // Main thread only: the system's drops on sockets already closed, and
    // the figure last read (-1 before any).
    std::int64_t mSystemDropsOfClosedSockets = 0;
    std::int64_t mSystemDrops = -1;

    // Main thread only: work for runIdleWork.
    std::deque<PendingTake> mPendingTakes;
    // Frames the stream had lost when the current take's first sample came.
    std::int64_t mFramesLostAtTakeStart = 0;
    int mWantedSenderRate = 50;
    bool mLiveOffPending = false;
    // When the summary line was last posted in this live period.
    bool mSummaryPosted = false;
    std::int64_t mSummaryPostedAt = 0;
};
