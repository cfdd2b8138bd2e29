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
#include <cstdio>
#include <cmath>
#include <chrono>
#include <functional>

namespace ztools {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kPrefix = ZEMORI_E2E_PREFIX;
const char* const kSkeleton = "zemoriCharacter0_Skeleton_";

Vec3 worldPosition(const std::string& joint) {
    double p[3] = {0, 0, 0};
    EXPECT_TRUE(mayahost::worldPosition(joint, p)) << joint;
    return Vec3{p[0], p[1], p[2]};
}

// The value a take's curve holds at a whole scene frame.
double keyAt(const std::string& curve, double frame) {
    bool exists = false;
    const mayahost::CurveInfo info = mayahost::animCurve(curve, &exists);
    EXPECT_TRUE(exists) << curve;
    for (const mayahost::CurveKey& key : info.keys) {
        if (std::abs(key.time.as(MTime::uiUnit()) - frame) < 1e-6) return key.value;
    }
    ADD_FAILURE() << curve << " has no key at " << frame;
    return 0.0;
}

// World positions of the joints posed by a take's keys at a frame, by
// forward kinematics (rotate order xyz, no joint orient, angles in radians).
std::vector<Vec3> takePositions(const std::string& suffix, double frame) {
    const std::vector<int> parents = captureParents();
    std::vector<Vec3> at(kCaptureJoints);
    std::vector<Quat> turn(kCaptureJoints);
    const double degrees = 180.0 / 3.141592653589793;
    for (int j = 0; j < kCaptureJoints; ++j) {
        const std::string curve = kSkeleton + std::string(captureJointName(j)) + "_";
        const Vec3 t{keyAt(curve + "tx" + suffix, frame), keyAt(curve + "ty" + suffix, frame),
                     keyAt(curve + "tz" + suffix, frame)};
        const Quat r = fromEulerXYZDegrees(Vec3{keyAt(curve + "rx" + suffix, frame) * degrees,
                                                keyAt(curve + "ry" + suffix, frame) * degrees,
                                                keyAt(curve + "rz" + suffix, frame) * degrees});
        const int p = parents[j];
        at[j] = p < 0 ? t : at[p] + rotate(turn[p], t);
        turn[j] = p < 0 ? r : turn[p] * r;
    }
    return at;
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
    EXPECT_EQ("displayAvailableIPs \"" + shown + "\" 0", *posted);
    EXPECT_EQ(mayahost::control("zemoriIpHeading0").label, "Your local IPs:");
    EXPECT_FALSE(mayahost::control("zemoriBind0").enabled);

    // A port of our own, typed into the panel; then Live, while the take streams.
    const int port = freePort();
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    SenderOptions send;
    send.port = std::uint16_t(port);
    send.fps = 50;
    TakeSender sender(send, 8.0);
    ASSERT_TRUE(idleUntil([] {
        return mayahost::control("zemoriStatus0").label ==
                   "Data received. Press Bind to Character button" &&
               mayahost::control("zemoriBind0").enabled;
    })) << mayahost::control("zemoriStatus0").label;
    EXPECT_FALSE(mayahost::control("zemoriReview0").enabled) << "nothing recorded";
    EXPECT_FALSE(mayahost::control("zemoriBackToLive0").enabled);
    EXPECT_FALSE(mayahost::control("zemoriDeleteTake0").enabled);

    // Bind: 27 joints named after the skeleton, driven by the node, defined
    // as a HumanIK character locked at stance.
    ASSERT_TRUE(mayahost::pressButton("zemoriBind0"))
        << ::testing::PrintToString(mayahost::errorLines());
    std::string joints;
    ASSERT_TRUE(mayahost::runMel("stringArrayToString(`ls -type joint`, \" \")", &joints));
    for (int j = 0; j < kCaptureJoints; ++j) {
        EXPECT_NE(joints.find(kSkeleton + std::string(captureJointName(j))), std::string::npos)
            << captureJointName(j);
    }
    EXPECT_EQ(std::count(joints.begin(), joints.end(), ' '), kCaptureJoints - 1);
    EXPECT_EQ(mayahost::control("zemoriStatus0").label,
              "Streaming to skeleton zemoriCharacter0_Skeleton. HumanIK character "
              "zemoriCharacter0_Skeleton");
    ASSERT_EQ(mayahost::hikCharacters().size(), 1u);
    const std::string character = mayahost::hikCharacters()[0];
    const mayahost::HikCharacter hik = mayahost::hikCharacter(character);
    EXPECT_TRUE(hik.locked);
    EXPECT_EQ(hik.mapping.size(), std::size_t(kCaptureJoints));
    const int kSlots[kCaptureJoints] = {1,  8,  23, 24, 25, 26, 27, 28, 20, 32, 15, 18, 9, 10,
                                        11, 19, 12, 13, 14, 2,  3,  4,  16, 5,  6,  7,  17};
    for (int j = 0; j < kCaptureJoints; ++j) {
        std::string mapped;
        ASSERT_TRUE(mayahost::runMel(
            "hikGetSkNode(\"" + character + "\", " + std::to_string(kSlots[j]) + ")", &mapped));
        EXPECT_EQ(mapped, kSkeleton + std::string(captureJointName(j)));
        // Locked at the definition's rest pose, before the stream moved it.
        const mayahost::HikStanceJoint& stance = hik.stance.at(kSlots[j]);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(stance.rotate[k], 0.0, 1e-9) << mapped;
        const Vec3 rest = sender.take().definition[j];
        if (j > 0) {
            EXPECT_NEAR(stance.translate[0], rest.x, 1e-3) << mapped;
            EXPECT_NEAR(stance.translate[1], rest.y, 1e-3) << mapped;
            EXPECT_NEAR(stance.translate[2], rest.z, 1e-3) << mapped;
        }
    }
    std::string problems;
    ASSERT_TRUE(
        mayahost::runMel("string $n[] = `ls -type ZemoriDeviceNode`; "
                         "stringArrayToString(zemoriCheckCharacter($n[0]), \"|\")",
                         &problems));
    EXPECT_EQ(problems, "");

    const std::string root = kSkeleton + std::string("root");
    const Vec3 before = worldPosition(root);
    ASSERT_TRUE(idleUntil([&] { return length(worldPosition(root) - before) > 1.0; }))
        << "the joints follow the stream";

    // Two takes, each recorded while the scene plays in real time; stopping
    // writes the curves.
    double frame = 1.0;
    const auto record = [&](int take) {
        ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
        mayahost::RealTimePlayback playback;
        playback.seconds = 1.25;
        // The joints pull the node's outputs, as the viewport does.
        playback.afterFrame = [&](const MTime&) { worldPosition(root); };
        const mayahost::PlaybackSummary played = mayahost::playRealTime(playback);
        ASSERT_GT(played.framesShown, 0);
        ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", false));
        frame = played.lastTime + 1.0;
        ASSERT_TRUE(idleUntil([&] {
            MAnimControl::setCurrentTime(MTime(frame++, MTime::uiUnit()));
            worldPosition(root);
            return mayahost::animCurves().size() == 162u * take;
        }));
    };
    record(1);
    record(2);
    for (const mayahost::CurveInfo& curve : mayahost::animCurves()) {
        EXPECT_EQ(curve.name.rfind(kSkeleton, 0), 0u) << curve.name;
        EXPECT_GT(curve.keys.size(), 20u) << curve.name;
    }

    // The take list, from the scene's take nodes, newest first: the plug-in
    // has the panel list each take once it is written.
    ASSERT_TRUE(idleUntil([] { return mayahost::control("zemoriTakes0").items.size() == 2u; }));
    const std::vector<std::string> items = mayahost::control("zemoriTakes0").items;
    EXPECT_EQ(items[0].rfind("Take 2: ", 0), 0u) << items[0];
    EXPECT_EQ(items[1].rfind("Take 1: ", 0), 0u) << items[1];
    const MObject take1 = mayahost::findNode("zemoriCharacter0_Skeleton_take1");
    EXPECT_NE(items[1].find(std::to_string(mayahost::getInt(take1, "framesRecorded")) +
                            " frames, 50 fps"),
              std::string::npos)
        << items[1];
    EXPECT_FALSE(mayahost::control("zemoriReview0").enabled) << "nothing selected";

    // Review take 1: its curves pose the skeleton at every frame of it.
    const mayahost::PlaybackRange liveRange = mayahost::playbackRange();
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", items[1]));
    ASSERT_TRUE(mayahost::pressButton("zemoriReview0"))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(mayahost::control("zemoriStatus0").label, "Reviewing take 1");
    EXPECT_TRUE(mayahost::control("zemoriBackToLive0").enabled);
    const double start = mayahost::getDouble(take1, "startTime");
    const double end = mayahost::getDouble(take1, "endTime");
    EXPECT_EQ(mayahost::playbackRange().minTime, start);
    EXPECT_EQ(mayahost::playbackRange().maxTime, end);
    ASSERT_GT(end - start, 20.0);
    for (double f = start; f <= end; f += 1.0) {
        MAnimControl::setCurrentTime(MTime(f, MTime::uiUnit()));
        const std::vector<Vec3> expected = takePositions("_take1", f);
        for (int j = 0; j < kCaptureJoints; ++j) {
            const Vec3 at = worldPosition(kSkeleton + std::string(captureJointName(j)));
            ASSERT_LT(length(at - expected[j]), 0.01) << captureJointName(j) << " at " << f;
        }
    }

    // Back to live: the stream drives the skeleton again, on the range from before.
    ASSERT_TRUE(mayahost::pressButton("zemoriBackToLive0"));
    EXPECT_EQ(mayahost::playbackRange().minTime, liveRange.minTime);
    EXPECT_EQ(mayahost::playbackRange().maxTime, liveRange.maxTime);
    EXPECT_FALSE(mayahost::control("zemoriBackToLive0").enabled);
    // The first stream may be over by now (a sanitizer build reviews
    // slowly): a fresh one shows the skeleton following again.
    sender.join();
    TakeSender again(send, 4.0);
    const Vec3 reviewed = worldPosition(root);
    ASSERT_TRUE(idleUntil([&] {
        MAnimControl::setCurrentTime(MTime(frame++, MTime::uiUnit()));
        return length(worldPosition(root) - reviewed) > 1.0;
    })) << "the joints follow the stream again";

    // Deleting take 2 asks first; Cancel keeps it. Its number is not given
    // again: the plug-in numbers a take one above the highest takeNumber of
    // the skeleton's take nodes.
    std::vector<std::string> asked;
    mayahost::answerConfirmDialogs([&](const std::string& message) {
        asked.push_back(message);
        return std::string(asked.size() == 1 ? "Cancel" : "Delete");
    });
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", items[0]));
    ASSERT_TRUE(mayahost::pressButton("zemoriDeleteTake0"));
    EXPECT_EQ(asked, std::vector<std::string>{"Delete this take's curves and report? Take 2"});
    EXPECT_EQ(mayahost::animCurves().size(), 324u);
    ASSERT_TRUE(mayahost::pressButton("zemoriDeleteTake0"))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(asked.size(), 2u);
    const std::vector<mayahost::CurveInfo> kept = mayahost::animCurves();
    EXPECT_EQ(kept.size(), 162u);
    for (const mayahost::CurveInfo& curve : kept) {
        EXPECT_EQ(curve.name.substr(curve.name.size() - 6), "_take1") << curve.name;
    }
    EXPECT_TRUE(mayahost::findNode("zemoriCharacter0_Skeleton_take2").isNull());
    EXPECT_EQ(mayahost::control("zemoriTakes0").items, std::vector<std::string>{items[1]});
    EXPECT_FALSE(mayahost::control("zemoriDeleteTake0").enabled);
    std::string highest;
    ASSERT_TRUE(mayahost::runMel(
        "int $high = 0; string $t; "
        "for ($t in `ls -type ZemoriTake \"zemoriCharacter0_Skeleton_take*\"`) "
        "if (`getAttr ($t + \".takeNumber\")` > $high) $high = `getAttr ($t + \".takeNumber\")`; "
        "$high",
        &highest));
    EXPECT_EQ(highest, "2");

    // Once the stream has ended and every pose is taken, the joints stand as
    // the source's last frame does, by forward kinematics.
    // Datagrams may still be on their way after the sender is done: wait
    // for a quiet spell with the queue empty.
    ASSERT_TRUE(idleUntil([&] { return again.done(); }, 15.0));
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
    const int last = again.stats().lastFrameNumber % int(again.take().frames.size());
    const std::vector<Vec3> expectedAt =
        captureJointPositions(again.take().definition, again.take().frames[last]);
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

// A take recorded through the panel, the scene saved as Maya ASCII while the
// take is reviewed, and opened again: the take's curves, keys and report
// are all there, and Review and Back to live work on the reopened scene.
TEST_F(UserInterface, ATakeSurvivesSavingAndReopeningTheScene) {
    mayahost::setScriptPath({kPrefix + "/ZemoriMayaPlugin/scripts"});
    ASSERT_TRUE(mayahost::loadPlugin(pluginPath(kPrefix)));
    mayahost::processIdleEvents();
    ASSERT_TRUE(mayahost::pressButton(mayahost::control("Zemori").children[0]));
    const int port = freePort();
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    SenderOptions send;
    send.port = std::uint16_t(port);
    send.fps = 50;
    TakeSender sender(send, 8.0);
    ASSERT_TRUE(idleUntil([] { return mayahost::control("zemoriBind0").enabled; }));
    ASSERT_TRUE(mayahost::pressButton("zemoriBind0"))
        << ::testing::PrintToString(mayahost::errorLines());
    const std::string root = kSkeleton + std::string("root");
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
    mayahost::RealTimePlayback playback;
    playback.seconds = 1.25;
    playback.afterFrame = [&](const MTime&) { worldPosition(root); };
    double frame = mayahost::playRealTime(playback).lastTime + 1.0;
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", false));
    ASSERT_TRUE(idleUntil([&] {
        MAnimControl::setCurrentTime(MTime(frame++, MTime::uiUnit()));
        worldPosition(root);
        return mayahost::control("zemoriTakes0").items.size() == 1u;
    }));
    const std::string item = mayahost::control("zemoriTakes0").items[0];
    const mayahost::PlaybackRange liveRange = mayahost::playbackRange();
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", item));
    ASSERT_TRUE(mayahost::pressButton("zemoriReview0"));

    // Forward slashes: in a MEL string a backslash starts an escape.
    std::string path = ::testing::TempDir() + "zemoriTakes.ma";
    std::replace(path.begin(), path.end(), '\\', '/');
    ASSERT_TRUE(mayahost::runMel("file -rename \"" + path + "\"; file -save -type \"mayaAscii\""))
        << ::testing::PrintToString(mayahost::errorLines());
    const std::vector<mayahost::CurveInfo> curves = mayahost::animCurves();
    ASSERT_EQ(curves.size(), 162u);
    const char* const kReport[] = {
        "takeNumber",   "deviceId",      "framesRecorded", "gapsFilled",  "longestGapFilled",
        "gapsUnfilled", "framesLost",    "captureRate",    "startTime",   "endTime",
        "duration",     "keyEveryFrame", "captureTime",    "captureStamp"};
    const std::string take = "zemoriCharacter0_Skeleton_take1";
    std::vector<double> report;
    for (const char* attribute : kReport) {
        report.push_back(mayahost::getDouble(mayahost::findNode(take), attribute));
    }
    EXPECT_GT(report[2], 20.0) << "framesRecorded";

    // A later session opens the scene: the file's requires line loads the
    // plug-in from the plug-in path; nothing of the first session is left.
    sender.join();
    mayahost::reset();
    mayahost::setScriptPath({kPrefix + "/ZemoriMayaPlugin/scripts"});
    const std::string module = pluginPath(kPrefix);
    mayahost::setPluginPath({module.substr(0, module.find_last_of('/'))});
    ASSERT_FALSE(mayahost::isPluginLoaded(module));
    ASSERT_TRUE(mayahost::runMel("file -force -open \"" + path + "\""))
        << ::testing::PrintToString(mayahost::errorLines());
    mayahost::processIdleEvents();
    const std::vector<mayahost::CurveInfo> reopened = mayahost::animCurves();
    ASSERT_EQ(reopened.size(), curves.size());
    for (std::size_t c = 0; c < curves.size(); ++c) {
        ASSERT_EQ(reopened[c].name, curves[c].name);
        ASSERT_EQ(reopened[c].keys.size(), curves[c].keys.size()) << curves[c].name;
        for (std::size_t k = 0; k < curves[c].keys.size(); ++k) {
            ASSERT_EQ(reopened[c].keys[k].time, curves[c].keys[k].time) << curves[c].name;
            ASSERT_NEAR(reopened[c].keys[k].value, curves[c].keys[k].value, 1e-12)
                << curves[c].name;
        }
    }
    for (std::size_t a = 0; a < report.size(); ++a) {
        EXPECT_EQ(mayahost::getDouble(mayahost::findNode(take), kReport[a]), report[a])
            << kReport[a];
    }

    // The user opens the device's panel again: the take is listed, still
    // reviewed; Back to live returns to the range from before the review.
    std::string device;
    ASSERT_TRUE(mayahost::runMel("string $d[] = `ls -type ZemoriDeviceNode`; $d[0]", &device));
    ASSERT_TRUE(mayahost::runMel("zemoriOpenPanel \"" + device + "\""));
    ASSERT_TRUE(mayahost::runMel("zemoriRefreshTakes \"" + device + "\""));
    EXPECT_EQ(mayahost::control("zemoriTakes0").items, std::vector<std::string>{item});
    EXPECT_TRUE(mayahost::control("zemoriBackToLive0").enabled);
    ASSERT_TRUE(mayahost::pressButton("zemoriBackToLive0"))
        << ::testing::PrintToString(mayahost::errorLines());
    EXPECT_EQ(mayahost::playbackRange().minTime, liveRange.minTime);
    EXPECT_EQ(mayahost::playbackRange().maxTime, liveRange.maxTime);
    EXPECT_EQ(mayahost::playbackRange().animationStart, liveRange.animationStart);
    EXPECT_EQ(mayahost::playbackRange().animationEnd, liveRange.animationEnd);
    EXPECT_FALSE(mayahost::control("zemoriBackToLive0").enabled);

    // Review the reopened take: its curves pose the skeleton again.
    ASSERT_TRUE(mayahost::selectListItem("zemoriTakes0", item));
    ASSERT_TRUE(mayahost::pressButton("zemoriReview0"));
    EXPECT_EQ(mayahost::control("zemoriStatus0").label, "Reviewing take 1");
    const double start = mayahost::getDouble(mayahost::findNode(take), "startTime");
    for (double f = start; f < start + 10.0; f += 1.0) {
        MAnimControl::setCurrentTime(MTime(f, MTime::uiUnit()));
        const std::vector<Vec3> expected = takePositions("", f);
        for (int j = 0; j < kCaptureJoints; ++j) {
            const Vec3 at = worldPosition(kSkeleton + std::string(captureJointName(j)));
            ASSERT_LT(length(at - expected[j]), 0.01) << captureJointName(j) << " at " << f;
        }
    }
    EXPECT_TRUE(mayahost::errorLines().empty()) << ::testing::PrintToString(mayahost::errorLines());
    std::remove(path.c_str());
}

}  // namespace
}  // namespace ztools
