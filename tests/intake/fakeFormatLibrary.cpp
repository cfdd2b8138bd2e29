#include "fakeFormatLibrary.h"

FakeLibrary gFake;

namespace {

void record(std::int32_t length, const char* bytes) {
    gFake.lastLength = length;
    gFake.lastBytes = bytes;
}

LibraryAnswer fakeIsOsv(std::int32_t length, const char* bytes) {
    record(length, bytes);
    ++gFake.isOsvCalls;
    return gFake.isOsv;
}

LibraryAnswer fakeIsSkeleton(std::int32_t length, const char* bytes) {
    record(length, bytes);
    ++gFake.isSkeletonCalls;
    return gFake.isSkeleton;
}

LibraryAnswer fakeIsFrame(std::int32_t length, const char* bytes) {
    record(length, bytes);
    ++gFake.isFrameCalls;
    return gFake.isFrame;
}

template <typename T>
void expectZero(const T* p) {
    if (p == nullptr || *p != T{}) {
        gFake.outputsWereZero = false;
    }
}

void handOutArrays(const float** out[7]) {
    for (int c = 0; c < 7; ++c) {
        expectZero(out[c]);
        *out[c] = gFake.nullArrays ? nullptr : gFake.arrays[c].data();
    }
}

LibraryAnswer fakeConvertSkeleton(std::int32_t length, const char* bytes, std::uint64_t* senderId,
                                  std::uint32_t* sequence, std::int32_t* jointCount,
                                  std::uint64_t* skeletonId, std::uint64_t* definitionTime,
                                  const float** rx, const float** ry, const float** rz,
                                  const float** rw, const float** tx, const float** ty,
                                  const float** tz) {
    record(length, bytes);
    ++gFake.convertCalls;
    expectZero(senderId);
    expectZero(sequence);
    expectZero(jointCount);
    expectZero(skeletonId);
    expectZero(definitionTime);
    const float** arrays[7] = {rx, ry, rz, rw, tx, ty, tz};
    if (!gFake.convertSucceeds) {
        return false;
    }
    *senderId = 99;
    *jointCount = gFake.jointCount;
    handOutArrays(arrays);
    return gFake.convertSucceeds;
}

LibraryAnswer fakeConvertFrame(std::int32_t length, const char* bytes, std::uint64_t* senderId,
                               std::uint32_t* sequence, std::int32_t* frameNumber, float* latency,
                               double* timestamp, std::int32_t* jointCount,
                               const std::int32_t** jointStatus, const float** rx, const float** ry,
                               const float** rz, const float** rw, const float** tx,
                               const float** ty, const float** tz) {
    record(length, bytes);
    ++gFake.convertCalls;
    expectZero(senderId);
    expectZero(sequence);
    expectZero(frameNumber);
    expectZero(latency);
    expectZero(timestamp);
    expectZero(jointCount);
    expectZero(jointStatus);
    const float** arrays[7] = {rx, ry, rz, rw, tx, ty, tz};
    if (!gFake.convertSucceeds) {
        return false;
    }
    *frameNumber = gFake.frameNumber;
    *timestamp = gFake.timestamp;
    *jointCount = gFake.jointCount;
    *latency = 3.5f;
    handOutArrays(arrays);
    return gFake.convertSucceeds;
}

}  // namespace

void installFakeLibrary() {
    gFake = FakeLibrary{};
    static int moduleStandIn = 0;
    gFormatLibrary.module = &moduleStandIn;
    gFormatLibrary.isOsvBytes = fakeIsOsv;
    gFormatLibrary.isSkeletonDefinitionBytes = fakeIsSkeleton;
    gFormatLibrary.isFrameDataBytes = fakeIsFrame;
    gFormatLibrary.convertBytesToSkeletonDefinition = fakeConvertSkeleton;
    gFormatLibrary.convertBytesToFrameData = fakeConvertFrame;
}

void clearFormatLibrary() {
    gFormatLibrary = FormatLibraryEntryPoints{};
}
