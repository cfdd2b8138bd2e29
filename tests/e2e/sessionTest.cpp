// A user's afternoon through the panel and MEL only: a sender that pauses,
// resumes, restarts its clock, sends one late, one lying and one NaN frame;
// record, untick, stop, record again, Keep last, review, back to live,
// delete a take, delete the device and undo with a second device on its
// port, save as Maya ASCII and open again. Every take must be there, none
// merged, each within 0.01 cm of what was sent while it recorded, and no
// node that is not a take's touched.
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
namespace {

using Clock = std::chrono::steady_clock;

const std::string kPrefix = ZEMORI_E2E_PREFIX;
const std::string kSkeleton = "zemoriCharacter0_Skeleton_";

void idleFor(double seconds) {
    idleUntil([] { return false; }, seconds);
}

std::string mel(const std::string& text) {
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
TakeKeys readTake(int number) {
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
double valueAt(const std::vector<std::pair<double, double>>& keys, double time) {
    for (const auto& key : keys) {
        if (std::abs(key.first - time) < 1e-6) return key.second;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// Compares every key of a take with the frame sent at its time, by the
// joints' world positions. Returns the key times' stamps, first and last.
std::pair<double, double> expectTakeMatchesSent(const TakeKeys& take, ScriptedSender& sender,
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

class Session : public ::testing::Test {
protected:
    void TearDown() override {
        MAnimControl::stop();
        mayahost::newScene();
        mayahost::processIdleEvents();
        mayahost::reset();
    }
};

TEST_F(Session, AUsersAfternoonLosesMergesAndTouchesNothing) {
    mayahost::reset();
    mayahost::setScriptPath({kPrefix + "/ZemoriMayaPlugin/scripts"});
    ASSERT_TRUE(mayahost::loadPlugin(pluginPath(kPrefix)));
    mayahost::processIdleEvents();
    mel("currentUnit -time ntsc");
    // The user's own nodes, named as a take's curves would be.
    mel("createNode transform -n \"" + kSkeleton + "root_tx\"");
    mel("createNode transform -n \"" + kSkeleton + "root_ty_take1\"");

    ASSERT_TRUE(mayahost::pressButton(mayahost::control("Zemori").children.at(0)));
    mayahost::processIdleEvents();
    const int port = freePort();
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    ScriptedSender sender(port);
    ASSERT_TRUE(idleUntil([] { return mayahost::control("zemoriBind0").enabled; }))
        << mayahost::control("zemoriStatus0").label;
    ASSERT_TRUE(mayahost::pressButton("zemoriBind0"))
        << ::testing::PrintToString(mayahost::errorLines());
    const std::string device = mel("stringArrayToString(`ls -type ZemoriDeviceNode`, \"\")");
    const std::string root = kSkeleton + "root";

    // Plays in real time while `during` runs each frame with the seconds played.
    const auto play = [&](double seconds, const std::function<void(double)>& during) {
        mayahost::RealTimePlayback playback;
        playback.seconds = seconds;
        const Clock::time_point start = Clock::now();
        playback.afterFrame = [&](const MTime&) {
            double p[3];
            mayahost::worldPosition(root, p);  // the viewport pulls the outputs
            if (during) during(std::chrono::duration<double>(Clock::now() - start).count());
        };
        return mayahost::playRealTime(playback);
    };

    // Take 1: unticked while playback goes on; nothing after is the take's.
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
    double untickedAt = 0.0;
    play(2.0, [&](double t) {
        if (t > 1.0 && untickedAt == 0.0) {
            ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", false));
            untickedAt = sender.sent().back().stamp;
        }
    });
    ASSERT_TRUE(idleUntil([] { return !mayahost::findNode(kSkeleton + "take1").isNull(); }));

    // Take 2: one late, one lying and one NaN frame; stopping ends it.
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
    int step = 0;
    play(3.0, [&](double t) {
        if (t > 0.3 && step == 0) sender.sendLateFrame(), ++step;
        if (t > 0.8 && step == 1) sender.sendLyingFrame(), ++step;
        if (t > 1.2 && step == 2) sender.sendNanFrame(), ++step;
    });
    ASSERT_TRUE(idleUntil([] { return !mayahost::findNode(kSkeleton + "take2").isNull(); }));

    // The sender goes quiet; stop, untick, tick, play: a take of its own
    // once the sender resumes on a restarted clock.
    sender.pause(true);
    idleFor(1.5);
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", false));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
    bool resumed = false;
    play(3.0, [&](double t) {
        if (t > 0.5 && !resumed) {
            sender.restartClock();
            sender.pause(false);
            resumed = true;
        }
    });
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", false));
    ASSERT_TRUE(idleUntil([] { return !mayahost::findNode(kSkeleton + "take3").isNull(); }));

    // Keep last: the second before now, on the restarted clock.
    mel("ZemoriKeepLast " + device + " 1");
    ASSERT_FALSE(mayahost::findNode(kSkeleton + "take4").isNull());

    // Every take, none merged, each matching what was sent while it recorded.
    const auto take1 = expectTakeMatchesSent(readTake(1), sender, "take 1");
    EXPECT_LE(take1.second, untickedAt + 1e-6) << "nothing after recording was switched off";
    EXPECT_GT(take1.second - take1.first, 0.7);
    const auto take2 = expectTakeMatchesSent(readTake(2), sender, "take 2");
    EXPECT_GT(take2.second - take2.first, 2.0);
    EXPECT_EQ(mayahost::getInt(mayahost::findNode(kSkeleton + "take2"), "framesMistimed"), 1);
    EXPECT_GE(mayahost::getInt(mayahost::findNode(kSkeleton + "take2"), "valuesNotNumbers"), 1);
    const auto take3 = expectTakeMatchesSent(readTake(3), sender, "take 3");
    EXPECT_LT(take3.first, 1.0) << "the restarted clock's frames, not take 2's";
    const auto take4 = expectTakeMatchesSent(readTake(4), sender, "take 4");
    EXPECT_NEAR(take4.second - take4.first, 29.0 / 30.0, 1e-6);

    // Review take 1, back to live, delete take 2: only the take's own nodes.
    mayahost::processIdleEvents();
    const std::vector<std::string> items = mayahost::control("zemoriTakes0").items;
    ASSERT_EQ(items.size(), 4u);
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", items[3]));
    ASSERT_TRUE(mayahost::pressButton("zemoriReview0"));
    EXPECT_EQ(mayahost::control("zemoriStatus0").label, "Reviewing take 1");
    ASSERT_TRUE(mayahost::pressButton("zemoriBackToLive0"));
    mayahost::answerConfirmDialogs([](const std::string&) { return std::string("Delete"); });
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", items[2]));
    ASSERT_TRUE(mayahost::pressButton("zemoriDeleteTake0"));
    EXPECT_TRUE(mayahost::findNode(kSkeleton + "take2").isNull());
    EXPECT_EQ(mayahost::animCurves().size(), 3u * 162u);

    // The device deleted, a second one on its port, then undo: the first
    // comes back without taking the port, and its takes are untouched.
    mel("delete " + device);
    ASSERT_TRUE(mayahost::pressButton(mayahost::control("Zemori").children.at(0)));
    mayahost::processIdleEvents();
    // The first device's id is free again: the new one takes it, and its panel.
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    ASSERT_TRUE(idleUntil([] {
        return mayahost::control("zemoriStatus0").label ==
               "Data received. Press Bind to Character button";
    })) << "the second device receives on the first one's port: "
        << mayahost::control("zemoriStatus0").label;
    mel("undo");
    const std::string devices = mel("stringArrayToString(`ls -type ZemoriDeviceNode`, \" \")");
    ASSERT_EQ(std::count(devices.begin(), devices.end(), ' '), 1) << devices;
    mayahost::processIdleEvents();
    int live = 0;
    for (const std::string& name :
         {devices.substr(0, devices.find(' ')), devices.substr(devices.find(' ') + 1)}) {
        live += std::stoi(mel("getAttr " + name + ".live"));
    }
    EXPECT_EQ(live, 1) << "the device brought back finds its port taken and goes off live";
    EXPECT_EQ(mayahost::animCurves().size(), 3u * 162u);

    // Saved as Maya ASCII and opened again: the takes come back as they were.
    const std::map<std::string, std::vector<std::pair<double, double>>> before = readTake(1).curves;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zemoriSession" + std::to_string(port));
    std::filesystem::create_directories(folder);
    // MEL strings take forward slashes: a backslash starts an escape.
    const std::string file = (folder / "afternoon.ma").generic_string();
    mel("file -rename \"" + file + "\"; file -save -type \"mayaAscii\"");
    mel("file -force -open \"" + file + "\"");
    mayahost::processIdleEvents();
    EXPECT_EQ(readTake(1).curves, before);
    EXPECT_FALSE(mayahost::findNode(kSkeleton + "take3").isNull());
    EXPECT_FALSE(mayahost::findNode(kSkeleton + "take4").isNull());
    EXPECT_TRUE(mayahost::findNode(kSkeleton + "take2").isNull());
    EXPECT_EQ(mel("nodeType " + kSkeleton + "root_tx"), "transform");
    EXPECT_EQ(mel("nodeType " + kSkeleton + "root_ty_take1"), "transform");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ztools
