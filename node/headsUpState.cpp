// The device node's heads-up state, and the refresh of its display at a
// modest rate: a few times a second while poses come, and at once when a
// take begins or ends, never once per datagram.
#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"
#include "recording/pendingTake.h"

#include <cstdio>

namespace {

constexpr std::int64_t kHeadsUpIntervalNs = 250000000;

}  // namespace

HeadsUpState ZemoriDeviceNode::headsUpState() {
    HeadsUpState state;
    state.live = isLive();
    const StreamSnapshot figures = mStatistics.snapshot(mClock());
    state.rate = state.live ? figures.arrivalRateHz : 0.0;
    state.framesLost = figures.framesLost;
    state.recording = mTake.active;
    if (state.recording) {
        if (mTake.stage.fromStage && !mTake.stage.name.empty()) {
            // The name the stage gave the take.
            state.takeName = mTake.stage.name;
        } else {
            // The number the take's node will get when it is written.
            char name[128];
            std::snprintf(name, sizeof name, lookupMessage(msg::kHeadsUpTakeName).asChar(),
                          nextTakeNumber(skeletonName()));
            state.takeName = name;
        }
        state.timecode = latestTimecodeText();
    }
    return state;
}

void ZemoriDeviceNode::postHeadsUpRefreshWhenDue() {
    const std::int64_t now = mClock();
    const bool recording = mTake.active;
    if (mHeadsUpPosted && recording == mHeadsUpRecording &&
        now - mHeadsUpPostedAt < kHeadsUpIntervalNs) {
        return;
    }
    mHeadsUpPosted = true;
    mHeadsUpPostedAt = now;
    mHeadsUpRecording = recording;
    postHeadsUpRefresh(deviceId());
}
