// Cost of handling one frame datagram on the receiving thread (classify and
// decode through the store with our library) next to the copy of the
// 3456-byte pose buffer that follows it. The decode benchmark reports its
// time as a multiple of the copy's, measured in the same run.
#include "intake/linkedFormatLibrary.h"
#include "intake/motionDataStore.h"
#include "ostrevo/ostrevo.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double gCopyNanoseconds = 0.0;  // per copy, from the copy benchmark

void installLibrary() {
    gFormatLibrary = linkedFormatLibrary();
}

// A 27-joint frame in a 4096-byte receive buffer.
std::vector<char> frameDatagram() {
    std::vector<OsvJointPose> poses(kJointCount);
    for (int i = 0; i < kJointCount; ++i) {
        const float a = 0.1f * static_cast<float>(i);
        poses[i] = OsvJointPose{{0.0f, std::sin(a), 0.0f, std::cos(a)}, {0.01f * a, 0.05f, 0.0f}};
    }
    const OsvFrameData frame{1, 1, 41, 0.0f, 7.0, kJointCount, nullptr, poses.data()};
    std::vector<char> buffer(OSV_MAX_DATAGRAM_BYTES, 0);
    if (OsvEncodeFrameData(&frame, buffer.data(), OSV_MAX_DATAGRAM_BYTES) < 0) {
        buffer.clear();
    }
    return buffer;
}

double nanosecondsPerIteration(Clock::duration elapsed, benchmark::IterationCount n) {
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(n);
}

void BM_CopyPoseBuffer(benchmark::State& state) {
    MotionDataStore store;
    std::vector<char> pose(kPoseBufferBytes);
    const auto start = Clock::now();
    for (auto _ : state) {
        std::memcpy(pose.data(), store.poseRecords(), kPoseBufferBytes);
        benchmark::DoNotOptimize(pose.data());
        benchmark::ClobberMemory();
    }
    gCopyNanoseconds = nanosecondsPerIteration(Clock::now() - start, state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPoseBufferBytes);
}
BENCHMARK(BM_CopyPoseBuffer);

void BM_ClassifyAndDecodeFrame(benchmark::State& state) {
    installLibrary();
    MotionDataStore store;
    std::vector<char> buffer = frameDatagram();
    if (buffer.empty() || !store.isFrameData(buffer.data(), OSV_MAX_DATAGRAM_BYTES)) {
        state.SkipWithError("the frame datagram was not accepted");
        return;
    }
    const auto start = Clock::now();
    for (auto _ : state) {
        if (store.isFrameData(buffer.data(), OSV_MAX_DATAGRAM_BYTES)) {
            store.decodeFrameData(buffer.data(), OSV_MAX_DATAGRAM_BYTES);
        }
        benchmark::DoNotOptimize(store.poseRecords());
        benchmark::ClobberMemory();
    }
    const double ns = nanosecondsPerIteration(Clock::now() - start, state.iterations());
    state.counters["ns_per_datagram"] = ns;
    if (gCopyNanoseconds > 0.0) {
        state.counters["x_memcpy_3456"] = ns / gCopyNanoseconds;
    }
}
BENCHMARK(BM_ClassifyAndDecodeFrame);

// What a datagram of another format costs: refused at the magic.
void BM_ClassifyForeignDatagram(benchmark::State& state) {
    installLibrary();
    MotionDataStore store;
    std::vector<char> buffer(OSV_MAX_DATAGRAM_BYTES, 0x2A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.isFrameData(buffer.data(), OSV_MAX_DATAGRAM_BYTES) ||
                                 store.isSkeletonDefinition(buffer.data(), OSV_MAX_DATAGRAM_BYTES));
    }
}
BENCHMARK(BM_ClassifyForeignDatagram);

}  // namespace

BENCHMARK_MAIN();
