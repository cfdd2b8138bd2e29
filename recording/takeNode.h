// ZemoriTake: what the scene keeps of one recorded take besides its curves.
// A plain node with the take's number and report, named after the take's
// curves: the latest take of a skeleton is "<skeleton>_take<N>" and holds
// the unsuffixed curves; an older take's curves bear its "_take<N>" suffix.
// It computes nothing; its attributes are set and its curves connected when
// the take is written.
#pragma once

#include "recording/pendingTake.h"

#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

class ZemoriTakeNode : public MPxNode {
public:
    static void* creator();
    static MStatus initialize();

    static MTypeId id;
    static MObject mTakeNumber;
    static MObject mDeviceId;
    static MObject mFramesRecorded;
    static MObject mGapsFilled;
    static MObject mLongestGapFilled;
    static MObject mGapsUnfilled;
    static MObject mFramesLost;
    static MObject mCaptureRate;
    static MObject mStartTime;
    static MObject mEndTime;
    static MObject mDuration;
    static MObject mKeyEveryFrame;
    // Where the capture's clock meets the scene's: the first captured frame's
    // time in scene frames, and its sender timestamp in seconds.
    static MObject mCaptureTime;
    static MObject mCaptureStamp;
    // Frames left out for a time stamp the stream did not follow, joint
    // values not keyed for not being numbers, and whether the take was keyed
    // at its captured frames only to keep within its key budget.
    static MObject mFramesMistimed;
    static MObject mValuesNotNumbers;
    static MObject mKeysLimited;
    // The timecode's frames a second (29.97002997... for 29.97; 0 without a
    // timecode) and whether it is drop-frame. startTimecode and endTimecode,
    // its text, are string attributes added when the take is written
    // (takeTimecode.h).
    static MObject mTimecodeRate;
    static MObject mTimecodeDropFrame;
    // The take's own curves: each curve's message connects to element
    // joint * 6 + channel (tx, ty, tz, rx, ry, rz), so that a node that
    // merely bears a curve's name is never taken for one.
    static MObject mCurves;
};

inline constexpr const char* kTakeNodeTypeName = "ZemoriTake";

// Stores what the stage said of the take on its take node `take` as string
// attributes: takeName, notes, description, databasePath and result (all
// empty for a take recorded by hand). Dynamic attributes, added as Maya's
// addAttr adds them, so that a scene file keeps them.
void storeTakeText(const MString& take, const StageTakeText& stage);
