// End to end: zemori-send with the stage's record button (CaptureStart
// with a Delay before its first frame, CaptureStop after its last, each
// twice) into zemori-record following the stage, all on 127.0.0.1. Two
// takes of the same name: two sets of files, none overwritten, each take
// what was sent.
#include "intake/timecode.h"
#include "tools/lib/captureSender.h"
#include "tools/recorder/stageRecorder.h"

#include "tests/e2e/e2eSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace ztools {
namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string jsonText(const std::string& json, const std::string& key) {
    const std::regex pattern("\"" + key + "\": \"([^\"]*)\"");
    std::smatch match;
    return std::regex_search(json, match, pattern) ? match[1].str() : "<absent>";
}

TEST(StageEndToEnd, EachStartAndStopOfTheSenderBecomesOneNamedTake) {
    RecorderOptions options;
    options.modulePrefix = ZEMORI_E2E_PREFIX;
    options.port = freePort();
    // Named by the port: another run of the suite on this machine has its own.
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) /
                                         ("zemori-stage-takes-" + std::to_string(options.port));
    std::filesystem::remove_all(folder);
    do {
        options.triggerPort = freePort();
    } while (options.triggerPort == options.port);
    options.outDir = folder.string();
    options.takes = 2;
    options.progress = false;
    // The pause between the two sends is no end of the stream.
    options.streamEndSeconds = 5.0;
    HeadlessRecorder recorder(options);
    std::string error;
    ASSERT_TRUE(startForStage(recorder, error)) << error;

    const std::vector<std::string> send = {std::string(ZEMORI_DATA_DIR) + "/131_01.bvh",
                                           "--port",
                                           std::to_string(options.port),
                                           "--fps",
                                           "30",
                                           "--duration",
                                           "1.5",
                                           "--trigger",
                                           "127.0.0.1:" + std::to_string(options.triggerPort),
                                           "--take-name",
                                           "dance/1",
                                           "--trigger-delay",
                                           "33",
                                           "--timecode",
                                           "10:00:00:00",
                                           "--timecode-rate",
                                           "30",
                                           "--quiet"};
    // The host's calls belong to this thread: the sender runs beside it.
    int sent[2] = {-1, -1};
    std::string senderErrors;
    std::string senderReport;
    std::thread sender([&] {
        for (int& status : sent) {
            std::ostringstream sentOut;
            std::ostringstream sentErr;
            status = runSender(send, sentOut, sentErr);
            senderErrors += sentErr.str();
            senderReport = sentOut.str();
        }
    });
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<bool> stop{false};
    // Ends after two takes, or at the stream's end.
    const int status = recordFromStage(recorder, options, &source(), out, err, stop);
    sender.join();
    EXPECT_EQ(sent[0], 0) << senderErrors;
    EXPECT_EQ(sent[1], 0) << senderErrors;
    ASSERT_EQ(status, 0) << err.str() << out.str();

    // Safe names, the second take beside the first.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dance_1.bvh", "dance_1.json", "dance_1.ma",
                                               "dance_1_2.bvh", "dance_1_2.json", "dance_1_2.ma"}))
        << out.str();
    const auto ten = parseTimecode("10:00:00:00", TimecodeRate::k30, false);
    std::smatch last;
    ASSERT_TRUE(std::regex_search(senderReport, last, std::regex("last frame number (\\d+)")));
    const long lastFrame = std::stol(last[1]);
    for (const char* take : {"dance_1.json", "dance_1_2.json"}) {
        const std::string json = fileText(folder / take);
        EXPECT_EQ(jsonText(json, "name"), "dance/1") << json;
        EXPECT_EQ(jsonText(json, "result"), "SUCCESS") << json;
        EXPECT_EQ(jsonText(json, "notes"), "") << json;
        EXPECT_EQ(jsonText(json, "description"), "") << json;
        // Frame n went out labelled 10:00:00:00 + n. The Delay of 33 ms
        // starts the take at frame 0 or 1 (a restarted sender's first frame
        // begins a take at once); the stop ends it at the last. The keys
        // lie on scene frames, within a frame of the captured ones.
        const auto count = [&](const char* key) {
            const auto code = parseTimecode(jsonText(json, key), TimecodeRate::k30, false);
            return code ? timecodeFrameCount(*code) - timecodeFrameCount(*ten) : -100;
        };
        EXPECT_GE(count("startTimecode"), 0) << json;
        EXPECT_LE(count("startTimecode"), 1) << json;
        EXPECT_LE(std::abs(count("endTimecode") - lastFrame), 1) << json;
    }
    EXPECT_NE(fileText(folder / "dance_1_2.ma").find("animCurveTA"), std::string::npos);

    // The recorder's comparison of each take with the source.
    const std::regex compared(
        "take (\\d) compared with the source: (\\d+) keys, largest root position difference "
        "([0-9.]+) cm, joint rotation ([0-9.]+) degrees, joint position ([0-9.]+) cm");
    const std::string report = out.str();
    int takes = 0;
    for (std::sregex_iterator it(report.begin(), report.end(), compared), end; it != end; ++it) {
        ++takes;
        EXPECT_GE(std::stoi((*it)[2]), 40) << report;
        EXPECT_LT(std::stod((*it)[3]), 0.01) << report;
        EXPECT_LT(std::stod((*it)[4]), 0.01) << report;
        EXPECT_LT(std::stod((*it)[5]), 0.01) << report;
    }
    EXPECT_EQ(takes, 2) << report;
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ztools
