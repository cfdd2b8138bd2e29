#include "plugin/stageTriggerCmd.h"

#include "intake/ipv4Address.h"
#include "plugin/messageTable.h"
#include "plugin/stageTriggerListener.h"

#include "platform/sockets.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kEnabledPreference = "ZemoriStageTriggerEnabled";
constexpr const char* kPortPreference = "ZemoriStageTriggerPort";
constexpr const char* kAllowPreference = "ZemoriStageTriggerAllow";
constexpr const char* kListenPreference = "ZemoriStageTriggerListen";

// 0 when not set: what optionVar -q answers for a name it does not know is
// not documented, so it is asked only for one that exists.
int preference(const char* name) {
    int value = 0;
    const MString exists = MString("optionVar -exists \"") + name + "\"";
    if (!MGlobal::executeCommand(exists, value) || value == 0) return 0;
    const MString query = MString("optionVar -q \"") + name + "\"";
    if (!MGlobal::executeCommand(query, value)) return 0;
    return value;
}

void setPreference(const char* name, int value) {
    const MString set = MString("optionVar -iv \"") + name + "\" " + std::to_string(value).c_str();
    MGlobal::executeCommand(set);
}

// Empty when not set. Only texts checked before they were kept are stored,
// so a kept one never needs quoting beyond its quotes.
std::string textPreference(const char* name) {
    int exists = 0;
    const MString ask = MString("optionVar -exists \"") + name + "\"";
    if (!MGlobal::executeCommand(ask, exists) || exists == 0) return {};
    MString value;
    const MString query = MString("optionVar -q \"") + name + "\"";
    if (!MGlobal::executeCommand(query, value)) return {};
    return value.asChar();
}

void setTextPreference(const char* name, const std::string& value) {
    MGlobal::executeCommand(MString("optionVar -sv \"") + name + "\" \"" + value.c_str() + "\"");
}

void reportError(const MessageKey& key, const std::string& argument) {
    char line[512];
    std::snprintf(line, sizeof line, lookupMessage(key).asChar(), argument.c_str());
    MGlobal::displayError(line);
}

// The allow-list and listen address as given, checked whole: nothing is
// taken from a text with one bad entry.
bool networkOf(const std::string& allow, const std::string& listen, StageTriggerNetwork& network) {
    std::string bad;
    if (!network.allowedSenders.parse(allow, bad)) {
        reportError(msg::kStageBadAllowList, bad);
        return false;
    }
    network.listenAddress = 0;
    if (!listen.empty()) {
        if (!parseIPv4Address(listen, network.listenAddress)) {
            reportError(msg::kStageBadListenAddress, listen);
            return false;
        }
        // The socket layer answers only while started (as Winsock does).
        const bool started = platform::socketStartup() == 0;
        const bool local = started && platform::isLocalAddress(network.listenAddress);
        if (started) platform::socketCleanup();
        if (network.listenAddress != 0 && !local) {
            reportError(msg::kStageAbsentListenAddress, listen);
            return false;
        }
    }
    return true;
}

std::uint16_t preferredPort() {
    const int port = preference(kPortPreference);
    return port >= 1 && port <= 65535 ? static_cast<std::uint16_t>(port) : kStageTriggerDefaultPort;
}

// Only a whole number from 1 to 65535, written as such.
bool portOf(const MString& text, std::uint16_t& port) {
    const std::string s = text.asChar();
    if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long value = std::strtol(s.c_str(), nullptr, 10);
    if (value < 1 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool start(std::uint16_t port) {
    StageTriggerNetwork network;
    // Kept texts were checked when given; one this workstation no longer
    // has is reported here, and nothing listens.
    if (!networkOf(textPreference(kAllowPreference), textPreference(kListenPreference), network)) {
        return false;
    }
    unsigned error = 0;
    if (startStageTrigger(port, &error, network)) return true;
    char line[512];
    std::snprintf(line, sizeof line, lookupMessage(msg::kStageBindFailed).asChar(),
                  static_cast<int>(port), error);
    MGlobal::displayError(line);
    return false;
}

}  // namespace

ZemoriStageTriggerCmd::~ZemoriStageTriggerCmd() = default;

void* ZemoriStageTriggerCmd::creator() {
    return new ZemoriStageTriggerCmd();
}

MStatus ZemoriStageTriggerCmd::doIt(const MArgList& args) {
    bool query = false;
    bool hasPort = false;
    bool hasEnable = false;
    bool enable = false;
    bool hasAllow = false;
    bool hasListen = false;
    std::string allow;
    std::string listen;
    std::uint16_t port = 0;
    const unsigned count = args.length();
    for (unsigned i = 0; i < count; ++i) {
        const std::string flag = args.asString(i).asChar();
        if (flag == "-q" || flag == "-query") {
            query = true;
        } else if (flag == "-p" || flag == "-port") {
            hasPort = true;
            if (query) continue;  // -query -port names what to report
            if (i + 1 >= count || !portOf(args.asString(i + 1), port)) {
                const MString given = i + 1 < count ? args.asString(i + 1) : MString("nothing");
                char line[512];
                std::snprintf(line, sizeof line, lookupMessage(msg::kStagePortInvalid).asChar(),
                              given.asChar());
                displayError(line, false);
                return MS::kInvalidParameter;
            }
            ++i;
        } else if (flag == "-al" || flag == "-allow" || flag == "-la" || flag == "-listenAddress") {
            const bool isAllow = flag == "-al" || flag == "-allow";
            (isAllow ? hasAllow : hasListen) = true;
            if (query) continue;
            if (i + 1 >= count) {
                displayError(lookupMessage(msg::kStageUsage), false);
                return MS::kInvalidParameter;
            }
            (isAllow ? allow : listen) = args.asString(++i).asChar();
        } else if (flag == "-e" || flag == "-enable") {
            hasEnable = true;
            if (query) continue;
            const MString value = i + 1 < count ? args.asString(i + 1) : MString();
            if (value != "0" && value != "1") {
                displayError(lookupMessage(msg::kStageUsage), false);
                return MS::kInvalidParameter;
            }
            enable = value == "1";
            ++i;
        } else {
            displayError(lookupMessage(msg::kStageUsage), false);
            return MS::kInvalidParameter;
        }
    }
    if (query) {
        if (int(hasPort) + int(hasEnable) + int(hasAllow) + int(hasListen) > 1) {
            displayError(lookupMessage(msg::kStageUsage), false);
            return MS::kInvalidParameter;
        }
        const bool running = stageTriggerRunning();
        const int shownPort = running ? stageTriggerPort() : preferredPort();
        if (hasAllow) {
            setResult(MString(textPreference(kAllowPreference).c_str()));
        } else if (hasListen) {
            setResult(MString(textPreference(kListenPreference).c_str()));
        } else if (hasPort) {
            setResult(shownPort);
        } else if (hasEnable) {
            setResult(running ? 1 : 0);
        } else {
            const StageTriggerCounts counts = stageTriggerCounts();
            char line[160];
            std::snprintf(
                line, sizeof line, "enabled=%d port=%d received=%llu refused=%llu duplicates=%llu",
                running ? 1 : 0, shownPort, static_cast<unsigned long long>(counts.received),
                static_cast<unsigned long long>(counts.refused),
                static_cast<unsigned long long>(counts.duplicates));
            setResult(line);
        }
        return MS::kSuccess;
    }
    if (!hasPort && !hasEnable && !hasAllow && !hasListen) {
        displayError(lookupMessage(msg::kStageUsage), false);
        return MS::kInvalidParameter;
    }
    // Checked whole before anything is kept: a bad entry changes nothing.
    if (hasAllow || hasListen) {
        StageTriggerNetwork checked;
        if (!networkOf(hasAllow ? allow : textPreference(kAllowPreference),
                       hasListen ? listen : textPreference(kListenPreference), checked)) {
            return MS::kInvalidParameter;
        }
        if (hasAllow) setTextPreference(kAllowPreference, allow);
        if (hasListen) setTextPreference(kListenPreference, listen);
    }
    const bool restart = (hasAllow || hasListen) && stageTriggerRunning();
    const int previousPort = preference(kPortPreference);
    if (hasPort) setPreference(kPortPreference, port);
    const bool wanted = hasEnable ? enable : stageTriggerRunning();
    if (!wanted) {
        stopStageTrigger();
        if (hasEnable) setPreference(kEnabledPreference, 0);
        return MS::kSuccess;
    }
    const std::uint16_t target = preferredPort();
    if (!restart && stageTriggerRunning() && stageTriggerPort() == target) return MS::kSuccess;
    if (!start(target)) {
        // Refused: the port kept is the one the listener has, or had.
        if (hasPort) setPreference(kPortPreference, previousPort);
        return MS::kFailure;
    }
    setPreference(kEnabledPreference, 1);
    return MS::kSuccess;
}

ZemoriStageTriggerDrainCmd::~ZemoriStageTriggerDrainCmd() = default;

void* ZemoriStageTriggerDrainCmd::creator() {
    return new ZemoriStageTriggerDrainCmd();
}

MStatus ZemoriStageTriggerDrainCmd::doIt(const MArgList& /*args*/) {
    drainStageTrigger();
    return MS::kSuccess;
}

void startStageTriggerFromPreferences() {
    if (preference(kEnabledPreference) == 1) start(preferredPort());
}
