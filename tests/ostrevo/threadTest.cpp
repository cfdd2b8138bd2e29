// Receivers on several threads decode at once: each thread gets arrays of
// its own and sees only its own datagram's values.
#include "testDatagrams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct ThreadResult {
    const float* arrays[2] = {};  // translation x of a frame and of a definition
    int wrongValues = 0;
    int failedDecodes = 0;
};

// Spins until `threads` threads have arrived at the counter.
void meet(std::atomic<int>* counter, int threads) {
    counter->fetch_add(1);
    while (counter->load() < threads) {
        std::this_thread::yield();
    }
}

void decodeRepeatedly(int index, int rounds, std::atomic<int>* ready, std::atomic<int>* done,
                      int threads, ThreadResult* result) {
    const auto poses = osvtest::makePoses(27, static_cast<float>(index) * 10.0f);
    const OsvFrameData frame = osvtest::makeFrame(poses, nullptr, index, index * 0.5);
    const OsvSkeletonDefinition definition = osvtest::makeDefinition(poses);
    osvtest::Buffer frameBytes{};
    osvtest::Buffer definitionBytes{};
    OsvEncodeFrameData(&frame, frameBytes.data(), OSV_MAX_DATAGRAM_BYTES);
    OsvEncodeSkeletonDefinition(&definition, definitionBytes.data(), OSV_MAX_DATAGRAM_BYTES);

    // Start together so that the decodes overlap.
    meet(ready, threads);
    for (int round = 0; round < rounds; ++round) {
        std::int32_t count = 0;
        std::int32_t frameNumber = -1;
        const float* tx = nullptr;
        const float* rw = nullptr;
        if (!ConvertBytesToFrameData(OSV_MAX_DATAGRAM_BYTES, frameBytes.data(), nullptr, nullptr,
                                     &frameNumber, nullptr, nullptr, &count, nullptr, nullptr,
                                     nullptr, nullptr, &rw, &tx, nullptr, nullptr)) {
            ++result->failedDecodes;
            continue;
        }
        result->arrays[0] = tx;
        for (int i = 0; i < count; ++i) {
            if (tx[i] != poses[i].translation[0] || rw[i] != poses[i].rotation[3]) {
                ++result->wrongValues;
            }
        }
        if (frameNumber != index) {
            ++result->wrongValues;
        }
        if (!ConvertBytesToSkeletonDefinition(OSV_MAX_DATAGRAM_BYTES, definitionBytes.data(),
                                              nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, &tx, nullptr, nullptr)) {
            ++result->failedDecodes;
            continue;
        }
        result->arrays[1] = tx;
        for (int i = 0; i < count; ++i) {
            if (tx[i] != poses[i].translation[0]) {
                ++result->wrongValues;
            }
        }
    }
    // Stay alive until every thread has its arrays: storage of a thread that
    // has ended may be handed to the next one.
    meet(done, threads);
}

TEST(Threads, EachThreadDecodesIntoItsOwnArrays) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::atomic<int> ready{0};
    std::atomic<int> done{0};
    ThreadResult results[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(decodeRepeatedly, t + 1, kRounds, &ready, &done, kThreads,
                             &results[t]);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(results[t].failedDecodes, 0) << "thread " << t;
        EXPECT_EQ(results[t].wrongValues, 0) << "thread " << t;
        ASSERT_NE(results[t].arrays[0], nullptr);
        for (int u = 0; u < t; ++u) {
            EXPECT_NE(results[t].arrays[0], results[u].arrays[0]) << t << " and " << u;
        }
    }
}

}  // namespace
