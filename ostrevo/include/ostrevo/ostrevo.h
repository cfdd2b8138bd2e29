/* Ostrevo motion-format library: classifies, decodes and encodes the UDP
 * datagrams of a motion-capture stream (skeleton definitions and frame data).
 * The byte layout is documented in docs/datagram-format.md.
 *
 * Decoding: every function takes the number of bytes the caller may read
 * (usually its whole receive buffer, 4096) and the bytes. The datagram's own
 * extent is read from its header; nothing past either length is read. Array
 * outputs point into storage owned by the calling thread, valid until that
 * thread's next conversion call; null output pointers are skipped. Decoding
 * never allocates (beyond the per-thread storage the runtime may set up at a
 * thread's first call). */
#ifndef OSTREVO_OSTREVO_H
#define OSTREVO_OSTREVO_H

#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(OSTREVO_BUILDING)
#define OSTREVO_API __declspec(dllexport)
#else
#define OSTREVO_API __declspec(dllimport)
#endif
#else
#define OSTREVO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Largest datagram a receiver accepts, and the most joints one may carry. */
#define OSV_MAX_DATAGRAM_BYTES 4096
#define OSV_MAX_JOINTS 120

/* --- Decoding: the five functions a receiver resolves by name. --- */

/* True when the bytes hold a complete, intact datagram of this format
 * (magic, version, known kind, declared length within `length`, CRC). */
OSTREVO_API bool IsOsvBytes(int32_t length, const char* bytes);
/* True for an intact skeleton-definition datagram. */
OSTREVO_API bool IsSkeletonDefinitionBytes(int32_t length, const char* bytes);
/* True for an intact frame-data datagram. */
OSTREVO_API bool IsFrameDataBytes(int32_t length, const char* bytes);

/* Decodes a skeleton definition. False (outputs untouched) for anything that
 * is not an intact skeleton definition. */
OSTREVO_API bool ConvertBytesToSkeletonDefinition(
    int32_t length, const char* bytes, uint64_t* senderId, uint32_t* sequence, int32_t* jointCount,
    uint64_t* skeletonId, uint64_t* definitionTimeNs, const float** rotationX,
    const float** rotationY, const float** rotationZ, const float** rotationW,
    const float** translationX, const float** translationY, const float** translationZ);

/* Decodes a frame. False (outputs untouched) for anything that is not an
 * intact frame-data datagram. */
OSTREVO_API bool ConvertBytesToFrameData(int32_t length, const char* bytes, uint64_t* senderId,
                                         uint32_t* sequence, int32_t* frameNumber, float* latencyMs,
                                         double* timestamp, int32_t* jointCount,
                                         const int32_t** jointStatus, const float** rotationX,
                                         const float** rotationY, const float** rotationZ,
                                         const float** rotationW, const float** translationX,
                                         const float** translationY, const float** translationZ);

/* --- Timecode (datagram version 3). --- */

/* The timecode rates, as the codes a datagram carries. */
#define OSV_TIMECODE_RATE_23_976 1
#define OSV_TIMECODE_RATE_24 2
#define OSV_TIMECODE_RATE_25 3
#define OSV_TIMECODE_RATE_29_97 4
#define OSV_TIMECODE_RATE_30 5
#define OSV_TIMECODE_RATE_47_95 6
#define OSV_TIMECODE_RATE_48 7
#define OSV_TIMECODE_RATE_50 8
#define OSV_TIMECODE_RATE_59_94 9
#define OSV_TIMECODE_RATE_60 10

/* Bits of OsvTimecode.flags. Drop-frame only with 29.97 and 59.94. */
#define OSV_TIMECODE_PRESENT 0x01
#define OSV_TIMECODE_DROP_FRAME 0x02

/* A frame's SMPTE timecode, 8 bytes as on the wire. Without the present
 * flag every byte is 0. subframe: the captured frame's place within its
 * timecode frame (0 for the first), 0 .. 99. */
typedef struct OsvTimecode {
    uint8_t hours;    /* 0 .. 23 */
    uint8_t minutes;  /* 0 .. 59 */
    uint8_t seconds;  /* 0 .. 59 */
    uint8_t frames;   /* below the rate's nominal frames a second */
    uint8_t subframe; /* 0 .. 99 */
    uint8_t rate;     /* OSV_TIMECODE_RATE_* */
    uint8_t flags;    /* OSV_TIMECODE_PRESENT | OSV_TIMECODE_DROP_FRAME */
    uint8_t reserved; /* 0 */
} OsvTimecode;

/* The timecode of an intact frame-data datagram: version 3 carries one
 * (present or not), earlier versions none (all zero). False (output
 * untouched) for anything that is not an intact frame-data datagram. */
OSTREVO_API bool ConvertBytesToFrameTimecode(int32_t length, const char* bytes,
                                             OsvTimecode* timecode);

/* --- Encoding, for senders. --- */

/* One joint's pose: quaternion x, y, z, w and translation in metres. */
typedef struct OsvJointPose {
    float rotation[4];
    float translation[3];
} OsvJointPose;

typedef struct OsvSkeletonDefinition {
    uint64_t senderId;
    uint32_t sequence;
    uint64_t skeletonId;
    uint64_t definitionTimeNs;
    int32_t jointCount; /* 0 .. OSV_MAX_JOINTS */
    const OsvJointPose* joints;
} OsvSkeletonDefinition;

typedef struct OsvFrameData {
    uint64_t senderId;
    uint32_t sequence;
    int32_t frameNumber;
    float latencyMs;
    double timestamp;           /* seconds */
    int32_t jointCount;         /* 0 .. OSV_MAX_JOINTS */
    const int32_t* jointStatus; /* may be NULL: every joint 0 */
    const OsvJointPose* joints;
} OsvFrameData;

/* Write the datagram into out (capacity bytes). Returns its length in bytes,
 * or -1 when an argument is invalid or the datagram does not fit. */
OSTREVO_API int32_t OsvEncodeSkeletonDefinition(const OsvSkeletonDefinition* definition, char* out,
                                                int32_t capacity);
/* Writes version 2 (no timecode), which receivers of every version read. */
OSTREVO_API int32_t OsvEncodeFrameData(const OsvFrameData* frame, char* out, int32_t capacity);
/* Writes version 3 with the timecode, or version 2 as OsvEncodeFrameData when
 * the timecode is NULL or not present. -1 also for an invalid timecode. */
OSTREVO_API int32_t OsvEncodeFrameDataWithTimecode(const OsvFrameData* frame,
                                                   const OsvTimecode* timecode, char* out,
                                                   int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* OSTREVO_OSTREVO_H */
