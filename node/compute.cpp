#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"
#include "plugin/uiBridge.h"
#include "recording/outputFloat.h"
#include "recording/rotation.h"

#include <maya/MArrayDataBuilder.h>
#include <maya/MArrayDataHandle.h>
#include <maya/MDataHandle.h>

namespace {

constexpr std::int64_t kSummaryIntervalNs = 1000000000;

// Everything one evaluation writes: both arrays with all their elements. A
// plug left dirty would run compute again when the skeleton pulls it, and
// find no pose to pop.
void cleanOutputs(MDataBlock& block) {
    block.setClean(ZemoriDeviceNode::mOutputTranslations);
    block.setClean(ZemoriDeviceNode::mOutputRotations);
    block.setClean(ZemoriDeviceNode::mOutputTranslate);
}

bool plugIsOrBelongsTo(const MPlug& plug, const MObject& attribute) {
    return plug == attribute || plug.parent() == attribute;
}

// An input of the node from the data block; 0 (or false) when it cannot be read.
double inputDouble(MDataBlock& block, const MObject& attribute) {
    MStatus status;
    const MDataHandle handle = block.inputValue(attribute, &status);
    return status ? handle.asDouble() : 0.0;
}
int inputInt(MDataBlock& block, const MObject& attribute) {
    MStatus status;
    const MDataHandle handle = block.inputValue(attribute, &status);
    return status ? handle.asInt() : 0;
}
bool inputBool(MDataBlock& block, const MObject& attribute) {
    MStatus status;
    const MDataHandle handle = block.inputValue(attribute, &status);
    return status && handle.asBool();
}

}  // namespace

MStatus ZemoriDeviceNode::compute(const MPlug& plug, MDataBlock& block) {
    if (isStatisticsPlug(plug)) {
        return publishStatistics(block);  // takes no pose: reading figures consumes nothing
    }
    if (!plugIsOrBelongsTo(plug, mOutputTranslate) &&
        !plugIsOrBelongsTo(plug, mOutputTranslations) &&
        !plugIsOrBelongsTo(plug, mOutputRotations)) {
        return MS::kUnknownParameter;
    }

    // Inputs come from the data block, never from plugs: compute may run on
    // an evaluation thread. The device id is kept for the receiving thread's
    // posts and for the take's names (the UI scripts may renumber the node).
    mDeviceId.store(inputInt(block, mDeviceIdAttr));
    const bool recording = isRecording(block);
    mKeyOnTimecodeSetting.store(inputBool(block, mKeyOnTimecode));
    // Before anything can fail: a take follows the journal, not the poses shown.
    MStatus timeRead;
    const MDataHandle time = block.inputValue(mTime, &timeRead);
    if (timeRead) {
        recordFromJournal(recording, time.asDouble(), inputDouble(block, mPreRoll),
                          inputBool(block, mKeyEveryFrame));
    } else if (recording) {
        printDiagnostic("Error getting Time value");  // no take can begin without it
    }

    if (isLive()) {
        if (mLiveOffPending) {
            return MS::kFailure;  // the port was in use; live goes off at idle time
        }
        if (mSocket.load() == 0) {
            // Out of the graph (kept for undo) the port stays free.
            if (!mInGraph.load() ||
                !openLiveSocket(inputInt(block, mInputPort), inputDouble(block, mJournalSeconds))) {
                return MS::kFailure;
            }
        }

        postStreamSummaryWhenDue();
        postHeadsUpRefreshWhenDue();

        // Refreshes coalesce, so poses pushed since the last evaluation may
        // wait behind this one: the outputs take the newest, the older go back.
        MCharBuffer popped[2];
        int newest = 0;
        if (!popThreadData(popped[newest])) {
            return MS::kFailure;
        }
        std::int64_t passedOver = 0;
        while (popThreadData(popped[1 - newest])) {
            releaseDataStorage(popped[newest]);
            newest = 1 - newest;
            ++passedOver;
        }
        if (passedOver > 0) {
            mStatistics.countPassedOver(passedOver);
        }
        MCharBuffer& pose = popped[newest];
        // frameRate is an attribute: it is set at idle time, not here.
        mWantedSenderRate = mStore.detectedFrameRate();
        if (mWantedSenderRate != mAppliedSenderRate) {
            requestIdleWork();
        }
        const MStatus populated =
            populateOutputs(block, reinterpret_cast<const JointRecord*>(pose.ptr()));
        if (!populated) {
            printDiagnostic("Failed in populating block\n");
            // Handed back here too: a buffer kept would be lost to the
            // receiving thread for good.
            releaseDataStorage(pose);
            return MS::kFailure;
        }
        cleanOutputs(block);
        releaseDataStorage(pose);
        return MS::kSuccess;
    }

    // Once the socket is out of the thread's reach no decode can run, so
    // the store's records are read whole.
    const platform::SocketHandle socket = detachSocket();
    if (!populateOutputs(block, mStore.poseRecords())) {
        printDiagnostic("Failed in populating block\n");
        mSocket.store(socket);  // closed, with its console line, by a later evaluation
        return MS::kFailure;
    }
    cleanOutputs(block);
    if (socket != 0) {
        const MString closingText = threadText(msg::kClosingSocket);
        printToConsole(closingText.asChar());
        releaseSocket(socket);
        // The figures as live ended; the next live period starts posting at once.
        postStreamSummary(*this, mStatistics.snapshot(mClock()));
        mSummaryPosted = false;
        postHeadsUpRefresh(deviceId());
        mHeadsUpPosted = false;
    }
    postAvailableIPs(*this);
    return MS::kSuccess;
}

void ZemoriDeviceNode::postStreamSummaryWhenDue() {
    const std::int64_t now = mClock();
    if (mSummaryPosted && now - mSummaryPostedAt < kSummaryIntervalNs) {
        return;
    }
    mSummaryPosted = true;
    mSummaryPostedAt = now;
    // The command text allocates; that is acceptable here, on the main thread
    // once a second, and the receiving thread takes no part in it.
    postStreamSummary(*this, mStatistics.snapshot(now));
}

MStatus ZemoriDeviceNode::populateOutputs(MDataBlock& block, const JointRecord* records) {
    MStatus status;
    MArrayDataHandle translationsHandle = block.outputArrayValue(mOutputTranslations, &status);
    if (!status) {
        printDiagnostic("Error in block.outputArrayValue for outputTranslations");
        return MS::kFailure;
    }
    MArrayDataHandle rotationsHandle = block.outputArrayValue(mOutputRotations, &status);
    if (!status) {
        printDiagnostic("Error in block.outputArrayValue for outputRotations");
        return MS::kFailure;
    }
    MArrayDataBuilder translationsBuilder = translationsHandle.builder(&status);
    if (!status) {
        printDiagnostic("Error in translationsBuilder = translationsHandle.builder.\n");
        return MS::kFailure;
    }
    MArrayDataBuilder rotationsBuilder = rotationsHandle.builder(&status);
    if (!status) {
        printDiagnostic("Error in rotationsBuilder = rotationsHandle.builder.\n");
        return MS::kFailure;
    }

    for (int joint = 0; joint < kJointCount; ++joint) {
        const JointRecord& record = records[joint];
        MDataHandle translateElement =
            translationsBuilder.addElement(static_cast<unsigned>(joint), &status);
        if (!status) {
            printDiagnostic("ERROR in translate = translationsBuilder.addElement.\n");
            return MS::kFailure;
        }
        // Only the root moves; the other joints keep the definition's offsets.
        const Vector3d& translation =
            joint == 0 ? record.currentTranslation : record.definitionTranslation;
        float3& translate = translateElement.asFloat3();
        translate[0] = toOutputFloat(translation.x);
        translate[1] = toOutputFloat(translation.y);
        translate[2] = toOutputFloat(translation.z);

        MDataHandle rotateElement =
            rotationsBuilder.addElement(static_cast<unsigned>(joint), &status);
        if (!status) {
            return MS::kFailure;
        }
        const Quaternion4d& q = record.currentRotation;
        const EulerDegrees angles = quaternionToEulerDegrees(q.x, q.y, q.z, q.w);
        float3& rotate = rotateElement.asFloat3();
        rotate[0] = static_cast<float>(angles.x);
        rotate[1] = static_cast<float>(angles.y);
        rotate[2] = static_cast<float>(angles.z);
    }

    if (!translationsHandle.set(translationsBuilder)) {
        printDiagnostic("set translationsBuilder failed\n");
        return MS::kFailure;
    }
    if (!rotationsHandle.set(rotationsBuilder)) {
        printDiagnostic("set rotationsBuilder failed\n");
        return MS::kFailure;
    }
    return MS::kSuccess;
}

bool ZemoriDeviceNode::isRecording(MDataBlock& block) {
    MStatus status;
    const MDataHandle handle = block.inputValue(mRecording, &status);
    if (!status) {
        printDiagnostic("Error getting Recording value");
        return true;
    }
    return handle.asBool();
}
