#include "plugin/uiBridge.h"

#include "node/zemoriDeviceNode.h"
#include "plugin/ipListSource.h"
#include "platform/sockets.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"

#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>

#include <cmath>
#include <string>

namespace {

// Balances one start of the socket library with one clean-up.
class SocketLibraryUse {
public:
    SocketLibraryUse() : mStarted(platform::socketStartup() == 0) {}
    ~SocketLibraryUse() {
        if (mStarted) platform::socketCleanup();
    }
    SocketLibraryUse(const SocketLibraryUse&) = delete;
    SocketLibraryUse& operator=(const SocketLibraryUse&) = delete;

private:
    bool mStarted;
};

// A text as a MEL string literal, quotes included. Without the escaping a
// quote or a backslash in a (localized) text would end the literal early or
// run part of the text as MEL; a raw line break would leave the literal
// unterminated. Escaped on characters, not on the bytes of asChar(): in a
// double-byte code page the second byte of a character can be 0x5C, the byte
// of a backslash, and escaping it would split the character.
MString quoted(const MString& text) {
    std::wstring literal = L"\"";
    for (const wchar_t* p = text.asWChar(); *p != L'\0'; ++p) {
        switch (*p) {
            case L'"':
                literal += L"\\\"";
                break;
            case L'\\':
                literal += L"\\\\";
                break;
            case L'\n':
                literal += L"\\n";
                break;
            case L'\r':
                literal += L"\\r";
                break;
            default:
                literal += *p;
        }
    }
    literal += L'"';
    return MString(literal.c_str());
}

const char* flag(bool value) {
    return value ? "1" : "0";
}

// A figure as a string literal with `decimals` (1 or 2) digits after the
// point, rounded half up. Written from whole numbers, so the point is a point
// whatever C locale the host runs with; what is not a positive number (NaN
// included) reads 0.
MString fixedPointLiteral(double value, int decimals) {
    const long long scale = decimals == 1 ? 10 : 100;
    constexpr double kTop = 1e15;  // far above any rate or jitter, well within long long
    const double scaled = value > 0.0 ? std::fmin(value * static_cast<double>(scale), kTop) : 0.0;
    const long long units = std::llround(scaled);
    std::string fraction = std::to_string(units % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    const std::string literal = "\"" + std::to_string(units / scale) + "." + fraction + "\"";
    return MString(literal.c_str());
}

// The main thread's copy: the receiving thread posts too, and plugs belong
// to the main thread.
int deviceIdOf(ZemoriDeviceNode& node) {
    return node.deviceId();
}

}  // namespace

MString melStringLiteral(const MString& text) {
    return quoted(text);
}

MString displayMessageCommand(const MString& text, int deviceId) {
    MString command = "displayMessage ";
    command += quoted(text);
    command += " ";
    command += deviceId;
    return command;
}

MString enableBindButtonCommand(int deviceId, bool enabled) {
    const std::string command =
        "enableBindButton " + std::to_string(deviceId) + " " + flag(enabled);
    return MString(command.c_str());
}

MString updateLiveCheckboxCommand(int deviceId, bool live) {
    const std::string command = "updateLiveCheckbox " + std::to_string(deviceId) + " " + flag(live);
    return MString(command.c_str());
}

MString updateRecordingCheckboxCommand(int deviceId, bool recording) {
    const std::string command =
        "updateRecordingCheckbox " + std::to_string(deviceId) + " " + flag(recording);
    return MString(command.c_str());
}

MString displayAvailableIPsCommand(const MString& ipList, int deviceId) {
    MString command = "displayAvailableIPs ";
    command += quoted(ipList);
    command += " ";
    command += deviceId;
    return command;
}

MString errorCommand(const MString& text) {
    return "error " + quoted(text);
}

MString takesChangedCommand(int deviceId) {
    const std::string command = "zemoriTakesChanged " + std::to_string(deviceId);
    return MString(command.c_str());
}

// Guarded: a node may stream where the UI scripts were never sourced.
static MString guardedDeviceCall(const std::string& procedure, int deviceId) {
    const std::string command =
        "if (`exists " + procedure + "`) " + procedure + " " + std::to_string(deviceId) + ";";
    return MString(command.c_str());
}

MString headsUpRefreshCommand(int deviceId) {
    return guardedDeviceCall("zemoriHudRefresh", deviceId);
}

MString streamingStatusCommand(int deviceId) {
    return guardedDeviceCall("zemoriShowStreaming", deviceId);
}

MString streamSummaryCommand(int deviceId, const StreamSnapshot& figures) {
    MString command = "displayStreamSummary ";
    command += deviceId;
    command += " ";
    command += fixedPointLiteral(figures.arrivalRateHz, 1);
    command += " ";
    command += clampedCount(figures.framesLost);
    command += " ";
    command += fixedPointLiteral(figures.jitterMs, 2);
    return command;
}

MString availableIPList() {
    // The list is posted while the node has no socket open, when nothing else
    // may hold Windows Sockets started: without a start of its own the host
    // name could never be read and the panel would only ever show the error.
    const SocketLibraryUse socketLibrary;
    const IpListSource& source = ipListSource();
    char hostName[256] = {};
    if (source.hostName(hostName, sizeof hostName) == -1) {
        const unsigned code = source.lastError();
        const MString format = threadText(msg::kSocketFunctionError);
        printWideToConsole(format.asWChar(), code);
        return threadText(msg::kGettingIpError);
    }
    hostName[sizeof hostName - 1] = '\0';
    MString list = threadText(msg::kYourIp);
    for (const std::string& address : source.addresses(hostName)) {
        list += "\t\t\t";
        list += address.c_str();
    }
    return list;
}

void postDisplayMessage(ZemoriDeviceNode& node, const MString& text) {
    MGlobal::executeCommandOnIdle(displayMessageCommand(text, deviceIdOf(node)), false);
}

void postEnableBindButton(ZemoriDeviceNode& node, bool enabled) {
    MGlobal::executeCommandOnIdle(enableBindButtonCommand(deviceIdOf(node), enabled), false);
}

void setLiveCheckbox(ZemoriDeviceNode& node, bool live) {
    // The check box follows even when the attribute cannot be set.
    MPlug(node.thisMObject(), MPxThreadedDeviceNode::live).setBool(live);
    MGlobal::executeCommand(updateLiveCheckboxCommand(deviceIdOf(node), live), false, false);
}

void setRecordingCheckbox(ZemoriDeviceNode& node, bool recording) {
    MPlug(node.thisMObject(), ZemoriDeviceNode::mRecording).setBool(recording);
    MGlobal::executeCommand(updateRecordingCheckboxCommand(deviceIdOf(node), recording), false,
                            false);
}

void postAvailableIPs(ZemoriDeviceNode& node) {
    const MString list = availableIPList();
    MGlobal::executeCommandOnIdle(displayAvailableIPsCommand(list, deviceIdOf(node)), false);
}

void postStreamSummary(ZemoriDeviceNode& node, const StreamSnapshot& figures) {
    MGlobal::executeCommandOnIdle(streamSummaryCommand(deviceIdOf(node), figures), false);
}

void postTakesChanged(int deviceId) {
    MGlobal::executeCommandOnIdle(takesChangedCommand(deviceId), false);
}

void postStreamingStatus(int deviceId) {
    MGlobal::executeCommandOnIdle(streamingStatusCommand(deviceId), false);
}

void postHeadsUpRefresh(int deviceId) {
    MGlobal::executeCommandOnIdle(headsUpRefreshCommand(deviceId), false);
}

void postHeadsUpSync() {
    MGlobal::executeCommandOnIdle("if (`exists zemoriHudSync`) zemoriHudSync;", false);
}

void postError(const MString& text) {
    MGlobal::executeCommandOnIdle(errorCommand(text), false);
}
