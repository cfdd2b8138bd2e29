// The stage trigger listener: one per Maya session, off until enabled. Its
// own thread receives the capture application's record-button datagrams on
// a UDP port (any address: unicast and broadcast alike), stamps each on
// arrival, parses it and drops duplicates; what is left reaches the main
// thread only through the idle queue, where the drain command hands each
// message to handleStageMessage and warns about refused ones.
#pragma once

#include "intake/senderAllowList.h"
#include "intake/stageMessage.h"

#include <cstdint>

struct StageTriggerCounts {
    std::uint64_t received = 0;    // datagrams that arrived
    std::uint64_t refused = 0;     // not a record-button message we accept
    std::uint64_t duplicates = 0;  // dropped as a second copy
};

// Where the listener listens and whom it hears: a record button on the
// subnet is as open as a stream.
struct StageTriggerNetwork {
    std::uint32_t listenAddress = 0;  // host order; 0 for every interface
    SenderAllowList allowedSenders;   // empty: any sender
};

// Main thread: opens a socket bound on the port (0: any free one) and the
// address, starts the thread. False, with the Winsock error number in
// `socketError`, when the socket cannot be opened or bound. A running
// listener on another port is stopped once the new socket is bound (and
// goes on when it cannot be); one on the same port is stopped first.
// Datagrams from senders the list does not allow are counted and warned
// about as refused.
bool startStageTrigger(std::uint16_t port, unsigned* socketError,
                       const StageTriggerNetwork& network = StageTriggerNetwork{});
// Main thread: stops the thread, closes the socket and forgets messages not
// yet drained. Returns within about one bounded wait of the thread (50 ms).
// Does nothing when not running.
void stopStageTrigger();
// Main thread, as the plug-in unloads: stops the listener and frees what it
// kept, counts included, so that nothing of it outlives the module.
void releaseStageTrigger();
bool stageTriggerRunning();
// The port the socket is bound on; 0 when not running.
std::uint16_t stageTriggerPort();
// Any thread. Counts since the plug-in was loaded (kept across a stop).
StageTriggerCounts stageTriggerCounts();
void resetStageTriggerCounts();

// Main thread, run by the drain command: hands each queued message on, and
// prints at most one warning about refused datagrams every 10 s, naming the
// last sender and the reason.
void drainStageTrigger();

// The internal command queued with executeCommandOnIdle.
inline constexpr const char* kStageDrainCommandName = "ZemoriStageTriggerDrain";

// Test hook: where drained messages go instead of handleStageMessage;
// nullptr restores it.
using StageMessageHandler = void (*)(const StageMessage&, const StageArrival&);
void setStageMessageHandler(StageMessageHandler handler);
