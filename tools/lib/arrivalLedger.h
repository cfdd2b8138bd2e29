// Book-keeping of the device node's pose queue, so that the recorder can
// step playback in lockstep with arrivals: one entry per queued pose,
// telling whether it carries a newly decoded frame (and which) or repeats
// the previous pose (a skeleton definition, or a frame that was not
// decoded). recordPush and recordPop are called in queue order (the host
// calls its observers with the queue locked), so the entries mirror the
// queue: the front entry describes the pose the next pop returns.
//
// A push says only that a pose was queued. What it carries comes from the
// node's statistics attributes, read on the main thread: when they were read
// with no push in between and they count exactly the datagrams pushed so far
// (plus those the node dropped unpushed), they describe the newest pose, and
// the frames decoded since the last reading tell whether it is new.
// A mutex guards everything (this is the recorder's code, not the plug-in's).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace ztools {

// The node's figures as its statistics attributes give them.
struct NodeFigures {
    std::int64_t datagramsReceived = 0;
    std::int64_t framesDecoded = 0;
    std::int32_t lastFrameNumber = -1;
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
    // New frames whose pose could not be told apart from its neighbours'
    // (several pushes between two readings, not in a plain sequence): their
    // poses are taken as repeats.
    std::int64_t unplaced = 0;
    std::int32_t firstFrame = -1;
    std::int32_t lastFrame = -1;
};

enum class Resolution {
    kNothing,   // every push is resolved
    kResolved,  // the unresolved pushes now have their entries
    kStale,     // the figures do not match the pushes: read again
};

class ArrivalLedger {
public:
    // Receiving thread, right after a push.
    void recordPush();
    // Popping thread, right after a pose left the queue.
    void recordPop();

    // Main thread: `figures` were computed after `pushesBefore` pushes had
    // been recorded (never an earlier computation), and describe the newest
    // pose when no push came since and no datagram is counted beyond them.
    Resolution resolve(const NodeFigures& figures, std::int64_t pushesBefore);
    // The figures count datagrams that will never be pushed (refused before
    // a pose was taken, or dropped with no pose buffer free): take their
    // number as the new difference between datagrams and pushes.
    void acceptUnpushed(const NodeFigures& figures);
    std::int64_t unresolved() const;

    // The entry of the pose the next pop returns, once resolved; false when none.
    bool peek(Arrival& out) const;
    // What an evaluation shows now: the node passes over all queued poses
    // but the newest. False until every queued pose is resolved. `queued`
    // takes how many wait. A repeat shows the pose of the newest frame, so
    // it counts as new when a passed-over pose brought a new frame.
    bool peekNewest(Arrival& out, std::size_t& queued) const;
    // Takes the front resolved entry out (for a queue that is popped by hand).
    bool take(Arrival& out);
    // Waits up to `timeout` for a push; true when some push is unresolved or
    // an entry is waiting.
    bool waitForEntry(std::chrono::milliseconds timeout);
    std::size_t pending() const;
    LedgerCounts counts() const;
    // Time of the last push; epoch when none.
    std::chrono::steady_clock::time_point lastPushTime() const;

private:
    struct Entry {
        Arrival arrival;
        bool resolved = false;
    };
    void noteNewFrame(std::int32_t frameNumber);

    mutable std::mutex mMutex;
    std::condition_variable mArrived;
    std::deque<Entry> mEntries;
    LedgerCounts mCounts;
    std::int64_t mResolvedPushes = 0;
    std::int64_t mUnpushed = 0;  // datagrams counted by the node but never pushed
    std::int64_t mDecoded = 0;   // frames decoded at the last resolution
    std::int32_t mNewest = -1;   // frame number of the newest pose resolved, as the node starts
    std::chrono::steady_clock::time_point mLastPush{};
};

}  // namespace ztools
