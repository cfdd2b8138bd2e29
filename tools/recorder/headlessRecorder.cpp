#include "tools/recorder/headlessRecorder.h"

#include "intake/jointTable.h"
#include "tools/recorder/sceneRates.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>
#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <map>
#include <thread>

namespace ztools {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kDefinitionReceived = "Data received. Press Bind to Character button";
const char* const kOutput = "outputTranslations";

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// A datagram counted but not pushed is normally pushed within microseconds;
// one still unaccounted for after this was dropped by the node.
constexpr std::chrono::milliseconds kUnpushedAfter{50};

void setTime(double frames) {
    MAnimControl::setCurrentTime(MTime(frames, MTime::uiUnit()));
}

}  // namespace

HeadlessRecorder::HeadlessRecorder(RecorderOptions options) : mOptions(std::move(options)) {}

HeadlessRecorder::~HeadlessRecorder() {
    MAnimControl::stop();
    // The nodes go before the plug-in that defines their type, and before the
    // observers, which a push in flight may still be running.
    for (const Device& other : mOthers) {
        if (mayahost::getBool(other.node, "live")) goOffline(other);
        mayahost::deleteNode(other.node);
    }
    if (!mNode.isNull()) {
        if (mayahost::getBool(mNode, "live")) goOffline();
        mayahost::deleteNode(mNode);
        mayahost::processIdleEvents();
    }
    mayahost::setThreadDataObserver({});
    mayahost::reset();
}

RecorderStatus HeadlessRecorder::status() const {
    RecorderStatus s;
    s.counts = mLedger.counts();
    s.senderRate = mSenderRate;
    // Frames the node journalled since recording began: what the take holds.
    if (mJournalledBeforeRecording >= 0) {
        s.keys =
            std::size_t(mayahost::getInt(mNode, "framesJournalled") - mJournalledBeforeRecording);
    }
    s.elapsedSeconds = secondsSince(mStarted);
    return s;
}

// The status line of the node's panel, as the UI scripts show it.
std::string HeadlessRecorder::panelStatus(int deviceId) const {
    return mayahost::control(control("zemoriStatus", deviceId)).label;
}

std::string HeadlessRecorder::sendersHeard() const {
    std::string heard;
    for (const Device& device : devices()) {
        std::string lines;
        // One line per sender, or the one line saying there is none yet.
        if (!mayahost::runMel("stringArrayToString(`ZemoriSenders " + device.name + "`, \"; \")",
                              &lines) ||
            lines.rfind("No sender has been heard", 0) == 0) {
            continue;
        }
        heard += (heard.empty() ? "" : "; ") + lines;
    }
    return heard;
}

void HeadlessRecorder::evaluateDirty() {
    for (const Device& device : devices()) {
        if (mayahost::isDirty(device.node, kOutput)) mayahost::evaluate(device.node, kOutput);
    }
}

bool HeadlessRecorder::start(std::string& error) {
    mStarted = Clock::now();
    const std::string path = pluginPath(mOptions.modulePrefix);
    if (!std::ifstream(path).good()) {
        error = "no plug-in at " + path + ": build and install it first (cmake --install)";
        return false;
    }
    // Poses are noted in queue order, on the thread that pushes or pops
    // them; the receiving thread is the store's only writer, so its frame
    // header is read there without a race.
    mayahost::ThreadDataObserver observer;
    observer.pushed = [this](MPxThreadedDeviceNode& node) {
        if (&node == mObserved.load()) mLedger.recordPush();
    };
    observer.popped = [this](MPxThreadedDeviceNode& node) {
        if (&node == mObserved.load()) mLedger.recordPop();
    };
    mayahost::setThreadDataObserver(observer);

    // As Maya does for a module: its scripts folder on the script path.
    mayahost::setScriptPath({mOptions.modulePrefix + "/ZemoriMayaPlugin/scripts"});
    if (!mayahost::loadPlugin(path)) {
        error = "the plug-in " + path + " does not load";
        for (const std::string& line : mayahost::errorLines()) error += "\n  " + line;
        return false;
    }
    if (!(mOptions.ui ? createThroughShelf(error) : createDirectly(error))) return false;
    for (int k = 1; k < mOptions.deviceNodes; ++k) {
        mOthers.push_back({MObject(), std::string(), mOptions.deviceId + k});
        if (!createDevice(mOthers.back(), error)) return false;
    }
    // The first evaluation while live opens the socket.
    for (const Device& device : devices()) mayahost::evaluate(device.node, kOutput);
    mayahost::processIdleEvents();
    return !portFailed(error);
}

bool HeadlessRecorder::waitForSkeleton(const std::atomic<bool>& stop, std::string& error,
                                       const std::function<void(const std::string&)>& stillSilent) {
    const Clock::time_point begin = Clock::now();
    Clock::time_point firstDatagram{};
    bool silenceTold = false;
    for (;;) {
        resolveArrivals();
        mayahost::processIdleEvents();
        evaluateDirty();
        if (portFailed(error)) return false;
        bool received = true;
        for (const Device& device : devices())
            received = received && panelStatus(device.deviceId) == kDefinitionReceived;
        if (received) return true;
        if (stop.load()) {
            error = "interrupted before a skeleton definition arrived";
            return false;
        }
        const LedgerCounts c = mLedger.counts();
        if (c.pushes == 0 && !silenceTold && secondsSince(begin) > mOptions.noDataSeconds) {
            const std::string heard = sendersHeard();
            // Datagrams that came and were refused are not silence.
            error = heard.empty()
                        ? noDatagramAdvice(mOptions.port, mOptions.listenAddress,
                                           mOptions.multicastGroup, mOptions.noDataSeconds)
                        : "datagrams arrive on port " + std::to_string(mOptions.port) +
                              " but none is taken (--allow lists the senders "
                              "accepted): " +
                              heard;
            if (!stillSilent) return false;
            stillSilent(error);
            silenceTold = true;
            error.clear();
        }
        if (c.pushes > 0 && firstDatagram == Clock::time_point{}) firstDatagram = Clock::now();
        if (c.pushes > 0 && secondsSince(firstDatagram) > mOptions.noDataSeconds) {
            error = "datagrams arrive on port " + std::to_string(mOptions.port) +
                    " but no skeleton definition came within " +
                    std::to_string(int(mOptions.noDataSeconds)) + " s";
            return false;
        }
        pause();
    }
}

bool HeadlessRecorder::characterize(const std::atomic<bool>& stop, std::string& error) {
    for (const Device& device : devices()) {
        if (!bind(device, error)) return false;
    }
    // Let a few frames through so that the node detects the sender's rate.
    const std::int64_t before = mLedger.counts().newFrames;
    Clock::time_point lastProgress = Clock::now();
    std::int64_t seen = before;
    while (mLedger.counts().newFrames - before < mOptions.settleFrames) {
        resolveArrivals();
        mayahost::processIdleEvents();
        evaluateDirty();
        if (stop.load()) {
            error = "interrupted before recording";
            return false;
        }
        if (mLedger.counts().newFrames != seen) {
            seen = mLedger.counts().newFrames;
            lastProgress = Clock::now();
        } else if (secondsSince(lastProgress) > mOptions.noDataSeconds) {
            error = "no frame data on port " + std::to_string(mOptions.port) +
                    " after the skeleton definition";
            return false;
        }
        pause();
    }
    // Poses still queued carry the rate change too: take them first.
    for (int i = 0; i < 64 && mLedger.pending() > 0; ++i) {
        setTime(mLastTime + 0.5);
        setTime(mLastTime);
        for (const Device& device : devices()) mayahost::evaluate(device.node, kOutput);
    }
    mNodeFrameRate = mayahost::getDouble(mNode, "frameRate");
    mSenderRate = senderRateOf(mNodeFrameRate);
    if (mSenderRate == 0) {
        error = "the node reports an unknown frame rate";
        return false;
    }
    MTime::setUIUnit(sceneUnitOf(mOptions.sceneFps));
    return true;
}

StreamFigures HeadlessRecorder::streamFigures() const {
    // Frame figures before the datagram count: see ArrivalLedger.
    StreamFigures f;
    f.lastFrameNumber = mayahost::getInt(mNode, "lastFrameNumber");
    f.framesDecoded = mayahost::getInt(mNode, "framesDecoded");
    f.framesLost = mayahost::getInt(mNode, "framesLost");
    f.framesOutOfOrder = mayahost::getInt(mNode, "framesOutOfOrder");
    f.datagramsRefused = mayahost::getInt(mNode, "datagramsRefused");
    f.senderTimestamp = mayahost::getDouble(mNode, "senderTimestamp");
    f.jitterMs = mayahost::getDouble(mNode, "arrivalJitter");
    f.arrivalRateHz = mayahost::getDouble(mNode, "arrivalRate");
    f.framesJournalled = mayahost::getInt(mNode, "framesJournalled");
    f.framesFellOffJournal = mayahost::getInt(mNode, "framesFellOffJournal");
    f.datagramsReceived = mayahost::getInt(mNode, "datagramsReceived");
    return f;
}

void HeadlessRecorder::nudgeTime() {
    mNudge = mNudge == 0.25 ? 0.75 : 0.25;
    setTime(mLastTime + mNudge);
}

void HeadlessRecorder::resolveArrivals() {
    const std::int64_t pushesBefore = mLedger.counts().pushes;
    if (mLedger.unresolved() == 0) return;
    // The host tells of a push before it dirties the outputs, so figures
    // computed while that datagram was still being decoded could be read
    // as current: a time change makes the node compute them afresh.
    nudgeTime();
    const StreamFigures figures = streamFigures();
    if (mLedger.resolve(figures, pushesBefore) != Resolution::kStale ||
        mLedger.counts().pushes != pushesBefore) {
        mStaleSince = {};
        return;
    }
    if (mStaleSince == Clock::time_point{}) {
        mStaleSince = Clock::now();
    } else if (Clock::now() - mStaleSince > kUnpushedAfter) {
        mLedger.acceptUnpushed(figures);
        mStaleSince = {};
    }
}

bool HeadlessRecorder::record(const std::atomic<bool>& stop, const StatusCallback& onStatus,
                              std::string& error) {
    mayahost::RealTimePlayback playback;
    for (const Device& device : devices()) {
        if (!mayahost::setBool(device.node, "keyEveryFrame", mOptions.keyEveryFrame) ||
            !mayahost::setBool(device.node, "keyOnTimecode", mOptions.keyOnTimecode) ||
            !mayahost::setDouble(device.node, "preRoll", mOptions.preRollSeconds) ||
            !setRecording(device, true)) {
            error = "cannot switch recording on";
            return false;
        }
        // Each character the scene shows draws on its node's outputs.
        playback.outputs.push_back({device.node, kOutput});
        playback.outputs.push_back({device.node, "outputRotations"});
    }
    // As a user presses play: the scene plays in real time from where it is,
    // and the plug-in's refreshes and idle work run between its frames.
    playback.seconds = mOptions.durationSeconds;
    std::int64_t journalled = mayahost::getInt(mNode, "framesJournalled");
    mJournalledBeforeRecording = journalled;
    Clock::time_point lastFrame = Clock::now();
    Clock::time_point nextStatus{};
    Clock::time_point lastStall = Clock::now();
    playback.stop = [&] {
        if (stop.load()) return true;
        // The stream has ended once no frame came for a while.
        const std::int64_t now = mayahost::getInt(mNode, "framesJournalled");
        if (now != journalled) {
            journalled = now;
            lastFrame = Clock::now();
        }
        return mOptions.durationSeconds <= 0.0 &&
               secondsSince(lastFrame) > mOptions.streamEndSeconds;
    };
    playback.afterFrame = [&](const MTime&) {
        if (onStatus && Clock::now() >= nextStatus) {
            onStatus(status());
            nextStatus = Clock::now() + std::chrono::milliseconds(100);
        }
        if (mOptions.stallMs > 0.0 && secondsSince(lastStall) >= mOptions.stallEverySeconds) {
            std::this_thread::sleep_for(
                std::chrono::duration<double, std::milli>(mOptions.stallMs));
            lastStall = Clock::now();
        }
    };
    mPlayback = mayahost::playRealTime(playback);
    if (onStatus) onStatus(status());
    return true;
}

bool HeadlessRecorder::finish(RecordedTake& take, std::string& error) {
    MAnimControl::stop();
    setRecording(false);
    // Any evaluation now hands the take over (playback stopped, recording
    // off); the plug-in writes the curves at idle time.
    const std::size_t infoBefore = mayahost::infoLines().size();
    MAnimControl::setCurrentTime(MTime(MAnimControl::currentTime().value() + 1.0, MTime::uiUnit()));
    for (const Device& device : devices()) mayahost::evaluate(device.node, kOutput);
    mayahost::processIdleEvents();
    // One report per node, in the order their takes ended: the first node's
    // first, as playback's end reaches the nodes in the order they were made.
    const std::vector<std::string> info = mayahost::infoLines();
    std::size_t reports = 0;
    TakeFigures figures;
    for (std::size_t i = infoBefore; i < info.size(); ++i) {
        if (parseTakeReportLine(info[i], figures) && reports++ == 0) mTakeFigures = figures;
    }
    if (reports < devices().size()) {
        error = "the recording was not flushed (" + std::to_string(reports) + " take reports for " +
                std::to_string(devices().size()) + " nodes)";
        return false;
    }
    // Offline, the receiving thread no longer writes the store.
    for (const Device& device : devices()) goOffline(device);

    mOtherTakes.assign(mOthers.size(), RecordedTake{});
    for (std::size_t k = 0; k < mOthers.size(); ++k) {
        if (!readRecordedTake(mOthers[k].node, mOthers[k].deviceId, mSenderRate, mOtherTakes[k],
                              error))
            return false;
    }
    if (!readRecordedTake(mNode, mOptions.deviceId, mSenderRate, take, error)) return false;
    mTakeFigures.startTimecode = take.startTimecode;
    mTakeFigures.endTimecode = take.endTimecode;
    return true;
}

bool readRecordedTake(const MObject& node, int deviceId, int senderFps, RecordedTake& take,
                      std::string& error) {
    take = RecordedTake{};
    take.fps = int(std::lround(MTime(1.0, MTime::kSeconds).as(MTime::uiUnit())));
    take.senderFps = senderFps;
    take.skeletonName = "zemoriCharacter" + std::to_string(deviceId) + "_Skeleton";
    // The newest take's node: its curves bear the plain names.
    std::string takes;
    mayahost::runMel(
        "stringArrayToString(`ls -type ZemoriTake \"" + take.skeletonName + "_take*\"`, \" \")",
        &takes);
    MObject newest;
    std::string newestName;
    int newestNumber = 0;
    std::istringstream names(takes);
    for (std::string name; names >> name;) {
        const MObject candidate = mayahost::findNode(name);
        const int number = mayahost::getInt(candidate, "takeNumber");
        if (number > newestNumber) {
            newest = candidate;
            newestName = name;
            newestNumber = number;
        }
    }
    if (newest.isNull()) {
        error = "no take of " + take.skeletonName + " in the scene";
        return false;
    }
    take.takeNode = newestName;
    take.captureTime = mayahost::getDouble(newest, "captureTime");
    take.captureStamp = mayahost::getDouble(newest, "captureStamp");
    mayahost::runMel("getAttr \"" + newestName + ".startTimecode\"", &take.startTimecode);
    mayahost::runMel("getAttr \"" + newestName + ".endTimecode\"", &take.endTimecode);

    static const char* const kSuffixes[6] = {"_tx", "_ty", "_tz", "_rx", "_ry", "_rz"};
    // Every curve of the scene, read once: the scene may hold the takes of
    // many nodes, and the host copies them all for each look-up by name.
    const std::vector<mayahost::CurveInfo> all = mayahost::animCurves();
    std::map<std::string, const mayahost::CurveInfo*> byName;
    for (const mayahost::CurveInfo& info : all) byName.emplace(info.name, &info);
    for (int j = 0; j < kCaptureJoints; ++j) {
        // Every joint but the root outputs its definition's translation; the
        // root's rest translation is never used (its pose replaces it).
        float d[3] = {0.0f, 0.0f, 0.0f};
        if (j > 0 && !mayahost::getFloat3Element(node, kOutput, unsigned(j), d)) {
            error = "the node has no output translation for joint " + std::to_string(j);
            return false;
        }
        take.definition[j] = {d[0], d[1], d[2]};
        for (const char* suffix : kSuffixes) {
            TakeCurve curve;
            curve.name = take.skeletonName + "_" + kJointTable[j].name + suffix;
            const auto found = byName.find(curve.name);
            if (found == byName.end()) {
                error = "the curve " + curve.name + " is missing after the flush";
                return false;
            }
            // Angle curves hold radians; the take is in degrees.
            const bool angle =
                MFnDependencyNode(mayahost::findNode(curve.name)).typeName() == "animCurveTA";
            const double scale = angle ? 180.0 / 3.141592653589793 : 1.0;
            for (const mayahost::CurveKey& key : found->second->keys)
                curve.keys.emplace_back(key.time.as(MTime::uiUnit()), key.value * scale);
            take.curves.push_back(std::move(curve));
        }
    }
    return true;
}

}  // namespace ztools
