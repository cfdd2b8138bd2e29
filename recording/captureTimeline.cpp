#include "recording/captureTimeline.h"

#include "recording/keyTimeline.h"
#include "recording/rotation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The least step between two frames placed by arrival, in scene frames, so
// that two frames that arrived together still keep their order.
constexpr double kLeastStep = 1e-3;
// Far below any sender's frame interval in scene frames (a 1000 fps sender
// into a 24 fps scene is 0.024), far above a timestamp's rounding error.
constexpr double kWholeFrameSlack = 1e-6;

// A frame's stamp and arrival, gathered in one pass: placing reads them
// several times, and a frame is hundreds of bytes.
struct StampAt {
    double stamp;
    std::int64_t arrivalNs;
};

bool carriesOn(const StampAt& from, const StampAt& later) {
    const double ahead = later.stamp - from.stamp;
    const double arrived = static_cast<double>(later.arrivalNs - from.arrivalNs) * 1e-9;
    return std::isfinite(ahead) && ahead >= -kSenderClockBreakSeconds &&
           ahead <= std::max(arrived, 0.0) + kSenderClockBreakSeconds;
}

double arrivalFrames(const StampAt& earlier, const StampAt& later, double fps) {
    const double seconds = static_cast<double>(later.arrivalNs - earlier.arrivalNs) * 1e-9;
    return std::max(seconds * fps, kLeastStep);
}

constexpr int kLeftOut = -1;

// Which stretch of the sender's clock each frame belongs to (kLeftOut for a
// frame left out), and which frames stand for their stretch: not late, not
// left out. Stretches are runs of frames in arrival order.
struct ClockStretches {
    std::vector<int> stretchOf;
    std::vector<char> onTime;
    std::vector<std::size_t> firstOf;  // each stretch's first frame
    std::int64_t leftOut = 0;
};

ClockStretches findStretches(const std::vector<StampAt>& frames) {
    const std::size_t count = frames.size();
    ClockStretches found;
    found.stretchOf.assign(count, kLeftOut);
    found.onTime.assign(count, 0);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t newest = kNone;  // the on-time frame the next should carry on from
    int stretch = -1;
    const auto begin = [&](std::size_t i) {
        ++stretch;
        found.firstOf.push_back(i);
        found.stretchOf[i] = stretch;
        found.onTime[i] = 1;
        newest = i;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const StampAt& frame = frames[i];
        if (!std::isfinite(frame.stamp)) {
            ++found.leftOut;
            continue;
        }
        if (newest == kNone) {
            begin(i);
            continue;
        }
        const StampAt& last = frames[newest];
        if (carriesOn(last, frame)) {
            found.stretchOf[i] = stretch;
            if (frame.stamp >= last.stamp) {
                found.onTime[i] = 1;
                newest = i;
            }
            continue;
        }
        // An odd stamp: do the frames after it carry on from it (a new
        // clock) or from the frame before it (this stamp is wrong)?
        int fromLast = 0;
        int fromThis = 0;
        for (std::size_t j = i + 1; j < count && j <= i + kClockLookahead; ++j) {
            const bool afterLast = carriesOn(last, frames[j]);
            const bool afterThis = carriesOn(frame, frames[j]);
            fromLast += afterLast && !afterThis ? 1 : 0;
            fromThis += afterThis && !afterLast ? 1 : 0;
        }
        if (frame.stamp > last.stamp) {
            // Ahead of the arrivals: a lying stamp if the stream goes on
            // from the frame before it, else a jump of the sender's clock
            // that its stamps place.
            if (fromLast > fromThis) {
                ++found.leftOut;
            } else {
                found.stretchOf[i] = stretch;
                found.onTime[i] = 1;
                newest = i;
            }
            continue;
        }
        if (fromThis > fromLast || fromLast == 0) {
            begin(i);  // a new clock, or nothing after it to say otherwise
            continue;
        }
        // The stream carried on past it. A late frame from within its
        // stretch lies at its own time; any other is left out.
        const double stretchBegan = frames[found.firstOf.back()].stamp;
        if (frame.stamp < last.stamp && frame.stamp >= stretchBegan - kSenderClockBreakSeconds) {
            found.stretchOf[i] = stretch;
        } else {
            ++found.leftOut;
        }
    }
    return found;
}

}  // namespace

bool stampCarriesOn(double stamp, std::int64_t arrivalNs, const JournalFrame& later) {
    return carriesOn(StampAt{stamp, arrivalNs}, StampAt{later.timestamp, later.arrivalNs});
}

double captureSecondsBetween(const JournalFrame& earlier, const JournalFrame& later) {
    if (stampCarriesOn(earlier.timestamp, earlier.arrivalNs, later)) {
        return std::max(later.timestamp - earlier.timestamp, 0.0);
    }
    return std::max(static_cast<double>(later.arrivalNs - earlier.arrivalNs) * 1e-9, 0.0);
}

std::vector<TimedFrame> placeFrames(const std::vector<JournalFrame>& frames, const TakeClock& clock,
                                    std::int64_t* mistimed) {
    std::vector<StampAt> clockOf(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        clockOf[i] = StampAt{frames[i].timestamp, frames[i].arrivalNs};
    }
    const ClockStretches stretches = findStretches(clockOf);
    if (mistimed != nullptr) {
        *mistimed = stretches.leftOut;
    }
    const std::size_t count = frames.size();
    // The anchor stands for its stretch: the first on-time frame from it on
    // (or, failing that, before it).
    std::size_t anchor = count;
    for (std::size_t i = std::min(clock.anchor, count); i < count && anchor == count; ++i) {
        if (stretches.onTime[i]) anchor = i;
    }
    for (std::size_t i = std::min(clock.anchor, count); i-- > 0 && anchor == count;) {
        if (stretches.onTime[i]) anchor = i;
    }
    if (anchor == count) {
        return {};
    }
    const double fps = clock.framesPerSecond;
    const std::size_t stretchCount = stretches.firstOf.size();
    // Frame i of stretch k lies at base[k] + (stamp - reference[k]) * fps;
    // the anchor's stretch is measured from the anchor, so that it lies
    // exactly on its time.
    std::vector<double> base(stretchCount, 0.0);
    std::vector<double> reference(stretchCount, 0.0);
    for (std::size_t k = 0; k < stretchCount; ++k) {
        reference[k] = clockOf[stretches.firstOf[k]].stamp;
    }
    std::vector<double> times(count, 0.0);
    const auto stampOffset = [&](std::size_t i, int k) {
        return (clockOf[i].stamp - reference[static_cast<std::size_t>(k)]) * fps;
    };
    const auto placeStretch = [&](int k, double& earliest, double& latest) {
        earliest = std::numeric_limits<double>::infinity();
        latest = -earliest;
        for (std::size_t i = stretches.firstOf[static_cast<std::size_t>(k)];
             i < count && (stretches.stretchOf[i] == k || stretches.stretchOf[i] == kLeftOut);
             ++i) {
            if (stretches.stretchOf[i] != k) continue;
            times[i] = base[static_cast<std::size_t>(k)] + stampOffset(i, k);
            if (!std::isfinite(times[i])) times[i] = base[static_cast<std::size_t>(k)];
            earliest = std::min(earliest, times[i]);
            latest = std::max(latest, times[i]);
        }
    };
    const int anchorStretch = stretches.stretchOf[anchor];
    reference[static_cast<std::size_t>(anchorStretch)] = clockOf[anchor].stamp;
    base[static_cast<std::size_t>(anchorStretch)] = clock.anchorTime;
    double earliest = 0.0;
    double latest = 0.0;
    placeStretch(anchorStretch, earliest, latest);
    const double anchorEarliest = earliest;
    // Later stretches go on after the latest frame so far, by arrival.
    for (int k = anchorStretch + 1; k < static_cast<int>(stretchCount); ++k) {
        const std::size_t first = stretches.firstOf[static_cast<std::size_t>(k)];
        std::size_t before = first;
        while (before-- > 0 && stretches.stretchOf[before] == kLeftOut) {
        }
        base[static_cast<std::size_t>(k)] =
            latest + arrivalFrames(clockOf[before], clockOf[first], fps);
        double stretchEarliest = 0.0;
        double stretchLatest = 0.0;
        placeStretch(k, stretchEarliest, stretchLatest);
        latest = std::max(latest, stretchLatest);
    }
    // Earlier stretches (pre-roll) end before the earliest frame so far.
    earliest = anchorEarliest;
    for (int k = anchorStretch; k-- > 0;) {
        const std::size_t next = stretches.firstOf[static_cast<std::size_t>(k) + 1];
        std::size_t last = next;
        while (last-- > 0 && stretches.stretchOf[last] == kLeftOut) {
        }
        // Placed from 0, then moved so that its latest frame lies before.
        base[static_cast<std::size_t>(k)] = 0.0;
        double stretchEarliest = 0.0;
        double stretchLatest = 0.0;
        placeStretch(k, stretchEarliest, stretchLatest);
        const double shift =
            earliest - arrivalFrames(clockOf[last], clockOf[next], fps) - stretchLatest;
        base[static_cast<std::size_t>(k)] = shift;
        placeStretch(k, stretchEarliest, stretchLatest);
        earliest = std::min(earliest, stretchEarliest);
    }

    std::vector<TimedFrame> timeline;
    timeline.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (stretches.stretchOf[i] == kLeftOut) continue;
        // Timestamps of whole frames land a rounding error off the frame:
        // they are put back on it, so a key on a whole frame stays there.
        const double whole = std::round(times[i]);
        const double time = std::fabs(times[i] - whole) < kWholeFrameSlack ? whole : times[i];
        timeline.push_back(TimedFrame{time, static_cast<std::uint32_t>(i)});
    }
    const auto earlier = [](const TimedFrame& a, const TimedFrame& b) { return a.time < b.time; };
    if (!std::is_sorted(timeline.begin(), timeline.end(), earlier)) {
        std::stable_sort(timeline.begin(), timeline.end(), earlier);  // frames came late
    }
    timeline.erase(
        std::unique(timeline.begin(), timeline.end(),
                    [](const TimedFrame& a, const TimedFrame& b) { return a.time == b.time; }),
        timeline.end());
    return timeline;
}

namespace {

// Translation and quaternion only: what interpolation reads.
RecordedSample jointPose(const JournalFrame& frame, int joint) {
    const JournalJoint& j = frame.joints[joint];
    RecordedSample pose{};
    pose.translateX = j.translate[0];
    pose.translateY = j.translate[1];
    pose.translateZ = j.translate[2];
    pose.quatW = j.rotation[3];
    pose.quatX = j.rotation[0];
    pose.quatY = j.rotation[1];
    pose.quatZ = j.rotation[2];
    return pose;
}

}  // namespace

RecordedSample jointSample(const JournalFrame& frame, int joint, double time) {
    RecordedSample sample = jointPose(frame, joint);
    const EulerDegrees angles =
        quaternionToEulerDegrees(sample.quatX, sample.quatY, sample.quatZ, sample.quatW);
    // As the node's outputs give them: floats.
    sample.rotateX = static_cast<float>(angles.x);
    sample.rotateY = static_cast<float>(angles.y);
    sample.rotateZ = static_cast<float>(angles.z);
    sample.time = time;
    return sample;
}

void captureSamples(const std::vector<JournalFrame>& frames,
                    const std::vector<TimedFrame>& timeline, int joint,
                    std::vector<RecordedSample>& samples) {
    samples.clear();
    samples.reserve(timeline.size());
    for (const TimedFrame& placed : timeline) {
        samples.push_back(jointSample(frames[placed.index], joint, placed.time));
    }
}

std::vector<WholeFrameKey> wholeFrameKeys(const std::vector<TimedFrame>& timeline,
                                          std::int64_t& unfilledFrames) {
    std::vector<WholeFrameKey> keys;
    unfilledFrames = 0;
    if (timeline.empty()) {
        return keys;
    }
    const std::size_t count = timeline.size();
    const double last = std::floor(timeline.back().time);
    if (last - timeline.front().time < 1e7) {
        keys.reserve(static_cast<std::size_t>(last - timeline.front().time) + 2);
    }
    std::size_t k = 0;
    // Whole frames can lie far beyond an integer's range: the walk counts in
    // doubles, one frame at a time or past a gap at once.
    double wholeFrame = std::ceil(timeline.front().time) - 1.0;
    while (wholeFrame + 1.0 <= last) {
        if (wholeFrame + 1.0 == wholeFrame) {
            break;  // beyond 2^53 a frame no longer adds up: nothing to key there
        }
        wholeFrame += 1.0;
        while (k + 1 < count && timeline[k + 1].time <= wholeFrame) {
            ++k;
        }
        if (timeline[k].time == wholeFrame) {
            keys.push_back(WholeFrameKey{wholeFrame, timeline[k].index, timeline[k].index, 0.0});
            continue;
        }
        // timeline[k] < wholeFrame <= last, so a later frame exists.
        const double span = timeline[k + 1].time - timeline[k].time;
        if (skippedFrameCount(span) > kMaxFilledGapFrames) {
            // Past the unfillable gap in one step: its frames, this one up to
            // the first after the gap, are left out.
            const double resume = std::ceil(timeline[k + 1].time);
            unfilledFrames += skippedFrameCount(resume - wholeFrame + 1.0);
            wholeFrame = resume - 1.0;
            continue;
        }
        keys.push_back(WholeFrameKey{wholeFrame, timeline[k].index, timeline[k + 1].index,
                                     (wholeFrame - timeline[k].time) / span});
    }
    return keys;
}

RecordedSample resampledSample(const std::vector<JournalFrame>& frames, const WholeFrameKey& key,
                               int joint) {
    if (key.fraction == 0.0) {
        return jointSample(frames[key.before], joint, key.time);
    }
    RecordedSample between = interpolateSample(jointPose(frames[key.before], joint),
                                               jointPose(frames[key.after], joint), key.fraction);
    between.time = key.time;
    return between;
}
