// End to end on a studio network, on this machine only: two capture
// applications on one port, one stream to a multicast group received by two
// nodes in one session and two recorder processes, and one sender fanning
// out to two. Unicast goes to 127.0.0.1; multicast leaves through 127.0.0.1
// with a TTL of 0.
#include "tools/lib/captureSender.h"
#include "tools/lib/takeComparison.h"
#include "tools/recorder/headlessRecorder.h"

#include "tests/e2e/e2eSupport.h"
#include "tests/support/loopbackAddresses.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace ztools {
namespace {

const char* const kGroup = "239.255.77.78";

std::string testFolder() {
    const std::string folder = ::testing::TempDir() + "e2e-net-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(folder);
    return folder;
}

// Runs a tool with its output in `log`; its exit status.
int runTool(const std::string& program, const std::string& arguments, const std::string& log) {
    std::string command = "\"" + program + "\" " + arguments + " > \"" + log + "\" 2>&1";
#if defined(_WIN32)
    // cmd /c drops the line's first and last quote: one more pair keeps ours.
    command = "\"" + command + "\"";
#endif
    return std::system(command.c_str());
}

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The number after `label` in a recorder's report; -1 when absent.
double reported(const std::string& report, const std::string& label) {
    const std::size_t at = report.find(label);
    return at == std::string::npos ? -1.0 : std::atof(report.c_str() + at + label.size());
}

// A recorder process's take matched the source within 0.01 cm and degree.
void expectRecorderMatched(const std::string& log, int status) {
    const std::string report = fileText(log);
    ASSERT_EQ(status, 0) << report;
    EXPECT_GT(reported(report, "compared with "), -1.0) << report;
    const double root = reported(report, "largest root position difference: ");
    const double rotation = reported(report, "largest joint rotation difference: ");
    const double position = reported(report, "(hips, knees, ankles, head, wrists): ");
    EXPECT_GE(root, 0.0) << report;
    EXPECT_LT(root, 0.01) << report;
    EXPECT_GE(rotation, 0.0) << report;
    EXPECT_LT(rotation, 0.01) << report;
    EXPECT_GE(position, 0.0) << report;
    EXPECT_LT(position, 0.01) << report;
}

void expectMatches(const RecordedTake& take) {
    TakeComparison c;
    std::string error;
    ASSERT_TRUE(compareTake(source(), kCmuUnitCm, take, {}, c, error)) << error;
    EXPECT_GT(c.framesCompared, 20);
    EXPECT_LT(c.maxRootCm, 0.01);
    EXPECT_LT(c.maxPositionCm, 0.01);
    EXPECT_LT(c.maxRotationDeg, 0.01);
}

int statusLinesContaining(const std::string& text) {
    int count = 0;
    for (const std::string& command : mayahost::commandLog()) {
        if (command.rfind("displayMessage ", 0) == 0 && command.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

// Two capture applications on one port: the take is the first one's, the
// second is ignored and the status line says so once.
TEST(StudioNetwork, TwoSendersOnOnePortGiveTheFirstOnesTake) {
    RecorderOptions options;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = freePort();
    options.progress = false;
    HeadlessRecorder recorder(options);
    std::string error;
    ASSERT_TRUE(recorder.start(error)) << error;

    SenderOptions first;
    first.port = std::uint16_t(options.port);
    first.senderId = 0x1111;
    TakeSender firstSender(first, 4.0);
    std::atomic<bool> stop{false};
    ASSERT_TRUE(recorder.waitForSkeleton(stop, error)) << error;
    // The second performer, 40 cm to the side, while the first one records.
    SenderOptions second = first;
    second.senderId = 0x2222;
    TakeSender secondSender(second, 1.5, 0.0, [](CaptureTake& take) {
        for (CapturePose& pose : take.frames) pose.translations[0].x += 40.0;
    });
    RecordedTake take;
    const bool ok = recorder.characterize(stop, error) && recorder.record(stop, nullptr, error) &&
                    recorder.finish(take, error);
    firstSender.join();
    secondSender.join();
    ASSERT_TRUE(ok) << error;
    expectMatches(take);
    EXPECT_EQ(statusLinesContaining("Another sender (127.0.0.1, id 2222) is sending to port " +
                                    std::to_string(options.port)),
              1);
}

// One stream to a group: two device nodes in this process, each bound to
// its own character, and two recorder processes, all joined on the loopback
// interface on one port; each of the four takes is the source's.
TEST(StudioNetwork, OneMulticastStreamReachesEveryRecorder) {
    const std::string folder = testFolder();
    const int port = freePort();
    const std::string common = "--module \"" + std::string(ZEMORI_E2E_PREFIX) + "\" --port " +
                               std::to_string(port) + " --multicast " + kGroup +
                               " --listen 127.0.0.1 --quiet --compare \"" ZEMORI_DATA_DIR
                               "/131_01.bvh\"";
    int status[2] = {-1, -1};
    std::thread recorders[2];
    for (int k = 0; k < 2; ++k) {
        recorders[k] = std::thread([&, k] {
            const std::string base = folder + "/r" + std::to_string(k);
            status[k] = runTool(ZEMORI_RECORD_PATH,
                                common + " --ma \"" + base + ".ma\" --bvh \"" + base + ".bvh\"",
                                base + ".log");
        });
    }
    RecorderOptions options;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = port;
    options.progress = false;
    options.multicastGroup = kGroup;
    options.listenAddress = "127.0.0.1";
    options.deviceNodes = 2;
    HeadlessRecorder recorder(options);
    std::string error;
    ASSERT_TRUE(recorder.start(error)) << error;
    // TTL 0 out of 127.0.0.1: the datagrams never leave this machine.
    int sendStatus = -1;
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        sendStatus = runTool(ZEMORI_SEND_PATH,
                             "\"" ZEMORI_DATA_DIR "/131_01.bvh\" --duration 5 --quiet --port " +
                                 std::to_string(port) + " --multicast " + kGroup +
                                 " --ttl 0 --interface 127.0.0.1",
                             folder + "/send.log");
    });
    std::atomic<bool> stop{false};
    RecordedTake take;
    const bool ok = recorder.waitForSkeleton(stop, error) && recorder.characterize(stop, error) &&
                    recorder.record(stop, nullptr, error) && recorder.finish(take, error);
    sender.join();
    for (std::thread& t : recorders) t.join();
    EXPECT_EQ(sendStatus, 0) << fileText(folder + "/send.log");
    ASSERT_TRUE(ok) << error;
    expectMatches(take);
    ASSERT_EQ(recorder.otherTakes().size(), 1u);
    const RecordedTake& second = recorder.otherTakes()[0];
    EXPECT_EQ(second.skeletonName, "zemoriCharacter1_Skeleton");
    expectMatches(second);
    for (int k = 0; k < 2; ++k) {
        expectRecorderMatched(folder + "/r" + std::to_string(k) + ".log", status[k]);
    }
}

// One sender, two destinations: the same port on two addresses of this
// machine, a recorder listening on each; both takes are the source's.
TEST(StudioNetwork, FanOutFeedsTwoRecorders) {
    const std::string notApart = zemoritest::loopbackAddressesNotToldApart();
    if (!notApart.empty()) GTEST_SKIP() << notApart;
    const std::string folder = testFolder();
    const int port = freePort();
    const char* const addresses[2] = {"127.0.0.1", "127.0.0.2"};
    int status[2] = {-1, -1};
    std::thread recorders[2];
    for (int k = 0; k < 2; ++k) {
        recorders[k] = std::thread([&, k] {
            const std::string base = folder + "/r" + std::to_string(k);
            status[k] = runTool(ZEMORI_RECORD_PATH,
                                "--module \"" + std::string(ZEMORI_E2E_PREFIX) + "\" --port " +
                                    std::to_string(port) + " --listen " + addresses[k] +
                                    " --allow 127.0.0.0/8 --quiet --compare \"" ZEMORI_DATA_DIR
                                    "/131_01.bvh\" --ma \"" +
                                    base + ".ma\" --bvh \"" + base + ".bvh\"",
                                base + ".log");
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const int sendStatus =
        runTool(ZEMORI_SEND_PATH,
                "\"" ZEMORI_DATA_DIR "/131_01.bvh\" --duration 5 --quiet --port " +
                    std::to_string(port) + " --host 127.0.0.1,127.0.0.2",
                folder + "/send.log");
    for (std::thread& t : recorders) t.join();
    EXPECT_EQ(sendStatus, 0) << fileText(folder + "/send.log");
    for (int k = 0; k < 2; ++k) {
        expectRecorderMatched(folder + "/r" + std::to_string(k) + ".log", status[k]);
    }
}

}  // namespace
}  // namespace ztools
