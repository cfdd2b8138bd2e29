#include "tools/lib/arrivalLedger.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ztools {
namespace {

// What the node's statistics would say after `datagrams` datagrams, the
// newest decoded frame being `last`.
NodeFigures figures(std::int64_t datagrams, std::int64_t decoded, std::int32_t last) {
    return {datagrams, decoded, last};
}

std::vector<Arrival> takeAll(ArrivalLedger& ledger) {
    std::vector<Arrival> out;
    Arrival a;
    while (ledger.take(a)) out.push_back(a);
    return out;
}

// One push at a time, read back before the next: each pose gets its frame,
// a definition repeats the pose before it.
TEST(ArrivalLedger, FiguresReadAfterEachPushPlaceItsPose) {
    ArrivalLedger ledger;
    EXPECT_EQ(ledger.resolve(figures(0, 0, -1), 0), Resolution::kNothing);
    struct Step {
        NodeFigures after;
        bool newFrame;
        int frame;
    } steps[] = {
        {figures(1, 0, -1), false, -1},  // a definition before any frame
        {figures(2, 1, 0), true, 0},    {figures(3, 1, 0), false, 0},  // a definition
        {figures(4, 2, 1), true, 1},    {figures(5, 3, 3), true, 3},   // frame 2 was lost
        {figures(6, 4, 2), true, 2},                                   // and comes late
    };
    for (const Step& step : steps) {
        const std::int64_t before = ledger.counts().pushes + 1;
        ledger.recordPush();
        Arrival a;
        EXPECT_FALSE(ledger.peek(a)) << "unresolved entries are not handed out";
        EXPECT_EQ(ledger.resolve(step.after, before), Resolution::kResolved);
        ASSERT_TRUE(ledger.take(a));
        EXPECT_EQ(a.newFrame, step.newFrame);
        EXPECT_EQ(a.frameNumber, step.frame);
    }
    const LedgerCounts c = ledger.counts();
    EXPECT_EQ(c.newFrames, 4);
    EXPECT_EQ(c.missing, 1);
    EXPECT_EQ(c.firstFrame, 0);
    EXPECT_EQ(c.lastFrame, 2);
    EXPECT_EQ(c.unplaced, 0);
}

// Figures that do not match the pushes are refused until they do: a push
// during the reading, a datagram counted but not yet pushed, or one the
// node dropped (accepted once known).
TEST(ArrivalLedger, StaleFiguresAreRefused) {
    ArrivalLedger ledger;
    ledger.recordPush();
    EXPECT_EQ(ledger.resolve(figures(1, 1, 10), 0), Resolution::kStale);  // pushed meanwhile
    EXPECT_EQ(ledger.resolve(figures(2, 2, 11), 1), Resolution::kStale);  // one in flight
    EXPECT_EQ(ledger.unresolved(), 1);
    EXPECT_EQ(ledger.resolve(figures(1, 1, 10), 1), Resolution::kResolved);

    ledger.recordPush();
    // The node dropped one datagram (no pose buffer free) before this push.
    EXPECT_EQ(ledger.resolve(figures(3, 2, 12), 2), Resolution::kStale);
    ledger.acceptUnpushed(figures(3, 2, 12));
    EXPECT_EQ(ledger.resolve(figures(3, 2, 12), 2), Resolution::kResolved);
    // A datagram only slow to be pushed, taken for dropped: the next
    // reading counts fewer, and that corrects it.
    ledger.recordPush();
    ledger.acceptUnpushed(figures(5, 3, 13));
    EXPECT_EQ(ledger.resolve(figures(4, 3, 13), 3), Resolution::kResolved);
    const std::vector<Arrival> all = takeAll(ledger);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].frameNumber, 12);
    EXPECT_EQ(all[2].frameNumber, 13);
    EXPECT_EQ(ledger.counts().missing, 1) << "frame 11 went with the dropped datagram";
}

// Several pushes between two readings: a plain sequence of new frames is
// still placed; anything else is taken as repeats and counted unplaced.
TEST(ArrivalLedger, PushesReadTogether) {
    ArrivalLedger ledger;
    ledger.recordPush();
    EXPECT_EQ(ledger.resolve(figures(1, 1, 4), 1), Resolution::kResolved);
    for (int i = 0; i < 3; ++i) ledger.recordPush();
    EXPECT_EQ(ledger.resolve(figures(4, 4, 7), 4), Resolution::kResolved);
    for (int i = 0; i < 2; ++i) ledger.recordPush();
    EXPECT_EQ(ledger.resolve(figures(6, 4, 7), 6), Resolution::kResolved);  // two definitions
    for (int i = 0; i < 2; ++i) ledger.recordPush();
    EXPECT_EQ(ledger.resolve(figures(8, 6, 10), 8), Resolution::kResolved);  // 8 or 9 lost
    const std::vector<Arrival> all = takeAll(ledger);
    ASSERT_EQ(all.size(), 8u);
    const bool expectedNew[] = {true, true, true, true, false, false, false, false};
    const int expectedNumber[] = {4, 5, 6, 7, 7, 7, 7, 7};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(all[i].newFrame, expectedNew[i]) << i;
        EXPECT_EQ(all[i].frameNumber, expectedNumber[i]) << i;
    }
    EXPECT_EQ(ledger.counts().unplaced, 2);
    EXPECT_EQ(ledger.counts().lastFrame, 10);
}

TEST(ArrivalLedger, PopsMirrorTheQueueEvenBeforeResolution) {
    ArrivalLedger ledger;
    ledger.recordPush();
    ledger.recordPush();
    ledger.recordPop();  // taken before its figures were read
    EXPECT_EQ(ledger.resolve(figures(2, 2, 1), 2), Resolution::kResolved);
    Arrival a;
    ASSERT_TRUE(ledger.peek(a));
    EXPECT_EQ(a.frameNumber, 1);
    EXPECT_EQ(ledger.pending(), 1u);
    ledger.recordPop();
    ledger.recordPop();  // a pop of a pose pushed before the ledger existed
    EXPECT_FALSE(ledger.peek(a));
    EXPECT_EQ(ledger.counts().pops, 3);
    EXPECT_EQ(ledger.counts().newFrames, 2);
}

// An evaluation passes over all queued poses but the newest: a repeat behind
// a new frame shows that frame's pose, so it is what a key must carry.
TEST(ArrivalLedger, TheNewestQueuedPoseIsWhatAnEvaluationShows) {
    ArrivalLedger ledger;
    ledger.recordPush();
    ASSERT_EQ(ledger.resolve(figures(1, 1, 7), 1), Resolution::kResolved);
    ledger.recordPush();  // a definition
    Arrival a;
    std::size_t queued = 0;
    EXPECT_FALSE(ledger.peekNewest(a, queued)) << "the newest is not placed yet";
    ASSERT_EQ(ledger.resolve(figures(2, 1, 7), 2), Resolution::kResolved);
    ASSERT_TRUE(ledger.peekNewest(a, queued));
    EXPECT_EQ(queued, 2u);
    EXPECT_TRUE(a.newFrame);
    EXPECT_EQ(a.frameNumber, 7);

    ledger.recordPop();
    ledger.recordPop();
    ledger.recordPush();  // another definition: nothing new behind it
    ASSERT_EQ(ledger.resolve(figures(3, 1, 7), 3), Resolution::kResolved);
    ASSERT_TRUE(ledger.peekNewest(a, queued));
    EXPECT_EQ(queued, 1u);
    EXPECT_FALSE(a.newFrame);
}

TEST(ArrivalLedger, PushesFromAnotherThreadWakeTheReader) {
    ArrivalLedger ledger;
    EXPECT_FALSE(ledger.waitForEntry(std::chrono::milliseconds(1)));
    constexpr int kPushes = 500;
    std::thread producer([&] {
        for (int n = 0; n < kPushes; ++n) ledger.recordPush();
    });
    std::int64_t seen = 0;
    while (seen < kPushes) {
        ASSERT_TRUE(ledger.waitForEntry(std::chrono::seconds(5)));
        const std::int64_t pushes = ledger.counts().pushes;
        ledger.resolve(figures(pushes, pushes, std::int32_t(pushes - 1)), pushes);
        Arrival a;
        while (ledger.take(a)) ++seen;
    }
    producer.join();
    EXPECT_GT(ledger.lastPushTime().time_since_epoch().count(), 0);
    EXPECT_EQ(ledger.counts().newFrames, kPushes);
}

}  // namespace
}  // namespace ztools
