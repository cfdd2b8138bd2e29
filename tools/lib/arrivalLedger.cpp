#include "tools/lib/arrivalLedger.h"

#include <algorithm>

namespace ztools {

void ArrivalLedger::recordPush() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mCounts.pushes;
        mLastPush = std::chrono::steady_clock::now();
        mEntries.push_back(Entry{});
    }
    mArrived.notify_all();
}

void ArrivalLedger::recordPop() {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mCounts.pops;
    if (!mEntries.empty()) mEntries.pop_front();
}

void ArrivalLedger::noteNewFrame(std::int32_t frameNumber) {
    ++mCounts.newFrames;
    if (mCounts.lastFrame >= 0 && frameNumber > mCounts.lastFrame + 1)
        mCounts.missing += std::int64_t(frameNumber) - mCounts.lastFrame - 1;
    if (mCounts.firstFrame < 0) mCounts.firstFrame = frameNumber;
    mCounts.lastFrame = frameNumber;
}

Resolution ArrivalLedger::resolve(const NodeFigures& figures, std::int64_t pushesBefore) {
    std::lock_guard<std::mutex> lock(mMutex);
    const std::int64_t open = mCounts.pushes - mResolvedPushes;
    if (open == 0) return Resolution::kNothing;
    if (pushesBefore != mCounts.pushes) return Resolution::kStale;
    // The node counts a datagram before it pushes it, so fresh figures never
    // count fewer than the pushes and the drops: fewer means a datagram was
    // taken for dropped while it was only slow.
    const std::int64_t unpushed = figures.datagramsReceived - mCounts.pushes;
    if (unpushed < mUnpushed) mUnpushed = unpushed;
    if (unpushed != mUnpushed) return Resolution::kStale;

    const std::int64_t fresh = figures.framesDecoded - mDecoded;
    // The unresolved entries still queued are the last ones; older
    // unresolved poses were popped already and only their frames count.
    const std::int64_t queued = std::min<std::int64_t>(open, std::int64_t(mEntries.size()));
    const auto firstOpen = mEntries.end() - queued;
    const bool sequence = fresh == open && figures.lastFrameNumber - mNewest == open;
    std::int32_t number = figures.lastFrameNumber - std::int32_t(open);
    for (std::int64_t i = 0; i < open; ++i) {
        Arrival a;
        a.frameNumber = mNewest;
        if (open == 1 && fresh > 0) {
            a.newFrame = true;
            a.frameNumber = figures.lastFrameNumber;
        } else if (sequence) {
            a.newFrame = true;
            a.frameNumber = ++number;
        }
        if (a.newFrame) {
            noteNewFrame(a.frameNumber);
            mNewest = a.frameNumber;
        }
        const std::int64_t poppedBefore = open - queued;
        if (i >= poppedBefore) {
            Entry& entry = *(firstOpen + (i - poppedBefore));
            entry.arrival = a;
            entry.resolved = true;
        }
    }
    if (fresh > 0 && !(open == 1 || sequence)) {
        mCounts.unplaced += fresh;
        mCounts.lastFrame = figures.lastFrameNumber;
        mNewest = figures.lastFrameNumber;
    }
    mDecoded = figures.framesDecoded;
    mResolvedPushes = mCounts.pushes;
    return Resolution::kResolved;
}

void ArrivalLedger::acceptUnpushed(const NodeFigures& figures) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (figures.datagramsReceived - mCounts.pushes > mUnpushed)
        mUnpushed = figures.datagramsReceived - mCounts.pushes;
}

std::int64_t ArrivalLedger::unresolved() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCounts.pushes - mResolvedPushes;
}

bool ArrivalLedger::peek(Arrival& out) const {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mEntries.empty() || !mEntries.front().resolved) return false;
    out = mEntries.front().arrival;
    return true;
}

bool ArrivalLedger::peekNewest(Arrival& out, std::size_t& queued) const {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mEntries.empty() || !mEntries.back().resolved) return false;
    out = mEntries.back().arrival;
    for (const Entry& entry : mEntries) out.newFrame = out.newFrame || entry.arrival.newFrame;
    queued = mEntries.size();
    return true;
}

bool ArrivalLedger::take(Arrival& out) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mEntries.empty() || !mEntries.front().resolved) return false;
    out = mEntries.front().arrival;
    mEntries.pop_front();
    return true;
}

bool ArrivalLedger::waitForEntry(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mMutex);
    return mArrived.wait_for(lock, timeout, [this] { return !mEntries.empty(); });
}

std::size_t ArrivalLedger::pending() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mEntries.size();
}

LedgerCounts ArrivalLedger::counts() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mCounts;
}

std::chrono::steady_clock::time_point ArrivalLedger::lastPushTime() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mLastPush;
}

}  // namespace ztools
