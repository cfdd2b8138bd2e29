// Per-node store of the 27 joint records: classifies datagrams and decodes
// them through the motion-format library, converts translations to
// centimetres and detects the sender's frame rate (30, 50, 60 or 120).
//
// Threads: the receiving thread is the only writer of the records and frame
// headers; the detected rate is the one value shared with the compute: it is
// written, and read by other threads, under storeMutex only (the writer
// compares with it unlocked, to skip a write that changes nothing).
#pragma once

#include "intake/jointTable.h"
#include "intake/timecode.h"

#include <cstdint>
#include <mutex>

struct FrameHeader {
    std::int32_t frameNumber = 0;
    double timestamp = 0.0;  // seconds
    std::int32_t jointsInFrame = 0;
    FrameTimecode timecode;  // not present: none sent, or a library without the export
};

class MotionDataStore {
public:
    MotionDataStore();
    MotionDataStore(const MotionDataStore&) = delete;
    MotionDataStore& operator=(const MotionDataStore&) = delete;

    int jointCount() const { return kJointCount; }
    // The 27 records as one contiguous 3456-byte block.
    const JointRecord* poseRecords() const { return mRecords; }
    int detectedFrameRate() const;

    // Ask IsOsvBytes, then the kind's own function, with the same arguments.
    // False when the library's entry points are absent.
    bool isFrameData(const char* bytes, std::int32_t length) const;
    bool isSkeletonDefinition(const char* bytes, std::int32_t length) const;

    // Updates the current pose of the joints the frame carries (at most 27),
    // the frame headers and the detected rate. A datagram the library
    // refuses, or an answer without joint arrays, changes nothing and
    // returns false.
    bool decodeFrameData(const char* bytes, std::int32_t length);
    // True only when the definition differs (in some translation of the
    // joints it carries) from the stored one and has been taken over as rest
    // and current pose. False, changing nothing, when it is the same, has no
    // joints, or is refused.
    bool decodeSkeletonDefinition(const char* bytes, std::int32_t length);

    const FrameHeader& currentFrame() const { return mCurrent; }
    const FrameHeader& previousFrame() const { return mPrevious; }

private:
    void measureFrameRate();
    // The frame's timecode through the library's added export; none for an
    // earlier version, a library without it, or one it refuses.
    FrameTimecode frameTimecode(const char* bytes, std::int32_t length) const;

    const double mScale = 100.0;
    JointRecord mRecords[kJointCount];
    FrameHeader mCurrent;
    FrameHeader mPrevious;
    mutable std::mutex mStoreMutex;
    std::int32_t mDetectedFrameRate = 50;
};
