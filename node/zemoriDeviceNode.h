// The plug-in's threaded device node: one incoming capture stream on one UDP
// port. It owns the motion data store, the socket, the awaiting/characterized
// flags, the sender-rate table, the capture journal and the take being
// recorded from it.
#pragma once

#include "intake/captureJournal.h"
#include "intake/motionDataStore.h"
#include "node/headsUpState.h"
#include "intake/senderAllowList.h"
#include "intake/senderTable.h"
#include "node/streamStatistics.h"
#include "platform/sockets.h"
#include "recording/captureTimeline.h"
#include "recording/pendingTake.h"

#include <maya/MDataBlock.h>
#include <maya/MMessage.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class ZemoriDeviceNode : public MPxThreadedDeviceNode {
public:
    ZemoriDeviceNode();
    ~ZemoriDeviceNode() override;

    // Refresh through outputTranslate, frameRate for a 50 fps sender, and
    // three pose-buffer pools.
    void postConstructor() override;
    // kGloballySerial: compute is safe off the main thread (inputs from the
    // data block, texts looked up ahead, the idle list locked), but opens and
    // closes sockets, prints and posts to the panel, which every node of the
    // type shares; one at a time keeps those in order. Untrusted would stop
    // the rest of the scene while it computes, for nothing.
    SchedulingType schedulingType() const override { return kGloballySerial; }
    // Keeps the socket in step with live, fills the two output arrays from
    // the newest queued pose (older ones are handed back, counted) and
    // records while recording and playing. kUnknownParameter for a plug that
    // is not an output; kFailure when the port cannot be bound, no pose is
    // queued, or filling the outputs fails (the pose is handed back anyway).
    MStatus compute(const MPlug& plug, MDataBlock& block) override;
    // The receiving loop on the node's own thread; ends only when a stop is
    // asked for this run. A socket whose receive fails is not used again.
    void threadHandler() override;
    // Asks the current run (or the one the host is starting) to stop; the
    // loop sees it within one receive wait.
    void threadShutdownHandler() override;

    static void* creator();
    // The device node of that name (a pattern counts with its first match);
    // null when the name matches nothing or a node of another type.
    static ZemoriDeviceNode* named(const MString& name);
    // Adds the seven attributes and their dependencies; the first failure is
    // written to std::cerr and ends setup with kFailure.
    static MStatus initialize();

    static MTypeId id;
    static MObject mInputPort;
    static MObject mTime;
    static MObject mRecording;
    static MObject mDeviceIdAttr;
    static MObject mOutputTranslate;
    static MObject mOutputTranslations;
    static MObject mOutputRotations;
    // Recording from the journal: its length in seconds, whether a take keys
    // every captured frame (else every whole scene frame), and the seconds
    // of capture a take keeps from before recording began.
    static MObject mJournalSeconds;
    static MObject mKeyEveryFrame;
    static MObject mPreRoll;
    // Whether a take's keys lie at its frames' timecode converted to scene
    // frames (the same scene times on every node of the same capture).
    static MObject mKeyOnTimecode;
    // Whether the node starts and stops takes with the stage's record button.
    static MObject mStageTrigger;
    // The studio network (strings): the senders accepted (IPv4 addresses and
    // CIDR ranges, empty for any), the address to listen on (empty for
    // every interface) and the IPv4 multicast group to join (empty for none).
    static MObject mAllowedSenders;
    static MObject mListenAddress;
    static MObject mMulticastGroup;
    // Stream statistics, read-only outputs after the seven (statisticsAttributes.cpp).
    static MObject mDatagramsReceived;
    static MObject mFramesDecoded;
    static MObject mFramesLost;
    static MObject mFramesOutOfOrder;
    static MObject mDatagramsRefused;
    static MObject mPosesPassedOver;
    static MObject mLastFrameNumber;
    static MObject mSenderTimestamp;
    static MObject mArrivalJitter;
    static MObject mArrivalRate;
    static MObject mDatagramsDroppedNoBuffer;
    static MObject mDatagramsDroppedBySystem;
    static MObject mFramesJournalled;
    static MObject mFramesFellOffJournal;
    // Adds them, affected by what dirties the outputs; called by initialize.
    static MStatus addStatisticsAttributes();
    static bool isStatisticsPlug(const MPlug& plug);
    // Writes a snapshot of the counts into every statistics attribute.
    MStatus publishStatistics(MDataBlock& block);

    // Whether a character is bound to the current skeleton definition; any thread.
    bool isCharacterized();
    void setCharacterized(bool characterized);
    // Closes the socket and balances its startup; nothing when none is open.
    // Waits until the receiving thread is out of any call on the socket, so
    // that a closed handle is never received on. Safe against a concurrent close.
    void closeSocket();

    // The node's place in the graph (main thread, from the plug-in's graph
    // callbacks). A deleted node is kept for undo and not destroyed, so it
    // lets go of its port when it leaves the graph: a node made meanwhile
    // on the same port binds it.
    void leftGraph();
    // Main thread, from the attribute callback: checks a network setting as
    // set. A bad one is refused whole, with an error naming the bad entry,
    // and the setting in force stays (the attribute is set back to it at
    // idle time); a good one takes effect, reopening an open socket when
    // the address or group changed.
    void networkSettingChanged(const MPlug& plug);
    // The settings in force (host order; 0 for none).
    std::uint32_t listenAddress() const { return mListenAddressInForce; }
    std::uint32_t multicastGroup() const { return mMulticastGroupInForce; }

    // Undo brought the node back: it takes up receiving again if live is on.
    void returnedToGraph();
    bool inGraph() const { return mInGraph.load(); }

    // Receiving side.
    // Binds a UDP socket on every address and the low 16 bits of the port;
    // kFailure (with a console line, no socket kept) when that fails.
    MStatus openSocket(int port);
    // One pass of the receiving loop (the node's thread; public for
    // benchmarks): takes the waiting datagrams (up to 64), or waits up to a
    // few milliseconds for one, and hands each on. False when the socket
    // failed and must not be used again.
    bool receiveOnce(platform::SocketHandle socket);
    // Classifies one datagram (in a buffer of `length` bytes) and decodes it
    // when it is awaited; returns the store's 27 records.
    const JointRecord* handlePacket(const char* bytes, std::int32_t length);

    // Compute side.
    // Writes the 27 translations and rotations; kFailure (with a diagnostic)
    // when the host refuses.
    MStatus populateOutputs(MDataBlock& block, const JointRecord* records);
    // The recording attribute from the data block; true when it cannot be read.
    bool isRecording(MDataBlock& block);

    // Naming and frame rate.
    // "zemoriCharacter<deviceId>_Skeleton", the id written as unsigned: the
    // id as last read (compute reads it from the data block, the main
    // thread's commands and callbacks from the plug).
    MString skeletonName() const;
    // Writes the node frame rate for a sender rate of 30, 50, 60 or 120; any
    // other rate writes nothing.
    void applySenderRate(int senderRate);

    // Recording. A take records while recording is on and the scene plays
    // (in batch mode, where nothing plays, while recording is on). It
    // begins at the first evaluation that finds both (in batch mode, when
    // recording is switched on) and takes every frame the journal gets from
    // then on; compute copies them out of the journal as they come. It ends
    // the moment either goes (attribute and playback callbacks, or compute),
    // and when the node leaves the graph, its scene closes or it is
    // destroyed: what the journal got up to that moment is the take's,
    // nothing after.
    // Ending hands it to the take queue (pendingTake.h), written outside
    // any evaluation; a take recorded afterwards is never mixed into it.
    bool takeMayGoOn(bool recording);
    // Main thread or compute: begins a take at scene frame `sceneTime`.
    void beginTake(double sceneTime, double preRoll, bool keyEveryFrame);
    // Main thread or compute: ends the take in progress, if any;
    // `withScene` when its scene is closing (it is written into the next).
    void endTake(bool withScene = false);
    // Main thread, from callbacks: recording or playback switched.
    void recordingSwitched(bool on);
    void playbackSwitched(bool playing);
    // Takes the stage starts and stops (triggeredTake.cpp; main thread,
    // outside any evaluation). A stage take begins at the journal's frame
    // that arrived with the start message (the last one at or before
    // `arrivalNs`) and its first frame is the first stamped at or after
    // that frame's stamp plus `delaySeconds`; it records while recording
    // is on and the scene plays, as any take, and ends by the usual ends too.
    void beginStageTake(std::int64_t arrivalNs, double delaySeconds, const StageTakeText& text);
    // Ends the take in progress at the capture frame a message names: the
    // frame that arrived with it, plus `delaySeconds` on the capture clock.
    // `inclusive`: frames stamped up to that moment stay in (a stop); else
    // only those before it (a start that begins the next take there).
    // `result` is kept with a stage take. Nothing when no take is recording.
    void endTakeAtStage(std::int64_t arrivalNs, double delaySeconds, bool inclusive,
                        const std::string& result);
    bool stageTakeInProgress() const { return mTake.active && mTake.stage.fromStage; }
    const std::string& stageTakeName() const { return mTake.stage.name; }
    // Every device node that exists (main thread), for the plug-in's
    // playback and scene callbacks.
    static const std::vector<ZemoriDeviceNode*>& allNodes();
    // The capture's last `seconds` up to the newest journalled frame, as a
    // take ending at the current scene time (main thread, outside any
    // evaluation): written at once. False, with nothing written, when the
    // journal holds less; `heldSeconds` then says how much it holds.
    bool keepLast(double seconds, double& heldSeconds);
    // Seconds of capture the journal holds now (main thread).
    double journalHeldSeconds() const;
    // The newest journalled frame's timecode as text ("hh:mm:ss:ff",
    // ';' before the frames when drop-frame); empty when it has none or no
    // frame came yet. Main thread (the heads-up display).
    std::string latestTimecodeText() const;

    // Main thread, outside evaluation: writes what compute left pending
    // (takes, the node frame rate, live off after a failed bind). A changed
    // frame rate, which makes the host restart the node's thread, is written
    // only when `mayRestart` (else the next compute with a pose asks again);
    // returns whether it was written.
    bool runIdleWork(bool mayRestart = true);
    // The line of the viewport's heads-up display (main thread).
    HeadsUpState headsUpState();
    // Queues a refresh of the node's heads-up display when the last is a
    // quarter of a second old or a take began or ended since; any thread.
    void postHeadsUpRefreshWhenDue();
    // The device id as last read on the main thread; any thread.
    int deviceId() const { return mDeviceId.load(); }
    // Rereads the deviceId attribute (main thread).
    void refreshDeviceId();

    // Read-only views for tests and tools.
    const MotionDataStore& store() const { return mStore; }
    const StreamStatistics& statistics() const { return mStatistics; }
    // Every sender the node's port has heard from, the followed one first.
    std::vector<SenderSnapshot> senders() const { return mSenders.snapshot(); }
    std::int64_t clockNow() const { return mClock(); }
    const CaptureJournal& journal() const { return mJournal; }
    // For benchmarks: the journal itself, to size it or leave it out.
    CaptureJournal& journalForTesting() { return mJournal; }
    // Whether a take is being recorded, and its frames so far.
    bool takeInProgress() const { return mTake.active; }
    std::size_t takeFrameCount() const { return mTake.frames.size(); }
    std::int64_t framesFellOffJournal() const { return mFellOffJournal; }
    bool isAwaitingSkeletonDefinition() const { return mAwaitingSkeletonDefinition.load(); }
    platform::SocketHandle socketHandle() const { return mSocket.load(); }
    int appliedSenderRate() const { return mAppliedSenderRate; }

    // The monotonic clock of the silence rule, in nanoseconds; replaceable in tests.
    using Clock = std::function<std::int64_t()>;
    void setClockForTesting(Clock clock) { mClock = std::move(clock); }

private:
    // Ends a take that may not go on, begins one that may, and copies the
    // journal's new frames into the take in progress.
    void recordFromJournal(bool recording, double time, double preRoll, bool keyEveryFrame);
    // Copies the journal's frames the take has not yet, counting those that
    // fell off the ring first.
    void drainJournal();
    // While live: queues the panel's summary line unless one went out less
    // than a second of the node's clock ago.
    void postStreamSummaryWhenDue();
    // Queues runIdleWork for the host's next idle time, once.
    void requestIdleWork();
    // Opens the socket for a live node that has none, with its console line
    // and panel messages; false (live to go off at idle time) when the port
    // cannot be bound.
    bool openLiveSocket(int port, double journalSeconds);
    // Takes the socket out of mSocket and waits until the receiving thread
    // holds it no more; 0 when none was open.
    platform::SocketHandle detachSocket();
    // Main thread: the datagrams the system dropped for this node's sockets,
    // closed ones included; -1 while the system has given no count.
    std::int64_t readSystemDrops();
    // Closes a detached socket and balances its startup, keeping its drop count.
    void releaseSocket(platform::SocketHandle socket);
    // Whether a stop was asked for run `run` (counted from 1).
    bool stopAskedFor(std::uint64_t run);
    // Counts, decodes and journals one received datagram and pushes its pose
    // when a pose buffer is free.
    void takeDatagram(const platform::ReceiveResult& received);
    // Reports a refused network setting (error and status line) and sets
    // the attribute back to the text in force at idle time.
    void refuseSetting(const char* attribute, const std::string& inForce, const MString& why);
    // Closes an open socket and, when live, opens one with the settings in force.
    void reopenSocket();
    // Binds per the settings in force and joins the group; false (socket
    // closed, error and status posted) when that fails.
    bool bindPerSettings(platform::SocketHandle socket, std::uint16_t port);
    // Receiving thread, while nothing arrives: says once what to check.
    void reportSilence();
    // Main thread: the silence text for a socket on this port.
    MString silenceText(int port) const;
    // Tells the panel, once, that another sender's datagrams are ignored.
    void announceOtherSender(std::uint32_t address, const char* datagram);
    void announceRefusedSender(std::uint32_t address);
    void restoreStatus();
    // Waits, without spinning, until a stop, a live socket or a timeout.
    void waitForSocket(std::uint64_t run);

    struct TakeInProgress {
        bool active = false;
        std::uint64_t nextSequence = 0;  // the next journal frame to copy
        std::size_t anchor = 0;          // the first frame after recording began
        double sceneStart = 0.0;         // the whole scene frame recording began at
        double preRollSeconds = 0.0;
        std::int64_t framesLostAtStart = 0;
        bool keyEveryFrame = false;
        std::vector<JournalFrame> frames;
        // A stage take: the frame at `anchor` arrived with the start, which
        // came at stageArrivalNs; the take begins stageDelaySeconds after
        // that moment on the capture clock.
        StageTakeText stage;
        double stageDelaySeconds = 0.0;
        std::int64_t stageArrivalNs = 0;  // when the start message came
    };
    // Begins a take whose frames are copied from journal frame `from` on,
    // with the pre-roll before it.
    void beginTakeFrom(std::uint64_t from, double sceneTime, double preRoll, bool keyEveryFrame);
    // Hands the ended take to the take queue.
    void finishTake(TakeInProgress take, bool withScene);

    MotionDataStore mStore;
    StreamStatistics mStatistics;
    CaptureJournal mJournal;
    std::atomic<bool> mAwaitingSkeletonDefinition;
    // The panel's text for a received definition, looked up on the main
    // thread (the receiving thread may call no host API but the idle queue):
    // at creation and each time a socket opens, so a changed language shows
    // from the next live period. Written only while no socket is open.
    MString mDefinitionReceivedText;
    std::mutex mStateMutex;
    bool mCharacterized;
    std::string mSkeletonNameTemplate;
    std::atomic<platform::SocketHandle> mSocket;
    int mAppliedSenderRate;
    std::map<int, int> mFrameRateBySenderRate;
    // The followed sender's newest datagram: the silence rule is its.
    std::int64_t mLastDatagramTime;
    // The port the open socket is bound to, for the status text; written
    // while no socket is open.
    std::uint16_t mBoundPort = 0;
    // The status text for another sender, looked up as mDefinitionReceivedText is.
    MString mOtherSenderText;
    MString mRefusedSenderText;
    // The status text for a live socket that hears nothing for 3 s, made when
    // it opens; the steady-clock time since when it has heard nothing, and
    // whether that was said (the receiving thread's after the socket opens).
    MString mSilenceText;
    std::int64_t mQuietSinceNs = 0;
    bool mHeardSinceQuiet = false;  // a datagram came since the quiet began
    bool mSilenceReported = false;
    // The status line says the stream is silent or refused: the line is put
    // right once a definition makes the stream known again after a gap.
    // Receiving thread only.
    bool mStatusWarned = false;
    // The network settings in force, and their texts (main thread). The
    // group and interface joined by the open socket, left when it closes.
    std::string mAllowedSendersText;
    std::string mListenAddressText;
    std::string mMulticastGroupText;
    std::uint32_t mListenAddressInForce = 0;
    std::uint32_t mMulticastGroupInForce = 0;
    std::uint32_t mJoinedGroup = 0;
    std::uint32_t mJoinedInterface = 0;
    // The last bind failed for the listen address or the group, not the
    // port: its own message has been posted.
    bool mBindRefusedForAddress = false;
    // The receiving thread's buffer, reused for every datagram; bytes past
    // mReceiveBufferUsed are zero.
    alignas(64) char mReceiveBuffer[4096] = {};
    int mReceiveBufferUsed = 0;
    double mSilenceThresholdMs;
    Clock mClock;

    // Receiving-thread runs and stops: a stop names the run it is for.
    std::atomic<std::uint64_t> mRunsEntered{0};
    std::atomic<std::uint64_t> mRunsExited{0};
    std::atomic<std::uint64_t> mStopForRun{0};
    // True while the receiving thread may be inside a call on mSocket.
    std::atomic<bool> mReceiverHoldsSocket{false};
    // Set by the thread when a receive on the current socket failed.
    std::atomic<bool> mSocketFailed{false};
    std::mutex mWakeMutex;
    std::condition_variable mWake;

    std::atomic<int> mDeviceId{0};
    // keyOnTimecode as compute or the main thread last read it, for a take
    // that ends outside an evaluation.
    std::atomic<bool> mKeyOnTimecodeSetting{false};
    // Written on the main thread, read by compute, which may run elsewhere.
    std::atomic<bool> mInGraph{true};
    MCallbackId mAttributeCallback = 0;
    MCallbackId mPlaybackCallback = 0;

    // Main thread only: the system's drops on sockets already closed, and
    // the figure last read (-1 before any).
    std::int64_t mSystemDropsOfClosedSockets = 0;
    std::int64_t mSystemDrops = -1;

    // Main thread, or compute while the main thread waits for it.
    TakeInProgress mTake;
    // Frames a take needed that the journal had already overwritten.
    std::int64_t mFellOffJournal = 0;
    int mWantedSenderRate = 50;
    bool mLiveOffPending = false;
    // When the summary line was last posted in this live period.
    bool mSummaryPosted = false;
    std::int64_t mSummaryPostedAt = 0;
    // When the heads-up display was last refreshed, and whether a take
    // recorded then.
    bool mHeadsUpPosted = false;
    bool mHeadsUpRecording = false;
    std::int64_t mHeadsUpPostedAt = 0;

    // Large and read once a datagram: kept apart from the fields every
    // pass touches.
    SenderTable mSenders;
    // The allow-list in force: read by the receiving thread, replaced by the
    // main thread only while the thread holds no socket (detachSocket).
    SenderAllowList mAllowList;
};
