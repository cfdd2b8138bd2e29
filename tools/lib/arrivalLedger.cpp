#include "tools/lib/arrivalLedger.h"

namespace ztools {

void ArrivalLedger::recordPush(const FrameStamp& stamp) {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        // The store starts with an all-zero header, which no decoded frame
        // has (it carries joints), so the first real frame counts as new.
        const FrameStamp initial{};
        const FrameStamp& previous = mHaveLast ? mLast : initial;
        Arrival a;
        a.frameNumber = stamp.frameNumber;
        a.newFrame = !(stamp == previous);
        if (a.newFrame) {
            ++mCounts.newFrames;
            if (mCounts.lastFrame >= 0 && stamp.frameNumber > mCounts.lastFrame + 1)
                mCounts.missing += std::int64_t(stamp.frameNumber) - mCounts.lastFrame - 1;
            if (mCounts.firstFrame < 0) mCounts.firstFrame = stamp.frameNumber;
            mCounts.lastFrame = stamp.frameNumber;
        }
        mLast = stamp;
        mHaveLast = true;
        ++mCounts.pushes;
        mLastPush = std::chrono::steady_clock::now();
        mEntries.push_back(a);
    }
    mArrived.notify_all();
}

void ArrivalLedger::recordPop() {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mCounts.pops;
    if (!mEntries.empty()) mEntries.pop_front();
}

bool ArrivalLedger::peek(Arrival& out) const {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mEntries.empty()) return false;
    out = mEntries.front();
    return true;
}

bool ArrivalLedger::take(Arrival& out) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mEntries.empty()) return false;
    out = mEntries.front();
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
