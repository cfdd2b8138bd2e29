// The node's studio-network settings: which senders it accepts, the address
// it listens on and the multicast group it joins. Checked on the main thread
// when set; the receiving thread sees a new allow-list only while it holds
// no socket, so a check never meets a list half replaced.
#include "intake/ipv4Address.h"
#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"
#include "plugin/threadTexts.h"
#include "plugin/uiBridge.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>

#include <cstdio>

namespace {

// Bigger than the system's default: a multicast receiver shares the network
// card with every other stream on the group's switch ports, and a stall of
// the main thread must not cost datagrams.
constexpr int kMulticastReceiveBufferBytes = 4 * 1024 * 1024;

MString formatted(const MessageKey& key, const char* a, const char* b = "", unsigned code = 0) {
    char line[1024];
    const MString format = threadText(key);
    // Each key's default has the conversions passed here, in this order.
    if (key.key == msg::kJoinGroupFailed.key) {
        std::snprintf(line, sizeof line, format.asChar(), a, b, code);
    } else {
        std::snprintf(line, sizeof line, format.asChar(), a);
    }
    return MString(line);
}

// A MEL string literal of the text: quotes and backslashes escaped.
std::string melQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n' || c == '\r') continue;
        out += c;
    }
    return out + "\"";
}

}  // namespace

void ZemoriDeviceNode::refuseSetting(const char* attribute, const std::string& inForce,
                                     const MString& why) {
    postError(why);
    postDisplayMessage(*this, why);
    // Set back at idle time, not from within the callback of the set.
    const std::string plug =
        std::string(MFnDependencyNode(thisMObject()).name().asChar()) + "." + attribute;
    const std::string command =
        "setAttr -type \"string\" " + melQuoted(plug) + " " + melQuoted(inForce) + ";";
    MGlobal::executeCommandOnIdle(MString(command.c_str()));
}

void ZemoriDeviceNode::networkSettingChanged(const MPlug& plug) {
    const std::string text = plug.asString().asChar();
    if (plug == mAllowedSenders) {
        if (text == mAllowedSendersText) return;
        SenderAllowList parsed;
        std::string badEntry;
        if (!parsed.parse(text, badEntry)) {
            refuseSetting("allowedSenders", mAllowedSendersText,
                          formatted(msg::kBadAllowList, badEntry.c_str()));
            return;
        }
        // Swapped while the receiving thread holds no socket.
        const platform::SocketHandle socket = detachSocket();
        mAllowList = parsed;
        mSenders.forgetRefusals();
        mAllowedSendersText = text;
        if (socket != 0) {
            {
                std::lock_guard<std::mutex> lock(mWakeMutex);
                mSocket.store(socket);
            }
            mWake.notify_all();
        }
        return;
    }
    if (plug == mListenAddress) {
        if (text == mListenAddressText) return;
        std::uint32_t address = 0;
        if (!text.empty() && !parseIPv4Address(text, address)) {
            refuseSetting("listenAddress", mListenAddressText,
                          formatted(msg::kBadListenAddress, text.c_str()));
            return;
        }
        mListenAddressText = text;
        mListenAddressInForce = address;
        reopenSocket();
        return;
    }
    if (plug == mMulticastGroup) {
        if (text == mMulticastGroupText) return;
        std::uint32_t group = 0;
        if (!text.empty() && (!parseIPv4Address(text, group) || !isMulticastAddress(group) ||
                              isLinkLocalMulticast(group))) {
            refuseSetting("multicastGroup", mMulticastGroupText,
                          formatted(msg::kBadMulticastGroup, text.c_str()));
            return;
        }
        mMulticastGroupText = text;
        mMulticastGroupInForce = group;
        reopenSocket();
    }
}

void ZemoriDeviceNode::reopenSocket() {
    if (mSocket.load() == 0) return;  // the next live socket opens with the settings
    closeSocket();
    if (isLive() && mInGraph.load()) {
        const MPlug port(thisMObject(), mInputPort);
        const MPlug journal(thisMObject(), mJournalSeconds);
        openLiveSocket(port.asInt(), journal.asDouble());
    }
}

MString ZemoriDeviceNode::silenceText(int port) const {
    std::string addresses;
    if (mListenAddressInForce != 0) {
        addresses = formatIPv4Address(mListenAddressInForce);
    } else {
        char name[256] = {};
        if (platform::hostName(name, sizeof name) == 0) {
            for (const std::string& address : platform::hostIPv4Addresses(name)) {
                addresses += (addresses.empty() ? "" : ", ") + address;
            }
        }
        addresses = "all: " + (addresses.empty() ? std::string("none found") : addresses);
    }
    if (mMulticastGroupInForce != 0) {
        addresses += "; group " + formatIPv4Address(mMulticastGroupInForce);
    }
    char line[1024];
    std::snprintf(line, sizeof line, threadText(msg::kNothingArrives).asChar(), port,
                  addresses.c_str(), port);
    return MString(line);
}

bool ZemoriDeviceNode::bindPerSettings(platform::SocketHandle socket, std::uint16_t port) {
    const std::uint32_t group = mMulticastGroupInForce;
    const std::uint32_t listen = mListenAddressInForce;
    if (listen != 0 && !platform::isLocalAddress(listen)) {
        const MString why = formatted(msg::kAbsentListenAddress, formatIPv4Address(listen).c_str());
        printToConsole("%s\n", why.asChar());
        postError(why);
        postDisplayMessage(*this, why);
        mBindRefusedForAddress = true;
        return false;
    }
    if (group == 0) {
        return platform::bindAddress(socket, listen, port) == 0;
    }
    // A group's datagrams go to the port on every address: bound to any
    // address, the port shared with the machine's other receivers of it,
    // and the group joined on the chosen interface.
    if (platform::bindAddressShared(socket, 0, port) != 0) return false;
    platform::receiveOnlyJoinedGroups(socket);
    platform::setReceiveBufferBytes(socket, kMulticastReceiveBufferBytes);
    if (platform::joinMulticastGroup(socket, group, listen) != 0) {
        const unsigned code = platform::lastSocketError();
        const MString why =
            formatted(msg::kJoinGroupFailed, formatIPv4Address(group).c_str(),
                      listen == 0 ? "(default)" : formatIPv4Address(listen).c_str(), code);
        printToConsole("%s\n", why.asChar());
        postError(why);
        postDisplayMessage(*this, why);
        mBindRefusedForAddress = true;
        return false;
    }
    mJoinedGroup = group;
    mJoinedInterface = listen;
    return true;
}
