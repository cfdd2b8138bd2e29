// A scripted stand-in for the motion-format library: plain functions that
// answer what the test set in gFake and record how they were called.
#pragma once

#include "intake/formatLibrary.h"
#include "intake/motionDataStore.h"

#include <array>
#include <cstdint>

struct FakeLibrary {
    static constexpr int kArraySize = 64;

    // Answers, as the bytes the functions return.
    LibraryAnswer isOsv = true;
    LibraryAnswer isSkeleton = false;
    LibraryAnswer isFrame = false;
    LibraryAnswer convertSucceeds = true;
    bool nullArrays = false;
    std::int32_t jointCount = 27;
    std::int32_t frameNumber = 0;
    double timestamp = 0.0;
    // rotation x, y, z, w, translation x, y, z; element i is joint i
    std::array<std::array<float, kArraySize>, 7> arrays{};

    // Observations.
    int isOsvCalls = 0;
    int isSkeletonCalls = 0;
    int isFrameCalls = 0;
    int convertCalls = 0;
    bool outputsWereZero = true;
    std::int32_t lastLength = 0;
    const char* lastBytes = nullptr;

    void setTranslation(int joint, float x, float y, float z) {
        arrays[4][joint] = x;
        arrays[5][joint] = y;
        arrays[6][joint] = z;
    }
    void setRotation(int joint, float x, float y, float z, float w) {
        arrays[0][joint] = x;
        arrays[1][joint] = y;
        arrays[2][joint] = z;
        arrays[3][joint] = w;
    }
};

extern FakeLibrary gFake;

// A store followed by a guard zone, to catch writes past its records.
struct GuardedStore {
    static constexpr unsigned char kPattern = 0xA5;
    MotionDataStore store;
    unsigned char guard[4096];

    GuardedStore() {
        for (unsigned char& b : guard) {
            b = kPattern;
        }
    }
    bool intact() const {
        for (unsigned char b : guard) {
            if (b != kPattern) {
                return false;
            }
        }
        return true;
    }
};

// Resets gFake and fills gFormatLibrary with the fake's five functions.
void installFakeLibrary();
// Clears gFormatLibrary as the loader leaves it when the library is missing.
void clearFormatLibrary();
