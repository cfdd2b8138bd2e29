#include "node/zemoriDeviceNode.h"

#include <maya/MObjectArray.h>

#include <chrono>

MTypeId ZemoriDeviceNode::id(0x81051);
MObject ZemoriDeviceNode::mInputPort;
MObject ZemoriDeviceNode::mTime;
MObject ZemoriDeviceNode::mRecording;
MObject ZemoriDeviceNode::mDeviceIdAttr;
MObject ZemoriDeviceNode::mOutputTranslate;
MObject ZemoriDeviceNode::mOutputTranslations;
MObject ZemoriDeviceNode::mOutputRotations;

namespace {

std::int64_t steadyClockNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::size_t kReservedSamplesPerJoint = 1000;

}  // namespace

ZemoriDeviceNode::ZemoriDeviceNode()
    : mStore(),
      mRecordBuffers(),
      mAwaitingSkeletonDefinition(true),
      mStateMutex(),
      mCharacterized(false),
      mSkeletonNameTemplate("zemoriCharacter{index}_Skeleton"),
      mSocket(0),
      mAppliedSenderRate(50),
      mFrameRateBySenderRate{{30, 60}, {50, 80}, {60, 90}},
      mLastDatagramTime(0),
      mSilenceThresholdMs(1000.0),
      mClock(&steadyClockNanoseconds) {
    for (int joint = 0; joint < mStore.jointCount(); ++joint) {
        if (mRecordBuffers[joint].capacity() < kReservedSamplesPerJoint) {
            mRecordBuffers[joint].reserve(kReservedSamplesPerJoint);
        }
    }
}

ZemoriDeviceNode::~ZemoriDeviceNode() {
    closeSocket();
    destroyMemoryPools();
}

void* ZemoriDeviceNode::creator() {
    return new ZemoriDeviceNode();
}

void ZemoriDeviceNode::postConstructor() {
    MObjectArray refreshAttributes;
    refreshAttributes.append(mOutputTranslate);
    setRefreshOutputAttributes(refreshAttributes);

    mAppliedSenderRate = 50;
    applySenderRate(50);

    // One pool item per joint record: a buffer holds exactly one pose.
    createMemoryPools(3, kJointCount, static_cast<long>(sizeof(JointRecord)));
}

bool ZemoriDeviceNode::isCharacterized() {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mCharacterized;
}

void ZemoriDeviceNode::setCharacterized(bool characterized) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mCharacterized = characterized;
}

void ZemoriDeviceNode::closeSocket() {
    // Taking the handle out first means a second, concurrent close finds 0
    // and cannot close a handle the system may already have reused.
    const platform::SocketHandle socket = mSocket.exchange(0);
    if (socket == 0) {
        return;
    }
    platform::closeSocket(socket);
    platform::socketCleanup();
}
