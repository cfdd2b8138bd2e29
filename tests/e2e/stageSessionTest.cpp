// The stage's record button end to end, as a capture application sends it
// to the plug-in's listener while the stream goes on: with and without the
// trailing NUL and the XML declaration, "Database Path" with a blank, Delay
// 33, every message twice, one malformed, one stop with another RESULT. One
// take per start and stop, named, each within 0.01 cm of the frames sent
// between the Delay-adjusted start and the stop.
#include "tests/e2e/sessionSupport.h"

#include <mayahost/host.h>
#include <mayahost/ui.h>

#include <maya/MAnimControl.h>

#include <gtest/gtest.h>

namespace ztools {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>";
const double kFrame = 1.0 / 30.0;
const double kDelay = 0.033;

class StageSession : public PluginSession {};

TEST_F(StageSession, EachStartAndStopIsOneNamedTakeOfWhatWasSentBetweenThem) {
    mayahost::reset();
    mayahost::setScriptPath({kPrefix + "/ZemoriMayaPlugin/scripts"});
    ASSERT_TRUE(mayahost::loadPlugin(pluginPath(kPrefix)));
    mayahost::processIdleEvents();
    mel("currentUnit -time ntsc");
    ASSERT_TRUE(mayahost::pressButton(mayahost::control("Zemori").children.at(0)));
    mayahost::processIdleEvents();
    const int port = freePort();
    ASSERT_TRUE(mayahost::typeInt("zemoriPort0", port));
    ASSERT_TRUE(mayahost::setCheckBox("zemoriLive0", true));
    ScriptedSender sender(port);
    ASSERT_TRUE(idleUntil([] { return mayahost::control("zemoriBind0").enabled; }));
    ASSERT_TRUE(mayahost::pressButton("zemoriBind0"));
    const std::string device = mel("stringArrayToString(`ls -type ZemoriDeviceNode`, \"\")");

    const int stagePort = freePort();
    mel("ZemoriStageTrigger -port " + std::to_string(stagePort) + " -enable 1");
    std::string error;
    const auto stage = UdpDestination::open("127.0.0.1", std::uint16_t(stagePort), error);
    ASSERT_TRUE(stage) << error;
    // Sends the message twice, as over two network paths; returns the stamps
    // of the newest frame sent before and after.
    const auto press = [&](const std::string& message) {
        const double before = sender.sent().back().stamp;
        for (int copy = 0; copy < 2; ++copy) {
            EXPECT_TRUE(stage->send(message.data(), int(message.size())));
        }
        return std::make_pair(before, sender.sent().back().stamp);
    };
    const auto recording = [&] { return mel("getAttr " + device + ".recording") == "1"; };

    struct Take {
        std::string name, result, databasePath;
        std::string start, stop;
    };
    const Take takes[] = {
        {"dance", "SUCCESS", "D:/Captures/Take",
         kDeclaration +
             "<CaptureStart><Name VALUE=\"dance\"/><Notes VALUE=\"...\"/>"
             "<Description VALUE=\"...\"/><DatabasePath VALUE=\"D:/Captures/Take\"/>"
             "<Delay VALUE=\"33\"/><PacketID VALUE=\"33360\"/></CaptureStart>" +
             std::string(1, '\0'),
         kDeclaration + "<CaptureStop RESULT=\"SUCCESS\"><Name VALUE=\"dance\"/>"
                        "<DatabasePath VALUE=\"D:/Captures/Take\"/><Delay VALUE=\"33\"/>"
                        "<PacketID VALUE=\"33361\"/></CaptureStop>"},
        {"jump", "CANCELLED", "D:/Captures/Jump",
         "<CaptureStart><Name VALUE=\"jump\"/><Database Path VALUE=\"D:/Captures/Jump\"/>"
         "<Delay VALUE=\"33\"/><PacketID VALUE=\"33362\"/></CaptureStart>",
         "<CaptureStop RESULT=\"CANCELLED\"><Name VALUE=\"jump\"/>"
         "<Database Path VALUE=\"D:/Captures/Jump\"/><Delay VALUE=\"33\"/>"
         "<PacketID VALUE=\"33363\"/></CaptureStop>" +
             std::string(1, '\0')},
    };
    int number = 0;
    for (const Take& take : takes) {
        SCOPED_TRACE(take.name);
        ++number;
        const auto started = press(take.start);
        ASSERT_TRUE(idleUntil(recording));
        // A malformed message mid-take is refused and changes nothing.
        if (number == 1) press("<CaptureStop><Name VALUE=\"dance\"></CaptureStop>");
        idleFor(1.5);
        const auto stopped = press(take.stop);
        const std::string node = kSkeleton + "take" + std::to_string(number);
        ASSERT_TRUE(idleUntil([&] { return !mayahost::findNode(node).isNull(); }));
        EXPECT_FALSE(recording());

        const auto [first, last] = expectTakeMatchesSent(readTake(number), sender, node.c_str());
        // The first frame is the first stamped a Delay after the one the
        // start came with; the last, the one the stop came with. A frame's
        // leeway each way: the two sockets' order on the way in, and a frame
        // sent but not yet in the sender's log.
        EXPECT_GE(first, started.first + kDelay - kFrame - 1e-6);
        EXPECT_LE(first, started.second + kDelay + 2 * kFrame + 1e-6);
        EXPECT_GE(last, stopped.first - kFrame - 1e-6);
        EXPECT_LE(last, stopped.second + kDelay + 2 * kFrame + 1e-6);
        EXPECT_EQ(mel("getAttr " + node + ".takeName"), take.name);
        EXPECT_EQ(mel("getAttr " + node + ".result"), take.result);
        EXPECT_EQ(mel("getAttr " + node + ".databasePath"), take.databasePath);
    }
    EXPECT_EQ(mel("size(`ls -type ZemoriTake`)"), "2");
    const std::string counts = mel("ZemoriStageTrigger -query");
    EXPECT_NE(counts.find("received=10 refused=2 duplicates=4"), std::string::npos) << counts;
}

}  // namespace
}  // namespace ztools
