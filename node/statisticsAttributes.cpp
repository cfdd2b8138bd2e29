#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <maya/MDataHandle.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>

#include <cstddef>
#include <optional>

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
MObject ZemoriDeviceNode::mDatagramsDroppedNoBuffer;
MObject ZemoriDeviceNode::mDatagramsDroppedBySystem;
MObject ZemoriDeviceNode::mFramesJournalled;
MObject ZemoriDeviceNode::mFramesFellOffJournal;

namespace {

constexpr MFnNumericData::Type kCount = MFnNumericData::kInt;
constexpr MFnNumericData::Type kMeasure = MFnNumericData::kDouble;

struct StatisticRow {
    MObject* object;
    const char* longName;
    const char* shortName;
    MFnNumericData::Type type;
};

// In the order the attributes are added; publishStatistics gives the values
// in the same order.
const StatisticRow kStatistics[] = {
    {&ZemoriDeviceNode::mDatagramsReceived, "datagramsReceived", "dgr", kCount},
    {&ZemoriDeviceNode::mFramesDecoded, "framesDecoded", "fdc", kCount},
    {&ZemoriDeviceNode::mFramesLost, "framesLost", "fls", kCount},
    {&ZemoriDeviceNode::mFramesOutOfOrder, "framesOutOfOrder", "foo", kCount},
    {&ZemoriDeviceNode::mDatagramsRefused, "datagramsRefused", "dgf", kCount},
    {&ZemoriDeviceNode::mPosesPassedOver, "posesPassedOver", "ppo", kCount},
    {&ZemoriDeviceNode::mLastFrameNumber, "lastFrameNumber", "lfn", kCount},
    {&ZemoriDeviceNode::mSenderTimestamp, "senderTimestamp", "sts", kMeasure},
    {&ZemoriDeviceNode::mArrivalJitter, "arrivalJitter", "ajt", kMeasure},
    {&ZemoriDeviceNode::mArrivalRate, "arrivalRate", "arr", kMeasure},
    {&ZemoriDeviceNode::mDatagramsDroppedNoBuffer, "datagramsDroppedNoBuffer", "dnb", kCount},
    {&ZemoriDeviceNode::mDatagramsDroppedBySystem, "datagramsDroppedBySystem", "dds", kCount},
    {&ZemoriDeviceNode::mFramesJournalled, "framesJournalled", "fjl", kCount},
    {&ZemoriDeviceNode::mFramesFellOffJournal, "framesFellOffJournal", "ffj", kCount},
};
constexpr std::size_t kStatisticCount = sizeof(kStatistics) / sizeof(kStatistics[0]);

}  // namespace

MStatus ZemoriDeviceNode::addStatisticsAttributes() {
    MFnNumericAttribute numeric;
    MStatus status;
    for (const StatisticRow& row : kStatistics) {
        *row.object = numeric.create(row.longName, row.shortName, row.type, 0, &status);
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
    // Counts are whole and within the int range, so a double holds them exactly.
    const double values[] = {
        static_cast<double>(clampedCount(s.datagramsReceived)),
        static_cast<double>(clampedCount(s.framesDecoded)),
        static_cast<double>(clampedCount(s.framesLost)),
        static_cast<double>(clampedCount(s.framesOutOfOrder)),
        static_cast<double>(clampedCount(s.datagramsRefused)),
        static_cast<double>(clampedCount(s.posesPassedOver)),
        static_cast<double>(s.lastFrameNumber),
        s.senderTimestamp,
        s.jitterMs,
        s.arrivalRateHz,
        static_cast<double>(clampedCount(s.datagramsDroppedNoBuffer)),
        static_cast<double>(clampedCount(readSystemDrops())),
        static_cast<double>(clampedCount(static_cast<std::int64_t>(mJournal.written()))),
        static_cast<double>(clampedCount(mFellOffJournal))};
    static_assert(sizeof(values) / sizeof(values[0]) == kStatisticCount);
    MStatus status;
    std::size_t index = 0;
    for (const StatisticRow& row : kStatistics) {
        MDataHandle handle = block.outputValue(*row.object, &status);
        if (!status) {
            return MS::kFailure;
        }
        const double value = values[index++];
        if (row.type == kCount) {
            handle.set(static_cast<int>(value));
        } else {
            handle.set(value);
        }
        block.setClean(*row.object);
    }
    return MS::kSuccess;
}

std::int64_t ZemoriDeviceNode::readSystemDrops() {
    // The main thread alone opens and closes the socket, so it stays open here.
    const platform::SocketHandle socket = mSocket.load();
    if (socket != 0) {
        if (const std::optional<std::int64_t> drops = platform::socketDropCount(socket)) {
            mSystemDrops = mSystemDropsOfClosedSockets + *drops;
        }
    }
    return mSystemDrops;
}
