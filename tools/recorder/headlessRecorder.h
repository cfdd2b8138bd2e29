// The headless recorder's session with the embedded host: loads the
// installed plug-in, creates a device node on the chosen port, waits for a
// skeleton definition, characterizes, and records the stream while the
// scene plays in real time, as a user records in Maya.
//
// The plug-in is driven only as the host application would: the module is
// loaded, attributes are set and read (the node's statistics included) and
// commands are run. Until recording, the host's queue observer and the
// node's statistics tell what arrives (see ArrivalLedger). While recording
// the scene plays on the wall clock at the chosen scene rate: the host
// evaluates the node's outputs on each scene frame and runs its refreshes
// and idle work between frames; a slow frame (or a stall asked for) makes
// it skip frames, as Maya does. The take is what the plug-in makes of its
// journal: the stream on the capture's clock, whatever the playback did.
#pragma once

#include "tools/lib/arrivalLedger.h"
#include "tools/lib/recordedTake.h"
#include "tools/lib/recorderOptions.h"
#include "tools/lib/takeReportFile.h"

#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <mayahost/host.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace ztools {

// The node's statistics attributes: those the ledger needs, and the rest.
struct StreamFigures : NodeFigures {
    std::int64_t framesJournalled = 0;
    std::int64_t framesFellOffJournal = 0;
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
    std::size_t keys = 0;  // frames the take holds so far
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
    // Plays and records until the stream ends, the duration (wall seconds)
    // is played or `stop`.
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
    // What the real-time playback showed and skipped.
    const mayahost::PlaybackSummary& playback() const { return mPlayback; }
    LedgerCounts counts() const { return mLedger.counts(); }
    RecorderStatus status() const;

private:
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
    mayahost::PlaybackSummary mPlayback;
    std::int64_t mJournalledBeforeRecording = -1;
    double mLastTime = 0.0;
    double mNudge = 0.25;  // off mLastTime, alternating, to dirty the figures
    std::chrono::steady_clock::time_point mStarted;
};

// The newest take of the node with `deviceId` as the scene holds it after a
// flush: the 162 curves of its skeleton (key times in the UI unit, angles in
// degrees), where the capture's clock lies on the scene's (from its take
// node) for a sender at `senderFps`, and the rest translations from the
// node's outputTranslations. False when the take node, a curve or an output
// element is missing.
bool readRecordedTake(const MObject& node, int deviceId, int senderFps, RecordedTake& take,
                      std::string& error);

// The whole tool: returns the exit status (0 done, 1 failure, 2 bad usage).
int runRecorder(const std::vector<std::string>& args, const std::string& defaultPrefix,
                std::ostream& out, std::ostream& err);

}  // namespace ztools
