#include "tools/lib/arrivalLedger.h"

#include <gtest/gtest.h>

#include <thread>

namespace ztools {
namespace {

FrameStamp frame(int n, int fps = 60) {
    return {n, double(n) / fps, 27};
}

TEST(ArrivalLedger, TellsNewFramesFromRepeatedPoses) {
    ArrivalLedger ledger;
    ledger.recordPush(FrameStamp{});  // a definition before any frame
    ledger.recordPush(frame(0));      // frame 0 at time 0 is still new
    ledger.recordPush(frame(0));      // a definition: the store still holds frame 0
    ledger.recordPush(frame(1));
    ledger.recordPush(frame(3));  // frame 2 was lost
    ledger.recordPush(frame(5));  // frame 4 too
    const bool expectedNew[] = {false, true, false, true, true, true};
    const int expectedNumber[] = {0, 0, 0, 1, 3, 5};
    EXPECT_EQ(ledger.pending(), 6u);
    for (int i = 0; i < 6; ++i) {
        Arrival a;
        ASSERT_TRUE(ledger.take(a));
        EXPECT_EQ(a.newFrame, expectedNew[i]) << i;
        EXPECT_EQ(a.frameNumber, expectedNumber[i]) << i;
    }
    Arrival none;
    EXPECT_FALSE(ledger.take(none));
    const LedgerCounts c = ledger.counts();
    EXPECT_EQ(c.pushes, 6);
    EXPECT_EQ(c.newFrames, 4);
    EXPECT_EQ(c.missing, 2);
    EXPECT_EQ(c.firstFrame, 0);
    EXPECT_EQ(c.lastFrame, 5);
}

TEST(ArrivalLedger, AFrameWithTheSameNumberButAnotherTimeIsNew) {
    ArrivalLedger ledger;
    ledger.recordPush(frame(7));
    ledger.recordPush({7, 99.0, 27});  // a restarted sender
    ledger.recordPush({6, 0.1, 27});   // numbers going back count no gap
    Arrival a;
    int fresh = 0;
    while (ledger.take(a)) fresh += a.newFrame;
    EXPECT_EQ(fresh, 3);
    EXPECT_EQ(ledger.counts().missing, 0);
}

TEST(ArrivalLedger, PopsMirrorTheQueue) {
    ArrivalLedger ledger;
    ledger.recordPush(frame(1));
    ledger.recordPush(frame(1));
    ledger.recordPush(frame(2));
    Arrival a;
    ASSERT_TRUE(ledger.peek(a));
    EXPECT_TRUE(a.newFrame);
    EXPECT_EQ(a.frameNumber, 1);
    ledger.recordPop();
    ASSERT_TRUE(ledger.peek(a));
    EXPECT_FALSE(a.newFrame);
    ledger.recordPop();
    ASSERT_TRUE(ledger.peek(a));
    EXPECT_EQ(a.frameNumber, 2);
    EXPECT_EQ(ledger.pending(), 1u);
    ledger.recordPop();
    ledger.recordPop();  // a pop of a pose pushed before the ledger existed
    EXPECT_FALSE(ledger.peek(a));
    EXPECT_EQ(ledger.counts().pops, 4);
    EXPECT_EQ(ledger.counts().pushes, 3);
}

TEST(ArrivalLedger, HandsEntriesAcrossThreadsInOrder) {
    ArrivalLedger ledger;
    EXPECT_FALSE(ledger.waitForEntry(std::chrono::milliseconds(1)));
    constexpr int kFrames = 2000;
    std::thread producer([&] {
        for (int n = 0; n < kFrames; ++n) {
            ledger.recordPush(frame(n));
            if (n % 60 == 0) ledger.recordPush(frame(n));  // definitions
        }
    });
    int expected = 0;
    int repeats = 0;
    while (expected < kFrames) {
        ASSERT_TRUE(ledger.waitForEntry(std::chrono::seconds(5)));
        Arrival a;
        while (ledger.take(a)) {
            if (!a.newFrame) {
                ++repeats;
                EXPECT_EQ(a.frameNumber, expected - 1);
                continue;
            }
            EXPECT_EQ(a.frameNumber, expected);
            ++expected;
        }
    }
    producer.join();
    Arrival a;
    while (ledger.take(a)) repeats += !a.newFrame;
    EXPECT_EQ(repeats, (kFrames + 59) / 60);
    EXPECT_EQ(ledger.counts().missing, 0);
    EXPECT_GT(ledger.lastPushTime().time_since_epoch().count(), 0);
}

}  // namespace
}  // namespace ztools
