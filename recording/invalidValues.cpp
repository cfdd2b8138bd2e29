#include "recording/invalidValues.h"

#include "recording/rotation.h"

#include <cmath>

bool isNumbers(const RecordedSample& s) {
    // One test for ten values: a NaN or an infinity makes the sum one, and
    // values that come from floats cannot add up to one (ten times FLT_MAX
    // is far below DBL_MAX).
    const double sum = s.translateX + s.translateY + s.translateZ + s.rotateX + s.rotateY +
                       s.rotateZ + s.quatW + s.quatX + s.quatY + s.quatZ;
    return std::isfinite(sum);
}

bool jointIsNumbers(const JournalFrame& frame, int joint) {
    const JournalJoint& j = frame.joints[joint];
    for (const float value : j.translate) {
        if (!std::isfinite(value)) return false;
    }
    for (const float value : j.rotation) {
        if (!std::isfinite(value)) return false;
    }
    return true;
}

std::vector<std::int64_t> timelinePositions(std::size_t frameCount,
                                            const std::vector<TimedFrame>& timeline) {
    std::vector<std::int64_t> positions(frameCount, -1);
    for (std::size_t k = 0; k < timeline.size(); ++k) {
        positions[timeline[k].index] = static_cast<std::int64_t>(k);
    }
    return positions;
}

bool resampledAcross(const std::vector<JournalFrame>& frames,
                     const std::vector<TimedFrame>& timeline,
                     const std::vector<std::int64_t>& positions, const WholeFrameKey& key,
                     int joint, RecordedSample& sample) {
    const auto count = static_cast<std::int64_t>(timeline.size());
    std::int64_t below = positions[key.before];
    std::int64_t above = key.fraction == 0.0 ? below : positions[key.after];
    while (below >= 0 && !jointIsNumbers(frames[timeline[below].index], joint)) --below;
    while (above >= 0 && above < count && !jointIsNumbers(frames[timeline[above].index], joint)) {
        ++above;
    }
    const bool hasBelow = below >= 0;
    const bool hasAbove = above >= 0 && above < count;
    if (!hasBelow && !hasAbove) {
        return false;
    }
    if (hasBelow && hasAbove && timeline[above].time > timeline[below].time) {
        const double fraction =
            (key.time - timeline[below].time) / (timeline[above].time - timeline[below].time);
        const WholeFrameKey across{key.time, timeline[below].index, timeline[above].index,
                                   fraction};
        sample = resampledSample(frames, across, joint);
    } else {
        const std::uint32_t only = hasBelow ? timeline[below].index : timeline[above].index;
        sample = jointSample(frames[only], joint, key.time);
    }
    sample.time = key.time;
    return true;
}
