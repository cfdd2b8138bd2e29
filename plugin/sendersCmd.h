// ZemoriSenders <node>: one string per sender the device node's port has
// heard from, the followed one first: its address, sender id, datagrams,
// accepted, ignored and refused, and seconds since its last datagram.
// Before any datagram, one line that says so. Not undoable, no syntax object.
#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

#include <cstdint>
#include <string>

struct SenderSnapshot;

class ZemoriSendersCmd : public MPxCommand {
public:
    ZemoriSendersCmd() = default;
    ~ZemoriSendersCmd() override;

    // Fails, with an error shown, unless given one ZemoriDeviceNode.
    MStatus doIt(const MArgList& args) override;

    static void* creator();
};

// The line of one sender, `nowNs` on the node's clock.
std::string senderLine(const SenderSnapshot& sender, std::int64_t nowNs);

inline constexpr const char* kSendersCommandName = "ZemoriSenders";
