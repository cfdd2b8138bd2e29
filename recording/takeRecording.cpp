// When a take begins and ends, and how its frames come out of the journal.
#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"

#include <maya/MAnimControl.h>
#include <maya/MGlobal.h>
#include <maya/MTime.h>

#include <algorithm>
#include <cmath>

namespace {

// Pre-roll frames are taken by timestamp; this much slack keeps a frame that
// lies exactly the pre-roll before the first one from being lost to rounding.
constexpr double kStampSlackSeconds = 1e-6;

double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

bool ZemoriDeviceNode::flushIsDue(bool recording) {
    if (!mTake.active || MAnimControl::isPlaying()) {
        return false;
    }
    return !(recording && isLive());
}

void ZemoriDeviceNode::recordFromJournal(bool recording, double time, double preRoll) {
    if (!mTake.active) {
        if (!recording || !MAnimControl::isPlaying()) {
            return;
        }
        mTake.active = true;
        mTake.sceneStart = std::round(finiteOrZero(time));
        mTake.framesLostAtStart = mStatistics.snapshot(mClock()).framesLost;
        mTake.frames.clear();
        const std::uint64_t written = mJournal.written();
        mTake.nextSequence = written;
        mTake.preRollSeconds = std::max(0.0, finiteOrZero(preRoll));
        // What may be pre-roll is copied now, before the ring overwrites it;
        // the flush keeps what lies within the pre-roll of the first frame
        // after recording began, which is not known yet.
        if (mTake.preRollSeconds > 0.0 && written > mJournal.oldest()) {
            JournalFrame frame;
            std::uint64_t first = written;
            double newest = 0.0;
            for (std::uint64_t sequence = written; sequence-- > mJournal.oldest();) {
                if (!mJournal.read(sequence, frame)) {
                    break;
                }
                if (sequence == written - 1) {
                    newest = frame.timestamp;
                } else if (frame.timestamp < newest - mTake.preRollSeconds - kStampSlackSeconds) {
                    break;
                }
                first = sequence;
            }
            for (std::uint64_t sequence = first; sequence < written; ++sequence) {
                if (mJournal.read(sequence, frame)) {
                    mTake.frames.push_back(frame);
                }
            }
        }
        mTake.anchor = mTake.frames.size();
    }
    if (recording) {
        drainJournal();
    }
}

void ZemoriDeviceNode::drainJournal() {
    const std::uint64_t written = mJournal.written();
    JournalFrame frame;
    while (mTake.nextSequence < written) {
        if (mJournal.read(mTake.nextSequence, frame)) {
            mTake.frames.push_back(frame);
            ++mTake.nextSequence;
            continue;
        }
        // Overwritten before the take read it: counted, never made up.
        const std::uint64_t resume = std::max(mTake.nextSequence + 1, mJournal.oldest());
        mFellOffJournal += static_cast<std::int64_t>(resume - mTake.nextSequence);
        mTake.nextSequence = resume;
    }
}

void ZemoriDeviceNode::flushRecording(bool keyEveryFrame) {
    // Up to the evaluation that ends the take: what arrived since the last
    // one was captured while recording was still on, as far as anyone can tell.
    drainJournal();
    TakeInProgress take = std::move(mTake);
    mTake = TakeInProgress{};
    if (take.anchor >= take.frames.size()) {
        // Nothing arrived while recording: there is no take to write.
        MGlobal::displayWarning(threadText(msg::kTakeEmpty));
        return;
    }
    // Pre-roll: the frames within its length before the first frame after
    // recording began.
    const double firstStamp = take.frames[take.anchor].timestamp;
    std::size_t kept = take.anchor;
    while (kept > 0 && std::isfinite(take.frames[kept - 1].timestamp) &&
           take.frames[kept - 1].timestamp >=
               firstStamp - take.preRollSeconds - kStampSlackSeconds &&
           take.frames[kept - 1].timestamp < firstStamp) {
        --kept;
    }
    take.frames.erase(take.frames.begin(), take.frames.begin() + static_cast<std::ptrdiff_t>(kept));

    PendingTake pending;
    pending.skeleton = skeletonName();
    pending.deviceId = deviceId();
    pending.frames = std::move(take.frames);
    pending.clock.anchor = take.anchor - kept;
    pending.clock.anchorTime = take.sceneStart;
    pending.keyEveryFrame = keyEveryFrame;
    pending.framesLost = mStatistics.snapshot(mClock()).framesLost - take.framesLostAtStart;
    pending.captureRate = mStore.detectedFrameRate();
    mPendingTakes.push_back(std::move(pending));
    requestIdleWork();
}

double ZemoriDeviceNode::journalHeldSeconds() const {
    const std::uint64_t written = mJournal.written();
    const std::uint64_t oldest = mJournal.oldest();
    if (written == oldest) {
        return 0.0;
    }
    JournalFrame newest;
    JournalFrame first;
    if (!mJournal.read(written - 1, newest)) {
        return 0.0;
    }
    std::uint64_t sequence = oldest;
    // The oldest may be overwritten while it is read: the next one serves.
    while (sequence < written && !mJournal.read(sequence, first)) {
        ++sequence;
    }
    const double span = newest.timestamp - first.timestamp;
    if (!std::isfinite(span) || span < 0.0) {
        return 0.0;
    }
    // Each frame stands for one interval of the sender's rate.
    return span + 1.0 / mStore.detectedFrameRate();
}

bool ZemoriDeviceNode::keepLast(double seconds, double& heldSeconds) {
    heldSeconds = journalHeldSeconds();
    if (!(seconds > 0.0) || seconds > heldSeconds + kStampSlackSeconds) {
        return false;
    }
    const std::uint64_t written = mJournal.written();
    JournalFrame frame;
    if (!mJournal.read(written - 1, frame)) {
        return false;
    }
    // One interval less than asked: N seconds hold N times the rate frames.
    const double from =
        frame.timestamp - (seconds - 1.0 / mStore.detectedFrameRate()) - kStampSlackSeconds;
    std::uint64_t first = written - 1;
    while (first > mJournal.oldest() && mJournal.read(first - 1, frame) &&
           frame.timestamp >= from && std::isfinite(frame.timestamp)) {
        --first;
    }
    PendingTake take;
    refreshDeviceId();  // the UI scripts may have renumbered the node
    take.skeleton = skeletonName();
    take.deviceId = deviceId();
    for (std::uint64_t sequence = first; sequence < written; ++sequence) {
        if (mJournal.read(sequence, frame)) {
            take.frames.push_back(frame);
        }
    }
    if (take.frames.empty()) {
        return false;
    }
    // The newest frame lies on the current scene frame.
    take.clock.anchor = take.frames.size() - 1;
    take.clock.anchorTime = std::round(MAnimControl::currentTime().as(MTime::uiUnit()));
    MPlug(thisMObject(), mKeyEveryFrame).getValue(take.keyEveryFrame);
    take.captureRate = mStore.detectedFrameRate();
    // Frame numbers the sender skipped within the take.
    std::int32_t lowest = take.frames.front().frameNumber;
    std::int32_t highest = lowest;
    for (const JournalFrame& kept : take.frames) {
        lowest = std::min(lowest, kept.frameNumber);
        highest = std::max(highest, kept.frameNumber);
    }
    const std::int64_t span = static_cast<std::int64_t>(highest) - lowest + 1;
    take.framesLost =
        std::max<std::int64_t>(0, span - static_cast<std::int64_t>(take.frames.size()));
    writeTake(take);
    return true;
}
