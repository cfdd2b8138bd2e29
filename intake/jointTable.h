// The fixed 27-joint capture skeleton and the 128-byte joint record that
// travels, 27 at a time, from the receiving thread to the compute.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kJointCount = 27;

struct Vector3d {
    double x, y, z;
};
// Quaternion in the order x, y, z, w.
struct Quaternion4d {
    double x, y, z, w;
};

// One joint of the store. Copied bytewise into pose buffers: `name` points to
// a constant string that lives as long as the program.
struct JointRecord {
    const char* name;
    std::int32_t parentIndex;  // -1 for the root
    std::int32_t reserved;
    Vector3d definitionTranslation;  // centimetres
    Quaternion4d definitionRotation;
    Vector3d currentTranslation;  // centimetres
    Quaternion4d currentRotation;
};

static_assert(sizeof(void*) == 8, "the joint record layout assumes 64-bit pointers");
static_assert(sizeof(JointRecord) == 128);
static_assert(offsetof(JointRecord, name) == 0);
static_assert(offsetof(JointRecord, parentIndex) == 8);
static_assert(offsetof(JointRecord, reserved) == 12);
static_assert(offsetof(JointRecord, definitionTranslation) == 16);
static_assert(offsetof(JointRecord, definitionRotation) == 40);
static_assert(offsetof(JointRecord, currentTranslation) == 72);
static_assert(offsetof(JointRecord, currentRotation) == 96);

inline constexpr std::size_t kPoseBufferBytes = kJointCount * sizeof(JointRecord);  // 3456

// Row of the joint table: name, parent, default translation and rotation.
struct JointDefault {
    const char* name;
    std::int32_t parentIndex;
    Vector3d translation;
    Quaternion4d rotation;
};

// The 27 rows in joint-index order ("root" = 0 .. "r_toes" = 26).
extern const JointDefault kJointTable[kJointCount];
