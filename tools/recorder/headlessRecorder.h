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
    // but no definition does, or when `stop` is set. With `stillSilent`, no
    // datagram within noDataSeconds is told to it once and the wait goes on:
    // a recorder waiting for the stage may be started before the capture.
    bool waitForSkeleton(const std::atomic<bool>& stop, std::string& error,
                         const std::function<void(const std::string&)>& stillSilent = {});
    // Binds as the panel's button does, then waits for settleFrames frames
    // and sets the scene's time unit to the sender's detected rate.
    bool characterize(const std::atomic<bool>& stop, std::string& error);
    // Plays and records until the stream ends, the duration (wall seconds)
    // is played or `stop`.
    bool record(const std::atomic<bool>& stop, const StatusCallback& onStatus, std::string& error);
    // Stops playback and recording, lets the flush run, reads its report,
    // goes offline and reads the 162 curves back, the other nodes' too.
    bool finish(RecordedTake& take, std::string& error);
    // The takes of the nodes beside the first (see RecorderOptions::
    // deviceNodes), in device id order; valid after finish.
    const std::vector<RecordedTake>& otherTakes() const { return mOtherTakes; }
    // The node's statistics as its attributes give them now.
    StreamFigures streamFigures() const;
    // The plug-in's report of the take finish wrote.
    const TakeFigures& takeFigures() const { return mTakeFigures; }

    // --- Takes the stage starts and stops (headlessRecorderStage.cpp) ---
    // Turns the plug-in's stage trigger on at the trigger port, as
    // `ZemoriStageTrigger -port P -enable 1`; fails when the port is held.
    bool followStage(std::string& error);
    // Binds as the bind button does without waiting for frames (the stage
    // may start before the first), the scene at sceneFps.
    bool bindForStage(std::string& error);
    enum class StageWait { kStarted, kStreamEnded, kStopped };
    // Idle processing until the stage's start sets the scene playing; the
    // stream has ended once no datagram came for streamEndSeconds.
    StageWait waitForStageStart(const std::atomic<bool>& stop);
    // Plays in real time while the take records, until the stage's stop
    // ends playback; at the end of the stream or on `stop` the recorder
    // ends the take itself.
    void recordStageTake(const std::atomic<bool>& stop, const StatusCallback& onStatus);
    // Until the take is written; reads it back with its report and the
    // stage's text. False when the plug-in wrote none (an empty take).
    bool finishStageTake(RecordedTake& take, std::string& error);

    int senderRate() const { return mSenderRate; }
    // The node's frameRate attribute once the sender's rate was applied.
    double nodeFrameRate() const { return mNodeFrameRate; }
    // What the real-time playback showed and skipped.
    const mayahost::PlaybackSummary& playback() const { return mPlayback; }
    LedgerCounts counts() const { return mLedger.counts(); }
    RecorderStatus status() const;

private:
    // A device node of the session: the first is mNode, the rest go beside it.
    struct Device {
        MObject node;
        std::string name;
        int deviceId = 0;
    };

    std::string panelStatus() const { return panelStatus(mOptions.deviceId); }
    std::string panelStatus(int deviceId) const;
    // A control of the node's panel: prefix and device id.
    std::string control(const char* prefix) const { return control(prefix, mOptions.deviceId); }
    static std::string control(const char* prefix, int deviceId);
    Device mainDevice() const { return {mNode, mNodeName, mOptions.deviceId}; }
    // Every device node of the session, the first one first.
    std::vector<Device> devices() const;
    // What ZemoriSenders says of each device's senders; empty before any.
    std::string sendersHeard() const;
    bool adoptNode(std::string& error);
    bool createDirectly(std::string& error);
    // Creates a node with the options' port and network settings, live,
    // its time connected and its panel open.
    bool createDevice(Device& device, std::string& error);
    // Sets the listen address, group and allow-list the options name; fails
    // with the node's reason when it refuses one.
    bool applyNetworkSettings(const Device& device, std::string& error);
    bool createThroughShelf(std::string& error);
    bool bind(const Device& device, std::string& error);
    bool setRecording(bool on);
    bool setRecording(const Device& device, bool on);
    // Evaluates the outputs of every node that has new data.
    void evaluateDirty();
    // Gives the pushes since the last reading their entries (see ArrivalLedger).
    void resolveArrivals();
    bool portFailed(std::string& error);
    bool portFailed(const Device& device, std::string& error);
    void goOffline() { goOffline(mainDevice()); }
    void goOffline(const Device& device);
    // A time change, so that the statistics outputs are computed afresh.
    void nudgeTime();

    RecorderOptions mOptions;
    ArrivalLedger mLedger;
    MObject mNode;
    std::string mNodeName;
    std::vector<Device> mOthers;  // the nodes beside the first
    std::vector<RecordedTake> mOtherTakes;
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
    std::size_t mInfoBeforeTake = 0;  // the host's info lines before the take
};

// The newest take of the node with `deviceId` as the scene holds it after a
// flush: the 162 curves of its skeleton (key times in the UI unit, angles in
// degrees), where the capture's clock lies on the scene's (from its take
// node) for a sender at `senderFps`, and the rest translations from the
// node's outputTranslations. False when the take node, a curve or an output
// element is missing.
bool readRecordedTake(const MObject& node, int deviceId, int senderFps, RecordedTake& take,
                      std::string& error);

// The recorder's status line on stderr (one line, rewritten in place).
void showRecorderStatus(std::ostream& err, const RecorderStatus& s, const StreamFigures& f);

// The whole tool: returns the exit status (0 done, 1 failure, 2 bad usage).
int runRecorder(const std::vector<std::string>& args, const std::string& defaultPrefix,
                std::ostream& out, std::ostream& err);

}  // namespace ztools
