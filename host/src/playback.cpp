// Real-time playback: the scene time driven by the wall clock, with the idle
// loop running between frames.
#include "hostState.h"

#include <mayahost/host.h>

#include <maya/MAnimControl.h>
#include <maya/MTime.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>

namespace mayahost {
namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

Clock::time_point after(Clock::time_point from, double seconds) {
    return from +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The scene time of the frame `index` frames after the start. Looping is
// continuous over whole frames of the range: after loopMax comes loopMin.
class Timeline {
public:
    Timeline(const RealTimePlayback& options, double start)
        : mLoop(options.loop),
          mMin(options.loopMin),
          mPeriod(options.loopMax - options.loopMin + 1) {
        const bool inRange = start >= options.loopMin && start <= options.loopMax;
        // Outside the range, frame 1 is loopMin.
        mStart = mLoop && !inRange ? options.loopMin - 1 : start;
    }
    double at(long long index) const {
        const double unwrapped = mStart + static_cast<double>(index);
        if (!mLoop) return unwrapped;
        return mMin + std::fmod(unwrapped - mMin, mPeriod);
    }

private:
    bool mLoop;
    double mMin;
    double mPeriod;
    double mStart = 0.0;
};

// Why the options cannot be played, or null.
const char* refusal(const RealTimePlayback& options, double rate) {
    if (!(rate > 0.0) || !std::isfinite(rate)) return "the UI unit has no frame rate";
    if (!(options.seconds >= 0.0) || !std::isfinite(options.seconds)) {
        return "the duration is negative or not finite";
    }
    if (options.seconds == 0.0 && !options.stop) return "it has neither a duration nor a stop";
    if (options.loop && !(std::isfinite(options.loopMin) && std::isfinite(options.loopMax) &&
                          options.loopMin <= options.loopMax)) {
        return "the loop range is empty or not finite";
    }
    return nullptr;
}

// Leaves playback stopped however the loop ends, a throwing callback too.
struct StopAtEnd {
    bool keepPlaying;
    ~StopAtEnd() {
        if (!keepPlaying) MAnimControl::stop();
    }
};

}  // namespace

PlaybackSummary playRealTime(const RealTimePlayback& options) {
    PlaybackSummary summary;
    const Clock::time_point begin = Clock::now();
    const MTime::Unit unit = MTime::uiUnit();
    const double rate = MTime(1.0, MTime::kSeconds).as(unit);  // frames per second
    if (const char* why = refusal(options, rate)) {
        std::cerr << "mayahost: playRealTime plays nothing: " << why << std::endl;
        return summary;
    }
    const Timeline timeline(options, MAnimControl::currentTime().as(unit));
    const bool timed = options.seconds > 0.0;
    const Clock::time_point end = after(begin, options.seconds);

    MAnimControl::playForward();
    const StopAtEnd stopAtEnd{options.keepPlaying};
    long long shown = 0;  // frames from the start to the frame on screen
    for (;;) {
        // The stop comes before the clock is read, so that a clock read in
        // it is never later than the one the next frame is chosen by.
        if (options.stop && options.stop()) break;
        if (!MAnimControl::isPlaying()) break;
        const Clock::time_point now = Clock::now();
        if (timed && now >= end) break;
        const auto reached = static_cast<long long>(std::floor(secondsBetween(begin, now) * rate));
        if (reached > shown) {
            summary.framesSkipped += static_cast<int>(reached - shown - 1);
            shown = reached;
            const MTime time(timeline.at(shown), unit);
            MAnimControl::setCurrentTime(time);
            {
                const detail::FrameEvaluationScope frame;
                for (const Output& output : options.outputs) {
                    evaluate(output.node, output.attribute);
                }
            }
            if (summary.framesShown++ == 0) summary.firstTime = time.value();
            summary.lastTime = time.value();
            if (options.afterFrame) options.afterFrame(time);
        }
        // Idle work runs after every frame, however late the scene is, and
        // as it comes until the next frame is due.
        processIdleEvents();
        Clock::time_point due = after(begin, static_cast<double>(shown + 1) / rate);
        if (timed) due = std::min(due, end);
        const Clock::duration left = due - Clock::now();
        // Rounded up: waking early would only spin until the frame is due.
        if (left > Clock::duration::zero()) {
            waitForIdleWork(std::chrono::ceil<std::chrono::milliseconds>(left));
        }
    }
    summary.wallSeconds = secondsBetween(begin, Clock::now());
    return summary;
}

}  // namespace mayahost

namespace mayahost {

void setPlaybackEvaluation(PlaybackEvaluation evaluation) {
    detail::host().playbackEvaluation.store(static_cast<int>(evaluation));
}

PlaybackRange playbackRange() {
    return detail::host().playbackRange;
}

MStatus setPlaybackRange(const PlaybackRange& range) {
    if (range.minTime > range.maxTime || range.animationStart > range.animationEnd ||
        range.minTime < range.animationStart || range.maxTime > range.animationEnd) {
        return MStatus::kInvalidParameter;
    }
    detail::host().playbackRange = range;
    return MStatus::kSuccess;
}

}  // namespace mayahost
