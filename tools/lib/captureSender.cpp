#include "tools/lib/captureSender.h"

#include "tools/lib/stageAnnouncer.h"
#include "tools/lib/triggeredSend.h"
#include "tools/lib/streamDatagrams.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <thread>

namespace ztools {

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) {
    gInterrupted.store(true);
}

bool parseInt(const std::string& s, long lo, long hi, long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 10);
    return end == s.c_str() + s.size() && out >= lo && out <= hi;
}

bool parseSeconds(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(out) && out >= 0.0;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void showProgress(std::ostream& out, const SendStats& s, int takeFrames, int fps, bool last) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "\rframe %d (take %d frames) | %d fps | sent %d | dropped %d | definitions %d | "
                  "%.1f s ",
                  s.lastFrameNumber, takeFrames, fps, s.framesSent, s.framesDropped,
                  s.definitionsSent, s.lastFrameNumber < 0 ? 0.0 : double(s.lastFrameNumber) / fps);
    out << line;
    if (last) out << '\n';
    out.flush();
}

}  // namespace

std::uint64_t freshSenderId() {
    std::random_device entropy;
    const std::uint64_t drawn = (std::uint64_t(entropy()) << 32) ^ entropy();
    // The clock too: random_device may be deterministic on some runtimes.
    return drawn ^ std::uint64_t(nowNs()) ^
           (std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count()) << 17);
}

const char* senderUsage() {
    return "usage: zemori-send [take.bvh] [--host H] [--port P] [--fps 30|50|60|120] [--rate max]\n"
           "                   [--loop] [--drop-every N] [--duration S] [--unit-cm U]\n"
           "                   [--flip-signs] [--sender-id N] [--quiet]\n"
           "                   [--multicast GROUP [--ttl N] [--interface ADDR]]\n"
           "                   [--timecode HH:MM:SS:FF --timecode-rate R [--drop-frame]]\n"
           "                   [--trigger HOST:PORT [--take-name NAME] [--trigger-delay MS]]\n"
           "Streams a BVH take (or a built-in synthetic motion when no file is given) as\n"
           "capture datagrams to H:P (default 127.0.0.1:12351) in real time.\n"
           "--sender-id N names the sender in every datagram (default: a new id each run).\n"
           "--host takes a list (\"10.0.0.5,10.0.0.6\"): every datagram goes to each.\n"
           "--multicast sends to an IPv4 group instead, out of the interface with address\n"
           "ADDR (default: the system's choice), time to live N (default 1: the local network).\n"
           "With --timecode each frame carries a timecode from the one given, at rate R\n"
           "(23.976, 24, 25, 29.97, 30, 47.95, 48, 50, 59.94 or 60; --drop-frame at 29.97\n"
           "and 59.94).\n"
           "With --trigger the stage's record button goes to HOST:PORT: CaptureStart MS\n"
           "milliseconds (default 0) before the first frame, CaptureStop after the last.\n";
}

ParseOutcome parseSenderOptions(const std::vector<std::string>& args, SenderOptions& out,
                                std::string& error) {
    out = SenderOptions{};
    std::string timecodeText;
    std::string timecodeRate;
    bool dropFrame = false;
    bool takeNameGiven = false;
    bool delayGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        long n = 0;
        if (a == "--help" || a == "-h") return ParseOutcome::kHelp;
        if (a == "--host") {
            if (!value(v)) return ParseOutcome::kError;
            if (v.empty()) {
                error = "--host needs a name or address";
                return ParseOutcome::kError;
            }
            out.host = v;
            out.hosts.clear();
            std::string one;
            for (char c : v + ",") {
                if (c == ',' || c == ' ') {
                    if (!one.empty()) out.hosts.push_back(one);
                    one.clear();
                } else {
                    one += c;
                }
            }
            if (out.hosts.empty()) {
                error = "--host needs a name or address";
                return ParseOutcome::kError;
            }
            out.host = out.hosts.front();
        } else if (a == "--multicast") {
            if (!value(v)) return ParseOutcome::kError;
            unsigned b[4];
            char tail = 0;
            if (std::sscanf(v.c_str(), "%3u.%3u.%3u.%3u%c", &b[0], &b[1], &b[2], &b[3], &tail) !=
                    4 ||
                b[0] < 224 || b[0] > 239 || b[1] > 255 || b[2] > 255 || b[3] > 255) {
                error = "--multicast takes an IPv4 group (224.0.0.0 to 239.255.255.255), not '" +
                        v + "'";
                return ParseOutcome::kError;
            }
            out.multicastGroup = v;
        } else if (a == "--ttl") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseInt(v, 0, 255, n)) {
                error = "--ttl takes a number from 0 to 255, not '" + v + "'";
                return ParseOutcome::kError;
            }
            out.multicastTtl = int(n);
        } else if (a == "--interface") {
            if (!value(v)) return ParseOutcome::kError;
            out.multicastInterface = v;
        } else if (a == "--port") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseInt(v, 1, 65535, n)) {
                error = "--port takes a number from 1 to 65535, not '" + v + "'";
                return ParseOutcome::kError;
            }
            out.port = std::uint16_t(n);
        } else if (a == "--fps") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseInt(v, 1, 1000, n) || (n != 30 && n != 50 && n != 60 && n != 120)) {
                error = "--fps takes 30, 50, 60 or 120, not '" + v + "'";
                return ParseOutcome::kError;
            }
            out.fps = int(n);
        } else if (a == "--rate") {
            if (!value(v)) return ParseOutcome::kError;
            if (v == "max") {
                out.maxRate = true;
            } else if (v == "real") {
                out.maxRate = false;
            } else {
                error = "--rate takes max or real, not '" + v + "'";
                return ParseOutcome::kError;
            }
        } else if (a == "--loop") {
            out.loop = true;
        } else if (a == "--drop-every") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseInt(v, 2, 1000000, n)) {
                error = "--drop-every takes a number of at least 2, not '" + v + "'";
                return ParseOutcome::kError;
            }
            out.dropEvery = int(n);
        } else if (a == "--duration") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseSeconds(v, out.durationSeconds) || out.durationSeconds <= 0.0) {
                error = "--duration takes a positive number of seconds, not '" + v + "'";
                return ParseOutcome::kError;
            }
        } else if (a == "--unit-cm") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseSeconds(v, out.unitCm) || out.unitCm <= 0.0) {
                error = "--unit-cm takes a positive number, not '" + v + "'";
                return ParseOutcome::kError;
            }
        } else if (a == "--sender-id") {
            if (!value(v)) return ParseOutcome::kError;
            char* end = nullptr;
            const unsigned long long id = std::strtoull(v.c_str(), &end, 0);
            if (v.empty() || v[0] == '-' || end != v.c_str() + v.size()) {
                error = "--sender-id takes a number (decimal or 0x hex), not '" + v + "'";
                return ParseOutcome::kError;
            }
            out.senderId = id;
            out.senderIdGiven = true;
        } else if (a == "--flip-signs") {
            out.flipSigns = true;
        } else if (a == "--quiet") {
            out.progress = false;
        } else if (a == "--timecode") {
            if (!value(timecodeText)) return ParseOutcome::kError;
        } else if (a == "--timecode-rate") {
            if (!value(timecodeRate)) return ParseOutcome::kError;
        } else if (a == "--drop-frame") {
            dropFrame = true;
        } else if (a == "--trigger") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseTriggerAddress(v, out.triggerHost, out.triggerPort, error)) {
                return ParseOutcome::kError;
            }
            out.trigger = true;
        } else if (a == "--take-name") {
            if (!value(out.takeName)) return ParseOutcome::kError;
            takeNameGiven = true;
            if (out.takeName.size() > kTakeNameMaxBytes) {
                error = "--take-name takes at most " + std::to_string(kTakeNameMaxBytes) + " bytes";
                return ParseOutcome::kError;
            }
        } else if (a == "--trigger-delay") {
            if (!value(v)) return ParseOutcome::kError;
            if (!parseInt(v, 0, 60000, n)) {
                error = "--trigger-delay takes milliseconds from 0 to 60000, not '" + v + "'";
                return ParseOutcome::kError;
            }
            out.triggerDelayMs = int(n);
            delayGiven = true;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return ParseOutcome::kError;
        } else if (out.bvhPath.empty()) {
            out.bvhPath = a;
        } else {
            error = "only one take can be sent, got '" + out.bvhPath + "' and '" + a + "'";
            return ParseOutcome::kError;
        }
    }
    if ((takeNameGiven || delayGiven) && !out.trigger) {
        error = "--take-name and --trigger-delay go with --trigger HOST:PORT";
        return ParseOutcome::kError;
    }
    if (timecodeText.empty() && timecodeRate.empty() && !dropFrame) {
        return ParseOutcome::kRun;
    }
    double rate = 0.0;
    if (timecodeText.empty() || timecodeRate.empty()) {
        error = "--timecode and --timecode-rate go together";
        return ParseOutcome::kError;
    }
    const TimecodeRate code =
        parseSeconds(timecodeRate, rate) ? timecodeRateFor(rate) : TimecodeRate::kNone;
    if (code == TimecodeRate::kNone) {
        error =
            "--timecode-rate takes 23.976, 24, 25, 29.97, 30, 47.95, 48, 50, 59.94 or 60, "
            "not '" +
            timecodeRate + "'";
        return ParseOutcome::kError;
    }
    if (dropFrame && droppedLabels(static_cast<std::uint8_t>(code)) == 0) {
        error = "--drop-frame needs --timecode-rate 29.97 or 59.94";
        return ParseOutcome::kError;
    }
    out.timecode = parseTimecode(timecodeText, code, dropFrame);
    if (!out.timecode) {
        error = "--timecode takes HH:MM:SS:FF, a label of that rate, not '" + timecodeText + "'";
        return ParseOutcome::kError;
    }
    return ParseOutcome::kRun;
}

RealTimePacer::RealTimePacer() : mStartNs(nowNs()) {}

void RealTimePacer::waitUntil(double seconds) {
    const std::int64_t due = mStartNs + std::int64_t(seconds * 1e9);
    const std::int64_t now = nowNs();
    if (due > now) std::this_thread::sleep_for(std::chrono::nanoseconds(due - now));
}

bool streamTake(const CaptureTake& take, const SenderOptions& options, DatagramSink& sink,
                Pacer* pacer, std::ostream* progress, const std::atomic<bool>* stop,
                SendStats& stats, std::string& error) {
    stats = SendStats{};
    const int takeFrames = int(take.frames.size());
    if (takeFrames == 0) {
        error = "the take has no frames";
        return false;
    }
    const long limit = options.durationSeconds > 0.0
                           ? long(std::floor(options.durationSeconds * take.fps + 1e-6)) + 1
                           : (options.loop ? -1 : takeFrames);
    const long last = options.loop ? limit : std::min<long>(limit, takeFrames);
    std::uint32_t sequence = 0;
    EncodedDatagram datagram;
    // At most ten progress updates a second, whatever the pace.
    std::int64_t nextProgressNs = 0;
    for (long n = 0; last < 0 || n < last; ++n) {
        if (stop && stop->load()) break;
        if (n > 0x7fffffffL) break;  // frame numbers are 32-bit
        if (pacer) pacer->waitUntil(double(n) / take.fps);
        if (n % take.fps == 0) {
            if (!encodeSkeletonDefinition(take, sequence++, datagram, options.senderId)) {
                error = "the skeleton definition cannot be encoded";
                return false;
            }
            if (!sink.send(datagram.bytes, datagram.length)) {
                error = "sending the skeleton definition failed";
                return false;
            }
            ++stats.definitionsSent;
        }
        stats.lastFrameNumber = int(n);
        if (options.dropEvery > 0 && (n + 1) % options.dropEvery == 0) {
            ++stats.framesDropped;
        } else {
            FrameTimecode timecode;
            if (options.timecode) timecode = timecodeOfFrame(*options.timecode, n, take.fps);
            if (!encodeFrame(take, int(n % takeFrames), std::int32_t(n), sequence++, datagram,
                             options.flipSigns && (n / 2) % 2 == 1,
                             options.timecode ? &timecode : nullptr, options.senderId)) {
                error = "frame " + std::to_string(n) + " cannot be encoded";
                return false;
            }
            if (!sink.send(datagram.bytes, datagram.length)) {
                error = "sending frame " + std::to_string(n) + " failed";
                return false;
            }
            ++stats.framesSent;
        }
        if (progress && nowNs() >= nextProgressNs) {
            showProgress(*progress, stats, takeFrames, take.fps, false);
            nextProgressNs = nowNs() + 100000000;
        }
    }
    if (progress) showProgress(*progress, stats, takeFrames, take.fps, true);
    return true;
}

bool loadTake(const SenderOptions& options, CaptureTake& take, std::string& error) {
    if (options.bvhPath.empty()) {
        take = syntheticTake(options.fps,
                             options.durationSeconds > 0.0 ? options.durationSeconds : 10.0);
        return true;
    }
    BvhMotion motion;
    if (!readBvhFile(options.bvhPath, motion, error)) return false;
    if (!takeFromBvh(motion, options.fps, options.unitCm, options.durationSeconds, take, error)) {
        error = options.bvhPath + ": " + error;
        return false;
    }
    take.source = options.bvhPath;
    return true;
}

bool FanOutSink::send(const char* bytes, int length) {
    bool all = true;
    for (const auto& destination : mDestinations) all = destination->send(bytes, length) && all;
    return all;
}

bool openDestinations(const SenderOptions& options, FanOutSink& sink, std::string& error) {
    if (!options.multicastGroup.empty()) {
        auto group = UdpDestination::open(options.multicastGroup, options.port, error);
        if (!group ||
            !group->setMulticast(options.multicastInterface, options.multicastTtl, error)) {
            return false;
        }
        sink.add(std::move(group));
        return true;
    }
    const std::vector<std::string> hosts =
        options.hosts.empty() ? std::vector<std::string>{options.host} : options.hosts;
    for (const std::string& host : hosts) {
        auto destination = UdpDestination::open(host, options.port, error);
        if (!destination) return false;
        sink.add(std::move(destination));
    }
    return true;
}

int runSender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    SenderOptions options;
    std::string error;
    switch (parseSenderOptions(args, options, error)) {
        case ParseOutcome::kHelp:
            out << senderUsage();
            return 0;
        case ParseOutcome::kError:
            err << "zemori-send: " << error << "\n" << senderUsage();
            return 2;
        case ParseOutcome::kRun:
            break;
    }
    if (!options.senderIdGiven) options.senderId = freshSenderId();
    CaptureTake take;
    if (!loadTake(options, take, error)) {
        err << "zemori-send: " << error << "\n";
        return 1;
    }
    FanOutSink destinations;
    if (!openDestinations(options, destinations, error)) {
        err << "zemori-send: " << error << "\n";
        return 1;
    }
    err << "zemori-send: " << take.source << ", " << take.frames.size() << " frames at " << take.fps
        << " fps to";
    for (const auto& destination : destinations.destinations()) {
        err << " " << destination->address() << ":" << options.port;
    }
    err << "\n";
    std::unique_ptr<TriggeredSend> trigger;
    if (options.trigger && !(trigger = TriggeredSend::open(options, error))) {
        err << "zemori-send: " << error << "\n";
        return 1;
    }
    gInterrupted.store(false);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    struct RestoreSignals {
        ~RestoreSignals() {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
        }
    } restore;
    if (trigger && !trigger->beforeStream(take, destinations, gInterrupted, err, error)) {
        err << "zemori-send: " << error << "\n";
        return 1;
    }
    RealTimePacer pacer;  // after the Delay: frame 0 goes out now
    SendStats stats;
    const bool ok = streamTake(take, options, destinations, options.maxRate ? nullptr : &pacer,
                               options.progress ? &err : nullptr, &gInterrupted, stats, error);
    std::string stopError;
    if (trigger && !trigger->afterStream(ok, err, stopError)) {
        err << "zemori-send: " << stopError << "\n";
        return 1;
    }
    if (!ok) {
        err << "zemori-send: " << error << "\n";
        return 1;
    }
    out << "frames sent " << stats.framesSent << ", dropped " << stats.framesDropped
        << ", skeleton definitions " << stats.definitionsSent << ", last frame number "
        << stats.lastFrameNumber << "\n";
    return 0;
}

}  // namespace ztools
