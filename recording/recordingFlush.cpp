#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "recording/keyTimeline.h"

#include <maya/MAnimControl.h>
#include <maya/MDGModifier.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MSelectionList.h>
#include <maya/MTime.h>

namespace {

constexpr int kCurvesPerJoint = 6;
const char* const kCurveSuffixes[kCurvesPerJoint] = {"_tx", "_ty", "_tz", "_rx", "_ry", "_rz"};

// Replaces whatever node bears the name by a new free-standing curve.
// Returns whether the curve was made; `status` takes the creation's outcome.
bool createNamedCurve(const MString& name, MFnAnimCurve& curve, MStatus& status) {
    MSelectionList found;
    found.add(name, false);
    MObject existing;
    found.getDependNode(0, existing);
    if (!existing.isNull()) {
        MDGModifier modifier;
        modifier.deleteNode(existing);
        modifier.doIt();
    }
    curve.create(MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    if (!status) {
        // The set is not attached to a new curve: renaming through it would
        // rename the previous joint's curve.
        return false;
    }
    curve.setName(name, false);
    return true;
}

// Makes the six curves of one joint; `created[k]` tells which sets are
// attached to this joint's new curves. Any failed creation is shown once.
void createJointCurves(const MString& baseName, MFnAnimCurve (&curves)[kCurvesPerJoint],
                       bool (&created)[kCurvesPerJoint]) {
    MStatus status;
    bool anyFailed = false;
    for (int k = 0; k < kCurvesPerJoint; ++k) {
        created[k] = createNamedCurve(baseName + kCurveSuffixes[k], curves[k], status);
        anyFailed = anyFailed || !created[k];
    }
    if (anyFailed) {
        MGlobal::displayError(lookupMessage(msg::kCreateCurvesError));
    }
}

}  // namespace

bool ZemoriDeviceNode::flushIsDue() {
    if (MAnimControl::isPlaying()) {
        return false;
    }
    if (isRecording() && isLive()) {
        return false;
    }
    for (const auto& buffer : mRecordBuffers) {
        if (!buffer.empty()) {
            return true;
        }
    }
    return false;
}

void ZemoriDeviceNode::flushRecording() {
    mPendingTakes.emplace_back();
    PendingTake& take = mPendingTakes.back();
    take.skeleton = skeletonName();
    take.framesLost = mStatistics.snapshot(mClock()).framesLost - mFramesLostAtTakeStart;
    for (int joint = 0; joint < kJointCount; ++joint) {
        take.samples[joint].swap(mRecordBuffers[joint]);
        // The next take records into the same room as before.
        mRecordBuffers[joint].reserve(take.samples[joint].capacity());
    }
    requestIdleWork();
}

void ZemoriDeviceNode::writeTake(const MString& skeleton,
                                 std::vector<RecordedSample> (&samples)[kJointCount]) {
    MFnAnimCurve curves[kCurvesPerJoint];
    const MTime::Unit unit = MTime::uiUnit();

    for (int joint = 0; joint < kJointCount; ++joint) {
        // The table's names, which the store's records carry too: the store
        // may be decoding on the receiving thread right now.
        const MString baseName = skeleton + "_" + kJointTable[joint].name;
        bool created[kCurvesPerJoint];
        createJointCurves(baseName, curves, created);

        const std::vector<RecordedSample>& buffer = samples[joint];
        forEachTakeKey(
            buffer.data(), buffer.size(), [&](double time, const RecordedSample& sample) {
                const MTime at(time, unit);
                const double values[kCurvesPerJoint] = {sample.translateX, sample.translateY,
                                                        sample.translateZ, sample.rotateX,
                                                        sample.rotateY,    sample.rotateZ};
                for (int k = 0; k < kCurvesPerJoint; ++k) {
                    if (created[k]) {
                        curves[k].addKeyframe(at, values[k]);
                    }
                }
            });
    }
}
