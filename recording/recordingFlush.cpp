#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "recording/keyTimeline.h"
#include "recording/unfilledGaps.h"

#include <maya/MAnimControl.h>
#include <maya/MDoubleArray.h>
#include <maya/MDGModifier.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MSelectionList.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

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

// One joint's keys, as one array of times and one of values per curve. The
// arrays are kept from joint to joint, so a take allocates them once.
struct JointKeys {
    MTimeArray times;
    MDoubleArray values[kCurvesPerJoint];
    unsigned int count = 0;

    void setLength(unsigned int length) {
        times.setLength(length);
        for (MDoubleArray& curveValues : values) {
            curveValues.setLength(length);
        }
    }
};

// Recorded times can go back or repeat; a curve takes keys in increasing
// time order, and a later key replaces an earlier one at its time.
void sortKeepingLast(JointKeys& keys) {
    std::vector<unsigned int> order(keys.count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](unsigned int a, unsigned int b) {
        return keys.times[a].value() < keys.times[b].value();
    });
    const JointKeys unsorted = keys;
    unsigned int kept = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const unsigned int from = order[i];
        if (i + 1 < order.size() &&
            unsorted.times[order[i + 1]].value() == unsorted.times[from].value()) {
            continue;
        }
        keys.times.set(unsorted.times[from], kept);
        for (int k = 0; k < kCurvesPerJoint; ++k) {
            keys.values[k][kept] = unsorted.values[k][from];
        }
        ++kept;
    }
    keys.count = kept;
}

// Fills `keys` from one walk of a joint's samples. Keys at times that are
// not finite are left out: a curve has no such key.
// Returns the frames left unfilled in gaps too long to fill.
std::int64_t collectJointKeys(const std::vector<RecordedSample>& samples, MTime::Unit unit,
                              JointKeys& keys) {
    keys.count = 0;
    if (keys.times.length() < samples.size()) {
        keys.setLength(static_cast<unsigned int>(samples.size()));
    }
    bool increasing = true;
    double lastTime = 0.0;
    const std::int64_t unfilled = forEachTakeKey(
        samples.data(), samples.size(), [&](double time, const RecordedSample& sample) {
            if (!std::isfinite(time)) {
                return;
            }
            if (keys.count == keys.times.length()) {
                keys.setLength(2 * keys.count);  // gaps filled past the samples' count
            }
            increasing = increasing && (keys.count == 0 || time > lastTime);
            lastTime = time;
            const unsigned int i = keys.count++;
            keys.times.set(MTime(time, unit), i);
            keys.values[0][i] = sample.translateX;
            keys.values[1][i] = sample.translateY;
            keys.values[2][i] = sample.translateZ;
            keys.values[3][i] = sample.rotateX;
            keys.values[4][i] = sample.rotateY;
            keys.values[5][i] = sample.rotateZ;
        });
    if (!increasing) {
        sortKeepingLast(keys);
    }
    keys.setLength(keys.count);
    return unfilled;
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
    JointKeys keys;
    std::int64_t unfilledFrames = 0;

    for (int joint = 0; joint < kJointCount; ++joint) {
        // The table's names, which the store's records carry too: the store
        // may be decoding on the receiving thread right now.
        const MString baseName = skeleton + "_" + kJointTable[joint].name;
        bool created[kCurvesPerJoint];
        createJointCurves(baseName, curves, created);

        unfilledFrames = std::max(unfilledFrames, collectJointKeys(samples[joint], unit, keys));
        if (keys.count == 0) {
            continue;
        }
        for (int k = 0; k < kCurvesPerJoint; ++k) {
            if (created[k]) {
                curves[k].addKeys(&keys.times, &keys.values[k]);
            }
        }
    }
    warnOfUnfilledFrames(unfilledFrames);
}
