// The tools' side of the stage's record button: the messages the sender
// writes read back as sent, the --trigger address is read strictly, and a
// take's files get a safe name that never overwrites another take's.
#include "intake/stageMessageParser.h"
#include "tools/lib/captureSender.h"
#include "tools/lib/stageAnnouncer.h"
#include "tools/lib/stageMessageWriter.h"
#include "tools/lib/takeFileNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ztools {
namespace {

struct Sink : DatagramSink {
    bool send(const char* bytes, int length) override {
        datagrams.emplace_back(bytes, std::size_t(length));
        return true;
    }
    std::vector<std::string> datagrams;
};

StageMessage parsed(const std::string& bytes) {
    const StageParseResult result = parseStageMessage(bytes.data(), bytes.size());
    EXPECT_TRUE(result.message) << (result.refusal ? result.refusal : "") << "\n" << bytes;
    return result.message.value_or(StageMessage{});
}

TEST(StageMessageWriter, WhatTheSenderWritesReadsBackAsSent) {
    StageMessage start;
    start.name = "dance/1 <&>\"'";
    // Tab and line feed survive as references; a control character cannot
    // be sent and an invalid byte becomes U+FFFD; other UTF-8 stays.
    start.notes = "line\tone\nline two\x01 caf\xC3\xA9 \xFF";
    start.description = "a & b";
    start.databasePath = "D:/Captures/Take";
    start.delayMs = 33;
    start.packetId = 4294967295u;
    const StageMessage back = parsed(writeStageMessage(start));
    EXPECT_EQ(back.kind, StageMessageKind::kCaptureStart);
    EXPECT_EQ(back.name, start.name);
    EXPECT_EQ(back.notes, "line\tone\nline two caf\xC3\xA9 \xEF\xBF\xBD");
    EXPECT_EQ(back.description, start.description);
    EXPECT_EQ(back.databasePath, start.databasePath);
    EXPECT_EQ(back.delayMs, 33);
    EXPECT_EQ(back.packetId, 4294967295u);

    // The announcer: each message twice with one PacketID, the next one up.
    Sink sink;
    StageAnnouncer announcer(sink, 41);
    ASSERT_TRUE(announcer.announceStart("dance", 33));
    ASSERT_TRUE(announcer.announceStop("dance", "SUCCESS"));
    ASSERT_EQ(sink.datagrams.size(), 4u);
    EXPECT_EQ(sink.datagrams[0], sink.datagrams[1]);
    EXPECT_EQ(sink.datagrams[2], sink.datagrams[3]);
    EXPECT_EQ(sink.datagrams[0].rfind("<?xml version=\"1.0\"", 0), 0u);
    EXPECT_NE(sink.datagrams[2].find("<CaptureStop RESULT=\"SUCCESS\">"), std::string::npos);
    const StageMessage first = parsed(sink.datagrams[0]);
    const StageMessage stop = parsed(sink.datagrams[2]);
    EXPECT_EQ(first.packetId, 41u);
    EXPECT_EQ(first.delayMs, 33);
    EXPECT_EQ(stop.kind, StageMessageKind::kCaptureStop);
    EXPECT_EQ(stop.packetId, 42u);
    EXPECT_EQ(stop.result, "SUCCESS");
    EXPECT_EQ(stop.name, "dance");
}

TEST(StageMessageWriter, TriggerAddressIsReadStrictly) {
    std::string host;
    std::uint16_t port = 0;
    std::string error;
    ASSERT_TRUE(parseTriggerAddress("127.0.0.1:1512", host, port, error)) << error;
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 1512);
    for (const char* bad : {"127.0.0.1", ":1512", "host:", "host:0", "host:65536", "host:15a",
                            "host:+15", "::1:1512", "[::1]:1512", "host:123456"}) {
        error.clear();
        EXPECT_FALSE(parseTriggerAddress(bad, host, port, error)) << bad;
        EXPECT_NE(error.find("HOST:PORT"), std::string::npos) << bad;
    }
    // The take's name and Delay belong to the record button.
    SenderOptions options;
    EXPECT_EQ(parseSenderOptions({"--take-name", "x"}, options, error), ParseOutcome::kError);
    EXPECT_EQ(parseSenderOptions({"--trigger", "127.0.0.1:9", "--trigger-delay", "60001"}, options,
                                 error),
              ParseOutcome::kError);
    ASSERT_EQ(parseSenderOptions(
                  {"--trigger", "127.0.0.1:9", "--take-name", "a b", "--trigger-delay", "33"},
                  options, error),
              ParseOutcome::kRun)
        << error;
    EXPECT_TRUE(options.trigger);
    EXPECT_EQ(options.takeName, "a b");
    EXPECT_EQ(options.triggerDelayMs, 33);
}

TEST(TakeFileNames, SafeNamesNeverOverwriteAnotherTake) {
    EXPECT_EQ(safeTakeName("dance/1", 1), "dance_1");
    EXPECT_EQ(safeTakeName("..\\..\\evil", 1), ".._.._evil");
    EXPECT_EQ(safeTakeName("caf\xC3\xA9 2.v-1", 1), "caf___2.v-1");
    EXPECT_EQ(safeTakeName("", 3), "take3");
    EXPECT_EQ(safeTakeName("..", 4), "take4");
    EXPECT_EQ(safeTakeName("walk.", 1), "walk_");
    EXPECT_EQ(safeTakeName("NUL", 1), "_NUL");
    EXPECT_EQ(safeTakeName("com1.take", 1), "_com1.take");
    EXPECT_EQ(safeTakeName(std::string(300, 'a'), 1).size(), 100u);

    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / "zemori-take-names";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::vector<std::string> kinds = {".ma", ".bvh", ".json"};
    const std::string dir = folder.string();
    EXPECT_EQ(unusedTakePath(dir, "dance_1", kinds), (folder / "dance_1").string());
    // Any one file of a take holds its name for all three.
    std::ofstream(folder / "dance_1.json") << "{}";
    EXPECT_EQ(unusedTakePath(dir, "dance_1", kinds), (folder / "dance_1_2").string());
    std::ofstream(folder / "dance_1_2.bvh") << "";
    EXPECT_EQ(unusedTakePath(dir, "dance_1", kinds), (folder / "dance_1_3").string());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ztools
