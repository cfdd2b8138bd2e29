#include "intake/motionDataStore.h"

#include "intake/formatLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The library's seven per-joint arrays of one decode.
struct JointArrays {
    const float* rotationX = nullptr;
    const float* rotationY = nullptr;
    const float* rotationZ = nullptr;
    const float* rotationW = nullptr;
    const float* translationX = nullptr;
    const float* translationY = nullptr;
    const float* translationZ = nullptr;

    // A library that claims success but hands out no array must not make
    // the store read through a null pointer.
    bool complete() const {
        return rotationX && rotationY && rotationZ && rotationW && translationX && translationY &&
               translationZ;
    }
    Vector3d translation(int i, double scale) const {
        return {static_cast<double>(translationX[i]) * scale,
                static_cast<double>(translationY[i]) * scale,
                static_cast<double>(translationZ[i]) * scale};
    }
    Quaternion4d rotation(int i) const {
        return {static_cast<double>(rotationX[i]), static_cast<double>(rotationY[i]),
                static_cast<double>(rotationZ[i]), static_cast<double>(rotationW[i])};
    }
};

// The datagram format's first version whose frames may carry a timecode.
constexpr std::uint16_t kTimecodeVersion = 3;

int clampJoints(std::int32_t count) {
    return std::clamp<std::int32_t>(count, 0, kJointCount);
}

}  // namespace

MotionDataStore::MotionDataStore() {
    for (int i = 0; i < kJointCount; ++i) {
        const JointDefault& row = kJointTable[i];
        JointRecord& r = mRecords[i];
        r.name = row.name;
        r.parentIndex = row.parentIndex;
        r.reserved = 0;
        r.definitionTranslation = row.translation;
        r.definitionRotation = row.rotation;
        r.currentTranslation = row.translation;
        r.currentRotation = row.rotation;
    }
}

int MotionDataStore::detectedFrameRate() const {
    std::lock_guard<std::mutex> lock(mStoreMutex);
    return mDetectedFrameRate;
}

bool MotionDataStore::isFrameData(const char* bytes, std::int32_t length) const {
    const FormatLibraryEntryPoints& lib = gFormatLibrary;
    if (lib.isOsvBytes == nullptr || lib.isFrameDataBytes == nullptr) {
        return false;
    }
    return lib.isOsvBytes(length, bytes) != 0 && lib.isFrameDataBytes(length, bytes) != 0;
}

bool MotionDataStore::isSkeletonDefinition(const char* bytes, std::int32_t length) const {
    const FormatLibraryEntryPoints& lib = gFormatLibrary;
    if (lib.isOsvBytes == nullptr || lib.isSkeletonDefinitionBytes == nullptr) {
        return false;
    }
    return lib.isOsvBytes(length, bytes) != 0 && lib.isSkeletonDefinitionBytes(length, bytes) != 0;
}

bool MotionDataStore::decodeFrameData(const char* bytes, std::int32_t length) {
    const ConvertBytesToFrameDataFn convert = gFormatLibrary.convertBytesToFrameData;
    if (convert == nullptr) {
        return false;
    }
    std::uint64_t senderId = 0;
    std::uint32_t sequence = 0;
    std::int32_t frameNumber = 0;
    float latency = 0.0f;
    double timestamp = 0.0;
    std::int32_t count = 0;
    const std::int32_t* status = nullptr;
    JointArrays a;
    if (convert(length, bytes, &senderId, &sequence, &frameNumber, &latency, &timestamp, &count,
                &status, &a.rotationX, &a.rotationY, &a.rotationZ, &a.rotationW, &a.translationX,
                &a.translationY, &a.translationZ) == 0) {
        return false;
    }
    const int n = clampJoints(count);
    if (n > 0 && !a.complete()) {
        return false;  // treated like a refused datagram: nothing changes
    }

    mPrevious = mCurrent;
    mCurrent.frameNumber = frameNumber;
    mCurrent.timestamp = timestamp;
    mCurrent.jointsInFrame = count;
    mCurrent.timecode = frameTimecode(bytes, length);
    measureFrameRate();

    for (int i = 0; i < n; ++i) {
        mRecords[i].currentTranslation = a.translation(i, mScale);
        mRecords[i].currentRotation = a.rotation(i);
    }
    return true;
}

FrameTimecode MotionDataStore::frameTimecode(const char* bytes, std::int32_t length) const {
    // Asked only of a version that can carry one.
    const ConvertBytesToFrameTimecodeFn convert = gFormatLibrary.convertBytesToFrameTimecode;
    constexpr std::int32_t kVersionOffset = 4;
    std::uint16_t version = 0;
    if (length >= kVersionOffset + static_cast<std::int32_t>(sizeof version)) {
        std::memcpy(&version, bytes + kVersionOffset, sizeof version);
    }
    FrameTimecode timecode;
    if (convert == nullptr || version < kTimecodeVersion ||
        convert(length, bytes, &timecode) == 0 || !timecodeValid(timecode)) {
        return FrameTimecode{};
    }
    return timecode;
}

void MotionDataStore::measureFrameRate() {
    // Written as "previous + 1 == current" in 64 bits so that the largest
    // frame number does not overflow.
    if (static_cast<std::int64_t>(mPrevious.frameNumber) + 1 != mCurrent.frameNumber) {
        return;
    }
    // Whole seconds are ignored; a pair straddling a second gives d < 0.
    const double previous = mPrevious.timestamp - std::trunc(mPrevious.timestamp);
    const double current = mCurrent.timestamp - std::trunc(mCurrent.timestamp);
    const double d = current - previous;
    if (!(d > 0.0 && d < 0.034)) {
        return;
    }
    int rate = 0;
    if (d >= 0.033) {
        rate = 30;
    } else if (d >= 0.019) {
        rate = 50;
    } else if (d >= 0.016) {
        rate = 60;
    } else if (d >= 0.008 && d < 0.009) {
        rate = 120;  // a narrow band: 1/100 s stays unrecognised
    } else {
        return;
    }
    // This thread is the only writer, so reading without the lock is safe;
    // a steady stream then takes no lock for its rate.
    if (rate == mDetectedFrameRate) {
        return;
    }
    std::lock_guard<std::mutex> lock(mStoreMutex);
    mDetectedFrameRate = rate;
}

bool MotionDataStore::decodeSkeletonDefinition(const char* bytes, std::int32_t length) {
    const ConvertBytesToSkeletonDefinitionFn convert =
        gFormatLibrary.convertBytesToSkeletonDefinition;
    if (convert == nullptr) {
        return false;
    }
    std::uint64_t senderId = 0;
    std::uint32_t sequence = 0;
    std::int32_t count = 0;
    std::uint64_t skeletonId = 0;
    std::uint64_t definitionTime = 0;
    JointArrays a;
    if (convert(length, bytes, &senderId, &sequence, &count, &skeletonId, &definitionTime,
                &a.rotationX, &a.rotationY, &a.rotationZ, &a.rotationW, &a.translationX,
                &a.translationY, &a.translationZ) == 0) {
        return false;
    }
    const int n = clampJoints(count);
    if (n <= 0 || !a.complete()) {
        return false;
    }

    // Only translations decide; == is false for NaN, so NaN counts as changed.
    bool same = true;
    for (int i = 0; i < n && same; ++i) {
        const Vector3d stored = mRecords[i].definitionTranslation;
        const Vector3d incoming = a.translation(i, mScale);
        same = stored.x == incoming.x && stored.y == incoming.y && stored.z == incoming.z;
    }
    if (same) {
        return false;
    }

    for (int i = 0; i < n; ++i) {
        JointRecord& r = mRecords[i];
        r.definitionTranslation = a.translation(i, mScale);
        r.currentTranslation = r.definitionTranslation;
        r.definitionRotation = a.rotation(i);
        r.currentRotation = r.definitionRotation;
    }
    return true;
}
