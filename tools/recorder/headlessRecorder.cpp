#include "tools/recorder/headlessRecorder.h"

#include "intake/jointTable.h"

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
const char* const kPortInUse =
    "Port in Use. Socket Initialization failed. Try using a different port.";
const char* const kOutput = "outputTranslations";

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

int senderRateOf(double nodeFrameRate) {
    if (nodeFrameRate == 60.0) return 30;
    if (nodeFrameRate == 80.0) return 50;
    if (nodeFrameRate == 90.0) return 60;
    if (nodeFrameRate == 150.0) return 120;
    return 0;
}

MTime::Unit sceneUnitOf(int fps) {
    switch (fps) {
        case 24:
            return MTime::k24FPS;
        case 25:
            return MTime::k25FPS;
        case 48:
            return MTime::k48FPS;
        case 50:
            return MTime::k50FPS;
        case 60:
            return MTime::k60FPS;
        default:
            return MTime::k30FPS;
    }
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
    // The node goes before the plug-in that defines its type, and before the
    // observers, which a push in flight may still be running.
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
std::string HeadlessRecorder::panelStatus() const {
    return mayahost::control("zemoriStatus" + std::to_string(mOptions.deviceId)).label;
}

bool HeadlessRecorder::portFailed(std::string& error) {
    const std::string status = panelStatus();
    if (status != kPortInUse && mayahost::getBool(mNode, "live")) return false;
    error =
        "port " + std::to_string(mOptions.port) + " is in use (the node says: \"" + status + "\")";
    return true;
}

bool HeadlessRecorder::setRecording(bool on) {
    return mOptions.ui ? mayahost::setCheckBox(control("zemoriRecording"), on)
                       : bool(mayahost::setBool(mNode, "recording", on));
}

void HeadlessRecorder::goOffline() {
    if (!mOptions.ui || !mayahost::setCheckBox(control("zemoriLive"), false)) {
        mayahost::setBool(mNode, "live", false);
    }
    mayahost::processIdleEvents();
    mayahost::evaluate(mNode, kOutput);  // closes the socket
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
    // The first evaluation while live opens the socket.
    mayahost::evaluate(mNode, kOutput);
    mayahost::processIdleEvents();
    return !portFailed(error);
}

std::string HeadlessRecorder::control(const char* prefix) const {
    return prefix + std::to_string(mOptions.deviceId);
}

bool HeadlessRecorder::adoptNode(std::string& error) {
    mNode = mayahost::findNode(mNodeName);
    if (mNode.isNull()) {
        error = "cannot create a ZemoriDeviceNode";
        for (const std::string& line : mayahost::errorLines()) error += "\n  " + line;
        return false;
    }
    mObserved.store(MFnDependencyNode(mNode).userNode());
    return true;
}

bool HeadlessRecorder::createDirectly(std::string& error) {
    MStatus status;
    mayahost::createNode("ZemoriDeviceNode", &mNodeName, &status);
    if (!status || !adoptNode(error)) return false;
    if (!mayahost::setInt(mNode, "inputPort", mOptions.port) ||
        !mayahost::setInt(mNode, "deviceId", mOptions.deviceId) ||
        !mayahost::connectTime(mNode, "time") || !mayahost::setBool(mNode, "live", true)) {
        error = "cannot set up the device node";
        return false;
    }
    // The node's panel, which shows what the node reports.
    if (!mayahost::runMel("zemoriOpenPanel " + mNodeName)) {
        error = "cannot open the device's panel";
        for (const std::string& line : mayahost::errorLines()) error += "\n  " + line;
        return false;
    }
    return true;
}

// As a user: the shelf button makes the device and its panel; the port goes
// into the panel's field, then Live is ticked. Binding connects the time.
bool HeadlessRecorder::createThroughShelf(std::string& error) {
    mayahost::processIdleEvents();  // the shelf is made once loading is over
    if (!mayahost::pressButton("zemoriCreateDeviceButton") ||
        !mayahost::runMel("string $nodes[] = `ls -type ZemoriDeviceNode`; $nodes[0]", &mNodeName) ||
        !adoptNode(error)) {
        if (error.empty()) error = "the Zemori shelf button did not make a device";
        return false;
    }
    mOptions.deviceId = mayahost::getInt(mNode, "deviceId");
    if (!mayahost::typeInt(control("zemoriPort"), mOptions.port) ||
        mayahost::getInt(mNode, "inputPort") != mOptions.port) {
        error = "the panel did not take port " + std::to_string(mOptions.port);
        return false;
    }
    if (!mayahost::setCheckBox(control("zemoriLive"), true)) {
        error = "cannot tick Live";
        return false;
    }
    return true;
}

bool HeadlessRecorder::waitForSkeleton(const std::atomic<bool>& stop, std::string& error) {
    const Clock::time_point begin = Clock::now();
    Clock::time_point firstDatagram{};
    for (;;) {
        resolveArrivals();
        mayahost::processIdleEvents();
        if (mayahost::isDirty(mNode, kOutput)) mayahost::evaluate(mNode, kOutput);
        if (portFailed(error)) return false;
        if (panelStatus() == kDefinitionReceived) return true;
        if (stop.load()) {
            error = "interrupted before a skeleton definition arrived";
            return false;
        }
        const LedgerCounts c = mLedger.counts();
        if (c.pushes == 0 && secondsSince(begin) > mOptions.noDataSeconds) {
            error = "no datagram on port " + std::to_string(mOptions.port) + " for " +
                    std::to_string(int(mOptions.noDataSeconds)) +
                    " s: check the sender's address and the firewall";
            return false;
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
    const bool bound = mOptions.ui ? mayahost::pressButton(control("zemoriBind"))
                                   : bool(MGlobal::executeCommand(
                                         MString(("ZemoriDidCharacterize " + mNodeName).c_str())));
    if (!bound) {
        error = mOptions.ui ? "pressing Bind to Character failed"
                            : "ZemoriDidCharacterize " + mNodeName + " failed";
        return false;
    }
    // Let a few frames through so that the node detects the sender's rate.
    const std::int64_t before = mLedger.counts().newFrames;
    Clock::time_point lastProgress = Clock::now();
    std::int64_t seen = before;
    while (mLedger.counts().newFrames - before < mOptions.settleFrames) {
        resolveArrivals();
        mayahost::processIdleEvents();
        if (mayahost::isDirty(mNode, kOutput)) mayahost::evaluate(mNode, kOutput);
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
        mayahost::evaluate(mNode, kOutput);
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

void HeadlessRecorder::resolveArrivals() {
    const std::int64_t pushesBefore = mLedger.counts().pushes;
    if (mLedger.unresolved() == 0) return;
    // The host tells of a push before it dirties the outputs, so figures
    // computed while that datagram was still being decoded could be read
    // as current: a time change makes the node compute them afresh.
    mNudge = mNudge == 0.25 ? 0.75 : 0.25;
    setTime(mLastTime + mNudge);
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
    if (!mayahost::setBool(mNode, "keyEveryFrame", mOptions.keyEveryFrame) ||
        !mayahost::setDouble(mNode, "preRoll", mOptions.preRollSeconds) || !setRecording(true)) {
        error = "cannot switch recording on";
        return false;
    }
    // As a user presses play: the scene plays in real time from where it is,
    // and the plug-in's refreshes and idle work run between its frames.
    mayahost::RealTimePlayback playback;
    playback.outputs = {{mNode, kOutput}, {mNode, "outputRotations"}};
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
    mayahost::evaluate(mNode, kOutput);
    mayahost::processIdleEvents();
    const std::vector<std::string> info = mayahost::infoLines();
    bool reported = false;
    for (std::size_t i = infoBefore; i < info.size(); ++i)
        reported = parseTakeReportLine(info[i], mTakeFigures) || reported;
    if (!reported) {
        error = "the recording was not flushed (no take report)";
        return false;
    }
    // Offline, the receiving thread no longer writes the store.
    goOffline();

    return readRecordedTake(mNode, mOptions.deviceId, mSenderRate, take, error);
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
    int newestNumber = 0;
    std::istringstream names(takes);
    for (std::string name; names >> name;) {
        const MObject candidate = mayahost::findNode(name);
        const int number = mayahost::getInt(candidate, "takeNumber");
        if (number > newestNumber) {
            newest = candidate;
            newestNumber = number;
        }
    }
    if (newest.isNull()) {
        error = "no take of " + take.skeletonName + " in the scene";
        return false;
    }
    take.captureTime = mayahost::getDouble(newest, "captureTime");
    take.captureStamp = mayahost::getDouble(newest, "captureStamp");

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
