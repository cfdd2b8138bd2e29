#include "recording/takeNode.h"

#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"

#include <maya/MFnMessageAttribute.h>
#include <maya/MGlobal.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>

MTypeId ZemoriTakeNode::id(0x81052);
MObject ZemoriTakeNode::mTakeNumber;
MObject ZemoriTakeNode::mDeviceId;
MObject ZemoriTakeNode::mFramesRecorded;
MObject ZemoriTakeNode::mGapsFilled;
MObject ZemoriTakeNode::mLongestGapFilled;
MObject ZemoriTakeNode::mGapsUnfilled;
MObject ZemoriTakeNode::mFramesLost;
MObject ZemoriTakeNode::mCaptureRate;
MObject ZemoriTakeNode::mStartTime;
MObject ZemoriTakeNode::mEndTime;
MObject ZemoriTakeNode::mDuration;
MObject ZemoriTakeNode::mKeyEveryFrame;
MObject ZemoriTakeNode::mCaptureTime;
MObject ZemoriTakeNode::mCaptureStamp;
MObject ZemoriTakeNode::mFramesMistimed;
MObject ZemoriTakeNode::mValuesNotNumbers;
MObject ZemoriTakeNode::mKeysLimited;
MObject ZemoriTakeNode::mTimecodeRate;
MObject ZemoriTakeNode::mTimecodeDropFrame;
MObject ZemoriTakeNode::mCurves;

void* ZemoriTakeNode::creator() {
    return new ZemoriTakeNode();
}

MStatus ZemoriTakeNode::initialize() {
    struct Row {
        MObject* object;
        const char* longName;
        const char* shortName;
        MFnNumericData::Type type;
    };
    const Row rows[] = {
        {&mTakeNumber, "takeNumber", "tkn", MFnNumericData::kInt},
        {&mDeviceId, "deviceId", "did", MFnNumericData::kInt},
        {&mFramesRecorded, "framesRecorded", "frc", MFnNumericData::kInt},
        {&mGapsFilled, "gapsFilled", "gfl", MFnNumericData::kInt},
        {&mLongestGapFilled, "longestGapFilled", "lgf", MFnNumericData::kInt},
        {&mGapsUnfilled, "gapsUnfilled", "guf", MFnNumericData::kInt},
        {&mFramesLost, "framesLost", "fls", MFnNumericData::kInt},
        {&mCaptureRate, "captureRate", "cpr", MFnNumericData::kInt},
        {&mStartTime, "startTime", "stt", MFnNumericData::kDouble},  // scene frames
        {&mEndTime, "endTime", "ent", MFnNumericData::kDouble},
        {&mDuration, "duration", "dur", MFnNumericData::kDouble},  // seconds of capture
        {&mKeyEveryFrame, "keyEveryFrame", "kef", MFnNumericData::kBoolean},
        {&mCaptureTime, "captureTime", "cpt", MFnNumericData::kDouble},
        {&mCaptureStamp, "captureStamp", "cps", MFnNumericData::kDouble},
        {&mFramesMistimed, "framesMistimed", "fmt", MFnNumericData::kInt},
        {&mValuesNotNumbers, "valuesNotNumbers", "vnn", MFnNumericData::kInt},
        {&mKeysLimited, "keysLimited", "klm", MFnNumericData::kBoolean},
        {&mTimecodeRate, "timecodeRate", "tcr", MFnNumericData::kDouble},
        {&mTimecodeDropFrame, "timecodeDropFrame", "tcd", MFnNumericData::kBoolean},
    };
    MFnNumericAttribute numeric;
    MStatus status;
    for (const Row& row : rows) {
        *row.object = numeric.create(row.longName, row.shortName, row.type, 0, &status);
        if (!status) {
            printDiagnostic("create take attribute");
            return MS::kFailure;
        }
        numeric.setWritable(true);
        numeric.setStorable(true);
        status = addAttribute(*row.object);
        if (!status) {
            printDiagnostic("addAttribute: take");
            return MS::kFailure;
        }
    }
    MFnMessageAttribute message;
    mCurves = message.create("curves", "crv", &status);
    if (!status || !message.setArray(true) || !addAttribute(mCurves)) {
        printDiagnostic("addAttribute: take curves");
        return MS::kFailure;
    }
    return MS::kSuccess;
}

void storeTakeText(const MString& take, const StageTakeText& stage) {
    const struct {
        const char* attribute;
        const std::string* text;
    } rows[] = {{"takeName", &stage.name},
                {"notes", &stage.notes},
                {"description", &stage.description},
                {"databasePath", &stage.databasePath},
                {"result", &stage.result}};
    for (const auto& row : rows) {
        MGlobal::executeCommand(MString("addAttr -longName \"") + row.attribute +
                                "\" -dataType \"string\" \"" + take + "\"");
        MGlobal::executeCommand(MString("setAttr \"") + take + "." + row.attribute +
                                "\" -type \"string\" " +
                                melStringLiteral(MString(row.text->c_str())));
    }
}
