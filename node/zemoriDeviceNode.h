// The plug-in's threaded device node: one incoming capture stream on one UDP
// port. It owns the motion data store, the socket, the awaiting/characterized
// flags, the sender-rate table and the 27 per-joint recording buffers.
#pragma once

#include "intake/motionDataStore.h"
#include "platform/sockets.h"
#include "recording/recordedSample.h"

#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ZemoriDeviceNode : public MPxThreadedDeviceNode {
public:
    ZemoriDeviceNode();
    ~ZemoriDeviceNode() override;

    void postConstructor() override;
    MStatus compute(const MPlug& plug, MDataBlock& block) override;
    void threadHandler() override;
    void threadShutdownHandler() override;

    static void* creator();
    static MStatus initialize();

    static MTypeId id;
    static MObject mInputPort;
    static MObject mTime;
    static MObject mRecording;
    static MObject mDeviceIdAttr;
    static MObject mOutputTranslate;
    static MObject mOutputTranslations;
    static MObject mOutputRotations;

    bool isCharacterized();
    void setCharacterized(bool characterized);
    void closeSocket();

    // Receiving side.
    MStatus openSocket(int port);
    const JointRecord* handlePacket(const char* bytes, std::int32_t length);

    // Compute side.
    MStatus populateOutputs(MDataBlock& block, const JointRecord* records);
    bool isRecording();

    // Naming and frame rate.
    MString skeletonName();
    void applySenderRate(int senderRate);

    // Recording flush.
    void flushRecording();

    // Read-only views for tests and tools.
    const MotionDataStore& store() const { return mStore; }
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
    bool flushIsDue();

    MotionDataStore mStore;
    std::vector<RecordedSample> mRecordBuffers[kJointCount];
    std::atomic<bool> mAwaitingSkeletonDefinition;
    std::mutex mStateMutex;
    bool mCharacterized;
    std::string mSkeletonNameTemplate;
    std::atomic<platform::SocketHandle> mSocket;
    int mAppliedSenderRate;
    std::map<int, int> mFrameRateBySenderRate;
    std::int64_t mLastDatagramTime;
    double mSilenceThresholdMs;
    Clock mClock;
    // Set by threadShutdownHandler until the receiving loop has ended.
    std::atomic<bool> mShutdownRequested{false};
};
