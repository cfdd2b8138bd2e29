// The stage trigger on the embedded host: enabled from MEL, it receives the
// record-button messages on loopback, drops duplicates, counts and warns
// about refused ones, and hands the rest to the main thread through the
// idle queue only; disabled, its port is free again.
#include "hostTest.h"

#include "plugin/stageTriggerCmd.h"
#include "plugin/stageTriggerListener.h"

#include "platform/sockets.h"
#include "tests/support/loopbackAddresses.h"

#include <maya/MGlobal.h>
#define MNoVersionString
#include <maya/MFnPlugin.h>
#include <mayahost/host.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Handed {
    StageMessage message;
    StageArrival arrival;
    bool onMainThread;
};
std::vector<Handed> gHanded;
std::thread::id gMainThread;

void record(const StageMessage& message, const StageArrival& arrival) {
    gHanded.push_back({message, arrival, std::this_thread::get_id() == gMainThread});
}

const std::string kStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><CaptureStart>"
    "<Name VALUE=\"dance\"/><Notes VALUE=\"...\"/><Description VALUE=\"...\"/>"
    "<DatabasePath VALUE=\"D:/Captures/Take\"/><Delay VALUE=\"33\"/>"
    "<PacketID VALUE=\"33360\"/></CaptureStart>";
const std::string kStop =
    "<CaptureStop RESULT=\"ABORTED\"><Name VALUE=\"dance\"/>"
    "<Database Path VALUE=\"D:/Captures/Take\"/><Delay VALUE=\"33\"/>"
    "<PacketID VALUE=\"33361\"/></CaptureStop>";

std::string melResult(const std::string& command) {
    MString result;
    EXPECT_TRUE(MGlobal::executeCommand(command.c_str(), result)) << command;
    return result.asChar();
}

bool portFree(std::uint16_t port) {
    platform::socketStartup();
    const platform::SocketHandle s = platform::openUdpSocket();
    const bool bound = platform::bindAnyAddress(s, port) == 0;
    platform::closeSocket(s);
    platform::socketCleanup();
    return bound;
}

std::uint16_t freePort() {
    platform::socketStartup();
    const platform::SocketHandle s = platform::openUdpSocket();
    platform::bindAnyAddress(s, 0);
    const std::uint16_t port = platform::boundPort(s);
    platform::closeSocket(s);
    platform::socketCleanup();
    return port;
}

class StageTrigger : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        MObject pluginObject = mayahost::createPluginObject("stageTests", ".");
        MFnPlugin plugin(pluginObject, "Corvane Corporation", "1.0.1", "Any");
        ASSERT_TRUE(
            plugin.registerCommand(kStageTriggerCommandName, ZemoriStageTriggerCmd::creator));
        ASSERT_TRUE(
            plugin.registerCommand(kStageDrainCommandName, ZemoriStageTriggerDrainCmd::creator));
        gHanded.clear();
        gMainThread = std::this_thread::get_id();
        setStageMessageHandler(record);
        resetStageTriggerCounts();
    }
    void TearDown() override {
        stopStageTrigger();
        setStageMessageHandler(nullptr);
        HostTest::TearDown();
    }
};

TEST_F(StageTrigger, HandsEachMessageOnceToTheMainThreadAndCountsTheRest) {
    EXPECT_EQ(melResult("ZemoriStageTrigger -query"),
              "enabled=0 port=1512 received=0 refused=0 duplicates=0");
    const std::uint16_t port = freePort();
    ASSERT_TRUE(MGlobal::executeCommand(
        ("ZemoriStageTrigger -port " + std::to_string(port) + " -enable 1").c_str()));
    EXPECT_EQ(melResult("optionVar -q ZemoriStageTriggerEnabled"), "1");
    EXPECT_EQ(melResult("optionVar -q ZemoriStageTriggerPort"), std::to_string(port));
    EXPECT_FALSE(portFree(port));

    // Each message twice as two network paths would bring it, the start
    // with the NUL some senders add; then one that is not XML.
    platform::socketStartup();
    const platform::SocketHandle sender = platform::openUdpSocket();
    const std::string startWithNul = kStart + std::string(1, '\0');
    const auto before = std::chrono::steady_clock::now().time_since_epoch();
    for (const std::string* text : {&startWithNul, &startWithNul, &kStop, &kStop}) {
        ASSERT_GT(
            platform::sendToLoopback(sender, port, text->data(), static_cast<int>(text->size())),
            0);
    }
    const char garbage[] = "<CaptureStart><Name VALUE=\"x\"></Oops>";
    platform::sendToLoopback(sender, port, garbage, sizeof garbage - 1);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (stageTriggerCounts().received < 5 || gHanded.size() < 2 ||
           mayahost::idleQueueLength() > 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "messages did not arrive";
        mayahost::waitForIdleWork(std::chrono::milliseconds(20));
        mayahost::processIdleEvents();
    }
    const auto after = std::chrono::steady_clock::now().time_since_epoch();
    platform::closeSocket(sender);
    platform::socketCleanup();

    ASSERT_EQ(gHanded.size(), 2u);
    EXPECT_EQ(gHanded[0].message.kind, StageMessageKind::kCaptureStart);
    EXPECT_EQ(gHanded[0].message.name, "dance");
    EXPECT_EQ(gHanded[0].message.delayMs, 33);
    EXPECT_EQ(gHanded[1].message.kind, StageMessageKind::kCaptureStop);
    EXPECT_EQ(gHanded[1].message.result, "ABORTED");
    EXPECT_EQ(gHanded[1].message.databasePath, "D:/Captures/Take");
    for (const Handed& handed : gHanded) {
        EXPECT_TRUE(handed.onMainThread);
        EXPECT_EQ(handed.arrival.senderAddress, 0x7F000001u);
        EXPECT_GE(handed.arrival.arrivalNs,
                  std::chrono::duration_cast<std::chrono::nanoseconds>(before).count());
        EXPECT_LE(handed.arrival.arrivalNs,
                  std::chrono::duration_cast<std::chrono::nanoseconds>(after).count());
    }
    EXPECT_EQ(melResult("ZemoriStageTrigger -query"),
              "enabled=1 port=" + std::to_string(port) + " received=5 refused=1 duplicates=2");
    bool warned = false;
    for (const std::string& line : mayahost::infoLines()) {
        warned = warned || (line.rfind("Warning: ZemoriStageTrigger: 1 ", 0) == 0 &&
                            line.find("127.0.0.1:") != std::string::npos);
    }
    EXPECT_TRUE(warned) << ::testing::PrintToString(mayahost::infoLines());
    // Its thread called nothing of the host but executeCommandOnIdle.
    EXPECT_TRUE(mayahost::takeRuleBreaches().empty());

    // Bad ports are refused with a reason and change nothing.
    for (const char* bad : {"0", "65536", "port", "-1"}) {
        EXPECT_FALSE(
            MGlobal::executeCommand((std::string("ZemoriStageTrigger -port ") + bad).c_str()));
        EXPECT_NE(mayahost::errorLines().back().find("from 1 to 65535"), std::string::npos);
    }
    EXPECT_EQ(melResult("ZemoriStageTrigger -query -port"), std::to_string(port));

    // So is a port another socket holds: the listener goes on on its own.
    platform::socketStartup();
    const platform::SocketHandle holder = platform::openUdpSocket();
    ASSERT_EQ(platform::bindAnyAddress(holder, 0), 0);
    const std::string held = std::to_string(platform::boundPort(holder));
    EXPECT_FALSE(MGlobal::executeCommand(("ZemoriStageTrigger -port " + held).c_str()));
    EXPECT_NE(mayahost::errorLines().back().find("cannot listen on UDP port " + held),
              std::string::npos);
    platform::closeSocket(holder);
    platform::socketCleanup();
    EXPECT_TRUE(stageTriggerRunning());
    EXPECT_EQ(stageTriggerPort(), port);
    EXPECT_EQ(melResult("optionVar -q ZemoriStageTriggerPort"), std::to_string(port));

    ASSERT_TRUE(MGlobal::executeCommand("ZemoriStageTrigger -enable 0"));
    EXPECT_EQ(melResult("ZemoriStageTrigger -query -enable"), "0");
    EXPECT_EQ(melResult("optionVar -q ZemoriStageTriggerEnabled"), "0");
    EXPECT_TRUE(portFree(port));

    // The preference brings it back, as a plug-in load does.
    ASSERT_TRUE(MGlobal::executeCommand("optionVar -iv ZemoriStageTriggerEnabled 1"));
    startStageTriggerFromPreferences();
    EXPECT_TRUE(stageTriggerRunning());
    EXPECT_EQ(stageTriggerPort(), port);
}

// The listener hears only where and whom it is told: a list with one bad
// entry, or an address this machine lacks, is refused whole and changes
// nothing; a sender outside the list is refused and counted.
TEST_F(StageTrigger, ListensOnTheAddressAndHearsOnlyTheSendersAllowed) {
    const std::uint16_t port = freePort();
    const std::string start = "ZemoriStageTrigger -port " + std::to_string(port) + " -enable 1";
    ASSERT_TRUE(MGlobal::executeCommand(
        "ZemoriStageTrigger -allow \"127.0.0.2, 10.0.0.0/8\" -listenAddress \"127.0.0.1\""))
        << ::testing::PrintToString(mayahost::errorLines());
    ASSERT_TRUE(MGlobal::executeCommand(start.c_str()));
    // Where the system binds every loopback address as 127.0.0.1 (Wine), it
    // binds an address it lacks as well, and no sender can come from
    // 127.0.0.2: those two cases are Linux's and Windows' only.
    const std::string apart = zemoritest::loopbackAddressesNotToldApart();
    std::vector<std::string> bad = {"-allow \"127.0.0.2 10.0.0.300\"", "-allow \"127.0.0.0/33\"",
                                    "-listenAddress \"127.1\""};
    if (apart.empty()) bad.push_back("-listenAddress \"192.0.2.1\"");
    for (const std::string& flags : bad) {
        EXPECT_FALSE(MGlobal::executeCommand(("ZemoriStageTrigger " + flags).c_str())) << flags;
    }
    if (apart.empty()) {
        EXPECT_NE(mayahost::errorLines().back().find("192.0.2.1"), std::string::npos);
    }
    EXPECT_EQ(melResult("ZemoriStageTrigger -query -allow"), "127.0.0.2, 10.0.0.0/8");
    EXPECT_EQ(melResult("ZemoriStageTrigger -query -listenAddress"), "127.0.0.1");
    EXPECT_TRUE(stageTriggerRunning());

    platform::socketStartup();
    const auto sendFrom = [&](std::uint32_t address) {
        const platform::SocketHandle sender = platform::openUdpSocket();
        EXPECT_EQ(platform::bindAddress(sender, address, 0), 0);
        EXPECT_GT(platform::sendToLoopback(sender, port, kStart.data(), int(kStart.size())), 0);
        platform::closeSocket(sender);
    };
    const auto waitForReceived = [&](std::uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (stageTriggerCounts().received < count || mayahost::idleQueueLength() > 0) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "nothing arrived";
            mayahost::waitForIdleWork(std::chrono::milliseconds(20));
            mayahost::processIdleEvents();
        }
    };
    sendFrom(0x7F000001);
    waitForReceived(1);
    EXPECT_TRUE(gHanded.empty());
    EXPECT_EQ(stageTriggerCounts().refused, 1u);
    if (apart.empty()) {
        sendFrom(0x7F000002);
        waitForReceived(2);
        ASSERT_EQ(gHanded.size(), 1u);
        EXPECT_EQ(gHanded[0].arrival.senderAddress, 0x7F000002u);
    }
    platform::socketCleanup();

    // Emptied, the list accepts anyone again; the listener restarts on it.
    ASSERT_TRUE(MGlobal::executeCommand("ZemoriStageTrigger -allow \"\" -listenAddress \"\""));
    EXPECT_TRUE(stageTriggerRunning());
    EXPECT_EQ(stageTriggerPort(), port);
}

}  // namespace
