// A node's capture journal: a ring of every frame the receiving thread
// decoded, kept whatever the host evaluates, so that a take is made from the
// capture itself and not from the evaluations that happened to show it.
//
// A frame keeps what a take needs of each joint, as the node outputs it
// (the root's translation from the frame, the others' from the skeleton
// definition, and the rotation quaternion), in single precision, plus the
// sender's frame number, timestamp and timecode and the arrival time. The
// ring holds the root's translation and the 27 rotations of each frame (488
// bytes a slot) and the definitions' offsets once each, in a small ring of their
// own: a frame read back has them all again.
//
// Threads: one writer (the receiving thread) appends with no lock and no
// allocation; one reader at a time (the main thread) copies frames out. Each
// slot is a sequence lock over atomic words, so a frame overwritten while it
// is copied is seen as gone, never as a torn frame.
#pragma once

#include "intake/jointTable.h"
#include "intake/timecode.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

struct JournalJoint {
    float translate[3];  // centimetres
    float rotation[4];   // quaternion x, y, z, w
};

struct JournalFrame {
    JournalJoint joints[kJointCount];
    std::int32_t frameNumber;
    double timestamp;        // the sender's, in seconds
    std::int64_t arrivalNs;  // monotonic clock of the receiving thread
    FrameTimecode timecode;  // not present when the frame came without one
};
static_assert(sizeof(JournalJoint) == 28);
static_assert(offsetof(JournalFrame, frameNumber) == 756);
static_assert(offsetof(JournalFrame, timestamp) == 760);
static_assert(offsetof(JournalFrame, arrivalNs) == 768);
static_assert(offsetof(JournalFrame, timecode) == 776);
static_assert(sizeof(JournalFrame) == 784);

struct CaptureJournalReadPause;

class CaptureJournal {
public:
    // The highest sender rate the node accepts: a journal of N seconds holds
    // N times this many frames.
    static constexpr int kFramesPerSecond = 120;
    // Bounds of the journal's length, in seconds: at least a second, at most
    // an hour (about 340 MB).
    static constexpr double kMinSeconds = 1.0;
    static constexpr double kMaxSeconds = 3600.0;

    CaptureJournal() = default;
    CaptureJournal(const CaptureJournal&) = delete;
    CaptureJournal& operator=(const CaptureJournal&) = delete;

    // Frames held for `seconds` of capture at kFramesPerSecond, the seconds
    // brought within the bounds (a value that is not a number counts as the
    // least).
    static std::size_t framesFor(double seconds);

    // Allocates room for `frames` frames. Only while no frame is being
    // appended: the node does it while it has no socket. Numbering goes on
    // from the frames already written; what they held is dropped when the
    // size changes, and kept when it does not. No room at all: nothing is
    // kept.
    void reserve(std::size_t frames);
    std::size_t capacity() const { return mCapacity; }

    // Receiving thread. The pose as the node outputs it; no lock, no
    // allocation. The offsets are those of the last definition noted (the
    // records' own, noted now, before the first).
    void append(const JointRecord* records, std::int32_t frameNumber, double timestamp,
                std::int64_t arrivalNs, const FrameTimecode& timecode = FrameTimecode{});
    // Receiving thread: the records hold a new skeleton definition; frames
    // appended from now on carry its offsets.
    void noteDefinition(const JointRecord* records);

    // Any thread: frames appended so far (the next frame's sequence number).
    std::uint64_t written() const { return mWritten.load(std::memory_order_acquire); }
    // The oldest sequence number the ring may still hold.
    std::uint64_t oldest() const;
    // Copies frame `sequence`; false when it is not written yet or has been
    // overwritten (or dropped by a resize), or when so many definitions came
    // after it that its own is gone.
    bool read(std::uint64_t sequence, JournalFrame& frame) const;

private:
    // What a slot holds of a frame.
    struct StoredFrame {
        float rootTranslate[3];
        float rotations[kJointCount][4];
        std::int32_t frameNumber;
        std::uint32_t definition;  // the number of its definition, from 1
        FrameTimecode timecode;    // 8 bytes: the slot stays a whole number of words
        double timestamp;
        std::int64_t arrivalNs;
    };
    struct StoredDefinition {
        float offsets[kJointCount][3];
        std::uint32_t number;
    };
    static constexpr std::size_t kFrameWords = sizeof(StoredFrame) / sizeof(std::uint64_t);
    static constexpr std::size_t kDefinitionWords =
        sizeof(StoredDefinition) / sizeof(std::uint64_t);
    static_assert(sizeof(StoredFrame) % sizeof(std::uint64_t) == 0);
    static_assert(sizeof(StoredDefinition) % sizeof(std::uint64_t) == 0);
    // Definitions kept: a take that outlives this many new definitions
    // loses the frames of the oldest.
    static constexpr std::size_t kDefinitions = 8;

    // A sequence lock over atomic words (release stores, acquire loads):
    // `sequence` is 2n + 1 while item n is written, 2n + 2 once it is whole,
    // 0 while empty.
    template <std::size_t Words>
    struct Slot {
        std::atomic<std::uint64_t> sequence{0};
        std::atomic<std::uint64_t> words[Words];
    };
    template <std::size_t Words, typename T>
    static void store(Slot<Words>& slot, std::uint64_t number, const T& item);
    // A test's hook, called by a read halfway through a frame's words, so
    // that it can overwrite the slot between the read's two looks at the
    // sequence. Never set outside tests; the writer does not see it.
    struct ReadPause {
        void (*call)(void* context) = nullptr;
        void* context = nullptr;
    };
    friend struct ::CaptureJournalReadPause;
    template <std::size_t Words, typename T>
    static bool load(const Slot<Words>& slot, std::uint64_t number, T& item,
                     const ReadPause& pause);

    std::unique_ptr<Slot<kFrameWords>[]> mSlots;
    std::size_t mCapacity = 0;
    std::atomic<std::uint64_t> mWritten{0};
    std::size_t mNextSlot = 0;  // the writer's: where frame mWritten goes
    Slot<kDefinitionWords> mDefinitions[kDefinitions];
    std::uint32_t mDefinitionNumber = 0;  // the writer's: the last noted, 0 none
    ReadPause mReadPause;
};
