#include "intake/captureJournal.h"

#include "recording/outputFloat.h"

#include <cmath>
#include <cstring>

std::size_t CaptureJournal::framesFor(double seconds) {
    if (!(seconds >= kMinSeconds)) {
        seconds = kMinSeconds;
    }
    if (seconds > kMaxSeconds) {
        seconds = kMaxSeconds;
    }
    return static_cast<std::size_t>(std::ceil(seconds * kFramesPerSecond));
}

void CaptureJournal::reserve(std::size_t frames) {
    if (frames == mCapacity) {
        return;
    }
    // Value-initialised: every slot starts empty.
    mSlots.reset(frames == 0 ? nullptr : new Slot[frames]());
    mCapacity = frames;
}

std::uint64_t CaptureJournal::oldest() const {
    const std::uint64_t written = mWritten.load(std::memory_order_acquire);
    return written > mCapacity ? written - mCapacity : 0;
}

void CaptureJournal::append(const JointRecord* records, std::int32_t frameNumber, double timestamp,
                            std::int64_t arrivalNs) {
    if (mCapacity == 0) {
        return;
    }
    JournalFrame frame;
    for (int joint = 0; joint < kJointCount; ++joint) {
        const JointRecord& record = records[joint];
        // Only the root moves; the other joints keep the definition's offsets.
        const Vector3d& t = joint == 0 ? record.currentTranslation : record.definitionTranslation;
        const Quaternion4d& q = record.currentRotation;
        JournalJoint& out = frame.joints[joint];
        out.translate[0] = toOutputFloat(t.x);
        out.translate[1] = toOutputFloat(t.y);
        out.translate[2] = toOutputFloat(t.z);
        out.rotation[0] = toOutputFloat(q.x);
        out.rotation[1] = toOutputFloat(q.y);
        out.rotation[2] = toOutputFloat(q.z);
        out.rotation[3] = toOutputFloat(q.w);
    }
    frame.frameNumber = frameNumber;
    frame.timestamp = timestamp;
    frame.arrivalNs = arrivalNs;
    std::uint64_t words[kWords];
    std::memcpy(words, &frame, sizeof frame);

    const std::uint64_t sequence = mWritten.load(std::memory_order_relaxed);
    Slot& slot = mSlots[sequence % mCapacity];
    slot.sequence.store(2 * sequence + 1, std::memory_order_relaxed);
    // A reader that sees any new word also sees the slot marked as changing.
    std::atomic_thread_fence(std::memory_order_release);
    for (std::size_t k = 0; k < kWords; ++k) {
        slot.words[k].store(words[k], std::memory_order_relaxed);
    }
    slot.sequence.store(2 * sequence + 2, std::memory_order_release);
    mWritten.store(sequence + 1, std::memory_order_release);
}

bool CaptureJournal::read(std::uint64_t sequence, JournalFrame& frame) const {
    if (mCapacity == 0 || sequence >= mWritten.load(std::memory_order_acquire)) {
        return false;
    }
    const Slot& slot = mSlots[sequence % mCapacity];
    const std::uint64_t whole = 2 * sequence + 2;
    if (slot.sequence.load(std::memory_order_acquire) != whole) {
        return false;
    }
    std::uint64_t words[kWords];
    for (std::size_t k = 0; k < kWords; ++k) {
        words[k] = slot.words[k].load(std::memory_order_relaxed);
    }
    // The words are read before the second look at the sequence.
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.sequence.load(std::memory_order_relaxed) != whole) {
        return false;
    }
    std::memcpy(&frame, words, sizeof frame);
    return true;
}
