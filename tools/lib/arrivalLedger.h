// Book-keeping of the device node's pose queue, so that the recorder can
// step playback in lockstep with arrivals: one entry per queued pose,
// telling whether it carries a newly decoded frame (and which) or repeats
// the previous pose (a skeleton definition, or a frame that was not
// decoded). recordPush and recordPop are called in queue order (the host
// calls its observers with the queue locked), so the entries mirror the
// queue: the front entry describes the pose the next pop returns.
// A mutex guards everything (this is the recorder's code, not the plug-in's).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace ztools {

// The store's header of its newest decoded frame.
struct FrameStamp {
    std::int32_t frameNumber = 0;
    double timestamp = 0.0;
    std::int32_t jointsInFrame = 0;
    bool operator==(const FrameStamp& o) const {
        return frameNumber == o.frameNumber && timestamp == o.timestamp &&
               jointsInFrame == o.jointsInFrame;
    }
};

struct Arrival {
    bool newFrame = false;
    std::int32_t frameNumber = 0;  // of the newest decoded frame
};

struct LedgerCounts {
    std::int64_t pushes = 0;  // poses pushed (one per datagram handled)
    std::int64_t pops = 0;
    std::int64_t newFrames = 0;  // of which carried a newly decoded frame
    std::int64_t missing = 0;    // frame numbers skipped between new frames
    std::int32_t firstFrame = -1;
    std::int32_t lastFrame = -1;
};

class ArrivalLedger {
public:
    // Receiving thread, right after a push: the store's newest frame header.
    // A header that differs from the previous push's means a new frame.
    void recordPush(const FrameStamp& stamp);

    // Popping thread, right after a pose left the queue.
    void recordPop();

    // The entry of the pose the next pop returns; false when none.
    bool peek(Arrival& out) const;
    // Takes the front entry out (for a queue that is popped by hand).
    bool take(Arrival& out);
    // Waits up to `timeout` for an entry; true when one is there.
    bool waitForEntry(std::chrono::milliseconds timeout);
    std::size_t pending() const;
    LedgerCounts counts() const;
    // Time of the last push; epoch when none.
    std::chrono::steady_clock::time_point lastPushTime() const;

private:
    mutable std::mutex mMutex;
    std::condition_variable mArrived;
    std::deque<Arrival> mEntries;
    FrameStamp mLast;
    bool mHaveLast = false;
    LedgerCounts mCounts;
    std::chrono::steady_clock::time_point mLastPush{};
};

}  // namespace ztools
