#include "intake/captureJournal.h"

#include "intake/prefetch.h"
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
    mSlots.reset(frames == 0 ? nullptr : new Slot<kFrameWords>[frames]());
    mCapacity = frames;
    mNextSlot = frames == 0 ? 0 : mWritten.load(std::memory_order_relaxed) % frames;
}

std::uint64_t CaptureJournal::oldest() const {
    const std::uint64_t written = mWritten.load(std::memory_order_acquire);
    return written > mCapacity ? written - mCapacity : 0;
}

template <std::size_t Words, typename T>
void CaptureJournal::store(Slot<Words>& slot, std::uint64_t number, const T& item) {
    static_assert(sizeof(T) == Words * sizeof(std::uint64_t));
    std::uint64_t words[Words];
    std::memcpy(words, &item, sizeof item);
    slot.sequence.store(2 * number + 1, std::memory_order_relaxed);
    // Each word is a release: a reader that sees it also sees the slot
    // marked as changing (plain stores on x86; no fence, which the thread
    // sanitizer cannot follow).
    for (std::size_t k = 0; k < Words; ++k) {
        slot.words[k].store(words[k], std::memory_order_release);
    }
    slot.sequence.store(2 * number + 2, std::memory_order_release);
}

template <std::size_t Words, typename T>
bool CaptureJournal::load(const Slot<Words>& slot, std::uint64_t number, T& item,
                          const ReadPause& pause) {
    const std::uint64_t whole = 2 * number + 2;
    if (slot.sequence.load(std::memory_order_acquire) != whole) {
        return false;
    }
    std::uint64_t words[Words];
    // Acquires: the second look at the sequence comes after every word.
    constexpr std::size_t kHalf = Words / 2;
    for (std::size_t k = 0; k < kHalf; ++k) {
        words[k] = slot.words[k].load(std::memory_order_acquire);
    }
    if (pause.call != nullptr) {
        pause.call(pause.context);
    }
    for (std::size_t k = kHalf; k < Words; ++k) {
        words[k] = slot.words[k].load(std::memory_order_acquire);
    }
    if (slot.sequence.load(std::memory_order_relaxed) != whole) {
        return false;
    }
    std::memcpy(&item, words, sizeof item);
    return true;
}

void CaptureJournal::noteDefinition(const JointRecord* records) {
    StoredDefinition definition{};
    for (int joint = 0; joint < kJointCount; ++joint) {
        const Vector3d& t = records[joint].definitionTranslation;
        definition.offsets[joint][0] = toOutputFloat(t.x);
        definition.offsets[joint][1] = toOutputFloat(t.y);
        definition.offsets[joint][2] = toOutputFloat(t.z);
    }
    definition.number = ++mDefinitionNumber;
    store(mDefinitions[definition.number % kDefinitions], definition.number, definition);
}

void CaptureJournal::append(const JointRecord* records, std::int32_t frameNumber, double timestamp,
                            std::int64_t arrivalNs, const FrameTimecode& timecode) {
    if (mCapacity == 0) {
        return;
    }
    if (mDefinitionNumber == 0) {
        noteDefinition(records);
    }
    StoredFrame frame;
    // Scaled to centimetres, a translation may leave the float range.
    const Vector3d& t = records[0].currentTranslation;
    frame.rootTranslate[0] = toOutputFloat(t.x);
    frame.rootTranslate[1] = toOutputFloat(t.y);
    frame.rootTranslate[2] = toOutputFloat(t.z);
    for (int joint = 0; joint < kJointCount; ++joint) {
        // The library's floats, widened by the store: they narrow back exactly.
        const Quaternion4d& q = records[joint].currentRotation;
        frame.rotations[joint][0] = static_cast<float>(q.x);
        frame.rotations[joint][1] = static_cast<float>(q.y);
        frame.rotations[joint][2] = static_cast<float>(q.z);
        frame.rotations[joint][3] = static_cast<float>(q.w);
    }
    frame.frameNumber = frameNumber;
    frame.definition = mDefinitionNumber;
    frame.timecode = timecode;
    frame.timestamp = timestamp;
    frame.arrivalNs = arrivalNs;

    const std::uint64_t sequence = mWritten.load(std::memory_order_relaxed);
    store(mSlots[mNextSlot], sequence, frame);
    mWritten.store(sequence + 1, std::memory_order_release);
    mNextSlot = mNextSlot + 1 == mCapacity ? 0 : mNextSlot + 1;
    // The ring is far larger than the caches, so a slot is cold when its
    // frame comes: fetched for writing now, the next frame does not wait.
    prefetchForWriting(&mSlots[mNextSlot], sizeof(Slot<kFrameWords>));
}

bool CaptureJournal::read(std::uint64_t sequence, JournalFrame& frame) const {
    if (mCapacity == 0 || sequence >= mWritten.load(std::memory_order_acquire)) {
        return false;
    }
    StoredFrame stored;
    if (!load(mSlots[sequence % mCapacity], sequence, stored, mReadPause)) {
        return false;
    }
    StoredDefinition definition;
    if (!load(mDefinitions[stored.definition % kDefinitions], stored.definition, definition,
              ReadPause{})) {
        return false;
    }
    for (int joint = 0; joint < kJointCount; ++joint) {
        JournalJoint& out = frame.joints[joint];
        const float* translate = joint == 0 ? stored.rootTranslate : definition.offsets[joint];
        std::memcpy(out.translate, translate, sizeof out.translate);
        std::memcpy(out.rotation, stored.rotations[joint], sizeof out.rotation);
    }
    frame.frameNumber = stored.frameNumber;
    frame.timestamp = stored.timestamp;
    frame.arrivalNs = stored.arrivalNs;
    frame.timecode = stored.timecode;
    return true;
}
