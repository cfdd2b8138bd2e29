// When a take begins and ends, and how its frames come out of the journal.
#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"
#include "recording/pendingTake.h"
#include "recording/stageCut.h"

#include <maya/MAnimControl.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <algorithm>
#include <string>
#include <cmath>

namespace {

// Pre-roll frames are taken by timestamp; this much slack keeps a frame that
// lies exactly the pre-roll before the first one from being lost to rounding.
constexpr double kStampSlackSeconds = 1e-6;
// Frame numbers this far back are a sender that started counting again,
// not a late frame.
constexpr std::int64_t kRestartedNumbering = 1000;

double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

bool ZemoriDeviceNode::takeMayGoOn(bool recording) {
    return recording && (MAnimControl::isPlaying() || MGlobal::mayaState() == MGlobal::kBatch);
}

void ZemoriDeviceNode::recordFromJournal(bool recording, double time, double preRoll,
                                         bool keyEveryFrame) {
    const bool mayGoOn = takeMayGoOn(recording);
    if (mTake.active && !mayGoOn) {
        endTake();
    } else if (!mTake.active && mayGoOn) {
        beginTake(time, preRoll, keyEveryFrame);
    }
    if (mTake.active) {
        mTake.keyEveryFrame = keyEveryFrame;
        drainJournal();
    }
}

void ZemoriDeviceNode::beginTake(double sceneTime, double preRoll, bool keyEveryFrame) {
    beginTakeFrom(mJournal.written(), sceneTime, preRoll, keyEveryFrame);
}

void ZemoriDeviceNode::beginTakeFrom(std::uint64_t from, double sceneTime, double preRoll,
                                     bool keyEveryFrame) {
    if (mTake.active) {
        return;
    }
    mTake.active = true;
    mTake.sceneStart = std::round(finiteOrZero(sceneTime));
    mTake.framesLostAtStart = mStatistics.snapshot(mClock()).framesLost;
    mTake.keyEveryFrame = keyEveryFrame;
    mTake.frames.clear();
    mTake.nextSequence = from;
    mTake.preRollSeconds = std::max(0.0, finiteOrZero(preRoll));
    // What may be pre-roll is copied now, before the ring overwrites it;
    // the take keeps what lies within the pre-roll of its first frame,
    // which is not known yet. Measured on the capture's clock across a
    // restarted sender, as the journal's length is.
    if (mTake.preRollSeconds > 0.0 && from > mJournal.oldest()) {
        JournalFrame frame;
        JournalFrame later;
        std::uint64_t first = from;
        double seconds = 0.0;
        for (std::uint64_t sequence = from; sequence-- > mJournal.oldest();) {
            if (!mJournal.read(sequence, frame)) {
                break;
            }
            if (sequence + 1 < from) {
                seconds += captureSecondsBetween(frame, later);
                if (seconds > mTake.preRollSeconds + kStampSlackSeconds) {
                    break;
                }
            }
            later = frame;
            first = sequence;
        }
        for (std::uint64_t sequence = first; sequence < from; ++sequence) {
            if (mJournal.read(sequence, frame)) {
                mTake.frames.push_back(frame);
            }
        }
    }
    mTake.anchor = mTake.frames.size();
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

void ZemoriDeviceNode::endTake(bool withScene) {
    if (!mTake.active) {
        return;
    }
    // Up to this moment: what the journal got since the last copy was
    // captured while the take was still on.
    drainJournal();
    TakeInProgress take = std::move(mTake);
    mTake = TakeInProgress{};
    finishTake(std::move(take), withScene);
}

void ZemoriDeviceNode::finishTake(TakeInProgress take, bool withScene) {
    if (take.stage.fromStage) {
        take.anchor =
            stageTakeStart(take.frames, take.anchor, take.stageArrivalNs, take.stageDelaySeconds);
    }
    if (take.anchor >= take.frames.size()) {
        // Nothing arrived while recording: there is no take to write.
        MGlobal::displayWarning(threadText(msg::kTakeEmpty));
        return;
    }
    // Pre-roll: the frames within its length before the first frame after
    // recording began, on the capture's clock.
    std::size_t kept = take.anchor;
    double seconds = 0.0;
    while (kept > 0) {
        seconds += captureSecondsBetween(take.frames[kept - 1], take.frames[kept]);
        if (seconds > take.preRollSeconds + kStampSlackSeconds) {
            break;
        }
        --kept;
    }
    take.frames.erase(take.frames.begin(), take.frames.begin() + static_cast<std::ptrdiff_t>(kept));

    PendingTake pending;
    pending.skeleton = skeletonName();
    pending.deviceId = deviceId();
    pending.frames = std::move(take.frames);
    pending.clock.anchor = take.anchor - kept;
    pending.clock.anchorTime = take.sceneStart;
    pending.keyEveryFrame = take.keyEveryFrame;
    pending.keyOnTimecode = mKeyOnTimecodeSetting.load();
    pending.framesLost = mStatistics.snapshot(mClock()).framesLost - take.framesLostAtStart;
    pending.captureRate = mStore.detectedFrameRate();
    pending.endedWithScene = withScene;
    pending.stage = std::move(take.stage);
    queueTakeForWriting(std::move(pending));
}

void ZemoriDeviceNode::recordingSwitched(bool on) {
    mKeyOnTimecodeSetting.store(MPlug(thisMObject(), mKeyOnTimecode).asBool());
    if (!on) {
        endTake();
    } else if (MGlobal::mayaState() == MGlobal::kBatch) {
        // Interactively the first evaluation of the playing scene begins
        // the take; a batch script may evaluate nothing.
        // The node's own time, as compute would read it: the scene's time
        // where it is connected to it, as binding does.
        MPlug time(thisMObject(), mTime);
        MPlug preRoll(thisMObject(), mPreRoll);
        MPlug keyEveryFrame(thisMObject(), mKeyEveryFrame);
        beginTake(time.asDouble(), preRoll.asDouble(), keyEveryFrame.asBool());
    }
}

void ZemoriDeviceNode::playbackSwitched(bool playing) {
    if (!playing) {
        mKeyOnTimecodeSetting.store(MPlug(thisMObject(), mKeyOnTimecode).asBool());
        endTake();
    }
}

double ZemoriDeviceNode::journalHeldSeconds() const {
    const std::uint64_t written = mJournal.written();
    std::uint64_t sequence = mJournal.oldest();
    JournalFrame earlier;
    // The oldest may be overwritten while it is read: the next one serves.
    while (sequence < written && !mJournal.read(sequence, earlier)) {
        ++sequence;
    }
    if (sequence >= written) {
        return 0.0;
    }
    // On the capture's clock: a sender that restarted its clock counts its
    // old session's frames too.
    double seconds = 0.0;
    JournalFrame later;
    for (++sequence; sequence < written; ++sequence) {
        if (!mJournal.read(sequence, later)) {
            continue;
        }
        seconds += captureSecondsBetween(earlier, later);
        earlier = later;
    }
    // Each frame stands for one interval of the sender's rate.
    return seconds + 1.0 / mStore.detectedFrameRate();
}

std::string ZemoriDeviceNode::latestTimecodeText() const {
    const std::uint64_t written = mJournal.written();
    JournalFrame frame;
    // The newest frame is overwritten only in a journal shorter than a
    // receive pass; then there is no text this time.
    if (written == 0 || !mJournal.read(written - 1, frame)) {
        return {};
    }
    return formatTimecode(frame.timecode);
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
    // One interval less than asked: N seconds hold N times the rate frames;
    // measured on the capture's clock, across a restarted sender.
    const double span = seconds - 1.0 / mStore.detectedFrameRate() + kStampSlackSeconds;
    std::uint64_t first = written - 1;
    JournalFrame earlier;
    double covered = 0.0;
    while (first > mJournal.oldest() && mJournal.read(first - 1, earlier)) {
        covered += captureSecondsBetween(earlier, frame);
        if (covered > span) {
            break;
        }
        frame = earlier;
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
    MPlug(thisMObject(), mKeyOnTimecode).getValue(take.keyOnTimecode);
    take.captureRate = mStore.detectedFrameRate();
    // Frame numbers the sender skipped within the take, as the stream counts
    // them: past the highest number so far. A sender whose numbers start
    // again far below it restarted: counting goes on from there.
    std::int64_t highest = take.frames.front().frameNumber;
    for (const JournalFrame& kept : take.frames) {
        const std::int64_t number = kept.frameNumber;
        if (number > highest) {
            take.framesLost += number - highest - 1;
            highest = number;
        } else if (number < highest - kRestartedNumbering) {
            highest = number;
        }
    }
    writeTake(take);
    return true;
}
