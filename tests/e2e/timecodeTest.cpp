// End to end: streams stamped with a timecode, recorded over 127.0.0.1 into
// the installed plug-in; the take nodes name their first and last keys'
// timecode exactly, and keyed on the timecode two recordings of the same
// stream put the same frame at the same scene time.
#include "intake/timecode.h"
#include "tools/lib/takeReportFile.h"
#include "tools/recorder/headlessRecorder.h"

#include "tests/e2e/e2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace ztools {
namespace {

struct TimecodeRun {
    RecordedTake take;
    TakeFigures figures;
    RecordedTake secondNode;  // with a group: the second node's take
};

// Records a 30 fps stream stamped from `start`. With `group`, two nodes of
// one session receive it from that multicast group (sent out of 127.0.0.1
// with a TTL of 0) and record it at once.
TimecodeRun recordStamped(const FrameTimecode& start, double seconds, bool keyOnTimecode,
                          const char* group = nullptr) {
    TimecodeRun run;
    RecorderOptions options;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = freePort();
    options.progress = false;
    options.keyOnTimecode = keyOnTimecode;
    SenderOptions send;
    if (group != nullptr) {
        options.multicastGroup = send.multicastGroup = group;
        options.listenAddress = send.multicastInterface = "127.0.0.1";
        options.deviceNodes = 2;
        send.multicastTtl = 0;
    }
    HeadlessRecorder recorder(options);
    std::string error;
    if (!recorder.start(error)) {
        ADD_FAILURE() << error;
        return run;
    }
    send.port = std::uint16_t(options.port);
    send.fps = 30;
    send.timecode = start;
    TakeSender sender(send, seconds);
    std::atomic<bool> stop{false};
    const bool ok = recorder.waitForSkeleton(stop, error) && recorder.characterize(stop, error) &&
                    recorder.record(stop, nullptr, error) && recorder.finish(run.take, error);
    sender.join();
    EXPECT_TRUE(ok) << error;
    run.figures = recorder.takeFigures();
    if (ok && group != nullptr) {
        EXPECT_EQ(recorder.otherTakes().size(), 1u);
        if (!recorder.otherTakes().empty()) run.secondNode = recorder.otherTakes()[0];
    }
    return run;
}

// The label of sender frame `frame` (30 fps, one timecode frame each).
std::string labelOf(const FrameTimecode& start, long frame) {
    return formatTimecode(timecodeAtFrame(timecodeFrameCount(start) + frame,
                                          static_cast<TimecodeRate>(start.rate),
                                          start.dropFrame()));
}

TEST(TimecodeEndToEnd, TakeNodesNameTheirTimecodeAndKeysLieOnIt) {
    // 30 fps non-drop from 10:00:00:00: the take's first and last keys are
    // the frames its capture stamps name.
    const FrameTimecode ten = *parseTimecode("10:00:00:00", TimecodeRate::k30, false);
    const TimecodeRun plain = recordStamped(ten, 2.0, false);
    ASSERT_FALSE(plain.take.curves.empty());
    const long first = std::lround(plain.take.captureStamp * 30.0);
    const auto& rootX = plain.take.curves[0].keys;
    const long last = first + std::lround(rootX.back().first - rootX.front().first);
    EXPECT_EQ(plain.take.startTimecode, labelOf(ten, first));
    EXPECT_EQ(plain.take.endTimecode, labelOf(ten, last));
    EXPECT_EQ(plain.figures.startTimecode, plain.take.startTimecode) << "the recorder's JSON";

    // 29.97 drop-frame across a minute: 10:00:58;00 plus 3 s of frames
    // crosses 10:01:00;02 after the two labels drop-frame skips.
    const FrameTimecode drop = *parseTimecode("10:00:58;00", TimecodeRate::k29_97, true);
    const TimecodeRun crossing = recordStamped(drop, 3.0, true);
    ASSERT_FALSE(crossing.take.curves.empty());
    const auto& keys = crossing.take.curves[0].keys;
    // Keyed on the timecode at 30 scene frames a second: frame n of the
    // stream lies at its label's frame count * 1001/1000.
    const long firstFrame = std::lround(crossing.take.captureStamp * 30.0);
    const double count = double(timecodeFrameCount(drop) + firstFrame);
    const double expectedFirst = std::ceil(count * 1001.0 / 1000.0 - 1e-6);
    EXPECT_NEAR(keys.front().first, expectedFirst, 1e-6);
    const long lastFrame =
        firstFrame + std::lround((keys.back().first - keys.front().first) * 1000.0 / 1001.0);
    EXPECT_EQ(crossing.take.startTimecode, labelOf(drop, firstFrame));
    EXPECT_EQ(crossing.take.endTimecode.substr(0, 6), "10:01:") << crossing.take.endTimecode;
    EXPECT_LE(std::abs(timecodeFrameCount(
                           *parseTimecode(crossing.take.endTimecode, TimecodeRate::k29_97, true)) -
                       (timecodeFrameCount(drop) + lastFrame)),
              1)
        << "the last key lies within a frame of the last captured one";
    EXPECT_EQ(crossing.take.endTimecode.find(";00"), std::string::npos);

    // A second recording of the same stream, keyed on its timecode, puts
    // every key it shares with the first at the same time with the same
    // value, wherever its recording began.
    const TimecodeRun again = recordStamped(drop, 3.0, true);
    ASSERT_FALSE(again.take.curves.empty());
    std::map<double, double> firstRun(keys.begin(), keys.end());
    int shared = 0;
    for (const auto& key : again.take.curves[0].keys) {
        const auto found = firstRun.find(key.first);
        if (found == firstRun.end()) continue;
        ++shared;
        EXPECT_NEAR(found->second, key.second, 1e-4) << "at " << key.first;
    }
    EXPECT_GT(shared, 30);

    // Two nodes recording the same stream at once: the same key times and
    // values. Recording begins for both in one evaluation, so a frame that
    // reached one node's journal just before and the other's just after may
    // give one of them a key more at either end, no more.
    const TimecodeRun both = recordStamped(drop, 3.0, true, "239.255.77.79");
    ASSERT_FALSE(both.take.curves.empty());
    ASSERT_FALSE(both.secondNode.curves.empty());
    const auto& one = both.take.curves[0].keys;
    const auto& other = both.secondNode.curves[0].keys;
    const double from = std::max(one.front().first, other.front().first);
    const double to = std::min(one.back().first, other.back().first);
    const auto within = [&](const std::vector<std::pair<double, double>>& all) {
        std::vector<std::pair<double, double>> kept;
        for (const auto& key : all) {
            if (key.first >= from && key.first <= to) kept.push_back(key);
        }
        return kept;
    };
    const auto oneWithin = within(one);
    const auto otherWithin = within(other);
    ASSERT_GT(oneWithin.size(), 60u);
    ASSERT_EQ(oneWithin.size(), otherWithin.size());
    for (std::size_t i = 0; i < oneWithin.size(); ++i) {
        EXPECT_EQ(oneWithin[i].first, otherWithin[i].first) << "key " << i;
        EXPECT_NEAR(oneWithin[i].second, otherWithin[i].second, 1e-9) << "key " << i;
    }
    EXPECT_LE(one.size() - oneWithin.size(), 2u);
    EXPECT_LE(other.size() - otherWithin.size(), 2u);
}

}  // namespace
}  // namespace ztools
