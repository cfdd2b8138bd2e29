// A user's afternoon through the panel and MEL only: a sender that pauses,
// resumes, restarts its clock, sends one late, one lying and one NaN frame;
// record, untick, stop, record again, Keep last, review, back to live,
// delete a take, delete the device and undo with a second device on its
// port, save as Maya ASCII and open again. Every take must be there, none
// merged, each within 0.01 cm of what was sent while it recorded, and no
// node that is not a take's touched.
#include "tests/e2e/sessionSupport.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <maya/MAnimControl.h>

#include <gtest/gtest.h>

namespace ztools {
namespace {

class Session : public PluginSession {};

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
