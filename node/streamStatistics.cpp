#include "node/streamStatistics.h"

#include <cmath>
#include <limits>

namespace {

constexpr std::int64_t kNsPerUs = 1000;

}  // namespace

int clampedCount(std::int64_t count) {
    constexpr std::int64_t top = std::numeric_limits<int>::max();
    return static_cast<int>(count > top ? top : count);
}

void StreamStatistics::countDatagram(std::int64_t nowNs) {
    bump(mDatagrams);
    // Arrivals more than a window before this one leave it, and the oldest
    // leaves a full ring; each takes the interval to its successor along.
    while (mCount > 0 && (mCount == kWindowArrivals || nowNs - mArrivals[mOldest] > kWindowNs)) {
        const int next = (mOldest + 1) % kWindowArrivals;
        if (mCount > 1) {
            const std::int64_t us = (mArrivals[next] - mArrivals[mOldest]) / kNsPerUs;
            mIntervalSumUs -= us;
            mIntervalSquareSumUs -= us * us;
        }
        mOldest = next;
        --mCount;
    }
    if (mCount > 0) {
        const std::int64_t newest = mArrivals[(mOldest + mCount - 1) % kWindowArrivals];
        // A clock that steps back gives an interval of 0, not a negative one.
        const std::int64_t us = nowNs > newest ? (nowNs - newest) / kNsPerUs : 0;
        mIntervalSumUs += us;
        mIntervalSquareSumUs += us * us;
    }
    mArrivals[(mOldest + mCount) % kWindowArrivals] = nowNs;
    ++mCount;

    const std::int64_t intervals = mCount - 1;
    double varianceUs2 = 0.0;
    double rateHz = 0.0;
    if (intervals > 0 && mIntervalSumUs > 0) {
        const double mean = static_cast<double>(mIntervalSumUs) / static_cast<double>(intervals);
        varianceUs2 = static_cast<double>(mIntervalSquareSumUs) / static_cast<double>(intervals) -
                      mean * mean;
        rateHz = 1e6 / mean;
    }
    // The square root waits for a snapshot: the thread stores the variance.
    mJitterVarianceUs2.store(varianceUs2 > 0.0 ? varianceUs2 : 0.0, std::memory_order_release);
    mRateHz.store(rateHz, std::memory_order_release);
    mLastArrivalNs.store(nowNs, std::memory_order_release);
}

void StreamStatistics::countRefused() {
    bump(mRefused);
}

void StreamStatistics::countNoBuffer() {
    bump(mNoBuffer);
}

void StreamStatistics::countFrame(std::int32_t frameNumber, double senderTimestamp) {
    bump(mFrames);
    if (!mHaveFrame) {
        mHaveFrame = true;
        mHighestFrame = frameNumber;
    } else if (frameNumber > mHighestFrame) {
        bump(mLost, static_cast<std::int64_t>(frameNumber) - mHighestFrame - 1);
        mHighestFrame = frameNumber;
    } else {
        bump(mOutOfOrder);
    }
    mLastFrame.store(frameNumber, std::memory_order_release);
    mSenderTimestamp.store(senderTimestamp, std::memory_order_release);
}

StreamSnapshot StreamStatistics::snapshot(std::int64_t nowNs) const {
    // Each load before the datagram count is an acquire: none of them can
    // move after it, and each sees the datagram count stored before the
    // figure it read (the writer counts a datagram first, and stores with
    // release), so no frame figure runs ahead of the datagrams.
    constexpr std::memory_order kBefore = std::memory_order_acquire;
    StreamSnapshot s;
    s.lastFrameNumber = mLastFrame.load(kBefore);
    s.senderTimestamp = mSenderTimestamp.load(kBefore);
    s.framesDecoded = mFrames.load(kBefore);
    s.framesLost = mLost.load(kBefore);
    s.framesOutOfOrder = mOutOfOrder.load(kBefore);
    s.datagramsRefused = mRefused.load(kBefore);
    s.posesPassedOver = mPassedOver.load(kBefore);
    s.datagramsDroppedNoBuffer = mNoBuffer.load(kBefore);
    const std::int64_t lastArrival = mLastArrivalNs.load(kBefore);
    if (lastArrival != 0 && nowNs - lastArrival <= kWindowNs) {
        s.jitterMs = std::sqrt(mJitterVarianceUs2.load(kBefore)) / 1000.0;
        s.arrivalRateHz = mRateHz.load(kBefore);
    }
    s.datagramsReceived = mDatagrams.load(std::memory_order_relaxed);
    return s;
}
