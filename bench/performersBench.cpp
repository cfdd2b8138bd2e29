// Many performers: N device nodes (8 by default) on N ports in one embedded
// host, each fed at 120 fps by a sender thread of its own streaming the
// bundled 120 fps capture take (looped) for S seconds (30 by default), while
// the main thread runs the host's idle work as the host application does.
// Recording is on and playback runs, so every node records its take; at the
// end the takes are flushed and each is compared with its source.
//
// Checked per node: every datagram sent was received, every frame decoded
// went into the journal and none fell off it, no frame number was skipped,
// the queue is empty at the end, the node runs at frameRate 150, and the
// take (a key for every captured frame) holds every frame from the first
// recorded to the last sent, each equal to the source frame it came from.
// The process CPU time of the N-node run is set against the same run with
// one node alone.
//
// Each node's time input counts the idle passes in which it was evaluated;
// the take's keys lie where the capture's clock puts them.
//
// Usage: performers_bench [--nodes N] [--seconds S] [--skip-alone]
// Exits with 1 when anything was lost or a take does not match.
#include "bench/benchHost.h"
#include "node/zemoriDeviceNode.h"
#include "platform/sockets.h"
#include "tools/lib/bvhFile.h"
#include "tools/lib/captureSender.h"
#include "tools/lib/captureTake.h"
#include "tools/lib/takeComparison.h"
#include "tools/lib/udpDestination.h"
#include "tools/recorder/headlessRecorder.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MTime.h>
#include <mayahost/host.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSenderRate = 120;
constexpr double kNodeFrameRate = 150.0;
// The e2e tests' tolerance for a received frame.
constexpr double kMatchTolerance = 0.01;

struct Options {
    int nodes = 8;
    double seconds = 30.0;
    bool alone = true;
};

// Frame numbers of the poses in one node's queue, oldest first. The host
// calls its observers with that queue locked, so the ring needs no lock.
struct QueuedFrames {
    static constexpr int kSize = 8;  // the node has three pose buffers
    std::int32_t frames[kSize] = {};
    int head = 0;
    int count = 0;

    void push(std::int32_t frame) {
        frames[(head + count) % kSize] = frame;
        count = std::min(count + 1, kSize);
    }
    std::int32_t pop() {
        const std::int32_t frame = frames[head];
        head = (head + 1) % kSize;
        --count;
        return frame;
    }
};

struct Performer {
    int index = 0;
    std::string name;
    MObject object;
    ZemoriDeviceNode* node = nullptr;
    std::uint16_t port = 0;

    // Observer side (pushing thread and main thread, under the queue's lock).
    QueuedFrames queued;
    std::atomic<std::int64_t> pushes{0};
    std::atomic<std::int64_t> pops{0};
    std::atomic<bool> framePushed{false};

    // Main thread.
    bool characterized = false;
    bool recording = false;
    double time = 0.0;
    std::int64_t popsAtTime = 0;

    ztools::SendStats sent;
    std::atomic<bool> senderDone{false};
    std::thread sender;
};

struct NodeResult {
    std::int64_t sent = 0, received = 0, pushes = 0, decoded = 0, framesLost = 0;
    std::int64_t journalled = 0, fellOff = 0;
    std::int64_t passedOver = 0, evaluated = 0, keys = 0;
    bool queueEmpty = false;
    double frameRate = 0.0;
    bool takeMatches = false;
    double maxPositionCm = 0.0;
    std::string problem;

    // Datagrams the system dropped before the node received them.
    std::int64_t lost() const { return sent - received; }
    bool ok() const {
        return lost() == 0 && framesLost == 0 && journalled == decoded && fellOff == 0 &&
               queueEmpty && takeMatches && frameRate == kNodeFrameRate;
    }
};

struct RunResult {
    std::vector<NodeResult> nodes;
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
    double longestGapMs = 0.0;                        // between two idle passes of the main thread
    std::vector<std::pair<double, double>> longGaps;  // over 20 ms: when (s), how long (ms)
    bool ok() const {
        return !nodes.empty() &&
               std::all_of(nodes.begin(), nodes.end(), [](const NodeResult& n) { return n.ok(); });
    }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const ztools::BvhMotion& source() {
    static const ztools::BvhMotion motion = [] {
        ztools::BvhMotion m;
        std::string error;
        if (!ztools::readBvhFile(std::string(ZEMORI_DATA_DIR) + "/131_01.bvh", m, error)) {
            std::fprintf(stderr, "performers_bench: %s\n", error.c_str());
            std::exit(2);
        }
        return m;
    }();
    return motion;
}

void setUpHost() {
    zbench::registerPluginInFreshHost("ZemoriPerformersBench");
    MTime::setUIUnit(MTime::k120FPS);
}

Performer* performerOf(std::vector<std::unique_ptr<Performer>>& all, MPxThreadedDeviceNode& node) {
    for (const auto& p : all)
        if (static_cast<MPxThreadedDeviceNode*>(p->node) == &node) return p.get();
    return nullptr;
}

void watchQueues(std::vector<std::unique_ptr<Performer>>& all) {
    mayahost::ThreadDataObserver observer;
    // On the receiving thread, the store's only writer: its frame header is
    // the frame of the pose just pushed (a definition repeats the last one).
    observer.pushed = [&all](MPxThreadedDeviceNode& node) {
        Performer* p = performerOf(all, node);
        if (p == nullptr) return;
        const FrameHeader& frame = p->node->store().currentFrame();
        p->queued.push(frame.frameNumber);
        if (frame.jointsInFrame > 0) p->framePushed.store(true);
        p->pushes.fetch_add(1);
    };
    observer.popped = [&all](MPxThreadedDeviceNode& node) {
        Performer* p = performerOf(all, node);
        if (p == nullptr) return;
        p->queued.pop();
        p->pops.fetch_add(1);
    };
    mayahost::setThreadDataObserver(observer);
}

// After each idle pass: bind a node once its definition came, record once
// its first frame was pushed, and move on the time of every node evaluated.
void afterIdlePass(Performer& p) {
    if (!p.characterized && !p.node->isAwaitingSkeletonDefinition()) {
        p.characterized =
            bool(MGlobal::executeCommand(MString(("ZemoriDidCharacterize " + p.name).c_str())));
    }
    if (p.characterized && !p.recording && p.framePushed.load()) {
        mayahost::setBool(p.object, "keyEveryFrame", true);
        p.recording = bool(mayahost::setBool(p.object, "recording", true));
    }
    const std::int64_t pops = p.pops.load();
    if (pops != p.popsAtTime) {
        p.popsAtTime = pops;
        p.time += 1.0;
        mayahost::setDouble(p.object, "time", p.time);
    }
}

bool allReceived(const std::vector<std::unique_ptr<Performer>>& all) {
    for (const auto& p : all) {
        const std::int64_t sent = p->sent.framesSent + p->sent.definitionsSent;
        // Every frame journalled; a pose without a free buffer is never pushed.
        if (p->node->journal().written() < std::uint64_t(p->sent.framesSent) ||
            p->pops.load() < p->pushes.load())
            return false;
        (void)sent;
    }
    return true;
}

// The sender frames the take's keys lie on; false when a key lies between
// two.
bool keyedFrames(const ztools::RecordedTake& take, std::vector<int>& frames, std::string& error) {
    frames.clear();
    for (double time : ztools::takeKeyTimes(take)) {
        const double frame = take.senderFrameAt(time);
        if (std::fabs(frame - std::round(frame)) > 1e-6) {
            error = "a key between captured frames at " + std::to_string(time);
            return false;
        }
        frames.push_back(int(std::lround(frame)));
    }
    return !frames.empty();
}

NodeResult resultOf(Performer& p) {
    NodeResult r;
    r.sent = p.sent.framesSent + p.sent.definitionsSent;
    r.pushes = p.pushes.load();
    // The figures as the node publishes them; a time change makes them current.
    mayahost::setDouble(p.object, "time", p.time + 0.5);
    r.received = mayahost::getInt(p.object, "datagramsReceived");
    r.decoded = mayahost::getInt(p.object, "framesDecoded");
    r.framesLost = mayahost::getInt(p.object, "framesLost");
    r.journalled = mayahost::getInt(p.object, "framesJournalled");
    r.fellOff = mayahost::getInt(p.object, "framesFellOffJournal");
    r.passedOver = mayahost::getInt(p.object, "posesPassedOver");
    r.evaluated = p.pops.load() - r.passedOver;
    r.queueEmpty = p.node->threadDataCount() == 0 && p.pops.load() == r.pushes;
    r.frameRate = mayahost::getDouble(p.object, "frameRate");

    ztools::RecordedTake take;
    std::vector<int> frames;
    if (!ztools::readRecordedTake(p.object, p.index, kSenderRate, take, r.problem) ||
        !keyedFrames(take, frames, r.problem))
        return r;
    r.keys = std::int64_t(frames.size());
    ztools::TakeComparison c;
    if (!ztools::compareTake(source(), ztools::kCmuUnitCm, take, {}, c, r.problem)) return r;
    r.maxPositionCm = c.maxPositionCm;
    const bool everyFrame = frames.back() - frames.front() + 1 == int(frames.size());
    // Every frame from the first recorded to the last sent, once.
    r.takeMatches = everyFrame && frames.back() == p.sent.lastFrameNumber &&
                    c.framesCompared == int(r.keys) && c.interpolatedCompared == 0 &&
                    c.maxPositionCm < kMatchTolerance && c.maxRootCm < kMatchTolerance &&
                    c.maxRotationDeg < kMatchTolerance;
    if (!r.takeMatches)
        r.problem = "last frame keyed " + std::to_string(frames.back()) + " of " +
                    std::to_string(p.sent.lastFrameNumber) + " sent; differs from its source by " +
                    std::to_string(c.maxPositionCm) + " cm, " + std::to_string(c.maxRotationDeg) +
                    " degrees";
    return r;
}

RunResult run(int nodeCount, double seconds, const ztools::CaptureTake& take) {
    setUpHost();
    std::vector<std::unique_ptr<Performer>> all;
    for (int i = 0; i < nodeCount; ++i) {
        auto p = std::make_unique<Performer>();
        p->index = i;
        p->object = mayahost::createNode("ZemoriDeviceNode", &p->name);
        p->node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(p->object).userNode());
        all.push_back(std::move(p));
    }
    watchQueues(all);
    for (const auto& p : all) {
        // Port 0: the system picks a free one when the node binds.
        mayahost::setInt(p->object, "inputPort", 0);
        mayahost::setInt(p->object, "deviceId", p->index);
        mayahost::setBool(p->object, "live", true);
        mayahost::evaluate(p->object, "outputTranslations");  // opens the socket
        p->port = platform::boundPort(p->node->socketHandle());
    }
    MAnimControl::playForward();

    const double cpuBefore = cpuSeconds();
    const Clock::time_point start = Clock::now();
    std::atomic<bool> stop{false};
    for (const auto& p : all) {
        p->sender = std::thread([&take, &stop, seconds, performer = p.get()] {
            ztools::SenderOptions options;
            options.port = performer->port;
            options.fps = kSenderRate;
            options.loop = true;
            options.durationSeconds = seconds;
            std::string error;
            auto destination = ztools::UdpDestination::open("127.0.0.1", options.port, error);
            ztools::RealTimePacer pacer;
            if (!destination || !ztools::streamTake(take, options, *destination, &pacer, nullptr,
                                                    &stop, performer->sent, error))
                std::fprintf(stderr, "performers_bench: node %d: %s\n", performer->index,
                             error.c_str());
            performer->senderDone.store(true);
        });
    }

    // The host's main loop: asleep until there is idle work, then all of it.
    const auto sendersDone = [&] {
        return std::all_of(all.begin(), all.end(),
                           [](const auto& p) { return p->senderDone.load(); });
    };
    Clock::time_point drainDeadline = Clock::time_point::max();
    RunResult result;
    Clock::time_point lastPass = Clock::now();
    Clock::duration longestGap{};
    for (;;) {
        mayahost::waitForIdleWork(std::chrono::milliseconds(5));
        // Longer than three pose buffers last (25 ms at 120 fps), a gap drops datagrams.
        const Clock::duration gap = Clock::now() - lastPass;
        longestGap = std::max(longestGap, gap);
        if (gap > std::chrono::milliseconds(20))
            result.longGaps.emplace_back(std::chrono::duration<double>(lastPass - start).count(),
                                         std::chrono::duration<double, std::milli>(gap).count());
        lastPass = Clock::now();
        mayahost::processIdleEvents();
        for (const auto& p : all) afterIdlePass(*p);
        if (drainDeadline == Clock::time_point::max() && sendersDone())
            drainDeadline = Clock::now() + std::chrono::seconds(2);
        if (drainDeadline != Clock::time_point::max() &&
            (allReceived(all) || Clock::now() > drainDeadline))
            break;
    }
    result.cpuSeconds = cpuSeconds() - cpuBefore;
    result.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.longestGapMs = std::chrono::duration<double, std::milli>(longestGap).count();
    stop.store(true);
    for (const auto& p : all) p->sender.join();

    // Playback stops and recording ends: the next evaluation hands each take
    // over, and idle processing writes the curves.
    MAnimControl::stop();
    for (const auto& p : all) {
        p->recording = false;
        mayahost::setBool(p->object, "recording", false);
        mayahost::setDouble(p->object, "time", p->time + 0.25);
        mayahost::evaluate(p->object, "outputTranslations");
    }
    mayahost::processIdleEvents();
    for (const auto& p : all) result.nodes.push_back(resultOf(*p));

    for (const auto& p : all) mayahost::setBool(p->object, "live", false);
    mayahost::processIdleEvents();
    mayahost::setThreadDataObserver({});
    mayahost::reset();
    return result;
}

void print(const char* title, const RunResult& r) {
    std::printf(
        "%s: %zu node(s), %.1f s wall, %.2f s CPU (%.0f%% of one core), longest main-thread gap "
        "%.1f ms\n",
        title, r.nodes.size(), r.wallSeconds, r.cpuSeconds,
        100.0 * r.cpuSeconds / std::max(r.wallSeconds, 1e-9), r.longestGapMs);
    for (const auto& gap : r.longGaps)
        std::printf("  main thread away %.1f ms at %.3f s\n", gap.second, gap.first);
    std::printf("%4s %6s %8s %7s %5s %10s %10s %9s %5s %6s %9s %s\n", "node", "sent", "received",
                "decoded", "lost", "framesLost", "passedOver", "evaluated", "queue", "keys",
                "frameRate", "take");
    for (std::size_t i = 0; i < r.nodes.size(); ++i) {
        const NodeResult& n = r.nodes[i];
        std::printf("%4zu %6lld %8lld %7lld %5lld %10lld %10lld %9lld %5s %6lld %9.0f %s\n", i,
                    (long long)n.sent, (long long)n.received, (long long)n.decoded,
                    (long long)n.lost(), (long long)n.framesLost, (long long)n.passedOver,
                    (long long)n.evaluated, n.queueEmpty ? "empty" : "LEFT", (long long)n.keys,
                    n.frameRate,
                    n.takeMatches ? ("matches (" + std::to_string(n.maxPositionCm) + " cm)").c_str()
                                  : ("DIFFERS: " + n.problem).c_str());
    }
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--nodes" && i + 1 < argc) {
            o.nodes = std::atoi(argv[++i]);
        } else if (a == "--seconds" && i + 1 < argc) {
            o.seconds = std::atof(argv[++i]);
        } else if (a == "--skip-alone") {
            o.alone = false;
        } else {
            return false;
        }
    }
    return o.nodes >= 1 && o.seconds > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: performers_bench [--nodes N] [--seconds S] [--skip-alone]\n");
        return 2;
    }
    ztools::CaptureTake take;
    std::string error;
    if (!ztools::takeFromBvh(source(), kSenderRate, ztools::kCmuUnitCm, 0.0, take, error)) {
        std::fprintf(stderr, "performers_bench: %s\n", error.c_str());
        return 2;
    }
    std::printf("take data/131_01.bvh: %zu frames at %d fps, looped for %.1f s per sender\n",
                take.frames.size(), take.fps, options.seconds);

    const RunResult many = run(options.nodes, options.seconds, take);
    print("together", many);
    bool ok = many.ok();
    if (options.alone) {
        const RunResult alone = run(1, options.seconds, take);
        print("alone", alone);
        ok = ok && alone.ok();
        const double perNode = many.cpuSeconds / double(options.nodes);
        std::printf("CPU per node: %.3f s together, %.3f s alone: %.2fx\n", perNode,
                    alone.cpuSeconds, perNode / std::max(alone.cpuSeconds, 1e-9));
    }
    std::printf("%s\n", ok ? "nothing lost, every take matches" : "FAILED");
    return ok ? 0 : 1;
}
