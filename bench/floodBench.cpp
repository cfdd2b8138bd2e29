// Flood: frame datagrams sent into one device node far faster than it takes
// them (200,000 a second for 10 s by default), with the process's memory
// sampled once a second, and every datagram accounted for afterwards from
// the node's statistics attributes: decoded, refused, dropped for want of a
// pose buffer, dropped by the system, or still queued. Exits 1 when the
// counts do not add up to what was sent, 2 on a setup failure or bad options.
//
//   flood_bench [--rate DATAGRAMS_PER_SECOND] [--seconds SECONDS]
#include "bench/benchHost.h"
#include "node/zemoriDeviceNode.h"
#include "platform/sockets.h"
#include "plugin/zemoriDidCharacterizeCmd.h"
#include "tools/lib/streamDatagrams.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <mayahost/host.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    double rate = 200000.0;  // datagrams per second
    double seconds = 10.0;
};

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc || (name != "--rate" && name != "--seconds")) return false;
        char* end = nullptr;
        const double value = std::strtod(argv[++i], &end);
        if (*end != '\0' || !(value > 0.0)) return false;
        (name == "--rate" ? options.rate : options.seconds) = value;
    }
    return true;
}

// Resident memory of the process in KiB; -1 where it is not read.
long residentKib() {
#if defined(__linux__)
    long pages = 0;
    long resident = -1;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
        std::fclose(statm);
    }
    return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
#else
    return -1;
#endif
}

struct ResidentSamples {
    long first = -1;
    long max = -1;
    long last = -1;
    void take() {
        last = residentKib();
        if (first < 0) first = last;
        max = std::max(max, last);
    }
};

// A device node of the plug-in's type in a fresh embedded host, with the
// command that binds a character.
MObject createNode(std::string& name) {
    zbench::registerPluginInFreshHost("ZemoriFloodBench");
    return mayahost::createNode("ZemoriDeviceNode", &name);
}

// The host's main loop for a while: idle work as it comes.
void runIdle(Clock::duration span) {
    const Clock::time_point end = Clock::now() + span;
    do {
        mayahost::waitForIdleWork(std::chrono::milliseconds(5));
        mayahost::processIdleEvents();
    } while (Clock::now() < end);
}

// The node's statistics that account for datagrams, read through the host
// as its attributes give them.
enum Figure { kReceived, kDecoded, kRefused, kNoBuffer, kBySystem, kFigureCount };
const char* const kFigureAttributes[kFigureCount] = {
    "datagramsReceived", "framesDecoded", "datagramsRefused", "datagramsDroppedNoBuffer",
    "datagramsDroppedBySystem"};  // the last -1 where the system keeps no count
using Figures = std::array<std::int64_t, kFigureCount>;

Figures readFigures(const MObject& node) {
    // A new time makes the figures dirty, so that the reads compute them.
    static double time = 0.0;
    mayahost::setDouble(node, "time", ++time);
    Figures figures{};
    for (int i = 0; i < kFigureCount; ++i)
        figures[i] = mayahost::getInt(node, kFigureAttributes[i]);
    return figures;
}

struct SenderResult {
    std::int64_t sent = 0;
    std::int64_t failed = 0;  // sendto refused: not sent, not counted
    double seconds = 0.0;
};

// Frames with consecutive numbers from 1, paced to `rate` for `seconds` or
// as fast as sendto allows when that is slower.
void sendFlood(const Options& options, std::uint16_t port, SenderResult& result) {
    const ztools::CaptureTake take = ztools::syntheticTake(60, 2.0);
    const int takeFrames = static_cast<int>(take.frames.size());
    const platform::SocketHandle socket = platform::openUdpSocket();
    const auto total = static_cast<std::int64_t>(options.rate * options.seconds);
    ztools::EncodedDatagram frame;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(options.seconds));
    for (std::int64_t i = 0; i < total; ++i) {
        const Clock::time_point due =
            start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(i) / options.rate));
        while (Clock::now() < due) std::this_thread::yield();
        if (due >= end || Clock::now() >= end) break;
        const auto number = static_cast<std::int32_t>(i + 1);
        ztools::encodeFrame(take, static_cast<int>(i % takeFrames), number,
                            static_cast<std::uint32_t>(number), frame);
        if (platform::sendToLoopback(socket, port, frame.bytes, frame.length) == frame.length) {
            ++result.sent;
        } else {
            ++result.failed;
        }
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    platform::closeSocket(socket);
}

// Sends the skeleton definition until the node has taken it, then binds a
// character as the UI does.
bool defineAndBind(ZemoriDeviceNode& node, const std::string& name, std::uint16_t port) {
    const platform::SocketHandle socket = platform::openUdpSocket();
    ztools::EncodedDatagram definition;
    ztools::encodeSkeletonDefinition(ztools::syntheticTake(60, 0.1), 0, definition);
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
    while (node.isAwaitingSkeletonDefinition() && Clock::now() < giveUp) {
        platform::sendToLoopback(socket, port, definition.bytes, definition.length);
        runIdle(std::chrono::milliseconds(100));
    }
    platform::closeSocket(socket);
    return !node.isAwaitingSkeletonDefinition() &&
           MGlobal::executeCommand(
               MString((std::string(kCharacterizeCommandName) + " " + name).c_str()));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--rate DATAGRAMS_PER_SECOND] [--seconds SECONDS]\n",
                     argv[0]);
        return 2;
    }
    platform::socketStartup();
    std::string name;
    const MObject object = createNode(name);
    auto* node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(object).userNode());
    if (node == nullptr) {
        std::fprintf(stderr, "the device node could not be created\n");
        return 2;
    }
    mayahost::setInt(object, "inputPort", 0);  // any free port
    mayahost::setBool(object, "live", true);
    mayahost::evaluate(object, "outputTranslations");  // opens the socket
    const platform::SocketHandle socket = node->socketHandle();
    const std::uint16_t port = socket == 0 ? 0 : platform::boundPort(socket);
    if (port == 0 || !defineAndBind(*node, name, port)) {
        std::fprintf(stderr, "the node took no skeleton definition\n");
        return 2;
    }
    runIdle(std::chrono::milliseconds(100));
    const Figures before = readFigures(object);

    ResidentSamples resident;
    resident.take();
    SenderResult sender;
    std::atomic<bool> sending{true};
    std::thread senderThread([&] {
        sendFlood(options, port, sender);
        sending.store(false);
    });
    Clock::time_point nextSample = Clock::now() + std::chrono::seconds(1);
    while (sending.load()) {
        runIdle(std::chrono::milliseconds(20));
        if (Clock::now() >= nextSample) {
            resident.take();
            nextSample += std::chrono::seconds(1);
        }
    }
    senderThread.join();

    // The node's thread takes what is left in the socket's queue, at its
    // frameRate; then the host's queue is emptied.
    std::int64_t queuedBytes = -1;
    const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(60);
    do {
        runIdle(std::chrono::milliseconds(20));
        queuedBytes = platform::socketQueuedBytes(socket);
    } while (queuedBytes != 0 && Clock::now() < giveUp);
    // The last datagram taken is counted within a pass; then its pose is popped.
    runIdle(std::chrono::milliseconds(200));
    while (node->threadDataCount() > 0 && Clock::now() < giveUp)
        runIdle(std::chrono::milliseconds(20));
    resident.take();

    const Figures after = readFigures(object);
    const std::int64_t received = after[kReceived] - before[kReceived];
    const std::int64_t decoded = after[kDecoded] - before[kDecoded];
    const std::int64_t refused = after[kRefused] - before[kRefused];
    const std::int64_t noBuffer = after[kNoBuffer] - before[kNoBuffer];
    const bool systemCounts = after[kBySystem] >= 0;
    const std::int64_t bySystem =
        systemCounts ? after[kBySystem] - std::max<std::int64_t>(before[kBySystem], 0) : 0;
    // Nothing is left in the socket's queue, or the run does not add up.
    const std::int64_t sum = decoded + refused + noBuffer + bySystem;
    const bool adds = systemCounts && queuedBytes == 0 && sum == sender.sent;

    std::printf("flood: %.0f datagrams/s asked for %.1f s\n", options.rate, options.seconds);
    std::printf("sent                  %lld in %.2f s (%.0f/s), %lld sendto failures\n",
                static_cast<long long>(sender.sent), sender.seconds,
                static_cast<double>(sender.sent) / sender.seconds,
                static_cast<long long>(sender.failed));
    std::printf("received              %lld\n", static_cast<long long>(received));
    std::printf("  decoded             %lld\n", static_cast<long long>(decoded));
    std::printf("  refused             %lld\n", static_cast<long long>(refused));
    std::printf("  dropped, no buffer  %lld\n", static_cast<long long>(noBuffer));
    std::printf("  otherwise           %lld\n",
                static_cast<long long>(received - decoded - refused - noBuffer));
    if (systemCounts) {
        std::printf("dropped by the system %lld\n", static_cast<long long>(bySystem));
    } else {
        std::printf("dropped by the system unknown (no count on this system)\n");
    }
    if (queuedBytes == 0) {
        std::printf("still queued          0\n");
    } else {
        std::printf("still queued          unknown (%lld bytes)\n",
                    static_cast<long long>(queuedBytes));
    }
    std::printf("sum                   %lld %s sent\n", static_cast<long long>(sum),
                adds ? "==" : "!=");
    std::printf("resident KiB          first %ld, max %ld, last %ld\n", resident.first,
                resident.max, resident.last);

    mayahost::reset();
    platform::socketCleanup();
    return adds ? 0 : 1;
}
