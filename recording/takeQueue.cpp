// Takes that have ended and wait to be written. Only the main thread touches
// the queue: a take ends in compute (serial with the main thread), in a
// callback or in a command, and is written outside any evaluation.
#include "plugin/idleWorkCmd.h"
#include "recording/pendingTake.h"

#include <maya/MGlobal.h>

#include <deque>
#include <utility>

namespace {

std::deque<PendingTake>& queuedTakes() {
    static std::deque<PendingTake> takes;
    return takes;
}

}  // namespace

void queueTakeForWriting(PendingTake take) {
    queuedTakes().push_back(std::move(take));
    MGlobal::executeCommandOnIdle(kIdleWorkCommandName, false);
}

int writePendingTakes() {
    int written = 0;
    // One at a time off the front: writing a take runs MEL, which could
    // end another take and queue it behind.
    while (!queuedTakes().empty()) {
        PendingTake take = std::move(queuedTakes().front());
        queuedTakes().pop_front();
        writeTake(take);
        ++written;
    }
    return written;
}

std::size_t pendingTakeCount() {
    return queuedTakes().size();
}

std::size_t pendingTakeCount(const MString& skeleton) {
    std::size_t count = 0;
    for (const PendingTake& take : queuedTakes()) {
        if (take.skeleton == skeleton) ++count;
    }
    return count;
}

void discardPendingTakes() {
    queuedTakes().clear();
}
