// Health figures of one incoming stream. Each counter has one writer: the
// receiving thread, or compute for the poses it passes over. They count with
// a load and a release store (no read-modify-write, no lock, no allocation),
// so that a reader's acquire load of one figure sees every figure the writer
// stored before it;
// the receiving thread keeps its own ring of arrival times. Any thread may
// take a snapshot; compute publishes one through the node's statistics
// attributes.
#pragma once

#include <atomic>
#include <cstdint>

struct StreamSnapshot {
    std::int64_t datagramsReceived = 0;
    std::int64_t framesDecoded = 0;
    std::int64_t framesLost = 0;        // frame numbers skipped going forward
    std::int64_t framesOutOfOrder = 0;  // numbers at or below the highest seen
    std::int64_t datagramsRefused = 0;
    std::int64_t posesPassedOver = 0;
    // Dropped unlooked-at: every pose buffer was taken.
    std::int64_t datagramsDroppedNoBuffer = 0;
    std::int32_t lastFrameNumber = -1;  // of the newest decoded frame; -1 before any
    double senderTimestamp = 0.0;       // seconds, of the newest decoded frame
    double jitterMs = 0.0;              // inter-arrival standard deviation, last second
    double arrivalRateHz = 0.0;         // datagrams per second, last second
};

// A count as a 32-bit figure (an int attribute, a MEL int): counts beyond
// the range stay at its top.
int clampedCount(std::int64_t count);

class StreamStatistics {
public:
    // Arrivals kept for the one-second window; at higher rates the window is
    // the last kWindowArrivals arrivals.
    static constexpr int kWindowArrivals = 1024;
    static constexpr std::int64_t kWindowNs = 1000000000;

    // Receiving thread.
    // A datagram arrived at `nowNs` (monotonic nanoseconds).
    void countDatagram(std::int64_t nowNs);
    // A datagram that is not of the format, or fails its checksum or decoding.
    void countRefused();
    // A datagram was dropped unlooked-at: no pose buffer was free.
    void countNoBuffer();
    // A frame was decoded.
    void countFrame(std::int32_t frameNumber, double senderTimestamp);

    // Compute, this counter's only writer: poses handed back unshown because
    // a newer one was queued behind them.
    void countPassedOver(std::int64_t poses) { bump(mPassedOver, poses); }

    // Any thread. Frame figures are loaded before datagramsReceived, so a
    // snapshot whose datagram count matches what a reader knows was handed
    // on holds no frame of a later datagram. The rate and jitter read 0 once
    // nothing has arrived for a whole window before `nowNs`.
    StreamSnapshot snapshot(std::int64_t nowNs) const;

private:
    template <typename T>
    static void bump(std::atomic<T>& counter, T by = 1) {
        counter.store(counter.load(std::memory_order_relaxed) + by, std::memory_order_release);
    }

    std::atomic<std::int64_t> mDatagrams{0};
    std::atomic<std::int64_t> mFrames{0};
    std::atomic<std::int64_t> mLost{0};
    std::atomic<std::int64_t> mOutOfOrder{0};
    std::atomic<std::int64_t> mRefused{0};
    std::atomic<std::int64_t> mPassedOver{0};
    std::atomic<std::int64_t> mNoBuffer{0};
    std::atomic<std::int32_t> mLastFrame{-1};
    std::atomic<double> mSenderTimestamp{0.0};
    std::atomic<double> mJitterVarianceUs2{0.0};
    std::atomic<double> mRateHz{0.0};
    std::atomic<std::int64_t> mLastArrivalNs{0};

    // Receiving thread only.
    bool mHaveFrame = false;
    std::int32_t mHighestFrame = 0;
    std::int64_t mArrivals[kWindowArrivals] = {};
    int mOldest = 0;  // index of the oldest arrival in the window
    int mCount = 0;   // arrivals in the window
    // Sums over the window's intervals (between consecutive arrivals in it),
    // in whole microseconds so that removal is exact.
    std::int64_t mIntervalSumUs = 0;
    std::int64_t mIntervalSquareSumUs = 0;
};
