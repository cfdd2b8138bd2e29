#include "plugin/sendersCmd.h"

#include "intake/ipv4Address.h"
#include "node/zemoriDeviceNode.h"
#include "plugin/messageTable.h"

#include <maya/MString.h>

#include <cstdio>

ZemoriSendersCmd::~ZemoriSendersCmd() = default;

void* ZemoriSendersCmd::creator() {
    return new ZemoriSendersCmd();
}

std::string senderLine(const SenderSnapshot& sender, std::int64_t nowNs) {
    char id[24] = "-";  // datagrams without a header name no sender id
    if (sender.idKnown) {
        std::snprintf(id, sizeof id, "%llx", static_cast<unsigned long long>(sender.senderId));
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "%s id %s: %lld datagrams, %lld accepted, %lld ignored, %lld refused, last "
                  "%.1f s ago%s",
                  formatIPv4Address(sender.address).c_str(), id,
                  static_cast<long long>(sender.datagrams), static_cast<long long>(sender.accepted),
                  static_cast<long long>(sender.ignored), static_cast<long long>(sender.refused),
                  static_cast<double>(nowNs - sender.lastSeenNs) / 1e9,
                  sender.followed ? " (followed)" : "");
    return line;
}

MStatus ZemoriSendersCmd::doIt(const MArgList& args) {
    const MString nodeName = args.length() > 0 ? args.asString(0) : MString();
    ZemoriDeviceNode* node = args.length() == 1 ? ZemoriDeviceNode::named(nodeName) : nullptr;
    if (node == nullptr) {
        char line[512];
        std::snprintf(line, sizeof line, lookupMessage(msg::kNotDeviceNode).asChar(),
                      kSendersCommandName, nodeName.asChar());
        displayError(line, false);
        return MS::kFailure;
    }
    const std::int64_t now = node->clockNow();
    const std::vector<SenderSnapshot> senders = node->senders();
    // Always an array: one line saying so before any datagram.
    if (senders.empty()) appendToResult(lookupMessage(msg::kNoSenderYet));
    for (const SenderSnapshot& sender : senders) {
        appendToResult(MString(senderLine(sender, now).c_str()));
    }
    return MS::kSuccess;
}
