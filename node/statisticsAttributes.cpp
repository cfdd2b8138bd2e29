#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <maya/MDataHandle.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>

MObject ZemoriDeviceNode::mDatagramsReceived;
MObject ZemoriDeviceNode::mFramesDecoded;
MObject ZemoriDeviceNode::mFramesLost;
MObject ZemoriDeviceNode::mFramesOutOfOrder;
MObject ZemoriDeviceNode::mDatagramsRefused;
MObject ZemoriDeviceNode::mPosesPassedOver;
MObject ZemoriDeviceNode::mLastFrameNumber;
MObject ZemoriDeviceNode::mSenderTimestamp;
MObject ZemoriDeviceNode::mArrivalJitter;
MObject ZemoriDeviceNode::mArrivalRate;

namespace {

struct StatisticRow {
    MObject* object;
    const char* longName;
    const char* shortName;
};

// Whole counts first, then the measures (doubles).
constexpr int kCounts = 7;
const StatisticRow kStatistics[] = {
    {&ZemoriDeviceNode::mDatagramsReceived, "datagramsReceived", "dgr"},
    {&ZemoriDeviceNode::mFramesDecoded, "framesDecoded", "fdc"},
    {&ZemoriDeviceNode::mFramesLost, "framesLost", "fls"},
    {&ZemoriDeviceNode::mFramesOutOfOrder, "framesOutOfOrder", "foo"},
    {&ZemoriDeviceNode::mDatagramsRefused, "datagramsRefused", "dgf"},
    {&ZemoriDeviceNode::mPosesPassedOver, "posesPassedOver", "ppo"},
    {&ZemoriDeviceNode::mLastFrameNumber, "lastFrameNumber", "lfn"},
    {&ZemoriDeviceNode::mSenderTimestamp, "senderTimestamp", "sts"},
    {&ZemoriDeviceNode::mArrivalJitter, "arrivalJitter", "ajt"},
    {&ZemoriDeviceNode::mArrivalRate, "arrivalRate", "arr"},
};

}  // namespace

MStatus ZemoriDeviceNode::addStatisticsAttributes() {
    MFnNumericAttribute numeric;
    MStatus status;
    int index = 0;
    for (const StatisticRow& row : kStatistics) {
        const MFnNumericData::Type type =
            index++ < kCounts ? MFnNumericData::kInt : MFnNumericData::kDouble;
        *row.object = numeric.create(row.longName, row.shortName, type, 0, &status);
        if (!status) {
            printDiagnostic((std::string("create ") + row.longName).c_str());
            return MS::kFailure;
        }
        // Figures of the stream, not of the scene: neither set nor saved.
        numeric.setWritable(false);
        numeric.setStorable(false);
        if (!addAttribute(*row.object)) {
            printDiagnostic("addAttribute: ATTR");
            return MS::kFailure;
        }
        // Whatever makes the outputs current makes the figures current too.
        const MObject* sources[] = {&live, &mTime, &mOutputTranslate};
        for (const MObject* source : sources) {
            if (!attributeAffects(*source, *row.object)) {
                printDiagnostic((std::string("attributeAffects:->") + row.longName).c_str());
                return MS::kFailure;
            }
        }
    }
    return MS::kSuccess;
}

bool ZemoriDeviceNode::isStatisticsPlug(const MPlug& plug) {
    for (const StatisticRow& row : kStatistics) {
        if (plug == *row.object) {
            return true;
        }
    }
    return false;
}

MStatus ZemoriDeviceNode::publishStatistics(MDataBlock& block) {
    const StreamSnapshot s = mStatistics.snapshot(mClock());
    const int counts[] = {clampedCount(s.datagramsReceived),
                          clampedCount(s.framesDecoded),
                          clampedCount(s.framesLost),
                          clampedCount(s.framesOutOfOrder),
                          clampedCount(s.datagramsRefused),
                          clampedCount(s.posesPassedOver),
                          s.lastFrameNumber};
    const double measures[] = {s.senderTimestamp, s.jitterMs, s.arrivalRateHz};
    static_assert(sizeof(counts) / sizeof(counts[0]) == kCounts);
    MStatus status;
    int index = 0;
    for (const StatisticRow& row : kStatistics) {
        MDataHandle handle = block.outputValue(*row.object, &status);
        if (!status) {
            return MS::kFailure;
        }
        if (index < kCounts) {
            handle.set(counts[index]);
        } else {
            handle.set(measures[index - kCounts]);
        }
        block.setClean(*row.object);
        ++index;
    }
    return MS::kSuccess;
}
