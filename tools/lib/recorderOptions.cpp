#include "tools/lib/recorderOptions.h"

#include <cmath>
#include <cstdlib>

namespace ztools {

namespace {

bool parseLong(const std::string& s, long lo, long hi, long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 10);
    return end == s.c_str() + s.size() && out >= lo && out <= hi;
}

bool parsePositive(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && std::isfinite(out) && out > 0.0;
}

}  // namespace

const char* recorderUsage() {
    return "usage: zemori-record [--module PREFIX] [--port P] [--device-id N] [--duration S]\n"
           "                     [--scene-fps F] [--key-every-frame] [--key-on-timecode] "
           "[--pre-roll S]\n"
           "                     [--stall-ms MS --stall-every S]\n"
           "                     [--ma take.ma] [--bvh take.bvh] [--compare source.bvh]\n"
           "                     [--unit-cm U] [--ui] [--quiet]\n"
           "                     [--listen ADDR] [--multicast GROUP] [--allow LIST]\n"
           "       zemori-record --trigger-port P [--out DIR] [--takes N] [--port P] ...\n"
           "Loads the installed plug-in into the embedded host, receives a capture stream on\n"
           "port P (default 12351), records it while the scene plays in real time at F frames\n"
           "a second (24, 25, 30, 48, 50 or 60; default 30) until the stream ends, S seconds\n"
           "have been played or Ctrl-C, and writes the take (by default take.ma and\n"
           "take.bvh): a key on every scene frame, or with --key-every-frame on every\n"
           "captured frame. --pre-roll keeps S seconds from before recording began.\n"
           "--stall-ms and --stall-every make the scene busy: the main thread stalls MS\n"
           "milliseconds every S seconds. With --ui it works the plug-in's shelf and panel\n"
           "as a user would. --listen receives on one of this machine's IPv4 addresses only,\n"
           "--multicast joins an IPv4 group (on the --listen interface), --allow accepts\n"
           "only the senders listed (addresses and CIDR ranges, blank or comma separated).\n"
           "With --trigger-port it waits for the stage: the plug-in's stage trigger listens\n"
           "on that port and each CaptureStart ... CaptureStop becomes one take, written as\n"
           "<Name>.ma, <Name>.bvh and <Name>.json in DIR, until N takes, the end of the\n"
           "stream or Ctrl-C.\n";
}

std::string noDatagramAdvice(int port, const std::string& listenAddress,
                             const std::string& multicastGroup, double seconds) {
    const std::string p = std::to_string(port);
    std::string where =
        listenAddress.empty() ? "any of this workstation's addresses" : "address " + listenAddress;
    std::string advice = "no datagram on port " + p + " for " + std::to_string(int(seconds)) +
                         " s: check that " + where + " is on the network the capture runs on";
    advice += multicastGroup.empty()
                  ? "; that the capture application sends to that address and port " + p
                  : "; that the capture application sends to group " + multicastGroup + ", port " +
                        p + ", on that network";
    advice += "; and that the firewall lets UDP port " + p +
              " in (the sender's address and "
              "the firewall are the usual causes)";
    return advice;
}

std::string pluginPath(const std::string& prefix) {
#if defined(_WIN32)
    const char* file = "ZemoriMayaPlugin.mll";
#else
    const char* file = "ZemoriMayaPlugin.so";
#endif
    return prefix + "/ZemoriMayaPlugin/plug-ins/" + file;
}

RecorderParse parseRecorderOptions(const std::vector<std::string>& args,
                                   const std::string& defaultPrefix, RecorderOptions& out,
                                   std::string& error) {
    out = RecorderOptions{};
    bool deviceIdGiven = false;
    out.modulePrefix = defaultPrefix;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&] {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        long n = 0;
        if (a == "--help" || a == "-h") return RecorderParse::kHelp;
        if (a == "--quiet") {
            out.progress = false;
            continue;
        }
        if (a == "--ui") {
            out.ui = true;
            continue;
        }
        if (a == "--key-every-frame") {
            out.keyEveryFrame = true;
            continue;
        }
        if (a == "--key-on-timecode") {
            out.keyOnTimecode = true;
            continue;
        }
        if (a != "--module" && a != "--port" && a != "--device-id" && a != "--duration" &&
            a != "--ma" && a != "--bvh" && a != "--compare" && a != "--unit-cm" &&
            a != "--scene-fps" && a != "--pre-roll" && a != "--stall-ms" && a != "--stall-every" &&
            a != "--trigger-port" && a != "--out" && a != "--takes" && a != "--listen" &&
            a != "--multicast" && a != "--allow") {
            error =
                a.rfind("-", 0) == 0 ? "unknown option " + a : "unexpected argument '" + a + "'";
            return RecorderParse::kError;
        }
        if (!value()) return RecorderParse::kError;
        if (v.empty()) {
            error = "option " + a + " needs a value";
            return RecorderParse::kError;
        }
        if (a == "--module") {
            out.modulePrefix = v;
        } else if (a == "--listen") {
            out.listenAddress = v;  // the node checks it, as it checks the panel's
        } else if (a == "--multicast") {
            out.multicastGroup = v;
        } else if (a == "--allow") {
            out.allowedSenders = v;
        } else if (a == "--port") {
            if (!parseLong(v, 1, 65535, n)) {
                error = "--port takes a number from 1 to 65535, not '" + v + "'";
                return RecorderParse::kError;
            }
            out.port = int(n);
        } else if (a == "--device-id") {
            if (!parseLong(v, 0, 1000000, n)) {
                error = "--device-id takes a number from 0 to 1000000, not '" + v + "'";
                return RecorderParse::kError;
            }
            out.deviceId = int(n);
            deviceIdGiven = true;
        } else if (a == "--duration") {
            if (!parsePositive(v, out.durationSeconds)) {
                error = "--duration takes a positive number of seconds, not '" + v + "'";
                return RecorderParse::kError;
            }
        } else if (a == "--scene-fps") {
            if (!parseLong(v, 1, 1000, n) ||
                (n != 24 && n != 25 && n != 30 && n != 48 && n != 50 && n != 60)) {
                error = "--scene-fps takes 24, 25, 30, 48, 50 or 60, not '" + v + "'";
                return RecorderParse::kError;
            }
            out.sceneFps = int(n);
        } else if (a == "--pre-roll") {
            if (!parsePositive(v, out.preRollSeconds)) {
                error = "--pre-roll takes a positive number of seconds, not '" + v + "'";
                return RecorderParse::kError;
            }
        } else if (a == "--stall-ms") {
            if (!parsePositive(v, out.stallMs)) {
                error = "--stall-ms takes a positive number of milliseconds, not '" + v + "'";
                return RecorderParse::kError;
            }
        } else if (a == "--stall-every") {
            if (!parsePositive(v, out.stallEverySeconds)) {
                error = "--stall-every takes a positive number of seconds, not '" + v + "'";
                return RecorderParse::kError;
            }
        } else if (a == "--unit-cm") {
            if (!parsePositive(v, out.unitCm)) {
                error = "--unit-cm takes a positive number, not '" + v + "'";
                return RecorderParse::kError;
            }
        } else if (a == "--trigger-port") {
            if (!parseLong(v, 1, 65535, n)) {
                error = "--trigger-port takes a number from 1 to 65535, not '" + v + "'";
                return RecorderParse::kError;
            }
            out.triggerPort = int(n);
        } else if (a == "--takes") {
            if (!parseLong(v, 1, 1000000, n)) {
                error = "--takes takes a number of at least 1, not '" + v + "'";
                return RecorderParse::kError;
            }
            out.takes = int(n);
        } else if (a == "--out") {
            out.outDir = v;
        } else if (a == "--ma") {
            out.maPath = v;
        } else if (a == "--bvh") {
            out.bvhPath = v;
        } else {
            out.comparePath = v;
        }
    }
    if (out.ui && deviceIdGiven) {
        error = "--device-id does not go with --ui: the shelf gives the device its id";
        return RecorderParse::kError;
    }
    if ((out.stallMs > 0.0) != (out.stallEverySeconds > 0.0)) {
        error = "--stall-ms and --stall-every go together";
        return RecorderParse::kError;
    }
    if (out.triggerPort == 0 && (!out.outDir.empty() || out.takes > 0)) {
        error = "--out and --takes go with --trigger-port";
        return RecorderParse::kError;
    }
    if (out.triggerPort != 0) {
        if (!out.maPath.empty() || !out.bvhPath.empty()) {
            error = "--ma and --bvh do not go with --trigger-port: the stage names the takes";
            return RecorderParse::kError;
        }
        if (out.ui || out.durationSeconds > 0.0) {
            error =
                "--ui and --duration do not go with --trigger-port: the stage starts and "
                "stops the takes";
            return RecorderParse::kError;
        }
        if (out.triggerPort == out.port) {
            error = "--trigger-port and --port must differ";
            return RecorderParse::kError;
        }
        return RecorderParse::kRun;
    }
    if (out.maPath.empty() && out.bvhPath.empty()) {
        out.maPath = "take.ma";
        out.bvhPath = "take.bvh";
    }
    return RecorderParse::kRun;
}

}  // namespace ztools
