#include "intake/captureJournal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

// Sets the journal's read pause (see CaptureJournal::ReadPause).
struct CaptureJournalReadPause {
    static void set(CaptureJournal& journal, void (*call)(void*), void* context) {
        journal.mReadPause.call = call;
        journal.mReadPause.context = context;
    }
};

namespace {

// A pose whose every number is derived from `n`, so that a frame mixed from
// two writes cannot pass for either; the definition's offsets from
// `definition`.
std::vector<JointRecord> poseOf(int n, int definition = 1) {
    std::vector<JointRecord> records(kJointCount);
    for (int j = 0; j < kJointCount; ++j) {
        const double v = n * 100.0 + j;
        const double d = definition * 1000.0 + j;
        records[j].currentTranslation = {v, v + 0.25, v + 0.5};
        records[j].definitionTranslation = {-d, -d - 0.25, -d - 0.5};
        records[j].currentRotation = {v, v + 1, v + 2, v + 3};
    }
    return records;
}

bool frameIsWhole(const JournalFrame& frame, int n, int definition = 1) {
    bool whole = frame.frameNumber == n && frame.timestamp == n / 120.0 && frame.arrivalNs == n;
    for (int j = 0; j < kJointCount; ++j) {
        const float v = static_cast<float>(n * 100.0 + j);
        // Only the root takes the frame's translation; the others the definition's.
        const float t = j == 0 ? v : -static_cast<float>(definition * 1000.0 + j);
        whole = whole && frame.joints[j].translate[0] == t &&
                frame.joints[j].rotation[3] == static_cast<float>(n * 100.0 + j + 3);
    }
    return whole;
}

TEST(CaptureJournalTest, KeepsTheNewestFramesAndKnowsWhichAreGone) {
    EXPECT_EQ(CaptureJournal::framesFor(120.0), 14400u);
    EXPECT_EQ(CaptureJournal::framesFor(0.0), 120u);  // at least a second
    EXPECT_EQ(CaptureJournal::framesFor(NAN), 120u);
    EXPECT_EQ(CaptureJournal::framesFor(1e9), 432000u);  // at most an hour

    CaptureJournal journal;
    JournalFrame frame;
    journal.append(poseOf(0).data(), 0, 0.0, 0);  // no room yet: nothing kept
    EXPECT_EQ(journal.written(), 0u);
    journal.reserve(4);
    for (int n = 0; n < 10; ++n) journal.append(poseOf(n).data(), n, n / 120.0, n);
    EXPECT_EQ(journal.written(), 10u);
    EXPECT_EQ(journal.oldest(), 6u);
    EXPECT_FALSE(journal.read(5, frame));   // overwritten
    EXPECT_FALSE(journal.read(10, frame));  // not written yet
    for (int n = 6; n < 10; ++n) {
        ASSERT_TRUE(journal.read(static_cast<std::uint64_t>(n), frame));
        EXPECT_TRUE(frameIsWhole(frame, n)) << n;
    }
    // A new size drops what was held, numbering goes on.
    journal.reserve(8);
    EXPECT_FALSE(journal.read(9, frame));
    journal.append(poseOf(10).data(), 10, 10 / 120.0, 10);
    ASSERT_TRUE(journal.read(10, frame));
    EXPECT_TRUE(frameIsWhole(frame, 10));

    // Frames carry the offsets of the definition they came under, as long
    // as the journal keeps it: eight new definitions later it is gone.
    journal.noteDefinition(poseOf(0, 2).data());
    journal.append(poseOf(11, 2).data(), 11, 11 / 120.0, 11);
    ASSERT_TRUE(journal.read(10, frame));
    EXPECT_TRUE(frameIsWhole(frame, 10, 1));
    ASSERT_TRUE(journal.read(11, frame));
    EXPECT_TRUE(frameIsWhole(frame, 11, 2));
    for (int definition = 3; definition <= 9; ++definition) {
        journal.noteDefinition(poseOf(0, definition).data());
    }
    EXPECT_TRUE(journal.read(11, frame));
    EXPECT_FALSE(journal.read(10, frame));
}

// The writer overwrites a slot while the reader is halfway through its
// words, every time: the reader sees the frame as gone, never as a mix of
// the two poses. A write that leaves the slot alone costs nothing.
TEST(CaptureJournalTest, AFrameOverwrittenWhileItIsReadIsGoneNotTorn) {
    struct Writer {
        CaptureJournal journal;
        int next = 0;
        int framesPerPause = 0;
        void write(int frames) {
            for (int k = 0; k < frames; ++k, ++next) {
                journal.append(poseOf(next).data(), next, next / 120.0, next);
            }
        }
        static void pause(void* self) {
            auto& writer = *static_cast<Writer*>(self);
            writer.write(writer.framesPerPause);
        }
    } writer;
    writer.journal.reserve(4);
    writer.write(4);
    CaptureJournalReadPause::set(writer.journal, &Writer::pause, &writer);
    JournalFrame frame;

    writer.framesPerPause = 3;  // frames 4..6 take slots 0..2: frame 3 stays
    ASSERT_TRUE(writer.journal.read(3, frame));
    EXPECT_TRUE(frameIsWhole(frame, 3));

    for (int slot = 0; slot < 4; ++slot) {
        writer.framesPerPause = 4;  // the slot read goes to a new frame
        const std::uint64_t sequence = writer.journal.oldest();
        const bool read = writer.journal.read(sequence, frame);
        EXPECT_FALSE(read) << "frame " << sequence << " was overwritten while it was read";
        if (read) {
            EXPECT_TRUE(frameIsWhole(frame, static_cast<int>(sequence)))
                << "frame " << sequence << " read torn";
        }
    }
}

// One writer as fast as it can go over a small ring, one reader copying
// behind it: every frame read is whole, and a frame is only refused once the
// writer has passed it.
TEST(CaptureJournalTest, AReaderBehindAWriterNeverSeesATornFrame) {
    CaptureJournal journal;
    journal.reserve(8);
    constexpr int kFrames = 20000;
    std::vector<std::vector<JointRecord>> poses;
    for (int n = 0; n < 64; ++n) poses.push_back(poseOf(n));
    std::thread writer([&] {
        for (int n = 0; n < kFrames; ++n) {
            const int k = n % 64;
            journal.append(poses[k].data(), k, k / 120.0, k);
        }
    });
    int read = 0;
    int gone = 0;
    std::uint64_t next = 0;
    JournalFrame frame;
    while (next < kFrames) {
        if (next >= journal.written()) continue;
        if (journal.read(next, frame)) {
            if (!frameIsWhole(frame, static_cast<int>(next % 64))) {
                ADD_FAILURE() << "frame " << next << " read torn";
                break;  // the writer is still joined below
            }
            ++read;
        } else {
            EXPECT_LT(next, journal.oldest() + 1) << "refused a frame the ring still holds";
            ++gone;
        }
        ++next;
    }
    writer.join();
    EXPECT_EQ(read + gone, kFrames);
    EXPECT_GT(read, 0);
}

}  // namespace
