// A scripted capture application for session tests, and how a take the
// scene holds is read back and compared, key by key, with what was sent.
#pragma once

#include "tools/lib/captureTake.h"
#include "tools/lib/recorderOptions.h"
#include "tools/lib/skeletonMapping.h"
#include "tools/lib/streamDatagrams.h"

#include "tests/e2e/e2eSupport.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <maya/MAnimControl.h>
#include <maya/MTime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

namespace ztools {

using Clock = std::chrono::steady_clock;

const std::string kPrefix = ZEMORI_E2E_PREFIX;
const std::string kSkeleton = "zemoriCharacter0_Skeleton_";

inline void idleFor(double seconds) {
    idleUntil([] { return false; }, seconds);
}

inline std::string mel(const std::string& text) {
    std::string result;
    EXPECT_TRUE(mayahost::runMel(text, &result))
        << text << ": " << ::testing::PrintToString(mayahost::errorLines());
    return result;
}

// A capture application at 30 fps, scripted by the test: it pauses and
// resumes, restarts its clock, holds one frame back for two seconds, sends
// one frame stamped 1e18 and one whose root is not a number. It sends its
// skeleton definition once a second and when it resumes, and logs every
// frame it sends.
class ScriptedSender {
public:
    struct Sent {
        int frameNumber;
        double stamp;
        int pose;     // index into take().frames
        int clock;    // 0 before the restart, 1 after
        bool usable;  // a pose a take may key: not lying, not NaN
    };

    explicit ScriptedSender(int port) {
        std::string error;
        EXPECT_TRUE(takeFromBvh(source(), 30, kCmuUnitCm, 10.0, mTake, error)) << error;
        mDestination = UdpDestination::open("127.0.0.1", std::uint16_t(port), error);
        EXPECT_TRUE(mDestination) << error;
        mThread = std::thread([this] { run(); });
    }
    ~ScriptedSender() {
        mStop.store(true);
        mThread.join();
    }

    void pause(bool paused) { mPaused.store(paused); }
    void restartClock() { mRestart.store(true); }
    void sendLateFrame() { mLate.store(true); }
    void sendLyingFrame() { mLying.store(true); }
    void sendNanFrame() { mNan.store(true); }
    const CaptureTake& take() const { return mTake; }
    std::vector<Sent> sent() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSent;
    }
    std::size_t sentCount() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSent.size();
    }

private:
    void send(const CapturePose& pose, int number, double stamp) {
        EncodedDatagram datagram;
        if (encodePose(pose, number, stamp, mSequence++, datagram)) {
            mDestination->send(datagram.bytes, datagram.length);
        }
    }
    void sendDefinition() {
        EncodedDatagram datagram;
        if (encodeSkeletonDefinition(mTake, mSequence++, datagram)) {
            mDestination->send(datagram.bytes, datagram.length);
        }
    }
    void log(const Sent& sent) {
        std::lock_guard<std::mutex> lock(mMutex);
        mSent.push_back(sent);
    }

    void run() {
        Clock::time_point due = Clock::now();
        int number = 0;
        int clock = 0;
        int inClock = 0;  // frames since this clock began
        double base = 100.0;
        bool wasPaused = true;
        int heldFor = -1;  // frames left before the held frame goes
        Sent held{};
        while (!mStop.load()) {
            due += std::chrono::microseconds(33333);
            std::this_thread::sleep_until(due);
            if (mPaused.load()) {
                wasPaused = true;
                continue;
            }
            if (mRestart.exchange(false)) {
                ++clock;
                inClock = 0;
                base = 0.0;
            }
            if (wasPaused || number % 30 == 0) sendDefinition();
            wasPaused = false;
            ++number;
            const int pose = number % int(mTake.frames.size());
            const double stamp = base + inClock++ / 30.0;
            Sent sent{number, stamp, pose, clock, true};
            CapturePose captured = mTake.frames[std::size_t(pose)];
            if (mNan.exchange(false)) {
                captured.translations[0].x = std::numeric_limits<double>::quiet_NaN();
                sent.usable = false;
            }
            if (mLate.exchange(false)) {
                held = sent;  // sent two seconds late, after the frames behind it
                heldFor = 60;
                log(sent);
            } else {
                send(captured, number, stamp);
                log(sent);
            }
            if (heldFor >= 0 && heldFor-- == 0) {
                send(mTake.frames[std::size_t(held.pose)], held.frameNumber, held.stamp);
            }
            if (mLying.exchange(false)) {
                send(mTake.frames[0], ++number, 1e18);
                log(Sent{number, 1e18, 0, clock, false});
            }
        }
    }

    CaptureTake mTake;
    std::unique_ptr<UdpDestination> mDestination;
    std::uint32_t mSequence = 0;
    std::atomic<bool> mStop{false}, mPaused{false}, mRestart{false};
    std::atomic<bool> mLate{false}, mLying{false}, mNan{false};
    std::mutex mMutex;
    std::vector<Sent> mSent;
    std::thread mThread;
};

// One take as the scene holds it: each curve's keys, and where the
// capture's clock lies on the scene's.
struct TakeKeys {
    std::map<std::string, std::vector<std::pair<double, double>>> curves;
    double captureTime = 0.0;
    double captureStamp = 0.0;
};

// Read through the take node's connections, whatever names its curves got.
inline TakeKeys readTake(int number) {
    TakeKeys take;
    const std::string name = kSkeleton + "take" + std::to_string(number);
    const MObject node = mayahost::findNode(name);
    EXPECT_FALSE(node.isNull()) << "take " << number;
    if (node.isNull()) return take;
    take.captureTime = mayahost::getDouble(node, "captureTime");
    take.captureStamp = mayahost::getDouble(node, "captureStamp");
    const char* const channels[] = {"tx", "ty", "tz", "rx", "ry", "rz"};
    for (int j = 0; j < kCaptureJoints; ++j) {
        for (int c = 0; c < 6; ++c) {
            std::string curveName;
            EXPECT_TRUE(mayahost::runMel("stringArrayToString(`listConnections -s 1 -d 0 " + name +
                                             ".curves[" + std::to_string(j * 6 + c) + "]`, \"\")",
                                         &curveName));
            bool exists = false;
            const mayahost::CurveInfo curve = mayahost::animCurve(curveName, &exists);
            EXPECT_TRUE(exists) << name << " curve " << j * 6 + c << ": " << curveName;
            auto& keys = take.curves[std::string(captureJointName(j)) + "_" + channels[c]];
            for (const mayahost::CurveKey& key : curve.keys) {
                keys.emplace_back(key.time.as(MTime::uiUnit()), key.value);
            }
        }
    }
    return take;
}

// The value of a curve at a key time; NaN where it has no key there.
inline double valueAt(const std::vector<std::pair<double, double>>& keys, double time) {
    for (const auto& key : keys) {
        if (std::abs(key.first - time) < 1e-6) return key.second;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// Compares every key of a take with the frame sent at its time, by the
// joints' world positions. Returns the key times' stamps, first and last.
inline std::pair<double, double> expectTakeMatchesSent(const TakeKeys& take, ScriptedSender& sender,
                                                       const char* what) {
    SCOPED_TRACE(what);
    const std::vector<ScriptedSender::Sent> sent = sender.sent();
    const auto& rootKeys = take.curves.at("root_tx");
    EXPECT_FALSE(rootKeys.empty());
    // The clock of the frame at the capture's anchor.
    int clock = -1;
    for (const auto& s : sent) {
        if (s.usable && std::abs(s.stamp - take.captureStamp) < 1e-6) clock = s.clock;
    }
    EXPECT_GE(clock, 0) << "no frame was sent at the take's anchor stamp " << take.captureStamp;
    const std::vector<int> parents = captureParents();
    double first = 1e300;
    double last = -1e300;
    int compared = 0;
    for (const auto& key : take.curves.at("torso_1_rx")) {
        const double stamp = take.captureStamp + (key.first - take.captureTime) / 30.0;
        first = std::min(first, stamp);
        last = std::max(last, stamp);
        const ScriptedSender::Sent* match = nullptr;
        for (const auto& s : sent) {
            if (s.clock == clock && std::abs(s.stamp - stamp) < 1e-6) match = &s;
        }
        EXPECT_NE(match, nullptr) << "a key at " << key.first << " (stamp " << stamp
                                  << ") where nothing was sent";
        if (match == nullptr || !match->usable) continue;
        const std::vector<Vec3> expected = captureJointPositions(
            sender.take().definition, sender.take().frames[std::size_t(match->pose)]);
        // Forward kinematics of the keys, as the skeleton would pose.
        std::vector<Vec3> at(kCaptureJoints);
        std::vector<Quat> turn(kCaptureJoints);
        const double degrees = 180.0 / 3.141592653589793;
        for (int j = 0; j < kCaptureJoints; ++j) {
            const std::string joint = captureJointName(j);
            const auto channel = [&](const char* c) {
                return valueAt(take.curves.at(joint + "_" + c), key.first);
            };
            const Vec3 t{channel("tx"), channel("ty"), channel("tz")};
            const Quat r = fromEulerXYZDegrees(
                Vec3{channel("rx") * degrees, channel("ry") * degrees, channel("rz") * degrees});
            const int p = parents[j];
            at[j] = p < 0 ? t : at[p] + rotate(turn[p], t);
            turn[j] = p < 0 ? r : turn[p] * r;
        }
        for (int j = 0; j < kCaptureJoints; ++j) {
            EXPECT_LT(length(at[j] - expected[j]), 0.01)
                << captureJointName(j) << " at " << key.first;
        }
        ++compared;
    }
    EXPECT_GT(compared, 10);
    return {first, last};
}

}  // namespace ztools
