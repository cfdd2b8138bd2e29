#include "tools/lib/captureSender.h"

#include "tools/lib/streamDatagrams.h"
#include "tests/tools/toolsTestHelpers.h"

#include <ostrevo/ostrevo.h>
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ztools {
namespace {

// What a receiver makes of one datagram.
struct Received {
    bool definition = false;
    int frameNumber = -1;
    double timestamp = 0.0;
    int jointCount = 0;
    float rootY = 0.0f;
    float rotation[4] = {};  // joint 5
};

Received decode(const char* bytes, int length) {
    Received r;
    std::uint64_t sender = 0, skeleton = 0, definitionTime = 0;
    std::uint32_t sequence = 0;
    const float *rx = nullptr, *ry = nullptr, *rz = nullptr, *rw = nullptr, *tx = nullptr,
                *ty = nullptr, *tz = nullptr;
    if (IsSkeletonDefinitionBytes(length, bytes)) {
        r.definition = true;
        EXPECT_TRUE(ConvertBytesToSkeletonDefinition(length, bytes, &sender, &sequence,
                                                     &r.jointCount, &skeleton, &definitionTime, &rx,
                                                     &ry, &rz, &rw, &tx, &ty, &tz));
    } else {
        EXPECT_TRUE(IsFrameDataBytes(length, bytes));
        float latency = 0;
        const std::int32_t* status = nullptr;
        std::int32_t frame = 0;
        EXPECT_TRUE(ConvertBytesToFrameData(length, bytes, &sender, &sequence, &frame, &latency,
                                            &r.timestamp, &r.jointCount, &status, &rx, &ry, &rz,
                                            &rw, &tx, &ty, &tz));
        r.frameNumber = frame;
    }
    if (r.jointCount == kCaptureJoints) {
        r.rootY = ty[0];
        r.rotation[0] = rx[5];
        r.rotation[1] = ry[5];
        r.rotation[2] = rz[5];
        r.rotation[3] = rw[5];
    }
    return r;
}

class RecordingSink : public DatagramSink {
public:
    bool send(const char* bytes, int length) override {
        datagrams.push_back(decode(bytes, length));
        return !failAfter || int(datagrams.size()) < failAfter;
    }
    std::vector<Received> datagrams;
    int failAfter = 0;
};

TEST(StreamDatagrams, CarryTheTakeInMetresAndSeconds) {
    const CaptureTake take = syntheticTake(50, 1.0);
    EncodedDatagram d;
    ASSERT_TRUE(encodeSkeletonDefinition(take, 7, d));
    Received def = decode(d.bytes, kDatagramCapacity);  // receivers pass their whole buffer
    EXPECT_TRUE(def.definition);
    EXPECT_EQ(def.jointCount, kCaptureJoints);
    EXPECT_FLOAT_EQ(def.rootY, 0.94f);
    EXPECT_FLOAT_EQ(def.rotation[3], 1.0f);

    ASSERT_TRUE(encodeFrame(take, 12, 1012, 8, d));
    const Received frame = decode(d.bytes, d.length);
    EXPECT_FALSE(frame.definition);
    EXPECT_EQ(frame.frameNumber, 1012);
    EXPECT_DOUBLE_EQ(frame.timestamp, 1012.0 / 50.0);
    EXPECT_FLOAT_EQ(frame.rootY, float(take.frames[12].translations[0].y / 100.0));
    EXPECT_FLOAT_EQ(frame.rotation[0], float(take.frames[12].rotations[5].x));
    EXPECT_FLOAT_EQ(frame.rotation[3], float(take.frames[12].rotations[5].w));
    EXPECT_FALSE(encodeFrame(take, int(take.frames.size()), 0, 0, d));
}

TEST(CaptureSender, SendsTheDefinitionEverySecondAndDropsEveryNthFrame) {
    const CaptureTake take = syntheticTake(30, 2.5);  // frames 0 .. 75
    SenderOptions options;
    options.dropEvery = 5;
    RecordingSink sink;
    SendStats stats;
    std::string error;
    ASSERT_TRUE(streamTake(take, options, sink, nullptr, nullptr, nullptr, stats, error)) << error;
    ASSERT_FALSE(sink.datagrams.empty());
    EXPECT_TRUE(sink.datagrams[0].definition);
    std::vector<int> frames;
    int definitions = 0;
    for (std::size_t i = 0; i < sink.datagrams.size(); ++i) {
        const Received& r = sink.datagrams[i];
        if (r.definition) {
            ++definitions;
            // Each definition goes just before frame 0, 30, 60 (or its gap).
            if (i + 1 < sink.datagrams.size()) {
                EXPECT_EQ(sink.datagrams[i + 1].frameNumber % 30, 0);
            }
            continue;
        }
        frames.push_back(r.frameNumber);
        EXPECT_DOUBLE_EQ(r.timestamp, r.frameNumber / 30.0);
    }
    EXPECT_EQ(definitions, 3);
    EXPECT_EQ(stats.definitionsSent, 3);
    EXPECT_EQ(stats.framesDropped, 15);  // 4, 9, ..., 74
    EXPECT_EQ(stats.framesSent, 76 - 15);
    EXPECT_EQ(int(frames.size()), stats.framesSent);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GT(frames[i], frames[i - 1]);
        EXPECT_NE((frames[i] + 1) % 5, 0);
        EXPECT_LE(frames[i] - frames[i - 1], 2);
    }
    EXPECT_EQ(frames.back(), 75);
}

TEST(CaptureSender, LoopsWithTrueFrameNumbersUntilTheDurationOrAStop) {
    const CaptureTake take = syntheticTake(60, 0.5);  // 31 frames
    SenderOptions options;
    options.loop = true;
    options.durationSeconds = 2.0;
    RecordingSink sink;
    SendStats stats;
    std::string error;
    ASSERT_TRUE(streamTake(take, options, sink, nullptr, nullptr, nullptr, stats, error));
    EXPECT_EQ(stats.framesSent, 121);
    EXPECT_EQ(stats.lastFrameNumber, 120);
    // Frame 31 starts the take again: same pose as frame 0.
    const Received* f0 = nullptr;
    const Received* f31 = nullptr;
    for (const Received& r : sink.datagrams) {
        if (r.frameNumber == 0) f0 = &r;
        if (r.frameNumber == 31) f31 = &r;
    }
    ASSERT_TRUE(f0 && f31);
    EXPECT_EQ(f0->rotation[2], f31->rotation[2]);
    EXPECT_DOUBLE_EQ(f31->timestamp, 31.0 / 60.0);

    std::atomic<bool> stop{true};
    options.durationSeconds = 0.0;  // endless, but stopped at once
    ASSERT_TRUE(streamTake(take, options, sink, nullptr, nullptr, &stop, stats, error));
    EXPECT_EQ(stats.framesSent, 0);
}

TEST(CaptureSender, FlippedSignsSendTheSameRotations) {
    const CaptureTake take = syntheticTake(60, 0.2);
    SenderOptions options;
    options.flipSigns = true;
    RecordingSink plain, flipped;
    SendStats stats;
    std::string error;
    ASSERT_TRUE(streamTake(take, SenderOptions{}, plain, nullptr, nullptr, nullptr, stats, error));
    ASSERT_TRUE(streamTake(take, options, flipped, nullptr, nullptr, nullptr, stats, error));
    ASSERT_EQ(plain.datagrams.size(), flipped.datagrams.size());
    int negated = 0;
    for (std::size_t i = 0; i < plain.datagrams.size(); ++i) {
        const Received& a = plain.datagrams[i];
        const Received& b = flipped.datagrams[i];
        if (a.definition) continue;
        const bool flip = (a.frameNumber / 2) % 2 == 1;
        negated += flip;
        for (int c = 0; c < 4; ++c) EXPECT_EQ(b.rotation[c], flip ? -a.rotation[c] : a.rotation[c]);
    }
    EXPECT_GT(negated, 0);
    std::string none;
    ASSERT_EQ(parseSenderOptions({"--flip-signs"}, options, none), ParseOutcome::kRun);
    EXPECT_TRUE(options.flipSigns);
}

TEST(CaptureSender, ReportsASinkThatFails) {
    const CaptureTake take = syntheticTake(30, 1.0);
    RecordingSink sink;
    sink.failAfter = 4;
    SendStats stats;
    std::string error;
    std::ostringstream progress;
    EXPECT_FALSE(
        streamTake(take, SenderOptions{}, sink, nullptr, &progress, nullptr, stats, error));
    EXPECT_NE(error.find("frame 2"), std::string::npos) << error;
}

TEST(CaptureSender, ParsesOptionsAndRefusesBadOnes) {
    SenderOptions o;
    std::string error;
    ASSERT_EQ(parseSenderOptions(
                  {"take.bvh", "--host", "10.0.0.5", "--port", "5000", "--fps", "50", "--rate",
                   "max", "--loop", "--drop-every", "5", "--duration", "2.5", "--quiet"},
                  o, error),
              ParseOutcome::kRun)
        << error;
    EXPECT_EQ(o.bvhPath, "take.bvh");
    EXPECT_EQ(o.host, "10.0.0.5");
    EXPECT_EQ(o.port, 5000);
    EXPECT_EQ(o.fps, 50);
    EXPECT_TRUE(o.maxRate && o.loop && !o.progress);
    EXPECT_EQ(o.dropEvery, 5);
    EXPECT_DOUBLE_EQ(o.durationSeconds, 2.5);
    ASSERT_EQ(parseSenderOptions({}, o, error), ParseOutcome::kRun);
    EXPECT_EQ(o.host, "127.0.0.1");
    EXPECT_EQ(o.port, 12351);
    EXPECT_EQ(o.fps, 60);
    EXPECT_TRUE(o.bvhPath.empty());
    EXPECT_EQ(parseSenderOptions({"--help"}, o, error), ParseOutcome::kHelp);
    ASSERT_EQ(
        parseSenderOptions({"--host", "10.0.0.5, 10.0.0.6", "--sender-id", "0x2A", "--multicast",
                            "239.255.1.2", "--ttl", "0", "--interface", "127.0.0.1"},
                           o, error),
        ParseOutcome::kRun)
        << error;
    EXPECT_EQ(o.hosts, (std::vector<std::string>{"10.0.0.5", "10.0.0.6"}));
    EXPECT_TRUE(o.senderIdGiven);
    EXPECT_EQ(o.senderId, 42u);
    EXPECT_EQ(o.multicastGroup, "239.255.1.2");
    EXPECT_EQ(o.multicastTtl, 0);
    EXPECT_EQ(o.multicastInterface, "127.0.0.1");
    // Without --sender-id every run is another sender.
    EXPECT_NE(freshSenderId(), freshSenderId());

    const std::vector<std::vector<std::string>> bad = {{"--fps", "45"},
                                                       {"--fps"},
                                                       {"--port", "0"},
                                                       {"--port", "70000"},
                                                       {"--port", "12x"},
                                                       {"--rate", "fast"},
                                                       {"--drop-every", "1"},
                                                       {"--duration", "-1"},
                                                       {"--duration", "nan"},
                                                       {"--frobnicate"},
                                                       {"a.bvh", "b.bvh"},
                                                       {"--host", ""},
                                                       {"--host", " , "},
                                                       {"--sender-id", "-5"},
                                                       {"--sender-id", "7x"},
                                                       {"--sender-id", ""},
                                                       {"--multicast", "10.0.0.1"},
                                                       {"--multicast", "239.1.1"},
                                                       {"--multicast", "239.1.1.1x"},
                                                       {"--ttl", "256"}};
    for (const auto& args : bad) {
        error.clear();
        EXPECT_EQ(parseSenderOptions(args, o, error), ParseOutcome::kError) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(CaptureSender, ToolExitsWithAClearMessage) {
    std::ostringstream out, err;
    EXPECT_EQ(runSender({"--fps", "45"}, out, err), 2);
    EXPECT_NE(err.str().find("30, 50, 60 or 120"), std::string::npos);
    err.str("");
    EXPECT_EQ(runSender({"/nonexistent.bvh"}, out, err), 1);
    EXPECT_NE(err.str().find("cannot open /nonexistent.bvh"), std::string::npos);
    err.str("");
    EXPECT_EQ(runSender({"--host", "no-such-host.invalid", "--duration", "0.1"}, out, err), 1);
    EXPECT_NE(err.str().find("cannot resolve host 'no-such-host.invalid'"), std::string::npos);
}

TEST(UdpDestination, DeliversDatagramsOverLoopback) {
    ASSERT_EQ(platform::socketStartup(), 0);
    const platform::SocketHandle receiver = platform::openUdpSocket();
    ASSERT_NE(receiver, platform::kInvalidSocket);
    ASSERT_EQ(platform::bindAnyAddress(receiver, 0), 0);
    const std::uint16_t port = platform::boundPort(receiver);
    ASSERT_NE(port, 0);

    std::string error;
    auto destination = UdpDestination::open("localhost", port, error);
    ASSERT_TRUE(destination) << error;
    EXPECT_EQ(destination->address(), "127.0.0.1");
    const CaptureTake take = syntheticTake(60, 0.1);
    EncodedDatagram d;
    ASSERT_TRUE(encodeFrame(take, 3, 3, 0, d));
    ASSERT_TRUE(destination->send(d.bytes, d.length));
    char buffer[4096];
    const platform::ReceiveResult r = platform::receiveDatagram(receiver, buffer, sizeof buffer);
    ASSERT_EQ(r.status, platform::ReceiveStatus::kReceived);
    EXPECT_EQ(r.bytes, d.length);
    EXPECT_EQ(decode(buffer, r.bytes).frameNumber, 3);
    platform::closeSocket(receiver);
    platform::socketCleanup();

    EXPECT_FALSE(UdpDestination::open("no-such-host.invalid", 1, error));
    EXPECT_NE(error.find("cannot resolve"), std::string::npos);
}

}  // namespace
}  // namespace ztools
