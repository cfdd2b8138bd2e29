// A take that has ended and waits to be written into curves: its frames,
// copied out of the capture journal, and what its report needs. It holds no
// pointer to the device node that recorded it: a take outlives its node
// (deleted, or gone with its scene) until it is written.
#pragma once

#include "intake/captureJournal.h"
#include "recording/captureTimeline.h"

#include <maya/MString.h>

#include <cstdint>
#include <string>
#include <vector>

// What the stage says of a take it started: kept on its take node.
struct StageTakeText {
    bool fromStage = false;
    std::string name;
    std::string notes;
    std::string description;
    std::string databasePath;
    std::string result;  // the stop's RESULT; empty until it stops
};

struct PendingTake {
    MString skeleton;
    int deviceId = 0;
    std::vector<JournalFrame> frames;  // in arrival order
    TakeClock clock;                   // framesPerSecond set when written
    bool keyEveryFrame = false;
    bool keyOnTimecode = false;   // keys at the frames' timecode (takeTimecode.h)
    std::int64_t framesLost = 0;  // in the stream while it was recorded
    int captureRate = 0;
    bool endedWithScene = false;  // its scene closed while it recorded
    StageTakeText stage;
};

// Main thread: queues the take for writing and asks for an idle run that
// writes it.
void queueTakeForWriting(PendingTake take);
// Main thread, outside any evaluation: writes every queued take, oldest
// first; returns how many were written. The idle run, the ZemoriWriteTakes
// command (batch mode has no idle runs) and the plug-in's unload call it.
int writePendingTakes();
// Takes queued and not written yet (main thread).
std::size_t pendingTakeCount();
// Of one skeleton.
std::size_t pendingTakeCount(const MString& skeleton);
// The number the skeleton's next take gets when written: one above its
// highest take number in the scene and its takes queued before it.
int nextTakeNumber(const MString& skeleton);
// Drops every queued take unwritten: for tests that start each case from a
// fresh host in one process, so that no case's take lands in the next.
void discardPendingTakes();
// Writes one take: the previous take of its skeleton keeps its curves under
// "_take<N>", the new one gets the plain names and a take node with its
// report (recordingFlush.cpp).
void writeTake(PendingTake& take);
