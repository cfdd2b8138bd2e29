// The capture pipeline against what the system underneath costs anyway:
//  - the receiving thread's work per datagram (receive, classify, decode,
//    copy into a pose buffer, push) against a plain receive plus a copy of
//    3456 bytes;
//  - the time from a sender's sendto to the node's outputs holding that
//    pose (median, 99th percentile) against plain one-way loopback latency;
//  - the stream statistics' counting step per datagram against the
//    receiving thread's whole time per datagram (x_counting_share);
//  - the capture journal's share of the receiving thread's pass, against the
//    same pass of a node without one, in turn;
//  - the recording flush of a 10-minute take captured at 120 fps and keyed
//    on a 30 fps scene (18,000 keys per curve) against copying the same
//    (time, value) pairs into arrays allocated beforehand, pages already
//    touched or not, and against creating the same curves with every key
//    added one by one.
// Ratios are taken against the baselines measured in the same run; the
// "in turn" benchmarks alternate pipeline and baseline sample by sample, so
// that a drift of the machine's speed during the run falls on both alike.
#include "bench/benchHost.h"
#include "intake/jointTable.h"
#include "intake/senderAllowList.h"
#include "intake/senderTable.h"
#include "node/streamStatistics.h"
#include "node/zemoriDeviceNode.h"
#include "platform/sockets.h"
#include "tools/lib/streamDatagrams.h"

#include <benchmark/benchmark.h>
#include <ostrevo/ostrevo.h>

#include <maya/MAnimControl.h>
#include <maya/MPlug.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MTime.h>
#include <mayahost/host.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#if defined(__GNUC__) && !defined(__clang__)
// The replacements below pair malloc with free; GCC cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Every allocation of the process, host and plug-in included.
std::atomic<std::int64_t> gAllocations{0};

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using Clock = std::chrono::steady_clock;
using ztools::CaptureTake;
using ztools::EncodedDatagram;

constexpr int kBatch = 32;  // datagrams queued per timed batch
constexpr int kReceiveBytes = 4096;

struct Baselines {
    double receiveNs = 0.0;
    double receivingThreadNs = 0.0;  // the node's whole pass per datagram
    double latencyMedianUs = 0.0;
    double latencyP99Us = 0.0;
    double handOffMedianUs = 0.0;
    double handOffP99Us = 0.0;
    double flushMs = 0.0;
    double copyMs = 0.0;
    double freshCopyMs = 0.0;
} gBaseline;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

double microsecondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::micro>(b - a).count();
}

// A loopback pair: a bound receiver and a sending socket.
struct LoopbackPair {
    LoopbackPair() {
        platform::socketStartup();
        receiver = platform::openUdpSocket();
        platform::bindAnyAddress(receiver, 0);
        port = platform::boundPort(receiver);
        sender = platform::openUdpSocket();
    }
    ~LoopbackPair() {
        platform::closeSocket(receiver);
        platform::closeSocket(sender);
        platform::socketCleanup();
    }
    platform::SocketHandle receiver, sender;
    std::uint16_t port;
};

// A device node of the plug-in's type in a fresh host.
ZemoriDeviceNode* createNode(MObject& object) {
    zbench::registerPluginInFreshHost("ZemoriPipelineBench");
    object = mayahost::createNode("ZemoriDeviceNode");
    // Let the node's thread begin before anything restarts it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return static_cast<ZemoriDeviceNode*>(MFnDependencyNode(object).userNode());
}

const CaptureTake& take() {
    static const CaptureTake t = ztools::syntheticTake(60, 2.0);
    return t;
}

void sendBatch(LoopbackPair& pair, const EncodedDatagram* frames) {
    for (int i = 0; i < kBatch; ++i)
        platform::sendToLoopback(pair.sender, pair.port, frames[i].bytes, frames[i].length);
}

std::vector<EncodedDatagram> encodedFrames() {
    std::vector<EncodedDatagram> frames(kBatch);
    for (int i = 0; i < kBatch; ++i) ztools::encodeFrame(take(), i, i + 1, i, frames[i]);
    return frames;
}

// recvfrom plus a 3456-byte copy for each datagram of a queued batch.
double timePlainBatch(LoopbackPair& pair, const EncodedDatagram* frames, char* buffer, char* pose) {
    sendBatch(pair, frames);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kBatch; ++i) {
        const platform::ReceiveResult r =
            platform::receiveDatagram(pair.receiver, buffer, kReceiveBytes);
        benchmark::DoNotOptimize(r.bytes);
        std::memcpy(pose, buffer, kPoseBufferBytes);
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

void BM_PlainReceiveAndCopy(benchmark::State& state) {
    LoopbackPair pair;
    const std::vector<EncodedDatagram> frames = encodedFrames();
    std::vector<char> buffer(kReceiveBytes);
    std::vector<char> pose(kPoseBufferBytes);
    double totalNs = 0.0;
    for (auto _ : state) {
        const double ns = timePlainBatch(pair, frames.data(), buffer.data(), pose.data());
        totalNs += ns;
        state.SetIterationTime(ns * 1e-9);
    }
    gBaseline.receiveNs = totalNs / double(state.iterations() * kBatch);
    state.counters["ns_per_datagram"] = gBaseline.receiveNs;
}
BENCHMARK(BM_PlainReceiveAndCopy)->UseManualTime();

// A node whose receiving loop is driven by hand on `pair`'s receiver: pools
// with room for a whole batch (the node itself keeps three buffers), no
// throttling between passes, the skeleton definition received and the
// character bound. Null after reporting an error.
// Readies a node of the current host for that: pools, throttle, definition
// and binding.
void prepareReceiving(ZemoriDeviceNode& node, const MObject& object, LoopbackPair& pair) {
    node.destroyMemoryPools();
    node.createMemoryPools(kBatch, kJointCount, long(sizeof(JointRecord)));
    mayahost::setDouble(object, "frameRate", 1e9);
    // The definition comes first, through the same pass, as from a sender.
    EncodedDatagram definition;
    ztools::encodeSkeletonDefinition(take(), 0, definition);
    platform::sendToLoopback(pair.sender, pair.port, definition.bytes, definition.length);
    while (node.isAwaitingSkeletonDefinition()) node.receiveOnce(pair.receiver);
    node.setCharacterized(true);
    MCharBuffer definitionPose;
    node.popThreadData(definitionPose);
    node.releaseDataStorage(definitionPose);
}

ZemoriDeviceNode* receivingNode(MObject& object, LoopbackPair& pair, benchmark::State& state) {
    ZemoriDeviceNode* node = createNode(object);
    if (node == nullptr) {
        state.SkipWithError("the device node could not be created");
        return nullptr;
    }
    prepareReceiving(*node, object, pair);
    return node;
}

// The node's receiving passes (receiveOnce) over a
// queued batch; the poses are handed back afterwards, untimed.
double timeNodeBatch(ZemoriDeviceNode& node, LoopbackPair& pair, const EncodedDatagram* frames) {
    sendBatch(pair, frames);
    const Clock::time_point start = Clock::now();
    // A pass takes every datagram waiting; more passes only if one came late.
    for (int pass = 0; pass < 4 * kBatch && node.threadDataCount() < kBatch; ++pass)
        node.receiveOnce(pair.receiver);
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    for (int i = 0; i < kBatch; ++i) {
        MCharBuffer popped;
        node.popThreadData(popped);
        node.releaseDataStorage(popped);
    }
    return ns;
}

// One pass of the node's receiving loop per datagram (receiveOnce: receive,
// clear what an earlier datagram left, take a pose buffer, classify and
// decode, copy, push), run on this thread so that nothing else is counted,
// with the allocations made meanwhile counted too.
void BM_ReceivingThreadPerDatagram(benchmark::State& state) {
    MObject object;
    LoopbackPair pair;
    ZemoriDeviceNode* node = receivingNode(object, pair, state);
    if (node == nullptr) return;
    const std::vector<EncodedDatagram> frames = encodedFrames();
    std::int64_t decoded = 0;
    double totalNs = 0.0;
    std::int64_t allocations = 0;
    for (auto _ : state) {
        const std::int64_t allocationsBefore = gAllocations.load();
        const double ns = timeNodeBatch(*node, pair, frames.data());
        allocations += gAllocations.load() - allocationsBefore;
        totalNs += ns;
        state.SetIterationTime(ns * 1e-9);
        decoded = node->store().currentFrame().frameNumber;
    }
    if (decoded != kBatch) state.SkipWithError("frames were not decoded");
    const double datagrams = double(state.iterations() * kBatch);
    const double perDatagram = totalNs / datagrams;
    gBaseline.receivingThreadNs = perDatagram;
    state.counters["ns_per_datagram"] = perDatagram;
    state.counters["allocations_per_datagram"] = double(allocations) / datagrams;
    if (gBaseline.receiveNs > 0.0)
        state.counters["x_plain_receive"] = perDatagram / gBaseline.receiveNs;
    mayahost::reset();
}
BENCHMARK(BM_ReceivingThreadPerDatagram)->UseManualTime();

// An allow-list of `entries` entries whose last one takes the loopback
// sender, so that every datagram walks the whole list.
std::string allowListEndingWithLoopback(int entries) {
    std::string list;
    for (int k = 1; k < entries; ++k) list += "10.0.0." + std::to_string(k) + "/32, ";
    return list + "127.0.0.1";
}

// The same two measurements taken in turn, batch by batch, in alternating
// order: drifts of the machine (other load, the host's scheduling of this
// virtual machine) fall on both alike, which two benchmarks run one after
// the other do not promise. The ratio is the median of the rounds' ratios.
void BM_ReceivingThreadAgainstPlainInTurn(benchmark::State& state) {
    constexpr int kRounds = 2000;
    MObject object;
    LoopbackPair nodePair;
    ZemoriDeviceNode* node = receivingNode(object, nodePair, state);
    if (node == nullptr) return;
    // With an argument, the node checks each sender against a list that long.
    if (state.range(0) > 0) {
        const std::string list = allowListEndingWithLoopback(int(state.range(0)));
        MPlug(object, ZemoriDeviceNode::mAllowedSenders).setString(MString(list.c_str()));
    }
    LoopbackPair plainPair;
    const std::vector<EncodedDatagram> frames = encodedFrames();
    std::vector<char> buffer(kReceiveBytes);
    std::vector<char> pose(kPoseBufferBytes);
    std::vector<double> ratios;
    std::vector<double> nodeNs;
    std::vector<double> plainNs;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            double plain = 0.0;
            double pass = 0.0;
            if (round % 2 == 0) {
                plain = timePlainBatch(plainPair, frames.data(), buffer.data(), pose.data());
                pass = timeNodeBatch(*node, nodePair, frames.data());
            } else {
                pass = timeNodeBatch(*node, nodePair, frames.data());
                plain = timePlainBatch(plainPair, frames.data(), buffer.data(), pose.data());
            }
            plainNs.push_back(plain / kBatch);
            nodeNs.push_back(pass / kBatch);
            ratios.push_back(pass / plain);
        }
    }
    // A pass that decoded nothing would make a flattering ratio.
    if (mayahost::getInt(object, "framesDecoded") != std::int64_t(kRounds) * kBatch) {
        state.SkipWithError("frames were not decoded");
    }
    state.counters["plain_ns_median"] = percentile(plainNs, 0.5);
    state.counters["node_ns_median"] = percentile(nodeNs, 0.5);
    state.counters["x_plain_receive_in_turn"] = percentile(ratios, 0.5);
    state.counters["x_plain_receive_in_turn_p25"] = percentile(ratios, 0.25);
    state.counters["x_plain_receive_in_turn_p75"] = percentile(ratios, 0.75);
    // Totals as well: a batch slowed by an interrupt counts in full here.
    state.counters["x_plain_receive_in_turn_totals"] =
        std::accumulate(nodeNs.begin(), nodeNs.end(), 0.0) /
        std::accumulate(plainNs.begin(), plainNs.end(), 0.0);
    mayahost::reset();
}
BENCHMARK(BM_ReceivingThreadAgainstPlainInTurn)->Arg(0)->Arg(16)->Iterations(1)->UseRealTime();

// The sender check's share of the receiving pass, with an allow-list of 16
// entries whose last one takes the sender (the longest walk): the node's
// pass over a batch, and the same check of a standalone table over as many
// datagrams, batch by batch in turn. x_sender_check_share is the median of
// the rounds' check time over the pass's time, which includes it once.
void BM_SenderCheckShareOfTheReceivingPassInTurn(benchmark::State& state) {
    constexpr int kRounds = 2000;
    const std::string list = allowListEndingWithLoopback(16);
    MObject object;
    LoopbackPair pair;
    ZemoriDeviceNode* node = receivingNode(object, pair, state);
    if (node == nullptr) return;
    MPlug(object, ZemoriDeviceNode::mAllowedSenders).setString(MString(list.c_str()));
    SenderAllowList allowed;
    std::string bad;
    if (!allowed.parse(list, bad) || allowed.size() != 16) {
        state.SkipWithError("the allow-list was refused");
        return;
    }
    SenderTable table;
    const std::vector<EncodedDatagram> frames = encodedFrames();
    std::vector<double> shares;
    std::vector<double> checkNs;
    std::int64_t ignored = 0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const double pass = timeNodeBatch(*node, pair, frames.data());
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < kBatch; ++i) {
                bool announce = false;
                const SenderTable::Verdict verdict =
                    table.check(0x7F000001, 40000, frames[i].bytes, frames[i].length,
                                std::int64_t(round) * kBatch + i, 1000000000, allowed, announce);
                ignored += verdict != SenderTable::Verdict::kAccept;
                benchmark::DoNotOptimize(verdict);
            }
            const double check =
                std::chrono::duration<double, std::nano>(Clock::now() - start).count();
            checkNs.push_back(check / kBatch);
            shares.push_back(check / pass);
        }
    }
    const std::vector<SenderSnapshot> senders = node->senders();
    if (ignored != 0 || senders.empty() || senders.front().refused != 0 ||
        senders.front().accepted < std::int64_t(kRounds) * kBatch) {
        state.SkipWithError("the sender check did not accept every datagram");
    }
    state.counters["sender_check_ns_median"] = percentile(checkNs, 0.5);
    state.counters["x_sender_check_share"] = percentile(shares, 0.5);
    state.counters["x_sender_check_share_p75"] = percentile(shares, 0.75);
    mayahost::reset();
}
BENCHMARK(BM_SenderCheckShareOfTheReceivingPassInTurn)->Iterations(1)->UseRealTime();

// The journal's share of the receiving pass: the same pass of two nodes, one
// journalling every frame and one with no journal, batch by batch in
// alternating order. x_journal_share is the median of the rounds' extra time
// over the pass without it.
void BM_JournalShareOfTheReceivingPassInTurn(benchmark::State& state) {
    constexpr int kRounds = 2000;
    MObject object;
    LoopbackPair journalPair;
    ZemoriDeviceNode* journalling = receivingNode(object, journalPair, state);
    if (journalling == nullptr) return;
    // The second node in the same host: the first one's set-up reset it.
    const MObject other = mayahost::createNode("ZemoriDeviceNode");
    auto* bare = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(other).userNode());
    LoopbackPair barePair;
    prepareReceiving(*bare, other, barePair);
    bare->journalForTesting().reserve(0);

    const std::vector<EncodedDatagram> frames = encodedFrames();
    std::vector<double> shares;
    std::vector<double> withNs;
    std::vector<double> withoutNs;
    std::int64_t allocations = 0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            double with = 0.0;
            double without = 0.0;
            const std::int64_t allocationsBefore = gAllocations.load();
            if (round % 2 == 0) {
                with = timeNodeBatch(*journalling, journalPair, frames.data());
                without = timeNodeBatch(*bare, barePair, frames.data());
            } else {
                without = timeNodeBatch(*bare, barePair, frames.data());
                with = timeNodeBatch(*journalling, journalPair, frames.data());
            }
            allocations += gAllocations.load() - allocationsBefore;
            withNs.push_back(with / kBatch);
            withoutNs.push_back(without / kBatch);
            shares.push_back((with - without) / without);
        }
    }
    const std::uint64_t expected = std::uint64_t(kRounds) * kBatch;
    if (journalling->journal().written() != expected || bare->journal().written() != 0) {
        state.SkipWithError("the journal did not take every frame, or the bare node journalled");
    }
    state.counters["with_journal_ns_median"] = percentile(withNs, 0.5);
    state.counters["without_journal_ns_median"] = percentile(withoutNs, 0.5);
    state.counters["x_journal_share"] = percentile(shares, 0.5);
    state.counters["x_journal_share_p25"] = percentile(shares, 0.25);
    state.counters["x_journal_share_p75"] = percentile(shares, 0.75);
    state.counters["x_journal_share_totals"] =
        std::accumulate(withNs.begin(), withNs.end(), 0.0) /
            std::accumulate(withoutNs.begin(), withoutNs.end(), 0.0) -
        1.0;
    state.counters["allocations_per_datagram"] = double(allocations) / double(2 * expected);
    mayahost::reset();
}
BENCHMARK(BM_JournalShareOfTheReceivingPassInTurn)->Iterations(1)->UseRealTime();

// What the receiving thread adds per datagram for the statistics: one
// arrival (ring and window sums) and one decoded frame. The clock read it
// uses is the one the silence rule already takes. Arrivals 20 ms apart with
// a little jitter, so that the window holds 50 and evicts one per arrival,
// as in a steady stream.
void BM_StatisticsCountingPerDatagram(benchmark::State& state) {
    constexpr int kCounted = 4096;  // per timed run: the clock reads vanish in it
    StreamStatistics statistics;
    std::int64_t now = 1000000000;
    std::int32_t frame = 0;
    double totalNs = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kCounted; ++i) {
            now += 20000000 + (i % 7) * 50000;
            statistics.countDatagram(now);
            ++frame;
            statistics.countFrame(frame, double(frame) / 50.0);
        }
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        totalNs += ns;
        state.SetIterationTime(ns * 1e-9);
    }
    benchmark::DoNotOptimize(statistics.snapshot(now));
    const double perDatagram = totalNs / double(state.iterations() * kCounted);
    state.counters["ns_per_datagram"] = perDatagram;
    // Counting's part of the receiving thread's time per datagram, measured
    // by BM_ReceivingThreadPerDatagram in this run (which counts too).
    if (gBaseline.receivingThreadNs > 0.0)
        state.counters["x_counting_share"] = perDatagram / gBaseline.receivingThreadNs;
}
BENCHMARK(BM_StatisticsCountingPerDatagram)->UseManualTime();

constexpr int kLatencySamples = 400;
// Above the node's throttle period (frameRate up to 90 a second).
constexpr auto kLatencySpacing = std::chrono::milliseconds(15);

// One-way loopback at the pipeline's cadence (a send every 15 ms, the sender
// asleep until the datagram has arrived), so that both pay the same wake-ups
// of idle cores: on a virtual machine those, not the copying, are most of a
// trip. With `handOff`, the receiving thread hands the datagram to the
// sending thread, asleep on a condition variable, and the clock stops when
// that thread is awake: the node's path has the same two hops (its
// receiving thread, then the main thread's idle processing).
class LoopbackProbe {
public:
    LoopbackProbe() : mReceiver([this] { receive(); }) {
        ztools::encodeFrame(take(), 0, 0, 0, mFrame);
    }
    ~LoopbackProbe() {
        mStopping.store(true);
        platform::sendToLoopback(mPair.sender, mPair.port, mFrame.bytes, mFrame.length);
        mReceiver.join();
    }
    LoopbackProbe(const LoopbackProbe&) = delete;
    LoopbackProbe& operator=(const LoopbackProbe&) = delete;

    // Microseconds from sendto until the datagram was received (or, with
    // `handOff`, until the sender was awake again).
    double sample(bool handOff) {
        std::this_thread::sleep_for(kLatencySpacing);
        const Clock::time_point sent = Clock::now();
        platform::sendToLoopback(mPair.sender, mPair.port, mFrame.bytes, mFrame.length);
        std::unique_lock<std::mutex> lock(mMutex);
        const int awaited = ++mSent;
        mArrived.wait(lock, [&] { return mArrivals >= awaited; });
        const Clock::time_point seen =
            handOff ? Clock::now() : Clock::time_point(Clock::duration(mArrivedNs));
        return microsecondsBetween(sent, seen);
    }

private:
    void receive() {
        char buffer[kReceiveBytes];
        while (!mStopping.load()) {
            platform::receiveDatagram(mPair.receiver, buffer, kReceiveBytes);
            const std::int64_t now = Clock::now().time_since_epoch().count();
            {
                std::lock_guard<std::mutex> lock(mMutex);
                mArrivedNs = now;
                ++mArrivals;
            }
            mArrived.notify_one();
        }
    }

    LoopbackPair mPair;
    EncodedDatagram mFrame;
    std::mutex mMutex;
    std::condition_variable mArrived;
    std::int64_t mArrivedNs = 0;
    int mArrivals = 0;
    int mSent = 0;
    std::atomic<bool> mStopping{false};
    std::thread mReceiver;  // last: it starts once the rest is built
};

struct LatencyFigures {
    std::vector<double> samples;
    void report(benchmark::State& state, const char* prefix) const {
        state.counters[std::string(prefix) + "median_us"] = percentile(samples, 0.5);
        state.counters[std::string(prefix) + "p99_us"] = percentile(samples, 0.99);
    }
};

void loopbackLatency(benchmark::State& state, bool handOff, double& median, double& p99) {
    LatencyFigures figures;
    for (auto _ : state) {
        LoopbackProbe probe;
        for (int i = 0; i < kLatencySamples; ++i) figures.samples.push_back(probe.sample(handOff));
    }
    median = percentile(figures.samples, 0.5);
    p99 = percentile(figures.samples, 0.99);
    figures.report(state, "");
}

void BM_PlainLoopbackLatency(benchmark::State& state) {
    loopbackLatency(state, false, gBaseline.latencyMedianUs, gBaseline.latencyP99Us);
}
BENCHMARK(BM_PlainLoopbackLatency)->Iterations(1)->UseRealTime();

void BM_LoopbackHandOffLatency(benchmark::State& state) {
    loopbackLatency(state, true, gBaseline.handOffMedianUs, gBaseline.handOffP99Us);
}
BENCHMARK(BM_LoopbackHandOffLatency)->Iterations(1)->UseRealTime();

// When the receiving thread pushed and the node's evaluation popped, to
// split the pipeline's latency.
std::atomic<std::int64_t> gPushedNs{0};
std::atomic<std::int64_t> gPoppedNs{0};

// A live node on a port of its own, fed frames from this thread, the host's
// idle processing run on this thread as the host's main loop runs it.
class PipelineProbe {
public:
    // Ready once the definition has been received; `ready()` tells.
    PipelineProbe() {
        mNode = createNode(mObject);
        if (mNode == nullptr) return;
        mayahost::setInt(mObject, "inputPort", 0);  // any free port
        mayahost::setBool(mObject, "live", true);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        mayahost::evaluate(mObject, "outputTranslations");  // opens the socket
        mPort = platform::boundPort(mNode->socketHandle());
        EncodedDatagram d;
        ztools::encodeSkeletonDefinition(take(), 0, d);
        const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(3);
        Clock::time_point resend{};
        while (mNode->isAwaitingSkeletonDefinition() && Clock::now() < giveUp) {
            if (Clock::now() >= resend) {
                platform::sendToLoopback(mPair.sender, mPort, d.bytes, d.length);
                resend = Clock::now() + std::chrono::milliseconds(100);
            }
            mayahost::processIdleEvents();
        }
        mNode->setCharacterized(true);
        mayahost::ThreadDataObserver observer;
        observer.pushed = [](MPxThreadedDeviceNode&) {
            gPushedNs.store(Clock::now().time_since_epoch().count());
        };
        observer.popped = [](MPxThreadedDeviceNode&) {
            gPoppedNs.store(Clock::now().time_since_epoch().count());
        };
        mayahost::setThreadDataObserver(observer);
        mMarked = take();
    }
    ~PipelineProbe() { mayahost::reset(); }
    PipelineProbe(const PipelineProbe&) = delete;
    PipelineProbe& operator=(const PipelineProbe&) = delete;

    bool ready() const { return mNode != nullptr && !mNode->isAwaitingSkeletonDefinition(); }
    // What the first frame that never reached the outputs had gone through.
    const std::string& firstMiss() const { return mFirstMiss; }

    // One frame, sendto until the root output holds it; false when it did
    // not arrive within a second (counted by the caller, not timed).
    bool sample(LatencyFigures& total, LatencyFigures& toPush, LatencyFigures& toPop,
                LatencyFigures& toIdle) {
        // A root position of its own, so that the output shows this pose;
        // frame numbers two apart keep the rate detection out of it.
        ++mSent;
        mMarked.frames[0].translations[0].x = 1.0 + mSent;
        EncodedDatagram d;
        ztools::encodeFrame(mMarked, 0, 2 * mSent, std::uint32_t(mSent + 1), d);
        std::this_thread::sleep_for(kLatencySpacing);
        const Clock::time_point sent = Clock::now();
        platform::sendToLoopback(mPair.sender, mPort, d.bytes, d.length);
        float root[3] = {0, 0, 0};
        Clock::time_point idleDone = sent;  // the idle pass that evaluated the node
        const Clock::time_point deadline = sent + std::chrono::seconds(1);
        while (Clock::now() < deadline) {
            // As the host's main loop does: asleep until there is idle work.
            mayahost::waitForIdleWork(std::chrono::milliseconds(5));
            mayahost::processIdleEvents();
            idleDone = Clock::now();
            mayahost::getFloat3Element(mObject, "outputTranslations", 0, root);
            if (std::fabs(root[0] - float(1.0 + mSent)) < 1e-3f) break;
        }
        const Clock::time_point seen = Clock::now();
        if (seen >= deadline) {
            const auto after = [&](const std::atomic<std::int64_t>& ns) {
                return Clock::time_point(Clock::duration(ns.load())) >= sent ? "yes" : "no";
            };
            mFirstMiss = mFirstMiss.empty()
                             ? "frame " + std::to_string(2 * mSent) + ": pushed " +
                                   after(gPushedNs) + ", popped " + after(gPoppedNs) + ", root x " +
                                   std::to_string(root[0]) + ", awaiting a definition " +
                                   (mNode->isAwaitingSkeletonDefinition() ? "yes" : "no")
                             : mFirstMiss;
            return false;
        }
        total.samples.push_back(microsecondsBetween(sent, seen));
        toPush.samples.push_back(
            microsecondsBetween(sent, Clock::time_point(Clock::duration(gPushedNs.load()))));
        toPop.samples.push_back(
            microsecondsBetween(sent, Clock::time_point(Clock::duration(gPoppedNs.load()))));
        toIdle.samples.push_back(microsecondsBetween(sent, idleDone));
        return true;
    }

private:
    MObject mObject;
    ZemoriDeviceNode* mNode = nullptr;
    LoopbackPair mPair;
    std::uint16_t mPort = 0;
    CaptureTake mMarked;
    int mSent = 0;
    std::string mFirstMiss;
};

// sendto of a frame until the node's root output holds its translation,
// the host's idle processing (which evaluates the node) running meanwhile.
void BM_SendToOutputLatency(benchmark::State& state) {
    LatencyFigures total, toPush, toPop, toIdle;
    int missed = 0;
    for (auto _ : state) {
        PipelineProbe probe;
        if (!probe.ready()) {
            state.SkipWithError("the node did not take the skeleton definition");
            return;
        }
        for (int i = 0; i < kLatencySamples; ++i) {
            // Many misses mean something is wrong.
            if (!probe.sample(total, toPush, toPop, toIdle) && ++missed > kLatencySamples / 20) {
                state.SkipWithError(
                    ("poses did not reach the outputs; " + probe.firstMiss()).c_str());
                return;
            }
        }
    }
    total.report(state, "");
    toPush.report(state, "to_push_");
    toPop.report(state, "to_pop_");
    toIdle.report(state, "to_idle_");
    state.counters["missed"] = missed;
    const double median = percentile(total.samples, 0.5);
    const double p99 = percentile(total.samples, 0.99);
    if (gBaseline.latencyMedianUs > 0.0) {
        state.counters["x_loopback_median"] = median / gBaseline.latencyMedianUs;
        state.counters["x_loopback_p99"] = p99 / gBaseline.latencyP99Us;
    }
    if (gBaseline.handOffMedianUs > 0.0) {
        state.counters["x_handoff_median"] = median / gBaseline.handOffMedianUs;
        state.counters["x_handoff_p99"] = p99 / gBaseline.handOffP99Us;
    }
}
BENCHMARK(BM_SendToOutputLatency)->Iterations(1)->UseRealTime();

// The pipeline and both baselines sampled in turn, one of each per round in
// rotating order, so that all three meet the same state of the machine.
void BM_SendToOutputLatencyInTurn(benchmark::State& state) {
    LatencyFigures total, toPush, toPop, toIdle, plain, handOff;
    int missed = 0;
    for (auto _ : state) {
        PipelineProbe pipeline;
        if (!pipeline.ready()) {
            state.SkipWithError("the node did not take the skeleton definition");
            return;
        }
        LoopbackProbe loopback;
        for (int round = 0; round < kLatencySamples; ++round) {
            for (int step = 0; step < 3; ++step) {
                switch ((round + step) % 3) {
                    case 0:
                        if (!pipeline.sample(total, toPush, toPop, toIdle) &&
                            ++missed > kLatencySamples / 20) {
                            state.SkipWithError(
                                ("poses did not reach the outputs; " + pipeline.firstMiss())
                                    .c_str());
                            return;
                        }
                        break;
                    case 1:
                        plain.samples.push_back(loopback.sample(false));
                        break;
                    default:
                        handOff.samples.push_back(loopback.sample(true));
                        break;
                }
            }
        }
    }
    total.report(state, "");
    plain.report(state, "loopback_");
    handOff.report(state, "handoff_");
    toPush.report(state, "to_push_");
    toPop.report(state, "to_pop_");
    state.counters["missed"] = missed;
    state.counters["over_loopback_median_us"] =
        percentile(total.samples, 0.5) - percentile(plain.samples, 0.5);
    state.counters["over_loopback_p99_us"] =
        percentile(total.samples, 0.99) - percentile(plain.samples, 0.99);
}
BENCHMARK(BM_SendToOutputLatencyInTurn)->Iterations(1)->UseRealTime();

constexpr int kCaptureRate = 120;
constexpr int kTakeFrames = 10 * 60 * kCaptureRate;  // 10 minutes
constexpr int kSceneRate = 30;
constexpr int kCurveKeys = kTakeFrames / (kCaptureRate / kSceneRate);  // every whole frame
const char* const kSuffixes[6] = {"_tx", "_ty", "_tz", "_rx", "_ry", "_rz"};

// The same number of curves and keys made the way the flush made them before
// addKeys: 162 curves, every key added one by one.
void BM_CreateCurvesDirectly(benchmark::State& state) {
    for (auto _ : state) {
        mayahost::reset();
        MTime::setUIUnit(MTime::k30FPS);
        const Clock::time_point start = Clock::now();
        for (int j = 0; j < kJointCount; ++j) {
            for (const char* suffix : kSuffixes) {
                MFnAnimCurve curve;
                curve.create(MFnAnimCurve::kAnimCurveTL, nullptr, nullptr);
                curve.setName(
                    MString((std::string("direct_") + kJointTable[j].name + suffix).c_str()));
                for (int k = 0; k < kCurveKeys; ++k)
                    curve.addKeyframe(MTime(double(k), MTime::uiUnit()), 0.25 * k);
            }
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        state.SetIterationTime(ms / 1000.0);
        gBaseline.flushMs = ms;
    }
    state.counters["ms"] = gBaseline.flushMs;
    mayahost::reset();
}
BENCHMARK(BM_CreateCurvesDirectly)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A node with a 10-minute take of a 120 fps capture in progress on a 30 fps
// scene, not live: every frame journalled as the receiving thread would,
// taken from the journal by an evaluation each scene frame; still playing
// and recording, so stopping playback hands the take over. Null after
// reporting an error.
ZemoriDeviceNode* recordTenMinuteTake(MObject& object, benchmark::State& state) {
    ZemoriDeviceNode* node = createNode(object);
    if (node == nullptr) {
        state.SkipWithError("the device node could not be created");
        return nullptr;
    }
    MTime::setUIUnit(MTime::k30FPS);
    mayahost::connectTime(object, "time");
    static const CaptureTake capture = ztools::syntheticTake(kCaptureRate, 2.0);
    node->journalForTesting().reserve(CaptureJournal::framesFor(kTakeFrames / kCaptureRate));
    EncodedDatagram datagram;
    ztools::encodeSkeletonDefinition(capture, 0, datagram);
    node->handlePacket(datagram.bytes, kReceiveBytes);
    node->setCharacterized(true);
    mayahost::setBool(object, "recording", true);
    MAnimControl::playForward();
    for (int frame = 0; frame < kTakeFrames; ++frame) {
        if (frame % (kCaptureRate / kSceneRate) == 0) {
            MAnimControl::setCurrentTime(MTime(double(frame / 4), MTime::uiUnit()));
            mayahost::evaluate(object, "outputTranslations");
        }
        ztools::encodeFrame(capture, frame % int(capture.frames.size()), frame,
                            std::uint32_t(frame), datagram);
        node->handlePacket(datagram.bytes, kReceiveBytes);
    }
    // What playback left for idle time (an interface update per evaluation)
    // is not the flush's: Maya would have run it during playback.
    mayahost::processIdleEvents();
    if (node->takeFrameCount() + 4 < std::size_t(kTakeFrames)) {
        state.SkipWithError("the take was not recorded");
        return nullptr;
    }
    return node;
}

// The floor of a flush: the take's (time, value) pairs, one array of times
// and one of values per curve, copied from samples of every key into arrays
// allocated before the clock starts. `warm`: the arrays were written once
// already, so the copy pays no first touch of their pages; otherwise it does,
// as the curves' new keys do.
double copyTakePairs(benchmark::State& state, bool warm) {
    constexpr std::size_t kPairs = std::size_t(kJointCount) * 6 * kCurveKeys;
    std::vector<std::vector<RecordedSample>> samples(kJointCount);
    for (auto& joint : samples) {
        for (int k = 0; k < kCurveKeys; ++k) {
            joint.push_back(
                RecordedSample{1.0 * k, 2.0, 3.0, 4.0, 5.0, 6.0, double(k), 1, 0, 0, 0});
        }
    }
    std::vector<double> runs;
    for (auto _ : state) {
        const std::unique_ptr<double[]> times(new double[kPairs]);
        const std::unique_ptr<double[]> values(new double[kPairs]);
        if (warm) {
            std::fill(times.get(), times.get() + kPairs, -1.0);
            std::fill(values.get(), values.get() + kPairs, -1.0);
        }
        const Clock::time_point start = Clock::now();
        for (int j = 0; j < kJointCount; ++j) {
            const RecordedSample* jointSamples = samples[std::size_t(j)].data();
            double* t = times.get() + std::size_t(j) * 6 * kCurveKeys;
            double* v = values.get() + std::size_t(j) * 6 * kCurveKeys;
            for (std::size_t i = 0; i < std::size_t(kCurveKeys); ++i) {
                const RecordedSample& sample = jointSamples[i];
                const double channels[6] = {sample.translateX, sample.translateY, sample.translateZ,
                                            sample.rotateX,    sample.rotateY,    sample.rotateZ};
                for (std::size_t k = 0; k < 6; ++k) {
                    t[k * kCurveKeys + i] = sample.time;
                    v[k * kCurveKeys + i] = channels[k];
                }
            }
        }
        benchmark::ClobberMemory();
        runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        state.SetIterationTime(runs.back() / 1000.0);
        if (times[kPairs - 1] != double(kCurveKeys - 1)) state.SkipWithError("the copy is wrong");
    }
    const double median = percentile(runs, 0.5);
    state.counters["median_ms"] = median;
    return median;
}

void BM_CopyTakePairs(benchmark::State& state) {
    gBaseline.copyMs = copyTakePairs(state, true);
}
BENCHMARK(BM_CopyTakePairs)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_CopyTakePairsFreshArrays(benchmark::State& state) {
    gBaseline.freshCopyMs = copyTakePairs(state, false);
}
BENCHMARK(BM_CopyTakePairsFreshArrays)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The node's flush of that take: handed over as playback stops, then at idle
// time placed on the scene's clock, resampled onto its whole frames, curves
// created and every curve's keys added. Each run records a take of its own
// (not timed); the ratios take the medians.
void BM_FlushTenMinuteTake(benchmark::State& state) {
    std::vector<double> runs;
    for (auto _ : state) {
        MObject object;
        ZemoriDeviceNode* node = recordTenMinuteTake(object, state);
        if (node == nullptr) return;
        const Clock::time_point start = Clock::now();
        MAnimControl::stop();           // hands the take over
        mayahost::processIdleEvents();  // writes the curves
        runs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        state.SetIterationTime(runs.back() / 1000.0);
        const mayahost::CurveInfo root = mayahost::animCurve("zemoriCharacter0_Skeleton_root_tx");
        if (node->takeInProgress() || root.keys.size() + 1 < std::size_t(kCurveKeys)) {
            state.SkipWithError("the take was not flushed");
        }
        mayahost::reset();
    }
    const double ms = percentile(runs, 0.5);
    state.counters["median_ms"] = ms;
    state.counters["keys"] = 162.0 * kCurveKeys;
    if (gBaseline.copyMs > 0.0) state.counters["x_copy_pairs"] = ms / gBaseline.copyMs;
    if (gBaseline.freshCopyMs > 0.0) {
        state.counters["x_copy_pairs_fresh"] = ms / gBaseline.freshCopyMs;
    }
    if (gBaseline.flushMs > 0.0) state.counters["x_direct_curves"] = ms / gBaseline.flushMs;
}
BENCHMARK(BM_FlushTenMinuteTake)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
