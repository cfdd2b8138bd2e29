#include "recording/captureTimeline.h"

#include "recording/keyTimeline.h"
#include "recording/rotation.h"

#include <algorithm>
#include <cmath>

namespace {

// The least step between two frames placed by arrival, in scene frames, so
// that two frames that arrived together still keep their order.
constexpr double kLeastStep = 1e-3;
// Far below any sender's frame interval in scene frames (a 1000 fps sender
// into a 24 fps scene is 0.024), far above a timestamp's rounding error.
constexpr double kWholeFrameSlack = 1e-6;

double arrivalFrames(const JournalFrame& earlier, const JournalFrame& later, double fps) {
    const double seconds = static_cast<double>(later.arrivalNs - earlier.arrivalNs) * 1e-9;
    return std::max(seconds * fps, kLeastStep);
}

}  // namespace

std::vector<TimedFrame> placeFrames(const std::vector<JournalFrame>& frames,
                                    const TakeClock& clock) {
    const std::size_t count = frames.size();
    if (count == 0) {
        return {};
    }
    const double fps = clock.framesPerSecond;
    const std::size_t anchor = std::min(clock.anchor, count - 1);
    std::vector<double> times(count);
    times[anchor] = clock.anchorTime;

    // Forward from the anchor: each stretch of the sender's clock is placed
    // from the first frame of the stretch.
    double refStamp = frames[anchor].timestamp;
    double refTime = clock.anchorTime;
    double latest = refTime;
    for (std::size_t i = anchor + 1; i < count; ++i) {
        const double stamp = frames[i].timestamp;
        const double byStamp = refTime + (stamp - refStamp) * fps;
        if (std::isfinite(refStamp) && std::isfinite(byStamp) &&
            stamp >= frames[i - 1].timestamp - kSenderClockBreakSeconds) {
            times[i] = byStamp;
        } else {
            times[i] = latest + arrivalFrames(frames[i - 1], frames[i], fps);
            refStamp = stamp;
            refTime = times[i];
        }
        latest = std::max(latest, times[i]);
    }
    // Back from the anchor, for frames kept from before recording began.
    refStamp = frames[anchor].timestamp;
    refTime = clock.anchorTime;
    double earliest = refTime;
    for (std::size_t i = anchor; i-- > 0;) {
        const double stamp = frames[i].timestamp;
        const double byStamp = refTime + (stamp - refStamp) * fps;
        if (std::isfinite(refStamp) && std::isfinite(byStamp) &&
            stamp <= frames[i + 1].timestamp + kSenderClockBreakSeconds) {
            times[i] = byStamp;
        } else {
            times[i] = earliest - arrivalFrames(frames[i], frames[i + 1], fps);
            refStamp = stamp;
            refTime = times[i];
        }
        earliest = std::min(earliest, times[i]);
    }

    std::vector<TimedFrame> timeline(count);
    for (std::size_t i = 0; i < count; ++i) {
        // Timestamps of whole frames land a rounding error off the frame:
        // they are put back on it, so a key on a whole frame stays there.
        const double whole = std::round(times[i]);
        const double time = std::fabs(times[i] - whole) < kWholeFrameSlack ? whole : times[i];
        timeline[i] = TimedFrame{time, static_cast<std::uint32_t>(i)};
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
