// Takes the stage starts and stops on one device node: where in the
// journal they begin and end. Which nodes follow the stage, playback and
// the recording switch are stageTakes.cpp's.
#include "node/zemoriDeviceNode.h"
#include "recording/stageCut.h"

#include <maya/MPlug.h>

namespace {

// The journal's frame that arrived with a message at `arrivalNs`: the last
// at or before it; with none, the first after it (the next to come when
// the journal holds nothing after it).
std::uint64_t frameArrivedWith(const CaptureJournal& journal, std::int64_t arrivalNs) {
    const std::uint64_t oldest = journal.oldest();
    std::uint64_t firstAfter = journal.written();
    JournalFrame frame;
    for (std::uint64_t sequence = firstAfter; sequence-- > oldest;) {
        if (!journal.read(sequence, frame)) {
            break;  // overwritten: so is every older one
        }
        if (frame.arrivalNs <= arrivalNs) {
            return sequence;
        }
        firstAfter = sequence;
    }
    return firstAfter;
}

}  // namespace

void ZemoriDeviceNode::beginStageTake(std::int64_t arrivalNs, double delaySeconds,
                                      const StageTakeText& text) {
    // A take in progress ends where this one begins.
    endTakeAtStage(arrivalNs, delaySeconds, false, std::string());
    refreshDeviceId();  // the UI scripts may have renumbered the node
    const MObject self = thisMObject();
    // On the node's own time, as a take the evaluation begins is.
    beginTakeFrom(frameArrivedWith(mJournal, arrivalNs), MPlug(self, mTime).asDouble(),
                  MPlug(self, mPreRoll).asDouble(), MPlug(self, mKeyEveryFrame).asBool());
    mTake.stage = text;
    mTake.stage.fromStage = true;
    mTake.stageDelaySeconds = delaySeconds;
    mTake.stageArrivalNs = arrivalNs;
}

void ZemoriDeviceNode::endTakeAtStage(std::int64_t arrivalNs, double delaySeconds, bool inclusive,
                                      const std::string& result) {
    if (!mTake.active) {
        return;
    }
    drainJournal();
    TakeInProgress take = std::move(mTake);
    mTake = TakeInProgress{};
    take.frames.resize(stageTakeEnd(take.frames, arrivalNs, delaySeconds, inclusive));
    take.stage.result = result;
    mKeyOnTimecodeSetting.store(MPlug(thisMObject(), mKeyOnTimecode).asBool());
    finishTake(std::move(take), false);
}
