// The headless recorder's session with the embedded host: loads the
// installed plug-in, creates a device node on the chosen port, waits for a
// skeleton definition, characterizes, and records the stream in lockstep
// with its arrivals.
//
// The plug-in is driven only as the host application would: the module is
// loaded, attributes are set and read (the node's statistics included) and
// commands are run. The host's queue observer says when a pose is pushed.
//
// Lockstep: every datagram the node's receiving thread handles pushes one
// pose. After each push the main thread reads the node's statistics, which
// tell whether the pose carries a newly decoded frame (and its number) or is
// a repeat (a skeleton definition, or a frame that was not decoded); see
// ArrivalLedger. While recording, the main thread takes the poses as they
// come (an evaluation shows the newest queued pose and passes over the
// others, so a main thread that falls behind loses those frames from the
// take, as gaps the flush fills): for a new frame it sets the scene time
// to the frame number and evaluates the node with playback running, so the
// key lands on the sender's frame number (and missing frame numbers leave
// gaps that the flush fills); a repeat is taken with playback stopped, so
// it appends no sample. Idle processing (which would evaluate the node at
// times of its own) does not run while recording.
#pragma once

#include "tools/lib/arrivalLedger.h"
#include "tools/lib/recordedTake.h"
#include "tools/lib/recorderOptions.h"
#include "tools/lib/takeReportFile.h"

#include <maya/MObject.h>
#include <maya/MPxNode.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ztools {

// The node's statistics attributes: those the ledger needs, and the rest.
struct StreamFigures : NodeFigures {
    std::int64_t framesLost = 0;
    std::int64_t framesOutOfOrder = 0;
    std::int64_t datagramsRefused = 0;
    double senderTimestamp = 0.0;
    double jitterMs = 0.0;
    double arrivalRateHz = 0.0;
};

struct RecorderStatus {
    LedgerCounts counts;
    int senderRate = 0;    // 0 until detected
    std::size_t keys = 0;  // frames recorded so far
    double elapsedSeconds = 0.0;
};

class HeadlessRecorder {
public:
    using StatusCallback = std::function<void(const RecorderStatus&)>;

    explicit HeadlessRecorder(RecorderOptions options);
    // Removes the observers and resets the host (unloads the plug-in).
    ~HeadlessRecorder();
    HeadlessRecorder(const HeadlessRecorder&) = delete;
    HeadlessRecorder& operator=(const HeadlessRecorder&) = delete;

    // Loads the plug-in, creates the node and goes live. Fails when the
    // plug-in is missing or does not load, or the port is in use.
    bool start(std::string& error);
    // Until the panel says a skeleton definition has been received. Fails
    // when no datagram arrives within noDataSeconds, when datagrams arrive
    // but no definition does, or when `stop` is set.
    bool waitForSkeleton(const std::atomic<bool>& stop, std::string& error);
    // Binds as the panel's button does, then waits for settleFrames frames
    // and sets the scene's time unit to the sender's detected rate.
    bool characterize(const std::atomic<bool>& stop, std::string& error);
    // Records until the stream ends, the duration is reached or `stop`.
    bool record(const std::atomic<bool>& stop, const StatusCallback& onStatus, std::string& error);
    // Stops playback and recording, lets the flush run, reads its report,
    // goes offline and reads the 162 curves back.
    bool finish(RecordedTake& take, std::string& error);
    // The node's statistics as its attributes give them now.
    StreamFigures streamFigures() const;
    // The plug-in's report of the take finish wrote.
    const TakeFigures& takeFigures() const { return mTakeFigures; }

    int senderRate() const { return mSenderRate; }
    // The node's frameRate attribute once the sender's rate was applied.
    double nodeFrameRate() const { return mNodeFrameRate; }
    // Frame numbers keyed from received frames, in order.
    const std::vector<int>& receivedFrames() const { return mReceivedFrames; }
    LedgerCounts counts() const { return mLedger.counts(); }
    RecorderStatus status() const;

private:
    // Evaluates once: the node shows the newest of the `queued` poses.
    bool takeOnePose(const Arrival& arrival, std::size_t queued, std::string& error);
    std::string panelStatus() const;
    // A control of the node's panel: prefix and device id.
    std::string control(const char* prefix) const;
    bool adoptNode(std::string& error);
    bool createDirectly(std::string& error);
    bool createThroughShelf(std::string& error);
    bool setRecording(bool on);
    // Gives the pushes since the last reading their entries (see ArrivalLedger).
    void resolveArrivals();
    bool portFailed(std::string& error);
    void goOffline();

    RecorderOptions mOptions;
    ArrivalLedger mLedger;
    MObject mNode;
    std::string mNodeName;
    std::atomic<const MPxNode*> mObserved{nullptr};
    // Since when the statistics count datagrams no push accounts for.
    std::chrono::steady_clock::time_point mStaleSince{};
    TakeFigures mTakeFigures;
    int mSenderRate = 0;
    double mNodeFrameRate = 0.0;
    std::vector<int> mReceivedFrames;
    double mLastTime = 0.0;
    double mNudge = 0.25;  // off mLastTime, alternating, to dirty the figures
    std::chrono::steady_clock::time_point mStarted;
};

// The take of the node with `deviceId` as the scene holds it after a flush:
// the 162 curves of its skeleton (key times in the UI unit) and the rest
// translations from the node's outputTranslations. False when a curve or an
// output element is missing.
bool readRecordedTake(const MObject& node, int deviceId, int fps, RecordedTake& take,
                      std::string& error);

// The whole tool: returns the exit status (0 done, 1 failure, 2 bad usage).
int runRecorder(const std::vector<std::string>& args, const std::string& defaultPrefix,
                std::ostream& out, std::ostream& err);

}  // namespace ztools
