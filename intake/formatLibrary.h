// The motion-format library's five functions as the plug-in calls them, and
// the module-wide table of their addresses. Only the loader writes the table,
// while the plug-in loads or unloads and no node exists.
#pragma once

#include "intake/timecode.h"

#include <cstdint>

// The library declares its answers C bool. Read as bool, an answer other than
// 0 or 1 would be undefined behaviour, so each is read as the one byte a bool
// takes in the x64 calling conventions (the low byte of the return register),
// and any non-zero byte counts as true.
using LibraryAnswer = unsigned char;
static_assert(sizeof(LibraryAnswer) == sizeof(bool));

using IsOsvBytesFn = LibraryAnswer (*)(std::int32_t length, const char* bytes);
using IsSkeletonDefinitionBytesFn = LibraryAnswer (*)(std::int32_t length, const char* bytes);
using IsFrameDataBytesFn = LibraryAnswer (*)(std::int32_t length, const char* bytes);
using ConvertBytesToSkeletonDefinitionFn = LibraryAnswer (*)(
    std::int32_t length, const char* bytes, std::uint64_t* senderId, std::uint32_t* sequence,
    std::int32_t* jointCount, std::uint64_t* skeletonId, std::uint64_t* definitionTime,
    const float** rotationX, const float** rotationY, const float** rotationZ,
    const float** rotationW, const float** translationX, const float** translationY,
    const float** translationZ);
using ConvertBytesToFrameDataFn = LibraryAnswer (*)(
    std::int32_t length, const char* bytes, std::uint64_t* senderId, std::uint32_t* sequence,
    std::int32_t* frameNumber, float* latency, double* timestamp, std::int32_t* jointCount,
    const std::int32_t** jointStatus, const float** rotationX, const float** rotationY,
    const float** rotationZ, const float** rotationW, const float** translationX,
    const float** translationY, const float** translationZ);

// The added export: a frame's 8 timecode bytes. Optional: a library without
// it loads, and its frames carry no timecode.
using ConvertBytesToFrameTimecodeFn = LibraryAnswer (*)(std::int32_t length, const char* bytes,
                                                        FrameTimecode* timecode);

struct FormatLibraryEntryPoints {
    void* module = nullptr;  // none when not loaded; then every entry is absent
    IsOsvBytesFn isOsvBytes = nullptr;
    IsSkeletonDefinitionBytesFn isSkeletonDefinitionBytes = nullptr;
    IsFrameDataBytesFn isFrameDataBytes = nullptr;
    ConvertBytesToSkeletonDefinitionFn convertBytesToSkeletonDefinition = nullptr;
    ConvertBytesToFrameDataFn convertBytesToFrameData = nullptr;
    ConvertBytesToFrameTimecodeFn convertBytesToFrameTimecode = nullptr;  // may stay absent
};

// The one table of the plug-in, shared by every store.
extern FormatLibraryEntryPoints gFormatLibrary;
