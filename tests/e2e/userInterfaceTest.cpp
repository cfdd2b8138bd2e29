// End to end through the user interface: the installed module loaded as
// Maya loads it, its shelf, the device panel, live streaming of the bundled
// take, binding the skeleton, recording with playback, and a new scene.
#include "tools/lib/captureTake.h"
#include "tools/lib/recorderOptions.h"
#include "tools/lib/skeletonMapping.h"

#include "tests/e2e/e2eSupport.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <maya/MAnimControl.h>
#include <maya/MTime.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

namespace ztools {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kPrefix = ZEMORI_E2E_PREFIX;
const char* const kSkeleton = "zemoriCharacter0_Skeleton_";

// Runs idle processing until the condition holds; false after `seconds`.
bool idleUntil(const std::function<bool()>& condition, double seconds = 10.0) {
    const Clock::time_point end =
        Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (!condition()) {
        if (Clock::now() > end) return false;
        mayahost::processIdleEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

Vec3 worldPosition(const std::string& joint) {
    double p[3] = {0, 0, 0};
    EXPECT_TRUE(mayahost::worldPosition(joint, p)) << joint;
    return Vec3{p[0], p[1], p[2]};
}

// Counts the device's pose buffers in and out of its queue.
struct QueueCounts {
    std::atomic<long> pushes{0};
    std::atomic<long> pops{0};
};

class UserInterface : public ::testing::Test {
protected:
    void SetUp() override {
        mayahost::reset();
        mayahost::ThreadDataObserver observer;
        observer.pushed = [this](MPxThreadedDeviceNode&) { ++counts.pushes; };
        observer.popped = [this](MPxThreadedDeviceNode&) { ++counts.pops; };
        mayahost::setThreadDataObserver(observer);
    }
    void TearDown() override {
        MAnimControl::stop();
        mayahost::newScene();
        mayahost::processIdleEvents();
        mayahost::reset();
    }
    QueueCounts counts;
};

TEST_F(UserInterface, ShelfPanelLiveBindRecordAndNewScene) {
    // Maya puts the module's scripts folder on the script path.
    mayahost::setScriptPath({kPrefix + "/ZemoriMayaPlugin/scripts"});
    ASSERT_TRUE(mayahost::loadPlugin(pluginPath(kPrefix)))
        << ::testing::PrintToString(mayahost::errorLines());
    mayahost::processIdleEvents();
    const std::vector<std::string> shelves = mayahost::shelves();
    ASSERT_EQ(std::count(shelves.begin(), shelves.end(), "Zemori"), 1);
    const mayahost::ControlState shelf = mayahost::control("Zemori");
    ASSERT_EQ(shelf.children.size(), 1u);
    EXPECT_EQ(mayahost::control(shelf.children[0]).label, "Zemori Device");

    // The shelf button: a device and its panel listing the addresses.
    ASSERT_TRUE(mayahost::pressButton(shelf.children[0]));
    ASSERT_EQ(mayahost::windows(), std::vector<std::string>{"zemoriPanel0"});
    mayahost::processIdleEvents();
    const std::vector<std::string> log = mayahost::commandLog();
    const auto posted = std::find_if(log.rbegin(), log.rend(), [](const std::string& c) {
        return c.rfind("displayAvailableIPs ", 0) == 0;
    });
    ASSERT_NE(posted, log.rend()) << "the panel asked for the addresses";
    std::string shown = mayahost::control("zemoriIpHeading0").label;
    for (const std::string& a : mayahost::control("zemoriIps0").items) shown += "\t\t\t" + a;
    EXPECT_EQ("displayAvailableIPs \"" + shown + "\"0", *posted);
    EXPECT_EQ(mayahost::control("zemoriIpHeading0").label, "Your local IPs:");
    EXPECT_FALSE(mayahost::control("zemoriBind0").enabled);

    // A port of our own, typed into the panel; then Live, while the take streams.
    const int port = freePort();
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    SenderOptions send;
    send.port = std::uint16_t(port);
    send.fps = 50;
    TakeSender sender(send, 3.0);
    ASSERT_TRUE(idleUntil([] {
        return mayahost::control("zemoriStatus0").label ==
                   "Data received. Press Bind to Character button" &&
               mayahost::control("zemoriBind0").enabled;
    })) << mayahost::control("zemoriStatus0").label;

    // Bind: 27 joints named after the skeleton, driven by the node.
    ASSERT_TRUE(mayahost::pressButton("zemoriBind0"))
        << ::testing::PrintToString(mayahost::errorLines());
    std::string joints;
    ASSERT_TRUE(mayahost::runMel("stringArrayToString(`ls -type joint`, \" \")", &joints));
    for (int j = 0; j < kCaptureJoints; ++j) {
        EXPECT_NE(joints.find(kSkeleton + std::string(captureJointName(j))), std::string::npos)
            << captureJointName(j);
    }
    EXPECT_EQ(std::count(joints.begin(), joints.end(), ' '), kCaptureJoints - 1);
    const std::string root = kSkeleton + std::string("root");
    const Vec3 before = worldPosition(root);
    ASSERT_TRUE(idleUntil([&] { return length(worldPosition(root) - before) > 1.0; }))
        << "the joints follow the stream";

    // Recording while the scene plays in real time; stopping writes the curves.
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
    mayahost::RealTimePlayback playback;
    playback.seconds = 1.25;
    // The joints pull the node's outputs, as the viewport does.
    playback.afterFrame = [&](const MTime&) { worldPosition(root); };
    const mayahost::PlaybackSummary played = mayahost::playRealTime(playback);
    ASSERT_GT(played.framesShown, 0);
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", false));
    double frame = played.lastTime + 1.0;
    MAnimControl::setCurrentTime(MTime(frame++, MTime::uiUnit()));
    worldPosition(root);
    mayahost::processIdleEvents();
    std::vector<mayahost::CurveInfo> curves = mayahost::animCurves();
    ASSERT_EQ(curves.size(), 162u);
    for (const mayahost::CurveInfo& curve : curves) {
        EXPECT_EQ(curve.name.rfind(kSkeleton, 0), 0u) << curve.name;
        EXPECT_GT(curve.keys.size(), 20u) << curve.name;
        EXPECT_EQ(curve.keys.size(), curves[0].keys.size()) << curve.name;
    }

    // Once the take has ended and every pose is taken, the joints stand as
    // the source's last frame does, by forward kinematics.
    // Datagrams may still be on their way after the sender is done: wait
    // for a quiet spell with the queue empty.
    ASSERT_TRUE(idleUntil([&] { return sender.done(); }, 15.0));
    long seen = -1;
    Clock::time_point quietSince = Clock::now();
    ASSERT_TRUE(idleUntil([&] {
        MAnimControl::setCurrentTime(MTime(frame++, MTime::uiUnit()));
        worldPosition(root);
        if (counts.pushes.load() != seen) {
            seen = counts.pushes.load();
            quietSince = Clock::now();
        }
        return counts.pops.load() == seen &&
               Clock::now() - quietSince > std::chrono::milliseconds(300);
    }));
    SkeletonMapping mapping;
    std::string error;
    ASSERT_TRUE(buildMapping(source().skeleton, mapping, error)) << error;
    std::array<Vec3, kCaptureJoints> rest{};
    for (int j = 0; j < kCaptureJoints; ++j) rest[j] = mapping.restTranslation[j] * kCmuUnitCm;
    const int last = sender.stats().lastFrameNumber % resampledFrameCount(source(), 50, 0.0);
    CapturePose expected = mapPose(mapping, sourcePoseForFrame(source(), 50, last));
    for (Vec3& v : expected.translations) v = v * kCmuUnitCm;
    const std::vector<Vec3> expectedAt = captureJointPositions(rest, expected);
    for (int j = 0; j < kCaptureJoints; ++j) {
        const Vec3 at = worldPosition(kSkeleton + std::string(captureJointName(j)));
        EXPECT_LT(length(at - expectedAt[j]), 0.01) << captureJointName(j);
    }

    // A new scene closes the panels; the shelf stays.
    mayahost::newScene();
    mayahost::processIdleEvents();
    EXPECT_TRUE(mayahost::windows().empty());
    EXPECT_TRUE(mayahost::control("Zemori").exists);
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
}

}  // namespace
}  // namespace ztools
