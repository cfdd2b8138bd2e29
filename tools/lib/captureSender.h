// The capture sender: streams a take as motion-format datagrams, paced in
// real time or as fast as possible, with the skeleton definition first and
// again every second of stream time.
#pragma once

#include "tools/lib/captureTake.h"
#include "tools/lib/udpDestination.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace ztools {

struct SenderOptions {
    std::string host = "127.0.0.1";
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
};

enum class ParseOutcome { kRun, kHelp, kError };

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

// The whole tool: returns the exit status (0 done, 1 failure, 2 bad usage).
int runSender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ztools
