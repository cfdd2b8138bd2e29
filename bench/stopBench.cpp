// How quickly a device node's receiving thread stops, and what an idle node
// costs:
//  - a live node whose sender is silent, switched live off (and evaluated,
//    which closes its socket) or deleted, under each of the host's
//    device-thread lifetimes: under the restarting one live off also stops
//    the thread and starts it again; under the continuous one the thread
//    keeps running and gives the socket up. Timed until the host has the
//    thread, or the socket, back, against the 100 ms allowed at most;
//  - the process CPU spent over two seconds with 8 nodes that are not
//    live, against the same two seconds with no node, as a share of one
//    core per node.
#include "bench/benchHost.h"
#include "intake/formatLibrary.h"
#include "node/zemoriDeviceNode.h"

#include <benchmark/benchmark.h>

#include <mayahost/host.h>

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A live node with its socket open and nobody sending to it.
MObject silentLiveNode() {
    const MObject node = mayahost::createNode("ZemoriDeviceNode");
    mayahost::setInt(node, "inputPort", 0);
    mayahost::setBool(node, "live", true);
    mayahost::evaluate(node, "outputTranslations");
    // Let the thread settle in its wait on the socket.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    return node;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BM_StopSilentNode(benchmark::State& state) {
    const bool deleteIt = state.range(0) == 1;
    zbench::registerPluginInFreshHost("ZemoriStopBench");
    mayahost::setDeviceThreadLifetime(state.range(1) == 1
                                          ? mayahost::DeviceThreadLifetime::kRestarting
                                          : mayahost::DeviceThreadLifetime::kContinuous);
    double worst = 0.0;
    double total = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        const MObject node = silentLiveNode();
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        if (deleteIt) {
            mayahost::deleteNode(node);
        } else {
            mayahost::setBool(node, "live", false);
            mayahost::evaluate(node, "outputTranslations");
        }
        const double ms = millisecondsSince(start);
        total += ms;
        worst = std::max(worst, ms);
        state.PauseTiming();
        if (!deleteIt) mayahost::deleteNode(node);
        state.ResumeTiming();
    }
    state.counters["mean_ms"] = total / static_cast<double>(state.iterations());
    state.counters["worst_ms"] = worst;
    state.counters["x_worst_of_100ms"] = worst / 100.0;
    state.counters["pending"] = static_cast<double>(mayahost::pendingDeletionCount());
    mayahost::reset();
    mayahost::setDeviceThreadLifetime(mayahost::DeviceThreadLifetime::kContinuous);
}
BENCHMARK(BM_StopSilentNode)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"delete", "restarting"})
    ->Iterations(20)
    ->UseRealTime();

double processCpuSecondsOver(std::chrono::milliseconds wall) {
    const std::clock_t before = std::clock();
    std::this_thread::sleep_for(wall);
    return static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
}

void BM_IdleNodeCpu(benchmark::State& state) {
    constexpr int kNodes = 8;
    const std::chrono::milliseconds wall(2000);
    zbench::registerPluginInFreshHost("ZemoriStopBench");
    double baseline = 0.0;
    double withNodes = 0.0;
    for (auto _ : state) {
        baseline = processCpuSecondsOver(wall);
        std::vector<MObject> nodes;
        for (int i = 0; i < kNodes; ++i) nodes.push_back(mayahost::createNode("ZemoriDeviceNode"));
        withNodes = processCpuSecondsOver(wall);
        for (const MObject& node : nodes) mayahost::deleteNode(node);
    }
    const double seconds = std::chrono::duration<double>(wall).count();
    const double perNode = (withNodes - baseline) / kNodes / seconds;
    state.counters["core_percent_per_idle_node"] = 100.0 * perNode;
    state.counters["x_of_0.2_percent"] = 100.0 * perNode / 0.2;
    mayahost::reset();
}
BENCHMARK(BM_IdleNodeCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
