// The recorder following the stage: the plug-in's stage trigger starts and
// stops the takes, the recorder plays the scene while one records, as a
// Maya user leaves the scene to the stage, and reads each take back with
// what the stage said of it.
#include "tools/recorder/headlessRecorder.h"
#include "tools/recorder/sceneRates.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>
#include <maya/MAnimControl.h>
#include <maya/MGlobal.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <cmath>
#include <thread>

namespace ztools {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kOutput = "outputTranslations";
// How long the plug-in may take to write a take once it has ended.
constexpr double kWriteSeconds = 10.0;

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// A string attribute of the take node; empty when it has none.
std::string takeText(const std::string& takeNode, const char* attribute) {
    std::string value;
    if (!mayahost::runMel("getAttr \"" + takeNode + "." + attribute + "\"", &value)) return {};
    return value;
}

}  // namespace

bool HeadlessRecorder::followStage(std::string& error) {
    const std::string command =
        "ZemoriStageTrigger -port " + std::to_string(mOptions.triggerPort) + " -enable 1";
    std::string enabled;
    const std::size_t errorsBefore = mayahost::errorLines().size();
    if (!mayahost::runMel(command) ||
        !mayahost::runMel("ZemoriStageTrigger -query -enable", &enabled) || enabled != "1") {
        error = "the stage trigger cannot listen on port " + std::to_string(mOptions.triggerPort);
        const std::vector<std::string> lines = mayahost::errorLines();
        for (std::size_t i = errorsBefore; i < lines.size(); ++i) error += "\n  " + lines[i];
        return false;
    }
    return true;
}

bool HeadlessRecorder::bindForStage(std::string& error) {
    MTime::setUIUnit(sceneUnitOf(mOptions.sceneFps));
    if (!MGlobal::executeCommand(MString(("ZemoriDidCharacterize " + mNodeName).c_str()))) {
        error = "ZemoriDidCharacterize " + mNodeName + " failed";
        return false;
    }
    // As the user sets them before the stage starts a take.
    if (!mayahost::setBool(mNode, "keyEveryFrame", mOptions.keyEveryFrame) ||
        !mayahost::setBool(mNode, "keyOnTimecode", mOptions.keyOnTimecode) ||
        !mayahost::setDouble(mNode, "preRoll", mOptions.preRollSeconds)) {
        error = "cannot set up the node for the stage's takes";
        return false;
    }
    mLastTime = std::round(MAnimControl::currentTime().as(MTime::uiUnit()));
    return true;
}

HeadlessRecorder::StageWait HeadlessRecorder::waitForStageStart(const std::atomic<bool>& stop) {
    mLastTime = std::round(MAnimControl::currentTime().as(MTime::uiUnit()));
    std::int64_t datagrams = mayahost::getInt(mNode, "datagramsReceived");
    Clock::time_point lastDatagram = Clock::now();
    Clock::time_point nextLook = Clock::now();
    bool ahead = false;
    for (;;) {
        // The start's message reaches the plug-in through the idle queue.
        mayahost::processIdleEvents();
        if (MAnimControl::isPlaying()) return StageWait::kStarted;
        if (stop.load()) return StageWait::kStopped;
        if (Clock::now() >= nextLook) {
            // Between whole frames, so that a take begins on one; the time
            // change has the statistics computed afresh.
            ahead = !ahead;
            MAnimControl::setCurrentTime(MTime(mLastTime + (ahead ? 1.0 : 0.0), MTime::uiUnit()));
            mayahost::evaluate(mNode, kOutput);
            const std::int64_t now = mayahost::getInt(mNode, "datagramsReceived");
            if (now != datagrams) {
                datagrams = now;
                lastDatagram = Clock::now();
            } else if (secondsSince(lastDatagram) > mOptions.streamEndSeconds) {
                return StageWait::kStreamEnded;
            }
            nextLook = Clock::now() + std::chrono::milliseconds(50);
        }
        mayahost::waitForIdleWork(std::chrono::milliseconds(2));
    }
}

void HeadlessRecorder::recordStageTake(const std::atomic<bool>& stop,
                                       const StatusCallback& onStatus) {
    mInfoBeforeTake = mayahost::infoLines().size();
    mayahost::RealTimePlayback playback;
    playback.outputs = {{mNode, kOutput}, {mNode, "outputRotations"}};
    std::int64_t journalled = mayahost::getInt(mNode, "framesJournalled");
    mJournalledBeforeRecording = journalled;
    Clock::time_point lastFrame = Clock::now();
    Clock::time_point nextStatus{};
    bool endedHere = false;
    playback.stop = [&] {
        const std::int64_t now = mayahost::getInt(mNode, "framesJournalled");
        if (now != journalled) {
            journalled = now;
            lastFrame = Clock::now();
        }
        endedHere = stop.load() || secondsSince(lastFrame) > mOptions.streamEndSeconds;
        return endedHere;
    };
    playback.afterFrame = [&](const MTime&) {
        if (onStatus && Clock::now() >= nextStatus) {
            // The node's detection settles over the first frames.
            mSenderRate = senderRateOf(mayahost::getDouble(mNode, "frameRate"));
            onStatus(status());
            nextStatus = Clock::now() + std::chrono::milliseconds(100);
        }
    };
    // Ends when the stage's stop stops playback, or here.
    mPlayback = mayahost::playRealTime(playback);
    if (onStatus) onStatus(status());
    if (endedHere && mayahost::getBool(mNode, "recording")) {
        // What was recorded is written, as when the user unticks Recording.
        setRecording(false);
        mayahost::evaluate(mNode, kOutput);
    }
}

bool HeadlessRecorder::finishStageTake(RecordedTake& take, std::string& error) {
    const Clock::time_point begin = Clock::now();
    bool reported = false;
    mTakeFigures = TakeFigures{};
    std::size_t seen = mInfoBeforeTake;
    while (!reported && secondsSince(begin) < kWriteSeconds) {
        mayahost::processIdleEvents();
        const std::vector<std::string> info = mayahost::infoLines();
        for (; seen < info.size(); ++seen)
            reported = parseTakeReportLine(info[seen], mTakeFigures) || reported;
        if (!reported) mayahost::waitForIdleWork(std::chrono::milliseconds(5));
    }
    if (!reported) {
        error = "the plug-in wrote no take (nothing was recorded between start and stop)";
        return false;
    }
    mNodeFrameRate = mayahost::getDouble(mNode, "frameRate");
    mSenderRate = senderRateOf(mNodeFrameRate);
    if (mSenderRate == 0) {
        error = "the node reports an unknown frame rate";
        return false;
    }
    if (!readRecordedTake(mNode, mOptions.deviceId, mSenderRate, take, error)) return false;
    mTakeFigures.startTimecode = take.startTimecode;
    mTakeFigures.endTimecode = take.endTimecode;
    mTakeFigures.fromStage = true;
    StageTakeText& text = mTakeFigures.stage;
    text.name = takeText(take.takeNode, "takeName");
    text.notes = takeText(take.takeNode, "notes");
    text.description = takeText(take.takeNode, "description");
    text.databasePath = takeText(take.takeNode, "databasePath");
    text.result = takeText(take.takeNode, "result");
    return true;
}

}  // namespace ztools
