// The capture sender: streams a take as motion-format datagrams, paced in
// real time or as fast as possible, with the skeleton definition first and
// again every second of stream time.
#pragma once

#include "intake/timecode.h"
#include "tools/lib/captureTake.h"
#include "tools/lib/streamDatagrams.h"
#include "tools/lib/udpDestination.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ztools {

struct SenderOptions {
    std::string host = "127.0.0.1";
    // Every destination of --host (blank or comma separated): each datagram
    // goes to each. Empty: `host` alone.
    std::vector<std::string> hosts;
    // --multicast GROUP: the group instead of the hosts, sent out of the
    // interface of `multicastInterface` (empty: the system's choice).
    std::string multicastGroup;
    std::string multicastInterface;
    int multicastTtl = 1;
    std::uint16_t port = 12351;
    std::string bvhPath;  // empty: the built-in synthetic motion
    int fps = 60;         // 30, 50, 60 or 120
    bool maxRate = false;
    bool loop = false;
    int dropEvery = 0;  // 0: drop nothing; N: skip every Nth frame
    // Send the quaternions of frames 2-3, 6-7, 10-11, ... negated: the same
    // rotations, as a sender that does not keep its quaternions on one
    // hemisphere would send them (neighbours one and two frames apart
    // differ in sign somewhere).
    bool flipSigns = false;
    double durationSeconds = 0.0;  // 0: the whole take (synthetic: 10 s)
    double unitCm = kCmuUnitCm;    // centimetres per BVH length unit
    bool progress = true;
    // --timecode HH:MM:SS:FF --timecode-rate R [--drop-frame]: frame 0's
    // timecode; later frames count on from it (streamDatagrams.h).
    std::optional<FrameTimecode> timecode;
    // --trigger HOST:PORT [--take-name NAME] [--trigger-delay MS]: the
    // stage's record button around the stream (stageAnnouncer.h).
    bool trigger = false;
    std::string triggerHost;
    std::uint16_t triggerPort = 0;
    std::string takeName;
    int triggerDelayMs = 0;
    // The sender id of every datagram; without --sender-id a new one each
    // run, as two capture applications would have.
    std::uint64_t senderId = kDefaultSenderId;
    bool senderIdGiven = false;
};

// With --trigger: how long the skeleton definition is on the network before
// CaptureStart, as a capture application streams before record is pressed,
// so that a receiver can bind the skeleton first.
inline constexpr double kTriggerLeadInSeconds = 1.0;
// The longest --take-name: a record-button message stays far below the
// 8 KiB a receiver reads.
inline constexpr std::size_t kTakeNameMaxBytes = 1024;

enum class ParseOutcome { kRun, kHelp, kError };

// A sender id of its own for this run: differs between runs and processes.
std::uint64_t freshSenderId();

// Reads the command line (without the program name). On kError `error`
// says what is wrong.
ParseOutcome parseSenderOptions(const std::vector<std::string>& args, SenderOptions& out,
                                std::string& error);
const char* senderUsage();

// Waits until `seconds` after the start of the stream; the real one sleeps.
class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void waitUntil(double seconds) = 0;
};
class RealTimePacer : public Pacer {
public:
    RealTimePacer();
    void waitUntil(double seconds) override;

private:
    std::int64_t mStartNs;
};

struct SendStats {
    int framesSent = 0;
    int framesDropped = 0;
    int definitionsSent = 0;
    int lastFrameNumber = -1;
};

// Streams the take to `sink`. Frame n (counting on over loops) goes out as
// frame number n at n / fps seconds. `pacer` may be null (as fast as
// possible); `progress` may be null; `stop` ends the stream early when set.
// False with a message when a datagram cannot be encoded or sent.
bool streamTake(const CaptureTake& take, const SenderOptions& options, DatagramSink& sink,
                Pacer* pacer, std::ostream* progress, const std::atomic<bool>* stop,
                SendStats& stats, std::string& error);

// Loads the take the options name: the BVH file resampled to options.fps,
// or the synthetic motion.
bool loadTake(const SenderOptions& options, CaptureTake& take, std::string& error);

// Each datagram to every destination; fails when one of them fails.
class FanOutSink : public DatagramSink {
public:
    void add(std::unique_ptr<UdpDestination> destination) {
        mDestinations.push_back(std::move(destination));
    }
    bool send(const char* bytes, int length) override;
    const std::vector<std::unique_ptr<UdpDestination>>& destinations() const {
        return mDestinations;
    }

private:
    std::vector<std::unique_ptr<UdpDestination>> mDestinations;
};

// The destinations the options name, opened; false with a message when one
// does not resolve or a multicast setting is refused.
bool openDestinations(const SenderOptions& options, FanOutSink& sink, std::string& error);

// The whole tool: returns the exit status (0 done, 1 failure, 2 bad usage).
int runSender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ztools
