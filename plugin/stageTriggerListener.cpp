#include "plugin/stageTriggerListener.h"

#include "intake/stageDuplicates.h"
#include "intake/stageMessageParser.h"
#include "plugin/messageTable.h"
#include "recording/stageTakes.h"

#include "platform/sockets.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Longest wait for a datagram before the thread looks for a stop again: it
// bounds how long stopping takes.
constexpr int kReceiveWaitMs = 50;
// Messages waiting for the main thread at most; a stage sends a few a take,
// so only a flood fills it, and what overflows is counted as refused.
constexpr std::size_t kQueueBound = 64;
constexpr std::int64_t kWarningIntervalNs = 10'000'000'000;
// Guarded, so that a drain still queued when the plug-in unloads does nothing.
constexpr const char* kDrainText = "if (`exists ZemoriStageTriggerDrain`) ZemoriStageTriggerDrain";

struct Queued {
    StageMessage message;
    StageArrival arrival;
};

struct Refusal {
    StageArrival arrival;
    const char* reason = nullptr;
};

struct Listener {
    std::thread thread;
    std::atomic<bool> stop{false};
    platform::SocketHandle socket = 0;
    std::uint16_t port = 0;
    // Set before the thread starts and not changed while it runs.
    SenderAllowList allowedSenders;

    std::atomic<std::uint64_t> received{0};
    std::atomic<std::uint64_t> refused{0};
    std::atomic<std::uint64_t> duplicates{0};

    std::mutex mutex;  // guards what follows
    std::deque<Queued> queue;
    std::uint64_t refusalsUnreported = 0;
    Refusal lastRefusal;
    bool drainQueued = false;
};

// Made on first use and freed when the plug-in unloads; never destroyed
// with the module's statics, which at a process exit could find its thread
// still running.
Listener*& listenerSlot() {
    static Listener* instance = nullptr;
    return instance;
}

Listener& listener() {
    Listener*& instance = listenerSlot();
    if (instance == nullptr) instance = new Listener;
    return *instance;
}

std::atomic<StageMessageHandler> gHandler{nullptr};
std::int64_t gLastWarningNs = 0;
bool gWarned = false;

std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Under the lock: queues a drain unless one is waiting already.
void queueDrainLocked(Listener& l) {
    if (l.drainQueued) return;
    l.drainQueued = true;
    MGlobal::executeCommandOnIdle(kDrainText, false);
}

void refuse(Listener& l, const StageArrival& arrival, const char* reason) {
    l.refused.fetch_add(1);
    std::lock_guard<std::mutex> lock(l.mutex);
    ++l.refusalsUnreported;
    l.lastRefusal = Refusal{arrival, reason};
    queueDrainLocked(l);
}

void take(Listener& l, StageDuplicates& seen, const char* bytes, const platform::ReceiveResult& r,
          std::int64_t arrivalNs) {
    const StageArrival arrival{r.sourceAddress, r.sourcePort, arrivalNs};
    if (!l.allowedSenders.allows(r.sourceAddress)) {
        refuse(l, arrival, "not an allowed sender");
        return;
    }
    if (r.status == platform::ReceiveStatus::kOversized) {
        refuse(l, arrival, "too long");
        return;
    }
    StageParseResult parsed = parseStageMessage(bytes, static_cast<std::size_t>(r.bytes));
    if (!parsed.message) {
        refuse(l, arrival, parsed.refusal);
        return;
    }
    if (!seen.admit(*parsed.message, arrival)) {
        l.duplicates.fetch_add(1);
        return;
    }
    std::lock_guard<std::mutex> lock(l.mutex);
    if (l.queue.size() == kQueueBound) {
        l.refused.fetch_add(1);
        ++l.refusalsUnreported;
        l.lastRefusal = Refusal{arrival, "too many messages waiting"};
    } else {
        l.queue.push_back(Queued{std::move(*parsed.message), arrival});
    }
    queueDrainLocked(l);
}

// The receiving thread. It calls no host API but executeCommandOnIdle.
void receiveLoop(Listener& l, platform::SocketHandle socket) {
    // One byte past the longest message, so that one just too long is seen
    // as such by the parser rather than cut to fit.
    std::vector<char> buffer(kStageMessageMaxBytes + 1);
    const int capacity = static_cast<int>(buffer.size());
    StageDuplicates seen;
    while (!l.stop.load()) {
        const platform::ReceiveResult r =
            platform::receiveDatagramNow(socket, buffer.data(), capacity);
        if (r.status == platform::ReceiveStatus::kWouldBlock) {
            if (platform::waitReadable(socket, kReceiveWaitMs) == platform::WaitStatus::kFailed) {
                return;
            }
            continue;
        }
        if (r.status == platform::ReceiveStatus::kFailed) return;
        take(l, seen, buffer.data(), r, steadyNs());
        // Counted once dealt with, so that whoever sees the count sees the
        // drain that carries the message queued as well.
        l.received.fetch_add(1);
    }
}

std::string addressText(std::uint32_t address, std::uint16_t port) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", (address >> 24) & 0xFFu,
                  (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu,
                  static_cast<unsigned>(port));
    return text;
}

}  // namespace

bool startStageTrigger(std::uint16_t port, unsigned* socketError,
                       const StageTriggerNetwork& network) {
    Listener& l = listener();
    // A listener on another port goes on until the new socket is bound, so
    // a port that is refused leaves it as it was; on the same port it must
    // let go first.
    if (l.thread.joinable() && l.port == port) stopStageTrigger();
    unsigned ignored = 0;
    unsigned& error = socketError != nullptr ? *socketError : ignored;
    if (platform::socketStartup() != 0) {
        error = platform::lastSocketError();
        return false;
    }
    const platform::SocketHandle socket = platform::openUdpSocket();
    if (socket == platform::kInvalidSocket) {
        error = platform::lastSocketError();
        platform::socketCleanup();
        return false;
    }
    if (platform::bindAddress(socket, network.listenAddress, port) != 0) {
        error = platform::lastSocketError();
        platform::closeSocket(socket);
        platform::socketCleanup();
        return false;
    }
    stopStageTrigger();
    l.socket = socket;
    l.port = platform::boundPort(socket);
    l.allowedSenders = network.allowedSenders;
    l.stop.store(false);
    l.thread = std::thread(receiveLoop, std::ref(l), socket);
    return true;
}

void stopStageTrigger() {
    Listener& l = listener();
    if (!l.thread.joinable()) return;
    l.stop.store(true);
    l.thread.join();  // within one bounded wait
    platform::closeSocket(l.socket);
    platform::socketCleanup();
    l.socket = 0;
    l.port = 0;
    std::lock_guard<std::mutex> lock(l.mutex);
    l.queue.clear();
}

void releaseStageTrigger() {
    if (listenerSlot() == nullptr) return;
    stopStageTrigger();
    delete listenerSlot();
    listenerSlot() = nullptr;
}

bool stageTriggerRunning() {
    return listener().thread.joinable();
}

std::uint16_t stageTriggerPort() {
    return listener().port;
}

StageTriggerCounts stageTriggerCounts() {
    const Listener& l = listener();
    return StageTriggerCounts{l.received.load(), l.refused.load(), l.duplicates.load()};
}

void resetStageTriggerCounts() {
    Listener& l = listener();
    l.received.store(0);
    l.refused.store(0);
    l.duplicates.store(0);
}

void setStageMessageHandler(StageMessageHandler handler) {
    gHandler.store(handler);
}

void drainStageTrigger() {
    Listener& l = listener();
    std::deque<Queued> due;
    Refusal refusal;
    std::uint64_t refusals = 0;
    const std::int64_t now = steadyNs();
    {
        std::lock_guard<std::mutex> lock(l.mutex);
        l.drainQueued = false;
        due.swap(l.queue);
        if (l.refusalsUnreported > 0 && (!gWarned || now - gLastWarningNs >= kWarningIntervalNs)) {
            refusals = l.refusalsUnreported;
            refusal = l.lastRefusal;
            l.refusalsUnreported = 0;
        }
    }
    if (refusals > 0) {
        gWarned = true;
        gLastWarningNs = now;
        char line[512];
        const std::string sender =
            addressText(refusal.arrival.senderAddress, refusal.arrival.senderPort);
        std::snprintf(line, sizeof line, lookupMessage(msg::kStageMessageRefused).asChar(),
                      static_cast<unsigned long long>(refusals), sender.c_str(),
                      refusal.reason != nullptr ? refusal.reason : "");
        MGlobal::displayWarning(line);
    }
    const StageMessageHandler handler = gHandler.load();
    for (const Queued& queued : due) {
        if (handler != nullptr) {
            handler(queued.message, queued.arrival);
        } else {
            handleStageMessage(queued.message, queued.arrival);
        }
    }
    // The panels' line of counts; guarded, as the UI scripts may be missing.
    MGlobal::executeCommand("if (`exists zemoriRefreshStageTrigger`) zemoriRefreshStageTrigger");
}
