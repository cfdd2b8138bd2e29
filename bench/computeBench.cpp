// Cost of one evaluation of a live device node (pop the pose buffer, convert
// 27 rotations, fill both output arrays through the host's array builders)
// next to a plain copy of the same 3456 bytes. The host's own evaluation
// machinery (dirtying, idle queue) is part of the measured evaluation.
#include "bench/benchHost.h"
#include "intake/jointTable.h"
#include "node/zemoriDeviceNode.h"

#include <benchmark/benchmark.h>

#include <maya/MFnDependencyNode.h>
#include <mayahost/host.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double gCopyNanoseconds = 0.0;  // per copy, from the copy benchmark

double nanosecondsPerIteration(Clock::duration elapsed, benchmark::IterationCount n) {
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(n);
}

// 27 records with distinct rotations, so that no conversion is trivial.
std::vector<JointRecord> samplePose() {
    std::vector<JointRecord> records(kJointCount);
    for (int i = 0; i < kJointCount; ++i) {
        const double a = 0.05 * (i + 1);
        records[i].name = kJointTable[i].name;
        records[i].parentIndex = kJointTable[i].parentIndex;
        records[i].definitionTranslation = {1.0 * i, 2.0, 3.0};
        records[i].currentTranslation = {1.0 * i + 0.5, 2.0, 3.0};
        const double n = std::sqrt(1.0 + 3 * std::sin(a) * std::sin(a));
        records[i].currentRotation = {std::sin(a) / n, std::sin(a) / n, std::sin(a) / n,
                                      std::cos(a) / n};
        records[i].definitionRotation = records[i].currentRotation;
    }
    return records;
}

void BM_CopyPoseBuffer(benchmark::State& state) {
    const std::vector<JointRecord> records = samplePose();
    std::vector<char> pose(kPoseBufferBytes);
    const auto start = Clock::now();
    for (auto _ : state) {
        std::memcpy(pose.data(), records.data(), kPoseBufferBytes);
        benchmark::DoNotOptimize(pose.data());
        benchmark::ClobberMemory();
    }
    gCopyNanoseconds = nanosecondsPerIteration(Clock::now() - start, state.iterations());
}
BENCHMARK(BM_CopyPoseBuffer);

// The evaluation as the pipeline meets it: after the main thread has slept
// between frames (15 ms), with caches and predictors gone cold, or back to back.
void liveCompute(benchmark::State& state, std::chrono::milliseconds pause) {
    zbench::registerPluginInFreshHost("ZemoriComputeBench");
    const MObject object = mayahost::createNode("ZemoriDeviceNode");
    auto* node = static_cast<ZemoriDeviceNode*>(MFnDependencyNode(object).userNode());
    if (node == nullptr) {
        state.SkipWithError("the device node could not be created");
        return;
    }
    mayahost::setInt(object, "inputPort", 0);  // any free port
    mayahost::setBool(object, "live", true);
    mayahost::evaluate(object, "outputTranslations");  // opens the socket

    const std::vector<JointRecord> records = samplePose();
    Clock::duration total{};
    for (auto _ : state) {
        if (pause.count() > 0) std::this_thread::sleep_for(pause);
        const auto start = Clock::now();
        // What the receiving thread hands over, then the evaluation it schedules.
        MCharBuffer buffer;
        if (!node->acquireDataStorage(buffer)) {
            state.SkipWithError("no free pose buffer");
            break;
        }
        std::memcpy(buffer.ptr(), records.data(), kPoseBufferBytes);
        node->pushThreadData(buffer);
        mayahost::processIdleEvents();
        const Clock::duration elapsed = Clock::now() - start;
        total += elapsed;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    const double ns = nanosecondsPerIteration(total, state.iterations());
    state.counters["ns_per_compute"] = ns;
    if (gCopyNanoseconds > 0.0) {
        state.counters["x_memcpy_3456"] = ns / gCopyNanoseconds;
    }
    mayahost::reset();
}

void BM_LiveCompute(benchmark::State& state) {
    liveCompute(state, std::chrono::milliseconds(0));
}
BENCHMARK(BM_LiveCompute)->UseManualTime();

void BM_LiveComputeAfterSleep(benchmark::State& state) {
    liveCompute(state, std::chrono::milliseconds(15));
}
BENCHMARK(BM_LiveComputeAfterSleep)->UseManualTime()->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
