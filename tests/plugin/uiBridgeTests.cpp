#include "plugin/uiBridge.h"

#include "hostTest.h"
#include "tests/support/zemoriPanel.h"
#include "plugin/ipListSource.h"
#include "plugin/messageTable.h"
#include "platform/sockets.h"

#include <maya/MString.h>
#include <mayahost/host.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(UiBridgeCommands, QuoteTheTextAndPutTheDeviceIdAfterABlank) {
    const MString awaiting = lookupMessage(msg::kAwaitingSkelDef);
    EXPECT_EQ(str(displayMessageCommand(awaiting, 0)),
              "displayMessage \"Awaiting Skeleton Definition\" 0");
    EXPECT_EQ(str(displayMessageCommand(awaiting, -1)),
              "displayMessage \"Awaiting Skeleton Definition\" -1");
    EXPECT_EQ(str(displayAvailableIPsCommand("Your local IPs:", 12)),
              "displayAvailableIPs \"Your local IPs:\" 12");
    EXPECT_EQ(str(errorCommand(lookupMessage(msg::kOsvImportError))),
              "error \"Failed to import Ostrevo library. Plug-in will not be functional.\"");
}

TEST(UiBridgeCommands, WriteDeviceIdsAndFlagsAsPlainDigits) {
    EXPECT_EQ(str(enableBindButtonCommand(-1, true)), "enableBindButton -1 1");
    EXPECT_EQ(str(enableBindButtonCommand(0, false)), "enableBindButton 0 0");
    EXPECT_EQ(str(updateLiveCheckboxCommand(2, false)), "updateLiveCheckbox 2 0");
    EXPECT_EQ(str(updateLiveCheckboxCommand(INT_MAX, true)), "updateLiveCheckbox 2147483647 1");
    EXPECT_EQ(str(updateLiveCheckboxCommand(INT_MIN, true)), "updateLiveCheckbox -2147483648 1");
}

TEST(UiBridgeCommands, StreamSummaryRoundsToFixedDecimalsAndHoldsLostToAMelInt) {
    StreamSnapshot figures;
    figures.arrivalRateHz = 99.96;  // carries into the whole part
    figures.jitterMs = 0.07;        // keeps its leading zero
    figures.framesLost = std::int64_t{1} << 40;
    EXPECT_EQ(str(streamSummaryCommand(-1, figures)),
              "displayStreamSummary -1 \"100.0\" 2147483647 \"0.07\"");
    figures.arrivalRateHz = std::nan("");
    figures.jitterMs = 1e300;
    EXPECT_EQ(str(streamSummaryCommand(0, figures)),
              "displayStreamSummary 0 \"0.0\" 2147483647 \"10000000000000.00\"");
}

TEST(UiBridgeCommands, EscapeTextsForTheMelStringLiteral) {
    EXPECT_EQ(str(displayMessageCommand("say \"hi\" to C:\\x", 3)),
              "displayMessage \"say \\\"hi\\\" to C:\\\\x\" 3");
    EXPECT_EQ(str(errorCommand("\"; quit -f; \"")), "error \"\\\"; quit -f; \\\"\"");
    EXPECT_EQ(str(errorCommand("two\nlines\r")), "error \"two\\nlines\\r\"");
    // Escaped on characters: 表, ソ and 能 end in the byte 0x5C in Shift-JIS
    // and stay single characters; a character beyond 16 bits (two wide
    // units on Windows) passes whole.
    const MString kanji(L"\u8868\u30BD\u80FD \"C:\\x\" \U0001F600");
    const MString command = displayMessageCommand(kanji, 3);
    EXPECT_EQ(std::wstring(command.asWChar()),
              L"displayMessage \"\u8868\u30BD\u80FD \\\"C:\\\\x\\\" \U0001F600\" 3");
    // Tabs are fine inside a literal and stay as they are.
    EXPECT_EQ(str(displayAvailableIPsCommand("a\t\t\tb", 1)), "displayAvailableIPs \"a\t\t\tb\" 1");
    // Every default text of the table passes unchanged.
    for (const MessageKey& row : kMessageTable) {
        if (std::string(row.defaultText).find('\n') != std::string::npos) continue;
        EXPECT_EQ(str(errorCommand(row.defaultText)),
                  "error \"" + std::string(row.defaultText) + "\"");
    }
}

// Fixed answers for the IP listing.
struct FakeNetwork {
    static inline bool hostNameFails = false;
    static inline std::vector<std::string> addresses;
    static inline std::string lookedUp;

    static int hostName(char* buffer, std::size_t capacity) {
        if (hostNameFails) return -1;
        const std::string name = "capture-ws";
        EXPECT_GE(capacity, 256u);
        name.copy(buffer, name.size());
        buffer[name.size()] = '\0';
        return 0;
    }
    static std::vector<std::string> hostAddresses(const char* name) {
        lookedUp = name;
        return addresses;
    }
    static unsigned lastError() { return 10093; }
};

class UiBridge : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        saved = ipListSource();
        ipListSource() = IpListSource{&FakeNetwork::hostName, &FakeNetwork::hostAddresses,
                                      &FakeNetwork::lastError};
        FakeNetwork::hostNameFails = false;
        FakeNetwork::addresses.clear();
        FakeNetwork::lookedUp.clear();
    }
    void TearDown() override {
        ipListSource() = saved;
        HostTest::TearDown();
    }
    IpListSource saved{};
};

TEST_F(UiBridge, IpListHasTheHeadingThenEachAddressAfterThreeTabs) {
    FakeNetwork::addresses = {"192.168.1.20", "10.0.0.5"};
    EXPECT_EQ(str(availableIPList()), "Your local IPs:\t\t\t192.168.1.20\t\t\t10.0.0.5");
    EXPECT_EQ(FakeNetwork::lookedUp, "capture-ws");

    FakeNetwork::addresses.clear();
    EXPECT_EQ(str(availableIPList()), "Your local IPs:") << "an empty lookup leaves the heading";
}

TEST_F(UiBridge, HostNameFailureReplacesTheListAndPrintsTheCode) {
    FakeNetwork::hostNameFails = true;
    FakeNetwork::addresses = {"192.168.1.20"};
    testing::internal::CaptureStdout();
    const std::string list = str(availableIPList());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "socket function failed with error : 10093\n");
    EXPECT_EQ(list, "An error occurred while trying to find your IP address");
    EXPECT_TRUE(FakeNetwork::lookedUp.empty()) << "no resolution after a failed host name";
}

// The list is wanted while no socket is open; the lookup must not depend on
// another node holding the socket library started.
TEST_F(UiBridge, IpListReadsTheHostNameWithNoSocketOpen) {
    ipListSource() = defaultIpListSource();
    const int startsBefore = platform::socketStartupCount();
    testing::internal::CaptureStdout();
    const std::string list = str(availableIPList());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(list.rfind("Your local IPs:", 0), 0u) << list;
    EXPECT_EQ(list.find("127."), std::string::npos) << list;
    EXPECT_EQ(platform::socketStartupCount(), startsBefore) << "its own start is balanced";
}

TEST_F(UiBridge, PostAvailableIPsQueuesTheListForTheNodesPanel) {
    FakeNetwork::addresses = {"192.168.1.20", "10.0.0.5"};
    ZemoriDeviceNode& node = createDeviceNode(4);
    mayahost::processIdleEvents();
    const std::size_t before = mayahost::commandLog().size();

    postAvailableIPs(node);
    EXPECT_EQ(mayahost::commandLog().size(), before) << "queued, not run at once";
    mayahost::processIdleEvents();
    const std::vector<std::string> log = mayahost::commandLog();
    ASSERT_GT(log.size(), before);
    EXPECT_EQ(log[before],
              "displayAvailableIPs \"Your local IPs:\t\t\t192.168.1.20\t\t\t10.0.0.5\" 4");
    EXPECT_EQ(zemoritest::panelState(4).ipList, "Your local IPs:\t\t\t192.168.1.20\t\t\t10.0.0.5");
}

TEST_F(UiBridge, QueuedCommandsRunOnlyAtIdleInTheOrderQueued) {
    ZemoriDeviceNode& node = createDeviceNode(0);
    mayahost::processIdleEvents();
    const std::size_t before = mayahost::commandLog().size();

    postDisplayMessage(node, lookupMessage(msg::kAwaitingSkelDef));
    postEnableBindButton(node, true);
    postError("boom");
    EXPECT_EQ(mayahost::commandLog().size(), before);
    EXPECT_EQ(zemoritest::panelState(0).statusUpdates, 0);
    EXPECT_FALSE(zemoritest::panelState(0).bindButtonEnabled);

    mayahost::processIdleEvents();
    const std::vector<std::string> log = mayahost::commandLog();
    ASSERT_EQ(log.size(), before + 3);
    EXPECT_EQ(log[before], "displayMessage \"Awaiting Skeleton Definition\" 0");
    EXPECT_EQ(log[before + 1], "enableBindButton 0 1");
    EXPECT_EQ(log[before + 2], "error \"boom\"");
    EXPECT_EQ(zemoritest::panelState(0).status, "Awaiting Skeleton Definition");
    EXPECT_TRUE(zemoritest::panelState(0).bindButtonEnabled);
    ASSERT_FALSE(mayahost::errorLines().empty());
    EXPECT_NE(mayahost::errorLines().back().find("boom"), std::string::npos);
}

TEST_F(UiBridge, EscapedTextsReachTheScriptsUnchanged) {
    ZemoriDeviceNode& node = createDeviceNode(5);
    const std::string tricky = "quote \" and backslash \\ end";
    postDisplayMessage(node, tricky.c_str());
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(5).status, tricky);
    const MString kanji(L"\u8868\\\u30BD\"");
    postDisplayMessage(node, kanji);
    mayahost::processIdleEvents();
    EXPECT_EQ(zemoritest::panelState(5).status, str(kanji));
}

TEST_F(UiBridge, DeviceIdIsReadAfreshForEveryCommand) {
    MObject object;
    ZemoriDeviceNode& node = createDeviceNode(1, &object);
    postEnableBindButton(node, false);
    ASSERT_TRUE(mayahost::setInt(object, "deviceId", -1));
    postEnableBindButton(node, true);
    mayahost::processIdleEvents();
    const std::vector<std::string> log = mayahost::commandLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "enableBindButton 1 0");
    EXPECT_EQ(log[log.size() - 1], "enableBindButton -1 1");
}

TEST_F(UiBridge, ReceivingThreadQueuesForTheMainThread) {
    ZemoriDeviceNode& node = createDeviceNode(6);
    mayahost::processIdleEvents();
    const std::size_t before = mayahost::commandLog().size();
    const MString received = lookupMessage(msg::kSkelDefReceived);  // looked up here
    std::thread receiving([&node, &received] {
        postEnableBindButton(node, true);
        postDisplayMessage(node, received);
    });
    receiving.join();
    EXPECT_EQ(mayahost::commandLog().size(), before) << "nothing runs on the calling thread";
    mayahost::processIdleEvents();
    EXPECT_TRUE(zemoritest::panelState(6).bindButtonEnabled);
    EXPECT_EQ(zemoritest::panelState(6).status, "Data received. Press Bind to Character button");
}

TEST_F(UiBridge, SetLiveCheckboxSetsLiveThenRunsTheCommandAtOnce) {
    MObject object;
    ZemoriDeviceNode& node = createDeviceNode(2, &object);
    ASSERT_TRUE(mayahost::setBool(object, "live", true));
    mayahost::processIdleEvents();
    const std::size_t before = mayahost::commandLog().size();
    const std::size_t queued = mayahost::idleQueueLength();

    setLiveCheckbox(node, false);
    EXPECT_FALSE(mayahost::getBool(object, "live"));
    const std::vector<std::string> log = mayahost::commandLog();
    ASSERT_EQ(log.size(), before + 1) << "run without idle processing";
    EXPECT_EQ(log.back(), "updateLiveCheckbox 2 0");
    EXPECT_EQ(mayahost::idleQueueLength(), queued);
    EXPECT_FALSE(zemoritest::panelState(2).liveChecked);
}

TEST_F(UiBridge, PortInUseOrderShowsTheCheckboxFirst) {
    MObject object;
    ZemoriDeviceNode& node = createDeviceNode(3, &object);
    mayahost::processIdleEvents();
    const std::size_t before = mayahost::commandLog().size();
    const MString portInUse = lookupMessage(msg::kPortInUseError);

    postError(portInUse);
    postDisplayMessage(node, portInUse);
    setLiveCheckbox(node, false);
    mayahost::processIdleEvents();

    const std::vector<std::string> log = mayahost::commandLog();
    const std::string text =
        "Port in Use. Socket Initialization failed. Try using a different port.";
    ASSERT_EQ(log.size(), before + 3);
    EXPECT_EQ(log[before], "updateLiveCheckbox 3 0");
    EXPECT_EQ(log[before + 1], "error \"" + text + "\"");
    EXPECT_EQ(log[before + 2], "displayMessage \"" + text + "\" 3");
}

}  // namespace
