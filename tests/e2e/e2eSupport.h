// What the end-to-end tests share: the bundled take, a free UDP port, and
// a sender streaming the take in real time on a thread of its own.
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/captureSender.h"
#include "tools/lib/captureTake.h"
#include "tools/lib/udpDestination.h"

#include "platform/sockets.h"

#include <gtest/gtest.h>
#include <maya/MAnimControl.h>
#include <mayahost/host.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace ztools {

// A test that works the installed plug-in in this process's host, and
// leaves no playback, scene or host state behind for the next.
class PluginSession : public ::testing::Test {
protected:
    void TearDown() override {
        MAnimControl::stop();
        mayahost::newScene();
        mayahost::processIdleEvents();
        mayahost::reset();
    }
};

// Runs idle processing until the condition holds; false after `seconds`.
inline bool idleUntil(const std::function<bool()>& condition, double seconds = 10.0) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end =
        Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (!condition()) {
        if (Clock::now() > end) return false;
        mayahost::processIdleEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline const BvhMotion& source() {
    static const BvhMotion motion = [] {
        BvhMotion m;
        std::string error;
        EXPECT_TRUE(readBvhFile(std::string(ZEMORI_DATA_DIR) + "/131_01.bvh", m, error)) << error;
        return m;
    }();
    return motion;
}

// A port nobody holds right now: the node binds it itself, so the test can
// only ask the system for a free one and hand it on.
inline int freePort() {
    platform::socketStartup();
    const platform::SocketHandle s = platform::openUdpSocket();
    platform::bindAnyAddress(s, 0);
    const int port = platform::boundPort(s);
    platform::closeSocket(s);
    platform::socketCleanup();
    return port;
}

// Streams `seconds` of the take to 127.0.0.1 from construction until it is
// done or stopped; with `restartSeconds` it then starts again from frame 0
// and streams as long again. The destructor stops and joins.
class TakeSender {
public:
    // `adjust` may change the take before it is sent.
    TakeSender(const SenderOptions& options, double seconds, double restartSeconds = 0.0,
               const std::function<void(CaptureTake&)>& adjust = nullptr)
        : mOptions(options) {
        std::string error;
        EXPECT_TRUE(takeFromBvh(source(), options.fps, kCmuUnitCm, seconds, mTake, error)) << error;
        if (adjust) adjust(mTake);
        mThread = std::thread([this, restartSeconds] {
            std::string sendError;
            const bool group = !mOptions.multicastGroup.empty();
            auto destination = UdpDestination::open(group ? mOptions.multicastGroup : "127.0.0.1",
                                                    mOptions.port, sendError);
            if (destination && group &&
                !destination->setMulticast(mOptions.multicastInterface, mOptions.multicastTtl,
                                           sendError)) {
                destination.reset();
            }
            if (destination) {
                RealTimePacer pacer;
                streamTake(mTake, mOptions, *destination, &pacer, nullptr, &mStop, mStats,
                           sendError);
                if (restartSeconds > 0.0) {
                    SenderOptions again = mOptions;
                    again.durationSeconds = restartSeconds;
                    RealTimePacer restarted;
                    streamTake(mTake, again, *destination, &restarted, nullptr, &mStop, mResent,
                               sendError);
                }
            }
            mDone.store(true);
        });
    }
    ~TakeSender() { join(); }
    TakeSender(const TakeSender&) = delete;
    TakeSender& operator=(const TakeSender&) = delete;

    void join() {
        mStop.store(true);
        if (mThread.joinable()) mThread.join();
    }
    bool done() const { return mDone.load(); }
    const std::atomic<bool>& stopFlag() const { return mStop; }
    // Valid once done (or joined).
    const SendStats& stats() const { return mStats; }
    const SendStats& resentStats() const { return mResent; }
    const CaptureTake& take() const { return mTake; }

private:
    SenderOptions mOptions;
    CaptureTake mTake;
    SendStats mStats;
    SendStats mResent;
    std::atomic<bool> mStop{false};
    std::atomic<bool> mDone{false};
    std::thread mThread;
};

}  // namespace ztools
