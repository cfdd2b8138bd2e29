// End to end in the viewport: each device node's line in the heads-up
// display, from not live to its stream's rate, REC with the take's name while
// a take records and not after, turned off and on from a panel, and gone
// after cleanUpUI.
#include "tools/lib/recorderOptions.h"

#include "tests/e2e/e2eSupport.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <maya/MAnimControl.h>

#include <gtest/gtest.h>

#include <regex>

namespace ztools {
namespace {

const std::string kPrefix = ZEMORI_E2E_PREFIX;

std::string shown(const std::string& node) {
    return mayahost::headsUpDisplay("zemoriHud_" + node).shown;
}

class HeadsUp : public PluginSession {};

TEST_F(HeadsUp, OneLinePerNodeShowsTheStreamAndTheTakeWhileItRecords) {
    mayahost::reset();
    mayahost::setScriptPath({kPrefix + "/ZemoriMayaPlugin/scripts"});
    ASSERT_TRUE(mayahost::loadPlugin(pluginPath(kPrefix)));
    mayahost::processIdleEvents();
    std::string first;
    std::string second;
    ASSERT_TRUE(mayahost::runMel("zemoriCreateDevice", &first));
    ASSERT_TRUE(mayahost::runMel("zemoriCreateDevice", &second));
    mayahost::processIdleEvents();
    ASSERT_EQ(mayahost::headsUpDisplays().size(), 2u);
    EXPECT_EQ(shown(first), first + ": not live");
    EXPECT_EQ(shown(second), second + ": not live");

    const int port = freePort();
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    SenderOptions send;
    send.port = std::uint16_t(port);
    send.fps = 50;
    send.timecode = parseTimecode("10:00:00:00", TimecodeRate::k30, false);
    TakeSender sender(send, 12.0);
    const std::regex streaming(first + ": live, [1-9][0-9]*\\.[0-9] fps, [0-9]+ lost");
    ASSERT_TRUE(idleUntil([&] { return std::regex_match(shown(first), streaming); }))
        << shown(first);

    // A take records while the scene plays; the line says so until it ends.
    ASSERT_TRUE(mayahost::setCheckBox("zemoriRecording0", true));
    bool recordingShown = false;
    mayahost::RealTimePlayback playback;
    playback.seconds = 1.5;
    playback.afterFrame = [&](const MTime&) {
        recordingShown =
            recordingShown || shown(first).rfind(first + ": REC Take 1  live, ", 0) == 0;
        EXPECT_EQ(shown(second), second + ": not live");
    };
    ASSERT_GT(mayahost::playRealTime(playback).framesShown, 0);
    EXPECT_TRUE(recordingShown) << shown(first);
    mayahost::processIdleEvents();
    EXPECT_TRUE(std::regex_match(shown(first), streaming)) << shown(first);

    // Off from one panel: every display goes, and the other panel's box follows.
    ASSERT_TRUE(mayahost::setCheckBox("zemoriHeadsUp1", false));
    EXPECT_TRUE(mayahost::headsUpDisplays().empty());
    EXPECT_EQ(mayahost::control("zemoriHeadsUp0").value, 0);
    ASSERT_TRUE(mayahost::setCheckBox("zemoriHeadsUp0", true));
    EXPECT_EQ(mayahost::headsUpDisplays().size(), 2u);

    // A node that goes takes its display with it.
    ASSERT_TRUE(mayahost::runMel("delete " + second));
    mayahost::processIdleEvents();
    EXPECT_EQ(mayahost::headsUpDisplays(), std::vector<std::string>{"zemoriHud_" + first});

    // The stage's record button: its take's name and the timecode show while
    // it records, and go with its stop.
    ASSERT_TRUE(idleUntil([] { return mayahost::control("zemoriBind0").enabled; }));
    ASSERT_TRUE(mayahost::pressButton("zemoriBind0"));
    const int stagePort = freePort();
    ASSERT_TRUE(
        mayahost::runMel("ZemoriStageTrigger -port " + std::to_string(stagePort) + " -enable 1"));
    std::string error;
    const auto stage = UdpDestination::open("127.0.0.1", std::uint16_t(stagePort), error);
    ASSERT_TRUE(stage) << error;
    const auto press = [&](const std::string& message) {
        ASSERT_TRUE(stage->send(message.data(), int(message.size())));
    };
    press("<CaptureStart><Name VALUE=\"dance\"/><PacketID VALUE=\"7\"/></CaptureStart>");
    const std::regex staged(first + ": REC dance 10:[0-9]{2}:[0-9]{2}:[0-9]{2}  live, .*");
    EXPECT_TRUE(idleUntil([&] { return std::regex_match(shown(first), staged); })) << shown(first);
    press(
        "<CaptureStop RESULT=\"SUCCESS\"><Name VALUE=\"dance\"/><PacketID "
        "VALUE=\"8\"/></CaptureStop>");
    EXPECT_TRUE(idleUntil([&] { return std::regex_match(shown(first), streaming); }))
        << shown(first);

    ASSERT_TRUE(mayahost::runMel("cleanUpUI"));
    EXPECT_TRUE(mayahost::headsUpDisplays().empty());
}

}  // namespace
}  // namespace ztools
